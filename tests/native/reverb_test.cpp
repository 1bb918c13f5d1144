// The reverb: tables, sizes and coefficients, impulses through the tail and the early
// reflections, update against rebuild, every sample kind, limits and a refusing pool.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "tests/native/engine_harness.h"
#include "dsp/line_memory.h"
#include "twreverb/reverb_engine.h"

namespace quill {
namespace {

using test::At;
using test::FormatFor;
template <class Kind>
using Harness = test::EngineHarness<ReverbEngine, Kind>;

template <class Edit = void (*)(ReverbParams&)>
ReverbParams Defaults(Edit edit = [](ReverbParams&) {}) {
  ReverbParams p = ReverbPresets()[0].params;
  edit(p);
  return p;
}
void ExpectTapLengths(const EarlyTaps& t, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  EXPECT_EQ(t.length[0], a);
  EXPECT_EQ(t.length[1], b);
  EXPECT_EQ(t.length[2], c);
}
// Only the tail, unfiltered, at full level.
ReverbParams TailOnly() {
  return Defaults([](ReverbParams& p) { p.dryOut = p.earlyOut = -800, p.reverbOut = p.bassCut = p.highCut = 0; });
}
// Only the early reflections, at 0 dB (tap gains in percent times 0.01).
ReverbParams EarlyOnly(std::int32_t style) {
  return Defaults([=](ReverbParams& p) { p.dryOut = p.reverbOut = -800, p.earlyOut = 0, p.earlyStyle = style; });
}

const auto kImpulse = [](std::uint32_t f, std::uint32_t c) { return f == 0 && c == 0 ? 1.0 : 0.0; };
double Noise(std::uint32_t& seed, double scale) {
  seed = seed * 1103515245u + 12345u;
  return static_cast<std::int32_t>(seed) * scale;
}
bool AllZero(const std::vector<double>& v) {
  for (double x : v)
    if (x != 0.0) return false;
  return true;
}
// Refuses every line allocation for the length of a scope.
struct RefuseLines {
  LineAllocFn previous = SetLineAllocator([](std::size_t, std::size_t) -> void* { return nullptr; });
  ~RefuseLines() { SetLineAllocator(previous); }
};
template <class Kind>
void Connect(ReverbEngine& e, std::uint16_t channels, std::uint32_t rate) {
  static AudioFormat f;
  f = FormatFor<Kind>(channels, rate);
  e.SetFormat(&f);
}

TEST(ReverbTables, ModesHaveEightToTenLinesAndStylesSixToNineMirrorOneAndThree) {
  const auto modes = ReverbModeTable();
  const auto styles = EarlyStyleTable();
  ASSERT_EQ(modes.size(), 19u);
  ASSERT_EQ(styles.size(), 10u);
  for (const auto& mode : modes) {
    EXPECT_GE(mode.lines, 8.0) << mode.name;
    EXPECT_LE(mode.lines, 10.0) << mode.name;
  }
  const int source[] = {1, 1, 3, 3};  // styles 6 to 9, every tap panned to one side
  for (int s = 6; s < 10; ++s)
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(styles[s].delayMs[k], styles[source[s - 6]].delayMs[k]);
      EXPECT_EQ(styles[s].gainPct[k], styles[source[s - 6]].gainPct[k]);
      EXPECT_EQ(styles[s].pan[k] > 0, s == 6 || s == 8) << s << "/" << k;
    }
}

TEST(ReverbSetUp, DefaultsSizesLevelsTwinsAndHighCut) {
  Harness<Float64> h(1, 44100, Defaults());
  const ReverbEngine& e = h.engine;
  ASSERT_TRUE(e.Ready());
  EXPECT_EQ(e.LineCount(), 10);
  EXPECT_EQ(e.Line(0).length, 1040u);
  EXPECT_NEAR(e.Line(0).g, 0.93692, 5e-6);
  EXPECT_EQ(e.PreDelayLength(), 1323u);
  EXPECT_EQ(e.TailLeft(), 88200u);
  EXPECT_EQ(e.DryGain(), 1.0);  // -35.0 dB of tail, -20.0 dB of early taps in percent
  EXPECT_NEAR(e.ReverbGain(), 0.017783, 1e-6);
  EXPECT_NEAR(e.EarlyGain(), 0.001, 1e-15);
  EXPECT_NEAR(e.HighCutState().a, 0.032731, 1e-6);
  EXPECT_EQ(e.HighCutState().b, 1.0 - e.HighCutState().a);
  Harness<Pcm16> stereo(2, 44100, Defaults());
  EXPECT_EQ(stereo.engine.Twin(0).length, 967u);
  EXPECT_EQ(stereo.engine.Twin(1).length, 2199u);
  EXPECT_NEAR(stereo.engine.Twin(0).g, std::pow(10.0, -3 * 0.93 * 0.023583 / 2.5), 1e-12);
}

TEST(ReverbSetUp, TapsOfStyleOneAndTheLongLineOfMediumHallTwo) {
  Harness<Float64> h(1, 44100, Defaults([](ReverbParams& p) { p.earlyStyle = 0, p.reverbMode = 6; }));
  ExpectTapLengths(h.engine.Taps(), 271, 758, 1292);
  EXPECT_EQ(h.engine.EarlyRingLength(), 1292u);
  EXPECT_EQ(h.engine.Taps().gainLeft[1], -60.0);  // mono: the percent gains as they stand
  EXPECT_EQ(h.engine.Line(6).length, 172065u);
  EXPECT_NEAR(h.engine.Line(6).g, 2.08e-5, 0.01e-5);
}

TEST(ReverbSetUp, PreDelayLengthsAndHighCutSwitchOff) {
  for (const auto& [ms, slots] : {std::pair{0, 1u}, {1, 44u}})
    EXPECT_EQ(Harness<Float64>(1, 44100, Defaults([&](ReverbParams& p) { p.preDelayMs = ms; })).engine.PreDelayLength(),
              slots);
  const struct {
    std::int32_t highCut;
    std::uint32_t rate;
    bool on;
  } cases[] = {{1, 8000, false}, {1, 8001, true}, {0, 44100, false}};  // off at the sample rate or switched off
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.highCut << "@" << c.rate);
    Harness<Float64> h(1, c.rate, Defaults([&](ReverbParams& p) { p.highCutHz = 8000, p.highCut = c.highCut; }));
    if (c.on) {
      EXPECT_GT(h.engine.HighCutState().a, 0.0);
    } else {
      EXPECT_EQ(h.engine.HighCutState().a, 0.0);
      EXPECT_EQ(h.engine.HighCutState().b, 1.0);
    }
  }
}

