// The reverb: impulses through the tail and the early reflections, the
// filters, update against rebuild, the tail rules, every sample kind, very
// low rates and a refusing pool.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
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
ReverbParams TailOnly(std::int32_t preDelayMs = 30) {
  return Defaults([=](ReverbParams& p) {
    p.dryOut = p.earlyOut = -800, p.reverbOut = p.bassCut = p.highCut = 0, p.preDelayMs = preDelayMs;
  });
}
// Only the early reflections, at 0 dB (tap gains in percent times 0.01).
ReverbParams EarlyOnly(std::int32_t style) {
  return Defaults([=](ReverbParams& p) { p.dryOut = p.reverbOut = -800, p.earlyOut = 0, p.earlyStyle = style; });
}
// The gain of a line of `ms` over the default 2.5 s decay.
double LineGain(double ms) { return std::pow(10.0, -3 * ms * 0.001 / 2.5); }

const test::Signal kImpulse = [](std::uint32_t f, std::uint32_t c) { return f == 0 && c == 0 ? 1.0 : 0.0; };
bool AllZero(const std::vector<double>& v) {
  for (double x : v)
    if (x != 0.0) return false;
  return true;
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
  Harness<Float64> none(1, 44100, TailOnly(0));  // "Off": one slot, no delay
  const auto direct = none.Run(900, kImpulse);
  EXPECT_EQ(direct[878], 0.0);
  EXPECT_NEAR(direct[879], g, 1e-12);
}

TEST(ReverbImpulse, HighCutShapesTheTailsInputUpToTheSampleRate) {
  // The first arrival carries the high cut's b: 1 - 0.032731 for 12000 Hz
  // at 44100 Hz; with the cut at the sample rate or switched off, 1.
  const struct {
    std::uint32_t rate;
    std::int32_t on, hz;
    std::uint32_t first;  // shortest line plus a 1 ms pre-delay, or none
    double b, tolerance;
  } cases[] = {{44100, 1, 12000, 879 + 43, 1 - 0.032731, 1e-6}, {8000, 1, 8000, 160, 1.0, 0.0},
               {8001, 1, 8000, 160, 0.0, 0.0}, {44100, 0, 12000, 879, 1.0, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << "/" << c.on);
    ReverbParams p = TailOnly(c.first > 900 ? 1 : 0);
    p.highCut = c.on, p.highCutHz = c.hz;
    Harness<Float64> h(1, c.rate, p);
    const auto out = h.Run(c.first + 1, kImpulse);
    EXPECT_EQ(out[c.first - 1], 0.0);
    if (c.b == 0.0)
      EXPECT_LT(out[c.first], LineGain(19.941) - 1e-9);  // 8000 Hz is below 8001: filtered, if slightly
    else
      EXPECT_NEAR(out[c.first], LineGain(19.941) * c.b, c.tolerance + 1e-12);
  }
}

TEST(ReverbImpulse, StereoTailSwapsLinesZeroAndOneForTheTwinsOnTheRight) {
  // The tail hears the mid signal, half of a one-channel impulse. Line 9
  // (879 samples) sounds on both sides; lines 0 and 1 (1040, 2075) only on
  // the left, their twins (967, 2199) only on the right.
  Harness<Float64> h(2, 44100, TailOnly(0));
  const auto out = h.Run(2200, kImpulse);
  const struct {
    std::uint32_t frame;
    double ms;
    bool left, right;
  } arrivals[] = {{879, 19.941, true, true},   {967, 0.93 * 23.583, false, true}, {1040, 23.583, true, false},
                  {2075, 47.049, true, false}, {2199, 1.06 * 47.049, false, true}};
  for (const auto& a : arrivals) {
    SCOPED_TRACE(a.frame);
    for (std::uint32_t c = 0; c < 2; ++c)
      if (c == 0 ? a.left : a.right)
        EXPECT_NEAR(At(out, 2, a.frame, c), 0.5 * LineGain(a.ms), 1e-12);
      else
        EXPECT_EQ(At(out, 2, a.frame, c), 0.0);
  }
  for (std::uint32_t f = 0; f < 879; ++f) ASSERT_EQ(At(out, 2, f, 0) + At(out, 2, f, 1), 0.0) << f;
}

