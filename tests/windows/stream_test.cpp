// The effects streaming in a real filter graph: in place, in the arriving
// buffer, with each effect's output and tail its engine's; copying (time and
// pitch), in buffers of their own, stamped once, with the flush.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/host_compare.h"
#include "tools/common/effect_catalog.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twreverb/reverb_engine.h"

namespace quill::test {
namespace {

double Normalised(std::int16_t s) {
  return s * 3.0517578125e-5;
}

class InGraph : public GraphRig {};

// The buffer that arrives leaves, cut to whole frames. An impulse's echo
// comes 4410 samples on at the default -6 dB (truncated to 16 bits), unless
// the silence after it starts a discontinuity; each run starts afresh.
TEST_F(InGraph, SimpleDelayWorksInTheArrivingBufferAndADiscontinuityClearsTheLine) {
  Build(CLSID_TwEchos, MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16), 10000);
  Connect();
  Run();
  const auto echo = static_cast<std::int16_t>(std::trunc(0.5 * std::pow(10.0, -0.3) * 32768.0));
  for (const bool discontinuity : {false, true}) {
    SCOPED_TRACE(discontinuity);
    sink_->samples.clear();
    std::vector<std::int16_t> impulse(101, 0), silence(5000, 0);
    impulse[0] = 16384;
    ASSERT_EQ(source_->Push(impulse.data(), 201), S_OK);  // 100 frames and a stray byte
    ASSERT_EQ(Push(silence, discontinuity), S_OK);
    ASSERT_EQ(sink_->samples.size(), 2u);
    EXPECT_EQ(sink_->samples[0].bytes.size(), 200u);
    EXPECT_EQ(sink_->samples[1].sample, source_->LastPushed());
    EXPECT_EQ(sink_->samples[1].discontinuity, discontinuity);
    const std::vector<std::int16_t> out = Int16s(sink_->samples[1].bytes);
    ASSERT_EQ(out.size(), 5000u);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], !discontinuity && i == 4410 - 100 ? echo : 0) << i;
    Stop();
    Run();
  }
}

// Each in-place effect against its engine: three and a half buffers, then
// the end; twice, with a stop between, so that each run starts afresh. The
// tail buffers come from the allocator still holding the last input, so a
// tail not silenced first would differ; they are full but the last, and
// there is at least one for an effect with a tail, before the end of stream.
struct EngineCase {
  const char* effect;
  std::int32_t preset;
  WORD tag, channels;
  DWORD rate;
  WORD bits;
  bool hasTail;
  WavData (*expected)(const std::vector<std::uint8_t>& block, const WavData& in, std::uint32_t blockFrames);
  void (*edit)(IUnknown* params) = nullptr;
};

template <class Engine>
WavData OnEngine(const std::vector<std::uint8_t>& block, const WavData& in, std::uint32_t blockFrames) {
  Engine engine;
  engine.SetParams(reinterpret_cast<const typename Engine::Params*>(block.data()));
  WavData out;
  RunStats stats;
  EXPECT_EQ(RunInPlace(engine, in, out, blockFrames, stats), S_OK);
  return out;
}

