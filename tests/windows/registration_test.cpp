// Self-registration through the system's regsvr32 on a copy of the DLL of
// this test's own: the class keys, the filters' entries with the platform's
// filter mapper, registering twice, and removal.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/win_support.h"
#include "tools/common/effect_catalog.h"

namespace quill::test {
namespace {

// A value under the classes root, or "<missing>".
std::wstring StringValue(const std::wstring& path, const wchar_t* name) {
  WCHAR data[MAX_PATH * 2] = {};
  DWORD bytes = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
    return L"<missing>";
  return data;
}

// How many keys below `path`, or -1 if it is not there.
int Subkeys(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD subkeys = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return static_cast<int>(subkeys);
}

// How often the filter mapper lists `clsid` among filters that take and
// give audio, at any merit.
int MapperMatches(const CLSID& clsid) {
  ComRef<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.PutVoid())))
    return -1;
  const GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
  ComRef<IEnumMoniker> monikers;
  if (FAILED(mapper->EnumMatchingFilters(monikers.Put(), 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, TRUE, 1,
                                         audio, nullptr, nullptr)))
    return -1;
  int matches = 0;
  for (ComRef<IMoniker> moniker; monikers->Next(1, moniker.Put(), nullptr) == S_OK;) {
    ComRef<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
    VARIANT value;
    VariantInit(&value);
    CLSID found{};
    matches += SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
               SUCCEEDED(CLSIDFromString(value.bstrVal, &found)) && found == clsid;
    VariantClear(&value);
  }
  return matches;
}

// A filter's class key and its entry in the platform's legacy filter category.
std::wstring ClassKey(const CLSID& clsid, bool filterCategory = false) {
  WCHAR braces[40] = {};
  EXPECT_GT(StringFromGUID2(clsid, braces, 40), 0);
  return (filterCategory ? L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" : L"CLSID\\") +
         std::wstring(braces);
}

// Every filter under the name hosts show for it, once however often
// registered, and all of it gone after removal.
TEST(Regsvr32, RegistersEveryFilterOnceUnderItsNameAgainAndRemovesEverything) {
  const std::wstring copy = ScratchDir(L"registration") + L"QUILLFX1.DLL";
  ASSERT_TRUE(CopyFileW((BinDir() + L"QUILLFX1.DLL").c_str(), copy.c_str(), FALSE));
  const wchar_t* const names[] = {L"Tarnwell Simple Delay", L"Tarnwell Multi-Tap Delay", L"Tarnwell Chorus",
                                  L"Tarnwell Reverb",       L"Tarnwell Time Compress/Expand",
                                  L"Tarnwell Pitch Shift"};
  ASSERT_EQ(HostEffects().size(), std::size(names));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(Regsvr32(copy), 0);
    for (size_t i = 0; i < std::size(names); ++i) {
      SCOPED_TRACE(HostEffects()[i].name);
      const std::wstring key = ClassKey(*HostEffects()[i].clsid);
      EXPECT_EQ(StringValue(key, nullptr), names[i]);
      EXPECT_EQ(Subkeys(key), 1);
      EXPECT_EQ(StringValue(key + L"\\InprocServer32", nullptr), copy);
      EXPECT_EQ(StringValue(key + L"\\InprocServer32", L"ThreadingModel"), L"Both");
      EXPECT_EQ(StringValue(ClassKey(*HostEffects()[i].clsid, true), L"FriendlyName"), names[i]);
      EXPECT_EQ(MapperMatches(*HostEffects()[i].clsid), 1);
    }
  }
  ASSERT_EQ(Regsvr32(copy, /*unregister=*/true), 0);
  for (const HostEffect& effect : HostEffects()) {
    SCOPED_TRACE(effect.name);
    EXPECT_EQ(Subkeys(ClassKey(*effect.clsid)), -1);
    EXPECT_EQ(Subkeys(ClassKey(*effect.clsid, true)), -1);
    EXPECT_EQ(MapperMatches(*effect.clsid), 0);
  }
  // Once unregistered, the class cannot be created by identifier.
  ComRef<IBaseFilter> filter;
  EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_TwEchos, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      filter.PutVoid())));
}

}  // namespace
}  // namespace quill::test
