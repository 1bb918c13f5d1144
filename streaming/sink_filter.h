// A filter with one input pin that consumes the stream: the base of our
// writers and capture sinks. It reports itself as a renderer and signals
// completion to the graph at the end of the stream, so that waiting for
// the graph to finish returns.
#pragma once

#include "streaming/base_filter.h"
#include "streaming/pins.h"

namespace quill {

class SinkFilter;

class SinkPin final : public InputPin {
 public:
  explicit SinkPin(SinkFilter* sink);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;

 protected:
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;

 private:
  SinkFilter* sink_;
};

class SinkFilter : public BaseFilter, public IAMFilterMiscFlags {
 public:
  SinkFilter(const wchar_t* name, const CLSID& clsid, IUnknown* outer);

  QUILL_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IAMFilterMiscFlags
  ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;

  int PinCount() override { return 1; }
  BasePin* Pin(int index) override { return index == 0 ? &pin_ : nullptr; }
  SinkPin& Input() { return pin_; }
  const SinkPin& Input() const { return pin_; }

  // Set once the end of the stream arrived, until the next pause from stopped.
  bool Complete() const { return complete_; }

  virtual HRESULT CheckType(const AM_MEDIA_TYPE& type) = 0;
  // Samples and the end of stream, on the streaming thread.
  virtual HRESULT OnSample(IMediaSample* sample) = 0;
  virtual HRESULT OnStreamEnd() { return S_OK; }

  HRESULT ReceiveFromPin(IMediaSample* sample);
  HRESULT EndOfStreamFromPin();

 private:
  Lock streamLock_;
  SinkPin pin_;
  std::atomic<bool> complete_{false};
};

}  // namespace quill