TEST(ReverbImpulse, DecayFallsSixtyDecibelsOverTheDecayTime) {
  // Noise, then silence: 1 s later the tail's level is 10^(-3/2.5) lower.
  Harness<Float64> h(1, 44100, TailOnly());
  const auto noise = test::Noise(4410, 0.5, 99);
  h.Run(4410, [&](std::uint32_t f, std::uint32_t) { return noise[f]; });
  const auto tail = h.Tail();
  ASSERT_EQ(tail.size(), 88200u);
  const auto rms = [&](std::uint32_t from) {
    double e = 0;
    for (std::uint32_t f = from; f < from + 8820; ++f) e += tail[f] * tail[f];
    return std::sqrt(e / 8820);
  };
  EXPECT_NEAR(rms(54000) / rms(9900), std::pow(10.0, -3.0 / 2.5), 0.25 * std::pow(10.0, -3.0 / 2.5));
}

TEST(ReverbImpulse, BassCutTakesTheSteadyPartOutOfTheTailsInput) {
  // A constant input: without the cut the lines fill up, with it they only
  // hear the step, whose echoes have died down 2 s later.
  double level[2] = {};
  for (std::int32_t on : {0, 1}) {
    Harness<Float64> h(1, 44100, Defaults([&](ReverbParams& p) {
                         p.dryOut = p.earlyOut = -800, p.highCut = 0, p.bassCut = on, p.bassCutHz = 1000;
                       }));
    const auto out = h.Run(88200, [](std::uint32_t, std::uint32_t) { return 0.5; });
    for (std::uint32_t f = 84000; f < 88200; ++f) level[on] = std::max(level[on], std::fabs(out[f]));
  }
  EXPECT_GT(level[0], 0.1);
  EXPECT_LT(level[1], level[0] * 0.01);
}

TEST(ReverbImpulse, EarlyTapsArriveWithTheirGainsAndNegativeOnesInvertInMono) {
  Harness<Float64> h(1, 44100, EarlyOnly(0));
  const auto out = h.Run(1400, kImpulse);
  for (std::uint32_t f = 0; f < 1400; ++f) {
    const double expect = f == 271 ? 46.0 * 0.01 : f == 758 ? -60.0 * 0.01 : f == 1292 ? 21.0 * 0.01 : 0.0;
    ASSERT_EQ(out[f], expect) << f;
  }
  Harness<Float64> inv(1, 44100, EarlyOnly(2));  // style 3 inverts its first tap: 11.057 + 0.051 ms = 489
  EXPECT_EQ(inv.Run(500, kImpulse)[489], -47.0 * 0.01);
  // In mono the pans do nothing: "pan right" sounds like its source style.
  Harness<Float64> a(1, 44100, EarlyOnly(1)), b(1, 44100, EarlyOnly(6));
  EXPECT_EQ(a.Run(3000, kImpulse), b.Run(3000, kImpulse));
}

TEST(ReverbImpulse, StereoReflectionsTakeBothInputsAndFollowThePans) {
  for (std::uint32_t side : {0u, 1u}) {
    SCOPED_TRACE(side);
    Harness<Float64> h(2, 44100, EarlyOnly(0));
    const auto out = h.Run(1300, [&](std::uint32_t f, std::uint32_t c) { return f == 0 && c == side ? 1.0 : 0.0; });
    EXPECT_NEAR(At(out, 2, 271, 0), 0.86 * 46 * 0.01, 1e-15);  // pan -72: 0.14 of it right
    EXPECT_NEAR(At(out, 2, 271, 1), 0.14 * 46 * 0.01, 1e-15);
    EXPECT_NEAR(At(out, 2, 758, 0), 0.145 * -60 * 0.01, 1e-15);  // pan 71: 0.855 right, inverted
    EXPECT_NEAR(At(out, 2, 758, 1), 0.855 * -60 * 0.01, 1e-15);
    EXPECT_EQ(At(out, 2, 270, 0), 0.0);
  }
  Harness<Float64> left(2, 44100, EarlyOnly(7));  // "pan left": everything lands more on the left
  const auto out = left.Run(2400, kImpulse);
  for (std::uint32_t f = 0; f < 2400; ++f) ASSERT_LE(std::abs(At(out, 2, f, 1)), std::abs(At(out, 2, f, 0))) << f;
}

