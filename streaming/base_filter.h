// The base of every filter: state, clock, graph membership, pin lookup and
// registration with the platform's filter mapper.
#pragma once

#include <atomic>

#include "streaming/base_object.h"

namespace quill {

class BasePin;

class BaseFilter : public UnknownBase, public IBaseFilter, public IAMovieSetup {
 public:
  // `registration` (merit and pins) makes the filter answer IAMovieSetup;
  // it must outlive the filter.
  BaseFilter(const wchar_t* name, const CLSID& clsid, IUnknown* outer, const REGFILTER2* registration = nullptr);
  ~BaseFilter() override;

  QUILL_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

  // IAMovieSetup: enters or removes the filter in the platform's registry.
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  virtual int PinCount() = 0;
  virtual BasePin* Pin(int index) = 0;

  FILTER_STATE State() const { return state_.load(); }
  Lock& FilterLock() { return filterLock_; }
  const wchar_t* Name() const { return name_; }
  // Sends an event to the graph's event sink; E_UNEXPECTED outside a graph.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

 protected:
  // Activates or deactivates the connected pins; used by the state changes.
  HRESULT SetPinsActive(bool active);

  Lock filterLock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME start_ = 0;

 private:
  const wchar_t* name_;
  CLSID clsid_;
  const REGFILTER2* registration_;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph holds us
  WCHAR graphName_[MAX_FILTER_NAME] = {};
};

}  // namespace quill
