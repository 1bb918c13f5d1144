// The multi-tap delay: up to eight taps read from one mono ring, swept by one
// sine oscillator, panned in stereo, summed, low-passed and fed back into the
// ring scaled down by the total tap gain.
#pragma once

#include <cstdint>

#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "twechomt/multi_tap_fields.h"
#include "twechomt/multi_tap_presets.h"

namespace quill {

struct MultiTapTraits {
  using Params = MultiTapParams;
  using Interface = IMultiTapParams;
  static constexpr const IID& kInterfaceId = IID_IMultiTapParams;
  static bool Clamp(Params& p);
  static PresetTable<Params> Presets() { return MultiTapPresets(); }
  static FieldTable Fields() { return MultiTapFields(); }
};

class MultiTapEngine : public EffectEngine<MultiTapTraits> {
 public:
  static constexpr int kTaps = 8;
  // Values written into the ring are held within this, so runaway feedback
  // saturates instead of overflowing.
  static constexpr double kRingLimit = 16777216.0;

  MultiTapEngine() = default;
  ~MultiTapEngine() override { ReleaseLine(); }

  // Field accessors, in the interface's slot order. Light fields are picked
  // up by Retune; full fields also request the full set-up.
  HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* v) override { return ReadField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t v) override { return Light(&Params::inputGain, v, -800, 0); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return Light(&Params::dryOut, v, -800, 0); }
  HRESULT STDMETHODCALLTYPE GetWetOut(std::int32_t* v) override { return ReadField(&Params::wetOut, v); }
  HRESULT STDMETHODCALLTYPE SetWetOut(std::int32_t v) override { return Light(&Params::wetOut, v, -800, 0); }
  HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* v) override { return ReadField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t v) override { return Light(&Params::modRate, v, 1, 100); }
  HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* v) override { return ReadField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t v) override { return Full(&Params::modDepth, v, 0, 100); }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return Full(&Params::feedbackPct, v, 0, 150); }
  HRESULT STDMETHODCALLTYPE GetLowpass(std::int32_t* v) override { return ReadField(&Params::lowpass, v); }
  HRESULT STDMETHODCALLTYPE SetLowpass(std::int32_t v) override { return StoreField(&Params::lowpass, v); }
  HRESULT STDMETHODCALLTYPE GetLowpassHz(std::int32_t* v) override { return ReadField(&Params::lowpassHz, v); }
  HRESULT STDMETHODCALLTYPE SetLowpassHz(std::int32_t v) override { return Light(&Params::lowpassHz, v, 100, 10000); }
  HRESULT STDMETHODCALLTYPE GetTapCount(std::int32_t* v) override { return ReadField(&Params::tapCount, v); }
  HRESULT STDMETHODCALLTYPE SetTapCount(std::int32_t v) override { return Full(&Params::tapCount, v, 1, 8); }
  HRESULT STDMETHODCALLTYPE GetCurrentTap(std::int32_t* v) override { return ReadField(&Params::currentTap, v); }
  HRESULT STDMETHODCALLTYPE SetCurrentTap(std::int32_t v) override { return Light(&Params::currentTap, v, 0, 7); }
  HRESULT STDMETHODCALLTYPE GetGraphResolution(std::int32_t* v) override {
    return ReadField(&Params::graphResolution, v);
  }
  HRESULT STDMETHODCALLTYPE SetGraphResolution(std::int32_t v) override {
    return Light(&Params::graphResolution, v, 0, 3);
  }

#define QUILL_TAP_ACCESSORS(Name, field, lo, hi, k)                  \
  HRESULT STDMETHODCALLTYPE Get##Name##k(std::int32_t* v) override { \
    return GetTap(&Params::field, k, v);                             \
  }                                                                  \
  HRESULT STDMETHODCALLTYPE Set##Name##k(std::int32_t v) override {  \
    return SetTap(&Params::field, k, v, lo, hi);                     \
  }
#define QUILL_TAP_RUN(Name, field, lo, hi)    \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 0) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 1) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 2) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 3) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 4) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 5) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 6) \
  QUILL_TAP_ACCESSORS(Name, field, lo, hi, 7)
  QUILL_TAP_RUN(TapGain, tapGain, -100, 100)
  QUILL_TAP_RUN(TapDelay, tapDelayMs, 1, 2500)
  QUILL_TAP_RUN(TapPan, tapPan, -100, 100)
