#include "twechomt/tap_sweep.h"

#include "dsp/wide_path.h"

#if QUILL_WIDE_PATH
#include <immintrin.h>
#endif

namespace quill {

namespace {

inline double ClampRing(double v) {
  return v < -kTapRingLimit ? -kTapRingLimit : v > kTapRingLimit ? kTapRingLimit : v;
}

// The state in locals, so that the ring's and the places' stores do not
// make the compiler reload it for every tap; one loop per tap count, so
// that the taps' loop unrolls.
template <int kCount>
void StereoPortable(TapState& state, const double* s, const double* in, std::uint32_t n, double* y) {
  const TapState t = state;
  double* const ring = t.ring;
  const std::int32_t N = t.length;
  std::int32_t pos[kTapLanes], w = t.w;
  for (int k = 0; k < kTapLanes; ++k) pos[k] = t.pos[k];
  double in0 = t.in[0], in1 = t.in[1], wet0 = t.wet[0], wet1 = t.wet[1];
  for (std::uint32_t i = 0; i < n; ++i) {
    const double inL = in[2 * i], inR = in[2 * i + 1];
    in0 = t.b * inL + t.a * in0;
    in1 = t.b * inR + t.a * in1;
    const double swing = 1.0 + s[i];
    double TL = 0.0, TR = 0.0;
#pragma GCC unroll 8
    for (int k = 0; k < kCount; ++k) {
      // The stereo path truncates the sweep where the mono path rounds it.
      const auto m = static_cast<std::int32_t>(t.depth[k] * swing);
      std::int32_t r = pos[k] - m;
      if (r < 0) r += N;
      const double v = ring[r];
      TL += t.gL[k] * v;
      TR += t.gR[k] * v;
      if (--pos[k] < 0) pos[k] = N - 1;
    }
    wet0 = t.b * TL + t.a * wet0;
    wet1 = t.b * TR + t.a * wet1;
    y[2 * i] = t.gWet * wet0 + t.gDry * inL;
    y[2 * i + 1] = t.gWet * wet1 + t.gDry * inR;
    ring[w] = ClampRing((t.fb * (wet0 + wet1) + in0 + in1) * 0.5);
    if (--w < 0) w = N - 1;
  }
  for (int k = 0; k < kTapLanes; ++k) state.pos[k] = pos[k];
  state.w = w;
  state.in[0] = in0;
  state.in[1] = in1;
  state.wet[0] = wet0;
  state.wet[1] = wet1;
}

template <int kCount>
void MonoPortable(TapState& state, const double* s, const double* in, std::uint32_t n, double* y) {
  const TapState t = state;
  double* const ring = t.ring;
  const std::int32_t N = t.length;
  std::int32_t pos[kTapLanes], w = t.w;
  for (int k = 0; k < kTapLanes; ++k) pos[k] = t.pos[k];
  double in0 = t.in[0], wet0 = t.wet[0];
  for (std::uint32_t i = 0; i < n; ++i) {
    in0 = t.b * in[i] + t.a * in0;
    const double swing = 1.0 + s[i];
    double T = 0.0;
#pragma GCC unroll 8
    for (int k = 0; k < kCount; ++k) {
      // The mono path rounds the sweep to the nearest sample.
      const auto m = static_cast<std::int32_t>(t.depth[k] * swing + 0.5);
      std::int32_t r = pos[k] - m;
      if (r < 0) r += N;
      T += ring[r] * t.gL[k];
      if (--pos[k] < 0) pos[k] = N - 1;
    }
    wet0 = t.b * T + t.a * wet0;
    ring[w] = ClampRing(t.fb * wet0 + in0);
    if (--w < 0) w = N - 1;
    y[i] = t.gWet * wet0 + t.gDry * in[i];
  }
  for (int k = 0; k < kTapLanes; ++k) state.pos[k] = pos[k];
  state.w = w;
  state.in[0] = in0;
  state.wet[0] = wet0;
}

template <int... kCounts>
struct PortableByCount {
  static constexpr TapStereoLoop stereo[] = {StereoPortable<kCounts>...};
  static constexpr TapMonoLoop mono[] = {MonoPortable<kCounts>...};
};
using PortableLoops = PortableByCount<1, 2, 3, 4, 5, 6, 7, 8>;

void StereoPortableLoop(TapState& t, const double* s, const double* in, std::uint32_t n, double* y) {
  PortableLoops::stereo[t.count - 1](t, s, in, n, y);
}

void MonoPortableLoop(TapState& t, const double* s, const double* in, std::uint32_t n, double* y) {
  PortableLoops::mono[t.count - 1](t, s, in, n, y);
}

#if QUILL_WIDE_PATH

// Every tap's read place for one frame, eight at a time: the places before
// the sweep less the truncated (or, in mono, rounded) sweep, wrapped into
// the ring. The places then step down. Lanes past the tap count carry
// places nothing reads.
template <bool kRound>
QUILL_WIDE inline __m256i ReadPlaces(const __m256d depth[2], double s, __m256i& pos, __m256i length) {
  const __m256d swing = _mm256_set1_pd(1.0 + s);
  __m256d lo = _mm256_mul_pd(depth[0], swing), hi = _mm256_mul_pd(depth[1], swing);
  if (kRound) {
    lo = _mm256_add_pd(lo, _mm256_set1_pd(0.5));
    hi = _mm256_add_pd(hi, _mm256_set1_pd(0.5));
  }
  const __m256i m = _mm256_set_m128i(_mm256_cvttpd_epi32(hi), _mm256_cvttpd_epi32(lo));
  const __m256i zero = _mm256_setzero_si256();
  __m256i r = _mm256_sub_epi32(pos, m);
  r = _mm256_add_epi32(r, _mm256_and_si256(_mm256_cmpgt_epi32(zero, r), length));
  pos = _mm256_sub_epi32(pos, _mm256_set1_epi32(1));
  pos = _mm256_add_epi32(pos, _mm256_and_si256(_mm256_cmpgt_epi32(zero, pos), length));
  return r;
}

// The taps' ring values, four lanes at a time; lanes past the tap count are
// not read.
template <int kCount>
QUILL_WIDE inline void Gather(const double* ring, __m256i r, __m256d v[2]) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d low =
      _mm256_castsi256_pd(_mm256_set_epi64x(kCount > 3 ? -1 : 0, kCount > 2 ? -1 : 0, kCount > 1 ? -1 : 0, -1));
  v[0] = _mm256_mask_i32gather_pd(zero, ring, _mm256_castsi256_si128(r), low, 8);
  if constexpr (kCount > 4) {
    const __m256d high =
        _mm256_castsi256_pd(_mm256_set_epi64x(kCount > 7 ? -1 : 0, kCount > 6 ? -1 : 0, kCount > 5 ? -1 : 0, -1));
    v[1] = _mm256_mask_i32gather_pd(zero, ring, _mm256_extracti128_si256(r, 1), high, 8);
  }
}

// Left and right side by side in one register: each lane does the
// portable loop's operations on its side, in the same order; the taps'
// products are taken four at a time and summed one tap after another.
template <int kCount>
QUILL_WIDE void StereoWideLoop(TapState& state, const double* s, const double* in, std::uint32_t n, double* y) {
  TapState t = state;
  const double* const ring = t.ring;
  const __m256d gL[2] = {_mm256_loadu_pd(t.gL), _mm256_loadu_pd(t.gL + 4)};
  const __m256d gR[2] = {_mm256_loadu_pd(t.gR), _mm256_loadu_pd(t.gR + 4)};
  const __m256d depth[2] = {_mm256_loadu_pd(t.depth), _mm256_loadu_pd(t.depth + 4)};
  const __m256i length = _mm256_set1_epi32(t.length);
  __m256i pos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.pos));
  const __m128d a = _mm_set1_pd(t.a), b = _mm_set1_pd(t.b), wetGain = _mm_set1_pd(t.gWet);
  const __m128d dryGain = _mm_set1_pd(t.gDry);
  __m128d inLow = _mm_loadu_pd(t.in), wetLow = _mm_loadu_pd(t.wet);
  for (std::uint32_t i = 0; i < n; ++i) {
    const __m128d x = _mm_loadu_pd(in + 2 * i);
    inLow = _mm_add_pd(_mm_mul_pd(b, x), _mm_mul_pd(a, inLow));
    __m256d v[2];
    Gather<kCount>(ring, ReadPlaces<false>(depth, s[i], pos, length), v);
    __m128d sum = _mm_setzero_pd();
#pragma GCC unroll 2
    for (int h = 0; h < (kCount + 3) / 4; ++h) {
      const __m256d pl = _mm256_mul_pd(gL[h], v[h]), pr = _mm256_mul_pd(gR[h], v[h]);
      // Taps 0 and 2 of the four, then 1 and 3, each as a (left, right) pair.
      const __m256d even = _mm256_unpacklo_pd(pl, pr), odd = _mm256_unpackhi_pd(pl, pr);
      const int k = 4 * h;
      sum = _mm_add_pd(sum, _mm256_castpd256_pd128(even));
      if (k + 1 < kCount) sum = _mm_add_pd(sum, _mm256_castpd256_pd128(odd));
      if (k + 2 < kCount) sum = _mm_add_pd(sum, _mm256_extractf128_pd(even, 1));
      if (k + 3 < kCount) sum = _mm_add_pd(sum, _mm256_extractf128_pd(odd, 1));
    }
    wetLow = _mm_add_pd(_mm_mul_pd(b, sum), _mm_mul_pd(a, wetLow));
    _mm_storeu_pd(y + 2 * i, _mm_add_pd(_mm_mul_pd(wetGain, wetLow), _mm_mul_pd(dryGain, x)));
    const double wetL = _mm_cvtsd_f64(wetLow), wetR = _mm_cvtsd_f64(_mm_unpackhi_pd(wetLow, wetLow));
    const double inL = _mm_cvtsd_f64(inLow), inR = _mm_cvtsd_f64(_mm_unpackhi_pd(inLow, inLow));
    t.ring[t.w] = ClampRing((t.fb * (wetL + wetR) + inL + inR) * 0.5);
    if (--t.w < 0) t.w = t.length - 1;
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(t.pos), pos);
  _mm_storeu_pd(t.in, inLow);
  _mm_storeu_pd(t.wet, wetLow);
  state = t;
}

