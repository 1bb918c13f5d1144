#include "dsp/stretch_search.h"

#include <algorithm>

#include "dsp/time_stretcher.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "dsp/wide_path.h"

namespace quill {

namespace {

// Candidates judged per group; the copies carry this much zero padding so
// that a group running past the last candidate reads only zeros.
constexpr std::uint32_t kGroup = 16;

// The sums of candidates j0 .. j0 + kGroup - 1 of one channel: candidate j
// adds (w[j + m] + b[m])^2 for m = 0 .. n - 1, in that order.
using GroupSums = void (*)(const double* w, const double* b, std::uint32_t n, std::uint32_t j0, double* c);

#if defined(__SSE2__)
// Two candidates to a register, eight registers.
void SumsPortable(const double* w, const double* b, std::uint32_t n, std::uint32_t j0, double* c) {
  __m128d acc[8];
  for (__m128d& a : acc) a = _mm_setzero_pd();
  const double* at = w + j0;
  for (std::uint32_t m = 0; m < n; ++m) {
    const __m128d bm = _mm_set1_pd(b[m]);
    for (int r = 0; r < 8; ++r) {
      const __m128d v = _mm_add_pd(_mm_loadu_pd(at + m + 2 * r), bm);
      acc[r] = _mm_add_pd(acc[r], _mm_mul_pd(v, v));
    }
  }
  for (int r = 0; r < 8; ++r) _mm_storeu_pd(c + 2 * r, acc[r]);
}
#else
void SumsPortable(const double* w, const double* b, std::uint32_t n, std::uint32_t j0, double* c) {
  for (std::uint32_t g = 0; g < kGroup; ++g) c[g] = 0.0;
  for (std::uint32_t m = 0; m < n; ++m)
    for (std::uint32_t g = 0; g < kGroup; ++g) {
      const double v = w[j0 + g + m] + b[m];
      c[g] += v * v;
    }
}
#endif

#if QUILL_WIDE_PATH
// Four candidates to a register, four registers (never fused: a fused
// multiply-add would round once where the portable loop rounds twice).
QUILL_WIDE void SumsWide(const double* w, const double* b, std::uint32_t n, std::uint32_t j0,
                                             double* c) {
  __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(), a3 = _mm256_setzero_pd();
  const double* at = w + j0;
  for (std::uint32_t m = 0; m < n; ++m) {
    const __m256d bm = _mm256_broadcast_sd(b + m);
    const __m256d v0 = _mm256_add_pd(_mm256_loadu_pd(at + m), bm);
    const __m256d v1 = _mm256_add_pd(_mm256_loadu_pd(at + m + 4), bm);
    const __m256d v2 = _mm256_add_pd(_mm256_loadu_pd(at + m + 8), bm);
    const __m256d v3 = _mm256_add_pd(_mm256_loadu_pd(at + m + 12), bm);
    a0 = _mm256_add_pd(a0, _mm256_mul_pd(v0, v0));
    a1 = _mm256_add_pd(a1, _mm256_mul_pd(v1, v1));
    a2 = _mm256_add_pd(a2, _mm256_mul_pd(v2, v2));
    a3 = _mm256_add_pd(a3, _mm256_mul_pd(v3, v3));
  }
  _mm256_storeu_pd(c, a0);
  _mm256_storeu_pd(c + 4, a1);
  _mm256_storeu_pd(c + 8, a2);
  _mm256_storeu_pd(c + 12, a3);
}

#endif

GroupSums Pick(StretchSearch::Path path) {
#if QUILL_WIDE_PATH
  if (path == StretchSearch::Path::Widest && WidePathRuns()) return SumsWide;
#else
  (void)path;
#endif
  return SumsPortable;
}

}  // namespace

std::uint32_t StretchSearch::Points(std::int32_t R, std::uint32_t D) {
  if (R <= 0 || D == 0) return 0;
  return (static_cast<std::uint32_t>(R) + D - 1) / D;
}

bool StretchSearch::Reserve(std::uint32_t points, std::uint32_t channels) {
  const std::size_t perChannel = 3 * static_cast<std::size_t>(points) + 2 * kGroup;
  return memory_.Reserve(perChannel * std::max(channels, 1u) * sizeof(double));
}

bool StretchSearch::Lay(std::uint32_t n, std::uint32_t channels) {
  const std::size_t wLen = 2 * static_cast<std::size_t>(n) + kGroup, bLen = n + static_cast<std::size_t>(kGroup);
  const std::size_t bytes = (wLen + bLen) * channels * sizeof(double);
  if (memory_.Data() == nullptr || memory_.Capacity() < bytes) return false;
  auto* at = static_cast<double*>(memory_.Data());
  for (std::uint32_t c = 0; c < channels; ++c) {
    window_[c] = at;
    block_[c] = at + wLen;
    at += wLen + bLen;
  }
  return true;
}

template <class Real>
std::uint32_t StretchSearch::Find(const Real* window, const Real* block, std::uint32_t channels, std::int32_t R,
                                  std::uint32_t D, float A) {
  const std::uint32_t n = Points(R, D);
  if (n == 0) return 0;
  if ((channels != 1 && channels != 2) || !Lay(n, channels))
    return TimeStretcher::Search(window, block, channels, R, D, A);

  // Candidate j and term m meet at stride point j + m, so each channel's
  // window is copied at the stride points only.
  const std::size_t step = static_cast<std::size_t>(D) * channels;
  for (std::uint32_t c = 0; c < channels; ++c) {
    double* w = window_[c];
    double* b = block_[c];
    const Real* from = window + c;
    for (std::uint32_t i = 0; i < 2 * n - 1; ++i) w[i] = static_cast<double>(from[i * step]);
    std::fill(w + 2 * n - 1, w + 2 * n + kGroup, 0.0);
    from = block + c;
    for (std::uint32_t m = 0; m < n; ++m) b[m] = static_cast<double>(from[m * step]);
  }
  const GroupSums sums = Pick(path_);
  double c0[kGroup], c1[kGroup];

  // Thresholds and the best sum are kept at the buffers' precision; the
  // sums themselves in double.
  if (channels == 1) {
    double e = 0.0;
    for (std::uint32_t m = 0; m < n; ++m) e += block_[0][m] * block_[0][m];
    const Real T = static_cast<Real>(A * e);
    Real best = 0;
    std::uint32_t pos = 0;
    for (std::uint32_t j0 = 0; j0 < n; j0 += kGroup) {
      sums(window_[0], block_[0], n, j0, c0);
      for (std::uint32_t g = 0, last = std::min(kGroup, n - j0); g < last; ++g) {
        const std::uint32_t p = (j0 + g) * D;
        if (c0[g] > T) return p;
        if (c0[g] > best) {
          best = static_cast<Real>(c0[g]);
          pos = p;
        }
      }
    }
    return pos;
  }

  double e0 = 0.0, e1 = 0.0;
  for (std::uint32_t m = 0; m < n; ++m) {
    e0 += block_[0][m] * block_[0][m];
    e1 += block_[1][m] * block_[1][m];
  }
  const Real T0 = static_cast<Real>(A * e0), T1 = static_cast<Real>(A * e1);
  Real best = 0;
  std::uint32_t pos = 0;
  for (std::uint32_t j0 = 0; j0 < n; j0 += kGroup) {
    sums(window_[0], block_[0], n, j0, c0);
    sums(window_[1], block_[1], n, j0, c1);
    for (std::uint32_t g = 0, last = std::min(kGroup, n - j0); g < last; ++g) {
      const std::uint32_t p = (j0 + g) * D;
      if (c0[g] > T0 && c1[g] > T1) return p;
      const double c = c0[g] + c1[g];
      if (c > best) {
        best = static_cast<Real>(c);
        pos = p;
      }
    }
  }
  return pos;
}

template std::uint32_t StretchSearch::Find<float>(const float*, const float*, std::uint32_t, std::int32_t,
                                                  std::uint32_t, float);
template std::uint32_t StretchSearch::Find<double>(const double*, const double*, std::uint32_t, std::int32_t,
                                                   std::uint32_t, float);

}  // namespace quill
