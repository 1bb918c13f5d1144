// QUILLFX1.DLL as a component server: its exports, class factory, unloading
// and registration with the system's regsvr32; and one conformance pass over
// each filter shell: interfaces and aggregation, pins, media types,
// connection and the stream's notices. The in-place shell is seen through
// the simple delay, the copying one through the time filter.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"
#include "tools/common/effect_catalog.h"
#include "tools/common/wav_file.h"

namespace quill::test {
namespace {

// {0E7C3E4A-5B21-4F0B-9D53-1D6B2C7A9F10}: belongs to nobody.
constexpr CLSID kUnknownClass = {0x0E7C3E4A, 0x5B21, 0x4F0B, {0x9D, 0x53, 0x1D, 0x6B, 0x2C, 0x7A, 0x9F, 0x10}};

TEST(Module, ExportsExactlyItsFiveEntryPointsInOrdinalOrder) {
  const auto* base = reinterpret_cast<const BYTE*>(Quill().handle);
  ASSERT_NE(base, nullptr);
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
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

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// How often the filter mapper lists `clsid` among filters that take and
// give audio, at any merit.
int MapperMatches(const CLSID& clsid) {
  ComRef<IFilterMapper2> mapper;
  ComRef<IEnumMoniker> monikers;
  const GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
  if (FAILED(
          CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid())) ||
      FAILED(mapper->EnumMatchingFilters(monikers.Put(), 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, TRUE, 1,
                                         audio, nullptr, nullptr)))
    return -1;
  int matches = 0;
  for (ComRef<IMoniker> moniker; monikers->Next(1, moniker.Put(), nullptr) == S_OK;) {
    ComRef<IPropertyBag> bag;
    VARIANT value{};
    CLSID found{};
    matches += SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
               SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
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
  const wchar_t* const names[] = {L"Tarnwell Simple Delay", L"Tarnwell Multi-Tap Delay",      L"Tarnwell Chorus",
                                  L"Tarnwell Reverb",       L"Tarnwell Time Compress/Expand", L"Tarnwell Pitch Shift"};
  ASSERT_EQ(HostEffects().size(), std::size(names));
  const std::pair<const CLSID*, const wchar_t*> pages[] = {
      {&CLSID_TwTimePage, L"TwTime Property Page"},     {&CLSID_TwPitchsPage, L"TwPitchs Property Page"},
      {&CLSID_TwEchosPage, L"TwEchos Property Page"},   {&CLSID_TwEchomtPage, L"TwEchomt Property Page"},
      {&CLSID_TwReverbPage, L"TwReverb Property Page"}, {&CLSID_TwChorusPage, L"TwChorus Property Page"}};
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(Regsvr32(copy), 0);
    for (size_t i = 0; i < std::size(names); ++i) {
      SCOPED_TRACE(HostEffects()[i].name);
      const std::wstring key = ClassKey(*HostEffects()[i].clsid);
      EXPECT_EQ(StringValue(key, nullptr), names[i]);
      EXPECT_EQ(StringValue(key + L"\\InprocServer32", nullptr), copy);
      EXPECT_EQ(StringValue(key + L"\\InprocServer32", L"ThreadingModel"), L"Both");
      EXPECT_EQ(StringValue(ClassKey(*HostEffects()[i].clsid, true), L"FriendlyName"), names[i]);
      EXPECT_EQ(MapperMatches(*HostEffects()[i].clsid), 1);
    }
    // All six pages, under their names and in this module.
    for (const auto& [page, name] : pages) {
      EXPECT_EQ(StringValue(ClassKey(*page), nullptr), name);
      EXPECT_EQ(StringValue(ClassKey(*page) + L"\\InprocServer32", nullptr), copy);
    }
  }
  ASSERT_EQ(Regsvr32(copy, /*unregister=*/true), 0);
  for (const HostEffect& effect : HostEffects()) {
    SCOPED_TRACE(effect.name);
    EXPECT_FALSE(KeyExists(ClassKey(*effect.clsid)) || KeyExists(ClassKey(*effect.clsid, true)));
    EXPECT_EQ(MapperMatches(*effect.clsid), 0);
  }
  for (const auto& [page, name] : pages) EXPECT_FALSE(KeyExists(ClassKey(*page))) << Narrow(name);
  // Once unregistered, the class cannot be created by identifier.
  ComRef<IBaseFilter> filter;
  EXPECT_TRUE(
      FAILED(CoCreateInstance(CLSID_TwEchos, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid())));
}

struct Shell {
  const char* what;
  const CLSID *clsid, *page;
  const IID* params;
  HRESULT (*getFormat)(IUnknown* params, AudioFormat* format);
  bool copying;
};
template <class I>
HRESULT FormatOf(IUnknown* params, AudioFormat* format) {
  return static_cast<I*>(params)->GetFormat(format);
}
const Shell kShells[] = {
    {"InPlace", &CLSID_TwEchos, &CLSID_TwEchosPage, &IID_ISimpleDelayParams, &FormatOf<ISimpleDelayParams>, false},
    {"Copying", &CLSID_TwTime, &CLSID_TwTimePage, &IID_ITimeParams, &FormatOf<ITimeParams>, true},
};

class ShellConformance : public GraphRig, public ::testing::WithParamInterface<Shell> {
 protected:
  const Shell& shell() const { return GetParam(); }
  IBaseFilter* Fresh() {
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(CreateFromModule(*shell().clsid, IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    return filter;
  }
  HRESULT KeptFormat(AudioFormat* format) { return shell().getFormat(Effect<IUnknown>(*shell().params).Get(), format); }
  void Build(const AudioType& type, bool readOnly = false) { GraphRig::Build(*shell().clsid, type, 4096, readOnly); }
};

TEST_P(ShellConformance, EveryInterfaceSharesIdentityAndCountAndLeadsToTheClassAndPage) {
  IBaseFilter* filter = Fresh();
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(Refs(filter), 1u);
  IUnknown* identity = Query<IUnknown>(filter, IID_IUnknown);
  const IID* const iids[] = {&IID_IBaseFilter, &IID_IMediaFilter,          &IID_IPersist,       &IID_IAMovieSetup,
                             shell().params,   &IID_ISpecifyPropertyPages, &IID_IPersistStream, &IID_IEffectPresets};
  std::vector<IUnknown*> held;
  for (const IID* iid : iids) {
    held.push_back(Query<IUnknown>(filter, *iid));
    ASSERT_NE(held.back(), nullptr);
    EXPECT_EQ(Refs(filter), 2u + held.size());
    for (auto [iid, expected] : {std::pair{&IID_IUnknown, identity}, {&IID_IBaseFilter, filter}}) {
      IUnknown* back = Query<IUnknown>(held.back(), *iid);
      EXPECT_EQ(back, expected);
      back->Release();
    }
  }
  identity->Release();
  void* none = kJunk;
  EXPECT_EQ(filter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
  CLSID clsid{};
  ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, *shell().clsid);
  EXPECT_EQ(static_cast<IPersistStream*>(held[6])->IsDirty(), S_FALSE);
  CAUUID list{};
  ASSERT_EQ(static_cast<ISpecifyPropertyPages*>(held[5])->GetPages(&list), S_OK);
  ASSERT_EQ(list.cElems, 1u);
  EXPECT_EQ(list.pElems[0], *shell().page);
  CoTaskMemFree(list.pElems);
  for (IUnknown* p : held) p->Release();
  EXPECT_EQ(filter->Release(), 0u);
}

// An outer object that counts what the aggregated filter forwards to it.
struct CountingOuter : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown) return inner != nullptr ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

TEST_P(ShellConformance, AggregatedFilterSharesTheOuterIdentity) {
  ComRef<IClassFactory> factory;
  ASSERT_EQ(Quill().getClassObject(*shell().clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  CountingOuter outer;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
  EXPECT_EQ(outer.refs, 1u);  // the inner unknown counts for itself
  IBaseFilter* filter = Query<IBaseFilter>(outer.inner, IID_IBaseFilter);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(outer.refs, 2u);  // interfaces of the inner object count on the outer
  IUnknown* identity = Query<IUnknown>(filter, IID_IUnknown);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  identity->Release();
  IUnknown* params = Query<IUnknown>(filter, *shell().params);
  EXPECT_EQ(outer.refs, 3u);
  params->Release();
  filter->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST_P(ShellConformance, PinsAreEnumeratedAndDescribeThemselvesAndCountOnTheFilter) {
  IBaseFilter* filter = Fresh();
  ASSERT_NE(filter, nullptr);
  IEnumPins* pins = nullptr;
  ASSERT_EQ(filter->EnumPins(&pins), S_OK);
  IPin* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(Refs(filter), 4u);  // two pins and the enumerator
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Skip(1), S_OK);
  IPin* second = nullptr;
  ASSERT_EQ(pins->Next(1, &second, nullptr), S_OK);
  EXPECT_EQ(second, got[1]);
  second->Release();
  pins->Release();
  const wchar_t* const names[] = {L"Input", L"Output"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    PIN_INFO info{};
    ASSERT_EQ(got[i]->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, names[i]);
    EXPECT_EQ(info.dir, i == 0 ? PINDIR_INPUT : PINDIR_OUTPUT);
    EXPECT_EQ(info.pFilter, filter);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(got[i]->QueryId(&id), S_OK);
    EXPECT_STREQ(id, names[i]);
    CoTaskMemFree(id);
    IPin* peer = reinterpret_cast<IPin*>(kJunk);
    EXPECT_EQ(got[i]->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(got[i]->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
  }
  IPin* found = reinterpret_cast<IPin*>(kJunk);
  EXPECT_EQ(filter->FindPin(L"Sidechain", &found), VFW_E_NOT_FOUND);  // the rig finds the others by name
  EXPECT_EQ(found, nullptr);
  void* seeking = nullptr;
  EXPECT_EQ(got[0]->QueryInterface(IID_IMediaSeeking, &seeking), E_NOINTERFACE);  // only the output seeks
  got[0]->Release();
  got[1]->Release();
  EXPECT_EQ(Refs(filter), 1u);
  EXPECT_EQ(filter->Release(), 0u);
}

TEST_P(ShellConformance, AcceptedKindsConnectBothPinsAndOthersAreRefusedChangingNothing) {
  for (const AudioType& type :
       {MakeAudioType(WAVE_FORMAT_PCM, 1, 5000, 8), MakeAudioType(WAVE_FORMAT_PCM, 2, 48000, 32),
        MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 1, 22050, 32), MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 96000, 64)}) {
    SCOPED_TRACE(testing::Message() << type.wave.wFormatTag << "/" << type.wave.wBitsPerSample);
    Dismantle();
    Build(type);
    Connect();
    AM_MEDIA_TYPE in{}, out{};
    ASSERT_EQ(in_->ConnectionMediaType(&in), S_OK);
    ASSERT_EQ(out_->ConnectionMediaType(&out), S_OK);
    EXPECT_TRUE(SameMediaType(in, out));
    FreeMediaType(in);
    FreeMediaType(out);
  }
  AudioType refused[7] = {MakeAudioType(WAVE_FORMAT_PCM, 3, 44100, 16), MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 24),
                          MakeAudioType(2, 1, 44100, 16), MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 16)};
  refused[4] = refused[5] = refused[6] = MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16);
  refused[4].formatBytes = 14;
  refused[5].major = MEDIATYPE_Video;
  refused[6].temporalCompression = true;
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    Dismantle();
    Build(refused[i]);
    AM_MEDIA_TYPE offered{};
    ASSERT_EQ(CopyMediaType(offered, source_->type), S_OK);
    EXPECT_EQ(in_->QueryAccept(&offered), S_FALSE);
    EXPECT_EQ(in_->ReceiveConnection(&source_->Output(), &offered), E_INVALIDARG);
    FreeMediaType(offered);
    EXPECT_TRUE(FAILED(ConnectInput()));
    IPin* peer = nullptr;
    EXPECT_EQ(in_->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    AudioFormat kept;
    EXPECT_EQ(KeptFormat(&kept), VFW_E_NOT_CONNECTED);
  }
}

// The kept format has its derived fields recomputed; the output cannot
// connect before the input, then offers the input's type (the copying shell
// recomputed too, without the format extension). The in-place shell writes
// into the upstream buffers and refuses read-only ones; the time filter
// only reads them.
TEST_P(ShellConformance, ConnectionKeepsARecomputedFormatAndTheOutputFollowsTheInput) {
  AudioType stereo16 = MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
  stereo16.wave.nBlockAlign = 3;  // wrong on purpose
  stereo16.wave.nAvgBytesPerSec = 7;
  stereo16.wave.cbSize = 22;
  Build(stereo16);
  EXPECT_TRUE(FAILED(ConnectOutput()));
  ComRef<IEnumMediaTypes> types;
  ASSERT_EQ(out_->EnumMediaTypes(types.Put()), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
  ASSERT_EQ(ConnectInput(), S_OK);
  AudioFormat kept;
  ASSERT_EQ(KeptFormat(&kept), S_OK);
  const AudioFormat expected = MakeFormat(1, 2, 44100, 16);
  EXPECT_EQ(std::memcmp(&kept, &expected, sizeof kept), 0);
  ASSERT_EQ(out_->EnumMediaTypes(types.Put()), S_OK);
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
  if (shell().copying) {
    EXPECT_EQ(wave->nBlockAlign, 4);
    EXPECT_EQ(wave->nAvgBytesPerSec, 4u * 44100u);
    EXPECT_EQ(wave->cbSize, 0);
  } else {
    EXPECT_TRUE(SameMediaType(*type, source_->type));
  }
  DeleteMediaType(type);
  ASSERT_EQ(ConnectOutput(), S_OK);
  types.Reset();
  Dismantle();
  Build(MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16), /*readOnly=*/true);
  EXPECT_EQ(SUCCEEDED(ConnectInput()), shell().copying);
}

// Notices pass downstream; quality messages are not handled; an end of
// stream with no data since the start adds nothing.
TEST_P(ShellConformance, FlushSegmentAndADatalessEndPassDownstreamAndQualityIsNotHandled) {
  Build(MakeAudioType(WAVE_FORMAT_PCM, 1, 44100, 16));
  Connect();
  Run();
  ASSERT_EQ(in_->BeginFlush(), S_OK);
  EXPECT_TRUE(sink_->Input().IsFlushing());
  std::int16_t one = 1;
  EXPECT_EQ(source_->Push(&one, 2), S_FALSE);  // refused while flushing
  ASSERT_EQ(in_->EndFlush(), S_OK);
  ASSERT_EQ(in_->NewSegment(10, 20000, 1.5), S_OK);
  EXPECT_EQ(sink_->Input().SegmentStop(), 20000);
  ComRef<IQualityControl> quality;
  ASSERT_EQ(out_->QueryInterface(IID_IQualityControl, quality.PutVoid()), S_OK);
  EXPECT_EQ(quality->Notify(effect_.Get(), Quality{Famine, 500, 0, 0}), S_FALSE);
  ASSERT_EQ(source_->PushEnd(), S_OK);
  EXPECT_EQ(sink_->endOfStreams, 1);
  EXPECT_TRUE(sink_->samples.empty());
}

INSTANTIATE_TEST_SUITE_P(Shells, ShellConformance, ::testing::ValuesIn(kShells),
                         [](const ::testing::TestParamInfo<Shell>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace quill::test
