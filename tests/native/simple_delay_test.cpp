// The simple delay engine: line sizing, echoes, feedback, the tail, and how
// discontinuities and parameter changes treat the history, in every sample
// kind, mono and stereo.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "framework/audio_format.h"
#include "tests/native/engine_harness.h"
#include "dsp/line_memory.h"
#include "twechos/simple_delay_engine.h"
#include "tools/common/wav_file.h"

namespace quill {
namespace {

using test::AllKinds;
using test::At;

template <class Kind>
using Harness = test::EngineHarness<SimpleDelayEngine, Kind>;

auto Impulse(double v, std::uint32_t at = 0) {
  return [=](std::uint32_t f, std::uint32_t) { return f == at ? v : 0.0; };
}

template <class Kind>
class SimpleDelayKinds : public ::testing::Test {};
TYPED_TEST_SUITE(SimpleDelayKinds, AllKinds);

TYPED_TEST(SimpleDelayKinds, DefaultPresetIsOneEchoAfter4410SamplesAtMinusSixDb) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 44100, SimpleDelayParams{0, 100, 1, -60, -60});
  EXPECT_EQ(h.engine.LineLength(), 4410u);
  EXPECT_EQ(h.engine.FeedbackCoefficient(), 0.0);
  const double g = std::pow(10.0, -0.3);
  EXPECT_NEAR(g, 0.501, 0.001);
  // Impulses at frames 0 and 7999: echoes at 4410 and, in the tail, at 4409.
  const auto out = h.Run(8000, [](std::uint32_t f, std::uint32_t) { return f == 0 || f == 7999 ? 0.5 : 0.0; });
  for (std::uint32_t f = 0; f < 8000; ++f)
    ASSERT_EQ(out[f], Kind::FromEngine(f == 0 || f == 7999 || f == 4410 ? 0.5 * g : 0.0)) << f;
  const auto tail = h.Tail(1000);
  ASSERT_EQ(tail.size(), 4410u);
  for (std::uint32_t f = 0; f < 4410; ++f) ASSERT_EQ(tail[f], Kind::FromEngine(f == 4409 ? 0.5 * g : 0.0)) << f;
}

TYPED_TEST(SimpleDelayKinds, FeedbackStereoRepeatsEachChannelWithTheDecayFactor) {
  using Kind = TypeParam;
  // Echo chamber: 400 ms, 2.0 s decay, delay out -3.0 dB, dry out -9.0 dB.
  Harness<Kind> h(2, 44100, SimpleDelayParams{1, 400, 20, -30, -90});
  EXPECT_EQ(h.engine.LineLength(), 35280u);
  const double fb = std::pow(0.0316, 0.2);  // r = 176400 / 35280 = 5
  EXPECT_EQ(h.engine.FeedbackCoefficient(), fb);
  EXPECT_NEAR(fb, 0.501, 0.001);
  EXPECT_EQ(h.engine.TailLeft(0), 105840u);
  EXPECT_EQ(h.engine.TailLeft(1), 105840u);
  const double gd = std::pow(10.0, -30 * 0.005), gy = std::pow(10.0, -90 * 0.005);
  // Left impulse at frame 0, right impulse at frame 3: 17640-frame echoes per channel.
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
}

TYPED_TEST(SimpleDelayKinds, PureDelayPresetShiftsTheSignalExactly) {
  using Kind = TypeParam;
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    // Preset 4: dry out silent, delay out 0 dB, 1000 ms.
    Harness<Kind> h(channels, 8000, SimpleDelayPresets()[4].params);
    ASSERT_EQ(h.engine.LineLength(), 8000u * channels);
    std::vector<double> in(12000 * channels);
    std::uint32_t seed = 12345;
    for (double& v : in) {
      seed = seed * 1103515245u + 12345u;
      v = Kind::ToEngine(Kind::FromEngine(static_cast<std::int32_t>(seed) / 2147483648.0));
    }
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
  // First buffer marked as a discontinuity: the engine was just restarted, so it
  // carries on with the line it has.
  h.Run(20, Impulse(0.5, 5), 20, ProcessMode::Discontinuity);
  EXPECT_EQ(h.Silence(40)[35], Kind::FromEngine(0.5));  // frame 55 overall
  // Same again, but the second buffer is a discontinuity: the echo is gone.
  h.Run(20, Impulse(0.5, 5));
  for (auto s : h.Run(60, Impulse(0.0), 60, ProcessMode::Discontinuity)) ASSERT_EQ(s, Kind::FromEngine(0.0));
  // The tail count set at allocation stays: still one delay period.
  EXPECT_EQ(h.Tail(16).size(), 50u);
}

TYPED_TEST(SimpleDelayKinds, DecayChangeKeepsHistoryDelayChangeReallocates) {
  using Kind = TypeParam;
  Harness<Kind> h(1, 1000, SimpleDelayParams{1, 50, 10, 0, -800});
  h.Run(10, Impulse(0.5));
  h.engine.SetDecay(20);  // light change: the echo in the line survives
  EXPECT_EQ(h.Silence(50)[40], Kind::FromEngine(0.5));
  h.engine.SetDelay(60);  // the line length changes: history is lost
  for (auto s : h.Silence(200)) ASSERT_EQ(s, Kind::FromEngine(0.0));
  EXPECT_EQ(h.engine.LineLength(), 60u);
  EXPECT_EQ(h.engine.TailLeft(0), 60u + 2000u);  // D = 20 * 1000 * 0.1
}

