#!/usr/bin/env bash
# Start-up time of the real program: from the start of the process to its main window
# shown on a virtual X server (Xvfb), measured a few times; prints each figure and the
# median. Polls for the window every 10 ms, so figures are good to about 10 ms.
#
# Usage: tests/bench/startup_time.sh [path/to/luckyscope] [runs]
# (default: build/default/app/luckyscope, 5 runs). Needs Xvfb and xdotool.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
program=${1:-$top/build/default/app/luckyscope}
runs=${2:-5}
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "startup_time: $tool is not installed" >&2; exit 2; }
done
[ -x "$program" ] || { echo "startup_time: no program at $program (build it first)" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 5>&-
[ -s "$work/display" ] || { echo "startup_time: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

mkdir -p "$work/base" "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
export XDG_CONFIG_HOME="$work/config"
# A settings file, so that no first-start message stands in the way.
printf '[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n' >"$work/base/luckyscope.dat"

figures=()
for run in $(seq "$runs"); do
  start=$(date +%s%N)
  (cd "$work/base" && exec "$program") >/dev/null 2>&1 &
  app_pid=$!
  shown=
  for _ in $(seq 3000); do
    if xdotool search --onlyvisible --name '^ラッキースコープ！ - ' >/dev/null 2>&1; then
      shown=$(date +%s%N)
      break
    fi
    sleep 0.01
  done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  [ -n "$shown" ] || { echo "startup_time: run $run: no main window within 30 s" >&2; exit 1; }
  ms=$(( (shown - start) / 1000000 ))
  figures+=("$ms")
  echo "run $run: ${ms} ms"
done
median=$(printf '%s\n' "${figures[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
echo "start-up to main window shown (median of $runs): ${median} ms"
