// Self-registration: the class keys of every table entry and, for filters,
// their entry in the platform's filter registry.
#include <string>

#include "module/factory_table.h"
#include "module/module_state.h"

namespace quill {

namespace {

HRESULT Win32Result(DWORD error) {
  return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// ANSI text of a wide string; empty when it cannot be converted.
std::string ToAnsi(const wchar_t* text) {
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), bytes, nullptr, nullptr) != bytes) return {};
  out.pop_back();  // the terminator
  return out;
}

// "CLSID\{...}" for a class identifier.
HRESULT ClassKeyName(const CLSID& clsid, std::string& name) {
  WCHAR braces[40];
  if (StringFromGUID2(clsid, braces, 40) == 0) return E_UNEXPECTED;
  name = "CLSID\\" + ToAnsi(braces);
  return S_OK;
}

LONG SetString(HKEY key, const char* value, const std::string& data) {
  return RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
}

HRESULT WriteClassKeys(const FactoryTemplate& entry, const std::string& moduleFile) {
  std::string keyName;
  HRESULT hr = ClassKeyName(*entry.clsid, keyName);
  if (FAILED(hr)) return hr;
  HKEY classKey = nullptr;
  LONG error = RegCreateKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                               nullptr, &classKey, nullptr);
  if (error != ERROR_SUCCESS) return Win32Result(error);
  HKEY serverKey = nullptr;
  error = SetString(classKey, nullptr, ToAnsi(entry.name));
  if (error == ERROR_SUCCESS)
    error = RegCreateKeyExA(classKey, "InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &serverKey, nullptr);
  if (error == ERROR_SUCCESS) error = SetString(serverKey, nullptr, moduleFile);
  if (error == ERROR_SUCCESS) error = SetString(serverKey, "ThreadingModel", "Both");
  if (serverKey != nullptr) RegCloseKey(serverKey);
  RegCloseKey(classKey);
  return error == ERROR_SUCCESS ? S_OK : Win32Result(error);
}

// Deletes a key with everything below it; a key that cannot be opened is
// already gone.
LONG DeleteKeyTree(HKEY parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return ERROR_SUCCESS;
  LONG error = ERROR_SUCCESS;
  for (;;) {
    char child[256];
    DWORD length = sizeof child;
    error = RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) {
      error = ERROR_SUCCESS;
      break;
    }
    if (error != ERROR_SUCCESS) break;
    error = DeleteKeyTree(key, child);
    if (error != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return error;
  return RegDeleteKeyA(parent, name);
}

// Creates the entry's object for IAMovieSetup; objects that have none (the
// pages) or that cannot stand alone count as done.
HRESULT SetupRound(const FactoryTemplate& entry, bool registering) {
  IAMovieSetup* setup = nullptr;
  HRESULT hr =
      CoCreateInstance(*entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IAMovieSetup, reinterpret_cast<void**>(&setup));
  if (hr == E_NOINTERFACE || hr == VFW_E_NEED_OWNER) return S_OK;
  if (FAILED(hr)) return hr;
  hr = setup->Unregister();
  if (registering && SUCCEEDED(hr)) hr = setup->Register();
  setup->Release();
  return hr;
}

// Object creation needs the component library on this thread; the host
// calling us may not have started it.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  // Started here or already running in some mode: either way usable.
  HRESULT Result() const { return hr_ == RPC_E_CHANGED_MODE ? S_OK : hr_; }

 private:
  HRESULT hr_;
};

}  // namespace

}  // namespace quill

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  using namespace quill;
  WCHAR path[MAX_PATH];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetModuleFileNameW(ModuleHandle(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? Win32Result(error) : S_OK;
  }
  const std::string moduleFile = ToAnsi(path);

  ComScope com;
  HRESULT hr = com.Result();
  if (FAILED(hr)) return hr;
  for (int i = 0; i < FactoryCount; ++i) {
    hr = WriteClassKeys(FactoryTable[i], moduleFile);
    if (FAILED(hr)) return hr;
    if (FactoryTable[i].create != nullptr) {
      hr = SetupRound(FactoryTable[i], true);
      if (FAILED(hr)) return hr;
    }
  }
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  using namespace quill;
  ComScope com;
  HRESULT hr = com.Result();
  if (FAILED(hr)) return hr;
  for (int i = FactoryCount - 1; i >= 0; --i) {
    if (FactoryTable[i].create != nullptr) {
      hr = SetupRound(FactoryTable[i], false);
      if (FAILED(hr)) return hr;
    }
    std::string keyName;
    hr = ClassKeyName(*FactoryTable[i].clsid, keyName);
    if (FAILED(hr)) return hr;
    const LONG error = DeleteKeyTree(HKEY_CLASSES_ROOT, keyName.c_str());
    if (error != ERROR_SUCCESS) return Win32Result(error);
  }
  return hr;
}
