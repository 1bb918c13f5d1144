#include "streaming/transform_base.h"

namespace quill {

// ---------------------------------------------------------------------------
TransformInputPin::TransformInputPin(TransformBase* transform) : InputPin(transform, L"Input"), transform_(transform) {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return transform_->CheckInputConnection(type);
}

HRESULT TransformInputPin::GetMediaType(int index, AM_MEDIA_TYPE& type) {
  return transform_->GetInputType(index, type);
}

HRESULT TransformInputPin::SetMediaType(const AM_MEDIA_TYPE& type) {
  HRESULT hr = InputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return transform_->SetMediaType(PINDIR_INPUT, type);
}

HRESULT TransformInputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = InputPin::CompleteConnect(peer);
  if (FAILED(hr)) return hr;
  return transform_->CompleteConnect(PINDIR_INPUT, peer);
}

HRESULT TransformInputPin::OnReceive(IMediaSample* sample) {
  return transform_->ReceiveFromInput(sample);
}
HRESULT TransformInputPin::OnEndOfStream() {
  return transform_->EndOfStreamFromInput();
}
HRESULT TransformInputPin::OnBeginFlush() {
  return transform_->BeginFlush();
}
HRESULT TransformInputPin::OnEndFlush() {
  return transform_->EndFlush();
}
HRESULT TransformInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return transform_->NewSegment(start, stop, rate);
}
HRESULT TransformInputPin::AcceptAllocator(IMemAllocator* allocator, BOOL readOnly) {
  return transform_->AcceptInputAllocator(allocator, readOnly);
}

// ---------------------------------------------------------------------------
TransformOutputPin::TransformOutputPin(TransformBase* transform, IPin* input)
    : OutputPin(transform, L"Output"), transform_(transform), seeking_(static_cast<IPin*>(this), input) {}

HRESULT TransformOutputPin::QueryPinInterface(REFIID riid, void** object) {
  if (riid == IID_IMediaSeeking) return GetInterface(&seeking_, object);
  if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), object);
  return OutputPin::QueryPinInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE TransformOutputPin::Notify(IBaseFilter*, Quality quality) {
  return transform_->AlterQuality(quality);
}

HRESULT STDMETHODCALLTYPE TransformOutputPin::SetSink(IQualityControl*) {
  return S_OK;
}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return transform_->CheckOutputConnection(type);
}

HRESULT TransformOutputPin::GetMediaType(int index, AM_MEDIA_TYPE& type) {
  return transform_->GetOutputType(index, type);
}

HRESULT TransformOutputPin::SetMediaType(const AM_MEDIA_TYPE& type) {
  HRESULT hr = OutputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return transform_->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT TransformOutputPin::CompleteConnect(IPin* peer) {
  HRESULT hr = OutputPin::CompleteConnect(peer);
  if (FAILED(hr)) return hr;
  return transform_->CompleteConnect(PINDIR_OUTPUT, peer);
}

HRESULT TransformOutputPin::DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  HRESULT hr = transform_->DecideOutputAllocator(peer, allocator, owned);
  if (hr != S_FALSE) return hr;
  return OutputPin::DecideAllocator(peer, allocator, owned);
}

HRESULT TransformOutputPin::DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request) {
  return transform_->DecideBufferSize(allocator, request);
}

// ---------------------------------------------------------------------------
TransformBase::TransformBase(const wchar_t* name, const CLSID& clsid, IUnknown* outer, const REGFILTER2* registration)
    : BaseFilter(name, clsid, outer, registration), input_(this), output_(this, &input_) {}

BasePin* TransformBase::Pin(int index) {
  if (index == 0) return &input_;
  if (index == 1) return &output_;
  return nullptr;
}

HRESULT STDMETHODCALLTYPE TransformBase::Pause() {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped && input_.IsConnected()) {
    HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
    hr = SetPinsActive(true);
    if (FAILED(hr)) {
      SetPinsActive(false);
      StopStreaming();
      return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TransformBase::Stop() {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped) return S_OK;
  // Refuse new samples first, then wait for the one in progress.
  state_ = State_Stopped;
  HRESULT hr = SetPinsActive(false);
  AutoLock streaming(streamLock_);
  HRESULT stopped = input_.IsConnected() ? StopStreaming() : S_OK;
  return FAILED(hr) ? hr : stopped;
}

HRESULT TransformBase::GetInputType(int, AM_MEDIA_TYPE&) {
  return VFW_S_NO_MORE_ITEMS;
}
HRESULT TransformBase::GetOutputType(int, AM_MEDIA_TYPE&) {
  return VFW_S_NO_MORE_ITEMS;
}
HRESULT TransformBase::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE&) {
  return S_OK;
}
HRESULT TransformBase::AcceptInputAllocator(IMemAllocator*, BOOL) {
  return S_OK;
}
HRESULT TransformBase::DecideOutputAllocator(IMemInputPin*, IMemAllocator**, bool*) {
  return S_FALSE;
}
HRESULT TransformBase::DecideBufferSize(IMemAllocator*, const ALLOCATOR_PROPERTIES&) {
  return E_NOTIMPL;
}

HRESULT TransformBase::ReceiveFromInput(IMediaSample* sample) {
  AutoLock streaming(streamLock_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  return Receive(sample);
}

HRESULT TransformBase::EndOfStreamFromInput() {
  AutoLock streaming(streamLock_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  return EndOfStream();
}

HRESULT TransformBase::EndOfStream() {
  return output_.DeliverEndOfStream();
}

// Flushing must not wait for the streaming lock: it is what unblocks a
// streaming thread stuck downstream.
HRESULT TransformBase::BeginFlush() {
  return output_.IsConnected() ? output_.DeliverBeginFlush() : S_OK;
}
HRESULT TransformBase::EndFlush() {
  return output_.IsConnected() ? output_.DeliverEndFlush() : S_OK;
}

HRESULT TransformBase::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return output_.IsConnected() ? output_.DeliverNewSegment(start, stop, rate) : S_OK;
}

}  // namespace quill
