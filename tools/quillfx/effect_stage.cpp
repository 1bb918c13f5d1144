#include "tools/quillfx/effect_stage.h"

#include <algorithm>
#include <cstring>

#include "framework/effect_engine.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"
#include "twpitchs/pitch_engine.h"
#include "dsp/copying_loop.h"
#include "twtime/time_engine.h"

namespace quill {

namespace {

// The in-place shell's order: restart at the start, every block in place
// (the first as a discontinuity, as a source marks it), and with a tail,
// silent blocks in mode Tail until the engine says the tail is complete.
template <class Engine, bool kHasTail>
class InPlaceStage final : public EffectStage {
 public:
  explicit InPlaceStage(std::uint32_t blockFrames) : blockFrames_(blockFrames), presets_(engine_) {}
  ~InPlaceStage() override { engine_.ReleaseLine(); }

  IUnknown* Params() override { return static_cast<IUnknown*>(&engine_); }
  IEffectPresets* Presets() override { return &presets_; }

  HRESULT Start(const AudioFormat* format) override {
    const auto kind = SampleKindOf(*format);
    if (!kind) return E_INVALIDARG;
    kind_ = *kind;
    align_ = format->blockAlign;
    fed_ = false;
    engine_.SetFormat(format);
    return engine_.Restart();
  }

  HRESULT Feed(std::uint8_t* data, std::uint32_t frames, const FrameSink& sink) override {
    std::uint32_t n = frames;
    const HRESULT hr = engine_.Process(kind_, fed_ ? ProcessMode::Continue : ProcessMode::Discontinuity, data, &n);
    if (FAILED(hr)) return hr;
    fed_ = true;
    return n > 0 ? sink(data, n) : S_OK;
  }

  HRESULT Finish(const FrameSink& sink) override {
    if (!kHasTail || !fed_) return S_OK;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockFrames_) * align_);
    const std::uint8_t silence = kind_ == SampleKind::Pcm8 ? 0x80 : 0x00;
    HRESULT hr;
    do {
      std::fill(block.begin(), block.end(), silence);
      std::uint32_t n = blockFrames_;
      hr = engine_.Process(kind_, ProcessMode::Tail, block.data(), &n);
      if (FAILED(hr)) return hr;
      if (n > 0) {
        const HRESULT delivered = sink(block.data(), n);
        if (FAILED(delivered)) return delivered;
      }
    } while (hr == S_OK);
    return S_OK;
  }

 private:
  Engine engine_;
  std::uint32_t blockFrames_;
  EffectPresets<Engine> presets_;
  SampleKind kind_ = SampleKind::Pcm16;
  std::uint32_t align_ = 0;
  bool fed_ = false;
};

// An output buffer of the copying stage.
class BlockSample final : public OutputSample {
 public:
  explicit BlockSample(std::size_t bytes) : bytes_(bytes) {}
  std::uint8_t* Data() override { return bytes_.data(); }
  std::uint32_t Size() override { return static_cast<std::uint32_t>(bytes_.size()); }
  HRESULT SetActualLength(std::uint32_t bytes) override {
    if (bytes > bytes_.size()) return E_INVALIDARG;
    length_ = bytes;
    return S_OK;
  }
  HRESULT SetDiscontinuity(bool) override { return S_OK; }
  HRESULT SetSyncPoint(bool) override { return S_OK; }
  HRESULT SetTime(const std::int64_t*, const std::int64_t*) override { return S_OK; }
  HRESULT SetMediaTime(const std::int64_t*, const std::int64_t*) override { return S_OK; }
  std::uint32_t Length() const { return length_; }
  void Reset() { length_ = 0; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t length_ = 0;
};

// The output pin as the copying loop sees it: buffers from a small pool,
// delivered to the sink of the current call. Time stamps mean nothing in a file.
class SinkOutlet final : public SampleOutlet {
 public:
  void SetBuffer(std::size_t bytes, std::uint32_t align) {
    bytes_ = bytes;
    align_ = align;
    free_.clear();
  }
  void SetSink(const FrameSink* sink) { sink_ = sink; }

  HRESULT GetDeliveryBuffer(OutputSample** sample) override {
    if (free_.empty()) free_.push_back(std::make_unique<BlockSample>(bytes_));
    BlockSample* s = free_.back().release();
    free_.pop_back();
    s->Reset();
    *sample = s;
    return S_OK;
  }
  HRESULT Deliver(OutputSample* sample) override {
    auto* s = static_cast<BlockSample*>(sample);
    if (sink_ == nullptr || align_ == 0) return E_UNEXPECTED;
    return (*sink_)(s->Data(), s->Length() / align_);
  }
  void Release(OutputSample* sample) override {
    free_.push_back(std::unique_ptr<BlockSample>(static_cast<BlockSample*>(sample)));
  }
  HRESULT AttachMediaType(OutputSample*) override { return S_OK; }
  HRESULT DeliverEndOfStream() override { return S_OK; }

 private:
  std::size_t bytes_ = 0;
  std::uint32_t align_ = 0;
  const FrameSink* sink_ = nullptr;
  std::vector<std::unique_ptr<BlockSample>> free_;
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
  SinkOutlet outlet_;
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
       &Make<InPlaceStage<SimpleDelayEngine, true>>},
      {Catalog("twechomt"), "multi-tap delay: up to eight modulated, panned taps with feedback and low-pass", "tail",
       &Make<InPlaceStage<MultiTapEngine, true>>},
      {Catalog("twchorus"), "chorus: one to three modulated delay stages with feedback", "nothing",
       &Make<InPlaceStage<ChorusEngine, false>>},
      {Catalog("twreverb"), "reverb: damped recirculating lines, pre-delay and early reflections", "tail",
       &Make<InPlaceStage<ReverbEngine, true>>},
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
