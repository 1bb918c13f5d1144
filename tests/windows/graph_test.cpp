// The simple delay filter in a real filter graph, between a source the test
// drives buffer by buffer and a sink that records what arrives: format
// acceptance at connection, buffer handling, discontinuities, and the tail
// after the end of the stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/windows/effect_rig.h"
#include "include/quillfx1.h"
#include "tests/windows/test_filters.h"
#include "tools/common/wav_file.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

AudioType Mono16() {
  return MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16);
}

class EffectInGraph : public EffectRig {
 protected:
  void Build(const AudioType& type, long bufferSize, long bufferCount = 1, bool readOnly = false) {
    BuildRig(CLSID_TwEchos, IID_ISimpleDelayParams, type, bufferSize, bufferCount, readOnly);
    params_ = static_cast<ISimpleDelayParams*>(rigParams_);
  }
  void ConnectAndRun(const AudioType& type, long bufferSize = 4096) {
    Build(type, bufferSize);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    Run();
  }
  void ExpectInputUnconnected() {
    IPin* peer = nullptr;
    EXPECT_EQ(effectIn_->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
  }
  ISimpleDelayParams* params_ = nullptr;  // rigParams_, not counted again
};

struct FormatCase {
  const char* what;
  AudioType type;
};

TEST_F(EffectInGraph, AcceptedFormatIsKeptWithRecomputedFields) {
  AudioType stereo16 = MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
  stereo16.wave.nBlockAlign = 3;  // wrong on purpose
  stereo16.wave.nAvgBytesPerSec = 7;
  Build(stereo16, 4096);
  AudioFormat kept;
  EXPECT_EQ(params_->GetFormat(&kept), VFW_E_NOT_CONNECTED);
  ASSERT_EQ(ConnectInput(), S_OK);
  ASSERT_EQ(params_->GetFormat(&kept), S_OK);
  const AudioFormat expected = MakeFormat(1, 2, 44100, 16);
  EXPECT_EQ(std::memcmp(&kept, &expected, sizeof kept), 0);
  EXPECT_EQ(kept.blockAlign, 4);
  EXPECT_EQ(kept.avgBytesPerSec, 4u * 44100u);
  EXPECT_EQ(kept.extraSize, 0);
}

TEST_F(EffectInGraph, EveryAcceptedKindConnectsBothPins) {
  const FormatCase cases[] = {
      {"8-bit mono 5000 Hz", MakeAudioType(WAVE_FORMAT_PCM, 1, 5000, 8)},
      {"32-bit PCM stereo", MakeAudioType(WAVE_FORMAT_PCM, 2, 48000, 32)},
      {"float mono", MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 1, 22050, 32)},
      {"double stereo", MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 96000, 64)},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.what);
    Dismantle();
    Build(c.type, 4096);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    AM_MEDIA_TYPE in{}, out{};
    ASSERT_EQ(effectIn_->ConnectionMediaType(&in), S_OK);
    ASSERT_EQ(effectOut_->ConnectionMediaType(&out), S_OK);
    EXPECT_TRUE(SameMediaType(in, out));
    FreeMediaType(in);
    FreeMediaType(out);
  }
}