TEST(ReverbImpulse, EarlyTapOrderingPutsTheLongestTapLast) {
  const EarlyStyle s{"", {30.0, 10.0, 20.0}, {1, 2, 3}, {-100, 0, 100}};
  EarlyTaps t;
  ASSERT_TRUE(ComputeEarlyTaps(s, 44100, true, t));
  // 1325, 447, 885 samples: one pass swaps 0/1, then 1/2.
  EXPECT_EQ((std::vector{t.length[0], t.length[1], t.length[2]}), (std::vector<std::uint32_t>{447, 885, 1325}));
  EXPECT_EQ((std::vector{t.gainLeft[0], t.gainRight[1], t.gainLeft[2], t.gainRight[2]}),
            (std::vector{1.0, 3.0, 1.0, 0.0}));  // centre: half of 2; full right; full left
}

TEST(ReverbTail, WholeSecondsOfDecayAndNoneBelowOneSecond) {
  const struct {
    std::int32_t decay;
    std::uint32_t frames;
  } cases[] = {{5, 0}, {9, 0}, {10, 44100}, {25, 88200}, {50, 220500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.decay);
    Harness<Pcm16> h(2, 44100, Defaults([&](ReverbParams& p) { p.decayTenths = c.decay; }));
    h.Run(100, kImpulse);
    int calls = 0;
    EXPECT_EQ(h.Tail(4096, &calls).size(), c.frames * 2u);
    if (c.frames == 0) {
      EXPECT_EQ(calls, 1);  // the first tail buffer is already the last, and empty
    }
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

TYPED_TEST(ReverbKinds, DryOnlyPassesEverySampleThroughUnchanged) {
  using Kind = TypeParam;
  using Sample = typename Kind::Sample;
  std::vector<double> values;
  if constexpr (sizeof(Sample) <= 2 && Kind::kind != SampleKind::Float32) {
    for (std::int32_t v = 0; v < (1 << (8 * sizeof(Sample))); ++v) {
      Sample s;
      const auto u = static_cast<std::uint16_t>(v);
      std::memcpy(&s, &u, sizeof s);
      values.push_back(Kind::ToEngine(s));
    }
  } else {
    values = test::Noise(20000, 1.25, 7);
    values.insert(values.end(), {-1.0, 1.0 - 1.0 / 2147483648.0, 0.0});
    for (double& v : values) v = Kind::ToEngine(Kind::FromEngine(v));
  }
  for (std::uint16_t channels : {1, 2}) {
    Harness<Kind> h(channels, 44100, Defaults([](ReverbParams& p) { p.reverbOut = p.earlyOut = -800; }));
    const auto frames = static_cast<std::uint32_t>(values.size() / channels);
    const auto out = h.Run(frames, [&](std::uint32_t f, std::uint32_t c) { return values[f * channels + c]; }, 777);
    for (std::uint32_t i = 0; i < frames * channels; ++i)
      ASSERT_EQ(out[i], Kind::FromEngine(values[i])) << i << " of " << channels;
  }
}

TYPED_TEST(ReverbKinds, EveryKindComputesTheSameAsDoublesMonoAndStereo) {
  // Inputs of k/128 reach the engine as the same doubles in every kind, so
  // each kind's output is the double result converted.
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2})
    for (int preset : {0, 7, 8}) {
      SCOPED_TRACE(testing::Message() << channels << " channels, preset " << preset);
      const ReverbParams p = ReverbPresets()[preset].params;
      std::uint32_t seed = 2024;
      std::vector<double> in(3000 * channels);
      for (double& v : in) {
        seed = seed * 1103515245u + 12345u;
        v = (static_cast<std::int32_t>((seed >> 16) % 255) - 127) / 128.0;
      }
      const auto input = [&](std::uint32_t f, std::uint32_t c) { return f < 3000 ? in[f * channels + c] : 0.0; };
      Harness<Float64> ref(channels, 22050, p);
      Harness<Kind> h(channels, 22050, p);
      const auto expect = ref.Run(6000, input, 500), expectTail = ref.Tail(3000);
      const auto got = h.Run(6000, input, 500), gotTail = h.Tail(3000);
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], Kind::FromEngine(expect[i])) << i;
      ASSERT_EQ(gotTail.size(), expectTail.size());
      for (std::size_t i = 0; i < gotTail.size(); ++i) ASSERT_EQ(gotTail[i], Kind::FromEngine(expectTail[i])) << i;
    }
}