TEST(ReverbSetUp, BassCutFrequencyScalesAndClampsTo00004) {
  // b2 = exp(-2 pi f / 0.1) for the scaled, clamped frequency f.
  const struct {
    std::int32_t hz;
    double b2;
  } cases[] = {
      {20, 0.975180456784443},     // 20/44100 x 0.4545 = 0.000206, raised to 0.0004
      {400, 0.7717867379624289},   // below 500 Hz: x 0.4545
      {1000, 0.6493749318093186},  // above: x 0.3030
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hz);
    Harness<Float64> h(1, 44100, Defaults([&](ReverbParams& p) { p.bassCutHz = c.hz; }));
    const BassCut& b = h.engine.BassCutState();
    EXPECT_NEAR(b.b2, c.b2, 1e-12);
    const double f = -std::log(b.b2) * 0.1 / (2 * std::numbers::pi);  // r squared, unity gain at 0 Hz
    EXPECT_NEAR(b.b1, 2 * std::sqrt(b.b2) * std::cos(2 * std::numbers::pi * f), 1e-12);
    EXPECT_NEAR(b.g / (1 - b.b1 + b.b2), 1.0, 1e-12);
  }
}

TEST(ReverbSetUp, EarlyTapOrderingPutsTheLongestTapLast) {
  EarlyStyle s{"", {30.0, 10.0, 20.0}, {1, 2, 3}, {-100, 0, 100}};
  EarlyTaps t;
  ASSERT_TRUE(ComputeEarlyTaps(s, 44100, true, t));
  ExpectTapLengths(t, 447, 885, 1325);  // 1325, 447, 885 samples: one pass swaps 0/1, then 1/2
  EXPECT_EQ(t.gainLeft[0], 1.0);   // 10 ms, centre: half of 2
  EXPECT_EQ(t.gainRight[1], 3.0);  // 20 ms, full right
  EXPECT_EQ(t.gainLeft[2], 1.0);   // 30 ms, full left
  EXPECT_EQ(t.gainRight[2], 0.0);
}

