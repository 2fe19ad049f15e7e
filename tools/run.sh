#!/usr/bin/env bash
# Sets up everything, builds, and starts LuckyScope.
# The program's base folder is the current directory at start: the settings file
# luckyscope.dat and bare data-file names live there. By default this script starts the
# program the way the menu entry does, through its launcher: in ~/.local/share/luckyscope
# (or $XDG_DATA_HOME/luckyscope), made with the default settings on first use. Pass a
# folder to start it there instead.
# LUCKYSCOPE_BUILD_DIR names another build folder than build/default.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/common.sh"
build=$(realpath -m -- "${LUCKYSCOPE_BUILD_DIR:-$top/build/default}")
"$top/tools/setup.sh"
# The program and its help file. (In a subshell: a folder given as a relative path is
# the caller's.)
(
  cd "$top"
  # shellcheck disable=SC2046
  cmake --preset default -B "$build" $(fresh_flag default "$build") >/dev/null
  cmake --build "$build" -j "$(nproc)" --target luckyscope luckyscope_help
)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset), so LuckyScope cannot open its window." >&2
  echo "     Start it from a desktop session, or under a virtual display: xvfb-run -a tools/run.sh" >&2
  exit 2
fi
start_luckyscope "$build/app/luckyscope" "$build/help/luckyscope.chm" "${1:-}"
