#include "tests/windows/win_support.h"

namespace quill::test {

std::wstring BinDir() {
  WCHAR path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L".\\";
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

const Module& Quill() {
  static Module module = [] {
    Module m;
    m.handle = LoadLibraryW((BinDir() + L"QUILLFX1.DLL").c_str());
    if (m.handle == nullptr) return m;
    m.getClassObject = reinterpret_cast<decltype(m.getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllGetClassObject")));
    m.canUnloadNow = reinterpret_cast<decltype(m.canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllCanUnloadNow")));
    m.registerServer = reinterpret_cast<decltype(m.registerServer)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllRegisterServer")));
    m.unregisterServer = reinterpret_cast<decltype(m.unregisterServer)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllUnregisterServer")));
    return m;
  }();
  EXPECT_NE(module.handle, nullptr) << "QUILLFX1.DLL not found next to the test";
  EXPECT_NE(module.getClassObject, nullptr);
  EXPECT_NE(module.canUnloadNow, nullptr);
  return module;
}

HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object) {
  const Module& m = Quill();
  if (m.getClassObject == nullptr) return E_FAIL;
  IClassFactory* factory = nullptr;
  HRESULT hr = m.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, riid, object);
  factory->Release();
  return hr;
}

namespace {

int RunWith(const std::wstring& commandLine, HANDLE output) {
  std::wstring line = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr ? TRUE : FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
    code = static_cast<DWORD>(-1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int RunProcess(const std::wstring& commandLine) {
  return RunWith(commandLine, nullptr);
}

int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  const int code = RunWith(commandLine, file);
  CloseHandle(file);
  return code;
}

std::wstring ScratchDir(const wchar_t* name) {
  const std::wstring dir = BinDir() + L"scratch_" + name + L"\\";
  if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return BinDir();
  return dir;
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

void ComEnvironment::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
}
void ComEnvironment::TearDown() {
  CoUninitialize();
}

}  // namespace quill::test

namespace {
// Every test executable of this suite runs with COM started.
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new quill::test::ComEnvironment);
}  // namespace
