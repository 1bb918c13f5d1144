#include "twpitchs/transpose.h"

#include <cmath>

namespace quill {

double TransposeRatio(std::int32_t semitones, std::int32_t centsTenths) {
  const double semitoneFactor = semitones >= 0 ? std::pow(1.05946309436, semitones)
                                               : std::pow(0.9438743126810656, -static_cast<double>(semitones));
  const double centFactor = centsTenths >= 0 ? std::pow(1.0005946309436, centsTenths * 0.1)
                                             : std::pow(0.9994057224322309, centsTenths * -0.1);
  return centFactor * semitoneFactor;
}

std::uint32_t VirtualRate(std::uint32_t rate, double ratio) {
  const double v = std::trunc(rate / ratio);
  if (!(v >= 1.0)) return 1;
  return v > 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(v);
}

}  // namespace quill
