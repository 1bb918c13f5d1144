#include "twchorus/chorus_sweep.h"

#include <cmath>

#include "dsp/wide_path.h"

#if QUILL_WIDE_PATH
#include <immintrin.h>
#endif

namespace quill {

namespace {

constexpr double kLength = kChorusLine;

// Brings a read position into [0, kLength). One wrap suffices while the
// longest delay and depth fit twice into the line, which holds up to about
// 61 kHz; above that the lines stay 6500 samples and positions wrap in full
// (the delay then folds back into the line) rather than growing the lines
// with the rate, so every read stays inside the line at any rate a format
// can carry. A tiny negative position can round up to kLength itself when
// wrapped; it is the line's start.
inline double WrapPosition(double p) {
  if (p >= 0.0 && p < kLength) return p;  // nearly always
  if (p >= kLength)
    p -= kLength;
  else if (p < 0.0)
    p += kLength;
  if (p >= 0.0 && p < kLength) return p;
  p = std::fmod(p, kLength);
  if (p < 0.0) p += kLength;
  return p < kLength ? p : 0.0;  // also catches a position that is not a number
}

// The stage's low-passed value at its swept read place; the read place moves on.
inline double Read(StageRun& r, double s) {
  const double p = WrapPosition(r.rp + r.depth * s);
  const auto i = static_cast<std::int32_t>(p);
  const std::int32_t j = i + 1 == kChorusLine ? 0 : i + 1;
  const double d = r.line[i] + (r.line[j] - r.line[i]) * (p - i);
  r.z = r.b * d + r.a * r.z;
  r.rp -= 1.0;
  if (r.rp < 0.0) r.rp = kLength - 1.0;
  return r.z;
}

inline void Write(StageRun& r, double v, double u) {
  r.line[r.w] = r.fb * v + u;
  if (--r.w < 0) r.w = kChorusLine - 1;
}

inline void StereoSample(StageRun& r, double s, double gL, double gR, double dry, double& yL, double& yR) {
  const double v = Read(r, s);
  const double uL = yL, uR = yR;
  Write(r, v, (uL + uR) * 0.5);
  yL = gL * v + dry * uL;
  yR = gR * v + dry * uR;
}

inline void MonoSample(StageRun& r, double s, double g, double dry, double& y) {
  const double v = Read(r, s);
  const double u = y;
  Write(r, v, u);
  y = g * v + dry * u;
}

// The run's state in a local copy, so that the line's stores do not make the
// compiler reload it every sample.
void StereoPortable(StageRun& run, const double* s, std::uint32_t n, double gL, double gR, double dry, double* yL,
                    double* yR) {
  StageRun r = run;
  for (std::uint32_t k = 0; k < n; ++k) StereoSample(r, s[k], gL, gR, dry, yL[k], yR[k]);
  run = r;
}

void MonoPortable(StageRun& run, const double* s, std::uint32_t n, double g, double dry, double* y) {
  StageRun r = run;
  for (std::uint32_t k = 0; k < n; ++k) MonoSample(r, s[k], g, dry, y[k]);
  run = r;
}

#if QUILL_WIDE_PATH

// How many groups of four from sample k on (n in all) keep every read place
// inside the line without wrapping (rp - 3 - depth >= 0 and rp + depth <
// kLength for each group's first rp) and every write place at or above zero.
inline std::uint32_t Groups(const StageRun& r, std::uint32_t left) {
  const double depth = std::fabs(r.depth);
  if (!(r.rp + depth < kLength)) return 0;
  const double byRead = std::floor((r.rp - depth + 1.0) / 4.0);
  const auto byWrite = static_cast<std::uint32_t>((r.w + 1) / 4);
  std::uint32_t groups = left / 4;
  if (byWrite < groups) groups = byWrite;
  if (!(byRead >= 0.0)) return 0;
  if (byRead < groups) groups = static_cast<std::uint32_t>(byRead);
  return groups;
}

// Moves the read and write places on by `groups` groups of four. Whole
// samples, so exact; only the last step can cross zero, as one step would.
inline void PassGroups(StageRun& r, std::uint32_t groups) {
  r.rp -= 4.0 * groups;
  if (r.rp < 0.0) r.rp = kLength - 1.0;
  r.w -= static_cast<std::int32_t>(4 * groups);
  if (r.w < 0) r.w = kChorusLine - 1;
}

// Four read places: the interpolated line values there. The places are
// inside the line, so they need no wrapping.
QUILL_WIDE inline __m256d ReadFour(const double* line, __m256d p) {
  const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));  // gather every lane
  const __m128i i = _mm256_cvttpd_epi32(p);
  __m128i j = _mm_add_epi32(i, _mm_set1_epi32(1));
  j = _mm_andnot_si128(_mm_cmpeq_epi32(j, _mm_set1_epi32(kChorusLine)), j);
  const __m256d a = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), line, i, all, 8);
  const __m256d b = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), line, j, all, 8);
  const __m256d f = _mm256_sub_pd(p, _mm256_cvtepi32_pd(i));
  return _mm256_add_pd(a, _mm256_mul_pd(_mm256_sub_pd(b, a), f));
}

