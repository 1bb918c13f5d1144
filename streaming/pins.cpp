#include "streaming/pins.h"

#include <cstring>

#include "streaming/enumerators.h"

namespace quill {

namespace {

// A partial type given to Connect constrains the fields it sets.
bool MatchesPartial(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* partial) {
  if (partial == nullptr) return true;
  if (partial->majortype != GUID_NULL && partial->majortype != type.majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != type.subtype) return false;
  if (partial->formattype != GUID_NULL && partial->formattype != type.formattype) return false;
  return true;
}

bool FullySpecified(const AM_MEDIA_TYPE& type) {
  return type.majortype != GUID_NULL && type.subtype != GUID_NULL && type.formattype != GUID_NULL;
}

}  // namespace

// ---------------------------------------------------------------------------
BasePin::BasePin(BaseFilter* filter, const wchar_t* name, PIN_DIRECTION direction)
    : filter_(filter), name_(name), direction_(direction) {}

BasePin::~BasePin() {
  if (peer_ != nullptr) peer_->Release();
}

HRESULT STDMETHODCALLTYPE BasePin::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), object);
  return QueryPinInterface(riid, object);
}

HRESULT BasePin::QueryPinInterface(REFIID, void** object) {
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BasePin::AddRef() {
  return filter_->Owner()->AddRef();
}
ULONG STDMETHODCALLTYPE BasePin::Release() {
  return filter_->Owner()->Release();
}

HRESULT STDMETHODCALLTYPE BasePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
  if (receiver == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (type != nullptr && FullySpecified(*type)) return AttemptConnection(receiver, *type);
  // Our own preferences first, then the receiver's.
  HRESULT hr = TryTypesOf(this, receiver, type);
  if (SUCCEEDED(hr)) return hr;
  hr = TryTypesOf(receiver, receiver, type);
  return SUCCEEDED(hr) ? hr : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT BasePin::TryTypesOf(IPin* source, IPin* receiver, const AM_MEDIA_TYPE* partial) {
  IEnumMediaTypes* types = nullptr;
  HRESULT hr = source->EnumMediaTypes(&types);
  if (FAILED(hr)) return hr;
  hr = VFW_E_NO_ACCEPTABLE_TYPES;
  AM_MEDIA_TYPE* type = nullptr;
  ULONG fetched = 0;
  while (types->Next(1, &type, &fetched) == S_OK && fetched == 1) {
    HRESULT attempt = MatchesPartial(*type, partial) ? AttemptConnection(receiver, *type) : VFW_E_TYPE_NOT_ACCEPTED;
    DeleteMediaType(type);
    if (SUCCEEDED(attempt)) {
      hr = attempt;
      break;
    }
  }
  types->Release();
  return hr;
}

HRESULT BasePin::AttemptConnection(IPin* receiver, const AM_MEDIA_TYPE& type) {
  HRESULT hr = CheckConnect(receiver);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(type);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  peer_ = receiver;
  peer_->AddRef();
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) {
    hr = receiver->ReceiveConnection(this, &type);
    if (SUCCEEDED(hr)) {
      hr = CompleteConnect(receiver);
      if (SUCCEEDED(hr)) return S_OK;
      receiver->Disconnect();
    }
  }
  DropConnection();
  return hr;
}

HRESULT STDMETHODCALLTYPE BasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(*type);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  peer_ = connector;
  peer_->AddRef();
  hr = SetMediaType(*type);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (FAILED(hr)) DropConnection();
  return hr;
}

void BasePin::DropConnection() {
  BreakConnect();
  if (peer_ != nullptr) {
    peer_->Release();
    peer_ = nullptr;
  }
  type_.Clear();
}

HRESULT STDMETHODCALLTYPE BasePin::Disconnect() {
  AutoLock lock(filter_->FilterLock());
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!IsConnected()) return S_FALSE;
  DropConnection();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  *pin = peer_;
  if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  if (!IsConnected()) {
    std::memset(type, 0, sizeof *type);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(*type, type_.Get());
}

HRESULT STDMETHODCALLTYPE BasePin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = static_cast<IBaseFilter*>(filter_);
  info->pFilter->AddRef();
  info->dir = direction_;
  lstrcpynW(info->achName, name_, MAX_PIN_NAME);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  const size_t bytes = (lstrlenW(name_) + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*id, name_, bytes);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE BasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  *types = new (std::nothrow) MediaTypeEnumerator(this, 0);
  return *types != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE BasePin::QueryInternalConnections(IPin**, ULONG*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  segmentStart_ = start;
  segmentStop_ = stop;
  segmentRate_ = rate;
  return OnNewSegment(start, stop, rate);
}

HRESULT BasePin::GetMediaType(int, AM_MEDIA_TYPE&) {
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::SetMediaType(const AM_MEDIA_TYPE& type) {
  return type_.Set(type);
}

HRESULT BasePin::CheckConnect(IPin* peer) {
  PIN_DIRECTION theirs;
  HRESULT hr = peer->QueryDirection(&theirs);
  if (FAILED(hr)) return hr;
  return theirs != direction_ ? S_OK : VFW_E_INVALID_DIRECTION;
}

HRESULT BasePin::CompleteConnect(IPin*) {
  return S_OK;
}

// ---------------------------------------------------------------------------
InputPin::InputPin(BaseFilter* filter, const wchar_t* name) : BasePin(filter, name, PINDIR_INPUT) {}

InputPin::~InputPin() {
  if (allocator_ != nullptr) allocator_->Release();
}

HRESULT InputPin::QueryPinInterface(REFIID riid, void** object) {
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), object);
  return BasePin::QueryPinInterface(riid, object);
}

