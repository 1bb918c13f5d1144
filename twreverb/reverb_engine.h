// The reverb: the dry signal, three early reflections and a dense decaying
// tail of eight to ten damped recirculating lines behind a pre-delay.
#pragma once

#include <cstdint>

#include "dsp/line_pool.h"
#include "framework/audio_format.h"
#include "framework/in_place_engine.h"
#include "twreverb/reverb_fields.h"
#include "twreverb/reverb_lines.h"
#include "twreverb/reverb_presets.h"
#include "twreverb/reverb_tables.h"

namespace quill {

struct ReverbTraits {
  using Params = ReverbParams;
  using Interface = IReverbParams;
  static constexpr const IID& kInterfaceId = IID_IReverbParams;
  // The mode and style indices are stored as given; a stream plays the
  // nearest row of its table for one outside it.
  static PresetTable<Params> Presets() { return ReverbPresets(); }
  static FieldTable Fields() { return ReverbFields(); }
};

class ReverbEngine : public InPlaceEngine<ReverbEngine, ReverbTraits> {
 public:
  static constexpr std::size_t kPoolBytes = 64 * 1024;
  static constexpr int kMaxLines = 10;
  static constexpr bool kHasTail = true;
  // The tail runs on with the lines in force. A change made during it is
  // kept for the next ordinary buffer rather than dropped, so that a stream
  // that goes on after the tail sounds as the page shows it.
  static constexpr bool kChangeEndsTail = false;

  ReverbEngine() : pool_(kPoolBytes) {}

  // Field accessors, in the interface's slot order. Mode, style and
  // pre-delay change the lines themselves, so they ask for a rebuild.
  HRESULT STDMETHODCALLTYPE GetReverbMode(std::int32_t* v) override { return ReadField(&Params::reverbMode, v); }
  HRESULT STDMETHODCALLTYPE SetReverbMode(std::int32_t v) override { return SetField(&Params::reverbMode, v); }
  HRESULT STDMETHODCALLTYPE GetEarlyStyle(std::int32_t* v) override { return ReadField(&Params::earlyStyle, v); }
  HRESULT STDMETHODCALLTYPE SetEarlyStyle(std::int32_t v) override { return SetField(&Params::earlyStyle, v); }
  HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* v) override { return ReadField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t v) override { return SetField(&Params::dryOut, v); }
  HRESULT STDMETHODCALLTYPE GetReverbOut(std::int32_t* v) override { return ReadField(&Params::reverbOut, v); }
  HRESULT STDMETHODCALLTYPE SetReverbOut(std::int32_t v) override { return SetField(&Params::reverbOut, v); }
  HRESULT STDMETHODCALLTYPE GetEarlyOut(std::int32_t* v) override { return ReadField(&Params::earlyOut, v); }
  HRESULT STDMETHODCALLTYPE SetEarlyOut(std::int32_t v) override { return SetField(&Params::earlyOut, v); }
  HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* v) override { return ReadField(&Params::decayTenths, v); }
  HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t v) override { return SetField(&Params::decayTenths, v); }
  HRESULT STDMETHODCALLTYPE GetPreDelay(std::int32_t* v) override { return ReadField(&Params::preDelayMs, v); }
  HRESULT STDMETHODCALLTYPE SetPreDelay(std::int32_t v) override { return SetField(&Params::preDelayMs, v); }
  HRESULT STDMETHODCALLTYPE GetBassCut(std::int32_t* v) override { return ReadField(&Params::bassCut, v); }
  HRESULT STDMETHODCALLTYPE SetBassCut(std::int32_t v) override { return SetField(&Params::bassCut, v); }
  HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* v) override { return ReadField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t v) override { return SetField(&Params::highCut, v); }
  HRESULT STDMETHODCALLTYPE GetBassCutHz(std::int32_t* v) override { return ReadField(&Params::bassCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetBassCutHz(std::int32_t v) override { return SetField(&Params::bassCutHz, v); }
  HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* v) override { return ReadField(&Params::highCutHz, v); }
  HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t v) override { return SetField(&Params::highCutHz, v); }

  // [streaming] Every line, tap and ring sized and cleared for `params`,
  // after the levels and filters. E_OUTOFMEMORY if the pool cannot supply a
  // line (the engine is then not ready and the next buffer tries again).
  HRESULT Configure(const ReverbParams& params);
  // [streaming] Levels, filters, line gains and the tail length; the lines
  // and their contents stay.
  void Retune(const ReverbParams& params);

  // [streaming stop] The lines go back to the pool, which keeps what the
  // start reserved for the next start's rebuild.
  void ReleaseLine();

  // The table rows an index stands for; the nearest for one outside.
  static const ReverbMode& ModeRow(std::int32_t index);
  static const EarlyStyle& StyleRow(std::int32_t index);

 private:
  friend class InPlaceEngine<ReverbEngine, ReverbTraits>;

  // The rings one set-up takes from the pool, in the order it takes them:
  // the lines, the stereo twins, the pre-delays, the early rings.
  struct ReverbRings {
    std::uint32_t size[kMaxLines + 6];
    int count = 0;
    int lines = 0;
  };
  // False if a ring cannot be counted in 32 bits; `taps` gets the early taps.
  static bool RingsFor(const ReverbMode& row, const EarlyStyle& style, std::int32_t preDelayMs, double rate,
                       bool stereo, ReverbRings& out, EarlyTaps& taps);
  // Holds the pool's memory for the largest set-up at this format (making
  // the pool's first chunk if the engine could not have it when made).
  HRESULT Reserve();
  // Every line is built afresh at a restart; E_FAIL without a memory pool.
  HRESULT Reset();
  // Lines built for the other channel count cannot be used.
  bool SetUpMoved() const;
  template <class Kind>
  HRESULT Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames);
  // Levels, filters and the tail length: what both set-ups derive.
  void SetLevels(const ReverbParams& p, double rate);
  HRESULT Rebuild(const ReverbParams& p, const ReverbMode& row, double rate, bool stereo, double T);
  void SetLineGains(double T);
  // False once a NaN or an infinity got into the lines or the filters.
  bool StatesFinite() const;
  void ClearRings();
  template <class Kind>
  void RunMono(typename Kind::Sample* s, std::uint32_t n);
  template <class Kind>
  void RunStereo(typename Kind::Sample* s, std::uint32_t n);

  LinePool pool_;
  bool builtStereo_ = false;
  const ReverbMode* builtRow_ = nullptr;  // the row the lines were sized from

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

// The sample loops are instantiated with the engine, in its source file.
extern template HRESULT InPlaceEngine<ReverbEngine, ReverbTraits>::Process(SampleKind, ProcessMode, void*,
                                                                           std::uint32_t*);

}  // namespace quill