TEST(ReverbChanges, LevelAndFilterChangesKeepHistoryLineChangesEmptyIt) {
  const struct {
    const char* what;
    bool rebuilds;
    void (*apply)(ReverbEngine&);
  } edits[] = {
      {"decay", false, [](ReverbEngine& e) { e.SetDecay(30); }},
      {"high cut", false, [](ReverbEngine& e) { e.SetHighCutHz(3000); }},
      {"bass cut", false, [](ReverbEngine& e) { e.SetBassCutHz(300); }},
      {"same mode", false, [](ReverbEngine& e) { e.SetReverbMode(0); }},
      {"pre-delay", true, [](ReverbEngine& e) { e.SetPreDelay(31); }},
      {"mode", true, [](ReverbEngine& e) { e.SetReverbMode(1); }},
      {"style", true, [](ReverbEngine& e) { e.SetEarlyStyle(0); }},
      {"same preset", true, [](ReverbEngine& e) { e.ApplyPreset(0); }},
  };
  const ReverbParams wet = Defaults([](ReverbParams& p) { p.dryOut = -800; });
  for (const auto& edit : edits) {
    Harness<Float64> h(1, 44100, wet);
    h.Run(4410, kImpulse);
    edit.apply(h.engine);
    EXPECT_EQ(AllZero(h.Silence(4410)), edit.rebuilds) << edit.what;
  }
  // A discontinuity after the first buffer restarts: the lines are emptied.
  Harness<Float64> h(1, 44100, wet);
  EXPECT_FALSE(AllZero(h.Run(4410, kImpulse, 4410, true)));
  EXPECT_TRUE(AllZero(h.Run(4410, test::Silent, 4410, true)));
}

TEST(ReverbLimits, IndicesOutsideTheTablesUseTheirFirstRow) {
  const ReverbParams base = Defaults([](ReverbParams& p) { p.reverbMode = p.earlyStyle = 0; });
  Harness<Float64> ref(2, 44100, base);
  const auto in = test::Noise(2 * 3000, 0.5, 5);
  const auto input = [&](std::uint32_t f, std::uint32_t c) { return in[f * 2 + c]; };
  const auto expect = ref.Run(3000, input);
  const std::pair<std::int32_t, std::int32_t> odd[] = {{-1, 10}, {19, -1}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}};
  for (const auto& [mode, style] : odd) {
    Harness<Float64> h(2, 44100, Defaults([&](ReverbParams& p) { p.reverbMode = mode, p.earlyStyle = style; }));
    EXPECT_EQ(h.Run(3000, input), expect) << mode << "/" << style;
  }
}

TEST(ReverbLimits, LinesAndTapsNeverShrinkBelowOneSample) {
  // At 1 Hz every tap works out to 0 samples and reads the previous input:
  // (21 + 46 - 60) % of the impulse one frame later.
  Harness<Float64> one(1, 1, EarlyOnly(0));
  const auto at1 = one.Run(3, kImpulse);
  EXPECT_EQ(at1[0], 0.0);
  EXPECT_DOUBLE_EQ(at1[1], 7.0 * 0.01);
  EXPECT_EQ(at1[2], 0.0);
  Harness<Float64> hundred(1, 100, EarlyOnly(0));  // taps of 0 -> 1, 1 and 2 samples
  EXPECT_EQ(hundred.Run(4, kImpulse), (std::vector<double>{0.0, -14.0 * 0.01, 21.0 * 0.01, 0.0}));
}

