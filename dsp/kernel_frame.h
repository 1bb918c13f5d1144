// One output frame of the resampler: the tabulated kernel read at the
// distances |d - k| of the frames k = 0 .. taps - 1 from the output position
// (each weight exactly as InterpKernel::At reads it), and per channel the
// sum of the frames times their weights, k = 0 first. Sums<Taps, Ch>(d,
// pointsPerFrame, pairs, h, y) writes y[c] from the frames h (channels
// interleaved, frame k at h + k * Ch). Inline, for the loop that calls it
// once per frame: a portable version and, where the build has the wide
// loops, a wide one that only runs when WidePathRuns(). Several weights go
// through the vector registers at once and the two channels' sums share
// one; every lane does the same double operations in the same order as the
// plain loop, so the frame is the same on every path.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "dsp/wide_path.h"

namespace quill {

namespace kernel_frame {

// Tap numbers as doubles, for the vector loops.
alignas(32) inline constexpr double kTapNumber[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// One weight, as InterpKernel::At computes it.
inline double Weight(double d, std::uint32_t k, double pointsPerFrame, const double* pairs) {
  const double xe = std::fabs(d - k) * pointsPerFrame;
  const auto j = static_cast<std::int32_t>(xe);
  const double* p = pairs + 2 * j;
  return p[0] + p[1] * (xe - j);
}

template <std::uint32_t Taps, std::uint32_t Ch>
void SumsPlain(double d, double pointsPerFrame, const double* pairs, const double* h, double* y) {
  double s[Ch] = {};
  for (std::uint32_t k = 0; k < Taps; ++k) {
    const double w = Weight(d, k, pointsPerFrame, pairs);
    for (std::uint32_t c = 0; c < Ch; ++c) s[c] += h[k * Ch + c] * w;
  }
  for (std::uint32_t c = 0; c < Ch; ++c) y[c] = s[c];
}

#if defined(__SSE2__)
// Adds frame k times its weight (held in both lanes of w) to the sums.
// SSE2 only, so the wide loop builds it in too.
template <std::uint32_t Ch>
[[gnu::always_inline]] inline void Accumulate(__m128d& y, const double* h, std::uint32_t k, __m128d w) {
  if constexpr (Ch == 2) {
    y = _mm_add_pd(y, _mm_mul_pd(_mm_loadu_pd(h + 2 * k), w));
  } else {
    y = _mm_add_sd(y, _mm_mul_sd(_mm_load_sd(h + k), w));
  }
}

template <std::uint32_t Ch>
[[gnu::always_inline]] inline void Store(double* y, __m128d sums) {
  if constexpr (Ch == 2) {
    _mm_storeu_pd(y, sums);
  } else {
    _mm_store_sd(y, sums);
  }
}

// Two weights to a register.
template <std::uint32_t Taps, std::uint32_t Ch>
void SumsPortable(double d, double pointsPerFrame, const double* pairs, const double* h, double* y) {
  const __m128d dd = _mm_set1_pd(d), ppf = _mm_set1_pd(pointsPerFrame), sign = _mm_set1_pd(-0.0);
  __m128d acc = _mm_setzero_pd();
  std::uint32_t k = 0;
  for (; k + 2 <= Taps; k += 2) {
    const __m128d xe = _mm_mul_pd(_mm_andnot_pd(sign, _mm_sub_pd(dd, _mm_load_pd(kTapNumber + k))), ppf);
    const __m128i j = _mm_cvttpd_epi32(xe);
    const __m128d frac = _mm_sub_pd(xe, _mm_cvtepi32_pd(j));
    const __m128d a = _mm_loadu_pd(pairs + 2 * _mm_cvtsi128_si32(j));
    const __m128d b = _mm_loadu_pd(pairs + 2 * _mm_cvtsi128_si32(_mm_shuffle_epi32(j, 1)));
    const __m128d w = _mm_add_pd(_mm_unpacklo_pd(a, b), _mm_mul_pd(_mm_unpackhi_pd(a, b), frac));
    Accumulate<Ch>(acc, h, k, _mm_unpacklo_pd(w, w));
    Accumulate<Ch>(acc, h, k + 1, _mm_unpackhi_pd(w, w));
  }
  for (; k < Taps; ++k) Accumulate<Ch>(acc, h, k, _mm_set1_pd(Weight(d, k, pointsPerFrame, pairs)));
  Store<Ch>(y, acc);
}
#else
template <std::uint32_t Taps, std::uint32_t Ch>
void SumsPortable(double d, double pointsPerFrame, const double* pairs, const double* h, double* y) {
  SumsPlain<Taps, Ch>(d, pointsPerFrame, pairs, h, y);
}
#endif

#if QUILL_WIDE_PATH
// Four weights to a register (never fused: every product is rounded
// before it is added, as in the plain loop).
template <std::uint32_t Taps, std::uint32_t Ch>
QUILL_WIDE void SumsWide(double d, double pointsPerFrame, const double* pairs, const double* h,
                                             double* y) {
  const __m256d dd = _mm256_set1_pd(d), ppf = _mm256_set1_pd(pointsPerFrame), sign = _mm256_set1_pd(-0.0);
  __m128d acc = _mm_setzero_pd();
  std::uint32_t k = 0;
  for (; k + 4 <= Taps; k += 4) {
    const __m256d xe = _mm256_mul_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(dd, _mm256_load_pd(kTapNumber + k))), ppf);
    const __m128i j = _mm256_cvttpd_epi32(xe);
    const __m256d frac = _mm256_sub_pd(xe, _mm256_cvtepi32_pd(j));
    // Table offsets, twice the (never negative) point numbers.
    const __m128i at = _mm_add_epi32(j, j);
    const auto a0 = static_cast<std::uint32_t>(_mm_cvtsi128_si32(at));
    const auto a1 = static_cast<std::uint32_t>(_mm_extract_epi32(at, 1));
    const auto a2 = static_cast<std::uint32_t>(_mm_extract_epi32(at, 2));
    const auto a3 = static_cast<std::uint32_t>(_mm_extract_epi32(at, 3));
    const __m256d ac = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(pairs + a0)), _mm_loadu_pd(pairs + a2), 1);
    const __m256d be = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(pairs + a1)), _mm_loadu_pd(pairs + a3), 1);
    // Lanes k .. k + 3: the points, plus the steps times the fractions.
    const __m256d w = _mm256_add_pd(_mm256_unpacklo_pd(ac, be), _mm256_mul_pd(_mm256_unpackhi_pd(ac, be), frac));
    const __m128d lo = _mm256_castpd256_pd128(w), hi = _mm256_extractf128_pd(w, 1);
    Accumulate<Ch>(acc, h, k, _mm_movedup_pd(lo));
    Accumulate<Ch>(acc, h, k + 1, _mm_unpackhi_pd(lo, lo));
    Accumulate<Ch>(acc, h, k + 2, _mm_movedup_pd(hi));
    Accumulate<Ch>(acc, h, k + 3, _mm_unpackhi_pd(hi, hi));
  }
  for (; k < Taps; ++k) Accumulate<Ch>(acc, h, k, _mm_set1_pd(Weight(d, k, pointsPerFrame, pairs)));
  Store<Ch>(y, acc);
}

#endif

}  // namespace kernel_frame
}  // namespace quill
