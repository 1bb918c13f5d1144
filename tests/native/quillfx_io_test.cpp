// quillfx's sample words: the quantizer's rounding, clamping and dither.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tools/quillfx/sample_words.h"

namespace quill {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// --- words and the quantizer ---

TEST(SampleWords, QuantizerRoundsToNearestAndClampsAtFullScaleCountingWhatItClamps) {
  for (std::uint16_t bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const double step = std::ldexp(1.0, 1 - bits);
    const std::int64_t full = std::int64_t{1} << (bits - 1);
    const auto max = static_cast<std::int32_t>(full - 1), min = static_cast<std::int32_t>(-full);
    const auto half = static_cast<std::int32_t>(full / 2);
    const std::vector<double> in = {0.5,          -0.5,         10.3 * step, 10.7 * step,
                                    -10.3 * step, -10.7 * step, 1.0,         (max + 0.4) * step,
                                    -1.0,         1.5,          -2.0,        kNan};
    const std::vector<std::int32_t> expected = {half, -half, 10, 11, -10, -11, max, max, min, max, min, 0};
    Quantizer q(bits, 1, false);
    std::vector<std::int32_t> out(in.size());
    q.Run(in.data(), out.data(), in.size());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(q.Clipped(), 4u);  // 1.0, 1.5, -2.0 and the NaN; -1.0 fits
  }
}

TEST(SampleWords, DitherIsTriangularUnbiasedRepeatableAndLeavesExactSamplesAlone) {
  constexpr std::size_t kFrames = 200000;
  const double step = 1.0 / 32768.0;
  for (double fraction : {0.25, 0.5, 0.75}) {
    SCOPED_TRACE(fraction);
    // Stereo, both channels the same value between two steps.
    const std::vector<double> in(2 * kFrames, (100 + fraction) * step);
    Quantizer q(16, 2, true);
    std::vector<std::int32_t> out(in.size());
    q.Run(in.data(), out.data(), kFrames);
    double sum = 0, square = 0;
    bool channelsDiffer = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_GE(out[i], 99);  // one step either side of the two neighbours at most
      ASSERT_LE(out[i], 102);
      const double e = out[i] - (100 + fraction);
      sum += e;
      square += e * e;
      channelsDiffer |= i % 2 == 1 && out[i] != out[i - 1];
    }
    // Triangular dither of ±1 step makes the error's mean zero and its power
    // a quarter step squared, whatever the value; rectangular dither would
    // give a power that depends on the fraction.
    EXPECT_NEAR(sum / out.size(), 0.0, 0.005);
    EXPECT_NEAR(square / out.size(), 0.25, 0.005);
    EXPECT_TRUE(channelsDiffer);

    // The same run again, in blocks of another size, gives the same values.
    Quantizer again(16, 2, true);
    std::vector<std::int32_t> second(in.size());
    again.Run(in.data(), second.data(), 777);
    again.Run(in.data() + 2 * 777, second.data() + 2 * 777, kFrames - 777);
    EXPECT_EQ(second, out);
  }
  // Values on the shorter word's grid stay as they are: silence stays silent.
  const std::vector<double> exact = {0.0, 0.0, 3 * step, -1.0, 0.0};
  Quantizer q(16, 1, true);
  std::vector<std::int32_t> out(exact.size());
  q.Run(exact.data(), out.data(), exact.size());
  EXPECT_EQ(out, (std::vector<std::int32_t>{0, 0, 3, -32768, 0}));
}

}  // namespace
}  // namespace quill
