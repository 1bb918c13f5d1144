// The copying effect filter shared by the time and pitch effects: each
// input buffer goes through the engine into output buffers of the filter's
// own, as many as the engine fills, and the end of the stream drains the
// engine before it is passed on. The engine is a FrameProcessor (the pitch
// engine adds its pre-filter) with SelectFormat, SetFormat and NotifyFormat.
//
// Effect describes one effect: Engine, Interface, kClassId, kInterfaceId,
// kName, and kFiltersInput when the engine's pre-filter writes into the
// input buffers (which then must not be read-only).
#pragma once

#include <cstring>
#include <new>

#include "framework/audio_format.h"
#include "dsp/copying_loop.h"
#include "streaming/copying_transform.h"
#include "filter/effect_parts.h"
#include "filter/effect_registration.h"
#include "filter/media_sample_outlet.h"
#include "streaming/media_type.h"
#include "controls/twctllib.h"

namespace quill {

// The acceptance rule and the pairing rule of the copying filters, on the
// platform's media types.
HRESULT CheckCopyingInput(const AM_MEDIA_TYPE& type);
HRESULT CheckCopyingTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output);
// The output type offered at `position`, made from the input's type.
HRESULT CopyingOutputType(bool inputConnected, const AM_MEDIA_TYPE& input, int position, AM_MEDIA_TYPE& type);
// The kept copy of a pin's format.
AudioFormat CaptureCopyingFormat(const AM_MEDIA_TYPE& type);

template <class Effect>
class CopyingEffectFilter final : public CopyingTransform, public EffectParts<Effect> {
  using Parts = EffectParts<Effect>;
  using Parts::engine_;

 public:
  static UnknownBase* Create(IUnknown* outer, HRESULT* result) {
    auto* filter = new (std::nothrow) CopyingEffectFilter(outer, result);
    if (filter == nullptr) *result = E_OUTOFMEMORY;
    return filter;
  }

  CopyingEffectFilter(IUnknown* outer, HRESULT* result)
      : CopyingTransform(Effect::kName, Effect::kClassId, outer, EffectRegistration()),
        outlet_(output_, &OutputTypeOf, this),
        loop_(engine_, outlet_) {
    loop_.SetFormats(&inputFormat_, &outputFormat_);
    // The page's window classes and colour scheme, counted like the
    // in-place filters' start-up.
    CtlInitialize(TRUE);
    HRESULT hr = Parts::ApplyDefaultPreset(Owner());
    if (FAILED(hr)) *result = hr;
  }

  ~CopyingEffectFilter() override { CtlInitialize(FALSE); }

  QUILL_DELEGATING_UNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    HRESULT hr = Parts::QueryEffectInterface(riid, object);
    if (hr != E_NOINTERFACE) return hr;
    return CopyingTransform::NonDelegatingQueryInterface(riid, object);
  }

  // IPersist, reached both as a filter and as a persistent object.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { return BaseFilter::GetClassID(clsid); }

  // --- the transform ---------------------------------------------------------
  HRESULT AcceptInputAllocator(IMemAllocator* allocator, BOOL readOnly) override {
    if (Effect::kFiltersInput && readOnly) return VFW_E_READ_ONLY;
    return CopyingTransform::AcceptInputAllocator(allocator, readOnly);
  }

  HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override { return CheckCopyingInput(type); }
  HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override {
    return CheckCopyingTransform(input, output);
  }
  HRESULT GetMediaType(int position, AM_MEDIA_TYPE& type) override {
    return CopyingOutputType(input_.IsConnected(), input_.ConnectionType(), position, type);
  }

  HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) override {
    if (direction == PINDIR_INPUT) {
      inputFormat_ = CaptureCopyingFormat(type);
      engine_.SetFormat(&inputFormat_);
    } else {
      outputFormat_ = CaptureCopyingFormat(type);
    }
    engine_.NotifyFormat(direction == PINDIR_INPUT ? 0 : 1);
    return S_OK;
  }

  HRESULT StartStreaming() override { return engine_.SelectFormat(&inputFormat_); }
  // The engine keeps its buffers until the next start.
  HRESULT StopStreaming() override { return S_OK; }

  HRESULT Receive(IMediaSample* sample) override {
    InputSample in;
    HRESULT hr = PinOutlet::Describe(sample, in);
    if (FAILED(hr)) return hr;
    hr = loop_.Receive(in);
    return FAILED(hr) ? hr : S_OK;
  }

  HRESULT EndOfStream() override {
    // Without a downstream filter there is nothing to flush into.
    if (!output_.IsConnected()) return S_OK;
    return loop_.EndOfStream();
  }

  const AudioFormat& InputFormat() const { return inputFormat_; }
  const AudioFormat& OutputFormat() const { return outputFormat_; }

 private:
  static HRESULT OutputTypeOf(void* context, AM_MEDIA_TYPE& type) {
    return static_cast<CopyingEffectFilter*>(context)->GetMediaType(0, type);
  }

  AudioFormat inputFormat_{};
  AudioFormat outputFormat_{};
  PinOutlet outlet_;
  CopyingLoop loop_;
};

}  // namespace quill
