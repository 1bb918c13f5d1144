#include "twechomt/tap_graph.h"

#include <algorithm>

namespace quill {

namespace {

constexpr std::int32_t kSpans[kGraphRows] = {500, 1000, 3000, 5000};
constexpr int kTaps = 8;

int ActiveTaps(const MultiTapParams& p) {
  return std::clamp(p.tapCount, 0, kTaps);
}

// The pattern's feedback gain in 1/10000, truncated toward zero.
std::int32_t PatternFeedback(const MultiTapParams& p) {
  double sum = 0.0;
  for (int k = 0; k < ActiveTaps(p); ++k) sum += p.tapGain[k] * 0.01;
  return static_cast<std::int32_t>(p.feedbackPct * 100.0 / std::max(sum, 1.0));
}

}  // namespace

std::int32_t GraphSpanMs(std::int32_t row) {
  return kSpans[std::clamp(row, 0, kGraphRows - 1)];
}

void EchoPattern(const MultiTapParams& p, std::int32_t spanMs, std::int32_t* pattern) {
  if (spanMs < 0) return;
  const std::int64_t feedback = PatternFeedback(p);
  const int taps = ActiveTaps(p);
  pattern[0] = kGraphFullScale;
  for (std::int32_t t = 1; t <= spanMs; ++t) {
    std::int64_t sum = 0;
    for (int k = 0; k < taps; ++k) {
      const std::int32_t delay = p.tapDelayMs[k];
      // A delay of 0 would read the value being made; the block never holds one.
      if (delay >= 1 && delay <= t) sum += std::int64_t{p.tapGain[k]} * pattern[t - delay] / 100;
    }
    pattern[t] = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(sum * feedback / kGraphFullScale, -kGraphFullScale, kGraphFullScale));
  }
}

GraphColumn BarColumn(const GraphRect& area, std::int32_t spanMs, std::int32_t positionMs, std::int32_t value) {
  const int x =
      area.left + static_cast<int>(std::int64_t{area.right - area.left - 1} * positionMs / std::max(spanMs, 1));
  const int half = (area.bottom - area.top) / 2;
  if (value == 0) return GraphColumn{x, half, 1};
  if (value > 0) {
    const int h = std::max(1, static_cast<int>(std::int64_t{value} * half / kGraphFullScale));
    return GraphColumn{x, area.top + half - h, h};
  }
  const int h = std::max(1, static_cast<int>(std::int64_t{area.bottom - half} * value / -kGraphFullScale));
  return GraphColumn{x, area.top + half + 1, h};
}

}  // namespace quill
