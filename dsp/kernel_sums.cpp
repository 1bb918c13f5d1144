#include "dsp/kernel_sums.h"

#include "dsp/kernel_frame.h"

namespace quill {

namespace {

template <std::uint32_t Taps, std::uint32_t Ch>
KernelSumsFn Pick(KernelPath path) {
#if QUILL_WIDE_PATH
  if (path == KernelPath::Widest && WidePathRuns()) return kernel_frame::SumsWide<Taps, Ch>;
#else
  (void)path;
#endif
  return kernel_frame::SumsPortable<Taps, Ch>;
}

}  // namespace

KernelSumsFn PickKernelSums(std::uint32_t taps, std::uint32_t channels, KernelPath path) {
  if (channels == 1 && taps == 9) return Pick<9, 1>(path);
  if (channels == 1 && taps == 15) return Pick<15, 1>(path);
  if (channels == 2 && taps == 9) return Pick<9, 2>(path);
  if (channels == 2 && taps == 15) return Pick<15, 2>(path);
  return nullptr;
}

}  // namespace quill
