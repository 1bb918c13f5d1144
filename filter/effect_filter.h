// The in-place effect filter: an engine behind the streaming shell. The
// filter keeps the negotiated format, starts and stops the engine with
// streaming, hands it each buffer, and after the end of the stream asks it
// for silent buffers until its tail has died away. The engine's parameter
// interface, the property-page list, persistence and presets share the
// filter's identity.
//
// Effect describes one effect: Engine, Interface (its parameter interface),
// kClassId, kInterfaceId and kName. An engine without a tail (kHasTail)
// passes the end of the stream on at once, never runs in mode Tail, and
// keeps its lines when streaming stops.
#pragma once

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "framework/in_place_stream.h"
#include "filter/effect_parts.h"
#include "filter/effect_registration.h"
#include "streaming/in_place_transform.h"
#include "controls/twctllib.h"

namespace quill {

template <class Effect>
class EffectFilter final : public InPlaceTransform, public EffectParts<Effect> {
  using Parts = EffectParts<Effect>;
  using Parts::engine_;

 public:
  using Engine = typename Effect::Engine;

  // The class table's create function.
  static UnknownBase* Create(IUnknown* outer, HRESULT* result) {
    auto* filter = new (std::nothrow) EffectFilter(outer, result);
    if (filter == nullptr) *result = E_OUTOFMEMORY;
    return filter;
  }

  EffectFilter(IUnknown* outer, HRESULT* result)
      : InPlaceTransform(Effect::kName, Effect::kClassId, outer, EffectRegistration()), stream_(engine_) {
    engine_.SetOwner(Owner());
    // The page's window classes and colour scheme; counted, so the last
    // filter to go takes them away.
    CtlInitialize(TRUE);
    HRESULT hr = engine_.ApplyPreset(0);
    // The construction state is the default preset, not an edit.
    engine_.MarkClean();
    if (FAILED(hr)) *result = hr;
  }

  ~EffectFilter() override {
    CtlInitialize(FALSE);
    engine_.ReleaseLine();
  }

  QUILL_DELEGATING_UNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    HRESULT hr = Parts::QueryEffectInterface(riid, object);
    if (hr != E_NOINTERFACE) return hr;
    return InPlaceTransform::NonDelegatingQueryInterface(riid, object);
  }

  // IPersist, reached both as a filter and as a persistent object.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { return BaseFilter::GetClassID(clsid); }

  // --- the shell ------------------------------------------------------------
  HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override { return CheckAudioType(ViewOf(type)); }

  HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) override {
    format_ = CaptureFormat(ViewOf(type));
    engine_.SetFormat(&format_);
    engine_.NotifyFormat(direction == PINDIR_INPUT ? 0 : 1);
    return S_OK;
  }

  HRESULT StartStreaming() override { return stream_.Start(&format_); }

  HRESULT StopStreaming() override {
    if constexpr (Engine::kHasTail) engine_.ReleaseLine();
    return S_OK;
  }

  HRESULT Receive(IMediaSample* sample) override {
    HRESULT hr = Transform(sample);
    if (SUCCEEDED(hr) && hr != S_FALSE) return output_.Deliver(sample);
    return hr == S_FALSE ? S_OK : hr;
  }

  // Processes one buffer in place: S_OK, kStateCleared (processed, a line
  // cleared of a NaN or an infinity) or a failure.
  HRESULT Transform(IMediaSample* sample) {
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    if (!SampleKindOf(format_) || format_.blockAlign == 0) return VFW_E_NOT_CONNECTED;
    const long length = sample->GetActualDataLength();
    std::uint32_t frames = static_cast<std::uint32_t>(std::max(length, 0L)) / format_.blockAlign;
    hr = stream_.Receive(data, &frames, sample->IsDiscontinuity() == S_OK);
    const HRESULT set = sample->SetActualDataLength(static_cast<long>(frames * format_.blockAlign));
    if (FAILED(hr)) return hr;
    return FAILED(set) ? set : hr;
  }

  // The tail: silent buffers through the engine until it reports the end,
  // then the end of stream passed on.
  HRESULT EndOfStream() override {
    if constexpr (!Engine::kHasTail) return InPlaceTransform::EndOfStream();
    HRESULT failure = S_OK;
    if (output_.IsConnected()) {
      bool noBuffer = false;
      failure = stream_.PlayTail([&](const auto& fill) {
        IMediaSample* sample = nullptr;
        HRESULT hr = output_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
          noBuffer = true;
          return hr;
        }
        BYTE* data = nullptr;
        std::uint32_t frames = 0;
        hr = sample->GetPointer(&data);
        if (SUCCEEDED(hr)) hr = fill(data, static_cast<std::uint32_t>(std::max(sample->GetSize(), 0L)), &frames);
        const HRESULT set = sample->SetActualDataLength(static_cast<long>(frames * format_.blockAlign));
        if (SUCCEEDED(hr) && FAILED(set)) hr = set;
        if (SUCCEEDED(hr)) {
          const HRESULT delivered = output_.Deliver(sample);
          if (FAILED(delivered)) hr = delivered;
        }
        sample->Release();
        return hr;
      });
      // Without a buffer to fill the end of stream cannot follow the tail.
      if (noBuffer) return failure;
    }
    const HRESULT hr = output_.DeliverEndOfStream();
    return FAILED(failure) ? failure : hr;
  }

 private:
  static MediaTypeView ViewOf(const AM_MEDIA_TYPE& type) {
    return MediaTypeView{type.majortype, type.bTemporalCompression != FALSE, type.pbFormat,
                         type.pbFormat != nullptr ? static_cast<std::uint32_t>(type.cbFormat) : 0u};
  }

  AudioFormat format_{};
  InPlaceStream<Engine> stream_;
};

}  // namespace quill
