// The per-buffer control path of the in-place engines (simple delay,
// multi-tap delay, chorus, reverb), written once. An engine derives from
// InPlaceEngine<Engine, Traits> and keeps only its own set-up and its DSP:
//
//   static constexpr bool kHasTail;          adds a tail after the end of the stream
//   static constexpr bool kChangeEndsTail;   a change during the tail ends it at
//                                            once (else it waits for the next
//                                            ordinary buffer and the tail plays on)
//   HRESULT Reserve();                       [streaming start] holds the memory the
//                                            largest set-up for the format can
//                                            need (optional)
//   HRESULT Reset();                         [streaming] what a restart clears
//                                            before its set-up (and whether that
//                                            is a full one); may refuse
//   HRESULT Configure(const Params&);        [streaming] the full set-up
//   void Retune(const Params&);              [streaming] the light set-up
//   bool SetUpMoved() const;                 [streaming] the format moved away
//                                            from what the set-up was made for
//   template <class Kind>
//   HRESULT Run(ProcessMode, Sample*, std::uint32_t* frames);
//                                            [streaming] the samples; counts the
//                                            tail (CountTail) in mode Tail; a
//                                            feedback path that met a NaN or an
//                                            infinity clears itself and answers
//                                            kStateCleared
//
// An engine whose set-up does not split into full and light replaces SetUp.
#pragma once

#include <algorithm>
#include <cstdint>

#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "framework/flush_denormals.h"
#include "framework/sample_block.h"

namespace quill {

template <class Engine, class Traits>
class InPlaceEngine : public EffectEngine<Traits> {
 public:
  using Base = EffectEngine<Traits>;
  using Params = typename Traits::Params;

  // [application thread at streaming start] Memory for the largest set-up
  // the format allows first, so that no set-up while streaming, on an edit or
  // a discontinuity, has to allocate; then the restart. Only a format that
  // moves without a restart (hosts restart on a format change) can still
  // need more, which its set-up then takes.
  HRESULT StartStream() {
    const HRESULT hr = Self().Reserve();
    if (FAILED(hr)) return hr;
    return Restart();
  }

  // [application thread at streaming start; streaming thread on a
  // discontinuity] The engine's own clearing, a fresh snapshot and its
  // set-up (a full one when Reset asked for it, when a Full field changed or
  // when nothing is set up yet); the next buffer is the first of a run.
  HRESULT Restart() {
    HRESULT hr = Self().Reset();
    if (FAILED(hr)) return hr;
    Params snapshot;
    Snapshot(snapshot);
    hr = Self().SetUp(snapshot, ProcessMode::Discontinuity);
    if (SUCCEEDED(hr)) refreshDue_ = false;
    started_ = 0;
    return hr;
  }

  // [streaming thread] Processes `*frames` interleaved frames in place. In
  // mode Tail the buffer holds silence and the count may come back lower;
  // S_FALSE means the tail is complete. kStateCleared: processed, and a
  // line or filter cleared of a NaN or an infinity (a tail ends with it).
  // Each engine instantiates it (and with it the sample loops) in its own
  // source file.
  HRESULT Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames);

 protected:
  // The default split: the full set-up when a Full field changed, the format
  // moved or the last one failed; the light one otherwise.
  HRESULT SetUp(const Params& p, ProcessMode) {
    if (this->Format() == nullptr) return VFW_E_NOT_CONNECTED;
    if (ready_ == 0 || Self().SetUpMoved()) rebuild_ = true;
    if (!rebuild_) {
      Self().Retune(p);
      return S_OK;
    }
    ready_ = 0;
    const HRESULT hr = Self().Configure(p);
    if (SUCCEEDED(hr)) {
      rebuild_ = false;
      ready_ = 1;
    }
    return hr;
  }

  bool SetUpMoved() const { return false; }
  HRESULT Reserve() { return S_OK; }

  // Channels of the kept format (mono unless it says two).
  std::uint32_t Channels() const {
    const AudioFormat* f = this->Format();
    return f != nullptr && f->channels == 2 ? 2 : 1;
  }

  // In mode Tail: how many of `n` frames the tail still fills; S_FALSE once
  // they are the last.
  HRESULT CountTail(std::uint32_t& n) {
    n = std::min(n, tailLeft_);
    tailLeft_ -= n;
    return tailLeft_ == 0 ? S_FALSE : S_OK;
  }

  bool rebuild_ = true;         // the next set-up is a full one
  std::int32_t ready_ = 0;      // the last full set-up succeeded
  std::int32_t started_ = 1;    // a buffer was processed since the last restart
  bool refreshDue_ = false;     // a change seen during the tail, for the next ordinary buffer
  std::uint32_t tailLeft_ = 0;  // frames of tail still to play (engines that count one)

 private:
  Engine& Self() { return static_cast<Engine&>(*this); }
  const Engine& Self() const { return static_cast<const Engine&>(*this); }

  // The snapshot, taking over any full set-up request that came with it.
  bool Snapshot(Params& out) {
    bool full = false;
    const bool changed = this->TakeSnapshot(out, full);
    if (full) rebuild_ = true;
    return changed;
  }

  template <class Kind>
  HRESULT Drive(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames) {
    // Without a format there is no buffer layout to work on.
    if (this->Format() == nullptr) return VFW_E_NOT_CONNECTED;
    Params snapshot;
    const bool changed = Snapshot(snapshot) || refreshDue_;
    const bool moved = Self().SetUpMoved();
    if (mode == ProcessMode::Tail) {
      // The buffer keeps its silence and its length.
      if (Engine::kChangeEndsTail && (changed || ready_ == 0)) return S_FALSE;
      if (changed) refreshDue_ = true;
      // Nothing to play out: no tail at all, no lines, or lines for another format.
      if (!Engine::kHasTail || ready_ == 0 || moved) {
        *frames = 0;
        return S_FALSE;
      }
    } else {
      HRESULT hr = S_OK;
      switch (this->StartOf(mode, started_ != 0, changed || moved, ready_ != 0)) {
        case Base::BufferStart::Restart:
          hr = Restart();
          break;
        case Base::BufferStart::SetUp:
          hr = Self().SetUp(snapshot, mode);
          if (SUCCEEDED(hr)) refreshDue_ = false;
          break;
        case Base::BufferStart::Run:
          break;
      }
      if (FAILED(hr)) return hr;
    }
    started_ = 1;
    return Self().template Run<Kind>(mode, data, frames);
  }
};

template <class Engine, class Traits>
HRESULT InPlaceEngine<Engine, Traits>::Process(SampleKind kind, ProcessMode mode, void* data, std::uint32_t* frames) {
  const FlushDenormals flush;
  const HRESULT hr = ProcessByKind(kind, data, frames,
                                   [&](auto k, auto* samples) { return Drive<decltype(k)>(mode, samples, frames); });
  if (SUCCEEDED(hr)) KeepFinite(kind, data, static_cast<std::size_t>(*frames) * Channels());
  return hr;
}

}  // namespace quill
