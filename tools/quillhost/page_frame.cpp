#include "tools/quillhost/page_frame.h"

#include <olectl.h>

#include <cstdio>

#include "tools/quillhost/com_ref.h"

namespace quill {

namespace {

// How long past the timeout the timer looks for a frame that never shows
// before it gives up on the run; a script must not hang on it.
constexpr DWORD kFrameSearchMs = 15000;
constexpr DWORD kRetryMs = 200;

std::string Hex(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return code;
}

std::string GuidText(const GUID& guid) {
  wchar_t wide[40];
  if (StringFromGUID2(guid, wide, 40) == 0) return "?";
  std::string text;
  for (const wchar_t* c = wide; *c != 0; ++c) text += static_cast<char>(*c);
  return text;
}

// The name the class was registered under, which is the filter's own name;
// the tool's name for the effect if the registry has none.
std::wstring RegisteredName(const HostEffect& effect) {
  wchar_t braces[40];
  if (StringFromGUID2(*effect.clsid, braces, 40) != 0) {
    const std::wstring key = std::wstring(L"CLSID\\") + braces;
    wchar_t name[256];
    DWORD bytes = sizeof name;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, name, &bytes) == ERROR_SUCCESS &&
        name[0] != 0)
      return name;
  }
  std::wstring fallback;
  for (const char* c = effect.name; *c != 0; ++c) fallback += static_cast<wchar_t>(*c);
  return fallback;
}

struct FrameTimer {
  HANDLE done = nullptr;  // set when the frame call has returned
  DWORD timeoutMs = 0;
  bool posted = false;
  std::wstring title;
};

// A visible top-level dialog of this process: the frame, or a box a page
// opened over it (which OK closes as well).
BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t className[16];
  if (GetClassNameW(window, className, 16) == 0 || lstrcmpW(className, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

DWORD WINAPI PressOkAfterTimeout(void* argument) {
  auto* timer = static_cast<FrameTimer*>(argument);
  if (WaitForSingleObject(timer->done, timer->timeoutMs) == WAIT_OBJECT_0) return 0;
  const DWORD start = GetTickCount();
  // Until the call returns: the frame may not be up yet, and OK may first
  // close a box of the page's own.
  do {
    HWND dialog = nullptr;
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog != nullptr) {
      if (!timer->posted) {
        wchar_t title[256] = L"";
        GetWindowTextW(dialog, title, 256);
        timer->title = title;
      }
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      timer->posted = true;
    } else if (!timer->posted && GetTickCount() - start > kFrameSearchMs) {
      std::fprintf(stderr, "quillhost: --page-timeout: no settings frame of this process showed within %lu ms\n",
                   static_cast<unsigned long>(timer->timeoutMs + kFrameSearchMs));
      std::fflush(stderr);
      ExitProcess(1);
    }
  } while (WaitForSingleObject(timer->done, kRetryMs) != WAIT_OBJECT_0);
  return 0;
}

// Each listed page created and released, so that a missing one is reported.
HRESULT CheckPages(const HostEffect& effect, const CAUUID& pages, std::string& error) {
  for (ULONG i = 0; i < pages.cElems; ++i) {
    ComRef<IPropertyPage> page;
    const HRESULT hr =
        CoCreateInstance(pages.pElems[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.PutVoid());
    if (FAILED(hr)) {
      const char* why = hr == CLASS_E_CLASSNOTAVAILABLE ? " (class not available)"
                        : hr == REGDB_E_CLASSNOTREG     ? " (class not registered)"
                                                        : "";
      error = std::string(effect.name) + ": creating the settings page " + GuidText(pages.pElems[i]) + " failed" + why +
              ", " + Hex(hr);
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT ShowSettingsPages(const HostEffect& effect, IBaseFilter* filter, unsigned timeoutMs, PageOutcome& outcome,
                          std::string& error) {
  ComRef<ISpecifyPropertyPages> specify;
  HRESULT hr = filter->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid());
  if (FAILED(hr)) {
    error = std::string(effect.name) + ": the filter lists no settings pages, " + Hex(hr);
    return hr;
  }
  CAUUID pages{};
  hr = specify->GetPages(&pages);
  if (SUCCEEDED(hr) && pages.cElems == 0) hr = E_UNEXPECTED;
  if (FAILED(hr)) {
    CoTaskMemFree(pages.pElems);
    error = std::string(effect.name) + ": reading the filter's settings pages failed, " + Hex(hr);
    return hr;
  }
  hr = CheckPages(effect, pages, error);
  if (FAILED(hr)) {
    CoTaskMemFree(pages.pElems);
    return hr;
  }

  FrameTimer timer;
  timer.timeoutMs = timeoutMs;
  HANDLE thread = nullptr;
  if (timeoutMs > 0) {
    timer.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (timer.done != nullptr) thread = CreateThread(nullptr, 0, PressOkAfterTimeout, &timer, 0, nullptr);
    if (thread == nullptr) {
      hr = HRESULT_FROM_WIN32(GetLastError());
      if (timer.done != nullptr) CloseHandle(timer.done);
      CoTaskMemFree(pages.pElems);
      error = std::string(effect.name) + ": starting the --page-timeout timer failed, " + Hex(hr);
      return hr;
    }
  }

  outcome.caption = RegisteredName(effect);
  IUnknown* objects[] = {filter};
  hr = OleCreatePropertyFrame(nullptr, 0, 0, outcome.caption.c_str(), 1, objects, pages.cElems, pages.pElems,
                              GetUserDefaultLCID(), 0, nullptr);
  if (thread != nullptr) {
    SetEvent(timer.done);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(timer.done);
    outcome.closedByTimer = timer.posted;
    outcome.frameTitle = timer.title;
  }
  CoTaskMemFree(pages.pElems);
  if (FAILED(hr)) error = std::string(effect.name) + ": the property frame failed, " + Hex(hr);
  return hr;
}

}  // namespace quill