class EngineInGraph : public GraphRig, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineInGraph, OutputAndTailAreTheEnginesInEveryRun) {
  const EngineCase& c = GetParam();
  const HostEffect* effect = FindHostEffect(c.effect);
  ASSERT_NE(effect, nullptr);
  constexpr std::uint32_t kBufferFrames = 2048;
  const size_t bufferSize = kBufferFrames * c.channels * c.bits / 8;
  Build(*effect->clsid, MakeAudioType(c.tag, c.channels, c.rate, c.bits), static_cast<long>(bufferSize));
  Connect();
  ASSERT_EQ(Effect<IEffectPresets>(IID_IEffectPresets)->ApplyPreset(c.preset), S_OK);
  ComRef<IUnknown> params = Effect<IUnknown>(*effect->paramsIid);
  if (c.edit != nullptr) c.edit(params.Get());
  std::vector<std::uint8_t> block(effect->blockSize);
  ASSERT_EQ(effect->getParams(params.Get(), block.data()), S_OK);
  WavData in{MakeFormat(c.tag, c.channels, c.rate, c.bits), {}};
  for (const std::int16_t s : Noise((3 * kBufferFrames + kBufferFrames / 2) * c.channels, 23)) {
    const double x = Normalised(s);
    const float f = static_cast<float>(x);
    const std::int32_t i32 = s * 65536;
    const auto b8 = static_cast<std::uint8_t>((s >> 8) + 128);
    const void* bytes = c.bits == 8                ? static_cast<const void*>(&b8)
                        : c.bits == 16             ? static_cast<const void*>(&s)
                        : c.bits == 64             ? static_cast<const void*>(&x)
                        : c.tag == WAVE_FORMAT_PCM ? static_cast<const void*>(&i32)
                                                   : static_cast<const void*>(&f);
    in.bytes.insert(in.bytes.end(), static_cast<const std::uint8_t*>(bytes),
                    static_cast<const std::uint8_t*>(bytes) + c.bits / 8);
  }
  const WavData expected = c.expected(block, in, kBufferFrames);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    sink_->samples.clear();
    sink_->endOfStreams = 0;
    Run();
    for (size_t at = 0; at < in.bytes.size(); at += bufferSize)
      ASSERT_EQ(source_->Push(in.bytes.data() + at, static_cast<long>(std::min(in.bytes.size() - at, bufferSize))),
                S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
    EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
    EXPECT_EQ(sink_->samples.size() > 4, c.hasTail);
    for (size_t i = 4; i + 1 < sink_->samples.size(); ++i) EXPECT_EQ(sink_->samples[i].bytes.size(), bufferSize);
    const std::vector<std::uint8_t> got = sink_->Joined();
    ASSERT_EQ(got.size(), expected.bytes.size());
    EXPECT_TRUE(got == expected.bytes);
    Stop();
  }
}

const EngineCase kEngineCases[] = {
    {"delay", 1, WAVE_FORMAT_PCM, 1, 44100, 8, true, &OnEngine<SimpleDelayEngine>},
    {"multitap", 24, WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32, true, &OnEngine<MultiTapEngine>},
    {"multitap", 13, WAVE_FORMAT_PCM, 1, 48000, 32, true, &OnEngine<MultiTapEngine>},
    {"chorus", 8, WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 64, false, &OnEngine<ChorusEngine>},
    {"chorus", 0, WAVE_FORMAT_PCM, 2, 44100, 16, false, &OnEngine<ChorusEngine>},
    {"reverb", 8, WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32, true, &OnEngine<ReverbEngine>},
    // Under one second of decay there is no whole second to add: one empty
    // tail buffer reports the end.
    {"reverb", 0, WAVE_FORMAT_PCM, 2, 22050, 16, true, &OnEngine<ReverbEngine>,
     [](IUnknown* p) { EXPECT_EQ(static_cast<IReverbParams*>(p)->SetDecay(9), S_OK); }},
};
INSTANTIATE_TEST_SUITE_P(Effects, EngineInGraph, ::testing::ValuesIn(kEngineCases));

// The time filter, mode 16 at 8000 Hz: a window of 400 frames and an output
// hop of H = 200; the input hop is H / r + 0.5, truncated. Its flush is
// compared with the engine's through the host.
constexpr DWORD kRate = 8000;

class TimeInGraph : public GraphRig {
 protected:
  void Start(double finalTenths, bool connect = true) {
    Build(CLSID_TwTime, MakeAudioType(WAVE_FORMAT_PCM, 1, kRate, 16), 800);
    ComRef<ITimeParams> params = Effect<ITimeParams>(IID_ITimeParams);
    EXPECT_EQ(params->SetFinal(finalTenths), S_OK);
    EXPECT_EQ(params->SetMode(16), S_OK);
    if (!connect) return;
    Connect();
    Run();
  }
  HRESULT PushStamped(size_t frames, bool discontinuity, REFERENCE_TIME start) {
    const std::vector<std::int16_t> data = Noise(frames, static_cast<std::uint32_t>(start));
    return source_->Push(data.data(), static_cast<long>(frames * 2), discontinuity, &start, discontinuity);
  }
};

// The output offers only the input's type, and its buffers, from an
// allocator of its own, hold four upstream buffers.
TEST_F(TimeInGraph, OutputTakesOnlyTheInputTypeInBuffersOfItsOwnFourTimesTheUpstreamOnes) {
  Start(1000.0, /*connect=*/false);
  ASSERT_EQ(ConnectInput(), S_OK);
  AM_MEDIA_TYPE other{};
  ASSERT_EQ(CopyMediaType(other, source_->type), S_OK);
  EXPECT_EQ(out_->QueryAccept(&other), S_OK);
  reinterpret_cast<WAVEFORMATEX*>(other.pbFormat)->nSamplesPerSec = 11025;
  EXPECT_EQ(out_->QueryAccept(&other), S_FALSE);
  FreeMediaType(other);
  ASSERT_EQ(ConnectOutput(), S_OK);
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(sink_->Input().Allocator()->GetProperties(&props), S_OK);
  EXPECT_EQ(props.cbBuffer, 3200);
  EXPECT_NE(sink_->Input().Allocator(), source_->Output().Allocator());
}