#undef QUILL_TAP_RUN
#undef QUILL_TAP_ACCESSORS

  // Per-tap access by index, for hosts that loop over the taps; an index
  // outside 0..7 is refused with E_INVALIDARG.
  HRESULT GetTap(std::int32_t (Params::*field)[kTaps], std::int32_t k, std::int32_t* v) const;
  HRESULT SetTap(std::int32_t (Params::*field)[kTaps], std::int32_t k, std::int32_t v, std::int32_t lo,
                 std::int32_t hi);

  // Streaming start and discontinuity: fresh snapshot, then Recompute.
  HRESULT Restart();
  // Full set-up if one is due, else Retune.
  HRESULT Recompute(const MultiTapParams& params);
  // Levels, low-pass and oscillator rate only; taps, ring and history stay.
  void Retune(const MultiTapParams& params);
  // Taps, depth, feedback and ring; keeps the ring and its history when its
  // length is unchanged.
  HRESULT Configure(const MultiTapParams& params);

  // Processes `*frames` frames of interleaved samples in place. In mode Tail
  // the frame count may come back lower; S_FALSE means the tail is complete.
  HRESULT Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames);

  template <class Kind>
  HRESULT ProcessAs(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);

  // Frees the ring; the next set-up is a full one.
  void ReleaseLine();

  // Derived state, for the filter and for tests.
  bool Ready() const {
    return ready_ != 0;
  }
  bool RebuildDue() const {
    return rebuild_;
  }
  std::int32_t RingLength() const {
    return ringLength_;
  }
  std::int32_t TapPosition(int k) const {
    return tapPos_[k];
  }
  double TapGainLeft(int k) const {
    return gL_[k];
  }
  double TapGainRight(int k) const {
    return gR_[k];
  }
  double TapDepth(int k) const {
    return dk_[k];
  }
  double TapOffset(int k) const {
    return ok_[k];
  }
  double FeedbackCoefficient() const {
    return fb_;
  }
  double LowpassA() const {
    return a_;
  }
  double LowpassB() const {
    return b_;
  }
  double LfoIncrement() const {
    return increment_;
  }
  double WetGain() const {
    return gWet_;
  }
  double DryGain() const {
    return gDry_;
  }
  double InputGain() const {
    return gIn_;
  }
  std::uint32_t TailLeft() const {
    return tailLeft_;
  }

 private:
  HRESULT Light(std::int32_t Params::*field, std::int32_t v, std::int32_t lo, std::int32_t hi) {
    ClampField(v, lo, hi);
    return StoreField(field, v);
  }
  HRESULT Full(std::int32_t Params::*field, std::int32_t v, std::int32_t lo, std::int32_t hi) {
    ClampField(v, lo, hi);
    return StoreFullField(field, v);
  }
  // Snapshot under the lock, taking over any full set-up request with it.
  bool Snapshot(MultiTapParams& out);

  template <class Kind>
  void RunMono(typename Kind::Sample* data, std::uint32_t n);
  template <class Kind>
  void RunStereo(typename Kind::Sample* data, std::uint32_t n);

  // Streaming-thread state.
  bool rebuild_ = true;
  bool refreshDue_ = false;  // a change seen during the tail, applied at the next ordinary buffer
  std::int32_t ready_ = 0;
  std::int32_t started_ = 1;
  std::uint32_t channels_ = 1;
  std::uint32_t rate_ = 0;
  std::int32_t tapCount_ = 1;
  double gIn_ = 0.0, gDry_ = 0.0, gWet_ = 0.0;
  double gL_[kTaps] = {}, gR_[kTaps] = {};
  double dk_[kTaps] = {}, ok_[kTaps] = {};
  std::int32_t tapPos_[kTaps] = {};
  double fb_ = 0.0;
  double a_ = 0.0, b_ = 1.0;
  double phase_ = 0.0, increment_ = 0.0;
  double* ring_ = nullptr;
  std::int32_t ringLength_ = 0;
  std::int32_t w_ = 0;
  std::uint32_t tailLeft_ = 0;
  double iL_[2] = {}, wL_[2] = {};
};

}  // namespace quill