// The low-pass runs sample by sample inside the group; only its products
// with the input are taken four at a time. With the filter off (a = 0) each
// step adds a zero (a times the last value, while that is finite) to a
// value that is neither zero nor infinite, which leaves it as it is: the
// group then needs no chain from sample to sample. A zero (whose sign the
// added zero can change), an infinity or a not-a-number takes the chain.
QUILL_WIDE inline __m256d LowPassFour(__m256d d, __m256d b, double a, double& z) {
  const __m256d bd = _mm256_mul_pd(b, d);
  if (a == 0.0 && z - z == 0.0) {
    const __m256d size = _mm256_andnot_pd(_mm256_set1_pd(-0.0), bd);
    const __m256d plain = _mm256_and_pd(_mm256_cmp_pd(size, _mm256_setzero_pd(), _CMP_GT_OQ),
                                        _mm256_cmp_pd(size, _mm256_set1_pd(HUGE_VAL), _CMP_LT_OQ));
    if (_mm256_movemask_pd(plain) == 0xF) {
      const __m128d hi = _mm256_extractf128_pd(bd, 1);
      z = _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi));
      return bd;
    }
  }
  const __m128d lo = _mm256_castpd256_pd128(bd), hi = _mm256_extractf128_pd(bd, 1);
  const double v0 = _mm_cvtsd_f64(lo) + a * z;
  const double v1 = _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo)) + a * v0;
  const double v2 = _mm_cvtsd_f64(hi) + a * v1;
  const double v3 = _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi)) + a * v2;
  z = v3;
  return _mm256_set_pd(v3, v2, v1, v0);
}

// Stages after the first add their input as it is: 1.0 * u is u, so the
// product is left out there.
template <bool kDry>
QUILL_WIDE inline __m256d Mix(__m256d g, __m256d v, __m256d dry, __m256d u) {
  return kDry ? _mm256_add_pd(_mm256_mul_pd(g, v), _mm256_mul_pd(dry, u)) : _mm256_add_pd(_mm256_mul_pd(g, v), u);
}

template <bool kDry>
QUILL_WIDE void StereoWideLoop(StageRun& run, const double* s, std::uint32_t n, double gL, double gR, double dry,
                               double* yL, double* yR) {
  StageRun r = run;
  const __m256d steps = _mm256_set_pd(3.0, 2.0, 1.0, 0.0), four = _mm256_set1_pd(4.0);
  const __m256d depth = _mm256_set1_pd(r.depth), fb = _mm256_set1_pd(r.fb), half = _mm256_set1_pd(0.5);
  const __m256d b = _mm256_set1_pd(r.b);
  const __m256d gLv = _mm256_set1_pd(gL), gRv = _mm256_set1_pd(gR), dryv = _mm256_set1_pd(dry);
  std::uint32_t k = 0;
  while (k < n) {
    const std::uint32_t groups = Groups(r, n - k);
    if (groups == 0) {
      StereoSample(r, s[k], gL, gR, dry, yL[k], yR[k]);
      ++k;
      continue;
    }
    __m256d rp = _mm256_sub_pd(_mm256_set1_pd(r.rp), steps);
    std::int32_t to = r.w - 3;  // the lowest of a group's four write places
    const double* sk = s + k;
    double *left = yL + k, *right = yR + k;
    for (std::uint32_t g = 0; g < groups; ++g, sk += 4, left += 4, right += 4, to -= 4) {
      const __m256d p = _mm256_add_pd(rp, _mm256_mul_pd(depth, _mm256_loadu_pd(sk)));
      rp = _mm256_sub_pd(rp, four);
      const __m256d v = LowPassFour(ReadFour(r.line, p), b, r.a, r.z);
      const __m256d uL = _mm256_loadu_pd(left), uR = _mm256_loadu_pd(right);
      const __m256d in = _mm256_add_pd(_mm256_mul_pd(fb, v), _mm256_mul_pd(_mm256_add_pd(uL, uR), half));
      _mm256_storeu_pd(r.line + to, _mm256_permute4x64_pd(in, 0x1B));  // the four writes go down the line
      _mm256_storeu_pd(left, Mix<kDry>(gLv, v, dryv, uL));
      _mm256_storeu_pd(right, Mix<kDry>(gRv, v, dryv, uR));
    }
    k += 4 * groups;
    PassGroups(r, groups);
  }
  run = r;
}

