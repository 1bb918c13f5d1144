#include "twpitchs/pitch_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "dsp/kernel_frame.h"
#include "framework/sample_block.h"
#include "twpitchs/transpose.h"

namespace quill {

std::uint32_t KernelTaps(std::int32_t accuracy) {
  if (accuracy == 1) return 2;
  if (accuracy == 3) return 15;
  return 9;
}

PitchEngine::~PitchEngine() = default;

HRESULT PitchEngine::GetSampleRate(std::uint32_t* rate) {
  return ShownSampleRate(rate);
}

HRESULT PitchEngine::SelectFormat(const AudioFormat* format) {
  if (format == nullptr) return E_POINTER;
  const std::optional<SampleKind> found = CopyingKindOf(*format);
  if (!found) return E_FAIL;
  const SampleKind kind = *found;
  if (format->sampleRate == 0) return E_FAIL;
  // Behind the resampler the stretcher reads the float intermediate buffer
  // and writes the stream's own kind.
  const SampleKind intermediate = IsDoublePrecision(kind) ? SampleKind::Float64 : SampleKind::Float32;
  if (FAILED(stretcher_.SelectKinds(intermediate, kind, format->channels))) return E_FAIL;
  kind_ = kind;
  channels_ = format->channels;
  rate_ = format->sampleRate;
  selected_ = format;
  SetFormat(format);
  // Everything a set-up while streaming uses is held from here on: the
  // intermediate buffer for this kind and channel count, the kernel's table
  // and the stretcher's buffers for its widest window, which an edit that
  // turns preserveDuration on needs at once.
  intermediate_ = nullptr;
  if (!intermediateMemory_.Reserve(IntermediateBytes()) || FAILED(kernel_.Reserve()) ||
      FAILED(stretcher_.Reserve(rate_)))
    return E_OUTOFMEMORY;
  return Restart();
}

HRESULT PitchEngine::Restart() {
  HRESULT configured;
  return Restart(configured);
}

HRESULT PitchEngine::Restart(HRESULT& configured) {
  configured = S_OK;
  if (selected_ == nullptr) return VFW_E_NOT_CONNECTED;
  fullPending_ = 1;
  configuredOk_ = 0;
  stretcher_.ClearFlushDone();
  // Cleared, from the memory the start reserved; should it fail, the next
  // buffer's full set-up tries again.
  intermediate_ = nullptr;
  if (FAILED(AllocIntermediate())) return E_OUTOFMEMORY;
  PitchParams snapshot;
  bool full;
  TakeSnapshot(snapshot, full);
  configured = Configure(snapshot, true);
  ClearPositions();
  ringPos_ = 0;
  stretcher_.SetTail(false);
  stretcher_.SetFirstBlock();
  started_ = 0;
  return S_OK;
}

std::size_t PitchEngine::IntermediateBytes() const {
  const std::size_t real = IsDoublePrecision(kind_) ? sizeof(double) : sizeof(float);
  return static_cast<std::size_t>(kIntermediateFrames) * channels_ * real;
}

HRESULT PitchEngine::AllocIntermediate() {
  if (intermediate_ != nullptr) return S_OK;
  intermediate_ = intermediateMemory_.Zeroed(IntermediateBytes());
  return intermediate_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

void PitchEngine::ClearPositions() {
  T_ = 0.0;
  P_ = 0.0;
  outCount_ = 0;
  need_ = 0;
  totalIn_ = 0;
  totalOut_ = 0;
  held_ = 0;
  readPos_ = 0;
}

HRESULT PitchEngine::Configure(const PitchParams& p, bool full) {
  if (selected_ == nullptr) return VFW_E_NOT_CONNECTED;
  if (full) return ConfigureFull(p);
  SetRate(p);
  active_ = p;
  if (active_.preserveDuration != 0) stretcher_.ConfigureLight(r_);
  // The rings and the kernel stay: output continues from where the input is.
  T_ = 0.0;
  P_ = 0.0;
  outCount_ = 0;
  need_ = 0;
  if (Filtering()) filter_.Design(0.5 / r_);
  configuredOk_ = 1;
  return S_OK;
}

// The applied ratio comes from a whole virtual rate, so it is quantised.
double PitchEngine::AppliedRatio(std::uint32_t rate, const PitchParams& p) {
  const double r = static_cast<double>(rate) / VirtualRate(rate, p.ratio);
  return p.preserveDuration != 0 && r < 0.5 ? 0.5 : r;
}

void PitchEngine::SetRate(const PitchParams& p) {
  virtualRate_ = VirtualRate(rate_, p.ratio);
  r_ = AppliedRatio(rate_, p);
}

HRESULT PitchEngine::ConfigureFull(const PitchParams& p) {
  configuredOk_ = 0;
  fullPending_ = 1;
  SetRate(p);
  active_ = p;
  taps_ = KernelTaps(p.accuracy);
  half_ = taps_ / 2;
  ringPos_ = 0;

  std::fill(std::begin(ring_), std::end(ring_), 0.0);
  HRESULT hr = kernel_.Build(taps_);
  if (FAILED(hr)) return hr;
  // A restart whose allocation failed left none; the resampler must not
  // run into it.
  hr = AllocIntermediate();
  if (FAILED(hr)) return hr;

  if (p.preserveDuration != 0) {
    stretcher_.RequestFull();
    hr = stretcher_.ConfigureFull(rate_, p.mode, r_);
  }
  if (Filtering()) filter_.Design(0.5 / r_);

  ClearPositions();
  stretcher_.SetFirstBlock();
  stretcher_.SetTail(false);
  if (FAILED(hr)) return hr;
  configuredOk_ = 1;
  fullPending_ = 0;
  return S_OK;
}

HRESULT PitchEngine::PreFilter(ProcessMode mode, void* buffer, std::uint32_t frames) {
  if (selected_ == nullptr) return VFW_E_NOT_CONNECTED;
  if (buffer == nullptr && frames != 0) return E_POINTER;
  if (mode != ProcessMode::Tail) {
    PitchParams snapshot;
    bool full;
    const bool changed = TakeSnapshot(snapshot, full);
    if (full) fullPending_ = 1;
    if (changed || configuredOk_ == 0) {
      const HRESULT hr = Configure(snapshot, fullPending_ != 0);
      if (FAILED(hr)) return hr;
    }
  }
  if (configuredOk_ == 0 || !Filtering()) return S_OK;
  const std::uint32_t ch = channels_;
  return WithSampleKind(kind_, [&](auto k) {
    using K = decltype(k);
    auto* s = static_cast<typename K::Sample*>(buffer);
    // A NaN or an infinity among float samples would stay in the filter's
    // feedback; looked for every few milliseconds, it starts again from
    // silence instead.
    HRESULT result = S_OK;
    for (std::size_t at = 0, end = 0; at < frames; at = end) {
      end = K::kBounded ? frames : std::min<std::size_t>(frames, at + 256);
      for (std::size_t f = at; f < end; ++f)
        for (std::uint32_t c = 0; c < ch; ++c) {
          auto& v = s[f * ch + c];
          v = K::FromEngine(filter_.Step(c, K::ToEngine(v)));
        }
      if constexpr (!K::kBounded) {
        if (!filter_.StateFinite()) {
          filter_.Clear();
          result = kStateCleared;
        }
      }
    }
    return result;
  });
}

// The ring holds each frame twice, at ringPos and ringPos + taps, so that
// the taps frames from the newest back are always contiguous; a frame's
// channels sit side by side. The state the loop walks is kept in locals and
// written back when it stops.
template <class In, class Out, std::uint32_t Ch, std::uint32_t Taps, bool Wide>
void PitchEngine::ResampleAs(const void* inData, std::uint32_t inFrames, void* outData, std::uint32_t room,
                             std::uint32_t& consumed, std::uint32_t& produced) {
  const auto* in = static_cast<const typename In::Sample*>(inData);
  auto* out = static_cast<typename Out::Sample*>(outData);
  constexpr std::uint32_t half = Taps / 2;
  double* const ring = ring_;
  const double r = r_;
  const double pointsPerFrame = kernel_.PointsPerFrame();
  const double* const pairs = kernel_.Pairs();
  std::uint32_t ringPos = ringPos_, need = need_;
  std::uint64_t outCount = outCount_;
  double T = T_, P = P_;
  std::uint32_t taken = 0, made = 0;

  if (room > 0) {
    if (restartFlag_ != 0) {
      // Pre-load: the first frame of the new run lands on the kernel's centre.
      restartFlag_ = 0;
      need = half + 1;
      ringPos = half + 1;
      P -= half + 1;
    }
    for (;;) {
      // Load what the next output frame needs.
      while (need > 0 && taken < inFrames) {
        ringPos = ringPos == 0 ? Taps - 1 : ringPos - 1;
        const typename In::Sample* frame = in + static_cast<std::size_t>(taken) * Ch;
#if defined(__SSE2__)
        if constexpr (Ch == 2) {
          const __m128d v = FrameToEngine<In>(frame);
          _mm_storeu_pd(ring + 2 * ringPos, v);
          _mm_storeu_pd(ring + 2 * (ringPos + Taps), v);
        } else
#endif
        {
          for (std::uint32_t c = 0; c < Ch; ++c)
            ring[ringPos * Ch + c] = ring[(ringPos + Taps) * Ch + c] = In::ToEngine(frame[c]);
        }
        --need;
        P += 1.0;
        ++taken;
      }
      if (need > 0) break;  // the input is used up

      // Distance of the newest frame from the output position; frame k
      // (0 newest) lies at d - k.
      const double d = half - (T - P);
      typename Out::Sample* dst = out + static_cast<std::size_t>(made) * Ch;
      const double* h = ring + ringPos * Ch;
      if constexpr (Taps == 2) {
        for (std::uint32_t c = 0; c < Ch; ++c) dst[c] = Out::FromEngine(h[c] * (1.0 - d) + h[Ch + c] * d);
      } else {
        double y[Ch];
#if QUILL_WIDE_PATH
        if constexpr (Wide) {
          kernel_frame::SumsWide<Taps, Ch>(d, pointsPerFrame, pairs, h, y);
        } else
#endif
        {
          kernel_frame::SumsPortable<Taps, Ch>(d, pointsPerFrame, pairs, h, y);
        }
#if defined(__SSE2__)
        if constexpr (Ch == 2) {
          FrameFromEngine<Out>(_mm_loadu_pd(y), dst);
        } else
#endif
        {
          for (std::uint32_t c = 0; c < Ch; ++c) dst[c] = Out::FromEngine(y[c]);
        }
      }
      ++made;
      ++outCount;
      // Counted signed for the conversion, a single instruction; no stream
      // comes near 2^63 frames.
      T = static_cast<double>(static_cast<std::int64_t>(outCount)) * r;
      const double ahead = T - P;  // whole frames still to load; none while behind
      need = ahead >= 1.0 ? static_cast<std::uint32_t>(static_cast<std::int64_t>(ahead)) : 0;
      if (made >= room) break;
    }
  }
  ringPos_ = ringPos;
  need_ = need;
  outCount_ = outCount;
  T_ = T;
  P_ = P;
  consumed = taken;
  produced = made;
}

#if QUILL_WIDE_PATH
// Everything the loop calls is compiled into it, for the wide path: a call
// per frame would cost about as much as the sums save.
template <class In, class Out, std::uint32_t Ch, std::uint32_t Taps>
QUILL_WIDE __attribute__((flatten)) void PitchEngine::ResampleWide(const void* in, std::uint32_t inFrames,
                                                                      void* out, std::uint32_t room,
                                                                      std::uint32_t& consumed,
                                                                      std::uint32_t& produced) {
  ResampleAs<In, Out, Ch, Taps, true>(in, inFrames, out, room, consumed, produced);
}
#else
template <class In, class Out, std::uint32_t Ch, std::uint32_t Taps>
void PitchEngine::ResampleWide(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room,
                               std::uint32_t& consumed, std::uint32_t& produced) {
  ResampleAs<In, Out, Ch, Taps, false>(in, inFrames, out, room, consumed, produced);
}
#endif

template <class In, class Out>
void PitchEngine::ResampleTo(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room,
                             std::uint32_t& consumed, std::uint32_t& produced) {
  // One loop per channel count and kernel length, chosen once per call.
  const bool wide = WidePathRuns();
  const auto run = [&](auto channels, auto taps) {
    constexpr std::uint32_t ch = decltype(channels)::value, n = decltype(taps)::value;
    if (n != 2 && wide) {
      ResampleWide<In, Out, ch, n>(in, inFrames, out, room, consumed, produced);
    } else {
      ResampleAs<In, Out, ch, n, false>(in, inFrames, out, room, consumed, produced);
    }
  };
  using One = std::integral_constant<std::uint32_t, 1>;
  using Two = std::integral_constant<std::uint32_t, 2>;
  const auto withTaps = [&](auto channels) {
    if (taps_ == 2) {
      run(channels, Two{});
    } else if (taps_ == 15) {
      run(channels, std::integral_constant<std::uint32_t, 15>{});
    } else {
      run(channels, std::integral_constant<std::uint32_t, 9>{});
    }
  };
  if (channels_ == 2) {
    withTaps(Two{});
  } else {
    withTaps(One{});
  }
}

void PitchEngine::Resample(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room, bool toIntermediate,
                           std::uint32_t& consumed, std::uint32_t& produced) {
  WithSampleKind(kind_, [&](auto k) {
    using K = decltype(k);
    if (!toIntermediate) {
      ResampleTo<K, K>(in, inFrames, out, room, consumed, produced);
    } else if constexpr (std::is_same_v<StretchReal<K>, double>) {
      ResampleTo<K, Float64>(in, inFrames, out, room, consumed, produced);
    } else {
      ResampleTo<K, Float32>(in, inFrames, out, room, consumed, produced);
    }
    return 0;
  });
}

HRESULT PitchEngine::ProcessPreserving(ProcessMode mode, const void* in, std::uint32_t available, void* out,
                                       std::uint32_t room, std::uint32_t& consumed, std::uint32_t& produced) {
  const std::size_t frameBytes =
      static_cast<std::size_t>(channels_) * (IsDoublePrecision(kind_) ? sizeof(double) : sizeof(float));
  const bool tail = mode == ProcessMode::Tail;
  // New resampled frames only once the stretcher has taken every held one
  // and has no block waiting to be written out.
  if (!tail && !stretcher_.Pending() && readPos_ == held_) {
    std::uint32_t written = 0;
    Resample(in, available, intermediate_, kIntermediateFrames, true, consumed, written);
    totalIn_ += consumed;
    readPos_ = 0;
    held_ = written;
  }
  if (tail && readPos_ == held_) stretcher_.SetTail(true);  // stays set until the next full set-up

  std::uint32_t taken = held_ - readPos_;
  produced = room;
  const HRESULT hr =
      stretcher_.Run(static_cast<const std::uint8_t*>(intermediate_) + readPos_ * frameBytes, &taken, out, &produced);
  if (FAILED(hr)) {
    produced = 0;
    return hr;
  }
  readPos_ += taken;
  totalOut_ += produced;

  // Length equalisation at the end of the stream: a downward shift cuts
  // what the flush makes beyond the input's length, and any shift pads a
  // flush that comes up short with silence. Only flush calls do either:
  // the stretcher's rounded input hop lets its output run ahead of the
  // input count long before the end, and cutting there would drop sound
  // from the middle of the stream.
  if (tail && r_ < 1.0 && totalOut_ > totalIn_) {
    const std::uint64_t excess = totalOut_ - totalIn_;
    produced = excess >= produced ? 0 : produced - static_cast<std::uint32_t>(excess);
    return S_FALSE;
  }
  if (hr == S_FALSE && totalIn_ > totalOut_ && produced == 0) {
    const auto fill = static_cast<std::uint32_t>(std::min<std::uint64_t>(totalIn_ - totalOut_, room));
    WithSampleKind(kind_, [&](auto k) {
      using K = decltype(k);
      std::fill_n(static_cast<typename K::Sample*>(out), static_cast<std::size_t>(fill) * channels_, K::silence);
      return 0;
    });
    produced = fill;
    totalOut_ += fill;
    return totalOut_ >= totalIn_ ? S_FALSE : S_OK;
  }
  return hr;
}

HRESULT PitchEngine::Process(ProcessMode mode, const void* in, std::uint32_t* inFrames, void* out,
                             std::uint32_t* outFrames) {
  const std::uint32_t available = inFrames != nullptr ? *inFrames : 0;
  const std::uint32_t room = outFrames != nullptr ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  if ((in == nullptr && available != 0) || (out == nullptr && room != 0)) return E_POINTER;
  if (selected_ == nullptr) return VFW_E_NOT_CONNECTED;

  const bool tail = mode == ProcessMode::Tail;
  restartFlag_ = mode == ProcessMode::Discontinuity ? 1 : 0;
  if (tail) {
    // A flush neither restarts nor configures: changes wait for the next buffer.
    if (configuredOk_ == 0) return S_FALSE;
  } else {
    PitchParams snapshot;
    bool full;
    const bool changed = TakeSnapshot(snapshot, full);
    if (full) fullPending_ = 1;
    HRESULT hr = S_OK, configured = S_OK;
    switch (StartOf(mode, started_ != 0, changed, configuredOk_ != 0)) {
      case BufferStart::Restart:
        hr = Restart(configured);
        if (SUCCEEDED(hr)) hr = configured;
        break;
      case BufferStart::SetUp:
        hr = Configure(snapshot, fullPending_ != 0);
        break;
      case BufferStart::Run:
        break;
    }
    if (FAILED(hr)) return hr;
  }
  started_ = 1;

  std::uint32_t consumed = 0, produced = 0;
  HRESULT hr = S_OK;
  if (active_.preserveDuration == 0) {
    if (tail) return S_FALSE;  // the resampler holds nothing back for a flush
    Resample(in, available, out, room, false, consumed, produced);
  } else {
    hr = ProcessPreserving(mode, in, available, out, room, consumed, produced);
    if (FAILED(hr)) return hr;
  }
  KeepFinite(kind_, out, static_cast<std::size_t>(produced) * channels_);
  if (inFrames != nullptr) *inFrames = consumed;
  if (outFrames != nullptr) *outFrames = produced;
  return hr;
}

}  // namespace quill
