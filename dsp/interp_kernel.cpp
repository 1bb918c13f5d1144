#include "dsp/interp_kernel.h"

#include <algorithm>
#include <cmath>

#include "dsp/line_memory.h"

namespace quill {

InterpKernel::~InterpKernel() {
  FreeLine(table_);
  FreeLine(pairs_);
}

HRESULT InterpKernel::Reserve() {
  if (table_ != nullptr) return S_OK;
  table_ = static_cast<double*>(AllocLine(kKernelPoints + 3, sizeof(double)));
  pairs_ = static_cast<double*>(AllocLine(2 * (kKernelPoints + 2), sizeof(double)));
  if (table_ == nullptr || pairs_ == nullptr) {
    FreeLine(table_);
    FreeLine(pairs_);
    table_ = pairs_ = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT InterpKernel::Build(std::uint32_t taps) {
  if (taps != 2 && taps != 9 && taps != 15) return E_INVALIDARG;
  built_ = false;
  if (FAILED(Reserve())) return E_OUTOFMEMORY;
  // The table is rewritten in full; the two-tap triangle leaves the rest zero.
  std::fill(table_, table_ + kKernelPoints + 3, 0.0);
  const std::uint32_t half = taps / 2;
  pointsPerFrame_ = static_cast<double>(kKernelPoints / (half + 1));
  table_[0] = 1.0;
  if (taps == 2) {
    for (std::uint32_t i = 1; i < 2000; ++i) table_[i] = (2000.0 - i) / 2000.0;
    FillPairs();
    built_ = true;
    return S_OK;
  }
  const double span = half + 1.0;
  for (std::uint32_t i = 1; i < kKernelPoints; ++i) {
    const double x = i * span * 0.00025 * kPiApprox;
    const double y = x / span + kPiApprox;
    const double window = 0.35875 - 0.48829 * std::cos(y) + 0.14128 * std::cos(2.0 * y) - 0.01168 * std::cos(3.0 * y);
    table_[i] = std::sin(x) / x * window;
  }
  table_[kKernelPoints] = table_[kKernelPoints - 1];
  FillPairs();
  built_ = true;
  return S_OK;
}

void InterpKernel::FillPairs() {
  for (std::uint32_t i = 0; i < kKernelPoints + 2; ++i) {
    pairs_[2 * i] = table_[i];
    pairs_[2 * i + 1] = table_[i + 1] - table_[i];
  }
}

}  // namespace quill
