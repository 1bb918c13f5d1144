// The time filter in real filter graphs: the types and buffers it agrees
// on, and its copying loop wired to the platform's samples and end of
// stream (the loop's own cases are in native/copying_loop_test.cpp).
// Mode 16 at 8000 Hz gives a window of N = 400 frames and an output hop of
// H = 200 frames; the input hop is S = H / r + 0.5 truncated, clamped to N.
#include "filter/time_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "tests/windows/copying_graph.h"

namespace quill::test {
namespace {

constexpr DWORD kRate = 8000;
constexpr std::int32_t kDrumsMode = 16;
constexpr std::uint32_t kWindow = 400, kHop = 200;

std::vector<std::int16_t> Ramp(size_t frames, int step) {
  std::vector<std::int16_t> out(frames);
  for (size_t i = 0; i < frames; ++i) out[i] = static_cast<std::int16_t>(1000 + static_cast<int>(i % 97) * step);
  return out;
}

class TimeFilterInGraph : public CopyingFilterInGraph<TimeFilter> {
 protected:
  // 16-bit mono by default; `finalTenths` and the drums mode set before streaming.
  void Build(double finalTenths, long bufferBytes, const AudioType& type = MakeAudioType(1, 1, kRate, 16)) {
    BuildWith(bufferBytes, type, [&](TimeFilter* filter) {
      ITimeParams* params = nullptr;
      ASSERT_EQ(filter->QueryInterface(IID_ITimeParams, reinterpret_cast<void**>(&params)), S_OK);
      EXPECT_EQ(params->SetFinal(finalTenths), S_OK);
      EXPECT_EQ(params->SetMode(kDrumsMode), S_OK);
      params->Release();
    });
  }
  void Connected(double finalTenths) {
    Build(finalTenths, 800);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
  }
};

TEST_F(TimeFilterInGraph, OutputBuffersAreFourUpstreamBuffersWithTheInputsType) {
  Connected(1000.0);
  EXPECT_EQ(filter_->Granted().cbBuffer, 3200);
  ALLOCATOR_PROPERTIES props{};
  ASSERT_NE(filter_->Output().Allocator(), nullptr);
  ASSERT_EQ(filter_->Output().Allocator()->GetProperties(&props), S_OK);
  EXPECT_EQ(props.cbBuffer, 3200);
  // Not the upstream allocator: the filter writes into buffers of its own.
  EXPECT_NE(filter_->Output().Allocator(), filter_->Input().Allocator());
  AM_MEDIA_TYPE out{};
  ASSERT_EQ(filter_->Output().ConnectionMediaType(&out), S_OK);
  ASSERT_GE(out.cbFormat, 16u);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(out.pbFormat);
  EXPECT_EQ(wave->nSamplesPerSec, kRate);
  EXPECT_EQ(wave->nChannels, 1);
  EXPECT_EQ(wave->nBlockAlign, 2);
  EXPECT_EQ(wave->nAvgBytesPerSec, 2 * kRate);
  FreeMediaType(out);
}

TEST_F(TimeFilterInGraph, OutputBuffersUnder512BytesFailTheConnection) {
  Build(1000.0, 100);  // 4 x 100 bytes is too little
  ASSERT_EQ(ConnectInput(), S_OK);
  // With the type given, the allocator's refusal is what comes back.
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(filter_->GetMediaType(0, type), S_OK);
  EXPECT_EQ(graph_->ConnectDirect(&filter_->Output(), &sink_->Input(), &type), E_FAIL);
  FreeMediaType(type);
  EXPECT_EQ(filter_->Granted().cbBuffer, 400);
  EXPECT_FALSE(filter_->Output().IsConnected());
  EXPECT_FALSE(sink_->Input().IsConnected());
}

TEST_F(TimeFilterInGraph, TypesOfferedAndRefused) {
  Build(1000.0, 800);
  AM_MEDIA_TYPE type{};
  EXPECT_EQ(filter_->GetMediaType(0, type), E_UNEXPECTED);  // nothing to copy yet
  ASSERT_EQ(ConnectInput(), S_OK);
  EXPECT_EQ(filter_->GetMediaType(-1, type), E_INVALIDARG);
  EXPECT_EQ(filter_->GetMediaType(1, type), VFW_S_NO_MORE_ITEMS);
  ASSERT_EQ(filter_->GetMediaType(0, type), S_OK);
  EXPECT_EQ(filter_->CheckTransform(source_->Offered(), type), S_OK);
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
    EXPECT_EQ(CopyMediaType(other, type), S_OK);
    changes[i](other, *reinterpret_cast<WAVEFORMATEX*>(other.pbFormat));
    EXPECT_EQ(filter_->CheckTransform(source_->Offered(), other), E_INVALIDARG);
    EXPECT_EQ(filter_->Output().QueryAccept(&other), S_FALSE);  // the platform's question, the same answer
    FreeMediaType(other);
  }
  FreeMediaType(type);
  // Equal but with three channels on both sides.
  AudioType three = MakeAudioType(1, 3, kRate, 16);
  AM_MEDIA_TYPE wide{};
  wide.majortype = MEDIATYPE_Audio;
  wide.formattype = FORMAT_WaveFormatEx;
  wide.cbFormat = sizeof(WAVEFORMATEX);
  wide.pbFormat = reinterpret_cast<BYTE*>(&three.wave);
  EXPECT_EQ(filter_->CheckTransform(wide, wide), E_INVALIDARG);
}

TEST_F(TimeFilterInGraph, ExtensionOfTheInputFormatIsDroppedFromTheOutputType) {
  AudioType type = MakeAudioType(1, 2, kRate, 16);
  type.wave.cbSize = 22;
  type.wave.nBlockAlign = 7;  // wrong on purpose: the output recomputes it
  Build(1000.0, 800, type);
  ASSERT_EQ(ConnectInput(), S_OK);
  AM_MEDIA_TYPE out{};
  ASSERT_EQ(filter_->GetMediaType(0, out), S_OK);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(out.pbFormat);
  EXPECT_EQ(wave->cbSize, 0);
  EXPECT_EQ(wave->nBlockAlign, 4);
  EXPECT_EQ(wave->nAvgBytesPerSec, 4 * kRate);
  FreeMediaType(out);
}

TEST_F(TimeFilterInGraph, ExpansionSplitsOneInputIntoSeveralOutputsAndStampsOnlyTheFirst) {
  // r = 5: S = 200 / 5 + 0.5 truncated = 40 input frames per window of H = 200.
  Connected(5000.0);
  Run();
  // Shorter than the window: nothing comes out, the stamps wait.
  ASSERT_EQ(source_->PushTimed(Ramp(100, 3).data(), 200, true, 1000, 2000, true), S_OK);
  EXPECT_EQ(sink_->samples.size(), 0u);
  // 300 frames complete the window: one hop of H frames, with the first
  // buffer's stamps, marks and sync point.
  ASSERT_EQ(source_->PushTimed(Ramp(300, 5).data(), 600, false, 3000, 4000), S_OK);
  ASSERT_EQ(sink_->samples.size(), 1u);
  const Captured& opened = sink_->samples[0];
  EXPECT_EQ(opened.bytes.size(), kHop * 2);
  EXPECT_TRUE(opened.discontinuity);
  EXPECT_TRUE(opened.syncPoint);
  ASSERT_TRUE(opened.hasTime);
  EXPECT_EQ(opened.start, 1000);
  EXPECT_EQ(opened.stop, 2000);
  // 400 more frames make 10 windows of 200 frames: 2000 frames in output
  // buffers of 1600 frames, the first full, the rest in a second one.
  ASSERT_EQ(source_->PushTimed(Ramp(400, 7).data(), 800, false, 5000, 6000), S_OK);
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

TEST_F(TimeFilterInGraph, LongFlushComesInSeveralBuffersBeforeTheEnd) {
  // r = 5 with one window of input: the flush keeps splicing while the
  // window holds at least H frames, H frames each, S = 40 fewer each time.
  Connected(5000.0);
  Run();
  ASSERT_EQ(Push(Ramp(kWindow, 3), true), S_OK);
  ASSERT_EQ(sink_->samples.size(), 1u);  // the first hop
  ASSERT_EQ(source_->PushEnd(), S_OK);
  // After the first window fill = 360; windows at 360, 320, 280, 240, 200
  // give 5 x 200 frames, then fill 160 < H gives a last block of 160, and
  // 1160 frames fit one 1600-frame buffer.
  ASSERT_EQ(sink_->samples.size(), 2u);
  EXPECT_EQ(sink_->samples[1].bytes.size() / 2, 5 * kHop + 160);
  EXPECT_EQ(sink_->samplesAtEnd, sink_->samples.size());
  EXPECT_EQ(sink_->endOfStreams, 1);
}

}  // namespace
}  // namespace quill::test
