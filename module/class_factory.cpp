#include "module/class_factory.h"

namespace quill {

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) return GetInterface(static_cast<IClassFactory*>(this), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef() {
  return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE ClassFactory::Release() {
  const long left = --refs_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // An aggregating outer object may only ask for the inner unknown.
  if (outer != nullptr && riid != IID_IUnknown) return E_NOINTERFACE;
  HRESULT result = S_OK;
  UnknownBase* instance = entry_.create(outer, &result);
  if (instance == nullptr) return E_OUTOFMEMORY;
  if (FAILED(result)) {
    delete instance;
    return result;
  }
  instance->NonDelegatingAddRef();
  result = instance->NonDelegatingQueryInterface(riid, object);
  instance->NonDelegatingRelease();
  return result;
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
  LockServerCount(lock != FALSE);
  return S_OK;
}

}  // namespace quill
