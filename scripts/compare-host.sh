#!/usr/bin/env bash
# Compares quillfx (native, this machine's C runtime) with quillhost (the
# DLL in a filter graph under Wine, the Windows C runtime) on 16-bit input:
# every preset of every effect, on the demo material (mono) and on ten
# seconds of the measurement material (stereo). The two runtimes' sine,
# power and exponential may differ in the last bit, which can move a 16-bit
# sample by one step; this counts how often.
#
# Prints one row per effect and input: jobs, jobs with identical output,
# samples compared, samples that differ, the largest difference in steps,
# and jobs whose lengths differ (which would be a real fault).
#
# usage: scripts/compare-host.sh [EFFECT ...]     (default: every effect of quillfx)
# Builds are taken from build/native and build/windows unless NATIVE_BUILD
# and WINDOWS_BUILD name others; files go to out/compare-host/.
set -euo pipefail
cd "$(dirname "$0")/.."
native=${NATIVE_BUILD:-build/native}
windows=${WINDOWS_BUILD:-build/windows}
for need in "$native/tools/quillfx" "$native/tools/quilldemo" "$windows/bin/quillhost.exe" "$windows/bin/QUILLFX1.DLL"; do
  [ -e "$need" ] || { echo "compare-host: $need is missing; build both targets first" >&2; exit 1; }
done
command -v python3 >/dev/null || { echo "compare-host: needs python3 to compare the files" >&2; exit 1; }

out=out/compare-host
mkdir -p "$out"
"$native/tools/quilldemo" --make-material "$out/mono.wav"
"$native/tools/quilldemo" --make-long "$out/stereo.wav" 10 2

# The build folders may be given relative to the tree or as absolute paths.
export WINEPREFIX="$(cd "$windows" && pwd)/wineprefix"
cmake/wine-server.sh up "$WINEPREFIX" >/dev/null
trap 'cmake/wine-server.sh down "$WINEPREFIX" >/dev/null' EXIT
cmake/wine-run.sh regsvr32 /s "$windows/bin/QUILLFX1.DLL"

effects=("$@")
if [ ${#effects[@]} -eq 0 ]; then
  mapfile -t effects < <("$native/tools/quillfx" --list | sed -n 's/^\([a-z]*\) (alias .*/\1/p')
fi

# Sample-by-sample comparison of two 16-bit files: "frames-a frames-b samples differing largest".
compare() {
  python3 - "$1" "$2" <<'EOF'
import array, sys, wave
def samples(path):
    with wave.open(path, 'rb') as w:
        assert w.getsampwidth() == 2
        a = array.array('h')
        a.frombytes(w.readframes(w.getnframes()))
        return a, w.getnframes()
a, fa = samples(sys.argv[1])
b, fb = samples(sys.argv[2])
n = min(len(a), len(b))
diff = [abs(a[i] - b[i]) for i in range(n) if a[i] != b[i]]
print(fa, fb, n, len(diff), max(diff) if diff else 0)
EOF
}

printf '| effect | input | jobs | identical | samples | differing samples | largest difference | length mismatches |\n'
printf '|---|---|---:|---:|---:|---:|---:|---:|\n'
total_diff=0
total_samples=0
for effect in "${effects[@]}"; do
  count=$("$native/tools/quillfx" --presets "$effect" | wc -l)
  for input in mono stereo; do
    jobs=0 same=0 samples=0 differing=0 largest=0 mismatched=0
    for ((p = 0; p < count; p++)); do
      native_out="$out/$effect-$p-$input-native.wav"
      host_out="$out/$effect-$p-$input-host.wav"
      "$native/tools/quillfx" -q "$out/$input.wav" "$native_out" "$effect" "$p"
      cmake/wine-run.sh "$windows/bin/quillhost.exe" --effect "$effect" --preset "$p" "$out/$input.wav" "$host_out" \
        >/dev/null
      read -r fa fb n d m < <(compare "$native_out" "$host_out")
      jobs=$((jobs + 1))
      [ "$fa" -eq "$fb" ] || { mismatched=$((mismatched + 1)); echo "compare-host: $effect preset $p on $input: $fa frames native, $fb from quillhost" >&2; }
      [ "$fa" -eq "$fb" ] && [ "$d" -eq 0 ] && same=$((same + 1))
      samples=$((samples + n))
      differing=$((differing + d))
      [ "$m" -gt "$largest" ] && largest=$m
      rm -f "$native_out" "$host_out"
    done
    total_diff=$((total_diff + differing))
    total_samples=$((total_samples + samples))
    printf '| %s | %s | %d | %d | %d | %d | %d | %d |\n' "$effect" "$input" "$jobs" "$same" "$samples" "$differing" \
      "$largest" "$mismatched"
  done
done
echo
awk -v d="$total_diff" -v n="$total_samples" \
  'BEGIN {printf "all jobs: %d of %d samples differ (%.6f %%)\n", d, n, (n > 0 ? 100 * d / n : 0)}'
