// The splice modes the time and pitch effects offer: window, search range,
// search stride, cross-fade and early-acceptance factor per row.
#pragma once

#include <cstdint>

namespace quill {

struct StretchMode {
  char name[50];               // the "Mode" combo box text, NUL-padded ANSI
  std::int32_t windowMs;       // window length
  std::int32_t searchMs;       // search range
  std::int32_t searchStep;     // search stride in frames at 32 kHz and above
  std::int32_t fadeMs;         // cross-fade length
  std::int32_t acceptPercent;  // early-acceptance factor in hundredths
};
static_assert(sizeof(StretchMode) == 72, "50-byte name, padding, five 32-bit fields");

inline constexpr std::int32_t kStretchModeCount = 19;

extern const StretchMode StretchModeTable[kStretchModeCount];

// A row's name, or null past the last: the pages' mode lists are filled
// from it.
inline const char* StretchModeName(int row) {
  return row >= 0 && row < kStretchModeCount ? StretchModeTable[row].name : nullptr;
}

}  // namespace quill