TEST_F(TimeInGraph, ExpansionSplitsOneInputIntoSeveralOutputsAndStampsOnlyTheFirst) {
  Start(5000.0);                                  // r = 5: 40 input frames per hop
  ASSERT_EQ(PushStamped(100, true, 1000), S_OK);  // shorter than the window: the stamps wait
  EXPECT_EQ(sink_->samples.size(), 0u);
  ASSERT_EQ(PushStamped(300, false, 3000), S_OK);  // the window: one hop, with the first buffer's marks
  ASSERT_EQ(sink_->samples.size(), 1u);
  const Captured& opened = sink_->samples[0];
  EXPECT_EQ(opened.bytes.size(), 400u);
  EXPECT_TRUE(opened.discontinuity && opened.syncPoint && opened.hasTime);
  EXPECT_EQ(opened.start, 1000);
  EXPECT_EQ(opened.stop, 1500);
  // 10 hops more: 2000 frames in output buffers of 1600.
  ASSERT_EQ(PushStamped(400, false, 5000), S_OK);
  ASSERT_EQ(sink_->samples.size(), 3u);
  EXPECT_EQ(sink_->samples[1].bytes.size(), 3200u);
  EXPECT_EQ(sink_->samples[2].bytes.size(), 800u);
  for (size_t i = 1; i < 3; ++i)
    EXPECT_FALSE(sink_->samples[i].hasTime || sink_->samples[i].discontinuity || sink_->samples[i].syncPoint) << i;
}

// The pitch filter on stamped buffers of a tone: the engine's output alone
// on the same buffers; keeping the duration, the stretcher flushes at the
// end of the stream, and otherwise the end passes at once.
class PitchInGraph : public GraphRig {
 protected:
  void Stream(std::int32_t semitones, std::int32_t preserve, std::int32_t antiAlias, int buffers) {
    Build(CLSID_TwPitchs, MakeAudioType(WAVE_FORMAT_PCM, 1, kRate, 16), 800);
    ComRef<IPitchParams> params = Effect<IPitchParams>(IID_IPitchParams);
    PitchParams p{};
    ASSERT_EQ(params->GetParams(&p), S_OK);
    p.semitones = semitones;
    p.ratio = PageRatio(semitones, 0);
    p.preserveDuration = preserve;
    p.antiAlias = antiAlias;
    p.mode = 16;
    EXPECT_EQ(params->SetParams(&p), S_OK);
    Connect();
    Run();
    std::vector<std::int16_t> all;
    for (int i = 0; i < buffers; ++i) {
      const size_t from = all.size();
      for (size_t k = 0; k < 400; ++k) all.push_back(static_cast<std::int16_t>(12000 * std::sin(0.11 * (from + k))));
      const REFERENCE_TIME start = 1000 * (i + 1);
      ASSERT_EQ(source_->Push(all.data() + from, 800, i == 0, &start, i == 0), S_OK);
    }
    const size_t before = sink_->samples.size();
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
    EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
    EXPECT_GT(before, 0u);
    EXPECT_EQ(sink_->samples.size() > before, preserve != 0);
    PitchEngine engine;
    EXPECT_EQ(engine.SetParams(&p), S_OK);
    WavData in{MakeFormat(1, 1, kRate, 16), std::vector<std::uint8_t>(all.size() * 2)};
    std::memcpy(in.bytes.data(), all.data(), in.bytes.size());
    EXPECT_TRUE(sink_->Joined() == RunCopyingEngine(engine, in, 400).bytes);
  }
};

TEST_F(PitchInGraph, OutputIsTheEnginesWithTheFlushOnlyWhenKeepingTheDuration) {
  Stream(-7, 1, 0, 6);
  Dismantle();
  Stream(12, 0, 1, 4);
}

TEST_F(PitchInGraph, ReadOnlyUpstreamBuffersAreRefusedAsTheAntiAliasFilterWritesThem) {
  Build(CLSID_TwPitchs, MakeAudioType(WAVE_FORMAT_PCM, 1, kRate, 16), 800, /*readOnly=*/true);
  EXPECT_TRUE(FAILED(ConnectInput()));
}

}  // namespace
}  // namespace quill::test
