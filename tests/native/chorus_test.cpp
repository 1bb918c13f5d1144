// The chorus: stages, stereo weights, inversion, the swept read, high cut, floor, changes, no tail.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <tuple>
#include <vector>

#include "tests/native/engine_harness.h"
#include "tests/native/test_support.h"
#include "twchorus/chorus_engine.h"

namespace quill {
namespace {

using test::At;
using test::Step;

template <class Kind>
using Harness = test::EngineHarness<ChorusEngine, Kind>;

// One stage at full level, dry silent, no feedback, depth 1 %: at 4410 Hz
// and 10.0 ms the delay is 44 samples and the depth truncates to none.
template <class Edit = void (*)(ChorusParams&)>
ChorusParams Plain(Edit edit = [](ChorusParams&) {}) {
  ChorusParams p = ChorusPresets()[0].params;
  p.dryOut = -600;
  p.chorusOut = 0;
  p.chorusSize = 1;
  p.delayTenths = 100;
  p.modDepth = 1;
  edit(p);
  return p;
}
const test::Signal kImpulse = test::Impulse(0.5);

template <class Kind>
class ChorusKinds : public ::testing::Test {};
TYPED_TEST_SUITE(ChorusKinds, test::AllKinds);

TYPED_TEST(ChorusKinds, MonoCascadeOfThreeStagesWithFallingGains) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 4410, Plain([](ChorusParams& p) { p.dryOut = 0, p.chorusSize = 3; }));
  // Stage delays 44, trunc(0.811731 * 44) = 35 and trunc(1.132329 * 44) = 49;
  // gains 0.9, 0.81, 0.729. Each stage adds its delayed input to its input.
  std::vector<double> expect(200, 0.0);
  const double s0[] = {1.0, 0.9}, s1[] = {1.0, 0.81}, s2[] = {1.0, 0.729};
  const int d0[] = {0, 44}, d1[] = {0, 35}, d2[] = {0, 49};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) expect[d0[i] + d1[j] + d2[k]] += 0.5 * s0[i] * s1[j] * s2[k];
  const auto out = h.Run(200, kImpulse, 64);
  for (std::uint32_t f = 0; f < 200; ++f) ASSERT_NEAR(Kind::ToEngine(out[f]), expect[f], Step<Kind>()) << f;
}

TYPED_TEST(ChorusKinds, StereoStagesShareOneLineWithChannelWeights) {
  using Kind = TypeParam;
  Harness<Kind> h(2, 4410, Plain([](ChorusParams& p) { p.dryOut = 0, p.chorusSize = 2; }));
  const auto out = h.Run(100, [](std::uint32_t f, std::uint32_t c) { return f == 0 ? (c == 0 ? 0.5 : 0.25) : 0.0; });
  // Stage 0's line holds the mean 0.375; it weighs left 0.81, right 0.855.
  // Stage 1's line holds the mean of stage 0's outputs; weights 0.9 and 0.95.
  const double v0 = 0.375, v44 = (0.81 * v0 + 0.855 * v0) / 2;
  for (std::uint32_t f = 0; f < 100; ++f) {
    const double left = f == 0 ? 0.5 : f == 44 ? 0.81 * v0 : f == 35 ? 0.9 * v0 : f == 79 ? 0.9 * v44 : 0.0;
    const double right = f == 0 ? 0.25 : f == 44 ? 0.855 * v0 : f == 35 ? 0.95 * v0 : f == 79 ? 0.95 * v44 : 0.0;
    ASSERT_NEAR(Kind::ToEngine(At(out, 2, f, 0)), left, Step<Kind>()) << f;
    ASSERT_NEAR(Kind::ToEngine(At(out, 2, f, 1)), right, Step<Kind>()) << f;
  }
}

TYPED_TEST(ChorusKinds, InvertedChorusAndInvertedFeedback) {
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    Harness<Kind> h(channels, 4410, Plain([](ChorusParams& p) {
                      p.dryOut = 0, p.invertChorus = 1, p.feedbackPct = 50, p.invertFeedback = 1;
                    }));
    const auto out = h.Run(100, kImpulse);
    const auto at = [&](std::uint32_t f, std::uint32_t c) { return Kind::ToEngine(At(out, channels, f, c)); };
    // Mono: y = u - 0.9 v. Stereo: -0.81 v left, -0.855 v right, with v the
    // mean of the two channels (both 0.5 here). The line takes -0.5 v back.
    const double first = channels == 1 ? -0.9 : -0.81;
    EXPECT_NEAR(at(0, 0), 0.5, Step<Kind>());
    EXPECT_NEAR(at(44, 0), first * 0.5, Step<Kind>());
    EXPECT_NEAR(at(88, 0), first * -0.25, Step<Kind>());
    if (channels == 2) {
      EXPECT_NEAR(at(44, 1), -0.855 * 0.5, Step<Kind>());
      EXPECT_NEAR(at(88, 1), -0.855 * -0.25, Step<Kind>());
    }
  }
}

