#include "twpitchs/pitch_presets.h"

namespace quill {

namespace {

// name; semitones, cents (tenths), accuracy, preserve duration, mode,
// reserved, ratio (rounded: the page recomputes it from semitones and
// cents), anti-alias, reserved, length (frames: one minute at 44.1 kHz)
constexpr Preset<PitchParams> kPresets[] = {
    {"(Default)", {0, 0, 2, 0, 0, 0, 1.0, 0, 0, 2646000.0}},
    {"Fifth down", {-7, 0, 2, 0, 0, 0, 0.66742, 0, 0, 2646000.0}},
    {"Fifth  up", {7, 0, 2, 0, 0, 0, 1.4983, 0, 0, 2646000.0}},
    {"Third down", {-4, 0, 2, 0, 0, 0, 0.7937, 0, 0, 2646000.0}},
    {"Third up", {4, 0, 2, 0, 0, 0, 1.25992, 0, 0, 2646000.0}},
};
static_assert(sizeof(kPresets[0]) == 112, "64-byte name and the 48-byte block");

}  // namespace

PresetTable<PitchParams> PitchPresets() {
  return kPresets;
}

}  // namespace quill
