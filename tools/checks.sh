# Sourced by the project's shell tests: check <what> <command...> runs the command,
# reports "ok" or "FAILED" with the command's output, and counts in $passed and $failed.
# shellcheck shell=bash
passed=0
failed=0
check() {
  local what=$1
  shift
  local out
  if out=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    [ -n "$out" ] && printf '%s\n' "$out" | sed 's/^/    /'
  fi
}
