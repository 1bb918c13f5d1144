#include "tools/common/run_engine.h"

namespace quill {

namespace {
template <class Kind>
double PeakAs(const WavData& data) {
  const std::size_t count = data.bytes.size() / sizeof(typename Kind::Sample);
  double peak = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    typename Kind::Sample s;
    std::memcpy(&s, data.bytes.data() + i * sizeof s, sizeof s);
    peak = std::max(peak, std::fabs(Kind::ToEngine(s)));
  }
  return peak;
}
}  // namespace

double PeakOf(const WavData& data) {
  const auto kind = SampleKindOf(data.format);
  if (!kind) return 0.0;
  return WithSampleKind(*kind, [&](auto k) { return PeakAs<decltype(k)>(data); });
}

}  // namespace quill
