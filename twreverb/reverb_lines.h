// The reverb's building blocks: the recirculating lines of the tail, the two
// input filters, the pre-delay and the early-reflection ring. Every ring is
// walked by pointer and wrapped by comparison with its end.
#pragma once

#include <cstdint>

#include "dsp/one_pole.h"

#include "twreverb/reverb_tables.h"

namespace quill {

// One recirculating line with the high-cut damping in its feedback.
struct CombLine {
  double* start = nullptr;
  double* cursor = nullptr;
  double* end = nullptr;
  double g = 0.0;     // feedback gain: -60 dB over the decay time
  double damp = 0.0;  // damping state
  std::uint32_t length = 0;

  void Attach(double* ring, std::uint32_t n) {
    start = cursor = ring;
    end = ring + n;
    length = n;
    damp = 0.0;
  }

  // Returns what the line held n samples ago and feeds u back in.
  double Step(double u, double a, double b) {
    const double o = *cursor;
    damp = damp * a + o * b;
    *cursor = (u + damp) * g;
    if (++cursor == end) cursor = start;
    return o;
  }
};

// The right channel's stand-in for lines 0 and 1 in stereo, slightly
// detuned from them to decorrelate the channels.
struct TwinLine : CombLine {};

// One-pole low-pass on the tail's input; its coefficients also damp the lines.
struct HighCut : OnePole {
  double h = 0.0;

  double Step(double x) {
    h = a * h + b * x;
    return h;
  }
};

// Removes the lows by subtracting a two-pole resonant low-pass that has
// unity gain at zero frequency.
struct BassCut {
  double b1 = 0.0, b2 = 0.0, g = 0.0;
  double y1 = 0.0, y2 = 0.0;

  // f in cycles per sample, w the damping width.
  void Setup(double f, double w);

  double Step(double x) {
    const double y = b1 * y1 + g * x - b2 * y2;
    y2 = y1;
    y1 = y;
    return x - y;
  }
};

// Delays the tail: written, advanced, then read, so L slots delay by L - 1.
struct PreDelayRing {
  double* start = nullptr;
  double* cursor = nullptr;
  double* end = nullptr;

  void Attach(double* ring, std::uint32_t n) {
    start = cursor = ring;
    end = ring + n;
  }
  std::uint32_t Length() const { return static_cast<std::uint32_t>(end - start); }

  double Step(double s) {
    *cursor = s;
    if (++cursor == end) cursor = start;
    return *cursor;
  }
};

// The input history for the three early taps. The ring is as long as the
// longest tap, which reads under the write cursor before it is written.
struct EarlyRing {
  double* start = nullptr;
  double* end = nullptr;
  double* write = nullptr;
  double* tap0 = nullptr;
  double* tap1 = nullptr;

  // Taps of t0 and t1 samples (1 <= t <= n) on a ring of n.
  void Attach(double* ring, std::uint32_t n, std::uint32_t t0, std::uint32_t t1) {
    start = write = ring;
    end = ring + n;
    tap0 = ring + (n - t0);
    tap1 = ring + (n - t1);
  }
  std::uint32_t Length() const { return static_cast<std::uint32_t>(end - start); }

  void Advance() {
    if (++write == end) write = start;
    if (++tap0 == end) tap0 = start;
    if (++tap1 == end) tap1 = start;
  }
};

// The three early taps of one style at one rate, after the ordering pass
// that puts the longest tap last.
struct EarlyTaps {
  std::uint32_t length[3];
  double gainLeft[3];
  double gainRight[3];
};

// False if a tap is too long to count in 32 bits.
bool ComputeEarlyTaps(const EarlyStyle& style, double rate, bool stereo, EarlyTaps& out);

}  // namespace quill
