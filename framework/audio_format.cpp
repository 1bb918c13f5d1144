#include "framework/audio_format.h"

#include <cstring>

namespace quill {

namespace {

// The leading 16 bytes every wave format block has.
struct WaveHeader {
  std::uint16_t formatTag;
  std::uint16_t channels;
  std::uint32_t sampleRate;
  std::uint32_t avgBytesPerSec;
  std::uint16_t blockAlign;
  std::uint16_t bitsPerSample;
};
static_assert(sizeof(WaveHeader) == 16);

WaveHeader ReadHeader(const MediaTypeView& type) {
  WaveHeader h;
  std::memcpy(&h, type.format, sizeof h);
  return h;
}

bool AcceptedWidth(std::uint16_t tag, std::uint16_t bits) {
  if (tag == kFormatPcm) return bits == 8 || bits == 16 || bits == 32;
  if (tag == kFormatFloat) return bits == 32 || bits == 64;
  return false;
}

}  // namespace

HRESULT CheckAudioType(const MediaTypeView& type) {
  if (!(type.majorType == kMediaTypeAudio)) return E_INVALIDARG;
  if (type.temporalCompression) return E_INVALIDARG;
  if (type.format == nullptr || type.formatLength < sizeof(WaveHeader)) return E_INVALIDARG;
  const WaveHeader h = ReadHeader(type);
  if (h.channels != 1 && h.channels != 2) return E_INVALIDARG;
  if (!AcceptedWidth(h.formatTag, h.bitsPerSample)) return E_INVALIDARG;
  return S_OK;
}

AudioFormat CaptureFormat(const MediaTypeView& type) {
  AudioFormat f{};
  if (type.format == nullptr || type.formatLength < sizeof(WaveHeader)) return f;
  const WaveHeader h = ReadHeader(type);
  f.formatTag = h.formatTag;
  f.channels = h.channels;
  f.sampleRate = h.sampleRate;
  f.bitsPerSample = h.bitsPerSample;
  f.blockAlign = static_cast<std::uint16_t>((h.bitsPerSample / 8) * h.channels);
  f.avgBytesPerSec = static_cast<std::uint32_t>(f.blockAlign) * f.sampleRate;
  f.extraSize = 0;
  return f;
}

std::optional<SampleKind> SampleKindOf(const AudioFormat& format) {
  if (format.formatTag == kFormatPcm) {
    switch (format.bitsPerSample) {
      case 8: return SampleKind::Pcm8;
      case 16: return SampleKind::Pcm16;
      case 32: return SampleKind::Pcm32;
      default: return std::nullopt;
    }
  }
  if (format.formatTag == kFormatFloat) {
    if (format.bitsPerSample == 32) return SampleKind::Float32;
    if (format.bitsPerSample == 64) return SampleKind::Float64;
  }
  return std::nullopt;
}

std::optional<SampleKind> CopyingKindOf(const AudioFormat& format) {
  if (format.formatTag == kFormatPcm) return SampleKindOf(format);
  if (format.bitsPerSample == 32) return SampleKind::Float32;
  if (format.bitsPerSample == 64) return SampleKind::Float64;
  return std::nullopt;
}

HRESULT ConnectedSampleRate(const AudioFormat* format, std::uint32_t* rate) {
  if (rate == nullptr) return E_POINTER;
  if (format == nullptr) {
    *rate = 44100;
    return E_FAIL;
  }
  *rate = format->sampleRate;
  return S_OK;
}

}  // namespace quill