TEST_F(EffectInGraph, FormatsOutsideTheRuleAndReadOnlyBuffersAreRefusedAndNothingChanges) {
  AudioType shortBlock = Mono16(), video = Mono16(), compressed = Mono16();
  shortBlock.formatBytes = 14;
  video.major = MEDIATYPE_Video;
  compressed.temporalCompression = true;
  const FormatCase cases[] = {
      {"3 channels", MakeAudioType(WAVE_FORMAT_PCM, 3, 44100, 16)},
      {"24 bits", MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 24)},
      {"tag 2", MakeAudioType(2, 1, 44100, 16)},
      {"float with 16 bits", MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 16)},
      {"14-byte format block", shortBlock},
      {"not audio", video},
      {"temporally compressed", compressed},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.what);
    Dismantle();
    Build(c.type, 4096);
    AM_MEDIA_TYPE offered{};
    ASSERT_EQ(CopyMediaType(offered, source_->Offered()), S_OK);
    EXPECT_EQ(effectIn_->QueryAccept(&offered), S_FALSE);
    EXPECT_EQ(effectIn_->ReceiveConnection(&source_->Output(), &offered), E_INVALIDARG);
    FreeMediaType(offered);
    EXPECT_TRUE(FAILED(ConnectInput()));
    ExpectInputUnconnected();
    AudioFormat kept;
    EXPECT_EQ(params_->GetFormat(&kept), VFW_E_NOT_CONNECTED);
  }
  Dismantle();
  Build(Mono16(), 4096, 1, /*readOnly=*/true);
  EXPECT_TRUE(FAILED(ConnectInput()));
  ExpectInputUnconnected();
}

TEST_F(EffectInGraph, OutputNeedsTheInputFirstAndOffersItsType) {
  Build(Mono16(), 4096);
  EXPECT_TRUE(FAILED(ConnectOutput()));
  IEnumMediaTypes* types = nullptr;
  ASSERT_EQ(effectOut_->EnumMediaTypes(&types), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  ULONG fetched = 0;
  EXPECT_EQ(types->Next(1, &type, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  types->Release();
  ASSERT_EQ(ConnectInput(), S_OK);
  ASSERT_EQ(effectOut_->EnumMediaTypes(&types), S_OK);
  ASSERT_EQ(types->Next(1, &type, &fetched), S_OK);
  EXPECT_TRUE(SameMediaType(*type, source_->Offered()));
  DeleteMediaType(type);
  types->Release();
  ASSERT_EQ(ConnectOutput(), S_OK);
}

TEST_F(EffectInGraph, TheSameBufferTravelsOnWithWholeFramesOnly) {
  ConnectAndRun(MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16), 8192);
  std::vector<std::int16_t> in(2002);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::int16_t>((i * 977) % 20000 - 10000);
  ASSERT_EQ(source_->Push(in.data(), 4003), S_OK);  // 1000 frames and 3 stray bytes
  ASSERT_EQ(sink_->samples.size(), 1u);
  EXPECT_EQ(sink_->samples[0].sample, source_->LastPushed());
  ASSERT_EQ(sink_->samples[0].bytes.size(), 4000u);
  // The line starts silent: within the first delay period only the dry part.
  const std::vector<std::int16_t> out = Int16s(sink_->samples[0].bytes);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], Pcm16Of(Normalised(in[i]) * kGain)) << i;
}

// An impulse, then a buffer of silence longer than the delay: the echo
// arrives 4410 samples after the impulse unless the second buffer starts
// a discontinuity. A new run starts from a fresh line.
TEST_F(EffectInGraph, DiscontinuityClearsTheDelayHistory) {
  ConnectAndRun(Mono16(), 10000);
  for (const bool discontinuity : {false, true}) {
    SCOPED_TRACE(discontinuity);
    sink_->samples.clear();
    std::vector<std::int16_t> impulse(100, 0), silence(5000, 0);
    impulse[0] = 16384;
    ASSERT_EQ(source_->Push(impulse.data(), 200), S_OK);
    ASSERT_EQ(source_->Push(silence.data(), 10000, discontinuity), S_OK);
    ASSERT_EQ(sink_->samples.size(), 2u);
    EXPECT_EQ(sink_->samples[1].discontinuity, discontinuity);
    const std::vector<std::int16_t> out = Int16s(sink_->samples[1].bytes);
    ASSERT_EQ(out.size(), 5000u);
    if (discontinuity) {
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    } else {
      EXPECT_EQ(out[4410 - 100], Pcm16Of(0.5 * kGain));
      EXPECT_NE(Pcm16Of(0.5 * kGain), 0);
      Stop();
      Run();
    }
  }
}

