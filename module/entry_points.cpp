// The module's entry points: loading, class objects and unloading.
#include "streaming/base_object.h"
#include "module/class_factory.h"
#include "module/factory_table.h"
#include "module/module_state.h"
#include "module/window_notify_host.h"

namespace quill {

namespace {
HINSTANCE g_module = nullptr;
DWORD g_platformId = 1;

DWORD QueryPlatformId() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(&version)) return 1;
  return version.dwPlatformId;
}

void CallInitRoutines(BOOL loading) {
  for (int i = 0; i < FactoryCount; ++i)
    if (FactoryTable[i].init != nullptr) FactoryTable[i].init(loading, FactoryTable[i].clsid);
}
}  // namespace

HINSTANCE ModuleHandle() {
  return g_module;
}
DWORD PlatformId() {
  return g_platformId;
}

}  // namespace quill

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  using namespace quill;
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // Thread notices are only a cost to us; where they cannot be turned
      // off they arrive and are ignored below, so the result changes nothing.
      (void)DisableThreadLibraryCalls(module);
      g_module = module;
      g_platformId = QueryPlatformId();
      SetNotifyHost(&WindowNotifyHost());
      CallInitRoutines(TRUE);
      break;
    case DLL_PROCESS_DETACH:
      CallInitRoutines(FALSE);
      if (CurrentNotifyHost() == &WindowNotifyHost()) SetNotifyHost(nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  using namespace quill;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  for (int i = 0; i < FactoryCount; ++i) {
    if (*FactoryTable[i].clsid != clsid) continue;
    auto* factory = new (std::nothrow) ClassFactory(FactoryTable[i]);
    if (factory == nullptr) return E_OUTOFMEMORY;
    factory->AddRef();
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  using namespace quill;
  return (ServerLockCount() > 0 || LiveObjectCount() > 0) ? S_FALSE : S_OK;
}
