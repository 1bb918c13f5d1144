// IMediaSeeking for a transform's output pin: every call goes to the pin
// upstream of the transform's input, since the source decides positions.
#pragma once

#include "streaming/base_object.h"

namespace quill {

class SeekingPassThrough final : public IMediaSeeking {
 public:
  // `identity`: the object whose IUnknown this interface shares (the pin);
  // `input`: the transform's input pin, whose peer is asked.
  SeekingPassThrough(IUnknown* identity, IPin* input) : identity_(identity), input_(input) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return identity_->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return identity_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return identity_->Release(); }

  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* caps) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* caps) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

 private:
  // Calls `call` on the upstream IMediaSeeking; E_NOTIMPL when there is none.
  template <class Call>
  HRESULT Forward(Call&& call);

  IUnknown* identity_;
  IPin* input_;
};

}  // namespace quill
