// Drives a copying engine (time or pitch) the way the copying filter does:
// each input buffer pre-filtered once and fed until consumed, output buffers
// of a fixed size collected as they fill, then the flush until the engine
// reports its end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/audio_format.h"
#include "tests/native/engine_harness.h"
#include "twpitchs/pitch_engine.h"
#include "twtime/time_engine.h"
#include "tools/common/wav_file.h"

namespace quill::test {

template <class Kind, class Engine>
class CopyingRig {
 public:
  using Sample = typename Kind::Sample;

  // The engine's parameters are the caller's to set before Select().
  CopyingRig(std::uint16_t channels, std::uint32_t rate) : format_(FormatFor<Kind>(channels, rate)), channels(channels) {}

  HRESULT Select() { return engine.SelectFormat(&format_); }

  // Interleaved samples of input(frame, channel) on the engine scale.
  std::vector<Sample> Make(std::uint32_t frames,
                           const std::function<double(std::uint32_t, std::uint32_t)>& input) const {
    std::vector<Sample> v(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t f = 0; f < frames; ++f)
      for (std::uint32_t c = 0; c < channels; ++c) v[f * channels + c] = Kind::FromEngine(input(f, c));
    return v;
  }

  // Feeds `input` in buffers of inBlock frames into output buffers of
  // outBlock frames; appends what comes out to `out`. The first buffer may
  // carry a discontinuity.
  void Feed(const std::vector<Sample>& input, std::uint32_t inBlock, std::uint32_t outBlock, std::vector<Sample>& out,
            ProcessMode first = ProcessMode::Continue) {
    const std::uint32_t frames = static_cast<std::uint32_t>(input.size() / channels);
    std::vector<Sample> buffer(static_cast<std::size_t>(outBlock) * channels);
    for (std::uint32_t at = 0; at < frames;) {
      const std::uint32_t n = std::min(inBlock, frames - at);
      std::uint32_t done = 0;
      ProcessMode mode = at == 0 ? first : ProcessMode::Continue;
      // The engine may filter the buffer in place, as in the filter.
      std::vector<Sample> block(input.begin() + static_cast<std::ptrdiff_t>(at) * channels,
                                input.begin() + static_cast<std::ptrdiff_t>(at + n) * channels);
      ASSERT_EQ(engine.PreFilter(mode, block.data(), n), S_OK);
      for (int guard = 0;; ++guard) {
        ASSERT_LT(guard, 1 << 22) << "the engine stopped making progress";
        std::uint32_t in = n - done, room = outBlock;
        const HRESULT hr =
            engine.Process(mode, block.data() + static_cast<std::size_t>(done) * channels, &in, buffer.data(), &room);
        ASSERT_EQ(hr, S_OK);
        ASSERT_LE(in, n - done);
        ASSERT_LE(room, outBlock);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(room) * channels);
        done += in;
        mode = ProcessMode::Continue;
        if (done == n) break;
      }
      at += n;
    }
  }

  // Flushes into buffers of outBlock frames until S_FALSE; returns the frames.
  std::vector<Sample> Flush(std::uint32_t outBlock) {
    std::vector<Sample> out, buffer(static_cast<std::size_t>(outBlock) * channels);
    for (int guard = 0;; ++guard) {
      EXPECT_LT(guard, 1 << 22);
      if (guard >= 1 << 22) break;
      std::uint32_t room = outBlock;
      const HRESULT hr = engine.Process(ProcessMode::Tail, nullptr, nullptr, buffer.data(), &room);
      EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << hr;
      out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(room) * channels);
      if (hr != S_OK) break;
    }
    return out;
  }

  // Whole stream: feed, then flush.
  std::vector<Sample> Stream(const std::vector<Sample>& input, std::uint32_t inBlock, std::uint32_t outBlock,
                             ProcessMode first = ProcessMode::Continue) {
    std::vector<Sample> out;
    Feed(input, inBlock, outBlock, out, first);
    const auto tail = Flush(outBlock);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  }

  std::uint32_t Frames(const std::vector<Sample>& v) const { return static_cast<std::uint32_t>(v.size() / channels); }
  double At(const std::vector<Sample>& v, std::uint32_t f, std::uint32_t c) const {
    return Kind::ToEngine(v[static_cast<std::size_t>(f) * channels + c]);
  }

  Engine engine;

 private:
  AudioFormat format_;

 public:
  const std::uint16_t channels;
};

template <class Kind>
class TimeRig : public CopyingRig<Kind, TimeEngine> {
 public:
  TimeRig(std::uint16_t channels, std::uint32_t rate, std::int32_t mode, double finalTenths)
      : CopyingRig<Kind, TimeEngine>(channels, rate) {
    const TimeParams p{finalTenths, mode, 1200, 2646000.0, 0, 0};
    EXPECT_EQ(this->engine.SetParams(&p), S_OK);
    EXPECT_EQ(this->Select(), S_OK);
  }
};

}  // namespace quill::test
