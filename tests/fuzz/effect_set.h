// What the fault harness needs of the six engines, shared by the Load
// fuzzer and the threaded-edit test: the engines by index, whether a stored
// field value is one its row lets the block hold, noise in every sample
// kind, and short streams through an engine as its filter drives it, with
// a look at every float sample that comes out.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <type_traits>
#include <vector>

#include "dsp/copying_loop.h"
#include "dsp/frame_outlet.h"
#include "framework/audio_format.h"
#include "framework/field_table.h"
#include "framework/in_place_stream.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill::fault {

inline constexpr int kEffectCount = 6;
inline constexpr const char* kEffectNames[kEffectCount] = {"twechos",  "twechomt", "twreverb",
                                                           "twchorus", "twtime",   "twpitchs"};

// -1 if `name` is none of the six.
inline int EffectIndex(const char* name) {
  for (int i = 0; i < kEffectCount; ++i)
    if (std::strcmp(name, kEffectNames[i]) == 0) return i;
  return -1;
}

// Calls fn(Engine{}, Traits{}) as type tags for effect `index` (0..5).
template <class Fn>
decltype(auto) WithEffect(int index, Fn&& fn) {
  switch (index) {
    case 0:
      return fn(std::type_identity<SimpleDelayEngine>{}, std::type_identity<SimpleDelayTraits>{});
    case 1:
      return fn(std::type_identity<MultiTapEngine>{}, std::type_identity<MultiTapTraits>{});
    case 2:
      return fn(std::type_identity<ReverbEngine>{}, std::type_identity<ReverbTraits>{});
    case 3:
      return fn(std::type_identity<ChorusEngine>{}, std::type_identity<ChorusTraits>{});
    case 4:
      return fn(std::type_identity<TimeEngine>{}, std::type_identity<TimeTraits>{});
    default:
      break;
  }
  return fn(std::type_identity<PitchEngine>{}, std::type_identity<PitchTraits>{});
}

template <class Engine>
inline constexpr bool kCopying = std::is_base_of_v<FrameProcessor, Engine>;

// Whether the block may hold `value` in this row once a whole-block set or
// a load has been through it: clamped rows only values within their range,
// positive-only rows any positive finite number. Table rows are stored as
// given (a stream plays the nearest row for one outside the table).
inline bool Holdable(const FieldInfo& f, double value) {
  if (f.range == FieldRange::Table || f.range == FieldRange::None) return true;
  if (f.range == FieldRange::Positive) return value > 0 && std::isfinite(value);
  return WithinRange(f, value);
}

// The first row whose stored value the block may not hold; null if none.
inline const FieldInfo* OutOfRange(FieldTable table, const void* block) {
  for (const FieldInfo& f : table)
    if (!Holdable(f, ReadFieldValue(block, f))) return &f;
  return nullptr;
}

inline std::size_t FieldBytes(const FieldInfo& f) {
  return f.type == FieldType::Double ? 8 : 4;
}

// A small generator, the same on every run for a seed.
struct Noise {
  std::uint32_t state;
  std::uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state;
  }
  // In [-1, 1).
  double Sample() { return static_cast<std::int32_t>(Next()) / 2147483648.0; }
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : (Next() >> 8) % n; }
};

inline constexpr std::uint32_t kRates[] = {8000, 22050, 44100, 48000, 96000};

// The wave format header of a kind: tag 1 for PCM, 3 for float.
inline AudioFormat FormatOf(SampleKind kind, std::uint16_t channels, std::uint32_t rate) {
  constexpr std::uint16_t kBits[] = {8, 16, 32, 32, 64};
  const std::uint16_t bits = kBits[static_cast<int>(kind)];
  AudioFormat f{};
  f.formatTag = kind == SampleKind::Float32 || kind == SampleKind::Float64 ? kFormatFloat : kFormatPcm;
  f.channels = channels;
  f.sampleRate = rate;
  f.blockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
  f.bitsPerSample = bits;
  f.avgBytesPerSec = f.blockAlign * rate;
  return f;
}

// Noise; with `poison`, one sample of a float kind is then a NaN or an
// infinity, as a hostile host may send. True if one was put in.
inline bool FillNoise(SampleKind kind, void* data, std::size_t samples, Noise& noise, bool poison = false) {
  return WithSampleKind(kind, [&](auto k) {
    using Kind = decltype(k);
    auto* s = static_cast<typename Kind::Sample*>(data);
    for (std::size_t i = 0; i < samples; ++i) s[i] = Kind::FromEngine(noise.Sample());
    if constexpr (Kind::kBounded) {
      return false;
    } else {
      if (!poison || samples == 0) return false;
      constexpr double kWild[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL};
      s[noise.Below(static_cast<std::uint32_t>(samples))] = static_cast<typename Kind::Sample>(kWild[noise.Below(3)]);
      return true;
    }
  });
}

// True unless a float kind holds a NaN or an infinity.
inline bool AllFinite(SampleKind kind, const void* data, std::size_t samples) {
  const auto check = [&](auto* s) {
    for (std::size_t i = 0; i < samples; ++i)
      if (!std::isfinite(s[i])) return false;
    return true;
  };
  if (kind == SampleKind::Float32) return check(static_cast<const float*>(data));
  if (kind == SampleKind::Float64) return check(static_cast<const double*>(data));
  return true;
}

