#include "tools/quillfx/sample_words.h"

#include <cmath>
#include <cstring>

namespace quill {

namespace {

// One step of a 64-bit mixing generator; its two halves are the two
// independent uniform values a triangular dither sample needs.
double Triangular(std::uint64_t& state) {
  state += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  constexpr double kUnit = 1.0 / 4294967296.0;
  return static_cast<double>(z >> 32) * kUnit - static_cast<double>(z & 0xFFFFFFFFu) * kUnit;
}

}  // namespace

SampleWord WordOf(SampleKind kind) {
  switch (kind) {
    case SampleKind::Pcm8:
      return {false, 8};
    case SampleKind::Pcm16:
      return {false, 16};
    case SampleKind::Pcm32:
      return {false, 32};
    case SampleKind::Float32:
      return {true, 32};
    case SampleKind::Float64:
      break;
  }
  return {true, 64};
}

std::string WordText(SampleWord word) {
  if (word.bits == 0) return {};
  return std::to_string(word.bits) + (word.isFloat ? "-bit float" : "-bit integer");
}

bool IsPcmWord(SampleWord word) {
  if (word.isFloat) return word.bits == 32 || word.bits == 64;
  return word.bits == 8 || word.bits == 16 || word.bits == 24 || word.bits == 32;
}

bool Holds(SampleWord to, SampleWord from) {
  if (from.bits == 0) return false;  // coded data is decoded, never held as it was
  if (!to.isFloat) return !from.isFloat && from.bits <= to.bits;
  const int mantissa = to.bits == 32 ? 24 : 53;
  return from.isFloat ? from.bits <= to.bits : from.bits <= mantissa;
}

bool Shortens(SampleWord from, SampleWord to) {
  if (to.isFloat || to.bits >= 32) return false;
  return from.isFloat || from.bits == 0 || from.bits > to.bits;
}

Quantizer::Quantizer(std::uint16_t bits, int channels, bool dither)
    : scale_(std::ldexp(1.0, bits - 1)),
      lo_(-scale_),
      hi_(scale_ - 1.0),
      dither_(dither),
      channels_(channels),
      state_(static_cast<std::size_t>(channels)) {
  // Fixed, distinct seeds: the channels' dither is uncorrelated, and the
  // same input always gives the same output.
  for (int c = 0; c < channels; ++c) state_[static_cast<std::size_t>(c)] = 0x7175696C6C667831ull + 0x1000u * c;
}

void Quantizer::Run(const double* in, std::int32_t* out, std::size_t frames) {
  for (std::size_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels_; ++c, ++in, ++out) {
      const double v = *in * scale_;
      double q = std::floor(v);
      // A sample already on the grid of the shorter word is kept as it is,
      // without dither: digital silence stays silent and a word that only
      // passed through a wider one comes back bit for bit. Its error is
      // zero, so there is nothing for dither to decorrelate.
      if (q != v) {
        if (std::isnan(v)) {
          *out = 0;
          ++clipped_;
          continue;
        }
        q = std::floor(v + 0.5 + (dither_ ? Triangular(state_[static_cast<std::size_t>(c)]) : 0.0));
      }
      // Clipping is judged on the value rounded without dither: dither that
      // pushes a sample just below full scale over the limit is clamped
      // quietly, since the signal itself fits.
      if (v >= hi_ + 0.5) {
        ++clipped_;
        q = hi_;
      } else if (v < lo_ - 0.5) {
        ++clipped_;
        q = lo_;
      } else if (q > hi_) {
        q = hi_;
      } else if (q < lo_) {
        q = lo_;
      }
      *out = static_cast<std::int32_t>(q);
    }
  }
}

void KindToDoubles(SampleKind kind, const std::uint8_t* data, std::size_t samples, double* out) {
  switch (kind) {
    case SampleKind::Pcm8:
      for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<std::int8_t>(data[i] ^ 0x80) * (1.0 / 128.0);
      break;
    case SampleKind::Pcm16: {
      const auto* s = reinterpret_cast<const std::int16_t*>(data);
      for (std::size_t i = 0; i < samples; ++i) out[i] = s[i] * (1.0 / 32768.0);
      break;
    }
    case SampleKind::Pcm32: {
      const auto* s = reinterpret_cast<const std::int32_t*>(data);
      for (std::size_t i = 0; i < samples; ++i) out[i] = s[i] * (1.0 / 2147483648.0);
      break;
    }
    case SampleKind::Float32: {
      const auto* s = reinterpret_cast<const float*>(data);
      for (std::size_t i = 0; i < samples; ++i) out[i] = s[i];
      break;
    }
    case SampleKind::Float64:
      std::memcpy(out, data, samples * sizeof(double));
      break;
  }
}

void KindToInts(SampleKind kind, const std::uint8_t* data, std::size_t samples, std::uint16_t bits, std::int32_t* out) {
  switch (kind) {
    case SampleKind::Pcm8: {
      const int shift = bits - 8;
      for (std::size_t i = 0; i < samples; ++i)
        out[i] =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int8_t>(data[i] ^ 0x80)) << shift);
      break;
    }
    case SampleKind::Pcm16: {
      const auto* s = reinterpret_cast<const std::int16_t*>(data);
      const int shift = bits - 16;
      for (std::size_t i = 0; i < samples; ++i)
        out[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(s[i]) << shift);
      break;
    }
    case SampleKind::Pcm32:
      std::memcpy(out, data, samples * sizeof(std::int32_t));
      break;
    case SampleKind::Float32:
    case SampleKind::Float64:
      break;  // not an integer kind
  }
}

void IntsToKind(SampleKind kind, const std::int32_t* in, std::size_t samples, std::uint8_t* out) {
  switch (kind) {
    case SampleKind::Pcm8:
      for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<std::uint8_t>(in[i] + 0x80);
      break;
    case SampleKind::Pcm16: {
      auto* s = reinterpret_cast<std::int16_t*>(out);
      for (std::size_t i = 0; i < samples; ++i) s[i] = static_cast<std::int16_t>(in[i]);
      break;
    }
    case SampleKind::Pcm32:
      std::memcpy(out, in, samples * sizeof(std::int32_t));
      break;
    case SampleKind::Float32:
    case SampleKind::Float64:
      break;  // not an integer kind
  }
}

}  // namespace quill
