// The copying loop's output pin over plain memory: buffers of a fixed size
// from a small pool, each delivered as whole frames to a sink function.
// Time stamps and media types mean nothing here. quillfx and the tests drive
// the time and pitch engines through the same loop as the filter with it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dsp/copying_loop.h"

namespace quill {

// Receives whole frames, which it may change in place.
using FrameSink = std::function<HRESULT(std::uint8_t* data, std::uint32_t frames)>;

class FrameOutlet final : public SampleOutlet {
 public:
  FrameOutlet();
  ~FrameOutlet() override;
  FrameOutlet(const FrameOutlet&) = delete;
  FrameOutlet& operator=(const FrameOutlet&) = delete;

  // Buffers of `bytes` bytes for frames of `align` bytes; forgets the pool.
  void SetBuffer(std::size_t bytes, std::uint32_t align);
  // Where delivered frames go; null refuses delivery.
  void SetSink(const FrameSink* sink) { sink_ = sink; }

  HRESULT GetDeliveryBuffer(OutputSample** sample) override;
  HRESULT Deliver(OutputSample* sample) override;
  void Release(OutputSample* sample) override;
  HRESULT AttachMediaType(OutputSample*) override { return S_OK; }
  HRESULT DeliverEndOfStream() override { return S_OK; }

 private:
  class Buffer;
  std::size_t bytes_ = 0;
  std::uint32_t align_ = 0;
  const FrameSink* sink_ = nullptr;
  std::vector<std::unique_ptr<Buffer>> free_;
};

}  // namespace quill
