#!/usr/bin/env bash
# Prints a digest of what quillfx makes of every preset of every effect: the
# 4-second mono demo material and 3 seconds of stereo measurement material in
# 16-bit, and for the first three presets the stereo material in every other
# sample kind with an odd block size. One line per render: effect, preset,
# input, kind, MD5 of the output file. Two builds whose digests are equal
# produce byte-identical output; run it before and after a change that must
# not change the sound and compare the two with diff.
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
  if "$fx" -q "$@" "$work/$input.wav" "$work/out.wav" "$effect" "$preset" >/dev/null 2>&1; then
    echo "$effect $preset $input $kind $(md5sum <"$work/out.wav" | cut -c1-32)"
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
      for kind in pcm8 pcm32 float double; do render "$effect" "$p" stereo "$kind" -B 777 --kind "$kind"; done
    fi
  done
done
