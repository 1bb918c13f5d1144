// The buffer loop of the copying filters (time and pitch): every input
// buffer is fed to the engine until it is used up, and the engine's output
// is delivered in as many output buffers as it fills; at the end of the
// stream the engine is drained. The platform's samples and output pin are
// reached through the small interfaces below, which the Windows filter
// implements over its media samples and tests implement with fakes.
#pragma once

#include <cstdint>

#include "framework/audio_format.h"
#include "framework/com.h"

namespace quill {

// An output buffer taken from the output pin's allocator.
class OutputSample {
 public:
  virtual ~OutputSample() = default;
  virtual std::uint8_t* Data() = 0;
  virtual std::uint32_t Size() = 0;  // bytes of room
  virtual HRESULT SetActualLength(std::uint32_t bytes) = 0;
  virtual HRESULT SetDiscontinuity(bool on) = 0;
  virtual HRESULT SetSyncPoint(bool on) = 0;
  // Null pointers mean no stamp.
  virtual HRESULT SetTime(const std::int64_t* start, const std::int64_t* stop) = 0;
  virtual HRESULT SetMediaTime(const std::int64_t* start, const std::int64_t* stop) = 0;
};

// The output pin as the loop uses it.
class SampleOutlet {
 public:
  virtual ~SampleOutlet() = default;
  // A fresh buffer without time stamps.
  virtual HRESULT GetDeliveryBuffer(OutputSample** sample) = 0;
  virtual HRESULT Deliver(OutputSample* sample) = 0;
  virtual void Release(OutputSample* sample) = 0;
  // Attaches the pin's own media type to a sample (the formats of the two pins differ).
  virtual HRESULT AttachMediaType(OutputSample* sample) = 0;
  virtual HRESULT DeliverEndOfStream() = 0;
};

// What the loop needs of an input buffer.
struct InputSample {
  std::uint8_t* data = nullptr;  // may be filtered in place by PreFilter
  std::uint32_t length = 0;      // actual data length in bytes
  bool discontinuity = false;
  bool syncPoint = false;
  bool hasTime = false;
  std::int64_t start = 0, stop = 0;
  bool hasMediaTime = false;
  std::int64_t mediaStart = 0, mediaStop = 0;
};

// The engine behind the loop: the time engine, or the pitch engine with
// its pre-filter.
class FrameProcessor {
 public:
  virtual ~FrameProcessor() = default;
  // kStateCleared when a filter of its own met a NaN or an infinity.
  virtual HRESULT PreFilter(ProcessMode, void*, std::uint32_t) { return S_OK; }
  virtual HRESULT Process(ProcessMode mode, const void* in, std::uint32_t* inFrames, void* out,
                          std::uint32_t* outFrames) = 0;
};

class CopyingLoop {
 public:
  CopyingLoop(FrameProcessor& engine, SampleOutlet& outlet) : engine_(engine), outlet_(&outlet) {}

  // The kept formats of the two pins; Receive refuses to run without them.
  void SetFormats(const AudioFormat* input, const AudioFormat* output) {
    input_ = input;
    output_ = output;
  }
  // Null when the output pin does not exist: the end of the stream is then a no-op.
  void SetOutlet(SampleOutlet* outlet) { outlet_ = outlet; }

  // A failure, or the engine's last success; kStateCleared when its
  // pre-filter cleared itself.
  HRESULT Receive(const InputSample& in);
  HRESULT EndOfStream();

  bool PendingDiscontinuity() const { return pendingDiscontinuity_ != 0; }
  bool PendingSync() const { return pendingSync_ != 0; }

 private:
  FrameProcessor& engine_;
  SampleOutlet* outlet_;
  const AudioFormat* input_ = nullptr;
  const AudioFormat* output_ = nullptr;

  // The last discontinuity's stamps wait for the first buffer that has output.
  std::int32_t pendingDiscontinuity_ = 0;
  std::int32_t pendingSync_ = 0;
  bool savedHasTime_ = false, savedHasMediaTime_ = false;
  std::int64_t savedStart_ = 0, savedStop_ = 0, savedMediaStart_ = 0, savedMediaStop_ = 0;
};

}  // namespace quill
