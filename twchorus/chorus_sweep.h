// The chorus stage's sample loop over a stretch of samples, in a portable
// and a wide version that give the same values bit for bit.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr std::int32_t kChorusLine = 6500;  // samples per stage line

// One stage's line and the state its loop carries from sample to sample.
struct StageRun {
  double* line;
  double rp;       // read place before the sweep; whole samples, steps down by one
  std::int32_t w;  // write place, steps down by one
  double z;        // low-pass state
  double depth;    // sweep depth in samples (whole samples)
  double a, b;     // low-pass coefficients
  double fb;       // feedback
};

// Per sample k, with the sweep value s[k]: the line interpolated at rp + depth
// * s[k] (brought into the line), low-passed into v; line[w] = fb * v + (yL[k]
// + yR[k]) * 0.5; then yL[k] = gL * v + dry * yL[k], the same on the right;
// rp and w step down, wrapping to the line's end below zero.
using ChorusStereoLoop = void (*)(StageRun& run, const double* s, std::uint32_t n, double gL, double gR, double dry,
                                  double* yL, double* yR);
// One channel: line[w] = fb * v + y[k], then y[k] = g * v + dry * y[k].
using ChorusMonoLoop = void (*)(StageRun& run, const double* s, std::uint32_t n, double g, double dry, double* y);

struct ChorusKernels {
  ChorusStereoLoop stereo;
  ChorusMonoLoop mono;
};

// The loops as written, one sample after another.
const ChorusKernels& PortableChorusKernels();
// Four samples at a time: each group reads its four places before it writes
// any, so a caller uses them only where no read of a sample falls on a place
// one to three samples behind its write (GroupsSafe). Null where the wide
// loops are not built or the processor lacks them.
const ChorusKernels* WideChorusKernels();

// Whether a stage whose read place is `rp` ahead of its write place `w` (in
// whole samples, modulo the line) and sweeps `depth` samples either way
// never reads the three places its last three writes went to.
bool GroupsSafe(double rp, std::int32_t w, double depth);

}  // namespace quill
