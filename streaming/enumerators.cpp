#include "streaming/enumerators.h"

#include "streaming/base_filter.h"
#include "streaming/media_type.h"
#include "streaming/pins.h"

namespace quill {

PinEnumerator::PinEnumerator(BaseFilter* filter, int position) : filter_(filter), position_(position) {
  static_cast<IBaseFilter*>(filter_)->AddRef();
}

PinEnumerator::~PinEnumerator() {
  static_cast<IBaseFilter*>(filter_)->Release();
}

HRESULT STDMETHODCALLTYPE PinEnumerator::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE PinEnumerator::AddRef() {
  return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE PinEnumerator::Release() {
  const long left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr) return E_POINTER;
  if (count > 1 && fetched == nullptr) return E_INVALIDARG;
  ULONG got = 0;
  while (got < count && position_ < filter_->PinCount()) {
    IPin* pin = filter_->Pin(position_++);
    if (pin == nullptr) continue;
    pin->AddRef();
    pins[got++] = pin;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Skip(ULONG count) {
  const int left = filter_->PinCount() - position_;
  if (static_cast<ULONG>(left) < count) {
    position_ = filter_->PinCount();
    return S_FALSE;
  }
  position_ += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PinEnumerator::Clone(IEnumPins** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = new (std::nothrow) PinEnumerator(filter_, position_);
  return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------------------
MediaTypeEnumerator::MediaTypeEnumerator(BasePin* pin, int position) : pin_(pin), position_(position) {
  pin_->AddRef();
}

MediaTypeEnumerator::~MediaTypeEnumerator() {
  pin_->Release();
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes)
    return GetInterface(static_cast<IEnumMediaTypes*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::AddRef() {
  return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE MediaTypeEnumerator::Release() {
  const long left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (types == nullptr) return E_POINTER;
  if (count > 1 && fetched == nullptr) return E_INVALIDARG;
  ULONG got = 0;
  while (got < count) {
    AM_MEDIA_TYPE type{};
    if (pin_->GetMediaType(position_, type) != S_OK) break;
    ++position_;
    types[got] = CreateMediaType(type);
    FreeMediaType(type);
    if (types[got] == nullptr) {
      while (got > 0) DeleteMediaType(types[--got]);
      if (fetched != nullptr) *fetched = 0;
      return E_OUTOFMEMORY;
    }
    ++got;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Skip(ULONG count) {
  while (count > 0) {
    AM_MEDIA_TYPE type{};
    if (pin_->GetMediaType(position_, type) != S_OK) return S_FALSE;
    FreeMediaType(type);
    ++position_;
    --count;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = new (std::nothrow) MediaTypeEnumerator(pin_, position_);
  return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace quill
