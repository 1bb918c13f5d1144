// The multi-tap delay: tap positions, pans, the sweep, feedback, low-pass, the tail and history.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>
#include <cstddef>
#include <vector>

#include "tests/native/engine_harness.h"
#include "tests/native/test_support.h"
#include "twechomt/multi_tap_engine.h"

namespace quill {
namespace {

using test::At;
using test::Impulse;
using test::Step;

template <class Kind>
using Harness = test::EngineHarness<MultiTapEngine, Kind>;

// One tap at `delayMs` with full gain, wet at 0 dB, dry silent, no
// modulation, feedback or low-pass: the output is the echo alone.
template <class Edit = void (*)(MultiTapParams&)>
MultiTapParams OneTap(std::int32_t delayMs, Edit edit = [](MultiTapParams&) {}) {
  MultiTapParams p = MultiTapPresets()[0].params;
  p.tapDelayMs[0] = delayMs;
  p.wetOut = 0;
  p.dryOut = -800;
  edit(p);
  return p;
}

template <class Kind>
class MultiTapKinds : public ::testing::Test {};
TYPED_TEST_SUITE(MultiTapKinds, test::AllKinds);

TYPED_TEST(MultiTapKinds, MonoEchoArrivesAtTheTapPositionAndTheTailBringsOutTheLast) {
  using Kind = TypeParam;
  // The default preset at 8000 Hz: tap 0's offset truncates to 0, so the
  // echo comes 800 samples later; the ring is trunc(1.05 * 800) = 840 long.
  Harness<Kind> h(1, 8000, MultiTapPresets()[0].params);
  const double g = std::pow(10.0, -0.3);
  const auto out = h.Run(1200, [](std::uint32_t f, std::uint32_t) { return f == 0 || f == 1199 ? 0.5 : 0.0; }, 333);
  for (std::uint32_t f = 0; f < 1200; ++f)
    ASSERT_EQ(out[f], Kind::FromEngine(f == 0 || f == 800 || f == 1199 ? 0.5 * g : 0.0)) << f;
  int calls = 0;  // the tail is one ring length; the impulse at 1199 comes out at 1999
  const auto tail = h.Tail(300, &calls);
  ASSERT_EQ(tail.size(), 840u);
  EXPECT_EQ(calls, 3);
  for (std::uint32_t f = 0; f < 840; ++f) ASSERT_EQ(tail[f], Kind::FromEngine(f == 799 ? 0.5 * g : 0.0)) << f;
}

TYPED_TEST(MultiTapKinds, StereoTapsReadTheMixedRingWithOneSidedPan) {
  using Kind = TypeParam;
  // Tap 0: P = 800, left keeps 0.8, right gets 0.4. Tap 1: right only,
  // inverted; offset 3 samples: P = 403.
  Harness<Kind> h(2, 8000, OneTap(100, [](MultiTapParams& p) {
                    p.tapCount = 2, p.tapGain[0] = 80, p.tapPan[0] = -50;
                    p.tapDelayMs[1] = 50, p.tapGain[1] = -100, p.tapPan[1] = 100;
                  }));
  // The ring holds the mean of both channels: (0.5 + 0.25) / 2.
  const auto out = h.Run(1000, [](std::uint32_t f, std::uint32_t c) { return f == 0 ? (c == 0 ? 0.5 : 0.25) : 0.0; });
  const double v = 0.375;
  for (std::uint32_t f = 0; f < 1000; ++f) {
    ASSERT_NEAR(Kind::ToEngine(At(out, 2, f, 0)), f == 800 ? 0.8 * v : 0.0, Step<Kind>()) << f;
    ASSERT_NEAR(Kind::ToEngine(At(out, 2, f, 1)), f == 800 ? 0.4 * v : f == 403 ? -v : 0.0, Step<Kind>()) << f;
  }
  EXPECT_EQ(h.Tail(500).size(), 2u * 840u);
}

TYPED_TEST(MultiTapKinds, LightChangeKeepsHistoryLengthChangeLosesIt) {
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    Harness<Kind> h(channels, 8000, OneTap(100));
    const auto echo = [&](const std::vector<typename Kind::Sample>& out, std::uint32_t f) {
      return Kind::ToEngine(At(out, channels, f, 0));
    };
    const double expect = 0.5 * std::pow(10.0, -0.3);  // stereo: both channels carry the impulse
    h.Run(100, Impulse(0.5));
    h.engine.SetWetOut(-60);  // light: the echo in the ring arrives, quieter
    ASSERT_NEAR(echo(h.Silence(800), 700), expect, Step<Kind>());
    h.Run(100, Impulse(0.5));
    h.engine.SetFeedback(50);  // full, same ring length: history kept
    auto out = h.Silence(1600);
    ASSERT_NEAR(echo(out, 700), expect, Step<Kind>());
    // ... and now recirculates: mono by 50 / 100; stereo by 50 / 200 on the
    // sum of both sides (1.0), halved into the ring.
    ASSERT_NEAR(echo(out, 1500), (channels == 1 ? 0.25 : 0.125) * std::pow(10.0, -0.3), Step<Kind>());
    h.Run(100, Impulse(0.5));
    h.engine.SetTapDelay0(200);  // full, the ring grows: history lost
    for (auto s : h.Silence(2000)) ASSERT_EQ(s, Kind::FromEngine(0.0));
  }
}

TEST(MultiTapTaps, EachTapLandsAtItsDelayPlusItsOffsetAndTheTailIsTheRing) {
  // Every tap at 1 ms, only tap k audible: it answers spm + offset[k] samples late.
  const std::tuple<std::uint32_t, std::array<int, 8>> rates[] =
      {{44100, {5, 16, -18, 4, -13, -11, 20, 7}}, {8000, {0, 3, -3, 0, -2, -2, 3, 1}}};
  for (const auto& [rate, offset] : rates)
    for (int k = 0; k < 8; ++k) {
      MultiTapParams p = OneTap(1, [&](MultiTapParams& p) {
        p.tapCount = 8;
        for (int j = 0; j < 8; ++j) p.tapDelayMs[j] = 1, p.tapGain[j] = j == k ? 100 : 0;
      });
      Harness<Float64> h(1, rate, p);
      const auto out = h.Run(100, Impulse(1.0));
      const auto at = static_cast<std::uint32_t>(static_cast<int>(rate / 1000) + offset[k]);
      for (std::uint32_t f = 0; f < 100; ++f) ASSERT_EQ(out[f], f == at ? 1.0 : 0.0) << rate << " tap " << k;
      // At 8000 Hz the longest is 8 + 3 = 11 samples; 1.05 * 11 truncates to 11, raised to 12.
      if (rate == 8000 && k == 0) {
        EXPECT_EQ(h.Tail().size(), 12u);
      }
    }
  // 100 ms at 44100 Hz: 44 samples per ms and an offset of 5 make 4405; the
  // ring is trunc(1.05 * 4405), and room for four times the depth with modulation.
  for (const auto& [depth, ring] : {std::pair{0, 4625u}, {50, 4889u}}) {
    Harness<Float64> h(1, 44100, OneTap(100, [&](MultiTapParams& p) { p.modDepth = depth, p.modRate = 10; }));
    const auto out = h.Run(4406, Impulse(1.0));
    if (depth == 0) {
      EXPECT_EQ(out[4405], 1.0);
      EXPECT_EQ(out[4404], 0.0);
    }
    EXPECT_EQ(h.Tail().size(), ring) << depth;
  }
}

TEST(MultiTapModulation, MonoSweepRoundsStereoSweepTruncates) {
  // A ramp through tap 1 alone (tap 0 at gain 0) makes the delay readable
  // from the output. Tap 1: 16 + 4400 samples, swept at 10 Hz (4410 samples per cycle).
  const double increment = 6.28318530718 / ((10.0 / 100) * 44100);
  const double dk = 0.9 * 50 * 3e-5 * 44100, step = 1.0 / 65536;  // dk = 59.535
  const int P = 4416;
  const std::uint32_t frames = 30000;
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    Harness<Float64> h(channels, 44100, OneTap(1, [](MultiTapParams& p) {
                         p.tapGain[0] = 0, p.tapCount = 2, p.tapDelayMs[1] = 100, p.modDepth = 50, p.modRate = 100;
                       }));
    const auto out = h.Run(frames, [&](std::uint32_t f, std::uint32_t) { return f * step; }, 512);
    std::vector<int> delays(frames, -1);
    for (std::uint32_t f = 0; f < frames; ++f) {
      const double left = At(out, channels, f, 0);
      if (channels == 2) {
        EXPECT_EQ(At(out, 2, f, 1), left) << f;
      }
      if (left != 0.0) delays[f] = static_cast<int>(f - left / step);
    }
    int lo = P, hi = 0, checked = 0;
    for (std::uint32_t f = 4500; f < frames; ++f) {
      const double swing = dk * (1.0 + std::sin(f * increment)) + (channels == 1 ? 0.5 : 0.0);
      if (std::abs(swing - std::round(swing)) < 1e-6) continue;  // too close to call
      ASSERT_EQ(delays[f], P - static_cast<int>(swing)) << f;
      lo = std::min(lo, delays[f]);
      hi = std::max(hi, delays[f]);
      ++checked;
    }
    EXPECT_GT(checked, 25000);
    EXPECT_EQ(hi, P);  // tap 1 sweeps over 0 to 119 samples below its position
    EXPECT_EQ(lo, P - 119);
    // At a zero of the sine the swing is dk: 60 when rounded, 59 when truncated.
    EXPECT_EQ(delays[4410 * 2], P - (channels == 1 ? 60 : 59));
  }
}

