// The pitch engine: ratio, lengths, interpolation, the anti-alias filter and the pitch heard.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "tests/native/copying_rig.h"
#include "tests/native/test_support.h"
#include "twpitchs/pitch_texts.h"
#include "twpitchs/transpose.h"

namespace quill::test {
namespace {

PitchParams Pitch(double ratio, std::int32_t accuracy = 2, std::int32_t preserve = 0, std::int32_t antiAlias = 0,
                  std::int32_t mode = 0) {
  return PitchParams{0, 0, accuracy, preserve, mode, 0, ratio, antiAlias, 0, 2646000.0};
}
template <class Kind>
using PitchRig = CopyingRig<Kind, PitchEngine>;

// The ratio applied for a requested one: it comes from a whole virtual rate,
// and with the duration kept it goes no lower than 0.5.
double Applied(double ratio, std::uint32_t rate, bool preserve = false) {
  const double r = rate / std::trunc(rate / ratio);
  return preserve && r < 0.5 ? 0.5 : r;
}

double Sine(double hz, std::uint32_t rate, std::uint32_t f) {
  return 0.5 * std::sin(2.0 * std::numbers::pi * hz * f / rate);
}

// Frequency of a tone from its upward zero crossings between two frames,
// with the crossing points interpolated.
template <class Rig, class Samples>
double MeasuredHz(const Rig& rig, const Samples& v, std::uint32_t from, std::uint32_t to, std::uint32_t rate) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (std::uint32_t f = from; f + 1 < to; ++f) {
    const double a = rig.At(v, f, 0), b = rig.At(v, f + 1, 0);
    if (a < 0.0 && b >= 0.0) {
      const double at = f + a / (a - b);
      if (first < 0.0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
}

TEST(PitchRatio, TransposeRuleAndTheLengthOfTheShiftedOutput) {
  EXPECT_DOUBLE_EQ(TransposeRatio(0, 0), 1.0);
  EXPECT_NEAR(TransposeRatio(7, 0), 1.4983070768836588, 1e-15);
  EXPECT_NEAR(TransposeRatio(-12, 0), 0.4999999999960085, 1e-15);
  // The cent base is not the hundredth root of the semitone base: +100.0
  // cents lands a little above one semitone.
  EXPECT_NEAR(TransposeRatio(0, 1000), 1.0612, 1e-4);
  EXPECT_GT(TransposeRatio(0, 1000), TransposeRatio(1, 0));
  EXPECT_NEAR(TransposeRatio(0, -1000) * TransposeRatio(0, 1000), 1.0, 1e-3);
  EXPECT_DOUBLE_EQ(PageRatio(7, 0), TransposeRatio(7, 0) + 0.000001);
  // A fifth up reads 44100 frames for every 29433 written; the kernel's last
  // four frames never come out. With the duration kept, exactly the input's length.
  const std::tuple<double, std::int32_t, double> cases[] = {{TransposeRatio(7, 0), 0, (44100 - 4) * 29433.0 / 44100},
                                                            {TransposeRatio(-12, 0), 0, (44100 - 4) * 2.0},
                                                            {TransposeRatio(-12, 0), 1, 44100}};
  for (const auto& [ratio, preserve, frames] : cases) {
    PitchRig<Pcm16> rig(1, 44100, Pitch(ratio, 2, preserve));
    const auto out = rig.Stream(rig.Make(44100, [](std::uint32_t f, std::uint32_t) { return Sine(300, 44100, f); }),
                                4410, 8192, true);
    EXPECT_NEAR(rig.Frames(out), frames, preserve ? 0.0 : 1.0) << ratio << "/" << preserve;
  }
}

template <class Kind>
class PitchKinds : public ::testing::Test {};
TYPED_TEST_SUITE(PitchKinds, AllKinds);

// At ratio 1 after the pre-load, output frame n is input frame n: exactly
// with two taps, within the kernel's tiny off-centre values with more; the
// last `half` input frames never come out.
TYPED_TEST(PitchKinds, UnityRatioReproducesInputAfterPreload) {
  using Kind = TypeParam;
  for (std::int32_t accuracy : {1, 2, 3}) {
    for (std::uint16_t channels : {1, 2}) {
      PitchRig<Kind> rig(channels, 44100, Pitch(1.0, accuracy));
      const auto in =
          rig.Make(3000, [](std::uint32_t f, std::uint32_t c) { return Sine(c ? 300 : 1000, 44100, f) * 1.6; });
      const auto out = rig.Stream(in, 700, 256, true);
      const std::uint32_t half = KernelTaps(accuracy) / 2;
      ASSERT_EQ(rig.Frames(out), 3000 - half) << accuracy;
      const double step = Kind::kind == SampleKind::Pcm8    ? 1.0 / 128
                          : Kind::kind == SampleKind::Pcm16 ? 1.0 / 32768
                                                            : 1e-9;
      for (std::uint32_t i = 0; i < rig.Frames(out) * channels; ++i) {
        const std::uint32_t f = i / channels, c = i % channels;
        if (accuracy == 1) {
          ASSERT_EQ(out[i], in[i]) << i;
        } else {
          ASSERT_NEAR(rig.At(out, f, c), rig.At(in, f, c), step * 1.01) << accuracy << " frame " << f;
        }
      }
    }
  }
}

TEST(PitchLength, ShiftingUpPadsTheEndWithSilence) {
  // A short 8-bit clip shifted up: the stretcher's flush comes up short and
  // the rest is silence of the unsigned kind.
  PitchRig<Pcm8> rig(1, 8000, Pitch(PageRatio(12, 0), 1, 1, 0, 16));
  const auto out =
      rig.Stream(rig.Make(1000, [](std::uint32_t f, std::uint32_t) { return Sine(500, 8000, f); }), 1000, 300, true);
  ASSERT_EQ(rig.Frames(out), 1000u);
  std::uint32_t padded = 0;
  while (padded < 1000 && out[999 - padded] == 0x80) ++padded;
  EXPECT_GT(padded, 100u);
  EXPECT_LT(padded, 900u);
}

// The stretcher's input hop is rounded, so over a long stream its output
// can run ahead of the input count before the end: at 8 kHz in mode 16 with
// r = 0.9 it passes it after about 308000 frames. Nothing may be cut then;
// only the flush is trimmed.
TEST(PitchLength, LongDownwardStreamIsNotCutBeforeTheEnd) {
  PitchRig<Pcm16> rig(1, 8000, Pitch(8000.0 / 8888.0, 1, 1, 0, 16));
  const auto in = rig.Make(400000, [](std::uint32_t f, std::uint32_t) { return Sine(200, 8000, f); });
  const auto out = rig.Stream(in, 4000, 16000, true);
  ASSERT_GE(rig.Frames(out), 400000u);
  EXPECT_LT(rig.Frames(out), 400000u + 400);  // ahead by less than a window
  double late = 0.0;
  for (std::uint32_t f = 390000; f < 399000; ++f) late = std::max(late, std::fabs(rig.At(out, f, 0)));
  EXPECT_GT(late, 0.4);
}

TEST(PitchResampler, TwoTapsInterpolateLinearly) {
  // Ratio 0.5: every other output frame falls halfway between two inputs.
  PitchRig<Float64> rig(2, 44100, Pitch(0.5, 1));
  const auto in = rig.Make(400, [](std::uint32_t f, std::uint32_t c) { return std::cos(f * 0.37 + c); });
  const auto out = rig.Stream(in, 400, 4096, true);
  ASSERT_GE(rig.Frames(out), 796u);
  for (std::uint32_t n = 0; n + 1 < 398; ++n)
    for (std::uint32_t c = 0; c < 2; ++c) {
      EXPECT_DOUBLE_EQ(rig.At(out, 2 * n, c), rig.At(in, n, c));
      EXPECT_NEAR(rig.At(out, 2 * n + 1, c), 0.5 * (rig.At(in, n, c) + rig.At(in, n + 1, c)), 1e-15);
    }
}

TEST(PitchAntiAlias, FiltersOnlyShiftsUpByMoreThanOnePointOneWhenSwitchedOn) {
  const std::tuple<double, std::int32_t, bool> cases[] = {{1.08, 1, false}, {1.2, 1, true}, {2.0, 0, false}};
  for (const auto& [ratio, on, filters] : cases) {
    PitchRig<Float32> rig(1, 44100, Pitch(ratio, 2, 0, on));
    std::vector<float> block(512);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = (i & 1) ? 0.5f : -0.5f;  // at the Nyquist frequency
    const auto before = block;
    ASSERT_EQ(rig.engine.PreFilter(ProcessMode::Discontinuity, block.data(), 512), S_OK);
    float late = 0.0f;
    for (std::size_t i = 256; i < 512; ++i) late = std::max(late, std::fabs(block[i]));
    if (filters)
      EXPECT_LT(late, 0.5f * 0.01f) << ratio;  // more than 40 dB down
    else
      EXPECT_EQ(block, before) << ratio;
  }
}

// A tone comes out at its frequency times the applied ratio, with and
// without the stretcher behind the resampler.
TEST(PitchHeard, ToneFrequencyFollowsTheRatio) {
  const std::uint32_t rate = 44100;
  for (std::int32_t preserve : {0, 1}) {
    for (std::int32_t semitones : {-24, -12, -5, 3, 7}) {
      PitchRig<Pcm16> rig(1, rate, Pitch(PageRatio(semitones, 0), 3, preserve, 1, 8));
      const auto in = rig.Make(rate, [](std::uint32_t f, std::uint32_t) { return Sine(441.0, 44100, f); });
      const auto out = rig.Stream(in, 4410, 8192, true);
      const double want = 441.0 * Applied(PageRatio(semitones, 0), rate, preserve != 0);
      const std::uint32_t end = std::min<std::uint32_t>(rig.Frames(out), 20000);
      EXPECT_NEAR(MeasuredHz(rig, out, 2000, end, rate), want, want * 0.004) << semitones << " preserve " << preserve;
    }
  }
}

// A ratio change keeps the rings: the tone continues without a restart,
// while a change of accuracy rebuilds (kernel and rings anew).
TEST(PitchParameters, LightAndFullChangesMidStream) {
  PitchRig<Float64> rig(1, 44100, Pitch(1.0, 2));
  const auto a = rig.Make(2000, [](std::uint32_t f, std::uint32_t) { return Sine(500, 44100, f); });
  rig.Feed(a, 2000, 4096, true);
  ASSERT_EQ(rig.engine.SetRatio(1.5), S_OK);
  const auto more = rig.Feed(a, 2000, 4096);
  EXPECT_NEAR(more.size(), 2000 / 1.5, 3.0);
  // The first frames after the change continue the tone (no zeros from fresh rings).
  EXPECT_GT(std::fabs(more[1]) + std::fabs(more[2]), 0.01);
  ASSERT_EQ(rig.engine.SetAccuracy(3), S_OK);
  EXPECT_EQ(rig.Feed(a, 2000, 4096)[0], 0.0);  // fresh rings, no pre-load on a continuing buffer
}

// The start takes every buffer the engine will use: a start that cannot
// have them is refused and changes nothing, a later one works, and from
// then on no set-up needs memory: a new kernel, the duration switched on, a
// restart at a discontinuity.
TEST(PitchFailure, AStartWithoutMemoryIsRefusedAndSetUpsAfterAStartTakeNone) {
  const AudioFormat f = test::FormatFor<Pcm16>(2, 44100);
  PitchEngine refused;
  {
    RefuseLines refuse;
    EXPECT_EQ(refused.SelectFormat(&f), E_OUTOFMEMORY);
  }
  EXPECT_EQ(refused.SelectFormat(&f), S_OK);

  PitchRig<Pcm16> rig(2, 44100, Pitch(1.3));
  std::vector<std::int16_t> block = rig.Make(500, [](std::uint32_t f, std::uint32_t) { return Sine(300, 44100, f); });
  std::vector<std::int16_t> out(2000);
  std::uint32_t n, room;
  const auto process = [&](ProcessMode mode, std::uint32_t frames) {
    n = frames, room = 1000;
    return rig.engine.Process(mode, block.data(), &n, out.data(), &room);
  };
  {
    RefuseLines refuse;
    ASSERT_EQ(rig.engine.SetAccuracy(3), S_OK);
    EXPECT_EQ(rig.engine.PreFilter(ProcessMode::Continue, block.data(), 250), S_OK);
    EXPECT_EQ(process(ProcessMode::Continue, 250), S_OK);
    EXPECT_EQ(n, 250u);
    ASSERT_EQ(rig.engine.SetPreserve(1), S_OK);
    EXPECT_EQ(process(ProcessMode::Continue, 250), S_OK);
    EXPECT_EQ(process(ProcessMode::Discontinuity, 250), S_OK);
    EXPECT_EQ(n, 250u);
  }
  // A ratio far below what a page sets, and a mode outside the table with
  // the stretcher in use, play the nearest usable value: the lowest ratio,
  // 0.05, makes 20 frames of each of the 10 in and of the one before them,
  // and row 18 runs.
  for (const PitchParams& p : {Pitch(1e-6), Pitch(1.2, 2, 1, 0, 40)}) {
    rig.engine.SetParams(&p);
    EXPECT_EQ(process(ProcessMode::Continue, 10), S_OK) << p.ratio;
    EXPECT_LE(room, 220u);
  }
}

// A restart at a discontinuity clears the intermediate buffer in place: with
// memory refused, the duration-keeping run goes on from there, as long as
// its input.
TEST(PitchFailure, ARestartAtADiscontinuityNeedsNoMemory) {
  PitchRig<Float32> rig(1, 44100, Pitch(0.8, 2, 1, 0, 8));
  const auto in = rig.Make(4000, [](std::uint32_t f, std::uint32_t) { return Sine(400, 44100, f); });
  rig.Feed(in, 1000, 4096, true);
  RefuseLines refuse;
  const auto after = rig.Stream(in, 1000, 4096, true);
  ASSERT_EQ(rig.Frames(after), 4000u);
  double peak = 0.0;
  for (std::uint32_t f = 0; f < 4000; ++f) peak = std::max(peak, std::fabs(rig.At(after, f, 0)));
  EXPECT_GT(peak, 0.4);
}

// A block loaded while streaming waits for the next restart, unless an
// edit makes the engine take it first: then a duration switch it turned on
// gets the full set-up with the stretcher, and the run from there keeps
// its length (resampling alone would make 4000 / 0.8 frames).
TEST(PitchParameters, ALoadedDurationSwitchIsSetUpInFullByTheNextEdit) {
  PitchRig<Pcm16> rig(1, 44100, Pitch(0.8, 2, 0, 0, 8));
  const auto in = rig.Make(4000, [](std::uint32_t f, std::uint32_t) { return Sine(400, 44100, f); });
  EXPECT_NEAR(rig.Frames(rig.Feed(in, 1000, 4096, true)), (4000 - 4) / 0.8, 1.0);
  MemoryStream saved = StreamOf(Pitch(0.8, 2, 1, 0, 8), PitchTraits::kInterfaceId);
  ASSERT_EQ(rig.engine.Load(&saved), S_OK);
  ASSERT_EQ(rig.engine.SetLength(1000.0), S_OK);  // any edit
  EXPECT_EQ(rig.Frames(rig.Stream(in, 1000, 4096)), 4000u);
}

// A ratio that no rate can play (zero, negative, NaN, infinite): the setter
// refuses it, and a whole block, set or loaded, keeps the stored ratio,
// takes its other fields and says so with E_FAIL; the stream goes on at the
// kept ratio.
TEST(PitchParameters, AnImpossibleRatioIsKeptOutOfEveryWayIn) {
  PitchRig<Float64> rig(1, 44100, Pitch(1.5));
  const auto in = rig.Make(2000, [](std::uint32_t f, std::uint32_t) { return Sine(500, 44100, f); });
  rig.Feed(in, 1000, 4096, true);
  for (const double bad : {0.0, -1.5, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    SCOPED_TRACE(bad);
    double ratio = 0.0;
    std::int32_t accuracy = 0;
    EXPECT_EQ(rig.engine.SetRatio(bad), E_INVALIDARG);
    const PitchParams set = Pitch(bad, 3);
    EXPECT_EQ(rig.engine.SetParams(&set), E_FAIL);
    ASSERT_EQ(rig.engine.GetRatio(&ratio), S_OK);
    ASSERT_EQ(rig.engine.GetAccuracy(&accuracy), S_OK);
    EXPECT_EQ(std::pair(ratio, accuracy), std::pair(1.5, 3));
    MemoryStream loaded = StreamOf(Pitch(bad, 1), PitchTraits::kInterfaceId);
    EXPECT_EQ(rig.engine.Load(&loaded), E_FAIL);
    ASSERT_EQ(rig.engine.GetRatio(&ratio), S_OK);
    ASSERT_EQ(rig.engine.GetAccuracy(&accuracy), S_OK);
    EXPECT_EQ(std::pair(ratio, accuracy), std::pair(1.5, 1));
    EXPECT_NEAR(rig.Frames(rig.Feed(in, 1000, 4096)), 2000 / 1.5, 3.0);
  }
}

}  // namespace
}  // namespace quill::test

namespace {

const quill::MusicalWords kWords = {"Up",
                                    "Down",
                                    " ",
                                    {"Octave", "Minor 2nd", "Major 2nd", "Minor 3rd", "Major 3rd", "4th", "tritone",
                                     "5th", "Minor 6th", "Major 6th", "Minor 7th", "Major 7th"}};

std::string Musical(std::int32_t semitones, std::int32_t centsTenths) {
  return quill::MusicalText(quill::MusicalEquivalent(semitones, centsTenths, quill::PageRatio(semitones, centsTenths)),
                            kWords);
}

}  // namespace

// The page's words for a shift, from the rules' own examples and their
// edges: a whole semitone of cents moves the interval, and shifts within a
// semitone of unison or 0.2 % of the ratio are none.
TEST(PitchTexts, RatioAndMusicalEquivalent) {
  EXPECT_EQ(quill::RatioText(quill::PageRatio(7, 0)), "1.49830");
  EXPECT_EQ(quill::RatioText(1.0), "1.00000");
  EXPECT_EQ(Musical(-11, 0), "Down Major 7th  ");
  EXPECT_EQ(Musical(7, 200), "Up 5th +");
  EXPECT_EQ(Musical(0, 1000), "Up Minor 2nd  ");
  EXPECT_EQ(Musical(12, -50), "Up Octave -");
  EXPECT_EQ(Musical(-1, -1000), "Down Major 2nd  ") << "a semitone and its cents down";
  EXPECT_EQ(Musical(50, 0), "Up Major 2nd  ") << "four octaves and a major second";
  // None heard: cents short of a semitone, a semitone cancelled by cents,
  // and a ratio within 0.2 % of 1.
  EXPECT_EQ(Musical(0, 999), "     ");
  EXPECT_EQ(Musical(1, -1000), "     ");
  EXPECT_FALSE(quill::MusicalEquivalent(3, 0, 1.0015).shift);
  EXPECT_TRUE(quill::MusicalEquivalent(3, 0, 1.0025).shift);
}
