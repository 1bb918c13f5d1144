#include "streaming/copying_transform.h"

namespace quill {

HRESULT CopyingTransform::CheckInputConnection(const AM_MEDIA_TYPE& type) {
  HRESULT hr = CheckInputType(type);
  if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  // A new input must still suit an output that stays connected.
  if (output_.IsConnected()) return CheckTransform(type, output_.ConnectionType());
  return S_OK;
}

HRESULT CopyingTransform::CheckOutputConnection(const AM_MEDIA_TYPE& type) {
  if (!input_.IsConnected()) return VFW_E_NOT_CONNECTED;
  return CheckTransform(input_.ConnectionType(), type);
}

HRESULT CopyingTransform::GetOutputType(int index, AM_MEDIA_TYPE& type) {
  return GetMediaType(index, type);
}

HRESULT CopyingTransform::DecideOutputAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  IMemAllocator* own = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void**>(&own));
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES request{};
  peer->GetAllocatorRequirements(&request);  // optional: E_NOTIMPL leaves it empty
  hr = DecideBufferSize(own, request);
  if (SUCCEEDED(hr)) hr = peer->NotifyAllocator(own, FALSE);
  if (FAILED(hr)) {
    own->Release();
    return hr;
  }
  *allocator = own;
  *owned = true;  // the output pin commits and decommits it
  return S_OK;
}

HRESULT CopyingTransform::DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES wanted = request;
  IMemAllocator* upstream = input_.IsConnected() ? input_.Allocator() : nullptr;
  if (upstream != nullptr) {
    HRESULT hr = upstream->GetProperties(&wanted);
    if (FAILED(hr)) return hr;
  }
  // One input buffer may expand to several times its length.
  wanted.cbBuffer *= kSizeFactor;
  if (wanted.cBuffers < 1) wanted.cBuffers = 1;
  if (wanted.cbAlign < 1) wanted.cbAlign = 1;
  if (wanted.cbPrefix < 0) wanted.cbPrefix = 0;
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  granted_ = actual;
  if (actual.cbBuffer < kMinBufferBytes) return E_FAIL;
  return hr;
}

}  // namespace quill
