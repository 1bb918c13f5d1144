#include "twtime/time_presets.h"

namespace quill {

namespace {

// name; final length (tenths of a percent), mode, tempo (tenths bpm),
// length (frames: one minute at 44.1 kHz), input format, reserved
constexpr Preset<TimeParams> kPresets[] = {
    {"(Default)", {1100.0, 0, 1200, 2646000.0, 0, 0}},
    {"Time compress 85 % of original", {850.0, 0, 1200, 2646000.0, 0, 0}},
};
static_assert(sizeof(kPresets[0]) == 96, "64-byte name and the 32-byte block");

}  // namespace

PresetTable<TimeParams> TimePresets() {
  return kPresets;
}

}  // namespace quill
