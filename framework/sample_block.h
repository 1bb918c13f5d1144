// Whole runs of engine values converted to a sample kind, and stereo
// frames converted both ways, as Kind::FromEngine and Kind::ToEngine
// convert each sample. 16-bit samples, the common case, go through the
// vector registers: the same scaling and clamping, then the truncated
// value's low 16 bits, as the scalar conversion keeps them.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "framework/audio_format.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {

#if defined(__SSE2__)
namespace sample_block {

// Four doubles (two registers) scaled, clamped and truncated to 16 bits. A
// NaN passes both clamps (each keeps its second operand when one is not a
// number) and truncates to 0x80000000, whose low 16 bits are the scalar
// conversion's silence.
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

// A stereo frame's two samples as engine values in the two lanes of one
// register, each as Kind::ToEngine converts it.
template <class Kind>
inline __m128d FrameToEngine(const typename Kind::Sample* s) {
  if constexpr (Kind::kind == SampleKind::Pcm16) {
    std::int32_t pair;
    std::memcpy(&pair, s, sizeof pair);
    const __m128i v = _mm_cvtsi32_si128(pair);
    // Each 16-bit sample into the top of a 32-bit lane, shifted back down with its sign.
    const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
    return _mm_mul_pd(_mm_cvtepi32_pd(wide), _mm_set1_pd(3.0517578125e-5));
  } else {
    return _mm_set_pd(Kind::ToEngine(s[1]), Kind::ToEngine(s[0]));
  }
}

// The two lanes of y written as a stereo frame, as Kind::FromEngine writes each.
template <class Kind>
inline void FrameFromEngine(__m128d y, typename Kind::Sample* d) {
  if constexpr (Kind::kind == SampleKind::Pcm16) {
    const __m128d t =
        _mm_min_pd(_mm_set1_pd(32767.0), _mm_max_pd(_mm_set1_pd(-32768.0), _mm_mul_pd(y, _mm_set1_pd(32768.0))));
    // The low 16 bits of both truncated values, side by side.
    const __m128i v = _mm_shufflelo_epi16(_mm_cvttpd_epi32(t), 0x08);
    const std::int32_t pair = _mm_cvtsi128_si32(v);
    std::memcpy(d, &pair, sizeof pair);
  } else if constexpr (Kind::kind == SampleKind::Float32) {
    _mm_storel_pi(reinterpret_cast<__m64*>(d), _mm_cvtpd_ps(y));
  } else {
    d[0] = Kind::FromEngine(_mm_cvtsd_f64(y));
    d[1] = Kind::FromEngine(_mm_cvtsd_f64(_mm_unpackhi_pd(y, y)));
  }
}
#endif

// False if one of the n values is a NaN or an infinity: x - x is 0 for
// every finite x and a NaN for the others.
inline bool AllFinite(const double* v, std::size_t n) {
  std::size_t i = 0;
  bool bad = false;
#if defined(__SSE2__)
  __m128d acc = _mm_setzero_pd();
  for (; i + 4 <= n; i += 4) {
    const __m128d a = _mm_loadu_pd(v + i), b = _mm_loadu_pd(v + i + 2);
    acc = _mm_or_pd(acc, _mm_cmpunord_pd(_mm_sub_pd(a, a), _mm_sub_pd(b, b)));
  }
  bad = _mm_movemask_pd(acc) != 0;
#endif
  for (; i < n; ++i) bad |= !(v[i] - v[i] == 0.0);
  return !bad;
}

inline bool AllFinite(const float* v, std::size_t n) {
  std::size_t i = 0;
  bool bad = false;
#if defined(__SSE2__)
  __m128 acc = _mm_setzero_ps();
  for (; i + 8 <= n; i += 8) {
    const __m128 a = _mm_loadu_ps(v + i), b = _mm_loadu_ps(v + i + 4);
    acc = _mm_or_ps(acc, _mm_cmpunord_ps(_mm_sub_ps(a, a), _mm_sub_ps(b, b)));
  }
  bad = _mm_movemask_ps(acc) != 0;
#endif
  for (; i < n; ++i) bad |= !(v[i] - v[i] == 0.0f);
  return !bad;
}

// What float output may leave an engine with: nothing that is not a number.
// A host downstream may turn samples into integers, or feed them back into
// a filter of its own, where a NaN or an infinity does the harm it would do
// here. So a NaN becomes silence and an infinity (a double beyond the float
// range rounds to one) the largest value of its sign; every finite sample
// stays as it is, beyond full scale too. The samples are looked over first,
// several at a time, and rewritten only when one is found. Integer kinds
// hold neither.
template <class T>
void KeepFinite(T* s, std::size_t n) {
  if (AllFinite(s, n)) return;
  for (std::size_t i = 0; i < n; ++i)
    if (!(std::fabs(s[i]) <= std::numeric_limits<T>::max()))
      s[i] = s[i] != s[i] ? T(0) : std::copysign(std::numeric_limits<T>::max(), s[i]);
}

inline void KeepFinite(SampleKind kind, void* data, std::size_t samples) {
  if (kind == SampleKind::Float32) KeepFinite(static_cast<float*>(data), samples);
  if (kind == SampleKind::Float64) KeepFinite(static_cast<double*>(data), samples);
}

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

// Two channels' runs of engine values written as n interleaved frames.
template <class Kind>
void FromEngineFrames(const double* left, const double* right, typename Kind::Sample* dst, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  if constexpr (Kind::kind == SampleKind::Pcm16) {
    for (; i + 2 <= n; i += 2) {
      const __m128d l = _mm_loadu_pd(left + i), r = _mm_loadu_pd(right + i);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * i),
                       sample_block::Pcm16Of(_mm_unpacklo_pd(l, r), _mm_unpackhi_pd(l, r)));
    }
  }
#endif
  for (; i < n; ++i) {
    dst[2 * i] = Kind::FromEngine(left[i]);
    dst[2 * i + 1] = Kind::FromEngine(right[i]);
  }
}

}  // namespace quill
