// The time effect's engine: its parameter block and interface around one
// time stretcher, driven with the ratio finalTenths / 1000.
#pragma once

#include <cstdint>

#include "framework/audio_format.h"
#include "dsp/copying_loop.h"
#include "framework/effect_engine.h"
#include "twtime/time_presets.h"
#include "dsp/time_stretcher.h"

namespace quill {

// Clamps a double field into [lo, hi]; a NaN lands on lo. True if it had to.
inline bool ClampDouble(double& v, double lo, double hi) {
  if (!(v >= lo)) {
    v = lo;
    return true;
  }
  if (v > hi) {
    v = hi;
    return true;
  }
  return false;
}

inline constexpr double kFinalMin = 500.0, kFinalMax = 5000.0;
inline constexpr std::int32_t kTempoMax = 5000;
inline constexpr double kLengthMax = 793800000.0;  // five hours at 44.1 kHz

struct TimeTraits {
  using Params = TimeParams;
  using Interface = ITimeParams;
  static constexpr const IID& kInterfaceId = IID_ITimeParams;
  static bool Clamp(Params& p) {
    bool clamped = ClampDouble(p.finalTenths, kFinalMin, kFinalMax);
    if (p.tempoTenths > kTempoMax) {
      p.tempoTenths = kTempoMax;
      clamped = true;
    }
    clamped |= ClampDouble(p.lengthSamples, 0.0, kLengthMax);
    return clamped;
  }
  static PresetTable<Params> Presets() { return TimePresets(); }
};

class TimeEngine : public EffectEngine<TimeTraits>, public FrameProcessor {
 public:
  TimeEngine() = default;

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetFinal(double* v) override { return ReadField(&Params::finalTenths, v); }
  HRESULT STDMETHODCALLTYPE SetFinal(double v) override {
    ClampDouble(v, kFinalMin, kFinalMax);
    return StoreField(&Params::finalTenths, v);
  }
  HRESULT STDMETHODCALLTYPE GetMode(std::int32_t* v) override { return ReadField(&Params::mode, v); }
  // A new mode re-allocates the buffers at the next buffer.
  HRESULT STDMETHODCALLTYPE SetMode(std::int32_t v) override { return StoreFullField(&Params::mode, v); }
  HRESULT STDMETHODCALLTYPE GetTempo(std::int32_t* v) override { return ReadField(&Params::tempoTenths, v); }
  HRESULT STDMETHODCALLTYPE SetTempo(std::int32_t v) override {
    if (v > kTempoMax) v = kTempoMax;
    return StoreField(&Params::tempoTenths, v);
  }
  HRESULT STDMETHODCALLTYPE GetLength(double* v) override { return ReadField(&Params::lengthSamples, v); }
  HRESULT STDMETHODCALLTYPE SetLength(double v) override {
    ClampDouble(v, 0.0, kLengthMax);
    return StoreField(&Params::lengthSamples, v);
  }
  HRESULT STDMETHODCALLTYPE GetInputFormat(std::int32_t* v) override { return ReadField(&Params::inputFormat, v); }
  HRESULT STDMETHODCALLTYPE SetInputFormat(std::int32_t v) override { return StoreField(&Params::inputFormat, v); }
  HRESULT STDMETHODCALLTYPE GetSampleRate(std::uint32_t* rate) override;

  // Streaming start: keeps the format, picks the loader and writer for its
  // kind and restarts. E_FAIL for a kind or channel count it cannot take
  // (the previous choice stays).
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

  const TimeStretcher& Stretcher() const { return stretcher_; }
  bool Started() const { return started_ != 0; }

 private:
  HRESULT ConfigureWith(const TimeParams& p);

  TimeStretcher stretcher_;
  const AudioFormat* selected_ = nullptr;  // the format SelectFormat accepted
  std::int32_t started_ = 0;
};

}  // namespace quill