TEST(MultiTapLowpass, FiltersInputAndTapSumUpToHalfTheRate) {
  // An impulse passes two one-pole stages (into the ring, and on the tap
  // sum): the echo's response is (k + 1) a^k b^2 at k samples after P.
  Harness<Float64> h(1, 44100, OneTap(100, [](MultiTapParams& p) { p.lowpass = 1, p.lowpassHz = 1000; }));
  const double a = std::exp(-6.28318530718 * 1000 / 44100), b = 1 - a;
  const auto out = h.Run(4500, Impulse(1.0));
  EXPECT_EQ(out[4404], 0.0);
  for (int k = 0; k < 40; ++k) EXPECT_NEAR(out[4405 + k], (k + 1) * std::pow(a, k) * b * b, 1e-12) << k;
  // Above half the rate, or switched off, the echo comes through whole;
  // at exactly half the rate (a = e^-pi) it is still filtered.
  const double half = (1 - std::exp(-3.14159265359)) * (1 - std::exp(-3.14159265359));
  const std::tuple<std::uint32_t, std::int32_t, std::int32_t, std::uint32_t, double> cases[] =
      {{11025, 1, 6000, 1101, 1.0}, {12000, 1, 6000, 1201, half}, {12000, 0, 100, 1201, 1.0}};
  for (const auto& [rate, on, hz, P, first] : cases) {
    const auto out = test::Output<MultiTapEngine>(
        1, rate, OneTap(100, [&](MultiTapParams& p) { p.lowpass = on, p.lowpassHz = hz; }), P + 1, Impulse(1.0));
    EXPECT_EQ(out[P - 1], 0.0) << rate;
    EXPECT_NEAR(out[P], first, 1e-12) << rate << "/" << on;
  }
}

