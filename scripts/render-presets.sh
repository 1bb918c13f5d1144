#!/usr/bin/env bash
# Renders the demo material through every preset of one effect with the
# reference host, in a real filter graph under Wine, and prints one table
# row per preset: index, name, output frames and output peak.
#
# usage: scripts/render-presets.sh EFFECT      (multitap, chorus, reverb, delay,
#                                               or an internal name such as twreverb)
# Builds are taken from build/native and build/windows unless NATIVE_BUILD
# and WINDOWS_BUILD name others; the rendered files go to out/presets/EFFECT/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 1 ]; then
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
effect=$1
native=${NATIVE_BUILD:-build/native}
windows=${WINDOWS_BUILD:-build/windows}
for need in "$native/tools/quilldemo" "$windows/bin/quillhost.exe" "$windows/bin/QUILLFX1.DLL"; do
  [ -e "$need" ] || { echo "render-presets: $need is missing; build both targets first" >&2; exit 1; }
done

out="out/presets/$effect"
mkdir -p "$out"
material="$out/demo-material.wav"
"$native/tools/quilldemo" --make-material "$material"

# The build folders may be given relative to the tree or as absolute paths.
export WINEPREFIX="$(cd "$windows" && pwd)/wineprefix"
cmake/wine-server.sh up "$WINEPREFIX" >/dev/null
trap 'cmake/wine-server.sh down "$WINEPREFIX" >/dev/null' EXIT
cmake/wine-run.sh regsvr32 /s "$windows/bin/QUILLFX1.DLL"

host() { cmake/wine-run.sh "$windows/bin/quillhost.exe" "$@" | tr -d '\r'; }

presets=$(host --effect "$effect" --presets)
printf '| %s | %s | %s | %s |\n' "preset" "name" "output frames" "peak dBFS"
printf '|---:|---|---:|---:|\n'
while read -r index name; do
  report=$(host --effect "$effect" --preset "$index" "$material" "$out/preset-$index.wav")
  frames=$(sed -n 's/^frames out: *\([0-9]*\).*/\1/p' <<<"$report")
  peak=$(sed -n 's/^output peak:.*(\(.*\) dBFS).*/\1/p' <<<"$report")
  printf '| %s | %s | %s | %s |\n' "$index" "$name" "$frames" "${peak:-silence}"
done <<<"$presets"