template <bool kDry>
QUILL_WIDE void MonoWideLoop(StageRun& run, const double* s, std::uint32_t n, double g, double dry, double* y) {
  StageRun r = run;
  const __m256d steps = _mm256_set_pd(3.0, 2.0, 1.0, 0.0), four = _mm256_set1_pd(4.0);
  const __m256d depth = _mm256_set1_pd(r.depth), fb = _mm256_set1_pd(r.fb), b = _mm256_set1_pd(r.b);
  const __m256d gv = _mm256_set1_pd(g), dryv = _mm256_set1_pd(dry);
  std::uint32_t k = 0;
  while (k < n) {
    const std::uint32_t groups = Groups(r, n - k);
    if (groups == 0) {
      MonoSample(r, s[k], g, dry, y[k]);
      ++k;
      continue;
    }
    __m256d rp = _mm256_sub_pd(_mm256_set1_pd(r.rp), steps);
    std::int32_t to = r.w - 3;  // the lowest of a group's four write places
    const double* sk = s + k;
    double* yk = y + k;
    for (std::uint32_t c = 0; c < groups; ++c, sk += 4, yk += 4, to -= 4) {
      const __m256d p = _mm256_add_pd(rp, _mm256_mul_pd(depth, _mm256_loadu_pd(sk)));
      rp = _mm256_sub_pd(rp, four);
      const __m256d v = LowPassFour(ReadFour(r.line, p), b, r.a, r.z);
      const __m256d u = _mm256_loadu_pd(yk);
      _mm256_storeu_pd(r.line + to, _mm256_permute4x64_pd(_mm256_add_pd(_mm256_mul_pd(fb, v), u), 0x1B));
      _mm256_storeu_pd(yk, Mix<kDry>(gv, v, dryv, u));
    }
    k += 4 * groups;
    PassGroups(r, groups);
  }
  run = r;
}

QUILL_WIDE void StereoWide(StageRun& run, const double* s, std::uint32_t n, double gL, double gR, double dry,
                           double* yL, double* yR) {
  if (dry == 1.0)
    StereoWideLoop<false>(run, s, n, gL, gR, dry, yL, yR);
  else
    StereoWideLoop<true>(run, s, n, gL, gR, dry, yL, yR);
}

QUILL_WIDE void MonoWide(StageRun& run, const double* s, std::uint32_t n, double g, double dry, double* y) {
  if (dry == 1.0)
    MonoWideLoop<false>(run, s, n, g, dry, y);
  else
    MonoWideLoop<true>(run, s, n, g, dry, y);
}

#endif

}  // namespace

// A read at place w + D + δ (δ within ±depth, one more for the
// interpolation's second point) takes what was written D + δ samples ago,
// modulo the line; a group of four has written the places 1 to 3 samples
// behind its later samples' write places before they read.
bool GroupsSafe(double rp, std::int32_t w, double depth) {
  depth = std::fabs(depth);
  if (!(depth < kLength) || !(std::fabs(rp) < 1e15)) return false;
  const std::int64_t L = kChorusLine;
  const auto span = 2 * static_cast<std::int64_t>(depth) + 1;
  const std::int64_t behind = static_cast<std::int64_t>(rp) - w - static_cast<std::int64_t>(depth);
  const std::int64_t nearest = (behind % L + L) % L;
  return nearest >= 4 && nearest + span <= L;
}

const ChorusKernels& PortableChorusKernels() {
  static constexpr ChorusKernels kernels{StereoPortable, MonoPortable};
  return kernels;
}

const ChorusKernels* WideChorusKernels() {
#if QUILL_WIDE_PATH
  static constexpr ChorusKernels kernels{StereoWide, MonoWide};
  return WidePathRuns() ? &kernels : nullptr;
#else
  return nullptr;
#endif
}

}  // namespace quill
