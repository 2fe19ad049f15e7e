#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each one for a bounded time; any crash, leak, sanitizer report, failed check,
# time-out or out-of-memory is a finding and makes the script fail.
#
# Usage:
#   tools/fuzz.sh --ci              every target for 25 s (CI; about 4.5 min in all)
#   tools/fuzz.sh [seconds] [name…] the longer local run: 300 s per target by default;
#                                   names pick targets (e.g. chm_reader match_pattern)
#
# Seeds and regression inputs live in tests/fuzz/corpus/<name>/ and run first, every
# time. What a local run learns is kept in <build>/corpus/<name>/ for the next run; a
# finding is written to <build>/findings/ (reproduce: <build>/tests/fuzz/fuzz_<name>
# <file>). Build folder: build/fuzz, or $LUCKYSCOPE_FUZZ_BUILD.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUCKYSCOPE_FUZZ_BUILD:-$top/build/fuzz}

ci=0
seconds=300
if [ "${1:-}" = "--ci" ]; then
  ci=1
  seconds=25
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

all=(target_file winning_file sniff_csv settings_file csv_field match_pattern import_csv sound_kind chm_reader image_header)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

# Longest input per target: data lines are cut at 1,022 bytes, so a few KiB reach every
# path of the text readers; help files need room for their directory and content.
max_len() {
  case $1 in
    chm_reader) echo 65536 ;;
    target_file | winning_file | settings_file) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

"$top/tools/setup.sh"
cd "$top"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target fuzzers -j "$(nproc)"

findings="$build/findings"
mkdir -p "$findings"
# Scratch files of the targets (saved files are synced) go to shared memory when there is some.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=$(mktemp -d -p /dev/shm); else scratch=$(mktemp -d); fi
trap 'rm -rf "$scratch"' EXIT

declare -A runs result
failed=0
for name in "${targets[@]}"; do
  exe="$build/tests/fuzz/fuzz_$name"
  seeds="$top/tests/fuzz/corpus/$name"
  [ -x "$exe" ] && [ -d "$seeds" ] || { echo "fuzz: no target named $name" >&2; exit 2; }
  if [ $ci -eq 1 ]; then
    work="$scratch/$name"
  else
    work="$build/corpus/$name"
  fi
  mkdir -p "$work"
  log="$scratch/$name.log"
  echo "== fuzz_$name: ${seconds}s"
  status=0
  TMPDIR="$scratch" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -max_len="$(max_len "$name")" -print_final_stats=1 -artifact_prefix="$findings/$name-" \
    "$work" "$seeds" >"$log" 2>&1 || status=$?
  runs[$name]=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  if [ $status -ne 0 ]; then
    result[$name]=FINDING
    failed=1
    grep -E 'ERROR|runtime error|fuzz check failed|SUMMARY|Test unit written' "$log" | head -n 20 || true
    echo "(full log of fuzz_$name follows)"
    tail -n 60 "$log"
    for artifact in $(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log"); do
      echo "input ($artifact):"
      od -A x -t x1z -v "$artifact" | head -n 16
    done
  else
    result[$name]=ok
  fi
done

echo
printf '%-16s %12s  %s\n' target executions result
for name in "${targets[@]}"; do
  printf '%-16s %12s  %s\n' "$name" "${runs[$name]:-?}" "${result[$name]}"
done
if [ $failed -ne 0 ]; then
  echo "fuzz: findings in $findings" >&2
  exit 1
fi
echo "fuzz: no findings"
