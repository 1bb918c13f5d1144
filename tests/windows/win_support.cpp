#include "tests/windows/win_support.h"

#include <fstream>
#include <sstream>

namespace quill::test {

std::wstring BinDir() {
  WCHAR path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L".\\";
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

const Module& Quill() {
  static const Module module = [] {
    Module m;
    m.handle = LoadLibraryW((BinDir() + L"QUILLFX1.DLL").c_str());
    if (m.handle == nullptr) return m;
    m.getClassObject = reinterpret_cast<decltype(m.getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllGetClassObject")));
    m.canUnloadNow = reinterpret_cast<decltype(m.canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllCanUnloadNow")));
    return m;
  }();
  EXPECT_TRUE(module.getClassObject && module.canUnloadNow) << "QUILLFX1.DLL not loaded from " << Narrow(BinDir());
  return module;
}

HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object) {
  if (Quill().getClassObject == nullptr) return E_FAIL;
  ComRef<IClassFactory> factory;
  const HRESULT hr = Quill().getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
  return FAILED(hr) ? hr : factory->CreateInstance(nullptr, riid, object);
}

int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile) {
  HANDLE output = nullptr;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return -1;
  }
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
  DWORD code = static_cast<DWORD>(-1);
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                     &process)) {
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
      code = static_cast<DWORD>(-1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (output != nullptr) CloseHandle(output);
  return static_cast<int>(code);
}

std::string ReadText(const std::wstring& path) {
  std::ifstream file(Narrow(path), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
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

int Regsvr32(const std::wstring& dll, bool unregister) {
  return RunProcess(std::wstring(L"regsvr32 /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"");
}

namespace {
// COM for every test executable of the suite, multithreaded so that the
// platform's objects need no message loop.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);
}  // namespace

}  // namespace quill::test
