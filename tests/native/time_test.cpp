// The time stretcher (sizes, hop, taper, search, the stretch loop in every kind) and the time engine.
#include "dsp/time_stretcher.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>
#include <vector>

#include "dsp/stretch_modes.h"
#include "tests/native/copying_rig.h"
#include "tests/native/test_support.h"

namespace quill {
namespace {

using test::Time;
using test::TimeRig;

// Energy in every frame, different channels.
double Tone(std::uint32_t f, std::uint32_t c) {
  return 0.4 * std::sin(0.05 * f + 1.3 * c) + 0.2 * std::sin(0.0131 * f) + 0.05;
}
// Kept away from zero, so that every frame has energy even in 8 bits.
double Lifted(std::uint32_t f, std::uint32_t c) {
  return 0.3 + 0.2 * std::sin(0.05 * f + 1.3 * c);
}

TEST(StretchGeometry, SizesPerRowAndRateAndTheInputHopForARatio) {
  // Row, rate: N, H, L (661.5 truncated), R, D (2 * 8000 / 44100 raised to 1), A.
  const std::tuple<int, std::uint32_t, StretchGeometry> rows[] = {{0, 44100, {13230, 6615, 661, 661, 2, 25.0f}},
                                                                  {16, 8000, {400, 200, 24, 40, 1, 10.0f}},
                                                                  {0, 8000, {2400, 1200, 120, 120, 1, 25.0f}},
                                                                  {16, 44100, {2205, 1102, 132, 220, 2, 10.0f}}};
  for (const auto& [row, rate, w] : rows) {
    const StretchGeometry g = DeriveGeometry(rate, StretchModeTable[row]);
    EXPECT_EQ(std::tuple(g.N, g.H, g.L, g.R, g.D, g.A), std::tuple(w.N, w.H, w.L, w.R, w.D, w.A)) << row << "@" << rate;
  }
  // The stride scales below 32 kHz and stays as stored from 32 kHz on.
  for (const auto& [rate, stride] : {std::pair{22050u, 4u}, {31999u, 5u}, {32000u, 8u}})
    EXPECT_EQ(DeriveGeometry(rate, StretchModeTable[15]).D, stride) << rate;
  // A fade longer than the hop is cut to one below it, the search to what is left.
  const StretchGeometry g = DeriveGeometry(8000, StretchMode{"fade", 50, 20, 2, 40, 1000});
  EXPECT_EQ(std::tuple(g.H, g.L, g.R), std::tuple(200u, 199, 1));
  // H / r rounded: 2.0 gives 3307.5 up; 0.5 gives 13230.5, lowered to N; 1e9 raised to 1.
  const std::tuple<std::uint32_t, std::uint32_t, double, std::uint32_t> hops[] = {
      {6615, 13230, 1.1, 6014}, {6615, 13230, 5.0, 1323},  {6615, 13230, 2.0, 3308}, {6615, 13230, 0.5, 13230},
      {6615, 13230, 1e9, 1},    {200, 400, 0.85, 235}};
  for (const auto& [H, N, r, hop] : hops) EXPECT_EQ(InputHop(H, N, r), hop) << H << "/" << r;
}

TEST(StretchTaper, RisesOverTheFadeHoldsToTheHopAndFallsToZero) {
  TimeStretcher s;
  ASSERT_EQ(s.SelectKinds(SampleKind::Pcm32, SampleKind::Pcm32, 2), S_OK);
  ASSERT_EQ(s.ConfigureFull(44100, 0, 1.1), S_OK);
  const std::pair<std::uint32_t, double> points[] = {{0, 0.0},    {330, 330.0 / 661},  {660, 660.0 / 661},
                                                      {661, 1.0},  {6615, 1.0},         {6616, 660.0 / 661},
                                                      {6945, 331.0 / 661}, {7276, 0.0}, {13229, 0.0}};
  for (const auto& [i, v] : points) EXPECT_DOUBLE_EQ(s.TaperAt(i), v) << i;
  // Rising and falling halves sum to one across a splice.
  for (std::uint32_t i = 0; i < 661; ++i) ASSERT_NEAR(s.TaperAt(i) + s.TaperAt(6615 + i), 1.0, 1e-12) << i;
  // With the fade cut to H - 1: 399 is H + L, the end of the fade.
  ASSERT_EQ(s.SelectKinds(SampleKind::Float32, SampleKind::Float32, 1), S_OK);
  ASSERT_EQ(s.ConfigureFull(8000, StretchMode{"fade", 50, 20, 2, 40, 1000}, 1.0), S_OK);
  for (const auto& [i, v] :
       {std::pair{0, 0.0f}, {100, 100.0f / 199}, {199, 1.0f}, {200, 1.0f}, {201, 198.0f / 199}, {399, 0.0f}})
    EXPECT_FLOAT_EQ(s.TaperAt(i), v) << i;
  // Row 16: a fade of one frame at 400 Hz and none at 300 Hz leave it all ones.
  for (std::uint32_t rate : {400u, 300u}) {
    ASSERT_EQ(s.ConfigureFull(rate, 16, 1.0), S_OK);
    for (std::uint32_t i = 0; i < s.Geometry().N; ++i) ASSERT_EQ(s.TaperAt(i), 1.0) << rate << " at " << i;
  }
}

template <class Real>
class StretchSearch : public ::testing::Test {};
using Reals = ::testing::Types<float, double>;
TYPED_TEST_SUITE(StretchSearch, Reals);

TYPED_TEST(StretchSearch, AcceptsTheFirstCandidateAboveTheThresholdOnEveryChannelElseTheLargestSum) {
  using Real = TypeParam;
  const auto search = [](const Real* in, const Real* block, std::uint32_t ch, std::int32_t R, std::uint32_t D,
                         float A) { return TimeStretcher::Search(in, block, ch, R, D, A); };
  // Mono, reference energy 1, R = 4, D = 1: C(p) = sum over k < 4 of (in[p + k] + block[k])^2
  // = 1.25, 0.25, 2.25, 10. Equal sums keep the earliest candidate.
  const Real block[4] = {1, 0, 0, 0}, in[8] = {-1, -1, 0.5, 0, 0, 0, 3, 0}, flat[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ((std::array{search(in, block, 1, 4, 1, 1.0f), search(in, block, 1, 4, 1, 2.0f),
                        search(in, block, 1, 4, 1, 100.0f), search(flat, block, 1, 4, 1, 100.0f)}),
            (std::array<std::uint32_t, 4>{0, 2, 3, 0}));
  // A silent reference takes the first candidate with energy at the stride
  // points: frame 7 is seen only with stride 1, frame 8 with stride 2 from p = 2.
  const Real zero[8] = {};
  Real late[16] = {};
  late[7] = late[8] = 0.25;
  EXPECT_EQ((std::array{search(late, zero, 1, 8, 2, 25.0f), search(late, zero, 1, 8, 1, 25.0f),
                        search(late, zero, 1, 7, 1, 25.0f)}),
            (std::array<std::uint32_t, 3>{2, 0, 1}));
  // Stereo, both reference channels of energy 1, A = 2. C0 = 101, 4 and C1 = 1, 4:
  // p = 0 passes on channel 0 only; p = 1 on both. Alone, channel 0 passes at p = 0.
  const Real pair[8] = {1, 1, 0, 0, 0, 0, 0, 0}, both[16] = {9, -1, 1, 1}, left[8] = {9, 1}, one[4] = {1, 0, 0, 0};
  EXPECT_EQ(std::tuple(search(both, pair, 2, 4, 1, 2.0f), search(left, one, 1, 4, 1, 2.0f)), std::tuple(1u, 0u));
  // Channel 1 passes nowhere (C1 = 0, 1, 1, 1): the summed energy decides (11, 12, 18, 5).
  const Real summed[16] = {0, -1, 0, 0, 3, 0, 1};
  EXPECT_EQ(std::tuple(search(summed, pair, 2, 4, 1, 2.0f), search(summed, pair, 2, 0, 1, 2.0f)), std::tuple(2u, 0u));
}

template <class Kind>
class StretchLoop : public ::testing::Test {};
TYPED_TEST_SUITE(StretchLoop, test::AllKinds);

// The first `frames` output frames are the input's from frame `from` on, unfaded.
template <class Kind, class V>
void ExpectCopied(const TimeRig<Kind>& rig, const V& out, const V& input, std::uint32_t from, std::uint32_t frames,
                  test::Where where = test::Where::current()) {
  const test::CalledFrom trace(where);
  ASSERT_GE(rig.Frames(out), frames);
  for (std::uint32_t i = 0; i < frames * rig.channels; ++i) ASSERT_EQ(out[i], input[from * rig.channels + i]) << i;
}

TYPED_TEST(StretchLoop, InputShorterThanAWindowWaitsForTheFlushThenComesOutWhole) {
  using Kind = TypeParam;
  for (std::uint16_t ch : {1, 2})
    for (std::uint32_t frames : {150u, 199u, 200u, 399u}) {  // row 16 at 8000 Hz: N = 400, H = 200; r = 1
      SCOPED_TRACE(testing::Message() << ch << "/" << frames);
      TimeRig<Kind> rig(ch, 8000, Time(16, 1000.0));
      const auto input = rig.Make(frames, Tone);
      EXPECT_TRUE(rig.Feed(input, 64, 4096).empty());
      const auto flushed = rig.Flush(4096);
      ASSERT_EQ(rig.Frames(flushed), frames);
      ExpectCopied(rig, flushed, input, 0, std::min(frames, 200u));  // first window: offset 0, no fade-in
      typename Kind::Sample buf[8];  // once complete, a flush call produces nothing and says so
      std::uint32_t room = 4;
      EXPECT_EQ(rig.engine.Process(ProcessMode::Tail, nullptr, nullptr, buf, &room), S_FALSE);
      EXPECT_EQ(room, 0u);
    }
}

TYPED_TEST(StretchLoop, FirstWindowStartsAtTheFirstStridePointWithEnergy) {
  using Kind = TypeParam;
  // Row 16 at 44100 Hz: N = 2205, H = 1102, L = 132, R = 220, D = 2.
  // Candidates p and compared frames k are even, k up to 218.
  const std::tuple<std::uint32_t, bool, std::uint32_t> cases[] = {{0, false, 0}, {250, false, 32}, {300, true, 82}};
  for (const auto& [silentUpTo, oddAlive, pos] : cases)
    for (std::uint16_t ch : {1, 2}) {
      SCOPED_TRACE(testing::Message() << pos << "/" << ch);
      TimeRig<Kind> rig(ch, 44100, Time(16, 1100.0));
      const auto input = rig.Make(5000, [&](std::uint32_t f, std::uint32_t c) {
        return f < silentUpTo && !(oddAlive && f % 2 == 1) ? 0.0 : Lifted(f, c);
      });
      ExpectCopied(rig, rig.Feed(input, 5000, 1102), input, pos, 1102);
    }
  // Stereo, left alive from frame 0, right only from frame 300: only p = 82
  // sees both, and a silent reference accepts the first such candidate.
  TimeRig<Kind> rig(2, 44100, Time(16, 1000.0));
  const auto input =
      rig.Make(5000, [](std::uint32_t f, std::uint32_t c) { return c == 1 && f < 300 ? 0.0 : Lifted(f, c); });
  ExpectCopied(rig, rig.Feed(input, 5000, 4096), input, 82, 1102);
}

TYPED_TEST(StretchLoop, TheOutputDoesNotDependOnTheBufferSizesAndAtRatioOneKeepsTheLength) {
  using Kind = TypeParam;
  // With 6000 frames at r = 1 the last window closes on the last input frame,
  // so the flush starts with a block still pending in the small buffers.
  for (std::uint16_t ch : {1, 2})
    for (std::uint32_t frames : {1050u, 6000u})
      for (double finalTenths : {700.0, 1000.0, 1100.0, 3000.0}) {
        SCOPED_TRACE(testing::Message() << ch << "/" << frames << "/" << finalTenths);
        TimeRig<Kind> whole(ch, 8000, Time(16, finalTenths)), pieces(ch, 8000, Time(16, finalTenths)),
            single(ch, 8000, Time(16, finalTenths));
        const auto input = whole.Make(frames, Tone);
        const auto a = whole.Stream(input, frames, 1 << 20);
        ASSERT_GT(a.size(), 0u);
        EXPECT_TRUE(finalTenths != 1000.0 || whole.Frames(a) == frames) << whole.Frames(a);
        EXPECT_EQ(a, pieces.Stream(input, 97, 37));  // 37 < H = 200
        EXPECT_EQ(a, single.Stream(input, 1, 1));
      }
}

TYPED_TEST(StretchLoop, OutputLengthTendsToInputTimesHopOverStep) {
  using Kind = TypeParam;
  const std::uint32_t frames = 400000;  // 50 s at 8000 Hz: thousands of windows
  for (std::uint16_t ch : {1, 2})
    for (double finalTenths : {500.0, 850.0, 1100.0, 2000.0, 5000.0}) {
      TimeRig<Kind> rig(ch, 8000, Time(16, finalTenths));
      const auto out = rig.Stream(rig.Make(frames, Tone), 4410, 17640);
      const double S = InputHop(200, 400, finalTenths * 0.001);
      // What one window more or less would shift: far less than a frame per window.
      EXPECT_NEAR(rig.Frames(out), frames * 200.0 / S, 400 * 200.0 / S + 200) << ch << "/" << finalTenths;
      EXPECT_NEAR(rig.Frames(out) / static_cast<double>(frames), finalTenths * 0.001, 0.02 * finalTenths * 0.001);
    }
}

// A constant input comes out constant while the cross-fades sum to one; a
// window dropped by a new mode fades in from silence.
template <class Kind>
double MinAfter(const TimeRig<Kind>& rig, const std::vector<typename Kind::Sample>& v, std::uint32_t from) {
  double m = 1.0;
  for (std::uint32_t f = from; f < rig.Frames(v); ++f)
    for (std::uint32_t c = 0; c < rig.channels; ++c) m = std::min(m, rig.At(v, f, c));
  return m;
}

TYPED_TEST(StretchLoop, ARatioChangeTakesEffectWithoutAGapAndAModeChangeStartsAfresh) {
  using Kind = TypeParam;
  const double tol = 2.0 / 128;  // two steps of the coarsest kind
  for (std::uint16_t ch : {1, 2}) {
    TimeRig<Kind> rig(ch, 8000, Time(16, 1000.0));
    const auto dc = rig.Make(4000, [](std::uint32_t, std::uint32_t) { return 0.5; });
    auto out = rig.Feed(dc, 250, 300);
    const std::uint32_t before = rig.Frames(out);
    ASSERT_EQ(rig.engine.SetFinal(2000.0), S_OK);
    auto more = rig.Feed(dc, 250, 300);
    // Twice as many frames per input frame from the change on, with no dip.
    EXPECT_NEAR(rig.Frames(more), 8000.0, 400.0) << before;
    EXPECT_GE(std::min(MinAfter(rig, out, 0), MinAfter(rig, more, 0)), 0.5 - tol) << ch;
    ASSERT_EQ(rig.engine.SetMode(17), S_OK);  // 70 ms windows
    const auto fresh = rig.Feed(dc, 250, 300);
    // A whole window of 560 frames before the first hop of 280, then two frames out per frame in.
    EXPECT_NEAR(rig.Frames(fresh), 280 + 2.0 * (4000 - 560), 280.0);
    // The new window fades in against an empty tail: its first frame is silent.
    const auto fade = static_cast<std::uint32_t>(DeriveGeometry(8000, StretchModeTable[17]).L);
    ASSERT_EQ(fade, 64u);
    EXPECT_NEAR(rig.At(fresh, 0, 0), 0.0, tol) << ch;
    EXPECT_NEAR(rig.At(fresh, fade / 2, 0), 0.25, tol) << ch;
    EXPECT_GE(MinAfter(rig, fresh, fade), 0.5 - tol) << ch;
  }
}

TYPED_TEST(StretchLoop, ADiscontinuityRestartsWithAFreshUnfadedWindow) {
  using Kind = TypeParam;
  for (std::uint16_t ch : {1, 2}) {
    SCOPED_TRACE(ch);
    TimeRig<Kind> rig(ch, 8000, Time(16, 1100.0));
    ASSERT_GT(rig.Feed(rig.Make(1000, Tone), 1000, 4096).size(), 0u);
    // Less than a window after the restart: nothing, as after a start.
    const auto b = rig.Make(399, [](std::uint32_t f, std::uint32_t c) { return Tone(f + 5000, c); });
    EXPECT_TRUE(rig.Feed(b, 399, 4096, true).empty());
    const auto after =
        rig.Feed(rig.Make(1, [](std::uint32_t f, std::uint32_t c) { return Tone(f + 5399, c); }), 1, 4096);
    ASSERT_EQ(rig.Frames(after), 200u);
    ExpectCopied(rig, after, b, 0, 200);
  }
}

// The time engine around its stretcher: one Process call of `take` frames
// into `space` frames of room; the counts come back in n and room.
template <class S>
HRESULT Step(TimeEngine& e, S* in, std::uint32_t& n, std::uint32_t take, S* out, std::uint32_t& room,
             std::uint32_t space) {
  n = take, room = space;
  return e.Process(ProcessMode::Continue, in, &n, out, &room);
}

TEST(TimeEngine, SelectFormatRefusesWhatItCannotProcessAndKeepsThePrevious) {
  TimeEngine engine;
  std::uint32_t rate = 0;
  EXPECT_EQ((std::pair{engine.GetSampleRate(&rate), rate}), std::pair(E_FAIL, 44100u));
  const AudioFormat good = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&good), S_OK);
  EXPECT_EQ((std::pair{engine.GetSampleRate(&rate), rate}), std::pair(S_OK, 8000u));
  EXPECT_EQ(engine.SelectFormat(nullptr), E_POINTER);
  for (const AudioFormat& bad : {MakeFormat(1, 1, 8000, 24), MakeFormat(2, 1, 8000, 16), MakeFormat(1, 3, 8000, 16)})
    EXPECT_EQ(engine.SelectFormat(&bad), E_FAIL) << bad.formatTag << "/" << bad.channels << "/" << bad.bitsPerSample;
  // Still 16-bit mono, row 0 at 8000 Hz: 2400 frames fill the window exactly
  // and the first hop of 1200 is copied unfaded.
  std::vector<std::int16_t> in(2400, 1000), out(1200);
  std::uint32_t n, room;
  ASSERT_EQ(Step(engine, in.data(), n, 2400, out.data(), room, 1200), S_OK);
  EXPECT_EQ(std::tuple(n, room, out[0]), std::tuple(2400u, 1200u, std::int16_t{1000}));
  // Any tag other than integer PCM with 32 or 64 bits is read as float.
  const AudioFormat extensible = MakeFormat(0xFFFE, 1, 8000, 64);
  ASSERT_EQ(engine.SelectFormat(&extensible), S_OK);
  std::vector<double> fin(2400, 0.25), fout(1200);
  ASSERT_EQ(Step(engine, fin.data(), n, 2400, fout.data(), room, 1200), S_OK);
  EXPECT_EQ(std::tuple(room, fout[0]), std::tuple(1200u, 0.25));
}

TEST(TimeEngine, RefusesBadCallsUnconnectedUseBadModesAndMissingMemory) {
  TimeEngine engine;
  std::int16_t buf[2 * 2400] = {};
  std::uint32_t n = 4, room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(n, 0u);
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, buf, &room), S_FALSE);
  EXPECT_EQ(room, 0u);
  const AudioFormat f = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&f), S_OK);
  EXPECT_EQ(Step<std::int16_t>(engine, nullptr, n, 4, buf, room, 4), E_POINTER);
  EXPECT_EQ(Step<std::int16_t>(engine, buf, n, 4, nullptr, room, 4), E_POINTER);
  EXPECT_EQ(engine.Process(ProcessMode::Continue, nullptr, nullptr, nullptr, nullptr), S_OK);  // counts of none
  for (std::int32_t bad : {19, -1}) {  // a mode outside the table is kept, and plays the nearest row
    std::int32_t kept = 0;
    engine.SetMode(bad);
    EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), S_OK) << bad;
    EXPECT_EQ(std::pair(n, engine.GetMode(&kept)), std::pair(4u, S_OK));
    EXPECT_EQ(kept, bad);
  }
  engine.SetMode(16);
  const AudioFormat slow = MakeFormat(1, 1, 1, 16);  // every row's window is two frames at 1 Hz
  EXPECT_EQ(engine.SelectFormat(&slow), S_OK);
  EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), S_OK);
  engine.SetMode(0);
  const AudioFormat stereo = MakeFormat(1, 2, 8000, 16);
  {
    test::RefuseLines refuse;
    EXPECT_EQ(engine.SelectFormat(&stereo), E_OUTOFMEMORY);
    EXPECT_EQ(Step(engine, buf, n, 400, buf, room, 400), E_OUTOFMEMORY);
    EXPECT_EQ(std::tuple(n, room), std::tuple(0u, 0u));
  }
  std::vector<std::int16_t> out(2 * 1200);
  EXPECT_EQ(Step(engine, buf, n, 2400, out.data(), room, 1200), S_OK);  // row 0: a full window
  EXPECT_EQ(std::tuple(n, room), std::tuple(2400u, 1200u));
}

