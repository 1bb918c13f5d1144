// Self-registration through the system's regsvr32, on a copy of the DLL of
// this test's own: the class keys, the filter's entry with the platform's
// filter mapper, registering twice, and removal.
#include <gtest/gtest.h>

#include <string>

#include "quillfx1.h"
#include "win_support.h"

namespace quill::test {
namespace {

const wchar_t kClassKey[] = L"CLSID\\{54F29260-79B1-11D0-AEBC-00A0C9053912}";
// The platform's legacy filter category, where filters register.
const wchar_t kInstanceKey[] =
    L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{54F29260-79B1-11D0-AEBC-00A0C9053912}";

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
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

DWORD SubkeyCount(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
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
  IMoniker* moniker = nullptr;
  while (monikers->Next(1, &moniker, nullptr) == S_OK) {
    IPropertyBag* bag = nullptr;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
      VARIANT value;
      VariantInit(&value);
      CLSID clsid{};
      if (SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
          SUCCEEDED(CLSIDFromString(value.bstrVal, &clsid)) && clsid == CLSID_TwEchos)
        ++matches;
      VariantClear(&value);
      bag->Release();
    }
    moniker->Release();
  }
  monikers->Release();
  return matches;
}

TEST(Regsvr32, RegistersOnceRegistersAgainAndRemovesEverything) {
  const std::wstring dir = ScratchDir(L"registration");
  const std::wstring copy = dir + L"QUILLFX1.DLL";
  ASSERT_TRUE(CopyFileW((BinDir() + L"QUILLFX1.DLL").c_str(), copy.c_str(), FALSE));
  const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";

  ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + copy + L"\""), 0);
  EXPECT_EQ(StringValue(kClassKey, nullptr), L"Tarnwell Simple Delay");
  EXPECT_EQ(StringValue(server, nullptr), copy);
  EXPECT_EQ(StringValue(server, L"ThreadingModel"), L"Both");
  EXPECT_TRUE(KeyExists(kInstanceKey));
  EXPECT_EQ(StringValue(kInstanceKey, L"FriendlyName"), L"Tarnwell Simple Delay");
  EXPECT_EQ(MapperMatches(), 1);

  // Again: the same keys, one set of them.
  ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + copy + L"\""), 0);
  EXPECT_EQ(SubkeyCount(kClassKey), 1u);
  EXPECT_EQ(StringValue(server, nullptr), copy);
  EXPECT_EQ(MapperMatches(), 1);

  ASSERT_EQ(RunProcess(L"regsvr32 /s /u \"" + copy + L"\""), 0);
  EXPECT_FALSE(KeyExists(server.c_str()));
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_FALSE(KeyExists(kInstanceKey));
  EXPECT_EQ(MapperMatches(), 0);

  // Once unregistered, the class cannot be created by identifier.
  IBaseFilter* filter = nullptr;
  EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_TwEchos, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(&filter))));
}

// Every filter of the module, under the name hosts show for it.
TEST(Regsvr32, RegistersEveryFilterUnderItsName) {
  const std::wstring dir = ScratchDir(L"registration_names");
  const std::wstring copy = dir + L"QUILLFX1.DLL";
  ASSERT_TRUE(CopyFileW((BinDir() + L"QUILLFX1.DLL").c_str(), copy.c_str(), FALSE));
  struct Named {
    const CLSID* clsid;
    const wchar_t* name;
  };
  const Named filters[] = {{&CLSID_TwEchos, L"Tarnwell Simple Delay"},
                           {&CLSID_TwEchomt, L"Tarnwell Multi-Tap Delay"},
                           {&CLSID_TwReverb, L"Tarnwell Reverb"},
                           {&CLSID_TwChorus, L"Tarnwell Chorus"},
                           {&CLSID_TwTime, L"Tarnwell Time Compress/Expand"},
                           {&CLSID_TwPitchs, L"Tarnwell Pitch Shift"}};
  auto keys = [](const CLSID& clsid, std::wstring& classKey, std::wstring& instanceKey) {
    WCHAR braces[40];
    ASSERT_GT(StringFromGUID2(clsid, braces, 40), 0);
    classKey = std::wstring(L"CLSID\\") + braces;
    instanceKey = std::wstring(L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\") + braces;
  };

  ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + copy + L"\""), 0);
  for (const Named& f : filters) {
    SCOPED_TRACE(Narrow(f.name));
    std::wstring classKey, instanceKey;
    keys(*f.clsid, classKey, instanceKey);
    EXPECT_EQ(StringValue(classKey, nullptr), f.name);
    EXPECT_EQ(StringValue(classKey + L"\\InprocServer32", nullptr), copy);
    EXPECT_EQ(StringValue(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
    EXPECT_EQ(StringValue(instanceKey, L"FriendlyName"), f.name);
  }

  ASSERT_EQ(RunProcess(L"regsvr32 /s /u \"" + copy + L"\""), 0);
  for (const Named& f : filters) {
    SCOPED_TRACE(Narrow(f.name));
    std::wstring classKey, instanceKey;
    keys(*f.clsid, classKey, instanceKey);
    EXPECT_FALSE(KeyExists(classKey.c_str()));
    EXPECT_FALSE(KeyExists(instanceKey.c_str()));
  }
}

}  // namespace
}  // namespace quill::test
