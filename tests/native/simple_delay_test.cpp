// The simple delay: echo positions, feedback, the tail and what keeps the history.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "tests/native/engine_harness.h"
#include "tests/native/test_support.h"
#include "twechos/simple_delay_engine.h"

namespace quill {
namespace {

using test::At;
using test::Impulse;

template <class Kind>
using Harness = test::EngineHarness<SimpleDelayEngine, Kind>;

template <class Kind>
class SimpleDelayKinds : public ::testing::Test {};
TYPED_TEST_SUITE(SimpleDelayKinds, test::AllKinds);

TYPED_TEST(SimpleDelayKinds, DefaultPresetIsOneEchoAfter4410SamplesAtMinusSixDb) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 44100, SimpleDelayParams{0, 100, 1, -60, -60});
  const double g = std::pow(10.0, -0.3);
  // Impulses at frames 0 and 7999: echoes at 4410 and, in the tail, at 4409; no second echo.
  const auto out = h.Run(8000, [](std::uint32_t f, std::uint32_t) { return f == 0 || f == 7999 ? 0.5 : 0.0; });
  for (std::uint32_t f = 0; f < 8000; ++f)
    ASSERT_EQ(out[f], Kind::FromEngine(f == 0 || f == 7999 || f == 4410 ? 0.5 * g : 0.0)) << f;
  const auto tail = h.Tail(1000);
  ASSERT_EQ(tail.size(), 4410u);
  for (std::uint32_t f = 0; f < 4410; ++f) ASSERT_EQ(tail[f], Kind::FromEngine(f == 4409 ? 0.5 * g : 0.0)) << f;
}

TYPED_TEST(SimpleDelayKinds, FeedbackStereoRepeatsEachChannelWithTheDecayFactor) {
  using Kind = TypeParam;
  // Echo chamber: 400 ms, 2.0 s decay, delay out -3.0 dB, dry out -9.0 dB;
  // L = 35280 samples, 17640 frames; r = 176400 / 35280 = 5.
  Harness<Kind> h(2, 44100, SimpleDelayParams{1, 400, 20, -30, -90});
  const double fb = std::pow(0.0316, 0.2);
  const double gd = std::pow(10.0, -30 * 0.005), gy = std::pow(10.0, -90 * 0.005);
  // Left impulse at frame 0, right impulse at frame 3.
  const auto out = h.Run(17640 * 3 + 10, [](std::uint32_t f, std::uint32_t c) {
    return (c == 0 && f == 0) || (c == 1 && f == 3) ? 0.5 : 0.0;
  });
  const auto expectAt = [&](std::uint32_t f, std::uint32_t c) {
    const std::uint32_t start = c == 0 ? 0 : 3;
    const double at[] = {0.5 * gy, 0.5 * gd, fb * 0.5 * gd, fb * (fb * 0.5) * gd};
    return f >= start && (f - start) % 17640 == 0 ? at[(f - start) / 17640] : 0.0;
  };
  for (std::uint32_t f = 0; f < 17640 * 3 + 10; ++f)
    for (std::uint32_t c = 0; c < 2; ++c)
      ASSERT_EQ(At(out, 2, f, c), Kind::FromEngine(expectAt(f, c))) << f << "/" << c;
  EXPECT_EQ(h.Tail(8192).size(), 2u * 105840u);  // (176400 + 35280) / 2 frames
}

TYPED_TEST(SimpleDelayKinds, PureDelayPresetShiftsTheSignalExactly) {
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    // Preset 4: dry out silent, delay out 0 dB, 1000 ms.
    Harness<Kind> h(channels, 8000, SimpleDelayPresets()[4].params);
    std::vector<double> in = test::Noise(12000u * channels, 1.0);
    for (double& v : in) v = Kind::ToEngine(Kind::FromEngine(v));
    const auto out = h.Run(12000, [&](std::uint32_t f, std::uint32_t c) { return in[f * channels + c]; }, 777);
    const std::size_t period = 8000u * channels;
    for (std::size_t i = 0; i < out.size(); ++i)
      ASSERT_EQ(out[i], Kind::FromEngine(i < period ? 0.0 : in[i - period])) << i;
    // The tail brings out the last second: one delay period, no decay.
    const auto tail = h.Tail(3000);
    ASSERT_EQ(tail.size(), period);
    for (std::size_t i = 0; i < period; ++i) ASSERT_EQ(tail[i], Kind::FromEngine(in[i + period / 2])) << i;
  }
}

