#include "streaming/seeking_passthrough.h"

namespace quill {

template <class Call>
HRESULT SeekingPassThrough::Forward(Call&& call) {
  IPin* upstream = nullptr;
  HRESULT hr = input_->ConnectedTo(&upstream);
  if (FAILED(hr)) return VFW_E_NOT_CONNECTED;
  IMediaSeeking* seeking = nullptr;
  hr = upstream->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
  upstream->Release();
  if (FAILED(hr)) return E_NOTIMPL;
  hr = call(seeking);
  seeking->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetCapabilities(DWORD* caps) {
  return Forward([&](IMediaSeeking* s) { return s->GetCapabilities(caps); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::CheckCapabilities(DWORD* caps) {
  return Forward([&](IMediaSeeking* s) { return s->CheckCapabilities(caps); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::IsFormatSupported(const GUID* format) {
  return Forward([&](IMediaSeeking* s) { return s->IsFormatSupported(format); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::QueryPreferredFormat(GUID* format) {
  return Forward([&](IMediaSeeking* s) { return s->QueryPreferredFormat(format); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetTimeFormat(GUID* format) {
  return Forward([&](IMediaSeeking* s) { return s->GetTimeFormat(format); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::IsUsingTimeFormat(const GUID* format) {
  return Forward([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(format); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::SetTimeFormat(const GUID* format) {
  return Forward([&](IMediaSeeking* s) { return s->SetTimeFormat(format); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetDuration(LONGLONG* duration) {
  return Forward([&](IMediaSeeking* s) { return s->GetDuration(duration); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetStopPosition(LONGLONG* stop) {
  return Forward([&](IMediaSeeking* s) { return s->GetStopPosition(stop); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetCurrentPosition(LONGLONG* current) {
  return Forward([&](IMediaSeeking* s) { return s->GetCurrentPosition(current); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                                                LONGLONG source, const GUID* sourceFormat) {
  return Forward([&](IMediaSeeking* s) { return s->ConvertTimeFormat(target, targetFormat, source, sourceFormat); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                                           DWORD stopFlags) {
  return Forward([&](IMediaSeeking* s) { return s->SetPositions(current, currentFlags, stop, stopFlags); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetPositions(LONGLONG* current, LONGLONG* stop) {
  return Forward([&](IMediaSeeking* s) { return s->GetPositions(current, stop); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  return Forward([&](IMediaSeeking* s) { return s->GetAvailable(earliest, latest); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::SetRate(double rate) {
  return Forward([&](IMediaSeeking* s) { return s->SetRate(rate); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetRate(double* rate) {
  return Forward([&](IMediaSeeking* s) { return s->GetRate(rate); });
}
HRESULT STDMETHODCALLTYPE SeekingPassThrough::GetPreroll(LONGLONG* preroll) {
  return Forward([&](IMediaSeeking* s) { return s->GetPreroll(preroll); });
}

}  // namespace quill
