#include "twreverb/reverb_presets.h"

namespace quill {

namespace {

// name; dry, reverb, early out (tenths dB), mode, style, decay (tenths s),
// pre-delay (ms), bass cut, its Hz, high cut, its Hz
constexpr Preset<ReverbParams> kPresets[] = {
    {"(Default)", {0, -350, -200, 0, 3, 25, 30, 1, 20, 1, 12000}},
    {"Bright hall", {0, -350, -200, 0, 3, 25, 30, 1, 20, 1, 12000}},
    {"Cathedral", {0, -240, -200, 8, 5, 30, 70, 1, 20, 1, 7000}},
    {"Dense room", {0, -250, -200, 10, 1, 6, 1, 1, 20, 1, 5000}},
    {"Long hall", {0, -350, -300, 4, 2, 25, 60, 1, 20, 1, 5000}},
    {"Medium hall", {0, -300, -300, 2, 1, 12, 5, 1, 20, 1, 5000}},
    {"Medium room", {0, -200, -800, 13, 0, 5, 1, 1, 20, 1, 5000}},
    {"Metal tank", {0, -160, -200, 18, 5, 25, 10, 1, 400, 1, 3000}},
    {"Plate", {0, -350, -200, 16, 3, 20, 15, 1, 20, 0, 5000}},
    {"Sewer", {0, -160, -200, 18, 3, 20, 15, 1, 20, 1, 10000}},
    {"Small hall", {0, -240, -200, 2, 1, 10, 10, 1, 20, 1, 8000}},
    {"Very long hall", {0, -418, -300, 4, 5, 50, 45, 1, 100, 1, 10000}},
};
static_assert(sizeof(kPresets[0]) == 108, "64-byte name and eleven fields");

}  // namespace

PresetTable<ReverbParams> ReverbPresets() {
  return kPresets;
}

}  // namespace quill
