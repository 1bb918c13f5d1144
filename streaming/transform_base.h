// A filter with one input and one output pin whose samples pass through a
// transform step: the pins, the streaming lock, state changes that start
// and stop streaming, and flush, new segment and end of stream passed on.
// The in-place transform and the copying transform differ in media types
// and allocators only.
#pragma once

#include "streaming/base_filter.h"
#include "streaming/pins.h"
#include "streaming/seeking_passthrough.h"

namespace quill {

class TransformBase;

class TransformInputPin final : public InputPin {
 public:
  explicit TransformInputPin(TransformBase* transform);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, AM_MEDIA_TYPE& type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT CompleteConnect(IPin* peer) override;

 protected:
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;
  HRESULT OnBeginFlush() override;
  HRESULT OnEndFlush() override;
  HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT AcceptAllocator(IMemAllocator* allocator, BOOL readOnly) override;

 private:
  TransformBase* transform_;
};

class TransformOutputPin final : public OutputPin, public IQualityControl {
 public:
  TransformOutputPin(TransformBase* transform, IPin* input);

  QUILL_PIN_UNKNOWN

  // IQualityControl
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, AM_MEDIA_TYPE& type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT CompleteConnect(IPin* peer) override;

 protected:
  HRESULT QueryPinInterface(REFIID riid, void** object) override;
  HRESULT DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request) override;

 private:
  TransformBase* transform_;
  SeekingPassThrough seeking_;
};

class TransformBase : public BaseFilter {
 public:
  TransformBase(const wchar_t* name, const CLSID& clsid, IUnknown* outer, const REGFILTER2* registration);

  int PinCount() override { return 2; }
  BasePin* Pin(int index) override;

  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;

  // --- what a transform supplies or refines --------------------------------
  // Whether a type may connect to the input, and to the output.
  virtual HRESULT CheckInputConnection(const AM_MEDIA_TYPE& type) = 0;
  virtual HRESULT CheckOutputConnection(const AM_MEDIA_TYPE& type) = 0;
  // Preferred types of each pin, from 0; VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetInputType(int index, AM_MEDIA_TYPE& type);
  virtual HRESULT GetOutputType(int index, AM_MEDIA_TYPE& type);
  // A pin's type was set (after the pin recorded it).
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type);
  // A pin's connection is complete (the output's allocator is decided); a
  // failure undoes the connection.
  virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
  // May refuse the allocator upstream proposes.
  virtual HRESULT AcceptInputAllocator(IMemAllocator* allocator, BOOL readOnly);
  // S_FALSE: let the output pin negotiate its own allocator, sized by
  // DecideBufferSize. Otherwise the transform chose one.
  virtual HRESULT DecideOutputAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned);
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request);

  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  // One input sample, on the streaming thread under the streaming lock.
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  // The end of the stream, on the streaming thread; passes it on by default.
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // Quality messages from downstream: not handled.
  virtual HRESULT AlterQuality(const Quality&) { return S_FALSE; }

  // --- used by the pins ----------------------------------------------------
  HRESULT ReceiveFromInput(IMediaSample* sample);
  HRESULT EndOfStreamFromInput();

  TransformInputPin& Input() { return input_; }
  TransformOutputPin& Output() { return output_; }

 protected:
  // Held while a sample or the end of stream is processed; Stop takes it to
  // wait for the streaming thread before streaming stops.
  Lock streamLock_;
  TransformInputPin input_;
  TransformOutputPin output_;
};

}  // namespace quill
