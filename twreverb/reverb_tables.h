// The reverb's fixed tables: the reverberation modes (line delays of the
// tail) and the early-reflection styles (three taps each).
#pragma once

#include <cstdint>
#include <span>

namespace quill {

struct ReverbMode {
  char name[50];
  double lines;        // 8, 9 or 10
  double delayMs[10];  // only the first `lines` are used
};

struct EarlyStyle {
  char name[50];
  double delayMs[3];
  std::int32_t gainPct[3];  // negative inverts the tap
  std::int32_t pan[3];      // -100 full left .. +100 full right
};

std::span<const ReverbMode> ReverbModeTable();
std::span<const EarlyStyle> EarlyStyleTable();

// A row's name, or null past the last.
const char* ReverbModeName(int row);
const char* EarlyStyleName(int row);

}  // namespace quill