HRESULT InputPin::CheckConnect(IPin* peer) {
  return BasePin::CheckConnect(peer);
}

void InputPin::BreakConnect() {
  if (allocator_ != nullptr) {
    allocator_->Release();
    allocator_ = nullptr;
  }
  readOnly_ = false;
}

HRESULT InputPin::Active() {
  flushing_ = false;
  return S_OK;
}

HRESULT InputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (flushing_) return S_FALSE;
  if (filter_->State() == State_Stopped) return VFW_E_WRONG_STATE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::EndOfStream() {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return OnEndOfStream();
}

HRESULT STDMETHODCALLTYPE InputPin::BeginFlush() {
  flushing_ = true;
  return OnBeginFlush();
}

HRESULT STDMETHODCALLTYPE InputPin::EndFlush() {
  flushing_ = false;
  return OnEndFlush();
}

HRESULT STDMETHODCALLTYPE InputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  if (allocator_ == nullptr) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(&allocator_));
    if (FAILED(hr)) {
      allocator_ = nullptr;
      *allocator = nullptr;
      return hr;
    }
  }
  *allocator = allocator_;
  allocator_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator == nullptr) return E_POINTER;
  AutoLock lock(filter_->FilterLock());
  HRESULT hr = AcceptAllocator(allocator, readOnly);
  if (FAILED(hr)) return hr;
  allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  readOnly_ = readOnly != FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE InputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return OnReceive(sample);
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (samples == nullptr || processed == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  *processed = 0;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE InputPin::ReceiveCanBlock() {
  return S_OK;
}

// ---------------------------------------------------------------------------
OutputPin::OutputPin(BaseFilter* filter, const wchar_t* name) : BasePin(filter, name, PINDIR_OUTPUT) {}

OutputPin::~OutputPin() {
  BreakConnect();
}

HRESULT OutputPin::CheckConnect(IPin* peer) {
  HRESULT hr = BasePin::CheckConnect(peer);
  if (FAILED(hr)) return hr;
  if (peerInput_ != nullptr) peerInput_->Release();
  peerInput_ = nullptr;
  hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&peerInput_));
  if (FAILED(hr)) {
    peerInput_ = nullptr;
    return VFW_E_NO_TRANSPORT;
  }
  return S_OK;
}

HRESULT OutputPin::CompleteConnect(IPin*) {
  if (peerInput_ == nullptr) return E_UNEXPECTED;
  IMemAllocator* allocator = nullptr;
  bool owned = false;
  HRESULT hr = DecideAllocator(peerInput_, &allocator, &owned);
  if (FAILED(hr)) return hr;
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  ownsAllocator_ = owned;
  return S_OK;
}

void OutputPin::BreakConnect() {
  if (allocator_ != nullptr) {
    if (ownsAllocator_) allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  ownsAllocator_ = false;
  if (peerInput_ != nullptr) {
    peerInput_->Release();
    peerInput_ = nullptr;
  }
}

void OutputPin::AdoptAllocator(IMemAllocator* allocator, bool owned) {
  if (allocator != nullptr) allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  ownsAllocator_ = owned;
}

HRESULT OutputPin::DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  ALLOCATOR_PROPERTIES request{};
  peer->GetAllocatorRequirements(&request);  // optional: E_NOTIMPL leaves the request empty

  IMemAllocator* candidate = nullptr;
  HRESULT hr = peer->GetAllocator(&candidate);
  if (SUCCEEDED(hr)) {
    hr = OfferAllocator(peer, candidate, request);
    if (SUCCEEDED(hr)) {
      *allocator = candidate;
      *owned = true;
      return S_OK;
    }
    candidate->Release();
  }
  hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                        reinterpret_cast<void**>(&candidate));
  if (FAILED(hr)) return hr;
  hr = OfferAllocator(peer, candidate, request);
  if (FAILED(hr)) {
    candidate->Release();
    return hr;
  }
  *allocator = candidate;
  *owned = true;
  return S_OK;
}

HRESULT OutputPin::OfferAllocator(IMemInputPin* peer, IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request) {
  HRESULT hr = DecideBufferSize(allocator, request);
  if (FAILED(hr)) return hr;
  return peer->NotifyAllocator(allocator, FALSE);
}

HRESULT OutputPin::DecideBufferSize(IMemAllocator*, const ALLOCATOR_PROPERTIES&) {
  return E_NOTIMPL;
}

HRESULT OutputPin::Active() {
  if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
  return ownsAllocator_ ? allocator_->Commit() : S_OK;
}

HRESULT OutputPin::Inactive() {
  if (allocator_ == nullptr || !ownsAllocator_) return S_OK;
  return allocator_->Decommit();
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) {
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
  if (peerInput_ == nullptr) return VFW_E_NOT_CONNECTED;
  return peerInput_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
  if (Peer() == nullptr) return VFW_E_NOT_CONNECTED;
  return Peer()->EndOfStream();
}

HRESULT OutputPin::DeliverBeginFlush() {
  if (Peer() == nullptr) return VFW_E_NOT_CONNECTED;
  return Peer()->BeginFlush();
}

HRESULT OutputPin::DeliverEndFlush() {
  if (Peer() == nullptr) return VFW_E_NOT_CONNECTED;
  return Peer()->EndFlush();
}

HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (Peer() == nullptr) return VFW_E_NOT_CONNECTED;
  return Peer()->NewSegment(start, stop, rate);
}

}  // namespace quill
