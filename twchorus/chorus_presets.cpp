#include "twchorus/chorus_presets.h"

namespace quill {

namespace {

// name; input gain, dry out, chorus out (tenths dB), stages, feedback (%),
// invert chorus, delay (tenths ms), rate (tenths Hz), depth (%), high cut,
// its corner (Hz), invert feedback.
constexpr Preset<ChorusParams> kPresets[] = {
    {"(Default)", {0, -60, -44, 3, 0, 0, 400, 8, 3, 0, 5000, 0}},
    {"Fast flange 1", {0, -34, -34, 1, 32, 0, 12, 7, 100, 0, 5000, 0}},
    {"Slow flange 1", {0, -49, -57, 1, 50, 0, 8, 5, 75, 0, 5000, 0}},
    {"Slow flange 2", {-20, -80, -44, 1, 60, 0, 12, 5, 100, 0, 5000, 0}},
    {"Chorus/vibrato 1", {0, -37, -37, 1, 57, 0, 100, 5, 100, 0, 5000, 0}},
    {"Chorus/vibrato 2", {0, -37, -69, 1, 37, 0, 292, 70, 8, 0, 5000, 0}},
    {"Chorus 5", {0, -49, -77, 2, 37, 0, 292, 21, 12, 0, 5000, 0}},
    {"Chorus 4", {0, -49, -52, 2, 26, 0, 90, 5, 26, 0, 5000, 0}},
    {"Chorus 3", {0, -60, -60, 3, 16, 0, 405, 5, 8, 0, 5000, 0}},
    {"Chorus 2", {0, -60, -60, 2, 15, 0, 300, 5, 8, 0, 5000, 0}},
    {"Chorus 1", {0, -60, -44, 3, 0, 0, 400, 8, 3, 0, 5000, 0}},
    {"Cheap TV", {-20, 0, 0, 2, 0, 1, 1, 1, 100, 0, 5000, 0}},
    {"Fast flange 2", {0, -57, -57, 1, 70, 0, 50, 23, 16, 0, 5000, 0}},
    {"Echo-vibrato 1", {0, -92, -140, 2, 15, 0, 1000, 60, 8, 0, 5000, 0}},
    {"Echo-vibrato 2", {0, -92, -60, 1, 0, 0, 1000, 60, 5, 0, 5000, 0}},
    {"Echo-vibrato 4", {0, -92, -60, 1, 50, 0, 1000, 200, 1, 0, 5000, 0}},
    {"Vibrato-verb 3", {0, -92, -140, 1, 60, 0, 1000, 50, 1, 0, 5000, 0}},
    {"Echo-vibrato 3", {0, -92, -80, 3, 50, 0, 1000, 200, 1, 0, 5000, 0}},
    {"Vibrato-verb 1", {0, -92, -91, 3, 50, 0, 1000, 70, 1, 0, 5000, 0}},
    {"Vibrato-verb 2", {0, -92, -60, 3, 60, 0, 1000, 56, 3, 0, 5000, 0}},
    {"Hard flange", {-20, -31, -31, 1, 90, 0, 8, 5, 75, 0, 5000, 0}},
    {"Slow flange 4", {0, -44, -31, 1, 0, 0, 6, 2, 75, 0, 5000, 0}},
    {"Slow flange 3", {0, -80, -31, 1, 20, 0, 5, 7, 80, 0, 5000, 0}},
};
static_assert(sizeof(kPresets[0]) == 112, "64-byte name and 12 fields");
static_assert(sizeof(kPresets) / sizeof(kPresets[0]) == 23, "23 presets");

}  // namespace

PresetTable<ChorusParams> ChorusPresets() {
  return kPresets;
}

}  // namespace quill
