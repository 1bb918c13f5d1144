#include "twechomt/multi_tap_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>

#include "dsp/oscillator.h"

namespace quill {

namespace {

// How far each tap swings with the oscillator, and a small fixed offset per
// tap so that taps set to the same delay do not coincide exactly.
constexpr double kDepthFactor[MultiTapEngine::kTaps] = {0.7, 0.9, 0.4, 0.6, 0.8, 0.9, 0.1, 0.9};
constexpr double kOffsetMs[MultiTapEngine::kTaps] = {0.123, 0.377, -0.411, 0.095, -0.301, -0.253, 0.457, 0.179};

double ClampRing(double v) {
  return v < -MultiTapEngine::kRingLimit  ? -MultiTapEngine::kRingLimit
         : v > MultiTapEngine::kRingLimit ? MultiTapEngine::kRingLimit
                                          : v;
}

}  // namespace

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
void MultiTapEngine::RunMono(typename Kind::Sample* data, std::uint32_t n) {
  double* const ring = ring_;
  const std::int32_t N = ringLength_;
  const int count = tapCount_;
  const double a = lowpass_.a, b = lowpass_.b, fb = fb_, gIn = gIn_, gDry = gDry_, gWet = gWet_, inc = increment_;
  double phase = phase_, iL = iL_[0], wL = wL_[0];
  std::int32_t w = w_;

  for (std::uint32_t i = 0; i < n; ++i) {
    const double s = std::sin(phase);
    phase += inc;
    const double in = Kind::ToEngine(data[i]) * gIn;
    iL = b * in + a * iL;
    double T = 0.0;
    for (int k = 0; k < count; ++k) {
      // The mono path rounds the sweep to the nearest sample.
      const auto m = static_cast<std::int32_t>(dk_[k] * (1.0 + s) + 0.5);
      std::int32_t r = tapPos_[k] - m;
      if (r < 0) r += N;
      T += ring[r] * gL_[k];
      if (--tapPos_[k] < 0) tapPos_[k] = N - 1;
    }
    wL = b * T + a * wL;
    ring[w] = ClampRing(fb * wL + iL);
    if (--w < 0) w = N - 1;
    data[i] = Kind::FromEngine(gWet * wL + gDry * in);
  }

  phase_ = phase;
  iL_[0] = iL;
  wL_[0] = wL;
  w_ = w;
}

template <class Kind>
void MultiTapEngine::RunStereo(typename Kind::Sample* data, std::uint32_t n) {
  double* const ring = ring_;
  const std::int32_t N = ringLength_;
  const int count = tapCount_;
  const double a = lowpass_.a, b = lowpass_.b, fb = fb_, gIn = gIn_, gDry = gDry_, gWet = gWet_, inc = increment_;
  double phase = phase_;
  double iL0 = iL_[0], iL1 = iL_[1], wL0 = wL_[0], wL1 = wL_[1];
  std::int32_t w = w_;

  for (std::uint32_t i = 0; i < n; ++i) {
    typename Kind::Sample* frame = data + 2 * static_cast<std::size_t>(i);
    const double s = std::sin(phase);
    phase += inc;
    const double inL = Kind::ToEngine(frame[0]) * gIn;
    const double inR = Kind::ToEngine(frame[1]) * gIn;
    iL0 = b * inL + a * iL0;
    iL1 = b * inR + a * iL1;
    double TL = 0.0, TR = 0.0;
    for (int k = 0; k < count; ++k) {
      // The stereo path truncates the sweep where the mono path rounds it.
      const auto m = static_cast<std::int32_t>(dk_[k] * (1.0 + s));
      std::int32_t r = tapPos_[k] - m;
      if (r < 0) r += N;
      const double v = ring[r];
      TL += gL_[k] * v;
      TR += gR_[k] * v;
      if (--tapPos_[k] < 0) tapPos_[k] = N - 1;
    }
    wL0 = b * TL + a * wL0;
    wL1 = b * TR + a * wL1;
    const double yL = gWet * wL0 + gDry * inL;
    const double yR = gWet * wL1 + gDry * inR;
    ring[w] = ClampRing((fb * (wL0 + wL1) + iL0 + iL1) * 0.5);
    if (--w < 0) w = N - 1;
    frame[0] = Kind::FromEngine(yL);
    frame[1] = Kind::FromEngine(yR);
  }

  phase_ = phase;
  iL_[0] = iL0;
  iL_[1] = iL1;
  wL_[0] = wL0;
  wL_[1] = wL1;
  w_ = w;
}

template <class Kind>
HRESULT MultiTapEngine::Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames) {
  std::uint32_t n = *frames;
  const HRESULT result = mode == ProcessMode::Tail ? CountTail(n) : S_OK;
  if (channels_ == 2)
    RunStereo<Kind>(data, n);
  else
    RunMono<Kind>(data, n);
  *frames = n;
  return result;
}

template HRESULT InPlaceEngine<MultiTapEngine, MultiTapTraits>::Process(SampleKind, ProcessMode, void*, std::uint32_t*);

}  // namespace quill
