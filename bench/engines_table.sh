#!/usr/bin/env bash
# Runs engines_bench for 44.1 kHz stereo only and prints a markdown table:
# engine, sample kind, millions of frames per second and the real-time
# factor (frames per second over 44100). Further arguments go to
# engines_bench, e.g. --benchmark_min_time=0.2.
#
# usage: bench/engines_table.sh [ENGINES_BENCH_OPTIONS...]
# Needs the engines_bench target of build/native (NATIVE_BUILD names another).
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${NATIVE_BUILD:-build/native}/bench/engines_bench
[ -x "$bench" ] || { echo "engines_table: $bench is missing; build the engines_bench target first" >&2; exit 1; }

"$bench" --benchmark_filter='/ch:2/rate:44100$' --benchmark_format=csv "$@" |
  awk -F, '
    /^name,/ {
      for (i = 1; i <= NF; i++) col[$i] = i
      print "| engine | kind | frames/s (M) | real-time factor |"
      print "|---|---|---:|---:|"
      next
    }
    "name" in col {
      gsub(/"/, "", $1)
      split($1, part, "/")
      if ($col["error_occurred"] == "true") printf "| %s | %s | failed | - |\n", part[1], part[2]
      else printf "| %s | %s | %.1f | %.0f |\n", part[1], part[2], $col["\"frames/s\""] / 1e6, $col["\"x realtime\""]
    }'
