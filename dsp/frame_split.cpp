#include "dsp/frame_split.h"

#include "dsp/wide_path.h"
#include "framework/audio_format.h"

#if QUILL_WIDE_PATH
#include <immintrin.h>
#endif

namespace quill {

void SplitPcm16Portable(const std::int16_t* frames, std::uint32_t n, double gain, double* left, double* right) {
  for (std::uint32_t i = 0; i < n; ++i) {
    left[i] = Pcm16::ToEngine(frames[2 * i]) * gain;
    right[i] = Pcm16::ToEngine(frames[2 * i + 1]) * gain;
  }
}

void ScalePcm16Portable(const std::int16_t* words, std::uint32_t n, double gain, double* out) {
  for (std::uint32_t i = 0; i < n; ++i) out[i] = Pcm16::ToEngine(words[i]) * gain;
}

#if QUILL_WIDE_PATH

namespace {

QUILL_WIDE void ScaleWide(const std::int16_t* words, std::uint32_t n, double gain, double* out) {
  const __m256d scale = _mm256_set1_pd(Pcm16::ToEngine(1)), g = _mm256_set1_pd(gain);
  std::uint32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i)));
    _mm256_storeu_pd(out + i, _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(x)), scale), g));
    _mm256_storeu_pd(out + i + 4,
                     _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(x, 1)), scale), g));
  }
  ScalePcm16Portable(words + i, n - i, gain, out + i);
}

QUILL_WIDE void SplitWide(const std::int16_t* frames, std::uint32_t n, double gain, double* left, double* right) {
  // Within each half: the four left words, then the four right words.
  const __m256i apart = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,  //
                                         0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
  const __m256d scale = _mm256_set1_pd(Pcm16::ToEngine(1)), g = _mm256_set1_pd(gain);
  std::uint32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frames + 2 * i));
    // Left words of both halves low, right words high.
    const __m256i sides = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(words, apart), 0xD8);
    const __m256i l = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(sides));
    const __m256i r = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(sides, 1));
    // ToEngine's product with its scale, then the gain's: the portable order.
    _mm256_storeu_pd(left + i, _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(l)), scale), g));
    _mm256_storeu_pd(left + i + 4,
                     _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(l, 1)), scale), g));
    _mm256_storeu_pd(right + i, _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(r)), scale), g));
    _mm256_storeu_pd(right + i + 4,
                     _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(r, 1)), scale), g));
  }
  SplitPcm16Portable(frames + 2 * i, n - i, gain, left + i, right + i);
}

}  // namespace

#endif

SplitPcm16Fn SplitPcm16Wide() {
#if QUILL_WIDE_PATH
  return WidePathRuns() ? SplitWide : nullptr;
#else
  return nullptr;
#endif
}

ScalePcm16Fn ScalePcm16Wide() {
#if QUILL_WIDE_PATH
  return WidePathRuns() ? ScaleWide : nullptr;
#else
  return nullptr;
#endif
}

}  // namespace quill
