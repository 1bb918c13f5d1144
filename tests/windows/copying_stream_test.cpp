// The time and pitch filters streaming in a real filter graph: output
// buffers of their own, four times the upstream ones; time stamps on the
// first output after a discontinuity only; the flush at the end of the
// stream; and the same bytes as the engine run in this process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/host_compare.h"
#include "tests/windows/test_filters.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"

namespace quill::test {
namespace {

// Mode 16 at 8000 Hz: a window of N = 400 frames and an output hop of
// H = 200; the input hop is S = H / r + 0.5, truncated.
constexpr DWORD kRate = 8000;
constexpr std::uint32_t kWindow = 400, kHop = 200;

class TimeInGraph : public GraphRig {
 protected:
  void Start(double finalTenths, long upstreamBytes, bool connect = true) {
    Build(CLSID_TwTime, MakeAudioType(WAVE_FORMAT_PCM, 1, kRate, 16), upstreamBytes);
    ComRef<ITimeParams> params = Effect<ITimeParams>(IID_ITimeParams);
    EXPECT_EQ(params->SetFinal(finalTenths), S_OK);
    EXPECT_EQ(params->SetMode(16), S_OK);
    if (!connect) return;
    Connect();
    Run();
  }
  HRESULT PushStamped(size_t frames, bool discontinuity, REFERENCE_TIME start, bool syncPoint = false) {
    const std::vector<std::int16_t> data = Noise(frames, static_cast<std::uint32_t>(start));
    return source_->Push(data.data(), static_cast<long>(frames * 2), discontinuity, 0x33, &start, syncPoint);
  }
};

TEST_F(TimeInGraph, OutputBuffersAreFourUpstreamBuffersOfAtLeast512Bytes) {
  Start(1000.0, 800);
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(sink_->Input().Allocator()->GetProperties(&props), S_OK);
  EXPECT_EQ(props.cbBuffer, 3200);
  EXPECT_NE(sink_->Input().Allocator(), source_->Output().Allocator());  // buffers of its own
  Dismantle();
  Start(1000.0, 100, /*connect=*/false);  // 4 x 100 bytes is too little
  ASSERT_EQ(ConnectInput(), S_OK);
  ComRef<IEnumMediaTypes> types;
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(out_->EnumMediaTypes(types.Put()), S_OK);
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  // With the type given, the allocator's refusal is what comes back.
  EXPECT_EQ(graph_->ConnectDirect(out_.Get(), &sink_->Input(), type), E_FAIL);
  DeleteMediaType(type);
  EXPECT_FALSE(sink_->Input().IsConnected());
}

// The output type must equal the input's in every field that shapes the samples.
TEST_F(TimeInGraph, OutputRefusesATypeThatDiffersFromTheInput) {
  Start(1000.0, 800, /*connect=*/false);
  ASSERT_EQ(ConnectInput(), S_OK);
  using Change = void (*)(AM_MEDIA_TYPE&, WAVEFORMATEX&);
  const Change changes[] = {[](AM_MEDIA_TYPE&, WAVEFORMATEX& w) { w.nSamplesPerSec = 11025; },
                            [](AM_MEDIA_TYPE&, WAVEFORMATEX& w) { w.wFormatTag = 3; },
                            [](AM_MEDIA_TYPE&, WAVEFORMATEX& w) { w.wBitsPerSample = 8; },
                            [](AM_MEDIA_TYPE&, WAVEFORMATEX& w) { w.nChannels = 2; },
                            [](AM_MEDIA_TYPE& t, WAVEFORMATEX&) { t.majortype = MEDIATYPE_Video; },
                            [](AM_MEDIA_TYPE& t, WAVEFORMATEX&) { t.bTemporalCompression = TRUE; },
                            [](AM_MEDIA_TYPE& t, WAVEFORMATEX&) { t.cbFormat = 14; }};
  for (size_t i = 0; i < std::size(changes); ++i) {
    SCOPED_TRACE(i);
    AM_MEDIA_TYPE other{};
    ASSERT_EQ(CopyMediaType(other, source_->type), S_OK);
    EXPECT_EQ(out_->QueryAccept(&other), S_OK);
    changes[i](other, *reinterpret_cast<WAVEFORMATEX*>(other.pbFormat));
    EXPECT_EQ(out_->QueryAccept(&other), S_FALSE);
    FreeMediaType(other);
  }
}

TEST_F(TimeInGraph, ExpansionSplitsOneInputIntoSeveralOutputsAndStampsOnlyTheFirst) {
  // r = 5: S = 200 / 5 + 0.5 truncated = 40 input frames per hop of H = 200.
  Start(5000.0, 800);
  // Shorter than the window: nothing comes out, the stamps wait.
  ASSERT_EQ(PushStamped(100, true, 1000, true), S_OK);
  EXPECT_EQ(sink_->samples.size(), 0u);
  // 300 frames complete the window: one hop, with the first buffer's
  // stamps, discontinuity and sync point.
  ASSERT_EQ(PushStamped(300, false, 3000), S_OK);
  ASSERT_EQ(sink_->samples.size(), 1u);
  const Captured& opened = sink_->samples[0];
  EXPECT_EQ(opened.bytes.size(), kHop * 2);
  EXPECT_TRUE(opened.discontinuity);
  EXPECT_TRUE(opened.syncPoint);
  ASSERT_TRUE(opened.hasTime);
  EXPECT_EQ(opened.start, 1000);
  EXPECT_EQ(opened.stop, 1500);
  // 400 more frames make 10 hops of 200 frames: 2000 frames in output
  // buffers of 1600 frames, the first full, the rest in a second one.
  ASSERT_EQ(PushStamped(400, false, 5000), S_OK);
  ASSERT_EQ(sink_->samples.size(), 3u);
  EXPECT_EQ(sink_->samples[1].bytes.size(), 3200u);
  EXPECT_EQ(sink_->samples[1].size, 3200);
  EXPECT_EQ(sink_->samples[2].bytes.size(), 800u);
  for (size_t i = 1; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(sink_->samples[i].hasTime);
    EXPECT_FALSE(sink_->samples[i].discontinuity);
    EXPECT_FALSE(sink_->samples[i].syncPoint);
  }
}

TEST_F(TimeInGraph, FlushAtTheEndComesBeforeTheEndOfStream) {
  // r = 5 with one window of input: the flush keeps splicing while the
  // window holds at least H frames, H frames each, S = 40 fewer each time:
  // after the first hop the fill is 360; hops at 360, 320, 280, 240 and 200
  // give 5 x 200 frames, then 160 < H is the last block, and the 1160
  // frames fit one 1600-frame buffer.
  Start(5000.0, 800);
  ASSERT_EQ(Push(Noise(kWindow, 3), true), S_OK);
  ASSERT_EQ(sink_->samples.size(), 1u);  // the first hop
  ASSERT_EQ(source_->PushEnd(), S_OK);
  ASSERT_EQ(sink_->samples.size(), 2u);
  EXPECT_EQ(sink_->samples[1].bytes.size() / 2, 5 * kHop + 160);
  EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
  EXPECT_EQ(sink_->endOfStreams, 1);
}

// ---------------------------------------------------------------------------
class PitchInGraph : public GraphRig {
 protected:
  void Start(std::int32_t semitones, std::int32_t preserve, std::int32_t antiAlias, bool readOnly = false) {
    Build(CLSID_TwPitchs, MakeAudioType(WAVE_FORMAT_PCM, 1, kRate, 16), 800, readOnly);
    ComRef<IPitchParams> params = Effect<IPitchParams>(IID_IPitchParams);
    ASSERT_EQ(params->GetParams(&params_), S_OK);
    params_.semitones = semitones;
    params_.ratio = PageRatio(semitones, 0);
    params_.preserveDuration = preserve;
    params_.antiAlias = antiAlias;
    params_.mode = 16;
    EXPECT_EQ(params->SetParams(&params_), S_OK);
    if (readOnly) return;
    Connect();
    Run();
  }
  // `buffers` of 400 frames of a tone; the first a discontinuity and sync
  // point, each stamped.
  std::vector<std::int16_t> PushTone(int buffers) {
    std::vector<std::int16_t> all;
    for (int i = 0; i < buffers; ++i) {
      std::vector<std::int16_t> part(400);
      for (size_t k = 0; k < part.size(); ++k)
        part[k] = static_cast<std::int16_t>(12000 * std::sin(0.11 * static_cast<double>(all.size() + k)));
      all.insert(all.end(), part.begin(), part.end());
      const REFERENCE_TIME start = 1000 * (i + 1);
      EXPECT_EQ(source_->Push(part.data(), 800, i == 0, 0x33, &start, i == 0), S_OK);
    }
    return all;
  }
  // What the engine alone makes of the same buffers.
  std::vector<std::uint8_t> EngineOutput(const std::vector<std::int16_t>& all) {
    PitchEngine engine;
    EXPECT_EQ(engine.SetParams(&params_), S_OK);
    WavData in;
    in.format = MakeFormat(1, 1, kRate, 16);
    in.bytes.resize(all.size() * 2);
    std::memcpy(in.bytes.data(), all.data(), in.bytes.size());
    return RunCopyingEngine(engine, in, 400).bytes;
  }
  PitchParams params_{};
};

TEST_F(PitchInGraph, ReadOnlyUpstreamBuffersAreRefusedAsTheAntiAliasFilterWritesThem) {
  Start(12, 0, 1, /*readOnly=*/true);
  EXPECT_TRUE(FAILED(ConnectInput()));
}

TEST_F(PitchInGraph, KeepingTheDurationStampsTheFirstOutputAndFlushesToTheInputLength) {
  Start(-7, 1, 0);
  const std::vector<std::int16_t> all = PushTone(6);
  ASSERT_FALSE(sink_->samples.empty());
  const Captured& first = sink_->samples[0];
  EXPECT_TRUE(first.discontinuity);
  EXPECT_TRUE(first.syncPoint);
  ASSERT_TRUE(first.hasTime);
  EXPECT_EQ(first.start, 1000);
  EXPECT_EQ(first.stop, 1500);
  for (size_t i = 1; i < sink_->samples.size(); ++i) EXPECT_FALSE(sink_->samples[i].hasTime) << i;
  const size_t before = sink_->samples.size();
  ASSERT_EQ(source_->PushEnd(), S_OK);
  EXPECT_GT(sink_->samples.size(), before);  // the stretcher's flush
  EXPECT_EQ(sink_->endOfStreams, 1);
  EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
  const std::vector<std::uint8_t> joined = sink_->Joined();
  EXPECT_EQ(joined.size(), all.size() * 2);
  EXPECT_TRUE(joined == EngineOutput(all));
}

TEST_F(PitchInGraph, WithoutKeepingTheDurationTheEndPassesAtOnce) {
  Start(12, 0, 1);
  const std::vector<std::int16_t> all = PushTone(4);
  const size_t before = sink_->samples.size();
  ASSERT_EQ(source_->PushEnd(), S_OK);
  EXPECT_EQ(sink_->samples.size(), before);
  EXPECT_EQ(sink_->endOfStreams, 1);
  // An octave up: half as many frames, less the kernel's last four.
  const std::vector<std::uint8_t> joined = sink_->Joined();
  EXPECT_NEAR(static_cast<double>(joined.size() / 2), (1600 - 4) * 0.5, 1.0);
  EXPECT_TRUE(joined == EngineOutput(all));
}

}  // namespace
}  // namespace quill::test