TYPED_TEST(SimpleDelayKinds, LaterDiscontinuityClearsHistoryButKeepsTailCount) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 1000, SimpleDelayParams{0, 50, 1, 0, -800});  // L = 50
  // The first buffer after the start carries a discontinuity: the line is kept.
  h.Run(20, Impulse(0.5, 5), 20, true);
  EXPECT_EQ(h.Silence(40)[35], Kind::FromEngine(0.5));  // frame 55 overall
  // A later one clears the line.
  h.Run(20, Impulse(0.5, 5));
  for (auto s : h.Run(60, test::Silent, 60, true)) ASSERT_EQ(s, Kind::FromEngine(0.0));
  // The tail count set when the line was made stays: one delay period.
  EXPECT_EQ(h.Tail(16).size(), 50u);
}

TYPED_TEST(SimpleDelayKinds, DecayChangeKeepsHistoryDelayChangeStartsANewLine) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 1000, SimpleDelayParams{1, 50, 10, 0, -800});
  h.Run(10, Impulse(0.5));
  ASSERT_EQ(h.engine.SetDecay(20), S_OK);  // the echo in the line survives
  EXPECT_EQ(h.Silence(50)[40], Kind::FromEngine(0.5));
  ASSERT_EQ(h.engine.SetDelay(60), S_OK);  // a new length: history lost
  for (auto s : h.Silence(200)) ASSERT_EQ(s, Kind::FromEngine(0.0));
  EXPECT_EQ(h.Run(61, Impulse(0.5))[60], Kind::FromEngine(0.5));
  EXPECT_EQ(h.Tail(512).size(), 60u + 2000u);  // L + D, D = 20 * 1000 * 0.1
}

TEST(SimpleDelay, LineLengthFeedbackAndTailRules) {
  // 1 ms at 1000 Hz mono: one sample, raised to two.
  EXPECT_EQ(test::Output<SimpleDelayEngine>(1, 1000, {0, 1, 1, 0, -800}, 3, Impulse(1.0)),
            (std::vector<double>{0.0, 0.0, 1.0}));
  // 5000 ms with 0.1 s of decay: r = 100 / 5000, one echo only. Without
  // feedback the decay does not count at all.
  const std::tuple<SimpleDelayParams, std::uint32_t, std::uint32_t> cases[] =
      {{{1, 5000, 1, 0, -800}, 5000, 5100}, {{0, 100, 200, 0, -800}, 100, 100}};
  for (const auto& [p, line, tail] : cases) {
    SCOPED_TRACE(line);
    Harness<Float64> h(1, 1000, p);
    const auto out = h.Run(2 * line + 1, Impulse(1.0));
    EXPECT_EQ(out[line], 1.0);
    EXPECT_EQ(out[2 * line], 0.0);
    EXPECT_EQ(h.Tail().size(), tail);
  }
  // 1 ms at 1500 Hz stereo: L = 3, so the left channel has two slots, the right one.
  Harness<Float64> odd(2, 1500, SimpleDelayParams{0, 1, 1, 0, -800});
  const auto out = odd.Run(6, Impulse(1.0));
  EXPECT_EQ((std::vector{At(out, 2, 2, 0), At(out, 2, 1, 1), At(out, 2, 1, 0), At(out, 2, 2, 1)}),
            (std::vector{1.0, 1.0, 0.0, 0.0}));
  EXPECT_EQ(odd.Tail().size(), 2u);  // (0 + 3) / 2 frames
}

TEST(SimpleDelay, ParameterChangeDuringTailEndsItAtOnce) {
  Harness<Pcm16> h(1, 44100, SimpleDelayParams{0, 100, 1, -60, -60});
  h.Run(100, Impulse(0.5));
  std::vector<std::int16_t> buf(1000, 0), next(1000, 7);
  std::uint32_t n = 1000;
  EXPECT_EQ(h.Process(ProcessMode::Tail, buf, n), S_OK);
  ASSERT_EQ(h.engine.SetDelayOut(-100), S_OK);
  EXPECT_EQ(h.Process(ProcessMode::Tail, next, n), S_FALSE);
  EXPECT_EQ(n, 1000u);                   // the count comes back unchanged ...
  for (auto s : next) ASSERT_EQ(s, 7);  // ... and the buffer untouched
}

}  // namespace
}  // namespace quill
