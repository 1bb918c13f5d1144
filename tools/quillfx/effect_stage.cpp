#include "tools/quillfx/effect_stage.h"

#include <algorithm>
#include <cstring>

#include "framework/effect_engine.h"
#include "framework/in_place_stream.h"
#include "dsp/frame_outlet.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"
#include "twpitchs/pitch_engine.h"
#include "dsp/copying_loop.h"
#include "twtime/time_engine.h"

namespace quill {

namespace {

// The in-place filter's stream: restart at the start, every block in place,
// and the tail after the end.
template <class Engine>
class InPlaceStage final : public EffectStage {
 public:
  explicit InPlaceStage(std::uint32_t blockFrames) : blockFrames_(blockFrames), presets_(engine_), stream_(engine_) {}
  ~InPlaceStage() override { engine_.ReleaseLine(); }

  IUnknown* Params() override { return static_cast<IUnknown*>(&engine_); }
  IEffectPresets* Presets() override { return &presets_; }

  HRESULT Start(const AudioFormat* format) override {
    if (!SampleKindOf(*format)) return E_INVALIDARG;
    align_ = format->blockAlign;
    return stream_.Start(format);
  }

  HRESULT Feed(std::uint8_t* data, std::uint32_t frames, const FrameSink& sink) override {
    std::uint32_t n = frames;
    const HRESULT hr = stream_.Receive(data, &n);
    if (FAILED(hr)) return hr;
    const HRESULT delivered = n > 0 ? sink(data, n) : S_OK;
    return FAILED(delivered) ? delivered : hr;
  }

  HRESULT Finish(const FrameSink& sink) override {
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockFrames_) * align_);
    bool cleared = false;
    const HRESULT hr = stream_.PlayTail([&](const auto& fill) {
      std::uint32_t n = 0;
      HRESULT hr = fill(block.data(), static_cast<std::uint32_t>(block.size()), &n);
      cleared |= hr == kStateCleared;
      if (SUCCEEDED(hr) && n > 0) {
        const HRESULT delivered = sink(block.data(), n);
        if (FAILED(delivered)) hr = delivered;
      }
      return hr;
    });
    return cleared && SUCCEEDED(hr) ? kStateCleared : hr;
  }

 private:
  Engine engine_;
  std::uint32_t blockFrames_;
  EffectPresets<Engine> presets_;
  InPlaceStream<Engine> stream_;
  std::uint32_t align_ = 0;
};

// The copying filters' loop around a FrameProcessor engine (time, pitch):
// its output buffers hold four input blocks, as the filter's allocator does.
template <class Engine>
class CopyingStage final : public EffectStage {
 public:
  explicit CopyingStage(std::uint32_t blockFrames)
      : blockFrames_(blockFrames), presets_(engine_), loop_(engine_, outlet_) {}

  IUnknown* Params() override { return static_cast<IUnknown*>(&engine_); }
  IEffectPresets* Presets() override { return &presets_; }

  HRESULT Start(const AudioFormat* format) override {
    align_ = format->blockAlign;
    fed_ = false;
    outlet_.SetBuffer(std::max<std::size_t>(512, 4 * static_cast<std::size_t>(blockFrames_) * align_), align_);
    loop_.SetFormats(format, format);
    return engine_.SelectFormat(format);
  }

  HRESULT Feed(std::uint8_t* data, std::uint32_t frames, const FrameSink& sink) override {
    InputSample in;
    in.data = data;
    in.length = frames * align_;
    in.discontinuity = !fed_;
    fed_ = true;
    outlet_.SetSink(&sink);
    const HRESULT hr = loop_.Receive(in);
    outlet_.SetSink(nullptr);
    return hr;
  }

  HRESULT Finish(const FrameSink& sink) override {
    outlet_.SetSink(&sink);
    const HRESULT hr = loop_.EndOfStream();
    outlet_.SetSink(nullptr);
    return hr;
  }

 private:
  Engine engine_;
  std::uint32_t blockFrames_;
  EffectPresets<Engine> presets_;
  FrameOutlet outlet_;
  CopyingLoop loop_;
  std::uint32_t align_ = 0;
  bool fed_ = false;
};

template <class Stage>
std::unique_ptr<EffectStage> Make(std::uint32_t blockFrames) {
  return std::make_unique<Stage>(blockFrames);
}

const HostEffect* Catalog(const char* name) {
  return FindHostEffect(name);
}

}  // namespace

const std::vector<NativeEffect>& NativeEffects() {
  static const std::vector<NativeEffect> effects = {
      {Catalog("twechos"), "simple delay: one echo, optionally repeating and dying away over the decay time", "tail",
       &Make<InPlaceStage<SimpleDelayEngine>>},
      {Catalog("twechomt"), "multi-tap delay: up to eight modulated, panned taps with feedback and low-pass", "tail",
       &Make<InPlaceStage<MultiTapEngine>>},
      {Catalog("twchorus"), "chorus: one to three modulated delay stages with feedback", "nothing",
       &Make<InPlaceStage<ChorusEngine>>},
      {Catalog("twreverb"), "reverb: damped recirculating lines, pre-delay and early reflections", "tail",
       &Make<InPlaceStage<ReverbEngine>>},
      {Catalog("twtime"), "time compress/expand: a new duration (50 % to 500 %) at the same pitch", "flush",
       &Make<CopyingStage<TimeEngine>>},
      {Catalog("twpitchs"), "pitch shift: transposes by semitones and cents, optionally keeping the duration", "flush",
       &Make<CopyingStage<PitchEngine>>},
  };
  return effects;
}

const NativeEffect* FindNativeEffect(const std::string& name) {
  const HostEffect* effect = FindHostEffect(name);
  for (const NativeEffect& e : NativeEffects())
    if (e.catalog == effect) return &e;
  return nullptr;
}

}  // namespace quill
