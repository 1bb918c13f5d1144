// The time effect's engine: its parameter block and interface around one
// time stretcher, driven with the ratio finalTenths / 1000.
#pragma once

#include <cstdint>

#include "dsp/copying_loop.h"
#include "dsp/time_stretcher.h"
#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "twtime/time_fields.h"
#include "twtime/time_presets.h"

namespace quill {

struct TimeTraits {
  using Params = TimeParams;
  using Interface = ITimeParams;
  static constexpr const IID& kInterfaceId = IID_ITimeParams;
  static PresetTable<Params> Presets() { return TimePresets(); }
  static FieldTable Fields() { return TimeFields(); }
};

class TimeEngine : public EffectEngine<TimeTraits>, public FrameProcessor {
 public:
  TimeEngine() = default;

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetFinal(double* v) override { return ReadField(&Params::finalTenths, v); }
  HRESULT STDMETHODCALLTYPE SetFinal(double v) override { return SetField(&Params::finalTenths, v); }
  HRESULT STDMETHODCALLTYPE GetMode(std::int32_t* v) override { return ReadField(&Params::mode, v); }
  // A new mode re-allocates the buffers at the next buffer.
  HRESULT STDMETHODCALLTYPE SetMode(std::int32_t v) override { return SetField(&Params::mode, v); }
  HRESULT STDMETHODCALLTYPE GetTempo(std::int32_t* v) override { return ReadField(&Params::tempoTenths, v); }
  HRESULT STDMETHODCALLTYPE SetTempo(std::int32_t v) override { return SetField(&Params::tempoTenths, v); }
  HRESULT STDMETHODCALLTYPE GetLength(double* v) override { return ReadField(&Params::lengthSamples, v); }
  HRESULT STDMETHODCALLTYPE SetLength(double v) override { return SetField(&Params::lengthSamples, v); }
  HRESULT STDMETHODCALLTYPE GetInputFormat(std::int32_t* v) override { return ReadField(&Params::inputFormat, v); }
  HRESULT STDMETHODCALLTYPE SetInputFormat(std::int32_t v) override { return SetField(&Params::inputFormat, v); }
  HRESULT STDMETHODCALLTYPE GetSampleRate(std::uint32_t* rate) override;

  // Streaming start: keeps the format, picks the loader and writer for its
  // kind, holds the buffers of the widest window at its rate and restarts.
  // E_FAIL for a kind or channel count it cannot take (the previous choice
  // stays), E_OUTOFMEMORY if the buffers cannot be had.
  HRESULT SelectFormat(const AudioFormat* format);

  // Full reset: fresh snapshot, buffers re-allocated, window and pending
  // block dropped, the next splice copied without fade-in.
  HRESULT Restart();

  // One engine call of the copying filter: consumes input frames and fills
  // output frames (counts in: available and room; out: consumed and
  // produced). Mode Tail flushes with no input; S_FALSE when the flush is
  // complete. Parameter changes are picked up by calls that are not Tail.
  HRESULT Process(ProcessMode mode, const void* in, std::uint32_t* inFrames, void* out,
                  std::uint32_t* outFrames) override;

 private:
  HRESULT ConfigureWith(const TimeParams& p);

  TimeStretcher stretcher_;
  const AudioFormat* selected_ = nullptr;  // the format SelectFormat accepted
  std::int32_t started_ = 0;
};

}  // namespace quill