TEST_F(EffectInGraph, DefaultTailIs4410FramesOfEchoAtMono44100) {
  ConnectAndRun(Mono16());
  std::vector<std::int16_t> in(1000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::int16_t>(3000 + 7 * i);
  ASSERT_EQ(source_->Push(in.data(), 2000), S_OK);
  ASSERT_EQ(source_->PushEnd(), S_OK);
  EXPECT_EQ(sink_->endOfStreams, 1);
  ASSERT_GE(sink_->samples.size(), 2u);
  for (size_t i = 1; i < sink_->samples.size(); ++i) EXPECT_LE(sink_->samples[i].bytes.size(), 4096u);
  // 2048 + 2048 + 314: full buffers, then the remainder.
  EXPECT_EQ(sink_->samples.back().bytes.size(), (4410u % 2048u) * 2u);
  // The tail is the line's content: 3410 samples of the silence before the
  // stream began, then the echo of the 1000 input samples. Its buffers
  // start as junk, so silence here also shows that they were zeroed.
  const std::vector<std::int16_t> tail = Int16s(sink_->Joined(1));
  ASSERT_EQ(tail.size(), 4410u);
  for (size_t k = 0; k < 3410; ++k) ASSERT_EQ(tail[k], 0) << k;
  for (size_t k = 3410; k < 4410; ++k) ASSERT_EQ(tail[k], Pcm16Of(Normalised(in[k - 3410]) * kGain)) << k;
}

TEST_F(EffectInGraph, EightBitTailBuffersAreFilledWith0x80BeforeProcessing) {
  // One buffer in the allocator: every tail buffer is the one that carried
  // the data, still holding processed samples and junk.
  ConnectAndRun(MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 8));
  std::vector<std::uint8_t> in(100, 0xC0);  // +0.5
  ASSERT_EQ(source_->Push(in.data(), 100, false, /*junk=*/0x33), S_OK);
  ASSERT_EQ(source_->PushEnd(), S_OK);
  ASSERT_EQ(sink_->endOfStreams, 1);
  const std::vector<std::uint8_t> tail = sink_->Joined(1);
  ASSERT_EQ(tail.size(), 4410u);
  for (size_t k = 0; k < 4310; ++k) ASSERT_EQ(tail[k], 0x80) << k;
  // 0.5 x 0.501 x 128 = 32.07, truncated to 32.
  for (size_t k = 4310; k < 4410; ++k) ASSERT_EQ(tail[k], 0x80 ^ 32) << k;
}

TEST_F(EffectInGraph, FlushSegmentAndDatalessEndPassDownstreamAndQualityIsNotHandled) {
  ConnectAndRun(Mono16());
  ASSERT_EQ(effectIn_->BeginFlush(), S_OK);
  EXPECT_TRUE(sink_->Input().IsFlushing());
  std::int16_t one = 1;
  EXPECT_EQ(source_->Push(&one, 2), S_FALSE);  // refused while flushing
  ASSERT_EQ(effectIn_->EndFlush(), S_OK);
  EXPECT_FALSE(sink_->Input().IsFlushing());
  ASSERT_EQ(effectIn_->NewSegment(10, 20000, 1.5), S_OK);
  EXPECT_EQ(sink_->Input().SegmentStart(), 10);
  EXPECT_EQ(sink_->Input().SegmentStop(), 20000);
  EXPECT_EQ(sink_->Input().SegmentRate(), 1.5);
  IQualityControl* quality = nullptr;
  ASSERT_EQ(effectOut_->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&quality)), S_OK);
  EXPECT_EQ(quality->Notify(effect_, Quality{Famine, 500, 0, 0}), S_FALSE);
  quality->Release();
  ASSERT_EQ(source_->PushEnd(), S_OK);  // no data: no tail
  EXPECT_EQ(sink_->endOfStreams, 1);
  EXPECT_TRUE(sink_->samples.empty());
}

