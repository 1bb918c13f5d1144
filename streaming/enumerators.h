// Enumerators over a filter's pins and over a pin's preferred media types.
#pragma once

#include "streaming/base_object.h"

namespace quill {

class BaseFilter;
class BasePin;

class PinEnumerator final : public IEnumPins, public BaseObject {
 public:
  PinEnumerator(BaseFilter* filter, int position);
  ~PinEnumerator() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

 private:
  BaseFilter* filter_;
  int position_;
  std::atomic<long> refs_{1};
};

class MediaTypeEnumerator final : public IEnumMediaTypes, public BaseObject {
 public:
  MediaTypeEnumerator(BasePin* pin, int position);
  ~MediaTypeEnumerator() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

 private:
  BasePin* pin_;
  int position_;
  std::atomic<long> refs_{1};
};

}  // namespace quill
