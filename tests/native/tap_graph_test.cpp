// The tap graph's pattern and bar geometry, against numbers worked by hand.
#include "twechomt/tap_graph.h"

#include <gtest/gtest.h>

#include <vector>

#include "twechomt/multi_tap_presets.h"

namespace quill {
namespace {

MultiTapParams Taps(std::int32_t feedback, std::initializer_list<std::pair<int, int>> delayAndGain) {
  MultiTapParams p = MultiTapPresets()[0].params;
  p.feedbackPct = feedback;
  p.tapCount = static_cast<std::int32_t>(delayAndGain.size());
  int k = 0;
  for (const auto& [delay, gain] : delayAndGain) {
    p.tapDelayMs[k] = delay;
    p.tapGain[k++] = gain;
  }
  return p;
}

std::vector<std::int32_t> Pattern(const MultiTapParams& p, std::int32_t span) {
  std::vector<std::int32_t> e(static_cast<std::size_t>(span) + 1, 0);
  EchoPattern(p, span, e.data());
  return e;
}

// Every non-zero point of a pattern, as (t, value).
std::vector<std::pair<int, int>> Points(const std::vector<std::int32_t>& e) {
  std::vector<std::pair<int, int>> points;
  for (std::size_t t = 1; t < e.size(); ++t)
    if (e[t] != 0) points.emplace_back(static_cast<int>(t), e[t]);
  return points;
}

using Expected = std::vector<std::pair<int, int>>;

TEST(TapGraph, EchoPatternOnTheMillisecondGrid) {
  // The new filter's state has no feedback: nothing but the impulse.
  const MultiTapParams fresh = MultiTapPresets()[0].params;
  EXPECT_EQ(Pattern(fresh, 500)[0], 10000);
  EXPECT_TRUE(Points(Pattern(fresh, 500)).empty());

  // One full tap at 100 ms fed back at 50 %: halves every 100 ms.
  const MultiTapParams halving = Taps(50, {{100, 100}});
  EXPECT_EQ(Points(Pattern(halving, 500)), (Expected{{100, 5000}, {200, 2500}, {300, 1250}, {400, 625}, {500, 312}}));

  // Gains summing to zero count as 1; +100 % then -100 % cancel at 200 ms.
  const MultiTapParams cancelling = Taps(100, {{100, 100}, {200, -100}});
  const auto e = Pattern(cancelling, 1000);
  EXPECT_EQ(std::vector<int>({e[100], e[200], e[300]}), std::vector<int>({10000, 0, -10000}));

  // Taps past the active count take no part, and a tap beyond the span none
  // within it; the gains' sum (1.5) scales 150 % feedback down to 100 %.
  MultiTapParams spread = Taps(150, {{100, 50}, {700, 100}});
  spread.tapDelayMs[2] = 50;
  spread.tapGain[2] = 100;
  EXPECT_EQ(Points(Pattern(spread, 500)), (Expected{{100, 5000}, {200, 2500}, {300, 1250}, {400, 625}, {500, 312}}));
}

TEST(TapGraph, PatternDivisionsTruncateTowardZeroAndClampToFullScale) {
  // -33 % at 10 % feedback: -3300 x 0.1 = -330; 108.9 -> 108 x 0.1 = 10; -3.3 -> -3 x 0.1 -> 0.
  EXPECT_EQ(Points(Pattern(Taps(10, {{7, -33}}), 100)), (Expected{{7, -330}, {14, 10}}));
  // 150 % on a single tap would grow without end; the ring is shown full.
  EXPECT_EQ(Points(Pattern(Taps(150, {{250, 100}}), 1000)),
            (Expected{{250, 10000}, {500, 10000}, {750, 10000}, {1000, 10000}}));
  EXPECT_EQ(Points(Pattern(Taps(150, {{250, -100}}), 500)), (Expected{{250, -10000}, {500, 10000}}));
}

TEST(TapGraph, SpansAndBarColumns) {
  EXPECT_EQ(std::vector<int>({GraphSpanMs(0), GraphSpanMs(1), GraphSpanMs(2), GraphSpanMs(3)}),
            std::vector<int>({500, 1000, 3000, 5000}));
  EXPECT_EQ(std::vector<int>({GraphSpanMs(-1), GraphSpanMs(9)}), std::vector<int>({500, 5000}));

  // A 240 x 100 control, shrunk by a pixel at each side.
  const GraphRect area{1, 0, 239, 100};
  const auto column = [&](int span, int at, int value) {
    const GraphColumn c = BarColumn(area, span, at, value);
    return std::vector<int>({c.x, c.y, c.height});
  };
  // x = 1 + (237 x 100) / 500 = 48; full height reaches the top row.
  EXPECT_EQ(column(500, 100, 10000), std::vector<int>({48, 0, 50}));
  EXPECT_EQ(column(500, 0, 5000), std::vector<int>({1, 25, 25}));
  EXPECT_EQ(column(500, 500, -10000), std::vector<int>({238, 51, 50}));
  // Small values still show a pixel; zero is a pixel on the centre line.
  EXPECT_EQ(column(5000, 2500, 1), std::vector<int>({119, 49, 1}));
  EXPECT_EQ(column(5000, 2500, -1), std::vector<int>({119, 51, 1}));
  EXPECT_EQ(column(1000, 1000, 0), std::vector<int>({238, 50, 1}));
}

}  // namespace
}  // namespace quill