template <class T>
T* Make(const CLSID& clsid, const IID& iid) {
  T* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object)), S_OK);
  return object;
}

// Positions come from upstream: with the platform's file source and wave
// parser in front, the effect's output pin reports what the parser knows.
TEST(SeekingPassThrough, OutputPinAnswersWithTheParsersPositions) {
  const std::wstring file = ScratchDir(L"seeking") + L"one_second.wav";
  WavData clip;
  clip.format = MakeFormat(1, 1, 8000, 16);
  clip.bytes.assign(16000, 0);
  std::string error;
  ASSERT_TRUE(WriteWav(Narrow(file), clip, error)) << error;
  // {D51BD5A1-7548-11CF-A520-0080C77EF58A}
  const CLSID waveParser = {0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};
  IGraphBuilder* graph = Make<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
  IBaseFilter* source = Make<IBaseFilter>(CLSID_AsyncReader, IID_IBaseFilter);
  IBaseFilter* parser = Make<IBaseFilter>(waveParser, IID_IBaseFilter);
  ASSERT_TRUE(graph && source && parser);
  IFileSourceFilter* fileSource = Query<IFileSourceFilter>(source, IID_IFileSourceFilter);
  ASSERT_NE(fileSource, nullptr);
  AM_MEDIA_TYPE stream{};
  stream.majortype = MEDIATYPE_Stream;
  stream.subtype = MEDIASUBTYPE_WAVE;
  ASSERT_EQ(fileSource->Load(file.c_str(), &stream), S_OK);
  fileSource->Release();
  IBaseFilter* effect = nullptr;
  ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IBaseFilter, reinterpret_cast<void**>(&effect)), S_OK);
  ASSERT_EQ(graph->AddFilter(source, L"Source"), S_OK);
  ASSERT_EQ(graph->AddFilter(parser, L"Parser"), S_OK);
  ASSERT_EQ(graph->AddFilter(effect, L"Effect"), S_OK);
  IPin* sourceOut = FirstPin(source, PINDIR_OUTPUT);
  IPin* parserIn = FirstPin(parser, PINDIR_INPUT);
  ASSERT_EQ(graph->ConnectDirect(sourceOut, parserIn, nullptr), S_OK);
  IPin* parserOut = FirstPin(parser, PINDIR_OUTPUT);  // appears once the input is connected
  ASSERT_NE(parserOut, nullptr);
  IPin* effectIn = FindPinOf(effect, L"Input");
  IPin* effectOut = FindPinOf(effect, L"Output");
  ASSERT_EQ(graph->ConnectDirect(parserOut, effectIn, nullptr), S_OK);
  IMediaSeeking* upstream = Query<IMediaSeeking>(parserOut, IID_IMediaSeeking);
  IMediaSeeking* ours = Query<IMediaSeeking>(effectOut, IID_IMediaSeeking);
  ASSERT_TRUE(upstream && ours);
  LONGLONG duration = 0, stop = 5000000, seenUpstream = 0;
  ASSERT_EQ(ours->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 10000000);  // one second in 100 ns units
  ASSERT_EQ(ours->SetPositions(nullptr, AM_SEEKING_NoPositioning, &stop, AM_SEEKING_AbsolutePositioning), S_OK);
  ASSERT_EQ(upstream->GetStopPosition(&seenUpstream), S_OK);
  EXPECT_EQ(seenUpstream, 5000000);
  GUID format{};
  ASSERT_EQ(ours->GetTimeFormat(&format), S_OK);
  EXPECT_EQ(format, TIME_FORMAT_MEDIA_TIME);
  for (IUnknown* p : std::initializer_list<IUnknown*>{ours, upstream, effectIn, effectOut, parserIn, parserOut,
                                                      sourceOut, effect, parser, source, graph})
    p->Release();
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quill::test
