// The reverb: tail and early reflections, filters, tail rules, sample kinds, low rates, memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <vector>

#include "tests/native/engine_harness.h"
#include "tests/native/test_support.h"
#include "twreverb/reverb_engine.h"

namespace quill {
namespace {

using test::At;
template <class Kind>
using Harness = test::EngineHarness<ReverbEngine, Kind>;

template <class Edit = void (*)(ReverbParams&)>
ReverbParams Defaults(Edit edit = [](ReverbParams&) {}) {
  ReverbParams p = ReverbPresets()[0].params;
  edit(p);
  return p;
}
// Only the tail, unfiltered, at full level.
ReverbParams TailOnly(std::int32_t preDelayMs = 30, std::int32_t highCut = 0, std::int32_t hz = 12000) {
  return Defaults([=](ReverbParams& p) {
    p.dryOut = p.earlyOut = -800, p.reverbOut = p.bassCut = 0, p.preDelayMs = preDelayMs;
    p.highCut = highCut, p.highCutHz = hz;
  });
}
// Only the early reflections, at 0 dB (tap gains in percent times 0.01).
ReverbParams EarlyOnly(std::int32_t style) {
  return Defaults([=](ReverbParams& p) { p.dryOut = p.reverbOut = -800, p.earlyOut = 0, p.earlyStyle = style; });
}
// The gain of a line of `ms` over the default 2.5 s decay.
double LineGain(double ms) {
  return std::pow(10.0, -3 * ms * 0.001 / 2.5);
}

const test::Signal kImpulse = [](std::uint32_t f, std::uint32_t c) { return f == 0 && c == 0 ? 1.0 : 0.0; };
std::vector<double> Out(std::uint16_t channels, std::uint32_t rate, const ReverbParams& p, std::uint32_t frames,
                        const test::Signal& input = kImpulse, test::Where where = test::Where::current()) {
  return test::Output<ReverbEngine>(channels, rate, p, frames, input, where);
}
bool AllZero(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return x == 0.0; });
}

TEST(ReverbImpulse, TailArrivesAfterShortestLinePlusPreDelayAndFallsByItsGain) {
  // Shortest line of "Rich hall": 19.941 ms = 879 samples; pre-delay 1323
  // slots = 1322 samples. Its second pass is the only arrival at 2 x 879.
  Harness<Float64> h(1, 44100, TailOnly());
  const double g = LineGain(19.941);
  const auto out = h.Run(3200, kImpulse);
  for (std::uint32_t f = 0; f < 2201; ++f) ASSERT_EQ(out[f], 0.0) << f;
  EXPECT_NEAR(out[2201], g, 1e-12);
  EXPECT_NEAR(out[879 * 2 + 1322], g * g, 1e-12);
  // The first arrival carries the high cut's b: 1 - 0.032731 for 12000 Hz at
  // 44100 Hz; none without pre-delay ("Off": one slot) or with the cut at the
  // sample rate; a cut just below the rate filters, if slightly.
  const std::tuple<std::uint32_t, std::int32_t, std::int32_t, std::int32_t, std::uint32_t, double> cases[] = {
      {44100, 1, 1, 12000, 879 + 43, 1 - 0.032731},
      {44100, 0, 0, 12000, 879, 1.0},
      {8000, 0, 1, 8000, 160, 1.0},
      {8001, 0, 1, 8000, 160, 0.0}};
  for (const auto& [rate, preDelay, highCut, hz, first, b] : cases) {
    const auto out = Out(1, rate, TailOnly(preDelay, highCut, hz), first + 1);
    EXPECT_EQ(out[first - 1], 0.0) << rate;
    if (b == 0.0)
      EXPECT_LT(out[first], g - 1e-9) << rate;
    else
      EXPECT_NEAR(out[first], g * b, 1e-6 * b) << rate << "/" << highCut;
  }
}

TEST(ReverbImpulse, StereoTailSwapsLinesZeroAndOneForTheTwinsOnTheRight) {
  // The tail hears the mid signal, half of a one-channel impulse. Line 9
  // (879 samples) sounds on both sides; lines 0 and 1 (1040, 2075) only on
  // the left, their twins (967, 2199) only on the right.
  const auto out = Out(2, 44100, TailOnly(0), 2200);
  const std::tuple<std::uint32_t, double, bool, bool> arrivals[] = {{879, 19.941, true, true},
                                                                    {967, 0.93 * 23.583, false, true},
                                                                    {1040, 23.583, true, false},
                                                                    {2075, 47.049, true, false},
                                                                    {2199, 1.06 * 47.049, false, true}};
  for (const auto& [frame, ms, left, right] : arrivals)
    for (std::uint32_t c = 0; c < 2; ++c)
      EXPECT_NEAR(At(out, 2, frame, c), (c == 0 ? left : right) ? 0.5 * LineGain(ms) : 0.0, 1e-12) << frame;
  for (std::uint32_t f = 0; f < 879; ++f) ASSERT_EQ(At(out, 2, f, 0) + At(out, 2, f, 1), 0.0) << f;
}

