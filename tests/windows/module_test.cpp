// The module as a component server and the simple delay filter as a
// component: class objects, creation and aggregation, unloading, interface
// identity and reference counts, pins and enumerators. Persistence and
// presets through each filter are in effects_graph_test.cpp.
#include <gtest/gtest.h>

#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

// {0E7C3E4A-5B21-4F0B-9D53-1D6B2C7A9F10}: belongs to nobody.
constexpr CLSID kUnknownClass = {0x0E7C3E4A, 0x5B21, 0x4F0B, {0x9D, 0x53, 0x1D, 0x6B, 0x2C, 0x7A, 0x9F, 0x10}};
void* const kJunk = reinterpret_cast<void*>(1);

IClassFactory* Factory() {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(Quill().getClassObject(CLSID_TwEchos, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  return factory;
}

TEST(ClassObject, OnlyIUnknownAndIClassFactoryAreHandedOut) {
  void* object = kJunk;
  // The interface is checked before the class is looked up.
  EXPECT_EQ(Quill().getClassObject(kUnknownClass, IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Quill().getClassObject(CLSID_TwEchos, IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(Quill().getClassObject(kUnknownClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(Quill().getClassObject(CLSID_TwEchos, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(Refs(unknown), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
}

TEST(ClassObject, FactoryAnswersItsOwnInterfacesAndRefusesBadRequestsWithoutCreating) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(Refs(factory), 1u);
  IUnknown* same = Query<IUnknown>(factory, IID_IUnknown);
  EXPECT_EQ(same, static_cast<IUnknown*>(factory));
  EXPECT_EQ(Refs(factory), 2u);
  same->Release();
  void* other = kJunk;
  EXPECT_EQ(factory->QueryInterface(IID_IBaseFilter, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(Refs(factory), 1u);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr), E_POINTER);
  // An outer object (any live one will do) may ask only for the inner unknown.
  void* object = kJunk;
  EXPECT_EQ(factory->CreateInstance(factory, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(factory, IID_IBaseFilter, &object), E_NOINTERFACE);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);  // nothing was made
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);  // made, refused, destroyed
  EXPECT_EQ(factory->Release(), 0u);
}

// An outer object that counts what the aggregated filter forwards to it.
class CountingOuter : public IUnknown {
 public:
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown) return inner != nullptr ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* inner = nullptr;
};

TEST(ClassObject, AggregatedFilterSharesTheOuterIdentity) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  CountingOuter outer;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
  factory->Release();
  EXPECT_EQ(outer.refs, 1u);  // the inner unknown counts for itself
  IBaseFilter* filter = Query<IBaseFilter>(outer.inner, IID_IBaseFilter);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(outer.refs, 2u);  // interfaces of the inner object count on the outer
  IUnknown* identity = Query<IUnknown>(filter, IID_IUnknown);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  identity->Release();
  ISimpleDelayParams* params = Query<ISimpleDelayParams>(filter, IID_ISimpleDelayParams);
  ASSERT_NE(params, nullptr);
  EXPECT_EQ(outer.refs, 3u);
  params->Release();
  filter->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(outer.inner->Release(), 0u);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

TEST(Unloading, ServerLocksAndLiveObjectsKeepTheModule) {
  ASSERT_EQ(Quill().canUnloadNow(), S_OK);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);  // factories are not counted
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  IBaseFilter* filter = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
  factory->Release();
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  IEnumPins* pins = nullptr;
  ASSERT_EQ(filter->EnumPins(&pins), S_OK);
  EXPECT_EQ(filter->Release(), 1u);  // the enumerator holds the filter
  EXPECT_EQ(Quill().canUnloadNow(), S_FALSE);
  EXPECT_EQ(pins->Release(), 0u);
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

class FilterInterfaces : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IBaseFilter, reinterpret_cast<void**>(&filter_)), S_OK);
    ASSERT_EQ(Refs(filter_), 1u);
  }
  void TearDown() override {
    EXPECT_EQ(filter_->Release(), 0u);
    EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  }
  IBaseFilter* filter_ = nullptr;
};

TEST_F(FilterInterfaces, EveryInterfaceSharesIdentityAndCountAndLeadsToTheClassAndPage) {
  IUnknown* identity = Query<IUnknown>(filter_, IID_IUnknown);
  const IID* const iids[] = {&IID_IBaseFilter,    &IID_IMediaFilter,       &IID_IPersist,
                             &IID_IAMovieSetup,   &IID_ISimpleDelayParams, &IID_ISpecifyPropertyPages,
                             &IID_IPersistStream, &IID_IEffectPresets};
  std::vector<IUnknown*> held;
  for (const IID* iid : iids) {
    IUnknown* p = Query<IUnknown>(filter_, *iid);
    ASSERT_NE(p, nullptr);
    held.push_back(p);
    EXPECT_EQ(Refs(filter_), 2u + held.size());
    IUnknown* back = Query<IUnknown>(p, IID_IUnknown);
    EXPECT_EQ(back, identity);
    back->Release();
    IBaseFilter* again = Query<IBaseFilter>(p, IID_IBaseFilter);  // every interface leads to every other
    EXPECT_EQ(again, filter_);
    again->Release();
  }
  for (IUnknown* p : held) p->Release();
  identity->Release();
  EXPECT_EQ(Refs(filter_), 1u);
  void* none = kJunk;
  EXPECT_EQ(filter_->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(filter_->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
  CLSID clsid{};
  ASSERT_EQ(filter_->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TwEchos);
  ISpecifyPropertyPages* pages = Query<ISpecifyPropertyPages>(filter_, IID_ISpecifyPropertyPages);
  CAUUID list{};
  ASSERT_EQ(pages->GetPages(&list), S_OK);
  ASSERT_EQ(list.cElems, 1u);
  EXPECT_EQ(list.pElems[0], CLSID_TwEchosPage);
  CoTaskMemFree(list.pElems);
  pages->Release();
  FILTER_INFO info{};
  ASSERT_EQ(filter_->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(info.pGraph, nullptr);
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter_->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
}

TEST_F(FilterInterfaces, PinsAreInputAndOutputAndCountOnTheFilter) {
  IEnumPins* pins = nullptr;
  ASSERT_EQ(filter_->EnumPins(&pins), S_OK);
  IPin* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(Refs(filter_), 4u);  // two pins and the enumerator
  const struct {
    const wchar_t* name;
    PIN_DIRECTION direction;
  } expected[] = {{L"Input", PINDIR_INPUT}, {L"Output", PINDIR_OUTPUT}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    PIN_INFO info{};
    ASSERT_EQ(got[i]->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, expected[i].name);
    EXPECT_EQ(info.dir, expected[i].direction);
    EXPECT_EQ(info.pFilter, filter_);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(got[i]->QueryId(&id), S_OK);
    EXPECT_STREQ(id, expected[i].name);
    CoTaskMemFree(id);
    IPin* peer = reinterpret_cast<IPin*>(kJunk);
    EXPECT_EQ(got[i]->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(got[i]->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
  }
  EXPECT_EQ(pins->Skip(1), S_FALSE);  // past the end
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Skip(1), S_OK);
  IEnumPins* clone = nullptr;
  ASSERT_EQ(pins->Clone(&clone), S_OK);
  IPin* second = nullptr;
  ASSERT_EQ(clone->Next(1, &second, nullptr), S_OK);
  EXPECT_EQ(second, got[1]);
  second->Release();
  clone->Release();
  pins->Release();
  IPin* found = nullptr;
  ASSERT_EQ(filter_->FindPin(L"Output", &found), S_OK);
  EXPECT_EQ(found, got[1]);
  found->Release();
  EXPECT_EQ(filter_->FindPin(L"Sidechain", &found), VFW_E_NOT_FOUND);
  EXPECT_EQ(found, nullptr);
  // The output pin adds seeking and quality control; unconnected, seeking
  // has nobody upstream to ask.
  IMediaSeeking* seeking = Query<IMediaSeeking>(got[1], IID_IMediaSeeking);
  ASSERT_NE(seeking, nullptr);
  LONGLONG duration = 0;
  EXPECT_TRUE(FAILED(seeking->GetDuration(&duration)));
  IPin* back = Query<IPin>(seeking, IID_IPin);
  EXPECT_EQ(back, got[1]);
  back->Release();
  seeking->Release();
  void* none = nullptr;
  EXPECT_EQ(got[0]->QueryInterface(IID_IMediaSeeking, &none), E_NOINTERFACE);
  IMemInputPin* memInput = Query<IMemInputPin>(got[0], IID_IMemInputPin);
  EXPECT_EQ(memInput->Receive(nullptr), E_POINTER);
  memInput->Release();
  got[0]->Release();
  got[1]->Release();
  EXPECT_EQ(Refs(filter_), 1u);
}

}  // namespace
}  // namespace quill::test
