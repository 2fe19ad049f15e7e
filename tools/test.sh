#!/usr/bin/env bash
# Sets up everything and runs all tests: packages, configure, build, ctest.
# Usage: tools/test.sh [preset]   (preset: default or asan; default is "default")
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/common.sh"
preset=${1:-default}
"$top/tools/setup.sh"
cd "$top"
# shellcheck disable=SC2046
cmake --preset "$preset" $(fresh_flag "$preset")
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset"
