// QUILLFX1.DLL as a component server: its exports, class objects and class
// factory, unloading, and registration with the system's regsvr32.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"
#include "tools/common/effect_catalog.h"

namespace quill::test {
namespace {

// {0E7C3E4A-5B21-4F0B-9D53-1D6B2C7A9F10}: belongs to nobody.
constexpr CLSID kUnknownClass = {0x0E7C3E4A, 0x5B21, 0x4F0B, {0x9D, 0x53, 0x1D, 0x6B, 0x2C, 0x7A, 0x9F, 0x10}};

TEST(Module, ExportsExactlyItsFiveEntryPointsInOrdinalOrder) {
  const auto* base = reinterpret_cast<const BYTE*>(Quill().handle);
  ASSERT_NE(base, nullptr);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "quillfx1.dll");
  EXPECT_EQ(exports->NumberOfFunctions, 5u);
  const char* const names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllMain", "DllRegisterServer",
                               "DllUnregisterServer"};
  for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
    const FARPROC byName = GetProcAddress(Quill().handle, names[ordinal - 1]);
    EXPECT_NE(byName, nullptr) << names[ordinal - 1];
    EXPECT_EQ(GetProcAddress(Quill().handle, MAKEINTRESOURCEA(ordinal)), byName) << names[ordinal - 1];
  }
}

// Class objects for every filter and only as IUnknown or IClassFactory (the
// interface is checked before the class is looked up); the factory refuses
// bad requests without leaving anything alive; locks and live objects, not
// factories, keep the module.
TEST(ClassObject, FactoriesHandOutFiltersAndTheModuleCountsLocksAndObjects) {
  for (const HostEffect& effect : HostEffects()) {
    ComRef<IClassFactory> factory;
    EXPECT_EQ(Quill().getClassObject(*effect.clsid, IID_IClassFactory, factory.PutVoid()), S_OK) << effect.name;
  }
  void* object = kJunk;
  EXPECT_EQ(Quill().getClassObject(kUnknownClass, IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  object = kJunk;
  EXPECT_EQ(Quill().getClassObject(kUnknownClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Quill().getClassObject(CLSID_TwEchos, IID_IClassFactory, nullptr), E_POINTER);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(Quill().getClassObject(CLSID_TwEchos, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(Refs(factory), 1u);
  IUnknown* same = Query<IUnknown>(factory, IID_IClassFactory);
  EXPECT_EQ(same, static_cast<IUnknown*>(factory));
  EXPECT_EQ(Refs(factory), 2u);
  same->Release();
  object = kJunk;
  EXPECT_EQ(factory->QueryInterface(IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr), E_POINTER);
  // An outer object (any live one will do) may ask only for the inner unknown.
  EXPECT_EQ(factory->CreateInstance(factory, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);  // made and destroyed
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  IBaseFilter* filter = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  IEnumPins* pins = nullptr;
  ASSERT_EQ(filter->EnumPins(&pins), S_OK);
  EXPECT_EQ(filter->Release(), 1u);  // the enumerator holds the filter
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(pins->Release(), 0u);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

// Registration through the system's regsvr32, on a copy of the DLL.
int Regsvr32(const std::wstring& dll, bool unregister = false) {
  return RunProcess(std::wstring(L"regsvr32 /s ") + (unregister ? L"/u \"" : L"\"") + dll + L"\"");
}

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
