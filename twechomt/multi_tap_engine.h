// The multi-tap delay: up to eight taps read from one mono ring, swept by one
// sine oscillator, panned in stereo, summed, low-passed and fed back into the
// ring scaled down by the total tap gain.
#pragma once

#include <cstdint>

#include "dsp/frame_split.h"
#include "dsp/line_buffer.h"
#include "dsp/one_pole.h"
#include "framework/audio_format.h"
#include "framework/in_place_engine.h"
#include "twechomt/multi_tap_fields.h"
#include "twechomt/multi_tap_presets.h"
#include "twechomt/tap_sweep.h"

namespace quill {

struct MultiTapTraits {
  using Params = MultiTapParams;
  using Interface = IMultiTapParams;
  static constexpr const IID& kInterfaceId = IID_IMultiTapParams;
  static PresetTable<Params> Presets() { return MultiTapPresets(); }
  static FieldTable Fields() { return MultiTapFields(); }
};

class MultiTapEngine : public InPlaceEngine<MultiTapEngine, MultiTapTraits> {
 public:
  static constexpr int kTaps = 8;
  static constexpr double kRingLimit = kTapRingLimit;
  static constexpr bool kHasTail = true;
  // The tail runs on with the coefficients in force; a change made during it
  // is applied at the next ordinary buffer. Echoes still sounding are not
  // cut off by an edit, and the change is kept rather than dropped so that
  // a stream that goes on after the tail sounds as the page shows it.
  static constexpr bool kChangeEndsTail = false;

  MultiTapEngine();
  ~MultiTapEngine() override { ReleaseLine(); }

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* v) override { return ReadField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t v) override { return SetField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return SetField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE GetWetOut(std::int32_t* v) override { return ReadField(&Params::wetOut, v); }
  HRESULT STDMETHODCALLTYPE SetWetOut(std::int32_t v) override { return SetField(&Params::wetOut, v); }
  HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* v) override { return ReadField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t v) override { return SetField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* v) override { return ReadField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t v) override { return SetField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return SetField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE GetLowpass(std::int32_t* v) override { return ReadField(&Params::lowpass, v); }
  HRESULT STDMETHODCALLTYPE SetLowpass(std::int32_t v) override { return SetField(&Params::lowpass, v); }
  HRESULT STDMETHODCALLTYPE GetLowpassHz(std::int32_t* v) override { return ReadField(&Params::lowpassHz, v); }
  HRESULT STDMETHODCALLTYPE SetLowpassHz(std::int32_t v) override { return SetField(&Params::lowpassHz, v); }
  HRESULT STDMETHODCALLTYPE GetTapCount(std::int32_t* v) override { return ReadField(&Params::tapCount, v); }
  HRESULT STDMETHODCALLTYPE SetTapCount(std::int32_t v) override { return SetField(&Params::tapCount, v); }
  HRESULT STDMETHODCALLTYPE GetCurrentTap(std::int32_t* v) override { return ReadField(&Params::currentTap, v); }
  HRESULT STDMETHODCALLTYPE SetCurrentTap(std::int32_t v) override { return SetField(&Params::currentTap, v); }
  HRESULT STDMETHODCALLTYPE GetGraphResolution(std::int32_t* v) override {
    return ReadField(&Params::graphResolution, v);
  }
  HRESULT STDMETHODCALLTYPE SetGraphResolution(std::int32_t v) override {
    return SetField(&Params::graphResolution, v);
  }

#define QUILL_TAP_ACCESSORS(Name, field, k)                          \
  HRESULT STDMETHODCALLTYPE Get##Name##k(std::int32_t* v) override { \
    return GetTap(&Params::field, k, v);                             \
  }                                                                  \
  HRESULT STDMETHODCALLTYPE Set##Name##k(std::int32_t v) override {  \
    return SetTap(&Params::field, k, v);                             \
  }
#define QUILL_TAP_RUN(Name, field)    \
  QUILL_TAP_ACCESSORS(Name, field, 0) \
  QUILL_TAP_ACCESSORS(Name, field, 1) \
  QUILL_TAP_ACCESSORS(Name, field, 2) \
  QUILL_TAP_ACCESSORS(Name, field, 3) \
  QUILL_TAP_ACCESSORS(Name, field, 4) \
  QUILL_TAP_ACCESSORS(Name, field, 5) \
  QUILL_TAP_ACCESSORS(Name, field, 6) \
  QUILL_TAP_ACCESSORS(Name, field, 7)
  QUILL_TAP_RUN(TapGain, tapGain)
  QUILL_TAP_RUN(TapDelay, tapDelayMs)
  QUILL_TAP_RUN(TapPan, tapPan)
#undef QUILL_TAP_RUN
#undef QUILL_TAP_ACCESSORS

  // Per-tap access by index, for hosts that loop over the taps; an index
  // outside 0..7 is refused with E_INVALIDARG.
  HRESULT GetTap(std::int32_t (Params::*field)[kTaps], std::int32_t k, std::int32_t* v) const {
    return GetElement(field, k, v);
  }
  HRESULT SetTap(std::int32_t (Params::*field)[kTaps], std::int32_t k, std::int32_t v) {
    return SetElement(field, k, v);
  }

  // [streaming] Taps, depth, feedback and ring; keeps the ring and its
  // history when its length is unchanged.
  HRESULT Configure(const MultiTapParams& params);
  // [streaming] Levels, low-pass and oscillator rate only; taps, ring and history stay.
  void Retune(const MultiTapParams& params);

  // [streaming stop, destruction] Frees the ring and its reservation; the
  // next set-up is a full one.
  void ReleaseLine();

 private:
  friend class InPlaceEngine<MultiTapEngine, MultiTapTraits>;

  // The ring for the longest taps and depth the table allows at this format.
  HRESULT Reserve();
  // The ring's length for `p` at `fs` (0 if it cannot be indexed) and the
  // taps' positions in it.
  static std::int64_t RingFor(const MultiTapParams& p, double fs, std::int64_t (&pos)[kTaps]);
  HRESULT Reset() {
    return S_OK;
  }
  // Taps, pans and ring belong to the rate and channel count they were set up for.
  bool SetUpMoved() const;
  template <class Kind>
  HRESULT Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);
  // Both channel counts: the sweep and the scaled input of a chunk of
  // frames first, then the taps' loop, then the conversion out. True if
  // the ring was cleared of a value that is not a finite number.
  template <class Kind>
  bool RunFrames(typename Kind::Sample* data, std::uint32_t n);

  // Streaming-thread state.
  std::uint32_t channels_ = 1;
  std::uint32_t rate_ = 0;
  std::int32_t tapCount_ = 1;
  double gIn_ = 0.0, gDry_ = 0.0, gWet_ = 0.0;
  double gL_[kTaps] = {}, gR_[kTaps] = {};
  double dk_[kTaps] = {}, ok_[kTaps] = {};
  std::int32_t tapPos_[kTaps] = {};
  double fb_ = 0.0;
  OnePole lowpass_;
  double phase_ = 0.0, increment_ = 0.0;
  LineBuffer memory_;
  double* ring_ = nullptr;
  std::int32_t ringLength_ = 0;
  std::int32_t w_ = 0;
  double iL_[2] = {}, wL_[2] = {};
  const TapKernels* loops_;  // the wide loops where the processor has them
  ScalePcm16Fn scale16_;     // 16-bit input, wide where it can be
};

// The sample loops are instantiated with the engine, in its source file.
extern template HRESULT InPlaceEngine<MultiTapEngine, MultiTapTraits>::Process(SampleKind, ProcessMode, void*,
                                                                               std::uint32_t*);

}  // namespace quill