TEST(MultiTapFeedback, SameSignTapsHalveTheFactorAndStereoCountsBothSides) {
  // Tap 0 at 800, tap 1 at 1603 samples: at 1600 only tap 0's first
  // recirculation sounds, g0 * fb * g0 of the impulse.
  const std::tuple<std::int32_t, std::int32_t, std::int32_t, std::uint16_t, double> cases[] =
      {{100, 100, 80, 1, 0.4},      // 80 / (2 * 100)
               {100, -100, 80, 1, 0.8},     // cancelled, raised to 1
               {30, 20, 80, 1, 0.8},        // 0.5, raised to 1
               {100, 100, 150, 2, 0.375}};  // stereo, centred: the sum counts both sides
  for (const auto& [gain0, gain1, feedback, channels, fb] : cases) {
    SCOPED_TRACE(testing::Message() << gain0 << "/" << gain1 << "/" << channels);
    Harness<Float64> h(channels, 8000, OneTap(100, [&](MultiTapParams& p) {
                         p.tapCount = 2, p.tapDelayMs[1] = 200, p.tapGain[0] = gain0, p.tapGain[1] = gain1;
                         p.feedbackPct = feedback;
                       }));
    const auto out = h.Run(1601, Impulse(1.0));
    EXPECT_NEAR(At(out, channels, 1600, 0), gain0 * 0.01 * fb * gain0 * 0.01, 1e-15);
  }
}

TEST(MultiTapFeedback, RunawayFeedbackSaturatesTheRing) {
  for (std::int32_t gain : {100, -100}) {
    SCOPED_TRACE(gain);
    // 1 ms at 1000 Hz: one sample per ms, tap position 1, ring of 2. Loop gain 1.5.
    const auto out = test::Output<MultiTapEngine>(
        1, 1000, OneTap(1, [=](MultiTapParams& p) { p.tapGain[0] = gain, p.feedbackPct = 150; }), 200, Impulse(1.0));
    EXPECT_DOUBLE_EQ(std::abs(out[1]), 1.0);
    EXPECT_DOUBLE_EQ(std::abs(out[2]), 1.5);
    for (std::uint32_t f = 100; f < 200; ++f) ASSERT_EQ(std::abs(out[f]), 16777216.0) << f;
  }
}

