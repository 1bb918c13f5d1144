// Shared by the Windows component tests: the module under test loaded from
// the build tree, reference counts, processes and temporary files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "streaming/platform.h"

namespace quill::test {

// Current reference count of an object (one AddRef and one Release).
inline ULONG Refs(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// `object`'s interface `iid`, or nullptr (and a failure) if it has none.
template <class T>
T* Query(IUnknown* object, REFIID iid) {
  T* result = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&result)), S_OK);
  return result;
}

// The directory of the running test executable, with a trailing backslash;
// the DLL and the tools are built next to it.
std::wstring BinDir();

// QUILLFX1.DLL loaded into the test process, and its entry points.
struct Module {
  HMODULE handle = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
};
// Loads the module once per process; fails the test if it cannot.
const Module& Quill();

// Creates a filter of the module by class identifier through its class
// factory (not the registry).
HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object);

// Runs a command line, waits, and returns its exit code (or -1).
int RunProcess(const std::wstring& commandLine);
// The same, with the program's standard output and error written to `outputFile`.
int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile);

// A fresh directory under the build tree for one test's files.
std::wstring ScratchDir(const wchar_t* name);

std::string Narrow(const std::wstring& text);

// COM for the test process (multithreaded, so that the platform's objects
// need no message loop).
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace quill::test
