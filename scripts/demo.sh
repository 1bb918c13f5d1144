#!/usr/bin/env bash
# Sets everything up, then runs the main job on the built-in demo material:
# the simple delay ("Echo chamber") over four seconds of plucked tones and
# noise bursts. Results go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p out
echo "== demo: simple delay on the built-in material"
build/native/tools/quilldemo --preset "Echo chamber" --out out
