#!/usr/bin/env bash
# Sets up everything, builds, and starts LuckyScope.
# The program's base folder is the current directory at start: the settings file
# luckyscope.dat and bare data-file names live there. By default this script starts
# the program in ~/LuckyScope (created if missing); pass another folder to use that.
# LUCKYSCOPE_BUILD_DIR names another build folder than build/default.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$HOME/LuckyScope}
build=${LUCKYSCOPE_BUILD_DIR:-$top/build/default}
"$top/tools/setup.sh"
cd "$top"
cmake --preset default -B "$build" >/dev/null
# The program and its help file.
cmake --build "$build" -j "$(nproc)" --target luckyscope luckyscope_help
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset), so LuckyScope cannot open its window." >&2
  echo "     Start it from a desktop session, or under a virtual display: xvfb-run -a tools/run.sh" >&2
  exit 2
fi
mkdir -p "$folder"
cp -f "$build/help/luckyscope.chm" "$folder/"
cd "$folder"
exec "$build/app/luckyscope"
