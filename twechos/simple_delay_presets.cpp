#include "twechos/simple_delay_presets.h"

namespace quill {

namespace {

// name; feedback, delay (ms), decay (tenths s), delay out, dry out (tenths dB)
constexpr Preset<SimpleDelayParams> kPresets[] = {
    {"(Default)", {0, 100, 1, -60, -60}},
    {"Echo chamber", {1, 400, 20, -30, -90}},
    {"Slap-back echo", {0, 400, 20, -120, -90}},
    {"Grand Canyon", {1, 1000, 30, -140, -40}},
    {"Shift selection forwards  (select one channel only)", {0, 1000, 20, 0, -800}},
    {"Pseudo-stereo (select one channel only)", {0, 10, 1, 0, -800}},
};
static_assert(sizeof(kPresets[0]) == 84, "64-byte name and five fields");

}  // namespace

PresetTable<SimpleDelayParams> SimpleDelayPresets() { return kPresets; }

}  // namespace quill
