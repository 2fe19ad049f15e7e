#!/usr/bin/env bash
# Sets up everything, builds, and starts LuckyScope.
# The program's base folder is the current directory at start: the settings file
# luckyscope.dat and bare data-file names live there. By default this script starts
# the program in ~/LuckyScope (created if missing); pass another folder to use that.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$HOME/LuckyScope}
"$top/tools/setup.sh"
cd "$top"
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target luckyscope
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session," >&2
  echo "     or under a virtual one: xvfb-run -a tools/run.sh" >&2
  exit 2
fi
mkdir -p "$folder"
cp -f "$top/build/default/help/luckyscope.chm" "$folder/" 2>/dev/null || true
cd "$folder"
exec "$top/build/default/app/luckyscope"
