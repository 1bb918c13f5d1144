#!/usr/bin/env bash
# Installs what the build needs from Debian and builds both targets:
# the native core, tools and tests, and the Windows component with its tests.
# Usage: scripts/setup.sh [--sanitize | --demo]
#   --sanitize  also builds the sanitizer configuration
#   --demo      builds only what the demo job runs: quilldemo, QUILLFX1.DLL,
#               quillhost and the help file (the tests wait for scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

# Recommendations stay off, so every package needed is named here:
#   wine                       the wine command (wine64 alone brings only the loader)
#   gstreamer1.0-plugins-good  the platform's WAVE parser is built on its wavparse
#   xvfb xauth                 the virtual display (xvfb-run needs xauth)
#   lv2-dev liblilv-dev pkg-config   the LV2 bundle and its tests (the host library, found by pkg-config)
#   lilv-utils gstreamer1.0-plugins-bad gstreamer1.0-tools
#                              hosts the tests run the bundle in: lv2apply, and GStreamer's
#                              LV2 element under gst-launch-1.0
#   clang libclang-rt-14-dev   the fault harness (scripts/harness.sh): clang++ itself, and the
#                              libFuzzer, AddressSanitizer and ThreadSanitizer runtimes, which
#                              clang-14 only recommends (through libclang-common-14-dev)
packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev libsndfile1-dev
          g++-mingw-w64-x86-64-posix wine wine64 gstreamer1.0-plugins-good xvfb xauth
          lv2-dev liblilv-dev pkg-config lilv-utils gstreamer1.0-plugins-bad gstreamer1.0-tools
          clang libclang-rt-14-dev)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

echo "== installing packages: ${packages[*]}"
# Wait for another apt run (an unattended upgrade, say) rather than fail.
as_root apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null
as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${packages[@]}" >/dev/null

presets=(native windows)
[ "${1:-}" = "--sanitize" ] && presets+=(native-sanitize)
for preset in "${presets[@]}"; do
  targets=()
  if [ "${1:-}" = "--demo" ]; then
    [ "$preset" = native ] && targets=(--target quilldemo) || targets=(--target quillfx1 quillhost quillfx1_help)
  fi
  echo "== configuring and building: $preset${targets[*]:+ (${targets[*]:1})}"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 "${targets[@]}"
done
