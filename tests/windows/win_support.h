// Shared by the Windows tests: the module under test loaded from the build
// tree, reference counts, child processes and scratch files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "streaming/platform.h"
#include "tools/quillhost/com_ref.h"

namespace quill::test {

// Current reference count of an object (one AddRef and one Release).
inline ULONG Refs(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// `object`'s interface `iid`, or nullptr with a failure.
template <class T>
T* Query(IUnknown* object, REFIID iid) {
  T* result = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&result)), S_OK);
  return result;
}

// The test executable's directory with a trailing backslash; the DLL and
// the tools are built next to it.
std::wstring BinDir();

// QUILLFX1.DLL loaded into the test process once, and two of its entry points.
struct Module {
  HMODULE handle = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};
const Module& Quill();

// A filter of the module by class identifier through its class factory
// (not the registry).
HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object);

// Runs a command line to its end: the exit code, or -1. With `outputFile`,
// standard output and error go there.
int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile = L"");
int Regsvr32(const std::wstring& dll, bool unregister = false);
std::string ReadText(const std::wstring& path);  // empty if missing

// A directory under the build tree for one test's files.
std::wstring ScratchDir(const wchar_t* name);
std::string Narrow(const std::wstring& text);

}  // namespace quill::test
