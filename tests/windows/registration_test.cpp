// Self-registration through the system's regsvr32, on a copy of the DLL of
// this test's own: the class keys, the filters' entries with the platform's
// filter mapper, registering twice, and removal.
#include <gtest/gtest.h>

#include <string>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring StringValue(const std::wstring& path, const wchar_t* name) {
  WCHAR data[MAX_PATH * 2] = {};
  DWORD bytes = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
    return L"<missing>";
  return data;
}

DWORD SubkeyCount(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD subkeys = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return subkeys;
}

// How often the filter mapper lists the simple delay among filters that
// take and give audio, at any merit.
int MapperMatches() {
  IFilterMapper2* mapper = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper))))
    return -1;
  const GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
  IEnumMoniker* monikers = nullptr;
  HRESULT hr = mapper->EnumMatchingFilters(&monikers, 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, TRUE, 1,
                                           audio, nullptr, nullptr);
  mapper->Release();
  if (FAILED(hr)) return -1;
  int matches = 0;
  for (IMoniker* moniker = nullptr; monikers->Next(1, &moniker, nullptr) == S_OK; moniker->Release()) {
    IPropertyBag* bag = nullptr;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) continue;
    VARIANT value;
    VariantInit(&value);
    CLSID clsid{};
    matches += SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
               SUCCEEDED(CLSIDFromString(value.bstrVal, &clsid)) && clsid == CLSID_TwEchos;
    VariantClear(&value);
    bag->Release();
  }
  monikers->Release();
  return matches;
}

// A filter's class key and its entry in the platform's legacy filter category.
struct Keys {
  std::wstring cls, server, instance;
};
Keys KeysOf(const CLSID& clsid) {
  WCHAR braces[40] = {};
  EXPECT_GT(StringFromGUID2(clsid, braces, 40), 0);
  const std::wstring cls = std::wstring(L"CLSID\\") + braces;
  return {cls, cls + L"\\InprocServer32",
          std::wstring(L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\") + braces};
}

// Every filter of the module under the name hosts show for it, once however
// often registered, and all of it gone after removal.
TEST(Regsvr32, RegistersEveryFilterOnceUnderItsNameAgainAndRemovesEverything) {
  const std::wstring copy = ScratchDir(L"registration") + L"QUILLFX1.DLL";
  ASSERT_TRUE(CopyFileW((BinDir() + L"QUILLFX1.DLL").c_str(), copy.c_str(), FALSE));
  const struct {
    const CLSID* clsid;
    const wchar_t* name;
  } filters[] = {{&CLSID_TwEchos, L"Tarnwell Simple Delay"},
                 {&CLSID_TwEchomt, L"Tarnwell Multi-Tap Delay"},
                 {&CLSID_TwReverb, L"Tarnwell Reverb"},
                 {&CLSID_TwChorus, L"Tarnwell Chorus"},
                 {&CLSID_TwTime, L"Tarnwell Time Compress/Expand"},
                 {&CLSID_TwPitchs, L"Tarnwell Pitch Shift"}};
  const Keys delay = KeysOf(CLSID_TwEchos);
  ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + copy + L"\""), 0);
  for (const auto& f : filters) {
    SCOPED_TRACE(Narrow(f.name));
    const Keys k = KeysOf(*f.clsid);
    EXPECT_EQ(StringValue(k.cls, nullptr), f.name);
    EXPECT_EQ(StringValue(k.server, nullptr), copy);
    EXPECT_EQ(StringValue(k.server, L"ThreadingModel"), L"Both");
    EXPECT_TRUE(KeyExists(k.instance));
    EXPECT_EQ(StringValue(k.instance, L"FriendlyName"), f.name);
  }
  EXPECT_EQ(MapperMatches(), 1);
  // Again: the same keys, one set of them.
  ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + copy + L"\""), 0);
  EXPECT_EQ(SubkeyCount(delay.cls), 1u);
  EXPECT_EQ(StringValue(delay.server, nullptr), copy);
  EXPECT_EQ(MapperMatches(), 1);
  ASSERT_EQ(RunProcess(L"regsvr32 /s /u \"" + copy + L"\""), 0);
  for (const auto& f : filters) {
    SCOPED_TRACE(Narrow(f.name));
    const Keys k = KeysOf(*f.clsid);
    EXPECT_FALSE(KeyExists(k.server));
    EXPECT_FALSE(KeyExists(k.cls));
    EXPECT_FALSE(KeyExists(k.instance));
  }
  EXPECT_EQ(MapperMatches(), 0);
  // Once unregistered, the class cannot be created by identifier.
  IBaseFilter* filter = nullptr;
  EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_TwEchos, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(&filter))));
}

}  // namespace
}  // namespace quill::test
