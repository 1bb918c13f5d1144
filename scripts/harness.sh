#!/usr/bin/env bash
# The fault harness: the Load fuzzer for each of the six effects (libFuzzer
# with AddressSanitizer and UndefinedBehaviorSanitizer, from the seed corpus
# in tests/fuzz/corpus), then every effect streaming while two threads edit
# it, under ThreadSanitizer. Builds only those two programs, in build/fuzz
# and build/tsan (clang).
#
# Usage: scripts/harness.sh [--long]
#   default  RUNS inputs per effect (10000 unless set), 500 ms of edits per effect
#   --long   1,000,000 inputs per effect, 20 s of edits per effect
# Findings go to build/fuzz/findings/<effect>-crash-*. Each effect fuzzed
# counts as one test and each effect edited as another; the last line is
# "harness: N tests passed, N tests failed out of N", and the exit status is
# non-zero on any finding.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-10000}
soak_ms=${QUILL_SOAK_MS:-500}
if [ "${1:-}" = "--long" ]; then
  runs=1000000
  soak_ms=20000
elif [ -n "${1:-}" ]; then
  echo "usage: scripts/harness.sh [--long]" >&2
  exit 2
fi
effects=(twechos twechomt twreverb twchorus twtime twpitchs)
total=$((2 * ${#effects[@]}))

for preset in fuzz tsan; do
  echo "== harness: building $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "harness: 0 tests passed, $total tests failed out of $total"
    exit 1
  fi
done

echo "harness: built in $SECONDS s"
passed=0
failed=0
findings=build/fuzz/findings
mkdir -p "$findings"

# One effect's fuzzing, into its own log: a fresh working corpus each time,
# so that a run starts from the seeds alone.
fuzz() {
  local effect=$1 work=build/fuzz/work/$1
  rm -rf "$work"
  mkdir -p "$work"
  QUILL_FUZZ_EFFECT=$effect build/fuzz/tests/fuzz/load_fuzz -runs="$runs" -print_final_stats=1 \
    -artifact_prefix="$findings/$effect-" "$work" "tests/fuzz/corpus/$effect" >"$findings/$effect.log" 2>&1
}

# Two at a time, one per core.
echo "== harness: fuzzing Load, $runs inputs per effect"
for ((i = 0; i < ${#effects[@]}; i += 2)); do
  pids=()
  for effect in "${effects[@]:i:2}"; do
    fuzz "$effect" &
    pids+=($!)
  done
  for j in "${!pids[@]}"; do
    effect=${effects[i + j]}
    if wait "${pids[j]}"; then
      passed=$((passed + 1))
      result=ok
    else
      failed=$((failed + 1))
      result="FAILED (see $findings/$effect.log)"
      grep -E 'ERROR|runtime error|load_fuzz:|SUMMARY|Test unit written' "$findings/$effect.log" | head -n 8
    fi
    speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$findings/$effect.log" | grep -oE '[0-9]+$')
    secs=$(grep -oE 'Done [0-9]+ runs in [0-9]+ second' "$findings/$effect.log" | grep -oE 'in [0-9]+' | grep -oE '[0-9]+')
    echo "fuzz $effect: $result, ${speed:-?} inputs/s, ${secs:-?} s"
  done
done

echo "harness: fuzzed by $SECONDS s"

echo "== harness: threaded edits under ThreadSanitizer, $soak_ms ms per effect"
log=$(mktemp)
QUILL_SOAK_MS=$soak_ms TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}" \
  build/tsan/tests/tsan/threaded_edits_tests >"$log" 2>&1
rc=$?
ok=$(grep -c '^\[       OK \]' "$log")
grep -E '^\[ +(OK|FAILED) +\] .*\(|^tw[a-z]+: [0-9]+ streams|Failure' "$log"
if [ "$rc" -ne 0 ]; then
  sed -n '/WARNING: ThreadSanitizer/,/^SUMMARY/p' "$log" | head -n 60
  # A race stops the run where it is found: the effects not reached fail too.
  [ "$ok" -ge "${#effects[@]}" ] && ok=$((${#effects[@]} - 1))
fi
rm -f "$log"
passed=$((passed + ok))
failed=$((failed + ${#effects[@]} - ok))

echo "harness: done in $SECONDS s"
echo "harness: $passed tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
