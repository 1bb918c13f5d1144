// The in-place effects streaming in a real filter graph: the buffer that
// arrives is the buffer that leaves, a discontinuity clears the history, and
// each effect's output, tail included, is what its engine gives in this
// process for the same buffers, the tail in full buffers before the end of
// the stream is passed on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/test_filters.h"
#include "tools/common/effect_catalog.h"
#include "tools/common/run_engine.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"

namespace quill::test {
namespace {

// -6.0 dB, the default simple delay's dry and echo level.
const double kGain = std::pow(10.0, -60 * 0.005);

// A normalised sample as the engines write it to 16 bits (truncated).
std::int16_t Pcm16Of(double y) {
  return static_cast<std::int16_t>(std::trunc(y * 32768.0));
}
double Normalised(std::int16_t s) {
  return s * 3.0517578125e-5;
}

class SimpleDelayInGraph : public GraphRig {
 protected:
  void Start(const AudioType& type, long bufferSize) {
    Build(CLSID_TwEchos, type, bufferSize);
    Connect();
    Run();
  }
};

TEST_F(SimpleDelayInGraph, TheSameBufferTravelsOnWithWholeFramesOnly) {
  Start(MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16), 8192);
  const std::vector<std::int16_t> in = Noise(2002, 5);
  ASSERT_EQ(source_->Push(in.data(), 4003), S_OK);  // 1000 frames and 3 stray bytes
  ASSERT_EQ(sink_->samples.size(), 1u);
  EXPECT_EQ(sink_->samples[0].sample, source_->LastPushed());
  ASSERT_EQ(sink_->samples[0].bytes.size(), 4000u);
  // The line starts silent: within the first delay period only the dry part.
  const std::vector<std::int16_t> out = Int16s(sink_->samples[0].bytes);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], Pcm16Of(Normalised(in[i]) * kGain)) << i;
}

// An impulse, then a buffer of silence longer than the 100 ms delay: the
// echo arrives 4410 samples after the impulse unless the second buffer
// starts a discontinuity. A new run starts from a fresh line.
TEST_F(SimpleDelayInGraph, DiscontinuityClearsTheDelayHistory) {
  Start(MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16), 10000);
  for (const bool discontinuity : {false, true}) {
    SCOPED_TRACE(discontinuity);
    sink_->samples.clear();
    std::vector<std::int16_t> impulse(100, 0), silence(5000, 0);
    impulse[0] = 16384;
    ASSERT_EQ(Push(impulse), S_OK);
    ASSERT_EQ(Push(silence, discontinuity), S_OK);
    ASSERT_EQ(sink_->samples.size(), 2u);
    EXPECT_EQ(sink_->samples[1].discontinuity, discontinuity);
    const std::vector<std::int16_t> out = Int16s(sink_->samples[1].bytes);
    ASSERT_EQ(out.size(), 5000u);
    for (size_t i = 0; i < out.size(); ++i)
      ASSERT_EQ(out[i], !discontinuity && i == 4410 - 100 ? Pcm16Of(0.5 * kGain) : 0) << i;
    Stop();
    Run();
  }
}

// Each in-place effect against its engine. The tail buffers come from the
// allocator still holding the last input, so a tail not silenced first
// would differ.
template <class Engine>
WavData OnEngine(const std::vector<std::uint8_t>& block, const WavData& in, std::uint32_t blockFrames) {
  Engine engine;
  engine.SetParams(reinterpret_cast<const typename Engine::Params*>(block.data()));
  WavData out;
  RunStats stats;
  EXPECT_EQ(RunInPlace(engine, in, out, blockFrames, stats), S_OK);
  return out;
}

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

// Noise in the case's format, `frames` long.
WavData Material(const EngineCase& c, std::uint32_t frames) {
  WavData in;
  in.format = MakeFormat(c.tag, c.channels, c.rate, c.bits);
  for (const std::int16_t s : Noise(static_cast<size_t>(frames) * c.channels, 23)) {
    const double x = Normalised(s);
    const float f = static_cast<float>(x);
    const auto b8 = static_cast<std::uint8_t>((s >> 8) + 128);
    const void* bytes = c.bits == 8 ? static_cast<const void*>(&b8)
                        : c.bits == 16 ? static_cast<const void*>(&s)
                        : c.bits == 32 ? static_cast<const void*>(&f)
                                       : static_cast<const void*>(&x);
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    in.bytes.insert(in.bytes.end(), first, first + c.bits / 8);
  }
  return in;
}

class EngineInGraph : public GraphRig, public ::testing::WithParamInterface<EngineCase> {};

// Three and a half buffers in, then the end; twice, with a stop between, so
// that each run starts afresh. The tail comes in full buffers but the last,
// at least one of them for an effect with a tail, before the end of stream.
TEST_P(EngineInGraph, OutputAndTailAreTheEnginesInEveryRun) {
  const EngineCase& c = GetParam();
  const HostEffect* effect = FindHostEffect(c.effect);
  ASSERT_NE(effect, nullptr);
  constexpr std::uint32_t kBufferFrames = 2048;
  const long bufferSize = static_cast<long>(kBufferFrames * c.channels * c.bits / 8);
  Build(*effect->clsid, MakeAudioType(c.tag, c.channels, c.rate, c.bits), bufferSize);
  Connect();
  ComRef<IEffectPresets> presets = Effect<IEffectPresets>(IID_IEffectPresets);
  ASSERT_EQ(presets->ApplyPreset(c.preset), S_OK);
  ComRef<IUnknown> params = Effect<IUnknown>(*effect->paramsIid);
  if (c.edit != nullptr) c.edit(params.Get());
  std::vector<std::uint8_t> block(effect->blockSize);
  ASSERT_EQ(effect->getParams(params.Get(), block.data()), S_OK);
  const WavData in = Material(c, 3 * kBufferFrames + kBufferFrames / 2);
  const WavData expected = c.expected(block, in, kBufferFrames);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    sink_->samples.clear();
    sink_->endOfStreams = 0;
    Run();
    for (size_t at = 0; at < in.bytes.size(); at += static_cast<size_t>(bufferSize))
      ASSERT_EQ(source_->Push(in.bytes.data() + at, static_cast<long>(std::min(in.bytes.size() - at, size_t(bufferSize)))),
                S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
    EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
    const size_t tailBuffers = sink_->samples.size() - 4;
    EXPECT_EQ(tailBuffers > 0, c.hasTail);
    for (size_t i = 4; i + 1 < sink_->samples.size(); ++i) EXPECT_EQ(sink_->samples[i].bytes.size(), size_t(bufferSize));
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

}  // namespace
}  // namespace quill::test
