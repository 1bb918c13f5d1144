// The class factory handed out by DllGetClassObject for one table entry.
// Factories are not counted among the module's live objects; LockServer is
// how a host keeps the module loaded while it holds one.
#pragma once

#include <atomic>

#include "module/factory_table.h"

namespace quill {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const FactoryTemplate& entry) : entry_(entry) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  const FactoryTemplate& entry_;
  std::atomic<long> refs_{0};
};

}  // namespace quill
