// The one-pole low-pass of the multi-tap delay, the chorus and the reverb's
// high cut: y = b·x + a·y with a = e^(−2π f / fs) and b = 1 − a, or the
// signal passed unchanged (a 0, b 1).
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/oscillator.h"

namespace quill {

// Whether a cut-off of `hz` is below half of `rate` (by integer division, as
// the set-ups have always computed it). The multi-tap low-pass still runs
// with its cut-off at exactly half the rate (includeHalf); the chorus
// switches its off there. The reverb's high cut takes its coefficient at
// twice its frequency and so runs on up to the rate itself.
inline bool BelowHalfRate(std::int32_t hz, std::uint32_t rate, bool includeHalf) {
  const auto f = static_cast<std::uint32_t>(hz);
  return includeHalf ? f <= rate / 2 : f < rate / 2;
}

struct OnePole {
  double a = 0.0;
  double b = 1.0;

  // On: the coefficients for a cut-off of `hz` at `rate`; off: pass-through.
  void Set(bool on, double hz, double rate) {
    if (on) {
      a = std::exp(-kTwoPi * hz / rate);
      b = 1.0 - a;
    } else {
      a = 0.0;
      b = 1.0;
    }
  }
};

}  // namespace quill
