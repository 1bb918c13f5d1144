// The multi-tap delay's sample loop over a stretch of frames, in a portable
// and a wide version that give the same values bit for bit.
#pragma once

#include <cstdint>

namespace quill {

inline constexpr int kTapLanes = 8;

// Values written into the ring are held within this, so runaway feedback
// saturates instead of overflowing.
inline constexpr double kTapRingLimit = 16777216.0;

// The ring, the taps and the state the loop carries from frame to frame.
struct TapState {
  double* ring;
  std::int32_t length;          // ring length
  std::int32_t w;               // write place, steps down by one
  int count;                    // taps in use, 1 to 8
  std::int32_t pos[kTapLanes];  // each tap's place before the sweep, steps down with w
  double depth[kTapLanes];      // each tap's sweep in samples
  double gL[kTapLanes], gR[kTapLanes];
  double a, b;  // low-pass coefficients
  double fb, gWet, gDry;
  double in[2], wet[2];  // low-pass states of the input and the tap sum, per channel
};

// Per frame k, with the sweep value s[k] and the input frame in[2k], in[2k +
// 1] already scaled (the output frame goes to y[2k], y[2k + 1]): the
// input low-passed; each tap read `depth * (1 + s)` samples (truncated)
// before its place; the taps summed in order per side and low-passed; y =
// gWet * wet + gDry * in; the ring written with the clamped mean of fed
// back taps and low-passed input. Places step down, wrapping to the end.
using TapStereoLoop = void (*)(TapState& t, const double* s, const double* in, std::uint32_t n, double* y);
// One channel: the sweep rounded to the nearest sample; the ring gets fb *
// wet + in.
using TapMonoLoop = void (*)(TapState& t, const double* s, const double* in, std::uint32_t n, double* y);

struct TapKernels {
  TapStereoLoop stereo;
  TapMonoLoop mono;
};

const TapKernels& PortableTapKernels();
// Null where the wide loops are not built or the processor lacks them.
const TapKernels* WideTapKernels();

}  // namespace quill
