#include "twreverb/reverb_lines.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace quill {

void BassCut::Setup(double f, double w) {
  f = std::clamp(f, 0.0004, 0.49);
  const double r = std::exp(-std::numbers::pi * f / w);
  b1 = 2.0 * r * std::cos(2.0 * std::numbers::pi * f);
  b2 = std::exp(-2.0 * std::numbers::pi * f / w);
  g = b2 - (b1 - 1.0);
  y1 = y2 = 0.0;
}

bool ComputeEarlyTaps(const EarlyStyle& style, double rate, bool stereo, EarlyTaps& out) {
  // Fixed offsets added to the table's delays (ms).
  static constexpr double kOffsetMs[3] = {0.051, 0.151, 0.078};
  for (int k = 0; k < 3; ++k) {
    const double t = std::trunc((style.delayMs[k] + kOffsetMs[k]) * rate * 0.001);
    if (!(t < 4294967296.0)) return false;
    // A tap shorter than one sample (only at rates below about 160 Hz) reads
    // the previous input: a tap of 0 would sit one slot past the ring's end.
    out.length[k] = t < 1.0 ? 1u : static_cast<std::uint32_t>(t);
    const double gain = style.gainPct[k];
    if (stereo) {
      const double p = (style.pan[k] + 100) * 0.005;
      out.gainLeft[k] = (1.0 - p) * gain;
      out.gainRight[k] = p * gain;
    } else {
      out.gainLeft[k] = out.gainRight[k] = gain;
    }
  }
  const auto swapTaps = [&out](int i, int j) {
    std::swap(out.length[i], out.length[j]);
    std::swap(out.gainLeft[i], out.gainLeft[j]);
    std::swap(out.gainRight[i], out.gainRight[j]);
  };
  if (out.length[0] > out.length[1]) swapTaps(0, 1);
  if (out.length[1] > out.length[2]) swapTaps(1, 2);
  return true;
}

}  // namespace quill