TEST(ReverbImpulse, TailArrivesAfterShortestLinePlusPreDelayAndFallsByItsGain) {
  // Shortest line of "Rich hall": 19.941 ms = 879 samples; pre-delay 1323
  // slots = 1322 samples. Its second pass is the only arrival at 2 x 879.
  Harness<Float64> h(1, 44100, TailOnly());
  const double g = std::pow(10.0, -3 * 0.019941 / 2.5);
  const auto out = h.Run(3200, kImpulse);
  for (std::uint32_t f = 0; f < 2201; ++f) ASSERT_EQ(out[f], 0.0) << f;
  EXPECT_NEAR(out[2201], g, 1e-12);
  EXPECT_NEAR(out[879 * 2 + 1322], g * g, 1e-12);
  ReverbParams p = TailOnly();
  p.preDelayMs = 0;
  Harness<Float64> none(1, 44100, p);
  const auto direct = none.Run(900, kImpulse);
  EXPECT_EQ(direct[878], 0.0);
  EXPECT_NEAR(direct[879], g, 1e-12);
  p.preDelayMs = 1;  // the high cut shapes the tail's input: the first arrival carries b
  p.highCut = 1;
  Harness<Float64> dark(1, 44100, p);
  const auto damped = dark.Run(1000, kImpulse);
  EXPECT_EQ(damped[879 + 42], 0.0);
  EXPECT_NEAR(damped[879 + 43], g * dark.engine.HighCutState().b, 1e-12);
}

TEST(ReverbImpulse, StereoTailSwapsLinesZeroAndOneForTheTwinsOnTheRight) {
  // The tail hears the mid signal, half of a one-channel impulse. Line 9
  // (879 samples) sounds on both sides; lines 0 and 1 (1040, 2075) only on
  // the left, their twins (967, 2199) only on the right.
  ReverbParams p = TailOnly();
  p.preDelayMs = 0;
  Harness<Float64> h(2, 44100, p);
  const auto out = h.Run(2200, kImpulse);
  const struct {
    std::uint32_t frame;
    double ms;
    bool left, right;
  } arrivals[] = {{879, 19.941, true, true},      {967, 0.93 * 23.583, false, true}, {1040, 23.583, true, false},
                  {2075, 47.049, true, false},    {2199, 1.06 * 47.049, false, true}};
  for (const auto& a : arrivals) {
    SCOPED_TRACE(a.frame);
    const double g = 0.5 * std::pow(10.0, -3 * a.ms * 0.001 / 2.5);
    for (std::uint32_t c = 0; c < 2; ++c)
      if (c == 0 ? a.left : a.right)
        EXPECT_NEAR(At(out, 2, a.frame, c), g, 1e-12);
      else
        EXPECT_EQ(At(out, 2, a.frame, c), 0.0);
  }
  for (std::uint32_t f = 0; f < 879; ++f) ASSERT_EQ(At(out, 2, f, 0) + At(out, 2, f, 1), 0.0) << f;
}

TEST(ReverbImpulse, DecayFallsSixtyDecibelsOverTheDecayTime) {
  // Noise, then silence: 1 s later the tail's level is 10^(-3/2.5) lower.
  Harness<Float64> h(1, 44100, TailOnly());
  std::uint32_t seed = 99;
  h.Run(4410, [&](std::uint32_t, std::uint32_t) { return Noise(seed, 1 / 4294967296.0); });
  const auto tail = h.Tail();
  ASSERT_EQ(tail.size(), 88200u);
  const auto rms = [&](std::uint32_t from) {
    double e = 0;
    for (std::uint32_t f = from; f < from + 8820; ++f) e += tail[f] * tail[f];
    return std::sqrt(e / 8820);
  };
  EXPECT_NEAR(rms(54000) / rms(9900), std::pow(10.0, -3.0 / 2.5), 0.25 * std::pow(10.0, -3.0 / 2.5));
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
      EXPECT_EQ(calls, 1);
    }
  }
}

