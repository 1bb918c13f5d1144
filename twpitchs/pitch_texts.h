// What the pitch page writes about a shift: the ratio as text and the
// shift's musical name ("Up 5th +", "Down Major 7th").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// "%d.%05d" of the ratio cut to five decimals: 1.49830 for a fifth up.
std::string RatioText(double ratio);

// A shift's nearest interval. `shift` is false when the shift is heard as
// none (within a whole semitone of unison, or a ratio within 0.2 %).
struct MusicalInterval {
  bool shift = false;
  bool up = false;
  int interval = 0;  // 0 octave (or unison), 1 minor 2nd, ... 11 major 7th
  char sign = ' ';   // '+' or '-' for cents beyond the interval, else a blank
};

// For `semitones`, `centsTenths` and the ratio the page stores for them.
MusicalInterval MusicalEquivalent(std::int32_t semitones, std::int32_t centsTenths, double ratio);

// The page's words for it, from its string table.
struct MusicalWords {
  std::string_view up, down, blank;
  std::array<std::string_view, 12> intervals;  // "Octave", "Minor 2nd", ... "Major 7th"
};

// "%s %s %c": direction, interval and sign; for no shift the blank word
// twice and a blank.
std::string MusicalText(const MusicalInterval& interval, const MusicalWords& words);

}  // namespace quill
