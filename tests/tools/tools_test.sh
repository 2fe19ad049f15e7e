#!/usr/bin/env bash
# The shell functions of tools/common.sh, on scratch checkouts (the project's presets,
# scripts and launcher around a CMake project that compiles nothing):
#   fresh_flag: a build folder CMake would refuse (copied checkout, folder shared by two
#     checkouts, another generator) is configured afresh, and only then;
#   start_luckyscope: without a folder the program starts through the launcher in the
#     user's folder with the default settings, a named folder is the caller's, and the
#     help file goes beside the program either way.
#
# Usage: tests/tools/tools_test.sh <source folder>
set -uo pipefail
top=$1

# shellcheck source=../../tools/checks.sh
. "$(dirname -- "$0")/../../tools/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A checkout with the real tools, presets and launcher.
a=$work/a
mkdir -p "$a/tools" "$a/packaging"
cp "$top/tools/common.sh" "$a/tools/"
cp "$top/CMakePresets.json" "$a/"
cp "$top/packaging/luckyscope-launch.sh" "$a/packaging/"
printf 'cmake_minimum_required(VERSION 3.25)\nproject(scratch NONE)\n' >"$a/CMakeLists.txt"

# flag_of <checkout> <preset> [build folder]: fresh_flag's output, its message in $work/said.
flag_of() {
  (cd "$1" && source tools/common.sh && fresh_flag "${@:2}") 2>"$work/said"
}
configure() {  # configure <checkout> <cmake arguments...>
  (cd "$1" && cmake "${@:2}") >"$work/cmake.log" 2>&1 || { tail -n 5 "$work/cmake.log"; return 1; }
}
# expect <checkout> <flag wanted> <preset> [build folder]: the flag is as wanted, a
# fresh start says why in one line, and the configure with it succeeds.
expect() {
  local checkout=$1 wanted=$2 preset=$3 build=${4:-} got lines
  got=$(flag_of "$checkout" "$preset" ${build:+"$build"})
  [ "$got" = "$wanted" ] || { echo "flag '$got', wanted '$wanted'; said: $(cat "$work/said")"; return 1; }
  lines=$(wc -l <"$work/said")
  if [ -n "$wanted" ]; then
    [ "$lines" -eq 1 ] || { echo "said $lines lines:"; cat "$work/said"; return 1; }
  else
    [ "$lines" -eq 0 ] || { echo "said: $(cat "$work/said")"; return 1; }
  fi
  configure "$checkout" --preset "$preset" ${build:+-B "$build"} ${got:+"$got"}
}

no_build_yet() { expect "$a" "" default; }
check "no build folder yet: no fresh start" no_build_yet

in_place() { expect "$a" "" default; }
check "a build folder configured where it is: kept" in_place

copied() {
  cp -a "$a" "$work/copy"
  # CMake alone refuses the copied folder; with the flag it configures.
  if configure "$work/copy" --preset default >/dev/null; then echo "CMake took the copied build folder"; return 1; fi
  expect "$work/copy" --fresh default || return 1
  grep -qF "$work/copy/build/default" "$work/said" || { echo "the message names no build folder: $(cat "$work/said")"; return 1; }
}
check "a checkout copied with its build folder: configured afresh" copied

shared() {
  configure "$a" --preset default -B "$work/shared" || return 1
  expect "$a" "" default "$work/shared" || return 1
  expect "$work/copy" --fresh default "$work/shared"
}
check "a named build folder configured for another checkout: configured afresh" shared

generator() {
  rm -rf "$a/build/default"
  configure "$a" -G "Unix Makefiles" -S . -B build/default || return 1
  expect "$a" --fresh default || return 1
  grep -q "Unix Makefiles" "$work/said" || { echo "the message names no generator: $(cat "$work/said")"; return 1; }
  expect "$a" "" default
}
check "a build folder of another generator: configured afresh, then kept" generator

# --- Where the program starts -----------------------------------------------------------
# A stand-in program records its folder and arguments.
cat >"$work/program" <<'EOF'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$RECORD"
EOF
chmod +x "$work/program"
printf 'help' >"$work/help.chm"
record=$work/record
# start <home> <caller's folder> [folder]
start() {
  rm -f "$record"
  mkdir -p "$2"
  (cd "$2" && env -i PATH=/usr/bin:/bin HOME="$1" RECORD="$record" \
    bash -c 'source "$0/tools/common.sh" && start_luckyscope "$@"' "$a" "$work/program" "$work/help.chm" "${@:3}")
}
started_in() {  # started_in <folder>: the program ran there, with the help file beside it
  [ -f "$record" ] || { echo "the program was not started"; return 1; }
  [ "$(head -n1 "$record")" = "$1" ] || { echo "started in $(head -n1 "$record"), not $1"; return 1; }
  [ "$(cat "$1/luckyscope.chm")" = help ] || { echo "no help file in $1"; return 1; }
}

launcher_folder() {
  local home=$work/home1 folder=$work/home1/.local/share/luckyscope
  start "$home" "$work/anywhere" || return 1
  started_in "$folder" || return 1
  # The launcher's first-start settings, not a file the program would report as damaged.
  [ "$(od -An -c "$folder/luckyscope.dat" | tr -s ' \n' ' ')" = \
    " [ S Y S T D A T A ] \r \n \r \n 0 \r \n \r \n 0 \r \n [ S Y S T D A T A 2 ] \r \n 0 \r \n 0 \r \n " ] ||
    { echo "settings file: $(od -An -c "$folder/luckyscope.dat")"; return 1; }
  # Started again, the folder and its settings stay.
  printf 'mine\r\n' >"$folder/luckyscope.dat"
  start "$home" "$work/anywhere" && started_in "$folder" || return 1
  [ "$(cat "$folder/luckyscope.dat")" = $'mine\r' ] || { echo "the settings file was replaced"; return 1; }
}
check "no folder named: the launcher's folder with its first-start settings, the help beside" launcher_folder

named_folder() {
  local home=$work/home2
  start "$home" "$work/caller" nenga2027 && started_in "$work/caller/nenga2027" || return 1
  [ ! -e "$work/caller/nenga2027/luckyscope.dat" ] || { echo "a settings file was written in the named folder"; return 1; }
  [ ! -e "$home/.local/share/luckyscope" ] || { echo "the launcher's folder was made"; return 1; }
  start "$home" "$work/caller" "$work/absolute" && started_in "$work/absolute"
}
check "a named folder, relative to the caller or absolute: started there" named_folder

echo "tools: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
