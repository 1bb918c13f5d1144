// One output frame of the resampler: the tabulated kernel read at the
// distances |d - k| of the frames k = 0 .. taps - 1 from the output
// position (each weight exactly as InterpKernel::At reads it), and per
// channel the sum of the frames times their weights, k = 0 first. Several
// weights go through the vector registers at once and the two channels'
// sums share one; every lane does the same double operations in the same
// order as the plain loops, so the frame is the same on every path.
#pragma once

#include <cstdint>

namespace quill {

// y[c] for c < channels, from the frames h (channels interleaved, frame k at
// h + k * channels), the distance d of frame 0, the kernel's points per
// frame and its table of (point, step) pairs.
using KernelSumsFn = void (*)(double d, double pointsPerFrame, const double* pairs, const double* h, double* y);

enum class KernelPath { Widest, Portable };

// The routine for 9 or 15 taps and 1 or 2 channels (null for anything else),
// for callers that take it through a pointer; the resampler builds the same
// routines (dsp/kernel_frame.h) into its loop.
KernelSumsFn PickKernelSums(std::uint32_t taps, std::uint32_t channels, KernelPath path);

}  // namespace quill