TEST(ReverbTail, ChangesDuringTheTailAreNotApplied) {
  Harness<Float64> h(1, 44100, Defaults());
  h.Run(1000, kImpulse);
  std::uint32_t n = 1000;
  std::vector<double> buf(1000, 0.0);
  ASSERT_EQ(h.engine.Process(SampleKind::Float64, ProcessMode::Tail, buf.data(), &n), S_OK);
  h.engine.SetDecay(5);
  h.engine.SetReverbMode(3);
  const auto rest = h.Tail();
  EXPECT_EQ(rest.size(), 88200u - 1000u);
  EXPECT_FALSE(AllZero(rest));
  EXPECT_EQ(h.engine.LineCount(), 10);
  EXPECT_EQ(h.engine.Line(0).length, 1040u);
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
    std::uint32_t seed = 7;
    for (int i = 0; i < 20000; ++i) values.push_back(Kind::ToEngine(Kind::FromEngine(Noise(seed, 1.25 / 2147483648.0))));
    for (double v : {-1.0, 1.0 - 1.0 / 2147483648.0, 0.0}) values.push_back(Kind::ToEngine(Kind::FromEngine(v)));
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
  // A discontinuity restarts, except on the first buffer since the restart.
  Harness<Float64> h(1, 44100, wet);
  EXPECT_FALSE(AllZero(h.Run(4410, kImpulse, 4410, ProcessMode::Discontinuity)));
  EXPECT_TRUE(AllZero(h.Run(4410, [](std::uint32_t, std::uint32_t) { return 0.0; }, 4410, ProcessMode::Discontinuity)));
}

TEST(ReverbLimits, IndicesOutsideTheTablesUseTheirFirstRow) {
  const ReverbParams base = Defaults([](ReverbParams& p) { p.reverbMode = p.earlyStyle = 0; });
  Harness<Float64> ref(2, 44100, base);
  std::uint32_t seed = 5;
  std::vector<double> in(2 * 3000);
  for (double& v : in) v = Noise(seed, 1 / 4294967296.0);
  const auto input = [&](std::uint32_t f, std::uint32_t c) { return in[f * 2 + c]; };
  const auto expect = ref.Run(3000, input);
  const std::pair<std::int32_t, std::int32_t> odd[] = {{-1, 10}, {19, -1}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}};
  for (const auto& [mode, style] : odd) {
    SCOPED_TRACE(testing::Message() << mode << "/" << style);
    Harness<Float64> h(2, 44100, Defaults([&](ReverbParams& p) { p.reverbMode = mode, p.earlyStyle = style; }));
    EXPECT_EQ(h.engine.Line(0).length, 1040u);
    EXPECT_EQ(h.engine.Taps().length[0], 271u);
    EXPECT_EQ(h.Run(3000, input), expect);
  }
}

TEST(ReverbLimits, LinesAndTapsNeverShrinkBelowOneSample) {
  // At 1 Hz every tap works out to 0 samples and reads the previous input:
  // (21 + 46 - 60) % of the impulse one frame later.
  Harness<Float64> one(1, 1, EarlyOnly(0));
  ExpectTapLengths(one.engine.Taps(), 1, 1, 1);
  EXPECT_EQ(one.engine.EarlyRingLength(), 1u);
  EXPECT_EQ(one.engine.PreDelayLength(), 1u);
  for (int i = 0; i < one.engine.LineCount(); ++i) EXPECT_EQ(one.engine.Line(i).length, 1u);
  const auto at1 = one.Run(3, kImpulse);
  EXPECT_EQ(at1[0], 0.0);
  EXPECT_DOUBLE_EQ(at1[1], 7.0 * 0.01);
  EXPECT_EQ(at1[2], 0.0);
  Harness<Float64> hundred(1, 100, EarlyOnly(0));  // taps of 0 -> 1, 1 and 2 samples
  EXPECT_EQ(hundred.Run(4, kImpulse), (std::vector<double>{0.0, -14.0 * 0.01, 21.0 * 0.01, 0.0}));
}

