// The bundle's shared object: twelve plugins, each effect in mono and in
// stereo, running the same engines as the component and quillfx on 32-bit
// float frames. Ports: the audio inputs, the audio outputs, one control per
// row the table gives a control (lv2/controls.h), and for time and pitch a
// latency output last.
//
// Everything that allocates happens in instantiate and activate (the
// engines reserve their lines there, as at a stream's start); run() only
// copies, calls the engines and stores single fields under the engines'
// own short lock.

#include <lv2/core/lv2.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "dsp/copying_loop.h"
#include "dsp/stretch_modes.h"
#include "dsp/time_stretcher.h"
#include "framework/flush_denormals.h"
#include "framework/in_place_stream.h"
#include "lv2/controls.h"
#include "lv2/effects.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill::lv2 {

namespace {

// Frames per engine call; a host's longer blocks go through in pieces, and
// the engines give the same output for any split.
constexpr std::uint32_t kChunk = 1024;

// How much of the time effect's output may wait: a longer result than the
// host's stream runs ahead of it, and what lies beyond this is dropped.
constexpr std::uint32_t kQueueSeconds = 16;

// The frames an engine takes in before it has made as many as the plugin
// plays, so that its queue never runs dry while the length is kept: the
// stretcher's window and search range, at the resampled rate for pitch (the
// longer when shifting up), and the resampling kernel's half. Measured
// against the engines fed one frame at a time, for every mode at 8 to 96 kHz
// and shifts of -12 to +12 semitones, these are never short. `p` is the
// block as the stream plays it (PlayBlock).
std::uint32_t StretcherStartup(std::uint32_t rate, std::int32_t mode, double ratio) {
  if (mode < 0 || mode >= kStretchModeCount) return 0;
  const StretchGeometry g = DeriveGeometry(rate, StretchModeTable[mode]);
  return static_cast<std::uint32_t>(std::ceil((g.N + std::max(g.R, 0)) * std::max(1.0, ratio)));
}

std::uint32_t StartupFrames(const TimeParams& p, std::uint32_t rate) {
  return StretcherStartup(rate, p.mode, 1.0);
}

std::uint32_t StartupFrames(const PitchParams& p, std::uint32_t rate) {
  const std::uint32_t half = KernelTaps(p.accuracy) / 2;
  if (p.preserveDuration == 0) return half;
  return StretcherStartup(rate, p.mode, PitchEngine::AppliedRatio(rate, p)) + half;
}

class Plugin {
 public:
  Plugin(const PluginEffect& effect, std::uint32_t channels, std::uint32_t rate)
      : effect_(effect), channels_(channels) {
    format_.formatTag = kFormatFloat;
    format_.channels = static_cast<std::uint16_t>(channels);
    format_.sampleRate = rate;
    format_.bitsPerSample = 32;
    format_.blockAlign = static_cast<std::uint16_t>(4 * channels);
    format_.avgBytesPerSec = format_.blockAlign * rate;
    format_.extraSize = 0;
  }
  virtual ~Plugin() = default;
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // Controls and scratch space; throws if the memory cannot be had.
  virtual void Build() {
    controls_ = Controls(effect_.fields, effect_.presetBlock(0));
    ports_.assign(controls_.size(), nullptr);
    applied_.assign(controls_.size(), std::bit_cast<float>(0x7fc0dead));
    for (const Control& c : controls_)
      if (c.field->use == FieldUse::Drives) drives_.push_back(FieldEdit{c.field, 0.0});
    frames_.assign(static_cast<std::size_t>(kChunk) * channels_, 0.0f);
  }

  void Connect(std::uint32_t port, void* data) {
    const std::uint32_t audio = 2 * channels_;
    if (port < channels_) in_[port] = static_cast<const float*>(data);
    else if (port < audio) out_[port - channels_] = static_cast<float*>(data);
    else if (port - audio < controls_.size()) ports_[port - audio] = static_cast<const float*>(data);
    else if (port - audio == controls_.size()) latency_ = static_cast<float*>(data);
  }

  virtual void Activate() = 0;
  virtual void Run(std::uint32_t frames) = 0;

 protected:
  // A control whose port value changed since the last run goes to the
  // engine through its field's setter. A Drives field whose stored value
  // changed then sets the fields derived from it, as the page does when
  // one is edited: until then the derived fields keep what the block holds
  // (the default pitch shift plays a ratio of exactly 1).
  // True if any control went to the engine.
  template <class Engine>
  bool ApplyControls(Engine& engine) {
    typename Engine::Params before;
    if (FAILED(engine.GetParams(&before))) return false;
    bool applied = false, drivesChanged = false;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      if (ports_[i] == nullptr) continue;
      const float value = *ports_[i];
      if (std::bit_cast<std::uint32_t>(value) == std::bit_cast<std::uint32_t>(applied_[i])) continue;
      applied_[i] = value;
      applied = true;
      const Control& c = controls_[i];
      const double raw = c.ToRaw(value);
      engine.SetFieldValue(*c.field, raw);
      if (c.field->use == FieldUse::Drives && raw != ReadFieldValue(&before, *c.field)) drivesChanged = true;
    }
    if (!drivesChanged || effect_.derive == nullptr) return applied;
    typename Engine::Params block;
    if (FAILED(engine.GetParams(&block))) return applied;
    effect_.derive(&block, drives_);
    for (const FieldInfo& row : effect_.fields)
      if (row.use == FieldUse::Driven) engine.SetFieldValue(row, ReadFieldValue(&block, row));
    return applied;
  }