TEST(ReverbImpulse, DecayFallsSixtyDecibelsOverTheDecayTimeAndTheBassCutTakesOutTheSteadyPart) {
  // Noise, then silence: 1 s later the tail's level is 10^(-3/2.5) lower.
  Harness<Float64> h(1, 44100, TailOnly());
  const auto noise = test::Noise(4410, 0.5, 99);
  h.Run(4410, [&](std::uint32_t f, std::uint32_t) { return noise[f]; });
  const auto tail = h.Tail();
  ASSERT_EQ(tail.size(), 88200u);
  const auto level = [](const std::vector<double>& v, std::uint32_t from, std::uint32_t n) {
    double e = 0;
    for (std::uint32_t f = from; f < from + n; ++f) e += v[f] * v[f];
    return std::sqrt(e / n);
  };
  EXPECT_NEAR(level(tail, 54000, 8820) / level(tail, 9900, 8820), std::pow(10.0, -1.2), 0.25 * std::pow(10.0, -1.2));
  // A constant input fills the lines up; with the bass cut they hear only
  // the step, whose echoes have died down 2 s later.
  double steady[2];
  for (std::int32_t on : {0, 1}) {
    Harness<Float64> dc(1, 44100, Defaults([&](ReverbParams& p) {
                          p.dryOut = p.earlyOut = -800, p.highCut = 0, p.bassCut = on, p.bassCutHz = 1000;
                        }));
    steady[on] = level(dc.Run(88200, [](std::uint32_t, std::uint32_t) { return 0.5; }), 84000, 4200);
  }
  EXPECT_GT(steady[0], 0.1);
  EXPECT_LT(steady[1], steady[0] * 0.01);
}

TEST(ReverbImpulse, EarlyTapsArriveWithTheirGainsAndFollowThePansInStereoOnly) {
  const auto out = Out(1, 44100, EarlyOnly(0), 1400);
  for (std::uint32_t f = 0; f < 1400; ++f)
    ASSERT_EQ(out[f], f == 271 ? 46.0 * 0.01 : f == 758 ? -60.0 * 0.01 : f == 1292 ? 21.0 * 0.01 : 0.0) << f;
  // Style 3 inverts its first tap: 11.057 + 0.051 ms = 489; "pan right" in mono is its source style.
  EXPECT_EQ(Out(1, 44100, EarlyOnly(2), 500)[489], -47.0 * 0.01);
  EXPECT_EQ(Out(1, 44100, EarlyOnly(1), 3000), Out(1, 44100, EarlyOnly(6), 3000));
  for (std::uint32_t side : {0u, 1u}) {  // both inputs feed the reflections; pan -72 and 71
    const auto out =
        Out(2, 44100, EarlyOnly(0), 1300, [&](std::uint32_t f, std::uint32_t c) { return f == 0 && c == side; });
    EXPECT_NEAR(At(out, 2, 271, 0), 0.86 * 46 * 0.01, 1e-15) << side;
    EXPECT_NEAR(At(out, 2, 271, 1), 0.14 * 46 * 0.01, 1e-15) << side;
    EXPECT_NEAR(At(out, 2, 758, 0), 0.145 * -60 * 0.01, 1e-15) << side;
    EXPECT_NEAR(At(out, 2, 758, 1), 0.855 * -60 * 0.01, 1e-15) << side;
  }
  const auto lo = Out(2, 44100, EarlyOnly(7), 2400);  // "pan left": everything lands more on the left
  for (std::uint32_t f = 0; f < 2400; ++f) ASSERT_LE(std::abs(At(lo, 2, f, 1)), std::abs(At(lo, 2, f, 0))) << f;
}

TEST(ReverbTail, WholeSecondsOfDecayAndNoneBelowOneSecond) {
  for (const auto& [decay, frames] : {std::pair{5, 0u}, {9, 0u}, {10, 44100u}, {25, 88200u}, {50, 220500u}}) {
    Harness<Pcm16> h(2, 44100, Defaults([&](ReverbParams& p) { p.decayTenths = decay; }));
    h.Run(100, kImpulse);
    int calls = 0;
    EXPECT_EQ(h.Tail(4096, &calls).size(), frames * 2u) << decay;
    EXPECT_EQ(calls, frames == 0 ? 1 : static_cast<int>((frames + 4095) / 4096)) << decay;
  }
}