TEST(ReverbLimits, EveryModeAndStyleRunsAtVeryLowRates) {
  // Run under the address sanitizer, this proves no ring is left.
  for (std::uint32_t rate : {0u, 1u, 7u, 100u, 163u, 200u})
    for (std::uint16_t channels : {1, 2})
      for (std::int32_t mode = 0; mode < 19; ++mode) {
        Harness<Pcm16> h(channels, rate, Defaults([&](ReverbParams& p) {
                           p.reverbMode = mode, p.earlyStyle = mode % 10, p.preDelayMs = mode * 10, p.decayTenths = 10;
                         }));
        ASSERT_TRUE(h.engine.Ready());
        for (int i = 0; i < h.engine.LineCount(); ++i) ASSERT_GE(h.engine.Line(i).length, 1u);
        for (int k = 0; k < 3; ++k) {
          ASSERT_GE(h.engine.Taps().length[k], 1u);
          ASSERT_LE(h.engine.Taps().length[k], h.engine.EarlyRingLength());
        }
        h.Run(300, [](std::uint32_t f, std::uint32_t c) { return ((f * 7 + c) % 13) / 13.0 - 0.5; }, 37);
        EXPECT_EQ(h.Tail(64).size(), static_cast<std::size_t>(rate) * channels);
      }
}

TEST(ReverbLimits, ChannelChangeWithoutRestartRebuildsForTheNewLayout) {
  Harness<Float64> h(1, 44100, Defaults());
  h.Run(500, kImpulse);
  const AudioFormat stereo = FormatFor<Float64>(2, 44100);
  h.engine.SetFormat(&stereo);
  std::vector<double> buf(2 * 500, 0.25);
  std::uint32_t n = 500;
  ASSERT_EQ(h.engine.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), S_OK);
  EXPECT_EQ(h.engine.Twin(1).length, 2199u);
  n = 1;
  EXPECT_EQ(h.engine.Process(SampleKind::Float64, ProcessMode::Continue, nullptr, &n), E_POINTER);
  EXPECT_EQ(h.engine.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), nullptr), E_POINTER);
}

TEST(ReverbMemory, NoPoolMeansRestartFails) {
  RefuseLines refuse;
  ReverbEngine e;
  Connect<Pcm16>(e, 1, 44100);
  EXPECT_EQ(e.Restart(), E_FAIL);
  std::int16_t buf[4] = {1, 2, 3, 4};
  std::uint32_t n = 4;
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), E_FAIL);
  EXPECT_EQ(buf[3], 4);
}

TEST(ReverbMemory, AFailedLineLeavesTheEngineNotReadyUntilMemoryReturns) {
  ReverbEngine e;
  Connect<Float64>(e, 1, 44100);
  ReverbParams p = EarlyOnly(0);
  e.SetParams(&p);
  std::vector<double> buf(1400, 0.0);
  buf[0] = 1.0;
  std::uint32_t n = 1400;
  {
    // Rich hall's lines at 44100 Hz need 112000 bytes: more than the pool starts with.
    RefuseLines refuse;
    EXPECT_EQ(e.Restart(), E_OUTOFMEMORY);
    EXPECT_FALSE(e.Ready());
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), E_OUTOFMEMORY);
    EXPECT_EQ(buf[0], 1.0);
    n = 1400;
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Tail, buf.data(), &n), S_FALSE);
    EXPECT_EQ(n, 0u);
  }
  n = 1400;  // the next buffer builds the lines and plays as if nothing had happened
  ASSERT_EQ(e.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), S_OK);
  EXPECT_TRUE(e.Ready());
  EXPECT_EQ(buf[271], 46.0 * 0.01);
  EXPECT_EQ(buf[1292], 21.0 * 0.01);
}

TEST(ReverbMemory, ASetUpThatFitsThePoolNeedsNoAllocation) {
  ReverbEngine e;
  Connect<Pcm8>(e, 2, 2000);
  RefuseLines refuse;
  EXPECT_EQ(e.Restart(), S_OK);
  EXPECT_TRUE(e.Ready());
  e.ReleaseLine();
  EXPECT_FALSE(e.Ready());
  std::uint8_t buf[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  std::uint32_t n = 4;
  EXPECT_EQ(e.Process(SampleKind::Pcm8, ProcessMode::Continue, buf, &n), S_OK);
  EXPECT_TRUE(e.Ready());
}

}  // namespace
}  // namespace quill