  bool AudioConnected() const {
    for (std::uint32_t c = 0; c < channels_; ++c)
      if (in_[c] == nullptr || out_[c] == nullptr) return false;
    return true;
  }

  // Host frames [from, from + n) into the interleaved scratch block.
  void Interleave(std::uint32_t from, std::uint32_t n) {
    if (channels_ == 1) {
      std::memcpy(frames_.data(), in_[0] + from, n * sizeof(float));
      return;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
      frames_[2 * i] = in_[0][from + i];
      frames_[2 * i + 1] = in_[1][from + i];
    }
  }

  void Silence(std::uint32_t from, std::uint32_t n) {
    for (std::uint32_t c = 0; c < channels_; ++c) std::fill_n(out_[c] + from, n, 0.0f);
  }

  const PluginEffect& effect_;
  const std::uint32_t channels_;
  AudioFormat format_{};
  std::vector<Control> controls_;
  std::vector<const float*> ports_;
  std::vector<float> applied_;  // the port values last given to the engine
  std::vector<FieldEdit> drives_;
  std::vector<float> frames_;  // kChunk interleaved frames
  const float* in_[2] = {nullptr, nullptr};
  float* out_[2] = {nullptr, nullptr};
  float* latency_ = nullptr;
  bool working_ = false;  // the last start succeeded and no call has failed since
};

// The delays, the chorus and the reverb: each block in place. Their tails
// are the sound of the silence a host keeps running through them.
template <class Engine>
class InPlacePlugin final : public Plugin {
 public:
  using Plugin::Plugin;
  ~InPlacePlugin() override { engine_.ReleaseLine(); }

  void Activate() override {
    ApplyControls(engine_);
    working_ = SUCCEEDED(stream_.Start(&format_));
  }

  void Run(std::uint32_t frames) override {
    if (!AudioConnected()) return;
    ApplyControls(engine_);
    for (std::uint32_t done = 0; done < frames;) {
      const std::uint32_t n = std::min(kChunk, frames - done);
      if (!working_) {
        Silence(done, frames - done);
        return;
      }
      Interleave(done, n);
      std::uint32_t processed = n;
      if (FAILED(stream_.Receive(frames_.data(), &processed)) || processed != n) {
        working_ = false;
        continue;
      }
      if (channels_ == 1) {
        std::memcpy(out_[0] + done, frames_.data(), n * sizeof(float));
      } else {
        for (std::uint32_t i = 0; i < n; ++i) {
          out_[0][done + i] = frames_[2 * i];
          out_[1][done + i] = frames_[2 * i + 1];
        }
      }
      done += n;
    }
  }

 private:
  Engine engine_;
  InPlaceStream<Engine> stream_{engine_};
};

// Time and pitch make frames at their own pace: what the engine makes waits
// in a queue, and the output starts after the latency the plugin reports,
// the engine's start-up delay, during which it plays silence. Whenever the
// queue runs dry (a shortened time, a pitch shift that changes the length)
// the output is silent until the engine catches up.
template <class Engine>
class CopyingPlugin final : public Plugin {
 public:
  using Plugin::Plugin;

  void Build() override {
    Plugin::Build();
    made_.assign(static_cast<std::size_t>(4) * kChunk * channels_, 0.0f);
    queue_.assign(static_cast<std::size_t>(kQueueSeconds) * format_.sampleRate * channels_ + made_.size(), 0.0f);
  }

  void Activate() override {
    ApplyControls(engine_);
    head_ = tail_ = held_ = 0;
    fed_ = false;
    working_ = SUCCEEDED(engine_.SelectFormat(&format_));
    latencyFrames_ = Latency();
    waiting_ = latencyFrames_;
    if (latency_ != nullptr) *latency_ = static_cast<float>(latencyFrames_);
  }

  void Run(std::uint32_t frames) override {
    if (!AudioConnected()) return;
    if (ApplyControls(engine_)) latencyFrames_ = Latency();
    if (latency_ != nullptr) *latency_ = static_cast<float>(latencyFrames_);
    {
      const FlushDenormals flush;
      for (std::uint32_t done = 0; done < frames && working_;) {
        const std::uint32_t n = std::min(kChunk, frames - done);
        Interleave(done, n);
        Feed(n);
        done += n;
      }
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
      if (waiting_ > 0 || held_ == 0) {
        if (waiting_ > 0) --waiting_;
        for (std::uint32_t c = 0; c < channels_; ++c) out_[c][i] = 0.0f;
        continue;
      }
      for (std::uint32_t c = 0; c < channels_; ++c) out_[c][i] = queue_[head_ + c];
      head_ = (head_ + channels_) % queue_.size();
      --held_;
    }
  }

