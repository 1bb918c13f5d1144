#include "dsp/time_stretcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/sample_block.h"


namespace quill {

StretchGeometry DeriveGeometry(std::uint32_t rate, const StretchMode& row) {
  StretchGeometry g;
  const auto ms = [rate](std::int32_t v) { return rate * static_cast<std::uint32_t>(v) / 1000u; };
  // Below a few dozen hertz a row's window holds less than the two frames
  // of one hop; it gets those two, so that every mode runs at every rate.
  g.N = std::max(ms(row.windowMs), 2u);
  g.H = g.N / 2;
  const auto H = static_cast<std::int32_t>(g.H);
  g.L = static_cast<std::int32_t>(ms(row.fadeMs));
  if (g.L > H - 1) g.L = H - 1;
  g.R = static_cast<std::int32_t>(ms(row.searchMs));
  if (g.R > H - g.L) g.R = H - g.L;
  const auto step = static_cast<std::uint32_t>(row.searchStep);
  g.D = rate >= 32000 ? step : step * rate / 44100u;
  if (g.D == 0) g.D = 1;
  g.A = static_cast<float>(row.acceptPercent * 0.01);
  return g;
}

std::uint32_t InputHop(std::uint32_t H, std::uint32_t N, double ratio) {
  const double s = H / ratio + 0.5;
  // Clamped before converting: a tiny or odd ratio must not overflow.
  if (!(s >= 1.0)) return std::min<std::uint32_t>(1, N);
  if (s >= static_cast<double>(N)) return N;
  return static_cast<std::uint32_t>(s);
}

TimeStretcher::~TimeStretcher() = default;

HRESULT TimeStretcher::SelectKinds(SampleKind in, SampleKind out, std::uint32_t channels) {
  if (channels != 1 && channels != 2) return E_INVALIDARG;
  const SampleKind floatOfOut = IsDoublePrecision(out) ? SampleKind::Float64 : SampleKind::Float32;
  if (in != out && in != floatOfOut) return E_INVALIDARG;
  inKind_ = in;
  outKind_ = out;
  channels_ = channels;
  // The buffers may have the wrong precision or width now.
  configured_ = 0;
  fullPending_ = 1;
  return S_OK;
}

HRESULT TimeStretcher::Reserve(std::uint32_t rate) {
  std::size_t widest = 0;
  std::uint32_t points = 0;
  for (const StretchMode& row : StretchModeTable) {
    const StretchGeometry g = DeriveGeometry(rate, row);
    widest = std::max<std::size_t>(widest, g.N);
    points = std::max(points, StretchSearch::Points(g.R, g.D));
  }
  const std::size_t real = IsDoublePrecision(outKind_) ? sizeof(double) : sizeof(float);
  const bool held = windowMemory_.Reserve(widest * channels_ * real) &&
                    blockMemory_.Reserve(widest * channels_ * real) && taperMemory_.Reserve(widest * channels_ * real) &&
                    search_.Reserve(points, channels_);
  return held ? S_OK : E_OUTOFMEMORY;
}

HRESULT TimeStretcher::Configure(std::uint32_t rate, std::int32_t mode, double ratio) {
  if (fullPending_ != 0 || configured_ == 0) return ConfigureFull(rate, mode, ratio);
  ConfigureLight(ratio);
  return S_OK;
}

HRESULT TimeStretcher::ConfigureFull(std::uint32_t rate, std::int32_t mode, double ratio) {
  if (mode < 0 || mode >= kStretchModeCount) {
    configured_ = 0;
    fullPending_ = 1;
    return E_INVALIDARG;
  }
  const HRESULT hr = ConfigureFull(rate, StretchModeTable[mode], ratio);
  if (SUCCEEDED(hr)) mode_ = mode;
  return hr;
}

HRESULT TimeStretcher::ConfigureFull(std::uint32_t rate, const StretchMode& row, double ratio) {
  configured_ = 0;
  fullPending_ = 1;
  window_ = block_ = taper_ = nullptr;
  const StretchGeometry g = DeriveGeometry(rate, row);
  // A window needs at least one output frame per hop, or the loop would
  // splice forever without emitting anything.
  if (g.H < 1 || !(ratio > 0.0)) return E_INVALIDARG;

  doubleBuffers_ = IsDoublePrecision(outKind_);
  const std::size_t real = doubleBuffers_ ? sizeof(double) : sizeof(float);
  // From the memory the start reserved; zeroed, as a fresh buffer would be.
  window_ = windowMemory_.Zeroed(static_cast<std::size_t>(g.N) * channels_ * real);
  block_ = blockMemory_.Zeroed(static_cast<std::size_t>(g.N) * channels_ * real);
  taper_ = taperMemory_.Zeroed(static_cast<std::size_t>(g.N) * channels_ * real);
  if (window_ == nullptr || block_ == nullptr || taper_ == nullptr ||
      !search_.Reserve(StretchSearch::Points(g.R, g.D), channels_)) {
    window_ = block_ = taper_ = nullptr;
    return E_OUTOFMEMORY;
  }

  geometry_ = g;
  if (doubleBuffers_) {
    BuildTaper<double>();
  } else {
    BuildTaper<float>();
  }
  ratio_ = ratio;
  S_ = quill::InputHop(g.H, g.N, ratio);
  blockLen_ = g.H;
  pending_ = 0;
  fill_ = 0;
  drain_ = 0;
  configured_ = 1;
  fullPending_ = 0;
  return S_OK;
}

void TimeStretcher::ConfigureLight(double ratio) {
  if (!(ratio > 0.0)) return;
  ratio_ = ratio;
  S_ = quill::InputHop(geometry_.H, geometry_.N, ratio);
}

template <class Real>
void TimeStretcher::BuildTaper() {
  Real* t = static_cast<Real*>(taper_);
  const std::uint32_t N = geometry_.N, H = geometry_.H, ch = channels_;
  const std::int32_t L = geometry_.L;
  // Each factor once per channel, so that a splice runs down the
  // interleaved frames in one loop.
  const auto set = [t, ch](std::uint32_t i, Real v) { std::fill_n(t + static_cast<std::size_t>(i) * ch, ch, v); };
  std::fill(t, t + static_cast<std::size_t>(N) * ch, Real(1));
  if (L <= 1) return;
  const auto l = static_cast<std::uint32_t>(L);
  for (std::uint32_t i = 0; i < l; ++i) set(i, static_cast<Real>(static_cast<double>(i) / L));
  for (std::uint32_t k = 1; k <= l; ++k) set(H + k, static_cast<Real>(static_cast<double>(l - k) / L));
  for (std::uint32_t i = H + l + 1; i < N; ++i) set(i, Real(0));
}

double TimeStretcher::TaperAt(std::uint32_t i) const {
  if (taper_ == nullptr || i >= geometry_.N) return 0.0;
  const std::size_t at = static_cast<std::size_t>(i) * channels_;
  return doubleBuffers_ ? static_cast<const double*>(taper_)[at] : static_cast<const float*>(taper_)[at];
}

template <class Real>
std::uint32_t TimeStretcher::Search(const Real* window, const Real* block, std::uint32_t channels, std::int32_t R,
                                    std::uint32_t D, float A) {
  if (R <= 0) return 0;
  const auto r = static_cast<std::uint32_t>(R);
  // Thresholds and the best sum are kept at the buffers' precision; the
  // sums themselves in double.
  if (channels == 1) {
    double e = 0.0;
    for (std::uint32_t k = 0; k < r; k += D) e += static_cast<double>(block[k]) * block[k];
    const Real T = static_cast<Real>(A * e);
    Real best = 0;
    std::uint32_t pos = 0;
    // Judges candidate p by its sum; true when it is accepted at once.
    const auto judge = [&](std::uint32_t p, double c) {
      if (c > T) return true;
      if (c > best) {
        best = static_cast<Real>(c);
        pos = p;
      }
      return false;
    };
    for (std::uint32_t p = 0; p < r; p += D) {
      double c = 0.0;
      for (std::uint32_t k = 0; k < r; k += D) {
        const double v = static_cast<double>(window[p + k]) + block[k];
        c += v * v;
      }
      if (judge(p, c)) return p;
    }
    return pos;
  }

  double e0 = 0.0, e1 = 0.0;
  for (std::uint32_t k = 0; k < r; k += D) {
    e0 += static_cast<double>(block[2 * k]) * block[2 * k];
    e1 += static_cast<double>(block[2 * k + 1]) * block[2 * k + 1];
  }
  const Real T0 = static_cast<Real>(A * e0), T1 = static_cast<Real>(A * e1);
  Real best = 0;
  std::uint32_t pos = 0;
  const auto judge = [&](std::uint32_t p, double c0, double c1) {
    if (c0 > T0 && c1 > T1) return true;
    const double c = c0 + c1;
    if (c > best) {
      best = static_cast<Real>(c);
      pos = p;
    }
    return false;
  };
  for (std::uint32_t p = 0; p < r; p += D) {
    double c0 = 0.0, c1 = 0.0;
    for (std::uint32_t k = 0; k < r; k += D) {
      const double v0 = static_cast<double>(window[2 * (p + k)]) + block[2 * k];
      const double v1 = static_cast<double>(window[2 * (p + k) + 1]) + block[2 * k + 1];
      c0 += v0 * v0;
      c1 += v1 * v1;
    }
    if (judge(p, c0, c1)) return p;
  }
  return pos;
}

template std::uint32_t TimeStretcher::Search<float>(const float*, const float*, std::uint32_t, std::int32_t,
                                                    std::uint32_t, float);
template std::uint32_t TimeStretcher::Search<double>(const double*, const double*, std::uint32_t, std::int32_t,
                                                     std::uint32_t, float);

template <class Real>
void TimeStretcher::Splice(Real* window, Real* block, const Real* taper, std::uint32_t pos) {
  const std::uint32_t ch = channels_;
  const auto L = static_cast<std::uint32_t>(std::max(geometry_.L, 0));
  const std::uint32_t end = geometry_.H + L;
  const Real* in = window + static_cast<std::size_t>(pos) * ch;
  std::uint32_t from = 0;
  if (firstBlock_ != 0) {
    // Nothing to fade against yet: the first window starts at full level.
    std::memcpy(block, in, sizeof(Real) * L * ch);
    from = L;
    firstBlock_ = 0;
  }
  // The taper holds each factor once per channel: loops over the
  // interleaved samples, on buffers that do not overlap, which the compiler
  // runs in vector registers. Only the first L frames hold the last
  // splice's fade-out; beyond them the block is silent, and adding to a
  // silent (+0.0) sample is adding 0.0, which the second loop does without
  // reading the block (and so without the block having to be cleared).
  Real* __restrict b = block;
  const Real* __restrict x = in;
  const Real* __restrict t = taper;
  const std::size_t first = static_cast<std::size_t>(from) * ch, fade = static_cast<std::size_t>(std::max(from, L)) * ch,
                    last = static_cast<std::size_t>(end) * ch;
  for (std::size_t i = first; i < fade; ++i) b[i] = static_cast<Real>(b[i] + x[i] * static_cast<double>(t[i]));
  for (std::size_t i = fade; i < last; ++i) b[i] = static_cast<Real>(x[i] * static_cast<double>(t[i]) + 0.0);
}

template <class In, class Out>
HRESULT TimeStretcher::RunAs(const void* inData, std::uint32_t inFrames, void* outData, std::uint32_t outRoom,
                             std::uint32_t& consumed, std::uint32_t& produced) {
  using Real = StretchReal<Out>;
  static_assert(std::is_same_v<Real, StretchReal<In>>, "loader and writer share the buffers' precision");
  const auto* in = static_cast<const typename In::Sample*>(inData);
  auto* out = static_cast<typename Out::Sample*>(outData);
  Real* const window = static_cast<Real*>(window_);
  Real* const block = static_cast<Real*>(block_);
  const Real* const taper = static_cast<const Real*>(taper_);
  const std::uint32_t ch = channels_;
  const std::uint32_t N = geometry_.N, H = geometry_.H, S = S_;
  const auto L = static_cast<std::uint32_t>(std::max(geometry_.L, 0));
  const auto n32 = static_cast<std::int32_t>(N);

  consumed = 0;
  produced = 0;
  if (inFrames == 0 && pending_ == 0 && flushDone_ != 0) return S_FALSE;

  for (;;) {
    if (pending_ != 0) {
      if (blockLen_ > 0) {
        const std::uint32_t n = std::min(outRoom - produced, blockLen_ - drain_);
        const Real* src = block + static_cast<std::size_t>(drain_) * ch;
        typename Out::Sample* dst = out + static_cast<std::size_t>(produced) * ch;
        FromEngineBlock<Out>(src, dst, static_cast<std::size_t>(n) * ch);
        produced += n;
        drain_ += n;
      }
      if (drain_ < blockLen_) break;  // the output buffer is full
      drain_ = 0;
      // A block spliced before the flush has not yet taken its hop off the
      // fill, even when the flush is what drains it. Only a block spliced in
      // the flush took its hop before its splice; skipping the hop for the
      // other would leave the fill at N over a window just shifted by S, and
      // the flush would splice those S stale frames again.
      if (blockFromTail_ == 0) fill_ = n32 - static_cast<std::int32_t>(S);
      pending_ = 0;
      std::memmove(window, window + static_cast<std::size_t>(S) * ch, sizeof(Real) * (N - S) * ch);
      std::memmove(block, block + static_cast<std::size_t>(H) * ch, sizeof(Real) * L * ch);
      // The next splice writes everything from frame L on; until then the
      // search reads up to R frames, which must be silent beyond L.
      const auto R = static_cast<std::uint32_t>(std::max(geometry_.R, 0));
      if (R > L) std::memset(block + static_cast<std::size_t>(L) * ch, 0, sizeof(Real) * (R - L) * ch);
    }

    if (fill_ >= 0 && fill_ < n32) {
      const std::uint32_t f = static_cast<std::uint32_t>(fill_);
      const std::uint32_t n = std::min(inFrames - consumed, N - f);
      const typename In::Sample* src = in + static_cast<std::size_t>(consumed) * ch;
      Real* dst = window + static_cast<std::size_t>(f) * ch;
      for (std::size_t i = 0, count = static_cast<std::size_t>(n) * ch; i < count; ++i)
        dst[i] = static_cast<Real>(In::ToEngine(src[i]));
      consumed += n;
      fill_ += static_cast<std::int32_t>(n);
    }

    if (tail_ != 0) {
      if (fill_ < static_cast<std::int32_t>(H)) {
        if (flushDone_ != 0) break;
        flushDone_ = 1;
        if (fill_ <= 0) break;
        // The last window: what lies beyond the valid input is silence.
        const auto f = static_cast<std::size_t>(fill_);
        std::memset(window + f * ch, 0, sizeof(Real) * (N - f) * ch);
        blockLen_ = static_cast<std::uint32_t>(fill_);
      }
      fill_ -= static_cast<std::int32_t>(S);
    } else if (fill_ != n32) {
      break;  // the window is not full yet
    }

    const std::uint32_t pos = search_.Find(window, block, ch, geometry_.R, geometry_.D, geometry_.A);
    Splice(window, block, taper, pos);
    pending_ = 1;
    blockFromTail_ = tail_;
  }
  return S_OK;
}

HRESULT TimeStretcher::Run(const void* in, std::uint32_t* inFrames, void* out, std::uint32_t* outFrames) {
  const std::uint32_t available = inFrames != nullptr ? *inFrames : 0;
  const std::uint32_t room = outFrames != nullptr ? *outFrames : 0;
  if ((in == nullptr && available != 0) || (out == nullptr && room != 0)) return E_POINTER;
  if (configured_ == 0 || doubleBuffers_ != IsDoublePrecision(outKind_)) return E_UNEXPECTED;

  std::uint32_t consumed = 0, produced = 0;
  HRESULT hr;
  // One switch per call; the loop itself is written once per kind pair.
  if (inKind_ == outKind_) {
    hr = WithSampleKind(outKind_, [&](auto k) {
      using K = decltype(k);
      return RunAs<K, K>(in, available, out, room, consumed, produced);
    });
  } else if (outKind_ == SampleKind::Pcm32) {
    hr = RunAs<Float64, Pcm32>(in, available, out, room, consumed, produced);
  } else if (outKind_ == SampleKind::Pcm16) {
    hr = RunAs<Float32, Pcm16>(in, available, out, room, consumed, produced);
  } else {
    hr = RunAs<Float32, Pcm8>(in, available, out, room, consumed, produced);
  }
  if (inFrames != nullptr) *inFrames = consumed;
  if (outFrames != nullptr) *outFrames = produced;
  return hr;
}

}  // namespace quill
