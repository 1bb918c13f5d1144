#include "streaming/media_type.h"

#include <cstring>

namespace quill {

HRESULT CopyMediaType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from) {
  to = from;
  to.pbFormat = nullptr;
  to.cbFormat = 0;
  if (from.cbFormat != 0 && from.pbFormat != nullptr) {
    to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (to.pbFormat == nullptr) {
      std::memset(&to, 0, sizeof to);
      return E_OUTOFMEMORY;
    }
    std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
    to.cbFormat = from.cbFormat;
  }
  if (to.pUnk != nullptr) to.pUnk->AddRef();
  return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.pbFormat != nullptr) CoTaskMemFree(type.pbFormat);
  if (type.pUnk != nullptr) type.pUnk->Release();
  std::memset(&type, 0, sizeof type);
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& from) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) return nullptr;
  if (FAILED(CopyMediaType(*type, from))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

bool SameMediaType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) return false;
  if (a.cbFormat != b.cbFormat) return false;
  return a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

MediaType::MediaType() {
  std::memset(&type_, 0, sizeof type_);
}
MediaType::~MediaType() {
  FreeMediaType(type_);
}

HRESULT MediaType::Set(const AM_MEDIA_TYPE& from) {
  AM_MEDIA_TYPE copy;
  HRESULT hr = CopyMediaType(copy, from);
  if (FAILED(hr)) return hr;
  FreeMediaType(type_);
  type_ = copy;
  return S_OK;
}

void MediaType::Clear() {
  FreeMediaType(type_);
}

}  // namespace quill
