#include "twechomt/multi_tap_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <type_traits>

#include "dsp/oscillator.h"
#include "framework/sample_block.h"

namespace quill {

namespace {

// How far each tap swings with the oscillator, and a small fixed offset per
// tap so that taps set to the same delay do not coincide exactly.
constexpr double kDepthFactor[MultiTapEngine::kTaps] = {0.7, 0.9, 0.4, 0.6, 0.8, 0.9, 0.1, 0.9};
constexpr double kOffsetMs[MultiTapEngine::kTaps] = {0.123, 0.377, -0.411, 0.095, -0.301, -0.253, 0.457, 0.179};

constexpr std::uint32_t kChunk = 256;

}  // namespace

MultiTapEngine::MultiTapEngine() : loops_(WideTapKernels()), scale16_(ScalePcm16Wide()) {
  if (loops_ == nullptr) loops_ = &PortableTapKernels();
  if (scale16_ == nullptr) scale16_ = ScalePcm16Portable;
}

// A new rate gets the full set-up, never a retune: tap positions and the
// ring length are counted in frames of the rate they were made for, and
// kept as they are every echo would land at the old frame distance, at the
// wrong time. A new channel count changes the pans and the stereo loop.
bool MultiTapEngine::SetUpMoved() const {
  const AudioFormat* format = Format();
  return format->sampleRate != rate_ || (format->channels == 2 ? 2u : 1u) != channels_;
}

void MultiTapEngine::Retune(const MultiTapParams& p) {
  const AudioFormat* format = Format();
  const double fs = format != nullptr ? format->sampleRate : 0.0;
  increment_ = SweepIncrement((10.0 / p.modRate) * fs);
  gWet_ = DbToGain(p.wetOut, -800);
  gDry_ = DbToGain(p.dryOut, -800);
  gIn_ = DbToGain(p.inputGain, -800);
  const std::uint32_t rate = format != nullptr ? format->sampleRate : 0;
  lowpass_.Set(p.lowpass != 0 && BelowHalfRate(p.lowpassHz, rate, true), p.lowpassHz, fs);
}

// Tap positions and ring length, in 64 bits: at absurd sample rates they
// would not fit the ring's 32-bit indices, and such a ring is refused like a
// failed allocation (0), before anything in use has changed.
std::int64_t MultiTapEngine::RingFor(const MultiTapParams& p, double fs, std::int64_t (&pos)[kTaps]) {
  const int count = std::clamp(p.tapCount, 1, kTaps);
  const double depth = p.modDepth * 3e-5 * fs;
  const auto spm = static_cast<std::int64_t>(fs * 0.001);
  std::int64_t longest = 0;
  for (int k = 0; k < kTaps; ++k) pos[k] = 0;
  for (int k = 0; k < count; ++k) {
    const auto offset = static_cast<std::int64_t>(fs * kOffsetMs[k] * 0.001);
    pos[k] = std::max<std::int64_t>(0, offset + spm * p.tapDelayMs[k]);
    longest = std::max(longest, pos[k]);
  }
  const double wanted = 1.05 * static_cast<double>(longest) + 4.0 * depth;
  if (!(wanted < static_cast<double>(INT_MAX))) return 0;
  std::int64_t length = static_cast<std::int64_t>(wanted);
  if (length < longest + 1) length = longest + 1;
  return length > INT_MAX ? 0 : length;
}

// The ring grows with every tap's delay and with the depth, so the table's
// largest of each makes the longest ring the format can have.
HRESULT MultiTapEngine::Reserve() {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  MultiTapParams widest = MultiTapTraits::Presets()[0].params;
  const FieldTable fields = MultiTapTraits::Fields();
  for (int k = 0; k < kTaps; ++k) {
    const std::size_t offset = offsetof(MultiTapParams, tapDelayMs) + k * sizeof widest.tapDelayMs[0];
    widest.tapDelayMs[k] = static_cast<std::int32_t>(FieldAt(fields, offset)->hi);
  }
  widest.tapCount = static_cast<std::int32_t>(FieldAt(fields, offsetof(MultiTapParams, tapCount))->hi);
  widest.modDepth = static_cast<std::int32_t>(FieldAt(fields, offsetof(MultiTapParams, modDepth))->hi);
  std::int64_t pos[kTaps];
  const std::int64_t N = RingFor(widest, format->sampleRate, pos);
  // A ring too long to index is refused at its set-up; the cap is held back.
  const std::size_t wanted = N > 0 ? static_cast<std::size_t>(N) * sizeof(double) : kLineReserveCap;
  return memory_.Reserve(wanted) ? S_OK : E_OUTOFMEMORY;
}

HRESULT MultiTapEngine::Configure(const MultiTapParams& p) {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  const double fs = format->sampleRate;
  const std::uint32_t channels = format->channels == 2 ? 2 : 1;
  const int count = std::clamp(p.tapCount, 1, kTaps);
  const double depth = p.modDepth * 3e-5 * fs;
  std::int64_t pos[kTaps];
  const std::int64_t length = RingFor(p, fs, pos);
  if (length == 0) return E_OUTOFMEMORY;
  const auto N = static_cast<std::int32_t>(length);

  for (int k = 0; k < kTaps; ++k) {
    dk_[k] = kDepthFactor[k] * depth;
    ok_[k] = fs * kOffsetMs[k] * 0.001;
  }
  Retune(p);

  // Total tap gain, signed: opposite taps cancel in it.
  double total = 0.0;
  for (int k = 0; k < count; ++k) {
    const double g = p.tapGain[k] * 0.01;
    if (channels == 1) {
      gL_[k] = g;
      gR_[k] = 0.0;
      total += gL_[k];
    } else {
      // Linear one-sided pan: the near side keeps the full gain.
      if (p.tapPan[k] <= 0) {
        gL_[k] = g;
        gR_[k] = p.tapGain[k] * ((p.tapPan[k] + 100) * 0.01) * 0.01;
      } else {
        gR_[k] = g;
        gL_[k] = p.tapGain[k] * ((100 - p.tapPan[k]) * 0.01) * 0.01;
      }
      total += gR_[k] + gL_[k];
    }
  }
  if (total < 1.0) total = 1.0;
  fb_ = p.feedbackPct / (total * 100);
  channels_ = channels;
  rate_ = format->sampleRate;
  tapCount_ = count;

  if (ring_ != nullptr && ringLength_ == N) {
    for (int k = 0; k < count; ++k) tapPos_[k] = static_cast<std::int32_t>((w_ + pos[k]) % N);
    return S_OK;
  }

  // A new length starts an empty ring, in the memory the start reserved.
  ring_ = nullptr;
  ringLength_ = 0;
  ring_ = static_cast<double*>(memory_.Zeroed(static_cast<std::size_t>(N) * sizeof(double)));
  if (ring_ == nullptr) return E_OUTOFMEMORY;
  ringLength_ = N;
  w_ = 0;
  for (int k = 0; k < count; ++k) tapPos_[k] = static_cast<std::int32_t>(pos[k]);
  tailLeft_ = static_cast<std::uint32_t>(N);
  iL_[0] = iL_[1] = wL_[0] = wL_[1] = 0.0;
  phase_ = 0.0;
  return S_OK;
}

void MultiTapEngine::ReleaseLine() {
  memory_.Release();
  ring_ = nullptr;
  ringLength_ = 0;
  rebuild_ = true;
  ready_ = 0;  // no ring to run on until the next full set-up
}

template <class Kind>
bool MultiTapEngine::RunFrames(typename Kind::Sample* data, std::uint32_t n) {
  const std::uint32_t channels = channels_;
  const int count = tapCount_;
  TapState t{};
  t.ring = ring_;
  t.length = ringLength_;
  t.w = w_;
  t.count = count;
  for (int k = 0; k < kTaps; ++k) {
    t.pos[k] = k < count ? tapPos_[k] : 0;
    t.depth[k] = dk_[k];
    t.gL[k] = gL_[k];
    t.gR[k] = gR_[k];
  }
  t.a = lowpass_.a;
  t.b = lowpass_.b;
  t.fb = fb_;
  t.gWet = gWet_;
  t.gDry = gDry_;
  t.in[0] = iL_[0];
  t.in[1] = iL_[1];
  t.wet[0] = wL_[0];
  t.wet[1] = wL_[1];
  const double gIn = gIn_, inc = increment_;
  double phase = phase_;
  alignas(32) double s[kChunk], x[2 * kChunk], y[2 * kChunk];
  bool cleared = false;
  for (std::uint32_t at = 0; at < n; at += kChunk) {
    const std::uint32_t m = std::min(kChunk, n - at);
    const std::uint32_t values = m * channels;
    typename Kind::Sample* d = data + static_cast<std::size_t>(at) * channels;
    // The phase adds up frame by frame and never repeats exactly, so unlike
    // the chorus's sweep its sines cannot be kept from one period to the next.
    for (std::uint32_t i = 0; i < m; ++i) {
      s[i] = std::sin(phase);
      phase += inc;
    }
    if constexpr (std::is_same_v<Kind, Pcm16>) {
      scale16_(d, values, gIn, x);
    } else {
      for (std::uint32_t i = 0; i < values; ++i) x[i] = Kind::ToEngine(d[i]) * gIn;
    }
    if (channels == 2)
      loops_->stereo(t, s, x, m, y);
    else
      loops_->mono(t, s, x, m, y);
    FromEngineBlock<Kind>(y, d, values);
    // The ring holds its values within kRingLimit, but a NaN from float
    // samples passes any limit. It can only enter through the low-passes,
    // whose states then keep it: a look at them after each chunk finds it,
    // and the ring starts again from silence. Integer samples bring none.
    if constexpr (!Kind::kBounded) {
      if (!AllFinite(t.in, 2) || !AllFinite(t.wet, 2)) {
        std::fill_n(t.ring, t.length, 0.0);
        t.in[0] = t.in[1] = t.wet[0] = t.wet[1] = 0.0;
        cleared = true;
      }
    }
  }
  phase_ = phase;
  for (int k = 0; k < count; ++k) tapPos_[k] = t.pos[k];
  iL_[0] = t.in[0];
  iL_[1] = t.in[1];
  wL_[0] = t.wet[0];
  wL_[1] = t.wet[1];
  w_ = t.w;
  return cleared;
}

template <class Kind>
HRESULT MultiTapEngine::Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames) {
  std::uint32_t n = *frames;
  const HRESULT result = mode == ProcessMode::Tail ? CountTail(n) : S_OK;
  const bool cleared = RunFrames<Kind>(data, n);
  *frames = n;
  return cleared ? kStateCleared : result;
}

template HRESULT InPlaceEngine<MultiTapEngine, MultiTapTraits>::Process(SampleKind, ProcessMode, void*, std::uint32_t*);

}  // namespace quill