TEST(ReverbTail, ChangesDuringTheTailWaitForTheNextOrdinaryBuffer) {
  Harness<Float64> changed(1, 44100, Defaults()), kept(1, 44100, Defaults());
  std::vector<double> tails[2];
  for (Harness<Float64>* h : {&changed, &kept}) {
    h->Run(1000, kImpulse);
    std::vector<double> buf(1000, 0.0);
    std::uint32_t n = 1000;
    ASSERT_EQ(h->Process(ProcessMode::Tail, buf, n), S_OK);
    if (h == &changed) h->engine.SetDecay(5), h->engine.SetReverbMode(3);
    tails[h == &changed ? 0 : 1] = h->Tail();
  }
  EXPECT_EQ(tails[0].size(), 88200u - 1000u);
  EXPECT_FALSE(AllZero(tails[0]));
  EXPECT_EQ(tails[0], tails[1]);
  // The next ordinary buffer sounds like a fresh start with the new settings.
  Harness<Float64> fresh(1, 44100, Defaults([](ReverbParams& p) { p.decayTenths = 5, p.reverbMode = 3; }));
  std::vector<double> next = fresh.Make(3000, kImpulse);
  std::uint32_t n = 3000;
  ASSERT_EQ(changed.Process(ProcessMode::Continue, next, n), S_OK);
  EXPECT_EQ(next, fresh.Run(3000, kImpulse));
}

template <class Kind>
class ReverbKinds : public ::testing::Test {};
TYPED_TEST_SUITE(ReverbKinds, test::AllKinds);

TYPED_TEST(ReverbKinds, EveryKindComputesTheSameAsDoublesMonoAndStereo) {
  // Inputs of k/128 reach the engine as the same doubles in every kind, so
  // each kind's output is the double result converted.
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2})
    for (int preset : {0, 7, 8}) {
      SCOPED_TRACE(testing::Message() << channels << " channels, preset " << preset);
      std::uint32_t seed = 2024;
      std::vector<double> in(3000 * channels);
      for (double& v : in) {
        seed = seed * 1103515245u + 12345u;
        v = (static_cast<std::int32_t>((seed >> 16) % 255) - 127) / 128.0;
      }
      const auto input = [&](std::uint32_t f, std::uint32_t c) { return f < 3000 ? in[f * channels + c] : 0.0; };
      Harness<Float64> ref(channels, 22050, ReverbPresets()[preset].params);
      Harness<Kind> h(channels, 22050, ReverbPresets()[preset].params);
      auto expect = ref.Run(6000, input, 500), got = h.Run(6000, input, 500);
      const auto expectTail = ref.Tail(3000), gotTail = h.Tail(3000);
      expect.insert(expect.end(), expectTail.begin(), expectTail.end());
      got.insert(got.end(), gotTail.begin(), gotTail.end());
      ASSERT_EQ(got.size(), expect.size());
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], Kind::FromEngine(expect[i])) << i;
    }
}

TEST(ReverbChanges, AWholeBlockAndALaterDiscontinuityEmptyTheLinesTheSameModeDoesNot) {
  const ReverbParams wet = Defaults([](ReverbParams& p) { p.dryOut = -800; });
  for (const bool whole : {false, true}) {
    Harness<Float64> h(1, 44100, wet);
    h.Run(4410, kImpulse);
    ASSERT_EQ(whole ? h.engine.ApplyPreset(0) : h.engine.SetReverbMode(0), S_OK);
    EXPECT_EQ(AllZero(h.Silence(4410)), whole);
  }
  Harness<Float64> h(1, 44100, wet);
  EXPECT_FALSE(AllZero(h.Run(4410, kImpulse, 4410, true)));
  EXPECT_TRUE(AllZero(h.Run(4410, test::Silent, 4410, true)));
}

TEST(ReverbLimits, IndicesOutsideTheTablesPlayTheNearestRow) {
  const auto in = test::Noise(2 * 3000, 0.5, 5);
  const auto input = [&](std::uint32_t f, std::uint32_t c) { return in[f * 2 + c]; };
  const auto with = [&](int mode, int style) {
    return Out(2, 44100, Defaults([&](ReverbParams& p) { p.reverbMode = mode, p.earlyStyle = style; }), 3000, input);
  };
  const std::tuple<int, int, int, int> cases[] = {{-1, 10, 0, 9}, {19, -1, 18, 0}, {INT_MAX, INT_MIN, 18, 0}};
  for (const auto& [mode, style, row, styleRow] : cases)
    EXPECT_EQ(with(mode, style), with(row, styleRow)) << mode << "/" << style;
}

