#!/usr/bin/env bash
# Start-up of the real program against a minimal Qt Widgets window built in the project
# (tests/bench/minimal_window.cpp): from the start of the process to its main window
# shown on a virtual X server (Xvfb), and the peak memory (VmHWM) at that moment. The
# two programs run in turn, so that the load of the machine weighs on both alike; the
# script prints each run, the medians and the ratios of the medians. Polls for the
# window every 10 ms, so times are good to about 10 ms.
#
# Usage: tests/bench/startup_time.sh [path/to/luckyscope] [runs] [path/to/minimal_window]
# (default: build/default/app/luckyscope, 11 runs, build/default/tests/bench/minimal_window).
# Needs Xvfb, xdotool and xprop.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
program=${1:-$top/build/default/app/luckyscope}
runs=${2:-11}
minimal=${3:-$top/build/default/tests/bench/minimal_window}
for tool in Xvfb xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "startup_time: $tool is not installed" >&2; exit 2; }
done
for file in "$program" "$minimal"; do
  [ -x "$file" ] || { echo "startup_time: no program at $file (build it first)" >&2; exit 2; }
done
# Both start in the base folder below: their paths must not depend on this one.
program=$(realpath "$program")
minimal=$(realpath "$minimal")

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
Xvfb -displayfd 5 -noreset -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
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

# True when process $1 shows a window whose title matches the extended regular
# expression $2. The window is found by its process (_NET_WM_PID) and its title read
# from _NET_WM_NAME, which is UTF-8 whatever the locale: WM_NAME is written in the
# locale's encoding and comes out garbled where that locale is not installed.
shows_window() {
  local id title
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    title=$(LC_ALL=C.UTF-8 xprop -id "$id" -notype _NET_WM_NAME 2>/dev/null |
      sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p')
    printf '%s\n' "$title" | grep -Eq "$2" && return 0
  done
  return 1
}

# Starts a program in the base folder and waits for its window titled $2; sets ms (time
# to the window), cpu (processor time its threads used until then) and kib (peak memory
# until then).
measure() {
  local start shown=
  start=$(date +%s%N)
  (cd "$work/base" && exec "$1") >/dev/null 2>"$work/stderr" &
  app_pid=$!
  for _ in $(seq 3000); do
    if shows_window "$app_pid" "$2"; then
      shown=$(date +%s%N)
      break
    fi
    kill -0 "$app_pid" 2>/dev/null || break  # ended without a window
    sleep 0.01
  done
  kib=$(awk '/^VmHWM:/ { print $2 }' "/proc/$app_pid/status" 2>/dev/null || echo 0)
  # The run time of each thread, in nanoseconds, summed.
  cpu=$(cat /proc/"$app_pid"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { printf "%d", ns / 1000000 }')
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  [ -n "$shown" ] || { echo "startup_time: $1: no window within 30 s" >&2; cat "$work/stderr" >&2; exit 1; }
  ms=$(((shown - start) / 1000000))
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

times=()
cpus=()
peaks=()
base_times=()
base_cpus=()
base_peaks=()
for run in $(seq "$runs"); do
  measure "$minimal" '^minimal window$'
  base_times+=("$ms")
  base_cpus+=("$cpu")
  base_peaks+=("$kib")
  measure "$program" '^ラッキースコープ！( - |$)'
  times+=("$ms")
  cpus+=("$cpu")
  peaks+=("$kib")
  echo "run $run: program ${times[-1]} ms (processor ${cpus[-1]} ms), ${peaks[-1]} KiB;" \
    "minimal window ${base_times[-1]} ms (processor ${base_cpus[-1]} ms), ${base_peaks[-1]} KiB"
done
t=$(median "${times[@]}")
bt=$(median "${base_times[@]}")
c=$(median "${cpus[@]}")
bc=$(median "${base_cpus[@]}")
p=$(median "${peaks[@]}")
bp=$(median "${base_peaks[@]}")
echo "start-up to main window shown (median of $runs): ${t} ms; minimal window: ${bt} ms; ratio $(awk "BEGIN { printf \"%.2f\", $t / $bt }")"
echo "processor time until then (median of $runs): ${c} ms; minimal window: ${bc} ms; ratio $(awk "BEGIN { printf \"%.2f\", $c / $bc }")"
echo "peak memory at the window (median of $runs): ${p} KiB; minimal window: ${bp} KiB; ratio $(awk "BEGIN { printf \"%.2f\", $p / $bp }")"
