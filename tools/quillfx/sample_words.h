// Sample words as files store them, and the one conversion between words
// that is not exact: to a shorter integer word, rounding to nearest with
// optional triangular dither and clamping at full scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/audio_format.h"

namespace quill {

// What one stored sample is: integer of 8..32 bits or float of 32 or 64.
// bits 0: no fixed word (companded, ADPCM or perceptually coded data).
struct SampleWord {
  bool isFloat = false;
  std::uint16_t bits = 16;
  bool operator==(const SampleWord&) const = default;
};

SampleWord WordOf(SampleKind kind);
// "16-bit integer", "32-bit float"; empty for a word without fixed bits.
std::string WordText(SampleWord word);
// One of the words a PCM file can hold: integer 8, 16, 24, 32; float 32, 64.
bool IsPcmWord(SampleWord word);

// Whether every sample of `from` has an exact equal in `to`: converting
// then changes nothing, and the user need not hear of it.
bool Holds(SampleWord to, SampleWord from);

// Whether going from `from` to the integer word `to` drops resolution, and
// so wants dither. A 32-bit integer step lies some 190 dB below full scale,
// under the noise of any source, so rounding alone suffices there.
bool Shortens(SampleWord from, SampleWord to);

// Full-scale doubles (±1.0) to integers of `bits` (8..32), full scale being
// 2^(bits-1). One instance per stream: the dither sequence of each channel
// runs on from block to block, so the result does not depend on block sizes,
// and starts from a fixed seed, so the same run gives the same bytes.
class Quantizer {
 public:
  Quantizer(std::uint16_t bits, int channels, bool dither);

  // Interleaved frames; `out` receives values in -2^(bits-1) .. 2^(bits-1)-1.
  void Run(const double* in, std::int32_t* out, std::size_t frames);
  // Samples that lay beyond full scale (or were not numbers).
  std::uint64_t Clipped() const { return clipped_; }

 private:
  double scale_;
  double lo_, hi_;
  bool dither_;
  int channels_;
  std::vector<std::uint64_t> state_;  // one generator per channel
  std::uint64_t clipped_ = 0;
};

// Samples of a processing kind as full-scale doubles (exact for every kind).
void KindToDoubles(SampleKind kind, const std::uint8_t* data, std::size_t samples, double* out);
// Samples of an integer kind as integers of `bits`, at least the kind's own
// width: an exact shift.
void KindToInts(SampleKind kind, const std::uint8_t* data, std::size_t samples, std::uint16_t bits, std::int32_t* out);
// Integers of an integer kind's own width into its buffer (8-bit as offset bytes).
void IntsToKind(SampleKind kind, const std::int32_t* in, std::size_t samples, std::uint8_t* out);

}  // namespace quill