TYPED_TEST(SimpleDelayKinds, TailInSilentBuffersCarriesTheLastEcho) {
  using Kind = TypeParam;
  Harness<Kind> h(2, 1000, SimpleDelayParams{0, 10, 1, 0, 0});  // L = 20, 10 frames per channel
  h.Run(10, [](std::uint32_t f, std::uint32_t c) { return f == 9 ? (c == 0 ? 0.5 : -0.25) : 0.0; });
  int calls = 0;
  const auto tail = h.Tail(4, &calls);
  ASSERT_EQ(tail.size(), 20u);  // 10 frames, last block holds the remainder
  EXPECT_EQ(calls, 3);
  for (std::uint32_t f = 0; f < 10; ++f) {
    EXPECT_EQ(At(tail, 2, f, 0), Kind::FromEngine(f == 9 ? 0.5 : 0.0)) << f;
    EXPECT_EQ(At(tail, 2, f, 1), Kind::FromEngine(f == 9 ? -0.25 : 0.0)) << f;
  }
}

TEST(SimpleDelay, LineLengthFeedbackAndTailRules) {
  // 1 ms at 1000 Hz mono: one sample, raised to two. 5000 ms with 0.1 s of decay:
  // r = 100 / 5000, one echo. Without feedback the decay does not count at all.
  const struct {
    SimpleDelayParams p;
    std::uint32_t line, tail;
  } cases[] = {{{1, 5000, 1, 0, -800}, 5000, 5100}, {{0, 100, 200, 0, -800}, 100, 100}};
  EXPECT_EQ(Harness<Pcm16>(1, 1000, SimpleDelayParams{0, 1, 1, 0, -800}).engine.LineLength(), 2u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Harness<Float64> h(1, 1000, c.p);
    EXPECT_EQ(h.engine.LineLength(), c.line);
    EXPECT_EQ(h.engine.FeedbackCoefficient(), 0.0);
    EXPECT_EQ(h.engine.TailLeft(0), c.tail);
  }
  // 1 ms at 1500 Hz stereo: L = 3, so the left channel has two slots, the right one.
  Harness<Float64> odd(2, 1500, SimpleDelayParams{0, 1, 1, 0, -800});
  ASSERT_EQ(odd.engine.LineLength(), 3u);
  const auto out = odd.Run(6, Impulse(1.0));
  EXPECT_EQ(At(out, 2, 2, 0), 1.0);
  EXPECT_EQ(At(out, 2, 1, 1), 1.0);
  EXPECT_EQ(At(out, 2, 1, 0), 0.0);
  EXPECT_EQ(At(out, 2, 2, 1), 0.0);
  EXPECT_EQ(odd.engine.TailLeft(0), 1u);  // (0 + 3) / 2
}

TEST(SimpleDelay, ParameterChangeDuringTailEndsItAtOnce) {
  Harness<Pcm16> h(1, 44100, SimpleDelayParams{0, 100, 1, -60, -60});
  h.Run(100, Impulse(0.5));
  const auto tail = [&](HRESULT expect, std::vector<std::int16_t>& buf) {
    std::uint32_t n = 1000;
    EXPECT_EQ(h.engine.Process(SampleKind::Pcm16, ProcessMode::Tail, buf.data(), &n), expect);
    EXPECT_EQ(n, 1000u);
  };
  std::vector<std::int16_t> buf(1000, 0), next(1000, 7);
  tail(S_OK, buf);
  h.engine.SetDelayOut(-100);
  tail(S_FALSE, next);
  for (auto s : next) ASSERT_EQ(s, 7);  // untouched
}

TEST(SimpleDelay, AllocationFailureIsReportedAndRetriedOnTheNextBuffer) {
  static int allocations = 0;
  const LineAllocFn previous = SetLineAllocator([](std::size_t, std::size_t) -> void* {
    ++allocations;
    return nullptr;
  });
  AudioFormat f = MakeFormat(1, 1, 44100, 16);
  SimpleDelayEngine e;
  e.SetFormat(&f);
  EXPECT_EQ(e.Restart(), E_OUTOFMEMORY);
  EXPECT_FALSE(e.Ready());
  std::int16_t buf[64] = {};
  std::uint32_t n = 64;
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), E_OUTOFMEMORY);
  EXPECT_EQ(allocations, 2);
  SetLineAllocator(previous);
  buf[0] = 1000;
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), S_OK);
  EXPECT_TRUE(e.Ready());
  EXPECT_EQ(e.LineLength(), 4410u);
  EXPECT_EQ(buf[0], 501);  // 1000 * 10^-0.3, truncated
}

TEST(SimpleDelay, RefusesToRunWithoutAFormatOrBuffer) {
  SimpleDelayEngine e;
  EXPECT_EQ(e.Restart(), VFW_E_NOT_CONNECTED);
  std::uint32_t n = 4;
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, nullptr, &n), E_POINTER);
  std::int16_t buf[4] = {};
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, nullptr), E_POINTER);
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), VFW_E_NOT_CONNECTED);
}

TEST(SimpleDelay, StopReleasesTheLineAndTheNextStartBeginsSilent) {
  Harness<Pcm16> h(1, 1000, SimpleDelayParams{0, 10, 1, 0, -800});
  h.Run(5, Impulse(0.5));
  h.engine.ReleaseLine();
  EXPECT_EQ(h.engine.LineLength(), 0u);
  ASSERT_EQ(h.engine.Restart(), S_OK);
  for (auto s : h.Silence(20)) ASSERT_EQ(s, 0);
}

}  // namespace
}  // namespace quill
