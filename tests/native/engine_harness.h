// Drives one in-place engine through an InPlaceStream on one format, with
// frames of normalised values: buffers in, then the tail the stream plays
// at the end. The typed tests run an engine in all five sample kinds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <source_location>
#include <vector>

#include "framework/audio_format.h"
#include "framework/in_place_stream.h"
#include "tools/common/wav_file.h"

namespace quill::test {

using AllKinds = ::testing::Types<Pcm8, Pcm16, Pcm32, Float32, Float64>;

template <class Kind>
AudioFormat FormatFor(std::uint16_t channels, std::uint32_t rate) {
  constexpr std::uint16_t kBits[] = {8, 16, 32, 32, 64};
  const bool isFloat = Kind::kind == SampleKind::Float32 || Kind::kind == SampleKind::Float64;
  return MakeFormat(isFloat ? 3 : 1, channels, rate, kBits[static_cast<int>(Kind::kind)]);
}

// Frame f of channel c of an interleaved buffer.
template <class S>
S At(const std::vector<S>& v, std::uint32_t channels, std::uint32_t f, std::uint32_t c) {
  return v[static_cast<std::size_t>(f) * channels + c];
}

// Helpers take the caller's place, so that a failure inside one names the test line too.
using Where = std::source_location;
struct CalledFrom : ::testing::ScopedTrace {
  explicit CalledFrom(Where w) : ScopedTrace(w.file_name(), static_cast<int>(w.line()), "called from here") {}
};

// The value of channel c at frame f.
using Signal = std::function<double(std::uint32_t, std::uint32_t)>;
inline Signal Impulse(double v, std::uint32_t at = 0) {
  return [=](std::uint32_t f, std::uint32_t) { return f == at ? v : 0.0; };
}
inline double Silent(std::uint32_t, std::uint32_t) { return 0.0; }
// A fixed pseudo-random sequence in [-scale, scale).
inline std::vector<double> Noise(std::size_t n, double scale, std::uint32_t seed = 12345) {
  std::vector<double> v(n);
  for (double& x : v) {
    seed = seed * 1103515245u + 12345u;
    x = static_cast<std::int32_t>(seed) / 2147483648.0 * scale;
  }
  return v;
}

// `frames` interleaved frames of `input` in the kind.
template <class Kind>
std::vector<typename Kind::Sample> Interleave(std::uint32_t frames, std::uint32_t channels, const Signal& input) {
  std::vector<typename Kind::Sample> data(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] =
        Kind::FromEngine(input(static_cast<std::uint32_t>(i / channels), static_cast<std::uint32_t>(i % channels)));
  return data;
}

// Largest error a round trip through the kind may add.
template <class Kind>
double Step() {
  constexpr double kSteps[] = {1.0 / 128, 1.0 / 32768, 1e-9, 1e-7, 1e-12};
  return kSteps[static_cast<int>(Kind::kind)];
}

template <class Engine, class Kind>
class EngineHarness {
 public:
  using Sample = typename Kind::Sample;

  // Sets the parameters and starts the stream.
  EngineHarness(std::uint16_t channels, std::uint32_t rate, const typename Engine::Params& p)
      : format_(FormatFor<Kind>(channels, rate)), stream_(engine) {
    EXPECT_EQ(engine.SetParams(&p), S_OK);
    EXPECT_EQ(stream_.Start(&format_), S_OK);
  }

  std::vector<Sample> Make(std::uint32_t frames, const Signal& input) const {
    return Interleave<Kind>(frames, format_.channels, input);
  }

  // `frames` frames through the stream in buffers of `block` (no frames:
  // one empty buffer); the first one may carry a discontinuity.
  std::vector<Sample> Run(std::uint32_t frames, const Signal& input, std::uint32_t block = 1000,
                          bool discontinuity = false, Where where = Where::current()) {
    const CalledFrom trace(where);
    std::vector<Sample> data = Make(frames, input);
    std::uint32_t at = 0;
    do {
      std::uint32_t n = std::min(block, frames - at);
      const std::uint32_t asked = n;
      EXPECT_EQ(stream_.Receive(data.data() + static_cast<std::size_t>(at) * format_.channels, &n,
                                discontinuity && at == 0),
                S_OK);
      EXPECT_EQ(n, asked);
      at += asked;
    } while (at < frames);
    return data;
  }
  std::vector<Sample> Silence(std::uint32_t frames, Where where = Where::current()) {
    return Run(frames, Silent, 1000, false, where);
  }

  // One buffer straight to the engine, outside the stream.
  HRESULT Process(ProcessMode mode, std::vector<Sample>& data, std::uint32_t& frames) {
    return engine.Process(Kind::kind, mode, data.data(), &frames);
  }

  // The end of the stream: tail buffers of `block` frames until the engine
  // reports the tail complete.
  std::vector<Sample> Tail(std::uint32_t block = 4096, int* calls = nullptr, Where where = Where::current()) {
    const CalledFrom trace(where);
    std::vector<Sample> all, buffer(static_cast<std::size_t>(block) * format_.channels);
    int count = 0;
    EXPECT_EQ(stream_.PlayTail([&](const auto& fill) {
      ++count;
      std::uint32_t n = 0;
      const HRESULT hr = fill(buffer.data(), static_cast<std::uint32_t>(buffer.size() * sizeof(Sample)), &n);
      all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n) * format_.channels);
      return hr;
    }),
              S_OK);
    if (calls != nullptr) *calls = count;
    return all;
  }

  // The kept format; the engine and the stream read it at every buffer.
  AudioFormat& Format() { return format_; }

  Engine engine;

 private:
  AudioFormat format_;
  InPlaceStream<Engine> stream_;
};

// What a fresh engine makes of `frames` frames of `input`.
template <class Engine, class Kind = Float64>
std::vector<typename Kind::Sample> Output(std::uint16_t channels, std::uint32_t rate, const typename Engine::Params& p,
                                          std::uint32_t frames, const Signal& input, Where where = Where::current()) {
  EngineHarness<Engine, Kind> h(channels, rate, p);
  return h.Run(frames, input, 1000, false, where);
}

}  // namespace quill::test
