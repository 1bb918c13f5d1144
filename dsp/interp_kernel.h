// The resampler's interpolation kernel, tabulated: 4001 points over the
// distances 0..half+1 frames, read with linear interpolation between points.
// Two taps give the triangle 1 - x; nine and fifteen a sinc weighted by a
// four-term Blackman-Harris window reaching zero at half + 1 frames.
#pragma once

#include <cstdint>

#include "framework/com.h"

namespace quill {

// The rounded pi the kernel and the anti-alias design use.
inline constexpr double kPiApprox = 3.14159265356;

inline constexpr std::uint32_t kKernelPoints = 4000;  // table points 0..4000, plus two guard entries

class InterpKernel {
 public:
  InterpKernel() = default;
  ~InterpKernel();
  InterpKernel(const InterpKernel&) = delete;
  InterpKernel& operator=(const InterpKernel&) = delete;

  // [streaming start] Takes the table's memory, unless it is held; every
  // tap count fits it. E_OUTOFMEMORY if it cannot be had.
  HRESULT Reserve();

  // Fills the table for 2, 9 or 15 taps, in the memory Reserve took (taking
  // it first if it was not). E_OUTOFMEMORY leaves no table; E_INVALIDARG for
  // another tap count.
  HRESULT Build(std::uint32_t taps);

  // K(x) for 0 <= x < half + 1.
  double operator()(double x) const { return At(x * pointsPerFrame_); }
  // The same with the distance already in table points (x times PointsPerFrame()).
  double At(double xe) const {
    const auto j = static_cast<std::int32_t>(xe);  // below 4000
    const double* p = pairs_ + 2 * j;
    return p[0] + p[1] * (xe - j);
  }

  bool Ready() const { return built_; }
  double PointsPerFrame() const { return pointsPerFrame_; }
  double Point(std::uint32_t i) const { return table_[i]; }
  // The (point, step) pairs At reads, for the resampler's vector loops.
  const double* Pairs() const { return pairs_; }

 private:
  void FillPairs();

  double* table_ = nullptr;
  // Point i and the step to point i + 1 side by side, for the lookup: one
  // memory access and no subtraction per tap, the same values.
  double* pairs_ = nullptr;
  double pointsPerFrame_ = 0.0;
  bool built_ = false;
};

}  // namespace quill
