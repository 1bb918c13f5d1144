// The simple delay: the dry signal mixed with one delayed copy, optionally
// recirculated so that the echoes repeat and die away over the decay time.
#pragma once

#include <cstdint>

#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "twechos/simple_delay_fields.h"
#include "twechos/simple_delay_presets.h"

namespace quill {

struct SimpleDelayTraits {
  using Params = SimpleDelayParams;
  using Interface = ISimpleDelayParams;
  static constexpr const IID& kInterfaceId = IID_ISimpleDelayParams;
  static bool Clamp(Params& p) {
    bool clamped = ClampField(p.delayMs, 1, 5000);
    clamped |= ClampField(p.decayTenths, 1, 200);
    clamped |= ClampField(p.delayOut, -800, 0);
    return clamped;
  }
  static PresetTable<Params> Presets() { return SimpleDelayPresets(); }
  static FieldTable Fields() { return SimpleDelayFields(); }
};

class SimpleDelayEngine : public EffectEngine<SimpleDelayTraits> {
 public:
  SimpleDelayEngine() = default;
  ~SimpleDelayEngine() override { ReleaseLine(); }

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return StoreField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE GetDelayOut(std::int32_t* v) override { return ReadField(&Params::delayOut, v); }
  HRESULT STDMETHODCALLTYPE SetDelayOut(std::int32_t v) override {
    ClampField(v, -800, 0);
    return StoreField(&Params::delayOut, v);
  }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedback, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return StoreField(&Params::feedback, v); }
  HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* v) override { return ReadField(&Params::delayMs, v); }
  HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t v) override {
    ClampField(v, 1, 5000);
    return StoreField(&Params::delayMs, v);
  }
  HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* v) override { return ReadField(&Params::decayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t v) override {
    ClampField(v, 1, 200);
    return StoreField(&Params::decayTenths, v);
  }

  // Full reset at streaming start and on a discontinuity: fresh snapshot,
  // gains, and a zeroed line.
  HRESULT Restart();

  // Derives the feedback coefficient and sizes the delay line for `params`.
  // An unchanged line length keeps the line (zeroed unless keepHistory).
  HRESULT Configure(const SimpleDelayParams& params, bool keepHistory);

  // Processes `*frames` frames of interleaved samples in place. In mode Tail
  // the frame count may come back lower; S_FALSE means the tail is complete.
  HRESULT Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames);

  template <class Kind>
  HRESULT ProcessAs(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);

  void ReleaseLine();

  // Derived state, for the filter and for tests.
  bool Ready() const { return ready_ != 0; }
  std::uint32_t LineLength() const { return lineLength_; }
  double FeedbackCoefficient() const { return fb_; }
  double DelayGain() const { return gainDelay_; }
  double DryGain() const { return gainDry_; }
  std::uint32_t TailLeft(int channel) const { return tailLeft_[channel]; }

 private:
  void ComputeGains(const SimpleDelayParams& p);
  HRESULT ConfigureAndMark(const SimpleDelayParams& p, bool keepHistory);
  std::uint32_t Channels() const;

  std::int32_t started_ = 1;
  std::int32_t ready_ = 0;
  double gainDelay_ = 0.0;
  double gainDry_ = 0.0;
  double fb_ = 0.0;
  double* line_ = nullptr;
  std::uint32_t lineLength_ = 0;
  std::uint32_t pos_[2] = {0, 0};
  std::uint32_t tailLeft_[2] = {0, 0};
};

}  // namespace quill
