#!/usr/bin/env bash
# Times quillfx against the peer tools (sox, soundstretch, rubberband) on the
# same jobs and the same input: a deterministic 60-second stereo file made by
# quilldemo, at 44.1 kHz in 16-bit, or for some jobs the same material made
# at 96 kHz, or converted to 32-bit float. Each job runs quillfx and a peer
# in turns (paired runs, RUNS pairs) and takes the median wall time of each;
# with --callgrind it also counts each whole process's instructions once
# under valgrind's callgrind (--callgrind=sox,soundstretch counts only those
# peers; quillfx always). Prints one table: a row per job and peer, with the
# ratios quillfx / peer, and whether quillfx meets the target, 0.4 of the
# fastest peer, in time and in instructions.
#
# usage: bench/peers.sh [--callgrind[=TOOLS]] [--runs N] [--jobs PATTERN]
# Needs build/native (NATIVE_BUILD names another); installs the peers with
# apt-get when they are missing. Files go to a scratch directory (WORK).
set -euo pipefail
cd "$(dirname "$0")/.."

# quillfx meets the target when its time (and instruction count) is at most
# this fraction of the fastest peer's on the job.
target=0.4

callgrind=0
counted=all
runs=5
pattern=.
while [ $# -gt 0 ]; do
  case $1 in
    --callgrind) callgrind=1 ;;
    --callgrind=*) callgrind=1; counted=,${1#--callgrind=}, ;;
    --runs) runs=$2; shift ;;
    --jobs) pattern=$2; shift ;;
    *) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
  shift
done

native=${NATIVE_BUILD:-build/native}
quillfx=$PWD/$native/tools/quillfx
quilldemo=$PWD/$native/tools/quilldemo
for need in "$quillfx" "$quilldemo"; do
  [ -x "$need" ] || { echo "peers: $need is missing; build the native preset first" >&2; exit 1; }
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
missing=()
command -v sox >/dev/null || missing+=(sox)
command -v soundstretch >/dev/null || missing+=(soundstretch)
command -v rubberband >/dev/null || missing+=(rubberband-cli)
command -v valgrind >/dev/null || missing+=(valgrind)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}" >/dev/null
fi

work=${WORK:-$(mktemp -d)}
mkdir -p "$work"

# The inputs, each made when a job first needs it: 16-bit at 44.1 kHz, the
# same material made at 96 kHz, and the 16-bit file as 32-bit float (exact).
input_file() {
  local file=$work/input-$1.wav
  if [ ! -f "$file" ]; then
    case $1 in
      cd) "$quilldemo" --make-long "$file" 60 2 >&2 ;;
      96k) "$quilldemo" --make-long "$file" 60 2 96000 >&2 ;;
      float) sox "$(input_file cd)" -e floating-point -b 32 "$file" >&2 ;;
    esac || { rm -f "$file"; echo "peers: making the $1 input failed" >&2; return 1; }
  fi
  echo "$file"
}

# Each job: a name, the input (cd, 96k or float), then "tool|arguments after
# the file names" entries, quillfx first. INPUT and OUTPUT are filled in per tool.
jobs=(
  "single echo;cd;quillfx|delay feedback=0 delayMs=100 delayOut=-30 dryOut=0;sox|echo 0.8 0.9 100 0.5"
  "multi-tap (7 taps);cd;quillfx|multitap tapCount=7;sox|echos 0.8 0.7 40 0.25 63 0.3 90 0.25 120 0.2 160 0.15 210 0.1 270 0.05"
  "chorus;cd;quillfx|chorus;sox|chorus 0.7 0.9 55 0.4 0.25 2 -t"
  "chorus, 96 kHz;96k;quillfx|chorus;sox|chorus 0.7 0.9 55 0.4 0.25 2 -t"
  "reverb;cd;quillfx|reverb \"Medium hall\";sox|reverb"
  "reverb, float input;float;quillfx|reverb \"Medium hall\";sox|reverb"
  "time 110 %;cd;quillfx|time finalTenths=1100;sox|tempo 0.9090909;soundstretch|-tempo=-9.0909;rubberband|-q -t 1.1"
  "time 110 %, float input;float;quillfx|time finalTenths=1100;sox|tempo 0.9090909;soundstretch|-tempo=-9.0909;rubberband|-q -t 1.1"
  "time 50 %;cd;quillfx|time finalTenths=500;sox|tempo 2;soundstretch|-tempo=+100;rubberband|-q -t 0.5"
  "time 200 %;cd;quillfx|time finalTenths=2000;sox|tempo 0.5;soundstretch|-tempo=-50;rubberband|-q -t 2"
  "time 500 %;cd;quillfx|time finalTenths=5000;sox|tempo 0.2;soundstretch|-tempo=-80;rubberband|-q -t 5"
  "pitch +7, same duration;cd;quillfx|pitch semitones=7 preserveDuration=1;sox|pitch 700;soundstretch|-pitch=+7;rubberband|-q -p 7"
  "pitch -7, same duration;cd;quillfx|pitch semitones=-7 preserveDuration=1;sox|pitch -700;soundstretch|-pitch=-7;rubberband|-q -p -7"
  "pitch +7, resampled;cd;quillfx|pitch semitones=7 preserveDuration=0;sox|speed 1.4983071;soundstretch|-rate=+49.83071"
)

