// Whole runs of engine values converted to a sample kind, as
// Kind::FromEngine converts each one. 16-bit output, the common case,
// goes through the vector registers: the same scaling and clamping, then
// the truncated value's low 16 bits, as the scalar conversion keeps them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/audio_format.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {

#if defined(__SSE2__)
namespace sample_block {

// Four doubles (two registers) scaled, clamped and truncated to 16 bits.
inline __m128i Pcm16Of(__m128d lo, __m128d hi) {
  const __m128d scale = _mm_set1_pd(32768.0), low = _mm_set1_pd(-32768.0), high = _mm_set1_pd(32767.0);
  // max(low, t) is "t < low ? low : t" and min(high, t) "t > high ? high : t".
  lo = _mm_min_pd(high, _mm_max_pd(low, _mm_mul_pd(lo, scale)));
  hi = _mm_min_pd(high, _mm_max_pd(low, _mm_mul_pd(hi, scale)));
  __m128i v = _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
  // Sign-extend the low halves so that the saturating pack keeps them as they are.
  v = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
  return _mm_packs_epi32(v, v);
}

}  // namespace sample_block
#endif

template <class Kind, class Real>
void FromEngineBlock(const Real* src, typename Kind::Sample* dst, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  if constexpr (Kind::kind == SampleKind::Pcm16) {
    for (; i + 4 <= n; i += 4) {
      __m128d lo, hi;
      if constexpr (sizeof(Real) == sizeof(float)) {
        const __m128 f = _mm_loadu_ps(src + i);
        lo = _mm_cvtps_pd(f);
        hi = _mm_cvtps_pd(_mm_movehl_ps(f, f));
      } else {
        lo = _mm_loadu_pd(src + i);
        hi = _mm_loadu_pd(src + i + 2);
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), sample_block::Pcm16Of(lo, hi));
    }
  }
#endif
  for (; i < n; ++i) dst[i] = Kind::FromEngine(src[i]);
}

}  // namespace quill
