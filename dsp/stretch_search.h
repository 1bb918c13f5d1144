// The stretcher's search, fast: the same sums and the same decisions as
// TimeStretcher::Search, computed over copies of the stride points in
// double precision, one channel to an array, so that neighbouring candidates
// sit in neighbouring memory and a vector register holds several of them.
// Each candidate's sum still adds its terms one by one, in order and in
// double arithmetic, so whichever path runs, every sum is the same double.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/line_buffer.h"

namespace quill {

class StretchSearch {
 public:
  // Which loop computes the sums: the widest the processor has, or the
  // portable one (for tests and for processors without the wider registers).
  enum class Path { Widest, Portable };

  // Stride points per channel the geometry (R, D) compares.
  static std::uint32_t Points(std::int32_t R, std::uint32_t D);

  // [streaming start] Holds the copies for up to `points` stride points per
  // channel. False if the memory cannot be had.
  bool Reserve(std::uint32_t points, std::uint32_t channels);

  // [any thread] The offset TimeStretcher::Search would return for the same
  // arguments. Its copies go to the reserved memory; a geometry that
  // outgrows it is left to the plain search, which needs none.
  template <class Real>
  std::uint32_t Find(const Real* window, const Real* block, std::uint32_t channels, std::int32_t R,
                     std::uint32_t D, float A);

  void Use(Path path) { path_ = path; }

 private:
  // The copies: per channel the window's 2n - 1 stride points (zero-padded
  // for the last group of candidates) and the block's n.
  bool Lay(std::uint32_t n, std::uint32_t channels);

  LineBuffer memory_;
  double* window_[2] = {};
  double* block_[2] = {};
  Path path_ = Path::Widest;
};

}  // namespace quill
