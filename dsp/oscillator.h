// The sine sweeps of the modulated delays.
#pragma once

namespace quill {

// 2π to the eleven decimals every coefficient of the effects has been computed with.
inline constexpr double kTwoPi = 6.28318530718;

// Radians per sample of a sweep that takes `period` samples per cycle. Below
// one sample per cycle (only at absurdly low sample rates) the sweep stands still.
inline double SweepIncrement(double period) {
  return period >= 1.0 ? kTwoPi / period : 0.0;
}

}  // namespace quill