TYPED_TEST(ChorusKinds, TailIsEmpty) {
  using Kind = TypeParam;
  Harness<Kind> h(2, 44100, ChorusPresets()[0].params);
  h.Run(1000, kImpulse);
  std::vector<typename Kind::Sample> buf(64, Kind::silence);
  std::uint32_t n = 32;
  EXPECT_EQ(h.Process(ProcessMode::Tail, buf, n), S_FALSE);
  EXPECT_EQ(n, 0u);
  for (auto s : buf) ASSERT_EQ(s, Kind::silence);
  int calls = -1;
  EXPECT_TRUE(h.Tail(64, &calls).empty());
  EXPECT_EQ(calls, 0);  // the stream does not even ask
}

TEST(ChorusHighCut, FiltersTheStagesAndSwitchesOffAtHalfTheRate) {
  // 1.0 ms: the delay is 44 samples at 44100 Hz, 10 at 10000 Hz, no depth.
  const std::tuple<std::uint32_t, std::int32_t, std::uint32_t, double> cases[] = {
      {44100, 1, 44, 0.45 * (1 - 0.490476)}, {10000, 1, 10, 0.45}, {10000, 0, 10, 0.45}};
  for (const auto& [rate, on, delay, echo] : cases) {
    const ChorusParams p = Plain([&](ChorusParams& p) { p.delayTenths = 10, p.highCut = on; });
    EXPECT_NEAR(test::Output<ChorusEngine>(1, rate, p, delay + 1, kImpulse)[delay], echo, 1e-6) << rate << "/" << on;
  }
  const ChorusParams cut = Plain([](ChorusParams& p) { p.delayTenths = 10, p.highCut = 1; });
  EXPECT_LT(test::Output<ChorusEngine>(1, 10002, cut, 11, kImpulse)[10], 0.45);  // 5000 is below 5001
}

TEST(ChorusModulation, ReadSweepsAroundTheBaseDelayAndStaysInsideTheLineAtHighRates) {
  // A ramp through stage 0 alone: linear interpolation of a ramp is exact, so
  // the output reads back the swept delay at every sample. 8000 Hz, 100.0 ms:
  // 800 samples, swept by 400, over 400-sample cycles. At 96 kHz 9600 samples
  // do not fit 6500; the delay folds back into the line, and with full depth
  // the position spans more than two line lengths.
  const std::tuple<std::uint32_t, std::int32_t, double, double, double> sweeps[] = {
      {8000, 50, 800, 400, 400}, {96000, 1, 9600, 96, 4800}, {96000, 100, 9600, 9600, 4800}};
  for (const auto& [rate, depthPct, baseDelay, depth, period] : sweeps) {
    SCOPED_TRACE(testing::Message() << rate << " Hz, depth " << depthPct);
    Harness<Float64> h(1, rate,
                       Plain([&](ChorusParams& p) { p.delayTenths = 1000, p.modDepth = depthPct, p.modRate = 200; }));
    const double step = 1.0 / 65536;
    const auto out = h.Run(
        30000, [&](std::uint32_t f, std::uint32_t) { return f * step; }, 700);
    int checked = 0;
    for (std::uint32_t f = 14000; f < 30000; ++f) {
      const double n = std::fmod(static_cast<double>(f), period);
      double delay = std::fmod(baseDelay + depth * std::sin(n * 2 * std::numbers::pi / period), 6500.0);
      if (delay < 0) delay += 6500.0;
      if (delay < 1.0) continue;  // reads between the newest sample and the slot being replaced
      ASSERT_NEAR(out[f], 0.9 * (f - delay) * step, 1e-9) << f;
      ++checked;
    }
    EXPECT_GT(checked, 15000);
  }
  // The extremes of what a format can carry run and stay finite.
  for (std::uint32_t rate : {0u, 1u, 4294967295u})
    for (std::uint16_t channels : {1, 2}) {
      ChorusParams p = ChorusPresets()[0].params;
      p.delayTenths = 1000, p.modDepth = 100, p.feedbackPct = 100, p.highCut = 1;
      Harness<Float64> h(channels, rate, p);
      for (double s : h.Run(9000, [](std::uint32_t f, std::uint32_t c) { return std::sin(f * 0.01 + c); }))
        ASSERT_TRUE(std::isfinite(s)) << rate;
    }
}