// At r = 1 every frame fed since the window was last emptied comes out again.
TEST(TimeEngine, WholeBlockSetsAndNewModesDropTheWindowLightChangesKeepIt) {
  const std::pair<void (*)(TimeEngine&), std::size_t> edits[] = {
      {[](TimeEngine& e) { e.SetTempo(900); }, 160},
      {[](TimeEngine& e) {
         TimeParams p;
         e.GetParams(&p);
         e.SetParams(&p);
       }, 10},
      {[](TimeEngine& e) { e.SetMode(15); }, 10}};
  const auto dc = [](std::uint32_t, std::uint32_t) { return 0.1; };
  for (const auto& [edit, frames] : edits) {
    TimeRig<Pcm16> rig(1, 8000, Time(16, 1000.0));
    const std::size_t before = rig.Feed(rig.Make(150, dc), 150, 1000).size();
    edit(rig.engine);
    EXPECT_EQ(before + rig.Stream(rig.Make(10, dc), 10, 1000).size(), frames);
  }
  // A flush does not pick changes up; the next stream does.
  TimeRig<Float32> rig(1, 8000, Time(16, 1000.0));
  const auto out = rig.Feed(rig.Make(1000, [](std::uint32_t f, std::uint32_t) { return 0.001 * (f % 100); }), 100, 64);
  rig.engine.SetFinal(2000.0);
  EXPECT_EQ(rig.Frames(out) + rig.Frames(rig.Flush(64)), 1000u);  // still at r = 1
  EXPECT_NEAR(rig.Frames(rig.Stream(rig.Make(4000, dc), 4000, 64, true)), 8000.0, 400.0);
}

}  // namespace
}  // namespace quill