# The command line of one tool on one job, as a string for eval.
command_for() {
  local tool=$1 args=$2 out=$3 input=$4
  case $tool in
    quillfx) echo "\"$quillfx\" -q \"$input\" \"$out\" $args" ;;
    sox) echo "sox -q \"$input\" \"$out\" $args" ;;
    soundstretch) echo "soundstretch \"$input\" \"$out\" $args" ;;
    rubberband) echo "rubberband $args \"$input\" \"$out\"" ;;
  esac
}

# Wall seconds of one run.
wall() {
  local start end
  start=$(date +%s%N)
  eval "$1" >/dev/null 2>&1 || { echo "peers: failed: $1" >&2; return 1; }
  end=$(date +%s%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", (b - a) / 1e9}'
}

median() { sort -n | awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Instructions of the whole process (children included) under callgrind.
instructions() {
  local log=$work/callgrind.log
  eval "valgrind --tool=callgrind --trace-children=yes --callgrind-out-file=/dev/null --log-file=$log $1" \
    >/dev/null 2>&1 || { echo "peers: failed under callgrind: $1" >&2; return 1; }
  sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$log" | awk '{s += $1} END {printf "%.0f\n", s}'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }
giga() { awk -v a="$1" 'BEGIN {printf "%.3f", a / 1e9}'; }

printf '| job | peer | quillfx s | peer s | time ratio | quillfx G instr | peer G instr | instr ratio | %s of fastest peer |\n' "$target"
printf '|---|---|---:|---:|---:|---:|---:|---:|---|\n'
for job in "${jobs[@]}"; do
  IFS=';' read -r -a parts <<<"$job"
  name=${parts[0]}
  [[ $name =~ $pattern ]] || continue
  input=$(input_file "${parts[1]}")
  qargs=${parts[2]#quillfx|}
  effect=${qargs%% *}
  built=1
  "$quillfx" --help-effect "$effect" >/dev/null 2>&1 || built=0

  rows=()
  best_time=
  best_instr=
  q_instr=
  qcmd=$(command_for quillfx "$qargs" "$work/q.wav" "$input")
  [ $built -eq 1 ] && [ $callgrind -eq 1 ] && q_instr=$(instructions "$qcmd")
  for entry in "${parts[@]:3}"; do
    tool=${entry%%|*}
    args=${entry#*|}
    pcmd=$(command_for "$tool" "$args" "$work/p.wav" "$input")
    qtimes=()
    ptimes=()
    for ((r = 0; r < runs; r++)); do
      [ $built -eq 1 ] && qtimes+=("$(wall "$qcmd")")
      ptimes+=("$(wall "$pcmd")")
    done
    pt=$(printf '%s\n' "${ptimes[@]}" | median)
    qt=-
    [ $built -eq 1 ] && qt=$(printf '%s\n' "${qtimes[@]}" | median)
    pi=
    if [ $callgrind -eq 1 ] && { [ "$counted" = all ] || [[ $counted == *,$tool,* ]]; }; then
      pi=$(instructions "$pcmd")
    fi
    rows+=("$tool;$qt;$pt;$pi")
    if [ -z "$best_time" ] || awk -v a="$pt" -v b="$best_time" 'BEGIN {exit !(a < b)}'; then best_time=$pt; fi
    if [ -n "$pi" ] && { [ -z "$best_instr" ] || awk -v a="$pi" -v b="$best_instr" 'BEGIN {exit !(a < b)}'; }; then
      best_instr=$pi
    fi
  done
  for row in "${rows[@]}"; do
    IFS=';' read -r tool qt pt pi <<<"$row"
    if [ $built -eq 0 ]; then
      printf '| %s | %s | not built | %s | - | - | %s | - | - |\n' "$name" "$tool" "$pt" "$([ -n "$pi" ] && giga "$pi" || echo -)"
      continue
    fi
    verdict=-
    if [ "$pt" = "$best_time" ]; then
      verdict=$(awk -v q="$qt" -v p="$pt" -v t="$target" 'BEGIN {print (q <= p * t) ? "time ok" : "time MISS"}')
      if [ -n "$pi" ] && [ -n "$best_instr" ]; then
        verdict+=$(awk -v q="$q_instr" -v p="$best_instr" -v t="$target" 'BEGIN {print (q <= p * t) ? ", instr ok" : ", instr MISS"}')
      fi
    fi
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$tool" "$qt" "$pt" "$(ratio "$qt" "$pt")" \
      "$([ -n "$q_instr" ] && giga "$q_instr" || echo -)" "$([ -n "$pi" ] && giga "$pi" || echo -)" \
      "$([ -n "$pi" ] && ratio "$q_instr" "$pi" || echo -)" "$verdict"
  done
done
echo
echo "input: 60 s, 44.1 kHz, stereo, 16-bit (96 kHz or 32-bit float where the job says so);" \
  "$runs paired runs, median wall time; $(date -u +%Y-%m-%d);" \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores"
[ -n "${WORK:-}" ] || rm -rf "$work"
