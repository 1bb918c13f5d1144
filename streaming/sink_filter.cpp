#include "streaming/sink_filter.h"

namespace quill {

SinkPin::SinkPin(SinkFilter* sink) : InputPin(sink, L"Input"), sink_(sink) {}

HRESULT SinkPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return sink_->CheckType(type);
}
HRESULT SinkPin::OnReceive(IMediaSample* sample) {
  return sink_->ReceiveFromPin(sample);
}
HRESULT SinkPin::OnEndOfStream() {
  return sink_->EndOfStreamFromPin();
}

SinkFilter::SinkFilter(const wchar_t* name, const CLSID& clsid, IUnknown* outer)
    : BaseFilter(name, clsid, outer), pin_(this) {}

HRESULT STDMETHODCALLTYPE SinkFilter::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IAMFilterMiscFlags) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), object);
  return BaseFilter::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE SinkFilter::Pause() {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped) complete_ = false;
  return BaseFilter::Pause();
}

HRESULT STDMETHODCALLTYPE SinkFilter::Stop() {
  AutoLock lock(filterLock_);
  HRESULT hr = BaseFilter::Stop();
  AutoLock streaming(streamLock_);  // wait for a sample in progress
  return hr;
}

HRESULT SinkFilter::ReceiveFromPin(IMediaSample* sample) {
  AutoLock streaming(streamLock_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  return OnSample(sample);
}

HRESULT SinkFilter::EndOfStreamFromPin() {
  HRESULT hr;
  {
    AutoLock streaming(streamLock_);
    if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
    hr = OnStreamEnd();
    complete_ = true;
  }
  // Outside a graph there is nobody to tell.
  HRESULT notified = NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  if (FAILED(hr)) return hr;
  return notified == E_UNEXPECTED ? S_OK : notified;
}

}  // namespace quill
