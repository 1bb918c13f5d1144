// The interfaces every effect filter adds on its own identity, in the order
// it answers them: the effect's parameter interface (its engine), the page
// list with the effect's page F + 1, persistence of the parameter block,
// and the presets. The filter supplies IUnknown and GetClassID; both the
// in-place and the copying filters derive from this.
#pragma once

#include "streaming/base_object.h"
#include "framework/effect_engine.h"

namespace quill {

template <class Effect>
class EffectParts : public ISpecifyPropertyPages, public IPersistStream {
 public:
  using Engine = typename Effect::Engine;
  using Interface = typename Effect::Interface;

  EffectParts() : presets_(engine_) {}

  // S_OK with the interface, or E_NOINTERFACE for the filter's own lookup.
  HRESULT QueryEffectInterface(REFIID riid, void** object) {
    if (riid == Effect::kInterfaceId) return GetInterface(static_cast<Interface*>(&engine_), object);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), object);
    if (riid == IID_IEffectPresets) return GetInterface(static_cast<IEffectPresets*>(&presets_), object);
    return E_NOINTERFACE;
  }

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override {
    if (pages == nullptr) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (pages->pElems == nullptr) {
      pages->cElems = 0;
      return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = OffsetGuid(Effect::kClassId, 1);
    return S_OK;
  }

  // IPersistStream
  HRESULT STDMETHODCALLTYPE IsDirty() override { return engine_.IsDirty() ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override { return engine_.Load(stream); }
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override {
    return engine_.Save(stream, clearDirty != FALSE);
  }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = Engine::StreamSize();
    return S_OK;
  }

 protected:
  // Applies preset 0 as the construction state, which is not an edit.
  HRESULT ApplyDefaultPreset(IUnknown* owner) {
    engine_.SetOwner(owner);
    HRESULT hr = engine_.ApplyPreset(0);
    engine_.MarkClean();
    return hr;
  }

  Engine engine_;
  EffectPresets<Engine> presets_;
};

}  // namespace quill
