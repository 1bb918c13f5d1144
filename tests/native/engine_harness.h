// Drives one in-place engine on one format with frames of normalised values,
// for the typed tests that run an engine in all five sample kinds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "framework/audio_format.h"
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

template <class Engine, class Kind>
class EngineHarness {
 public:
  using Sample = typename Kind::Sample;

  EngineHarness(std::uint16_t channels, std::uint32_t rate, const typename Engine::Params& p)
      : format_(FormatFor<Kind>(channels, rate)), channels_(channels) {
    engine.SetFormat(&format_);
    EXPECT_EQ(engine.SetParams(&p), S_OK);
    EXPECT_EQ(engine.Restart(), S_OK);
  }

  // Processes `frames` frames in blocks; `input(frame, channel)` gives x.
  template <class Fn>
  std::vector<Sample> Run(std::uint32_t frames, Fn input, std::uint32_t block = 1000,
                          ProcessMode first = ProcessMode::Continue) {
    std::vector<Sample> data(static_cast<std::size_t>(frames) * channels_);
    for (std::uint32_t f = 0; f < frames; ++f)
      for (std::uint32_t c = 0; c < channels_; ++c) data[f * channels_ + c] = Kind::FromEngine(input(f, c));
    for (std::uint32_t at = 0; at < frames; at += block) {
      std::uint32_t n = std::min(block, frames - at);
      const std::uint32_t asked = n;
      const ProcessMode mode = at == 0 ? first : ProcessMode::Continue;
      EXPECT_EQ(engine.Process(Kind::kind, mode, data.data() + static_cast<std::size_t>(at) * channels_, &n), S_OK);
      EXPECT_EQ(n, asked);
    }
    return data;
  }

  // Silence in, as many frames as asked.
  std::vector<Sample> Silence(std::uint32_t frames, std::uint32_t block = 1000) {
    return Run(
        frames, [](std::uint32_t, std::uint32_t) { return 0.0; }, block);
  }

  // Asks for tail blocks until the engine reports the end; returns all tail frames.
  std::vector<Sample> Tail(std::uint32_t block = 4096, int* calls = nullptr) {
    std::vector<Sample> all;
    HRESULT hr;
    int count = 0;
    do {
      std::vector<Sample> buf(static_cast<std::size_t>(block) * channels_, Kind::silence);
      std::uint32_t n = block;
      hr = engine.Process(Kind::kind, ProcessMode::Tail, buf.data(), &n);
      EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
      EXPECT_TRUE(hr == S_FALSE || n == block);
      all.insert(all.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n) * channels_);
      ++count;
    } while (hr == S_OK && count < 100000);
    if (calls != nullptr) *calls = count;
    return all;
  }

  const AudioFormat& Format() const { return format_; }

  Engine engine;

 private:
  AudioFormat format_;
  std::uint32_t channels_;
};

// Largest error a round trip through the kind may add (one step of the
// integer kinds, rounding of the float kinds).
template <class Kind>
double Step() {
  switch (Kind::kind) {
    case SampleKind::Pcm8:
      return 1.0 / 128;
    case SampleKind::Pcm16:
      return 1.0 / 32768;
    case SampleKind::Pcm32:
      return 1e-9;
    case SampleKind::Float32:
      return 1e-7;
    case SampleKind::Float64:
      break;
  }
  return 1e-12;
}

}  // namespace quill::test
