#include "streaming/in_place_transform.h"

namespace quill {

namespace {

// The peer of the other pin, when connected, must take the same type.
HRESULT PeerAccepts(BasePin& other, const AM_MEDIA_TYPE& type) {
  IPin* peer = other.Peer();
  if (peer == nullptr) return S_OK;
  return peer->QueryAccept(&type) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace

HRESULT InPlaceTransform::CheckInputConnection(const AM_MEDIA_TYPE& type) {
  HRESULT hr = CheckInputType(type);
  if (hr != S_OK) return hr;
  return PeerAccepts(output_, type);
}

HRESULT InPlaceTransform::CheckOutputConnection(const AM_MEDIA_TYPE& type) {
  // The output passes on the input's buffers, so it needs the input first.
  if (!input_.IsConnected()) return VFW_E_NOT_CONNECTED;
  HRESULT hr = CheckInputType(type);
  if (hr != S_OK) return hr;
  return PeerAccepts(input_, type);
}

HRESULT InPlaceTransform::GetInputType(int index, AM_MEDIA_TYPE& type) {
  if (index != 0 || !output_.IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return CopyMediaType(type, output_.ConnectionType());
}

HRESULT InPlaceTransform::GetOutputType(int index, AM_MEDIA_TYPE& type) {
  if (index != 0 || !input_.IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return CopyMediaType(type, input_.ConnectionType());
}

HRESULT InPlaceTransform::AcceptInputAllocator(IMemAllocator* allocator, BOOL readOnly) {
  // We write into every buffer.
  if (readOnly) return VFW_E_READ_ONLY;
  if (output_.IsConnected() && output_.Allocator() != allocator) {
    IMemInputPin* downstream = nullptr;
    HRESULT hr = output_.Peer()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&downstream));
    if (FAILED(hr)) return hr;
    hr = downstream->NotifyAllocator(allocator, FALSE);
    downstream->Release();
    if (FAILED(hr)) return hr;
    output_.AdoptAllocator(allocator, false);
  }
  return S_OK;
}

HRESULT InPlaceTransform::DecideOutputAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  IMemAllocator* shared = input_.Allocator();
  if (shared == nullptr) return VFW_E_NO_ALLOCATOR;
  HRESULT hr = peer->NotifyAllocator(shared, FALSE);
  if (FAILED(hr)) return hr;
  shared->AddRef();
  *allocator = shared;
  *owned = false;  // upstream commits and decommits it
  return S_OK;
}

}  // namespace quill
