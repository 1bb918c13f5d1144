#!/usr/bin/env bash
# Sets everything up, then runs the main job on the built-in demo material:
# QUILLFX1.DLL is registered in the build tree's Wine prefix and the
# reference host streams four seconds of plucked tones and noise bursts
# through the simple delay ("Echo chamber") in a real filter graph.
# Results go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --demo

mkdir -p out
build/native/tools/quilldemo --make-material out/demo-material.wav

prefix="$PWD/build/windows/wineprefix"
export WINEPREFIX="$prefix"
cmake/wine-server.sh up "$prefix" >/dev/null
trap 'cmake/wine-server.sh down "$prefix" >/dev/null' EXIT
cmake --build --preset windows --target register_quillfx1 >/dev/null

echo "== demo: simple delay \"Echo chamber\" on the built-in material, in a filter graph under Wine"
cmake/wine-run.sh build/windows/bin/quillhost.exe --effect delay --preset "Echo chamber" \
  out/demo-material.wav out/demo-simple-delay.wav
echo "== written: out/demo-material.wav, out/demo-simple-delay.wav"
help=build/windows/bin/QUILLFX1.HLP
echo "== help: $help beside QUILLFX1.DLL, $(stat -c %s "$help") bytes, opened by the settings pages"
