// Audio formats the effects accept, the sample kinds that follow from them,
// and the conversions between samples and the engines' normalised doubles.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "include/quillfx1.h"

namespace quill {

// The audio major type: the GUID built on the four characters "auds".
inline constexpr GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

inline constexpr std::uint16_t kFormatPcm = 1;
inline constexpr std::uint16_t kFormatFloat = 3;

// What the acceptance check looks at in an offered media type.
struct MediaTypeView {
  GUID majorType;
  bool temporalCompression;
  const void* format;          // the format block (a wave format header)
  std::uint32_t formatLength;  // its length in bytes
};

// S_OK if the filters can take this type, E_INVALIDARG otherwise.
HRESULT CheckAudioType(const MediaTypeView& type);

// The kept copy of an accepted format: the derived fields recomputed.
AudioFormat CaptureFormat(const MediaTypeView& type);

enum class SampleKind { Pcm8, Pcm16, Pcm32, Float32, Float64 };

// The kind for a kept format; none for a format the filters do not take.
std::optional<SampleKind> SampleKindOf(const AudioFormat& format);

// The copying engines' reading of a format: tag 1 by its depth (8, 16, 32),
// any other tag as floating point by its depth (32, 64); none otherwise.
std::optional<SampleKind> CopyingKindOf(const AudioFormat& format);

// GetSampleRate of the time and pitch interfaces: the connected rate, or
// 44100 with E_FAIL while no format is connected.
HRESULT ConnectedSampleRate(const AudioFormat* format, std::uint32_t* rate);

enum class ProcessMode : std::int32_t { Discontinuity = 0, Continue = 1, Tail = 2 };

// The success of a processing routine whose feedback path (a delay line, a
// recirculating filter) met a NaN or an infinity and cleared itself, rather
// than keep it and sound of nothing else from then on; the buffer was
// processed. Only samples of float kinds can bring one in. In mode Tail it
// ends the tail as S_FALSE does: what was left of it is silence.
inline constexpr HRESULT kStateCleared = 0x00040200;

// Sample kinds as traits: the engines' loops are templates over these.
struct Pcm8 {
  using Sample = std::uint8_t;
  static constexpr SampleKind kind = SampleKind::Pcm8;
  // Every sample is a finite value within full scale.
  static constexpr bool kBounded = true;
  static constexpr Sample silence = 0x80;
  static double ToEngine(Sample s) { return static_cast<std::int8_t>(s ^ 0x80) * 0.0078125; }
  // Truncates toward zero and saturates; the comparisons on the scaled value
  // give the same answers as on its truncation, without a rounding call.
  // Written as selections rather than early returns, so that a loop of
  // conversions compiles to vector minimum and maximum instructions. An
  // infinity saturates like any large value; a NaN, which no comparison
  // catches and no integer can hold, is silence.
  static Sample FromEngine(double y) {
    double t = y * 128.0;
    t = t < -128.0 ? -128.0 : t;
    t = t > 127.0 ? 127.0 : t;
    t = t == t ? t : 0.0;
    return static_cast<Sample>(static_cast<std::uint8_t>(static_cast<std::int32_t>(t)) ^ 0x80);
  }
};

struct Pcm16 {
  using Sample = std::int16_t;
  static constexpr SampleKind kind = SampleKind::Pcm16;
  static constexpr bool kBounded = true;
  static constexpr Sample silence = 0;
  static double ToEngine(Sample s) { return s * 3.0517578125e-5; }
  static Sample FromEngine(double y) {
    double t = y * 32768.0;
    t = t < -32768.0 ? -32768.0 : t;
    t = t > 32767.0 ? 32767.0 : t;
    t = t == t ? t : 0.0;
    return static_cast<Sample>(static_cast<std::int32_t>(t));
  }
};

struct Pcm32 {
  using Sample = std::int32_t;
  static constexpr SampleKind kind = SampleKind::Pcm32;
  static constexpr bool kBounded = true;
  static constexpr Sample silence = 0;
  static double ToEngine(Sample s) { return s * 4.656612873077393e-10; }
  static Sample FromEngine(double y) {
    double z = y * 2147483648.0;
    z = z < -2147483648.0 ? -2147483648.0 : z;
    z = z > 2147483647.0 ? 2147483647.0 : z;
    z = z == z ? z : 0.0;
    return static_cast<Sample>(z);  // conversion truncates toward zero
  }
};

struct Float32 {
  using Sample = float;
  static constexpr SampleKind kind = SampleKind::Float32;
  static constexpr bool kBounded = false;
  static constexpr Sample silence = 0.0f;
  static double ToEngine(Sample s) { return s; }
  // Beyond the float range a double rounds to an infinity; KeepFinite
  // then makes it the largest float (sample_block.h).
  static Sample FromEngine(double y) { return static_cast<float>(y); }
};

struct Float64 {
  using Sample = double;
  static constexpr SampleKind kind = SampleKind::Float64;
  static constexpr bool kBounded = false;
  static constexpr Sample silence = 0.0;
  static double ToEngine(Sample s) { return s; }
  static Sample FromEngine(double y) { return y; }
};

// Amplitude factor of a level in tenths of a dB; exactly 0.0 at or below the
// floor. Every level's row keeps it finite (field_table.h).
inline double DbToGain(std::int32_t level, std::int32_t floor) {
  return level > floor ? std::pow(10.0, level * 0.005) : 0.0;
}

// Calls fn with the traits type for `kind` (one switch per buffer, none per sample).
template <class Fn>
decltype(auto) WithSampleKind(SampleKind kind, Fn&& fn) {
  switch (kind) {
    case SampleKind::Pcm8: return fn(Pcm8{});
    case SampleKind::Pcm16: return fn(Pcm16{});
    case SampleKind::Pcm32: return fn(Pcm32{});
    case SampleKind::Float32: return fn(Float32{});
    case SampleKind::Float64: break;
  }
  return fn(Float64{});
}

// The in-place engines' processing entry: refuses missing pointers, then
// calls run(traits, samples) with the buffer typed for its kind.
template <class Fn>
HRESULT ProcessByKind(SampleKind kind, void* data, const std::uint32_t* frames, Fn&& run) {
  if (frames == nullptr || (data == nullptr && *frames != 0)) return E_POINTER;
  return WithSampleKind(kind, [&](auto k) { return run(k, static_cast<typename decltype(k)::Sample*>(data)); });
}

}  // namespace quill
