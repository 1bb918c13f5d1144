// The resampler's interpolation kernel, tabulated: 4001 points over the
// distances 0..half+1 frames, read with linear interpolation between points.
// Two taps give the triangle 1 - x; nine and fifteen a sinc weighted by a
// four-term Blackman-Harris window reaching zero at half + 1 frames.
#pragma once

#include <cstdint>

#include "com.h"

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

  // Re-allocates (zero-filled) and fills the table for 2, 9 or 15 taps.
  // E_OUTOFMEMORY leaves no table; E_INVALIDARG for another tap count.
  HRESULT Build(std::uint32_t taps);

  // K(x) for 0 <= x < half + 1.
  double operator()(double x) const {
    const double xe = x * pointsPerFrame_;
    const auto j = static_cast<std::uint32_t>(xe);
    return table_[j] + (table_[j + 1] - table_[j]) * (xe - j);
  }

  bool Ready() const { return table_ != nullptr; }
  double PointsPerFrame() const { return pointsPerFrame_; }
  double Point(std::uint32_t i) const { return table_[i]; }

 private:
  double* table_ = nullptr;
  double pointsPerFrame_ = 0.0;
};

}  // namespace quill
