// The tap graph's arithmetic: the span a resolution row shows, the echo
// pattern the feedback makes on a 1 ms grid, and where a bar lands in the
// graph's rectangle. Integer throughout, so what the page draws is the same
// on every machine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/quillfx1.h"

namespace quill {

// Full scale of the pattern and of the bars: a gain of 100 % is 10000.
inline constexpr std::int32_t kGraphFullScale = 10000;
inline constexpr std::int32_t kGraphRows = 4;

// The span in ms of resolution row 0..3 (500, 1000, 3000, 5000); a row
// outside them shows the nearest one.
std::int32_t GraphSpanMs(std::int32_t row);

// pattern[t] for t = 0..spanMs: what the delay ring holds t ms after a unit
// impulse (10000 at t = 0), clamped to full scale either way. The feedback is
// normalised by the summed active gains, the sum taken as at least 1. `pattern`
// holds spanMs + 1 values and is expected zero-filled.
void EchoPattern(const MultiTapParams& p, std::int32_t spanMs, std::int32_t* pattern);

struct GraphRect {
  int left, top, right, bottom;
};

// A bar as a column: x, the first row and how many rows. A zero value is a
// single pixel on the centre line; any other at least one row, above the
// centre line for positive values and below it for negative ones.
struct GraphColumn {
  int x;
  int y;
  int height;
};

GraphColumn BarColumn(const GraphRect& area, std::int32_t spanMs, std::int32_t positionMs, std::int32_t value);

}  // namespace quill
