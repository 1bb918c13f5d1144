// The reverb: the dry signal, three early reflections and a dense decaying
// tail of eight to ten damped recirculating lines behind a pre-delay.
#pragma once

#include <cstdint>

#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "dsp/line_pool.h"
#include "twreverb/reverb_fields.h"
#include "twreverb/reverb_lines.h"
#include "twreverb/reverb_presets.h"
#include "twreverb/reverb_tables.h"

namespace quill {

struct ReverbTraits {
  using Params = ReverbParams;
  using Interface = IReverbParams;
  static constexpr const IID& kInterfaceId = IID_IReverbParams;
  // The mode and style indices have no range here: the engine decides what
  // an index outside its table means (see ReverbEngine::ModeRow).
  static bool Clamp(Params& p) {
    bool clamped = ClampField(p.dryOut, -800, 0);
    clamped |= ClampField(p.reverbOut, -800, 0);
    clamped |= ClampField(p.earlyOut, -800, 0);
    clamped |= ClampField(p.decayTenths, 5, 50);
    clamped |= ClampField(p.preDelayMs, 0, 200);
    clamped |= ClampField(p.bassCut, 0, 1);
    clamped |= ClampField(p.bassCutHz, 10, 5000);
    clamped |= ClampField(p.highCut, 0, 1);
    clamped |= ClampField(p.highCutHz, 100, 15000);
    return clamped;
  }
  static PresetTable<Params> Presets() { return ReverbPresets(); }
  static FieldTable Fields() { return ReverbFields(); }
};

class ReverbEngine : public EffectEngine<ReverbTraits> {
 public:
  static constexpr std::size_t kPoolBytes = 64 * 1024;
  static constexpr int kMaxLines = 10;

  ReverbEngine() : pool_(kPoolBytes) {}

  // Field accessors, in the interface's slot order. Mode, style and
  // pre-delay change the lines themselves, so they ask for a rebuild.
  HRESULT STDMETHODCALLTYPE GetReverbMode(std::int32_t* v) override { return ReadField(&Params::reverbMode, v); }
  HRESULT STDMETHODCALLTYPE SetReverbMode(std::int32_t v) override { return StoreFullField(&Params::reverbMode, v); }
  HRESULT STDMETHODCALLTYPE GetEarlyStyle(std::int32_t* v) override { return ReadField(&Params::earlyStyle, v); }
  HRESULT STDMETHODCALLTYPE SetEarlyStyle(std::int32_t v) override { return StoreFullField(&Params::earlyStyle, v); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return StoreClamped(&Params::dryOut, v, -800, 0); }
  HRESULT STDMETHODCALLTYPE GetReverbOut(std::int32_t* v) override { return ReadField(&Params::reverbOut, v); }
  HRESULT STDMETHODCALLTYPE SetReverbOut(std::int32_t v) override {
    return StoreClamped(&Params::reverbOut, v, -800, 0);
  }
  HRESULT STDMETHODCALLTYPE GetEarlyOut(std::int32_t* v) override { return ReadField(&Params::earlyOut, v); }
  HRESULT STDMETHODCALLTYPE SetEarlyOut(std::int32_t v) override { return StoreClamped(&Params::earlyOut, v, -800, 0); }
  HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* v) override { return ReadField(&Params::decayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t v) override { return StoreClamped(&Params::decayTenths, v, 5, 50); }
  HRESULT STDMETHODCALLTYPE GetPreDelay(std::int32_t* v) override { return ReadField(&Params::preDelayMs, v); }
  HRESULT STDMETHODCALLTYPE SetPreDelay(std::int32_t v) override {
    ClampField(v, 0, 200);
    return StoreFullField(&Params::preDelayMs, v);
  }
  HRESULT STDMETHODCALLTYPE GetBassCut(std::int32_t* v) override { return ReadField(&Params::bassCut, v); }
  HRESULT STDMETHODCALLTYPE SetBassCut(std::int32_t v) override { return StoreClamped(&Params::bassCut, v, 0, 1); }
  HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* v) override { return ReadField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t v) override { return StoreClamped(&Params::highCut, v, 0, 1); }
  HRESULT STDMETHODCALLTYPE GetBassCutHz(std::int32_t* v) override { return ReadField(&Params::bassCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetBassCutHz(std::int32_t v) override {
    return StoreClamped(&Params::bassCutHz, v, 10, 5000);
  }
  HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* v) override { return ReadField(&Params::highCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t v) override {
    return StoreClamped(&Params::highCutHz, v, 100, 15000);
  }

  // Streaming start and discontinuity: every line built afresh from a new
  // snapshot. E_FAIL without a memory pool.
  HRESULT Restart();

  // Derives levels, filters, line gains and the tail length from `params`;
  // with a rebuild pending also sizes and clears every line, tap and ring.
  // E_OUTOFMEMORY if the pool cannot supply a line (the engine is then not
  // ready and the next buffer tries again).
  HRESULT Configure(const ReverbParams& params);

  // Processes `*frames` frames of interleaved samples in place. In mode Tail
  // the frame count may come back lower; S_FALSE means the tail is complete.
  HRESULT Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames);

  template <class Kind>
  HRESULT ProcessAs(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);

  // Streaming stop: the lines go back to the pool, which keeps its first
  // chunk for the next start's rebuild.
  void ReleaseLine();

  // The table rows an index stands for.
  static const ReverbMode& ModeRow(std::int32_t index);
  static const EarlyStyle& StyleRow(std::int32_t index);

  // Derived state, for the filter and for tests.
  bool Ready() const { return ready_ != 0; }
  int LineCount() const { return lineCount_; }
  const CombLine& Line(int i) const { return lines_[i]; }
  const TwinLine& Twin(int i) const { return twins_[i]; }
  const HighCut& HighCutState() const { return highCut_; }
  const BassCut& BassCutState() const { return bassCut_; }
  std::uint32_t PreDelayLength() const { return preDelay_[0].Length(); }
  const EarlyTaps& Taps() const { return taps_; }
  std::uint32_t EarlyRingLength() const { return early_[0].Length(); }
  std::uint32_t TailLeft() const { return tailLeft_; }
  double DryGain() const { return gainDry_; }
  double ReverbGain() const { return gainReverb_; }
  double EarlyGain() const { return gainEarly_; }
  const LinePool& Pool() const { return pool_; }

 private:
  HRESULT StoreClamped(std::int32_t Params::*field, std::int32_t v, std::int32_t lo, std::int32_t hi) {
    ClampField(v, lo, hi);
    return StoreField(field, v);
  }
  HRESULT Rebuild(const ReverbParams& p, const ReverbMode& row, double rate, bool stereo, double T);
  void SetLineGains(double T);
  template <class Kind>
  void Mono(typename Kind::Sample* s, std::uint32_t n);
  template <class Kind>
  void Stereo(typename Kind::Sample* s, std::uint32_t n);

  LinePool pool_;
  std::int32_t rebuild_ = 1;
  std::int32_t ready_ = 0;
  std::int32_t started_ = 1;
  bool builtStereo_ = false;
  const ReverbMode* builtRow_ = nullptr;  // the row the lines were sized from
  std::uint32_t tailLeft_ = 0;

  int lineCount_ = 0;
  CombLine lines_[kMaxLines];
  TwinLine twins_[2];
  HighCut highCut_;
  BassCut bassCut_;
  bool bassOn_ = false;
  PreDelayRing preDelay_[2];
  EarlyTaps taps_{};
  EarlyRing early_[2];
  double gainDry_ = 0.0;
  double gainReverb_ = 0.0;
  double gainEarly_ = 0.0;
};

}  // namespace quill