TEST(ReverbLimits, EveryModeAndStyleRunsAtVeryLowRates) {
  // Run under the address sanitizer, this shows that every ring access stays inside.
  for (std::uint32_t rate : {0u, 1u, 7u, 100u, 163u, 200u})
    for (std::uint16_t channels : {1, 2})
      for (std::int32_t mode = 0; mode < 19; ++mode) {
        Harness<Pcm16> h(channels, rate, Defaults([&](ReverbParams& p) {
                           p.reverbMode = mode, p.earlyStyle = mode % 10, p.preDelayMs = mode * 10, p.decayTenths = 10;
                         }));
        h.Run(300, [](std::uint32_t f, std::uint32_t c) { return ((f * 7 + c) % 13) / 13.0 - 0.5; }, 37);
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

TEST(ReverbMemory, NoPoolMeansRestartFails) {
  test::RefuseLines refuse;
  ReverbEngine e;
  const AudioFormat f = MakeFormat(1, 1, 44100, 16);
  e.SetFormat(&f);
  EXPECT_EQ(e.Restart(), E_FAIL);
  std::int16_t buf[4] = {1, 2, 3, 4};
  std::uint32_t n = 4;
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), E_FAIL);
  EXPECT_EQ(buf[3], 4);
}

TEST(ReverbMemory, AFailedLineLeavesTheEngineNotReadyUntilMemoryReturns) {
  ReverbEngine e;
  const AudioFormat f = test::FormatFor<Float64>(1, 44100);
  e.SetFormat(&f);
  const ReverbParams p = EarlyOnly(0);
  e.SetParams(&p);
  std::vector<double> buf(1400, 0.0);
  buf[0] = 1.0;
  std::uint32_t n = 1400;
  {
    // Rich hall's lines at 44100 Hz need 112000 bytes: more than the pool starts with.
    test::RefuseLines refuse;
    EXPECT_EQ(e.Restart(), E_OUTOFMEMORY);
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), E_OUTOFMEMORY);
    EXPECT_EQ(buf[0], 1.0);
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Tail, buf.data(), &n), S_FALSE);
    EXPECT_EQ(n, 0u);
  }
  n = 1400;  // the next buffer builds the lines and plays as if nothing had happened
  ASSERT_EQ(e.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), S_OK);
  EXPECT_EQ(buf[271], 46.0 * 0.01);
  EXPECT_EQ(buf[1292], 21.0 * 0.01);
}

TEST(ReverbMemory, TheFirstDiscontinuityAfterAStartDoesNotRestartAgain) {
  Harness<Float64> h(1, 44100, EarlyOnly(0));  // built while memory was there
  test::RefuseLines refuse;
  // A restart would have to rebuild, which needs more than the first chunk.
  EXPECT_EQ(h.Run(1300, kImpulse, 1300, true)[1292], 21.0 * 0.01);
  std::vector<double> buf(10, 0.0);
  std::uint32_t n = 10;
  EXPECT_EQ(h.Process(ProcessMode::Discontinuity, buf, n), E_OUTOFMEMORY);
}

TEST(ReverbMemory, ASetUpThatFitsThePoolNeedsNoAllocation) {
  ReverbEngine e;
  const AudioFormat f = MakeFormat(1, 2, 2000, 8);
  e.SetFormat(&f);
  test::RefuseLines refuse;
  EXPECT_EQ(e.Restart(), S_OK);
  e.ReleaseLine();
  std::uint8_t buf[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  std::uint32_t n = 4;
  EXPECT_EQ(e.Process(SampleKind::Pcm8, ProcessMode::Continue, buf, &n), S_OK);
}

}  // namespace
}  // namespace quill
