// Pins: the connection protocol shared by both directions, the input side
// that receives samples and the output side that delivers them.
#pragma once

#include <atomic>

#include "streaming/base_filter.h"
#include "streaming/media_type.h"

namespace quill {

class BasePin : public IPin, public BaseObject {
 public:
  BasePin(BaseFilter* filter, const wchar_t* name, PIN_DIRECTION direction);
  ~BasePin() override;

  // Pins have their own interfaces but live and count with their filter.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // What a concrete pin decides.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
  // Preferred types, from 0; VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int index, AM_MEDIA_TYPE& type);
  // Records the connection type.
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE& type);
  // Checks the peer before a connection (direction, transport).
  virtual HRESULT CheckConnect(IPin* peer);
  virtual HRESULT CompleteConnect(IPin* peer);
  virtual void BreakConnect() {}
  // Called when the filter leaves or enters the stopped state.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }

  bool IsConnected() const { return peer_ != nullptr; }
  IPin* Peer() const { return peer_; }
  const AM_MEDIA_TYPE& ConnectionType() const { return type_.Get(); }
  const wchar_t* Name() const { return name_; }
  BaseFilter* Filter() const { return filter_; }
  // The last segment announced with NewSegment.
  REFERENCE_TIME SegmentStart() const { return segmentStart_; }
  REFERENCE_TIME SegmentStop() const { return segmentStop_; }
  double SegmentRate() const { return segmentRate_; }

 protected:
  // Interfaces beyond IPin that a subclass adds.
  virtual HRESULT QueryPinInterface(REFIID riid, void** object);
  virtual HRESULT OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

  BaseFilter* filter_;
  REFERENCE_TIME segmentStart_ = 0;
  REFERENCE_TIME segmentStop_ = 0;
  double segmentRate_ = 1.0;

 private:
  HRESULT AttemptConnection(IPin* receiver, const AM_MEDIA_TYPE& type);
  HRESULT TryTypesOf(IPin* source, IPin* receiver, const AM_MEDIA_TYPE* partial);
  void DropConnection();

  const wchar_t* name_;
  PIN_DIRECTION direction_;
  IPin* peer_ = nullptr;
  MediaType type_;
};

// IUnknown of a pin class that inherits further interfaces.
#define QUILL_PIN_UNKNOWN                                                         \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override { \
    return BasePin::QueryInterface(riid, object);                                 \
  }                                                                               \
  ULONG STDMETHODCALLTYPE AddRef() override {                                     \
    return BasePin::AddRef();                                                     \
  }                                                                               \
  ULONG STDMETHODCALLTYPE Release() override {                                    \
    return BasePin::Release();                                                    \
  }

class InputPin : public BasePin, public IMemInputPin {
 public:
  InputPin(BaseFilter* filter, const wchar_t* name);
  ~InputPin() override;

  QUILL_PIN_UNKNOWN

  // IPin, input side
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  HRESULT CheckConnect(IPin* peer) override;
  void BreakConnect() override;
  HRESULT Active() override;

  // S_OK when a sample may be taken now, S_FALSE while flushing, an error otherwise.
  HRESULT CheckStreaming();
  bool IsFlushing() const { return flushing_.load(); }
  // The allocator agreed with upstream (no reference added), or null.
  IMemAllocator* Allocator() const { return allocator_; }
  bool ReadOnly() const { return readOnly_; }

 protected:
  virtual HRESULT OnReceive(IMediaSample* sample) = 0;
  virtual HRESULT OnEndOfStream() { return S_OK; }
  virtual HRESULT OnBeginFlush() { return S_OK; }
  virtual HRESULT OnEndFlush() { return S_OK; }
  // May refuse the allocator upstream proposes.
  virtual HRESULT AcceptAllocator(IMemAllocator*, BOOL) { return S_OK; }
  HRESULT QueryPinInterface(REFIID riid, void** object) override;

 private:
  IMemAllocator* allocator_ = nullptr;
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
};

class OutputPin : public BasePin {
 public:
  OutputPin(BaseFilter* filter, const wchar_t* name);
  ~OutputPin() override;

  // IPin, output side: these notices travel downstream only.
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }

  HRESULT CheckConnect(IPin* peer) override;
  HRESULT CompleteConnect(IPin* peer) override;
  void BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* Allocator() const { return allocator_; }
  // Takes over an allocator chosen elsewhere (a new upstream allocator that
  // an in-place transform passes on); adds a reference.
  void AdoptAllocator(IMemAllocator* allocator, bool owned);

 protected:
  // Chooses the allocator for the connection and tells the peer. `owned`:
  // this pin commits and decommits it. The default asks the peer for its
  // allocator first and falls back to a platform memory allocator.
  virtual HRESULT DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned);
  // Sets the buffer count and size on an allocator this pin decided on.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request);

 private:
  HRESULT OfferAllocator(IMemInputPin* peer, IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request);

  IMemInputPin* peerInput_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  bool ownsAllocator_ = false;
};

}  // namespace quill