TEST(ChorusLevels, AtTheFloorAStageOrTheInputIsSilent) {
  for (std::uint16_t channels : {1, 2}) {
    ChorusParams p = ChorusPresets()[17].params;  // three stages with feedback
    p.chorusOut = -600, p.inputGain = -50, p.dryOut = -100;
    Harness<Float64> h(channels, 44100, p);
    const double gIn = std::pow(10.0, -50 * 0.005), gDry = std::pow(10.0, -100 * 0.005);
    const auto input = [](std::uint32_t f, std::uint32_t c) { return std::sin(f * 0.05 + c) * 0.8; };
    const auto out = h.Run(5000, input, 256);
    for (std::uint32_t f = 0; f < 5000; ++f)
      for (std::uint32_t c = 0; c < channels; ++c) ASSERT_EQ(At(out, channels, f, c), gDry * (input(f, c) * gIn)) << f;
  }
  for (const auto& [gain, silent] : {std::pair{-600, true}, {-599, false}}) {
    const auto out = test::Output<ChorusEngine>(
        1, 4410, Plain([&](ChorusParams& p) { p.inputGain = gain, p.dryOut = 0; }), 100, kImpulse);
    EXPECT_EQ(out[0] == 0.0 && out[44] == 0.0, silent) << gain;
  }
}

TEST(ChorusChanges, FeedbackChangeKeepsTheLinesADiscontinuityClearsThem) {
  Harness<Float64> h(1, 4410, Plain());
  const auto allZero = [](const std::vector<double>& v) {
    for (double s : v) ASSERT_EQ(s, 0.0);
  };
  h.Run(10, kImpulse);
  h.engine.SetFeedback(50);  // light: the echo survives and now recirculates
  auto out = h.Silence(100);
  EXPECT_DOUBLE_EQ(out[34], 0.45);
  EXPECT_DOUBLE_EQ(out[78], 0.9 * 0.25);
  h.Run(10, kImpulse);
  allZero(h.Run(100, test::Silent, 100, true));
}

// The sweep's sines are kept as the counter first reaches them. A new rate
// starts the cache where the counter stands; after a discontinuity the
// counter starts again at zero, where nothing of the new rate is kept yet.
TEST(ChorusChanges, ADiscontinuityAfterARateChangeSoundsAsAFreshStart) {
  const auto input = [](std::uint32_t f, std::uint32_t c) { return std::sin(f * 0.031 + c) * 0.7; };
  ChorusParams p = ChorusPresets()[0].params;
  Harness<Float64> changed(2, 44100, p);
  changed.Run(3000, input);
  changed.engine.SetModRate(9);
  changed.Run(3000, input);
  p.modRate = 9;
  Harness<Float64> fresh(2, 44100, p);
  EXPECT_EQ(changed.Run(5000, input, 1000, true), fresh.Run(5000, input));
}

TEST(ChorusFailures, WithoutItsPoolNothingRunsUntilAStartHasItAndTheFirstBufferSetsUpWithoutARestart) {
  const AudioFormat f = MakeFormat(1, 1, 44100, 16);
  std::int16_t buf[16] = {1000};
  std::uint32_t n = 16;
  auto broken = std::make_unique<ChorusEngine>();
  {
    test::RefuseLines refuse;  // the pool is taken when the engine is made
    broken = std::make_unique<ChorusEngine>();
    broken->SetFormat(&f);
    EXPECT_EQ(broken->Restart(), E_FAIL);
    EXPECT_EQ(broken->Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), E_FAIL);
    EXPECT_EQ(broken->StartStream(), E_OUTOFMEMORY);
  }
  EXPECT_EQ(broken->StartStream(), S_OK);
  EXPECT_EQ(broken->Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), S_OK);
  buf[0] = 1000;
  ChorusEngine lazy;
  lazy.SetFormat(&f);
  EXPECT_EQ(lazy.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), S_OK);
  EXPECT_EQ(buf[0], 501);  // 1000 * 10^-0.3 dry, truncated; the stages are still silent
}

TEST(ChorusFailures, ARateChangeWithoutARestartPlacesTheStagesAgain) {
  Harness<Float64> h(1, 4410, Plain());
  h.Silence(10);
  h.Format() = test::FormatFor<Float64>(1, 8820);
  h.engine.SetModRate(20);  // a light change: without the new rate it would only retune
  EXPECT_DOUBLE_EQ(h.Run(200, kImpulse)[88], 0.45);
}

}  // namespace
}  // namespace quill
