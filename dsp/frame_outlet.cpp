#include "dsp/frame_outlet.h"

namespace quill {

class FrameOutlet::Buffer final : public OutputSample {
 public:
  explicit Buffer(std::size_t bytes) : bytes_(bytes) {}
  std::uint8_t* Data() override { return bytes_.data(); }
  std::uint32_t Size() override { return static_cast<std::uint32_t>(bytes_.size()); }
  HRESULT SetActualLength(std::uint32_t bytes) override {
    if (bytes > bytes_.size()) return E_INVALIDARG;
    length_ = bytes;
    return S_OK;
  }
  HRESULT SetDiscontinuity(bool) override { return S_OK; }
  HRESULT SetSyncPoint(bool) override { return S_OK; }
  HRESULT SetTime(const std::int64_t*, const std::int64_t*) override { return S_OK; }
  HRESULT SetMediaTime(const std::int64_t*, const std::int64_t*) override { return S_OK; }
  std::uint32_t Length() const { return length_; }
  void Reset() { length_ = 0; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t length_ = 0;
};

FrameOutlet::FrameOutlet() = default;
FrameOutlet::~FrameOutlet() = default;

void FrameOutlet::SetBuffer(std::size_t bytes, std::uint32_t align) {
  bytes_ = bytes;
  align_ = align;
  free_.clear();
}

HRESULT FrameOutlet::GetDeliveryBuffer(OutputSample** sample) {
  if (sample == nullptr) return E_POINTER;
  if (free_.empty()) free_.push_back(std::make_unique<Buffer>(bytes_));
  Buffer* b = free_.back().release();
  free_.pop_back();
  b->Reset();
  *sample = b;
  return S_OK;
}

HRESULT FrameOutlet::Deliver(OutputSample* sample) {
  auto* b = static_cast<Buffer*>(sample);
  if (sink_ == nullptr || align_ == 0) return E_UNEXPECTED;
  return (*sink_)(b->Data(), b->Length() / align_);
}

void FrameOutlet::Release(OutputSample* sample) {
  free_.push_back(std::unique_ptr<Buffer>(static_cast<Buffer*>(sample)));
}

}  // namespace quill
