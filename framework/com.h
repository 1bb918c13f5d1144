// The component model as the core sees it. On Windows this is the platform's
// own headers; elsewhere a small subset with the same layout, so that
// parameter interfaces, presets and persistence compile and test natively.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(_WIN32)

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <unknwn.h>
#include <vfwmsgs.h>

#else  // portable subset

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
struct HWND__;
using HWND = HWND__*;

#define STDMETHODCALLTYPE
#define TRUE 1
#define FALSE 0

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

// The part of the platform's stream interface that persistence uses.
struct ISequentialStream : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Read(void* data, ULONG bytes, ULONG* done) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG bytes, ULONG* done) = 0;
};

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

#endif  // _WIN32

static_assert(sizeof(GUID) == 16, "GUID layout");

namespace quill {

// The identifier scheme of the effects: page = F + 1, parameter interface = F + 3,
// added to the first 32-bit field of the filter's class identifier F.
constexpr GUID OffsetGuid(const GUID& base, std::uint32_t add) {
  GUID g = base;
  g.Data1 += add;
  return g;
}

// Converts an ANSI (system code page) string to UTF-16 into a buffer of
// `capacity` characters, always terminated when capacity > 0.
inline void AnsiToWide(const char* text, WCHAR* out, int capacity) {
  if (capacity <= 0 || out == nullptr) return;
#if defined(_WIN32)
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, out, capacity);
  if (n == 0) {
    // Too small: keep what fits, as a terminated prefix.
    int i = 0;
    for (; i < capacity - 1 && text[i] != '\0'; ++i)
      out[i] = static_cast<unsigned char>(text[i]);
    out[i] = 0;
  }
#else
  int i = 0;
  for (; i < capacity - 1 && text[i] != '\0'; ++i) out[i] = static_cast<unsigned char>(text[i]);
  out[i] = 0;
#endif
}

}  // namespace quill
