#!/usr/bin/env bash
# Sets everything up, then runs every test: the native suite, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows
# suite under Wine (with a virtual X display); then the fault harness
# (scripts/harness.sh: Load fuzzing and threaded edits, each under its
# sanitizers), which prints a line counted as ctest's is.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --sanitize || exit 1

passed=0
failed=0
status=0
run() {
  local name=$1
  shift
  echo "== tests: $name"
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    failed=$((failed + 1))
  fi
  [ "$rc" -eq 0 ] || status=1
  rm -f "$log"
}

run native ctest --preset native
run native-sanitize ctest --preset native-sanitize
run windows xvfb-run -a ctest --preset windows
run harness scripts/harness.sh

echo "total: $passed passed, $failed failed"
exit $status
