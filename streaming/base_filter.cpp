#include "streaming/base_filter.h"

#include <cstring>

#include "streaming/enumerators.h"
#include "streaming/pins.h"

namespace quill {

BaseFilter::BaseFilter(const wchar_t* name, const CLSID& clsid, IUnknown* outer, const REGFILTER2* registration)
    : UnknownBase(outer), name_(name), clsid_(clsid), registration_(registration) {}

BaseFilter::~BaseFilter() {
  if (clock_ != nullptr) clock_->Release();
}

HRESULT STDMETHODCALLTYPE BaseFilter::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
    return GetInterface(static_cast<IBaseFilter*>(this), object);
  if (riid == IID_IAMovieSetup && registration_ != nullptr)
    return GetInterface(static_cast<IAMovieSetup*>(this), object);
  return UnknownBase::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE BaseFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT BaseFilter::SetPinsActive(bool active) {
  HRESULT result = S_OK;
  for (int i = 0; i < PinCount(); ++i) {
    BasePin* pin = Pin(i);
    if (pin == nullptr || !pin->IsConnected()) continue;
    HRESULT hr = active ? pin->Active() : pin->Inactive();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Stop() {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped) return S_OK;
  state_ = State_Stopped;
  return SetPinsActive(false);
}

HRESULT STDMETHODCALLTYPE BaseFilter::Pause() {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped) {
    HRESULT hr = SetPinsActive(true);
    if (FAILED(hr)) {
      SetPinsActive(false);
      return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Run(REFERENCE_TIME start) {
  AutoLock lock(filterLock_);
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  start_ = start;
  state_ = State_Running;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::SetSyncSource(IReferenceClock* clock) {
  AutoLock lock(filterLock_);
  if (clock != nullptr) clock->AddRef();
  if (clock_ != nullptr) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  AutoLock lock(filterLock_);
  *clock = clock_;
  if (clock_ != nullptr) clock_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new (std::nothrow) PinEnumerator(this, 0);
  return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE BaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  for (int i = 0; i < PinCount(); ++i) {
    BasePin* candidate = Pin(i);
    if (candidate != nullptr && lstrcmpW(candidate->Name(), id) == 0) {
      *pin = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  AutoLock lock(filterLock_);
  lstrcpynW(info->achName, graphName_, MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  AutoLock lock(filterLock_);
  graph_ = graph;
  graphName_[0] = 0;
  if (graph != nullptr && name != nullptr) lstrcpynW(graphName_, name, MAX_FILTER_NAME);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseFilter::QueryVendorInfo(LPWSTR*) {
  return E_NOTIMPL;
}

HRESULT BaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = nullptr;
  {
    AutoLock lock(filterLock_);
    if (graph_ == nullptr) return E_UNEXPECTED;
    HRESULT hr = graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink));
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = sink->Notify(code, param1, param2);
  sink->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Register() {
  if (registration_ == nullptr) return E_NOTIMPL;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = mapper->RegisterFilter(clsid_, name_, nullptr, &CLSID_LegacyAmFilterCategory, nullptr, registration_);
  mapper->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseFilter::Unregister() {
  if (registration_ == nullptr) return E_NOTIMPL;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, clsid_);
  mapper->Release();
  // A filter that was never entered is as unregistered as it gets.
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) hr = S_OK;
  return hr;
}

}  // namespace quill
