// The chorus: one to three cascaded stages, each a short line read at a
// position swept by its own sine oscillator, interpolated, optionally
// low-passed, fed back into its own line and added to the stage's input.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "dsp/frame_split.h"
#include "dsp/line_buffer.h"
#include "dsp/one_pole.h"
#include "framework/audio_format.h"
#include "framework/in_place_engine.h"
#include "twchorus/chorus_fields.h"
#include "twchorus/chorus_presets.h"
#include "twchorus/chorus_sweep.h"

namespace quill {

struct ChorusTraits {
  using Params = ChorusParams;
  using Interface = IChorusParams;
  static constexpr const IID& kInterfaceId = IID_IChorusParams;
  static PresetTable<Params> Presets() { return ChorusPresets(); }
  static FieldTable Fields() { return ChorusFields(); }
};

class ChorusEngine : public InPlaceEngine<ChorusEngine, ChorusTraits> {
 public:
  static constexpr int kStages = 3;
  static constexpr std::int32_t kLineLength = kChorusLine;  // samples per stage line
  static constexpr std::int32_t kFloor = -600;              // the chorus's levels are silent at -60.0 dB
  // Nothing lingers after the end of the stream.
  static constexpr bool kHasTail = false;
  static constexpr bool kChangeEndsTail = false;

  // Takes the private pool that holds the three lines for the engine's whole
  // life, so streaming never allocates; without it the engine cannot run
  // until a start has it.
  ChorusEngine();
  ~ChorusEngine() override;

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* v) override { return ReadField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t v) override { return SetField(&Params::inputGain, v); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return SetField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE GetChorusOut(std::int32_t* v) override { return ReadField(&Params::chorusOut, v); }
  HRESULT STDMETHODCALLTYPE SetChorusOut(std::int32_t v) override { return SetField(&Params::chorusOut, v); }
  HRESULT STDMETHODCALLTYPE GetChorusSize(std::int32_t* v) override { return ReadField(&Params::chorusSize, v); }
  HRESULT STDMETHODCALLTYPE SetChorusSize(std::int32_t v) override { return SetField(&Params::chorusSize, v); }
  HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* v) override { return ReadField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t v) override { return SetField(&Params::feedbackPct, v); }
  HRESULT STDMETHODCALLTYPE GetInvertChorus(std::int32_t* v) override { return ReadField(&Params::invertChorus, v); }
  HRESULT STDMETHODCALLTYPE SetInvertChorus(std::int32_t v) override { return SetField(&Params::invertChorus, v); }
  HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* v) override { return ReadField(&Params::delayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t v) override { return SetField(&Params::delayTenths, v); }
  HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* v) override { return ReadField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t v) override { return SetField(&Params::modRate, v); }
  HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* v) override { return ReadField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t v) override { return SetField(&Params::modDepth, v); }
  HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* v) override { return ReadField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t v) override { return SetField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* v) override { return ReadField(&Params::highCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t v) override { return SetField(&Params::highCutHz, v); }
  HRESULT STDMETHODCALLTYPE GetInvertFeedback(std::int32_t* v) override {
    return ReadField(&Params::invertFeedback, v);
  }
  HRESULT STDMETHODCALLTYPE SetInvertFeedback(std::int32_t v) override { return SetField(&Params::invertFeedback, v); }

  // [streaming] Zeroes the lines and places every stage's read position from the delay.
  HRESULT Configure(const ChorusParams& params);
  // [streaming] Levels, feedback, oscillators, low-pass and depth; lines,
  // positions and oscillator phases stay.
  void Retune(const ChorusParams& params);

  // Streaming stop: the lines stay in the pool until the next Restart
  // replaces them or the engine goes, so there is nothing to release.
  void ReleaseLine() {}

 private:
  static constexpr std::size_t kNoFill = ~std::size_t{0};
  struct Stage {
    std::int32_t w = 0;   // write index
    double rp = 0.0;      // read position before modulation
    double z = 0.0;       // low-pass state
    std::int64_t n = 0;   // oscillator counter (wide: periods grow with the rate)
    double period = 0.0;  // oscillator period in whole samples
    double inc = 0.0;     // oscillator radians per sample
    // sin(n * inc) for n = 0..period-1, each filled as the counter first
    // reaches it: the same values as calling sin every sample, one call per
    // counter value instead. The counter walks the cache in order, so what
    // is filled is one run of `sinesLength - unfilled` values ending just
    // before fillAt (wrapping at the period). Room for the longest period
    // kept is taken at the stream's start; the length is zero when the
    // period is too long to keep or no start took the memory, and then sin
    // is called each time.
    double* sines = nullptr;
    std::size_t sinesLength = 0;
    std::size_t fillAt = kNoFill;  // where filling goes on; none until the counter first reads the cache
    std::size_t unfilled = 0;
    LineBuffer sineMemory;
  };
  // Fits the stage's sine cache to its period and forgets its values.
  static void ResetSines(Stage& st);
  // The stage's next `m` sweep values, its counter moved on past them:
  // straight from the cache when they lie there in one piece, else copied
  // or computed into `s`.
  static const double* Sines(Stage& st, double* s, std::uint32_t m);
  // Stage k over the chunk's `m` samples in yL (and yR; null for one
  // channel), with `s` to hold its sweep.
  void RunStage(int k, double* s, std::uint32_t m, double* yL, double* yR);

  friend class InPlaceEngine<ChorusEngine, ChorusTraits>;

  // [streaming start] The lines if they are missing, and the sine caches.
  HRESULT Reserve();
  // The three lines' pool, unless it is held; false if it cannot be had.
  bool TakeLines();
  // Silent lines and stages; the restart's set-up is a full one.
  HRESULT Reset();
  // The delay in samples belongs to the rate it was set up for.
  bool SetUpMoved() const;
  template <class Kind>
  HRESULT Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);
  template <class Kind>
  bool RunMono(typename Kind::Sample* data, std::uint32_t n);
  template <class Kind>
  bool RunStereo(typename Kind::Sample* data, std::uint32_t n);
  // Clears the lines if a chunk's output (yR null in mono) is not all
  // finite; true if it did.
  bool ClearIfNotFinite(const double* yL, const double* yR, std::uint32_t m);

  double* pool_ = nullptr;  // kStages lines of kLineLength doubles
  int size_ = 1;
  std::uint32_t rate_ = 0;
  double gIn_ = 0.0, gDry_ = 0.0, g_ = 0.0;
  double G_[kStages] = {};
  double WL_ = 0.0, WR_ = 0.0;
  double fb_ = 0.0;
  OnePole highCut_;
  double delaySamples_ = 0.0;  // Ds of the last full set-up
  double depth_ = 0.0;
  double periodFactor_ = 0.0;
  Stage stage_[kStages];
  const ChorusKernels* wide_;  // null where the processor lacks them
  SplitPcm16Fn split16_;       // the 16-bit stereo input, wide where it can be
};

// The sample loops are instantiated with the engine, in its source file.
extern template HRESULT InPlaceEngine<ChorusEngine, ChorusTraits>::Process(SampleKind, ProcessMode, void*,
                                                                           std::uint32_t*);

}  // namespace quill