TEST(MultiTapTail, TailKeepsTheOldSettingsAndTheNextOrdinaryBufferTakesTheChange) {
  Harness<Float64> h(1, 8000, OneTap(100));  // P = 800, N = 840
  h.Run(1000, Impulse(0.5, 999));
  h.engine.SetWetOut(-60);
  h.engine.SetTapDelay0(50);  // full change, shorter ring: not applied in the tail
  const auto tail = h.Tail(256);
  ASSERT_EQ(tail.size(), 840u);
  for (std::uint32_t f = 0; f < 840; ++f) ASSERT_EQ(tail[f], f == 799 ? 0.5 : 0.0) << f;
  std::vector<double> next(500, 0.0);
  next[0] = 0.5;
  std::uint32_t n = 500;
  ASSERT_EQ(h.Process(ProcessMode::Continue, next, n), S_OK);
  EXPECT_DOUBLE_EQ(next[400], 0.5 * std::pow(10.0, -0.3));
  h.Silence(10);
  EXPECT_EQ(h.Tail().size(), 420u);  // the new ring has a fresh tail count
}

TEST(MultiTapChanges, TapDelayChangeWithinTheRingMovesTheEchoDiscontinuityKeepsIt) {
  // Tap 1 (gain 0) at 200 ms sets the ring: P1 = 1603, N = 1683.
  Harness<Float64> h(1, 8000, OneTap(100, [](MultiTapParams& p) {
                       p.tapCount = 2, p.tapDelayMs[1] = 200, p.tapGain[1] = 0;
                     }));
  h.Run(100, Impulse(0.5));
  h.engine.SetTapDelay0(90);  // P0 = 720, same ring
  auto out = h.Silence(700);
  for (std::uint32_t f = 0; f < 700; ++f) ASSERT_EQ(out[f], f + 100 == 720 ? 0.5 : 0.0) << f;
  // A discontinuity refreshes the coefficients only: the ring keeps its echo.
  h.Run(100, Impulse(0.25));
  out = h.Run(700, test::Silent, 700, true);
  EXPECT_EQ(out[620], 0.25);
}

TEST(MultiTapFailures, HugeRingsAreRefused) {
  Harness<Float64> h(1, 8000, OneTap(100));
  h.Run(10, Impulse(0.5));
  h.Format().sampleRate = 4000000000u;  // a ring beyond 32-bit indices cannot be had
  ASSERT_EQ(h.engine.SetTapDelay0(2500), S_OK);
  std::vector<double> buf(64, 0.0);
  std::uint32_t n = 64;
  EXPECT_EQ(h.Process(ProcessMode::Continue, buf, n), E_OUTOFMEMORY);
}

TEST(MultiTapFailures, AFormatChangeWithoutAStopSetsTheTapsUpAgain) {
  Harness<Float64> h(1, 8000, OneTap(100, [](MultiTapParams& p) { p.tapPan[0] = -50; }));
  h.Format() = test::FormatFor<Float64>(2, 4000);  // stereo at 4000 Hz: P = 400, the right side at half
  ASSERT_EQ(h.engine.Restart(), S_OK);
  auto out = h.Run(500, Impulse(0.5));
  EXPECT_EQ((std::vector{At(out, 2, 400, 0), At(out, 2, 400, 1)}), (std::vector{0.5, 0.25}));
  // Back to mono with no restart at all: a tail asked for in between has
  // nothing for the new layout; the next buffer sets up for it.
  h.Format() = test::FormatFor<Float64>(1, 4000);
  std::vector<double> buf(10, 0.0);
  std::uint32_t n = 10;
  EXPECT_EQ(h.Process(ProcessMode::Tail, buf, n), S_FALSE);
  EXPECT_EQ(n, 0u);
  out = h.Run(1000, Impulse(0.5));
  EXPECT_EQ((std::vector{out[400], out[401]}), (std::vector{0.5, 0.0}));
  std::int32_t v = 0;  // per-tap access by index stops at the eighth tap
  EXPECT_EQ(h.engine.GetTap(&MultiTapParams::tapGain, 8, &v), E_INVALIDARG);
  EXPECT_EQ(h.engine.SetTap(&MultiTapParams::tapGain, -1, 0), E_INVALIDARG);
}

}  // namespace
}  // namespace quill