 private:
  // The start-up delay for the block as the stream plays it.
  std::uint32_t Latency() {
    typename Engine::Params p;
    if (FAILED(engine_.GetParams(&p))) return 0;
    PlayBlock(effect_.fields, &p);
    return StartupFrames(p, format_.sampleRate);
  }

  void Feed(std::uint32_t n) {
    ProcessMode mode = fed_ ? ProcessMode::Continue : ProcessMode::Discontinuity;
    fed_ = true;
    if (FAILED(engine_.PreFilter(mode, frames_.data(), n))) {
      working_ = false;
      return;
    }
    const float* data = frames_.data();
    std::uint32_t left = n;
    for (;;) {
      std::uint32_t taken = left;
      std::uint32_t made = static_cast<std::uint32_t>(made_.size() / channels_);
      if (FAILED(engine_.Process(mode, data, &taken, made_.data(), &made))) {
        working_ = false;
        return;
      }
      Queue(made);
      if (taken >= left || (taken == 0 && made == 0)) return;
      data += static_cast<std::size_t>(taken) * channels_;
      left -= taken;
      mode = ProcessMode::Continue;
    }
  }

  void Queue(std::uint32_t frames) {
    const std::size_t room = queue_.size() / channels_ - held_;
    frames = static_cast<std::uint32_t>(std::min<std::size_t>(frames, room));
    for (std::uint32_t i = 0; i < frames; ++i) {
      for (std::uint32_t c = 0; c < channels_; ++c) queue_[tail_ + c] = made_[i * channels_ + c];
      tail_ = (tail_ + channels_) % queue_.size();
    }
    held_ += frames;
  }

  Engine engine_;
  std::vector<float> made_;   // one engine call's output
  std::vector<float> queue_;  // a ring of interleaved frames
  std::size_t head_ = 0, tail_ = 0, held_ = 0;
  std::uint32_t latencyFrames_ = 0;  // what the latency port reports
  std::uint32_t waiting_ = 0;         // silent frames still to play before the first output
  bool fed_ = false;
};

template <class P>
LV2_Handle Make(const PluginEffect& effect, std::uint32_t channels, std::uint32_t rate) {
  auto plugin = std::make_unique<P>(effect, channels, rate);
  plugin->Build();
  return plugin.release();
}

LV2_Handle MakeFor(std::size_t index, std::uint32_t channels, std::uint32_t rate) {
  const PluginEffect& effect = PluginEffects()[index];
  switch (index) {
    case 0: return Make<InPlacePlugin<SimpleDelayEngine>>(effect, channels, rate);
    case 1: return Make<InPlacePlugin<MultiTapEngine>>(effect, channels, rate);
    case 2: return Make<InPlacePlugin<ChorusEngine>>(effect, channels, rate);
    case 3: return Make<InPlacePlugin<ReverbEngine>>(effect, channels, rate);
    case 4: return Make<CopyingPlugin<TimeEngine>>(effect, channels, rate);
    case 5: return Make<CopyingPlugin<PitchEngine>>(effect, channels, rate);
    default: return nullptr;
  }
}

// Descriptor i is effect i / 2, mono for even i and stereo for odd.
struct Descriptors {
  std::vector<std::string> uris;
  std::vector<LV2_Descriptor> table;
  Descriptors();
};

template <std::size_t I>
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  if (!(rate >= 1.0 && rate <= 4294967295.0)) return nullptr;
  try {
    return MakeFor(I / 2, I % 2 == 0 ? 1 : 2, static_cast<std::uint32_t>(std::lround(rate)));
  } catch (...) {
    return nullptr;  // no memory for the controls or the queue
  }
}

void ConnectPort(LV2_Handle h, std::uint32_t port, void* data) {
  static_cast<Plugin*>(h)->Connect(port, data);
}
void Activate(LV2_Handle h) {
  static_cast<Plugin*>(h)->Activate();
}
void Run(LV2_Handle h, std::uint32_t frames) {
  static_cast<Plugin*>(h)->Run(frames);
}
void Cleanup(LV2_Handle h) {
  delete static_cast<Plugin*>(h);
}
const void* ExtensionData(const char*) {
  return nullptr;
}

template <std::size_t... I>
void Fill(Descriptors& d, std::index_sequence<I...>) {
  (d.table.push_back(LV2_Descriptor{d.uris[I].c_str(), &Instantiate<I>, &ConnectPort, &Activate, &Run, nullptr,
                                    &Cleanup, &ExtensionData}),
   ...);
}

Descriptors::Descriptors() {
  for (const PluginEffect& effect : PluginEffects())
    for (std::uint32_t channels = 1; channels <= 2; ++channels) uris.push_back(PluginUri(effect, channels));
  Fill(*this, std::make_index_sequence<12>{});
}

}  // namespace

}  // namespace quill::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  static const quill::lv2::Descriptors descriptors;
  return index < descriptors.table.size() ? &descriptors.table[index] : nullptr;
}