// What a short stream showed.
struct StreamResult {
  bool finite = true;      // no NaN or infinity in float output
  bool countsKept = true;  // no buffer came back longer than it went in
  bool played = true;      // no buffer failed: no setting stops a stream
  // In place: every buffer holding a NaN or an infinity answered
  // kStateCleared, and no clean buffer right after one did (the lines were
  // clear again).
  bool recovered = true;
  bool bounded = true;  // a copying engine made at most kMostPerFrame frames per frame in, and its flush
};

// An in-place engine through a start, `sizes` buffers of noise (between(i)
// is called before buffer i), then at most `tailBuffers` tail buffers of
// 256 frames, and the stop. Failures of the engine are its own business:
// only what comes out is judged.
template <class Engine, class Between>
StreamResult StreamInPlace(Engine& engine, const AudioFormat& format, std::span<const std::uint32_t> sizes,
                           int tailBuffers, Noise& noise, Between&& between, bool poison = false) {
  StreamResult r;
  const SampleKind kind = *SampleKindOf(format);
  InPlaceStream<Engine> stream(engine);
  r.played = SUCCEEDED(stream.Start(&format));
  std::vector<std::uint8_t> buffer;
  bool clearedBefore = false;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    between(i);
    const std::uint32_t n = sizes[i];
    buffer.resize(std::max<std::size_t>(1, static_cast<std::size_t>(n) * format.blockAlign));
    // Every other buffer, so that a clean one follows each.
    const bool wild =
        FillNoise(kind, buffer.data(), static_cast<std::size_t>(n) * format.channels, noise, poison && i % 2 == 0);
    std::uint32_t frames = n;
    const HRESULT hr = stream.Receive(buffer.data(), &frames);
    r.played &= SUCCEEDED(hr);
    if (SUCCEEDED(hr)) {
      r.countsKept &= frames <= n;
      r.finite &= AllFinite(kind, buffer.data(), static_cast<std::size_t>(std::min(frames, n)) * format.channels);
      r.recovered &= wild ? hr == kStateCleared : !(clearedBefore && hr == kStateCleared);
    }
    clearedBefore = hr == kStateCleared;
  }
  constexpr std::uint32_t kTailFrames = 256;
  buffer.resize(static_cast<std::size_t>(kTailFrames) * format.blockAlign);
  int left = tailBuffers;
  stream.PlayTail([&](const auto& fill) -> HRESULT {
    if (left-- <= 0) return S_FALSE;
    std::uint32_t frames = 0;
    const HRESULT hr = fill(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &frames);
    if (SUCCEEDED(hr)) {
      r.countsKept &= frames <= kTailFrames;
      r.finite &=
          AllFinite(kind, buffer.data(), static_cast<std::size_t>(std::min(frames, kTailFrames)) * format.channels);
    }
    return hr;
  });
  // The stop, and the format gone with the connection, as in the filter.
  engine.ReleaseLine();
  engine.SetFormat(nullptr);
  return r;
}

// The most output frames any setting makes of one input frame: the pitch
// effect's lowest ratio, which it plays for any ratio below.
inline double MostPerFrame() {
  return 1.0 / FieldAt(PitchTraits::Fields(), offsetof(PitchParams, ratio))->lo;
}

// A copying engine through its filter's buffer loop: the format selected,
// `sizes` buffers of noise (the first a discontinuity; between(i) before
// buffer i), then the end of the stream with its flush. The outlet refuses
// delivery beyond MostPerFrame() frames per frame in and the longest flush,
// which ends each later call early and fails the stream as unbounded.
template <class Engine, class Between>
StreamResult StreamCopying(Engine& engine, const AudioFormat& format, std::span<const std::uint32_t> sizes,
                           Noise& noise, Between&& between, bool poison = false) {
  StreamResult r;
  const SampleKind kind = *CopyingKindOf(format);
  const std::uint32_t align = format.blockAlign;
  std::uint32_t largest = 1;
  std::uint64_t total = 0;
  for (std::uint32_t n : sizes) {
    largest = std::max(largest, n);
    total += n;
  }
  // A flush adds at most one window, a third of a second (two with the
  // stretcher behind the resampler), to what the ratio makes.
  const auto budget = static_cast<std::uint64_t>(MostPerFrame() * total) + format.sampleRate;
  FrameOutlet outlet;
  outlet.SetBuffer(std::max<std::size_t>(512, 2 * static_cast<std::size_t>(largest) * align), align);
  std::uint64_t delivered = 0;
  const FrameSink sink = [&](std::uint8_t* data, std::uint32_t frames) -> HRESULT {
    delivered += frames;
    if (delivered > budget) r.bounded = false;
    if (!r.bounded) return E_FAIL;
    r.finite &= AllFinite(kind, data, static_cast<std::size_t>(frames) * format.channels);
    return S_OK;
  };
  outlet.SetSink(&sink);
  CopyingLoop loop(engine, outlet);
  loop.SetFormats(&format, &format);
  r.played = SUCCEEDED(engine.SelectFormat(&format));
  std::vector<std::uint8_t> buffer;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    between(i);
    const std::uint32_t n = sizes[i];
    buffer.resize(std::max<std::size_t>(1, static_cast<std::size_t>(n) * align));
    FillNoise(kind, buffer.data(), static_cast<std::size_t>(n) * format.channels, noise, poison && i % 2 == 0);
    InputSample in;
    in.data = buffer.data();
    in.length = n * align;
    in.discontinuity = i == 0;
    r.played &= SUCCEEDED(loop.Receive(in)) || !r.bounded;
  }
  r.played &= SUCCEEDED(loop.EndOfStream()) || !r.bounded;
  return r;
}

}  // namespace quill::fault
