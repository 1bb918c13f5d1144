// Drives a copying engine (time or pitch) through the copying filters' own
// buffer loop over plain memory: input buffers of a chosen size, output
// buffers of another, then the end of the stream with its flush.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "dsp/copying_loop.h"
#include "dsp/frame_outlet.h"
#include "tests/native/engine_harness.h"
#include "twpitchs/pitch_engine.h"
#include "twtime/time_engine.h"

namespace quill::test {

template <class Kind, class Engine>
class CopyingRig {
 public:
  using Sample = typename Kind::Sample;

  CopyingRig(std::uint16_t channels, std::uint32_t rate, const typename Engine::Params& p)
      : channels(channels), format_(FormatFor<Kind>(channels, rate)) {
    EXPECT_EQ(engine.SetParams(&p), S_OK);
    EXPECT_EQ(engine.SelectFormat(&format_), S_OK);
    loop_.SetFormats(&format_, &format_);
    outlet_.SetSink(&sink_);
  }

  std::vector<Sample> Make(std::uint32_t frames, const Signal& input) const {
    return Interleave<Kind>(frames, channels, input);
  }

  // `input` in buffers of inBlock frames into output buffers of outBlock
  // frames; returns what came out. The first buffer may carry a discontinuity.
  std::vector<Sample> Feed(const std::vector<Sample>& input, std::uint32_t inBlock, std::uint32_t outBlock,
                           bool discontinuity = false, Where where = Where::current(), bool take = true) {
    const CalledFrom trace(where);
    Outputs(outBlock);
    const std::uint32_t frames = Frames(input);
    for (std::uint32_t at = 0; at < frames; at += inBlock) {
      const std::uint32_t n = std::min(inBlock, frames - at);
      // The engine may filter the buffer in place, as in the filter.
      std::vector<Sample> block(input.begin() + static_cast<std::ptrdiff_t>(at) * channels,
                                input.begin() + static_cast<std::ptrdiff_t>(at + n) * channels);
      InputSample in;
      in.data = reinterpret_cast<std::uint8_t*>(block.data());
      in.length = static_cast<std::uint32_t>(block.size() * sizeof(Sample));
      in.discontinuity = discontinuity && at == 0;
      EXPECT_EQ(loop_.Receive(in), S_OK) << "at frame " << at;
    }
    return take ? Take() : std::vector<Sample>();
  }

  // The end of the stream in output buffers of outBlock frames.
  std::vector<Sample> Flush(std::uint32_t outBlock, Where where = Where::current()) {
    const CalledFrom trace(where);
    Outputs(outBlock);
    EXPECT_EQ(loop_.EndOfStream(), S_OK);
    return Take();
  }

  std::vector<Sample> Stream(const std::vector<Sample>& input, std::uint32_t inBlock, std::uint32_t outBlock,
                             bool discontinuity = false, Where where = Where::current()) {
    Feed(input, inBlock, outBlock, discontinuity, where, false);
    return Flush(outBlock, where);
  }

  std::uint32_t Frames(const std::vector<Sample>& v) const { return static_cast<std::uint32_t>(v.size() / channels); }
  double At(const std::vector<Sample>& v, std::uint32_t f, std::uint32_t c) const {
    return Kind::ToEngine(v[static_cast<std::size_t>(f) * channels + c]);
  }

  Engine engine;
  const std::uint16_t channels;

 private:
  void Outputs(std::uint32_t frames) {
    outlet_.SetBuffer(static_cast<std::size_t>(frames) * format_.blockAlign, format_.blockAlign);
  }
  std::vector<Sample> Take() { return std::exchange(got_, {}); }

  AudioFormat format_;
  std::vector<Sample> got_;
  const FrameSink sink_ = [this](std::uint8_t* data, std::uint32_t frames) {
    const auto* s = reinterpret_cast<const Sample*>(data);
    got_.insert(got_.end(), s, s + static_cast<std::size_t>(frames) * channels);
    return S_OK;
  };
  FrameOutlet outlet_;
  CopyingLoop loop_{engine, outlet_};
};

// The time engine at a final length in tenths of a percent, in one stretch mode.
inline TimeParams Time(std::int32_t mode, double finalTenths) {
  return TimeParams{finalTenths, mode, 1200, 2646000.0, 0, 0};
}
template <class Kind>
using TimeRig = CopyingRig<Kind, TimeEngine>;

}  // namespace quill::test
