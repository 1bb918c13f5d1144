// The chorus: one to three cascaded stages, each a short line read at a
// position swept by its own sine oscillator, interpolated, optionally
// low-passed, fed back into its own line and added to the stage's input.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "framework/audio_format.h"
#include "twchorus/chorus_fields.h"
#include "twchorus/chorus_presets.h"
#include "framework/effect_engine.h"

namespace quill {

struct ChorusTraits {
  using Params = ChorusParams;
  using Interface = IChorusParams;
  static constexpr const IID& kInterfaceId = IID_IChorusParams;
  static bool Clamp(Params& p);
  static PresetTable<Params> Presets() { return ChorusPresets(); }
  static FieldTable Fields() { return ChorusFields(); }
};

class ChorusEngine : public EffectEngine<ChorusTraits> {
 public:
  static constexpr int kStages = 3;
  static constexpr std::int32_t kLineLength = 6500;  // samples per stage line
  static constexpr std::int32_t kFloor = -600;       // the chorus's levels are silent at -60.0 dB

  // Reserves the private pool that holds the three lines for the engine's
  // whole life, so streaming never allocates; without it the engine cannot run.
  ChorusEngine();
  ~ChorusEngine() override;

  // Field accessors, in the interface's slot order. The stage count and the
  // delay need the full set-up; every other field is picked up by Retune.
  HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* v) override { return ReadField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t v) override { return Light(&Params::inputGain, v, kFloor, 0); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return Light(&Params::dryOut, v, kFloor, 0); }
  HRESULT STDMETHODCALLTYPE GetChorusOut(std::int32_t* v) override { return ReadField(&Params::chorusOut, v); }
  HRESULT STDMETHODCALLTYPE SetChorusOut(std::int32_t v) override { return Light(&Params::chorusOut, v, kFloor, 0); }
  HRESULT STDMETHODCALLTYPE GetChorusSize(std::int32_t* v) override { return ReadField(&Params::chorusSize, v); }
  HRESULT STDMETHODCALLTYPE SetChorusSize(std::int32_t v) override {
    ClampField(v, 1, kStages);
    return StoreFullField(&Params::chorusSize, v);
  }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return Light(&Params::feedbackPct, v, 0, 100); }
  HRESULT STDMETHODCALLTYPE GetInvertChorus(std::int32_t* v) override { return ReadField(&Params::invertChorus, v); }
  HRESULT STDMETHODCALLTYPE SetInvertChorus(std::int32_t v) override { return StoreField(&Params::invertChorus, v); }
  HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* v) override { return ReadField(&Params::delayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t v) override {
    ClampField(v, 1, 1000);
    return StoreFullField(&Params::delayTenths, v);
  }
  HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* v) override { return ReadField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t v) override { return Light(&Params::modRate, v, 1, 200); }
  HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* v) override { return ReadField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t v) override { return Light(&Params::modDepth, v, 1, 100); }
  HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* v) override { return ReadField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t v) override { return StoreField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* v) override { return ReadField(&Params::highCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t v) override { return Light(&Params::highCutHz, v, 100, 10000); }
  HRESULT STDMETHODCALLTYPE GetInvertFeedback(std::int32_t* v) override {
    return ReadField(&Params::invertFeedback, v);
  }
  HRESULT STDMETHODCALLTYPE SetInvertFeedback(std::int32_t v) override {
    return StoreField(&Params::invertFeedback, v);
  }

  // Streaming start and discontinuity: silent lines, then the full set-up.
  HRESULT Restart();
  // Full set-up if one is due, else Retune.
  HRESULT Recompute(const ChorusParams& params);
  // Levels, feedback, oscillators, low-pass and depth; lines, positions and
  // oscillator phases stay.
  void Retune(const ChorusParams& params);
  // Zeroes the lines and places every stage's read position from the delay.
  HRESULT Configure(const ChorusParams& params);

  // Processes `*frames` frames of interleaved samples in place. The chorus
  // has no tail: mode Tail answers S_FALSE with no frames at once.
  HRESULT Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames);

  template <class Kind>
  HRESULT ProcessAs(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);

  // Streaming stop: the lines stay in the pool until the next Restart
  // replaces them or the engine goes, so there is nothing to release.
  void ReleaseLine() {}

  // Derived state, for the filter and for tests.
  bool Ready() const { return ready_ != 0; }
  bool RebuildDue() const { return rebuild_; }
  bool HasPool() const { return pool_ != nullptr; }
  const double* Line(int s) const { return pool_ != nullptr ? pool_ + s * kLineLength : nullptr; }
  double DelaySamples() const { return delaySamples_; }
  double Depth() const { return depth_; }
  double ReadPosition(int s) const { return stage_[s].rp; }
  double Period(int s) const { return stage_[s].period; }
  double Increment(int s) const { return stage_[s].inc; }
  double StageGain(int s) const { return G_[s]; }
  double WeightLeft() const { return WL_; }
  double WeightRight() const { return WR_; }
  double FeedbackCoefficient() const { return fb_; }
  double LowpassA() const { return a_; }
  double InputGain() const { return gIn_; }
  double DryGain() const { return gDry_; }

 private:
  struct Stage {
    std::int32_t w = 0;   // write index
    double rp = 0.0;      // read position before modulation
    double z = 0.0;       // low-pass state
    std::int64_t n = 0;   // oscillator counter (wide: periods grow with the rate)
    double period = 0.0;  // oscillator period in whole samples
    double inc = 0.0;     // oscillator radians per sample
    // sin(n * inc) for n = 0..period-1, filled as the counter first reaches
    // each n (NaN until then): the same values as calling sin every sample,
    // one call per counter value instead. Null when the period is too long
    // to keep or the memory was not to be had; then sin is called each time.
    double* sines = nullptr;
    std::size_t sinesLength = 0;
  };
  // Sizes the stage's sine cache for its period and forgets its values.
  static void ResetSines(Stage& st);
  // A stage's state in locals while it runs over a stretch of samples.
  struct Sweep;

  HRESULT Light(std::int32_t Params::*field, std::int32_t v, std::int32_t lo, std::int32_t hi) {
    ClampField(v, lo, hi);
    return StoreField(field, v);
  }
  bool Snapshot(ChorusParams& out);
  std::uint32_t Channels() const;

  // The stage's filtered, delayed value; advances its read position and oscillator.

  template <class Kind>
  void RunMono(typename Kind::Sample* data, std::uint32_t n);
  template <class Kind>
  void RunStereo(typename Kind::Sample* data, std::uint32_t n);

  double* pool_ = nullptr;  // kStages lines of kLineLength doubles
  bool rebuild_ = true;
  std::int32_t ready_ = 0;
  std::int32_t started_ = 1;
  int size_ = 1;
  std::uint32_t rate_ = 0;
  double gIn_ = 0.0, gDry_ = 0.0, g_ = 0.0;
  double G_[kStages] = {};
  double WL_ = 0.0, WR_ = 0.0;
  double fb_ = 0.0;
  double a_ = 0.0, b_ = 1.0;
  double delaySamples_ = 0.0;  // Ds of the last full set-up
  double depth_ = 0.0;
  double periodFactor_ = 0.0;
  Stage stage_[kStages];
};

}  // namespace quill
