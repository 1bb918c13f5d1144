#!/usr/bin/env bash
# Prints a digest of what quillfx makes of every preset of every effect: the
# 4-second mono demo material and 3 seconds of stereo measurement material in
# 16-bit, and for the first three presets the stereo material in every other
# sample kind with an odd block size. One line per render: effect, preset,
# input, kind, MD5 of the output's samples (written headerless, in the
# processing kind's own word). Two builds whose digests are equal produce
# the same samples; run it before and after a change that must not change
# the sound and compare the two with diff.
#
# usage: scripts/output-digest.sh [NATIVE_BUILD]     (default build/native)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
fx=$build/tools/quillfx
for need in "$fx" "$build/tools/quilldemo"; do
  [ -x "$need" ] || { echo "output-digest: $need is missing; build the native target first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/quilldemo" --make-material "$work/mono.wav" >/dev/null
"$build/tools/quilldemo" --make-long "$work/stereo.wav" 3 2 >/dev/null

render() {  # effect preset input kind [quillfx options...]
  local effect=$1 preset=$2 input=$3 kind=$4
  shift 4
  if "$fx" -q -t raw "$@" "$work/$input.wav" "$work/out.raw" "$effect" "$preset" >/dev/null 2>&1; then
    echo "$effect $preset $input $kind $(md5sum <"$work/out.raw" | cut -c1-32)"
  else
    echo "$effect $preset $input $kind failed"
  fi
}

mapfile -t effects < <("$fx" --list | sed -n 's/^\([a-z]*\) (alias .*/\1/p')
for effect in "${effects[@]}"; do
  presets=$("$fx" --presets "$effect" | grep -c '^ *[0-9]')
  for ((p = 0; p < presets; p++)); do
    render "$effect" "$p" mono pcm16
    render "$effect" "$p" stereo pcm16
    if [ "$p" -lt 3 ]; then
      # Each kind written in its own word, so that nothing is converted after the chain.
      render "$effect" "$p" stereo pcm8 -B 777 --kind pcm8 -b 8
      render "$effect" "$p" stereo pcm32 -B 777 --kind pcm32 -b 32
      render "$effect" "$p" stereo float -B 777 --kind float -e float
      render "$effect" "$p" stereo double -B 777 --kind double -b 64
    fi
  done
done