template <int kCount>
QUILL_WIDE void MonoWideLoop(TapState& state, const double* s, const double* in, std::uint32_t n, double* y) {
  TapState t = state;
  const double* const ring = t.ring;
  const __m256d gL[2] = {_mm256_loadu_pd(t.gL), _mm256_loadu_pd(t.gL + 4)};
  const __m256d depth[2] = {_mm256_loadu_pd(t.depth), _mm256_loadu_pd(t.depth + 4)};
  const __m256i length = _mm256_set1_epi32(t.length);
  __m256i pos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.pos));
  double inLow = t.in[0], wetLow = t.wet[0];
  for (std::uint32_t i = 0; i < n; ++i) {
    inLow = t.b * in[i] + t.a * inLow;
    __m256d v[2];
    Gather<kCount>(ring, ReadPlaces<true>(depth, s[i], pos, length), v);
    double sum = 0.0;
#pragma GCC unroll 2
    for (int h = 0; h < (kCount + 3) / 4; ++h) {
      const __m256d p = _mm256_mul_pd(v[h], gL[h]);
      const __m128d lo = _mm256_castpd256_pd128(p), hi = _mm256_extractf128_pd(p, 1);
      const int k = 4 * h;
      sum += _mm_cvtsd_f64(lo);
      if (k + 1 < kCount) sum += _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo));
      if (k + 2 < kCount) sum += _mm_cvtsd_f64(hi);
      if (k + 3 < kCount) sum += _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi));
    }
    wetLow = t.b * sum + t.a * wetLow;
    t.ring[t.w] = ClampRing(t.fb * wetLow + inLow);
    if (--t.w < 0) t.w = t.length - 1;
    y[i] = t.gWet * wetLow + t.gDry * in[i];
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(t.pos), pos);
  t.in[0] = inLow;
  t.wet[0] = wetLow;
  state = t;
}

template <int... kCounts>
struct WideByCount {
  static constexpr TapStereoLoop stereo[] = {StereoWideLoop<kCounts>...};
  static constexpr TapMonoLoop mono[] = {MonoWideLoop<kCounts>...};
};
using Loops = WideByCount<1, 2, 3, 4, 5, 6, 7, 8>;

QUILL_WIDE void StereoWide(TapState& t, const double* s, const double* in, std::uint32_t n, double* y) {
  Loops::stereo[t.count - 1](t, s, in, n, y);
}

QUILL_WIDE void MonoWide(TapState& t, const double* s, const double* in, std::uint32_t n, double* y) {
  Loops::mono[t.count - 1](t, s, in, n, y);
}

#endif

}  // namespace

const TapKernels& PortableTapKernels() {
  static constexpr TapKernels kernels{StereoPortableLoop, MonoPortableLoop};
  return kernels;
}

const TapKernels* WideTapKernels() {
#if QUILL_WIDE_PATH
  static constexpr TapKernels kernels{StereoWide, MonoWide};
  return WidePathRuns() ? &kernels : nullptr;
#else
  return nullptr;
#endif
}

}  // namespace quill
