// The simple delay: the dry signal mixed with one delayed copy, optionally
// recirculated so that the echoes repeat and die away over the decay time.
#pragma once

#include <cstdint>

#include "dsp/line_buffer.h"
#include "framework/audio_format.h"
#include "framework/in_place_engine.h"
#include "twechos/simple_delay_fields.h"
#include "twechos/simple_delay_presets.h"

namespace quill {

struct SimpleDelayTraits {
  using Params = SimpleDelayParams;
  using Interface = ISimpleDelayParams;
  static constexpr const IID& kInterfaceId = IID_ISimpleDelayParams;
  static PresetTable<Params> Presets() { return SimpleDelayPresets(); }
  static FieldTable Fields() { return SimpleDelayFields(); }
};

class SimpleDelayEngine : public InPlaceEngine<SimpleDelayEngine, SimpleDelayTraits> {
 public:
  static constexpr bool kHasTail = true;
  // A change during the tail ends it: the buffer keeps its silence.
  static constexpr bool kChangeEndsTail = true;

  SimpleDelayEngine() = default;
  ~SimpleDelayEngine() override { ReleaseLine(); }

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return SetField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE GetDelayOut(std::int32_t* v) override { return ReadField(&Params::delayOut, v); }
  HRESULT STDMETHODCALLTYPE SetDelayOut(std::int32_t v) override { return SetField(&Params::delayOut, v); }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedback, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return SetField(&Params::feedback, v); }
  HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* v) override { return ReadField(&Params::delayMs, v); }
  HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t v) override { return SetField(&Params::delayMs, v); }
  HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* v) override { return ReadField(&Params::decayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t v) override { return SetField(&Params::decayTenths, v); }

  // [streaming] Derives the feedback coefficient and sizes the delay line for
  // `params`. An unchanged line length keeps the line (zeroed unless keepHistory).
  HRESULT Configure(const SimpleDelayParams& params, bool keepHistory);

  // [streaming stop, destruction] Frees the line and its reservation; the
  // next start reserves again.
  void ReleaseLine();

 private:
  friend class InPlaceEngine<SimpleDelayEngine, SimpleDelayTraits>;

  // The line for the longest delay the table allows at this format.
  HRESULT Reserve();
  HRESULT Reset() { return S_OK; }
  // Gains, then the one set-up; the history goes only on a discontinuity.
  HRESULT SetUp(const SimpleDelayParams& p, ProcessMode mode);
  template <class Kind>
  HRESULT Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);

  double gainDelay_ = 0.0;
  double gainDry_ = 0.0;
  double fb_ = 0.0;
  LineBuffer memory_;
  double* line_ = nullptr;
  std::uint32_t lineLength_ = 0;
  std::uint32_t pos_[2] = {0, 0};
  std::uint32_t channelTail_[2] = {0, 0};  // each channel counts its own tail
};

// The sample loops are instantiated with the engine, in its source file.
extern template HRESULT InPlaceEngine<SimpleDelayEngine, SimpleDelayTraits>::Process(SampleKind, ProcessMode, void*,
                                                                                     std::uint32_t*);

}  // namespace quill
