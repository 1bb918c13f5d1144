// The pitch filter in real filter graphs: what it needs of the upstream
// allocator, stamps on the first output, the flush at the end of the
// stream, and the same bytes as the engine run in this process.
#include "filter/pitch_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/windows/copying_graph.h"
#include "tests/windows/host_compare.h"
#include "twpitchs/transpose.h"
#include "filter/time_filter.h"
#include "tools/common/wav_file.h"

namespace quill::test {
namespace {

constexpr DWORD kRate = 8000;

std::vector<std::int16_t> Tone(size_t frames, size_t from) {
  std::vector<std::int16_t> out(frames);
  for (size_t i = 0; i < frames; ++i) out[i] = static_cast<std::int16_t>(12000 * std::sin(0.11 * (from + i)));
  return out;
}

class PitchFilterInGraph : public CopyingFilterInGraph<PitchFilter> {
 protected:
  void Build(const PitchParams& p, long bufferBytes, bool readOnly = false) {
    params_ = p;
    BuildWith(
        bufferBytes, MakeAudioType(1, 1, kRate, 16),
        [&](PitchFilter* filter) {
          IPitchParams* params = nullptr;
          ASSERT_EQ(filter->QueryInterface(IID_IPitchParams, reinterpret_cast<void**>(&params)), S_OK);
          EXPECT_EQ(params->SetParams(&p), S_OK);
          params->Release();
        },
        readOnly);
  }

  // What the engine alone makes of the same buffers.
  std::vector<std::uint8_t> EngineOutput(const std::vector<std::int16_t>& all, std::uint32_t block) {
    PitchEngine engine;
    EXPECT_EQ(engine.SetParams(&params_), S_OK);
    WavData in;
    in.format = MakeFormat(1, 1, kRate, 16);
    in.bytes.resize(all.size() * 2);
    std::memcpy(in.bytes.data(), all.data(), in.bytes.size());
    return RunCopyingEngine(engine, in, block).bytes;
  }

  PitchParams params_{};
};

PitchParams Shift(std::int32_t semitones, std::int32_t preserve, std::int32_t antiAlias = 0) {
  return PitchParams{semitones, 0, 2, preserve, 16, 0, PageRatio(semitones, 0), antiAlias, 0, 2646000.0};
}

TEST_F(PitchFilterInGraph, ReadOnlyUpstreamBuffersAreRefused) {
  // The anti-alias filter writes into the input buffers.
  Build(Shift(12, 0, 1), 800, true);
  EXPECT_TRUE(FAILED(ConnectInput()));
  EXPECT_FALSE(filter_->Input().IsConnected());
}

TEST_F(PitchFilterInGraph, KeepingTheDurationStampsTheFirstOutputAndFlushesToTheInputLength) {
  Build(Shift(-7, 1), 800);
  ASSERT_EQ(ConnectInput(), S_OK);
  ASSERT_EQ(ConnectOutput(), S_OK);
  Run();
  std::vector<std::int16_t> all;
  for (int i = 0; i < 6; ++i) {
    const auto part = Tone(400, all.size());
    all.insert(all.end(), part.begin(), part.end());
    ASSERT_EQ(source_->PushTimed(part.data(), 800, i == 0, 1000 * (i + 1), 1000 * (i + 1) + 500, i == 0), S_OK);
  }
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
  const auto joined = sink_->Joined();
  EXPECT_EQ(joined.size(), all.size() * 2);
  EXPECT_EQ(joined, EngineOutput(all, 400));
}

TEST_F(PitchFilterInGraph, WithoutKeepingTheDurationTheEndPassesAtOnce) {
  Build(Shift(12, 0, 1), 800);
  ASSERT_EQ(ConnectInput(), S_OK);
  ASSERT_EQ(ConnectOutput(), S_OK);
  Run();
  std::vector<std::int16_t> all;
  for (int i = 0; i < 4; ++i) {
    const auto part = Tone(400, all.size());
    all.insert(all.end(), part.begin(), part.end());
    ASSERT_EQ(source_->Push(part.data(), 800, i == 0), S_OK);
  }
  const size_t before = sink_->samples.size();
  ASSERT_EQ(source_->PushEnd(), S_OK);
  EXPECT_EQ(sink_->samples.size(), before);
  EXPECT_EQ(sink_->endOfStreams, 1);
  // An octave up: half as many frames, less the kernel's last four.
  const auto joined = sink_->Joined();
  EXPECT_NEAR(static_cast<double>(joined.size() / 2), (1600 - 4) * 0.5, 1.0);
  EXPECT_EQ(joined, EngineOutput(all, 400));
}

}  // namespace
}  // namespace quill::test
