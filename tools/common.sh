# Shell functions the tools share (bash; source this file).
# shellcheck shell=bash

luckyscope_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# fresh_flag <preset> [build folder]
# Prints --fresh for `cmake --preset` (callers leave $(fresh_flag ...) unquoted, so that
# nothing stays nothing), and says why in one line on stderr, when the build
# folder (the preset's own unless named) holds a configuration CMake would refuse: made
# for another source folder, in another place (a checkout copied or moved with its build
# folder), or with another generator than the preset's. Prints nothing otherwise.
fresh_flag() {
  local preset=$1 build=${2:-} presets=$luckyscope_top/CMakePresets.json
  if [ -z "$build" ]; then
    build=$(jq -r --arg p "$preset" '.configurePresets[] | select(.name == $p) | .binaryDir' "$presets")
    build=${build//\$\{sourceDir\}/$luckyscope_top}
  fi
  local cache=$build/CMakeCache.txt
  [ -f "$cache" ] || return 0
  cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache" | head -n1; }
  local source_dir build_dir generator wanted reason=
  source_dir=$(cached CMAKE_HOME_DIRECTORY)
  build_dir=$(cached CMAKE_CACHEFILE_DIR)
  generator=$(cached CMAKE_GENERATOR)
  wanted=$(jq -r --arg p "$preset" '.configurePresets[] | select(.name == $p) | .generator' "$presets")
  if [ "$(realpath -m -- "$source_dir")" != "$(realpath -m -- "$luckyscope_top")" ]; then
    reason="was configured for the sources in $source_dir"
  elif [ "$(realpath -m -- "$build_dir")" != "$(realpath -m -- "$build")" ]; then
    reason="was configured in $build_dir"
  elif [ "$generator" != "$wanted" ]; then
    reason="was configured with the generator $generator, not $wanted"
  fi
  [ -n "$reason" ] || return 0
  echo "$build $reason: configuring it afresh." >&2
  echo --fresh
}

# start_luckyscope <program> <help file> [folder]
# Starts the program with the help file beside it. Without a folder it goes through the
# menu entry's launcher, so it runs in the same folder with the same first-start
# settings as from the menu; a named folder (relative to the current directory) is
# made if missing and the program starts in it as from a terminal there.
start_luckyscope() {
  local program=$1 help=$2 folder=${3:-}
  local launcher=$luckyscope_top/packaging/luckyscope-launch.sh
  if [ -z "$folder" ]; then
    # The launcher makes its folder on first use; a first call with pwd as the program
    # lets it do so and names the folder, so that the help file can be put there.
    folder=$(LUCKYSCOPE_PROGRAM="pwd" "$launcher") || return
    cp -f -- "$help" "$folder/luckyscope.chm"
    LUCKYSCOPE_PROGRAM=$program exec "$launcher"
  fi
  mkdir -p -- "$folder"
  cp -f -- "$help" "$folder/luckyscope.chm"
  cd -- "$folder" || return
  exec "$program"
}