TEST(ReverbLimits, LinesAndTapsNeverShrinkBelowOneSample) {
  // At 1 Hz every tap works out to 0 samples and reads the previous input:
  // (21 + 46 - 60) % of the impulse one frame later.
  EXPECT_EQ(Out(1, 1, EarlyOnly(0), 3), (std::vector<double>{0.0, 7.0 * 0.01, 0.0}));
  // At 100 Hz taps of 0 -> 1, 1 and 2 samples.
  EXPECT_EQ(Out(1, 100, EarlyOnly(0), 4), (std::vector<double>{0.0, -14.0 * 0.01, 21.0 * 0.01, 0.0}));
  // Every mode and style at very low rates; under the address sanitizer this
  // shows that every ring access stays inside its ring.
  for (std::uint32_t rate : {0u, 1u, 7u, 100u, 163u, 200u})
    for (std::uint16_t channels : {1, 2})
      for (std::int32_t mode = 0; mode < 19; ++mode) {
        Harness<Pcm16> h(channels, rate, Defaults([&](ReverbParams& p) {
                           p.reverbMode = mode, p.earlyStyle = mode % 10, p.preDelayMs = mode * 10, p.decayTenths = 10;
                         }));
        h.Run(
            300, [](std::uint32_t f, std::uint32_t c) { return ((f * 7 + c) % 13) / 13.0 - 0.5; }, 37);
        EXPECT_EQ(h.Tail(64).size(), static_cast<std::size_t>(rate) * channels);
      }
}

TEST(ReverbLimits, ChannelChangeWithoutRestartRebuildsForTheNewLayout) {
  Harness<Float64> h(1, 44100, Defaults()), fresh(2, 44100, Defaults());
  h.Run(500, kImpulse);
  h.Format() = test::FormatFor<Float64>(2, 44100);
  const auto in = test::Noise(2 * 3000, 0.5, 3);
  const auto input = [&](std::uint32_t f, std::uint32_t c) { return in[f * 2 + c]; };
  EXPECT_EQ(h.Run(3000, input), fresh.Run(3000, input));
}

TEST(ReverbMemory, WithoutAPoolNothingRunsAndASmallSetUpNeedsNoAllocation) {
  ReverbEngine e;  // its pool taken while memory is there
  const AudioFormat f = MakeFormat(1, 2, 2000, 8);
  e.SetFormat(&f);
  test::RefuseLines refuse;
  ReverbEngine broken;
  broken.SetFormat(&f);
  std::uint8_t buf[8] = {1, 2, 3, 4, 0x80, 0x80, 0x80, 0x80};
  std::uint32_t n = 4;
  EXPECT_EQ(broken.Restart(), E_FAIL);
  EXPECT_EQ(broken.Process(SampleKind::Pcm8, ProcessMode::Continue, buf, &n), E_FAIL);
  EXPECT_EQ(buf[3], 4);
  EXPECT_EQ(e.Restart(), S_OK);  // 2000 Hz stereo fits the pool's first chunk, even after a stop
  e.ReleaseLine();
  n = 2;  // two stereo frames of silence
  EXPECT_EQ(e.Process(SampleKind::Pcm8, ProcessMode::Continue, buf + 4, &n), S_OK);
}

// Lines are rebuilt at a discontinuity and on a new mode, style or
// pre-delay within what the start reserved for the longest of each.
TEST(ReverbMemory, RebuildsAfterTheStartTakeNoMemory) {
  Harness<Float64> h(1, 44100, EarlyOnly(0));
  test::RefuseLines refuse;
  EXPECT_EQ(h.Run(1300, kImpulse, 1300, true)[1292], 21.0 * 0.01);
  std::vector<double> buf(20, 0.0);
  std::uint32_t n = 10;
  EXPECT_EQ(h.Process(ProcessMode::Discontinuity, buf, n), S_OK);
  for (std::int32_t mode = 0; mode < 19; mode += 3) {
    ASSERT_EQ(h.engine.SetReverbMode(mode), S_OK);
    ASSERT_EQ(h.engine.SetEarlyStyle(mode % 10), S_OK);
    ASSERT_EQ(h.engine.SetPreDelay(200 - mode), S_OK);
    n = 10;
    EXPECT_EQ(h.Process(ProcessMode::Continue, buf, n), S_OK) << mode;
  }
}

}  // namespace
}  // namespace quill
