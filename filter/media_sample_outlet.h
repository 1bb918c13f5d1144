// The copying loop's view of the platform: an output pin's media samples as
// OutputSample, and the pin itself as SampleOutlet.
#pragma once

#include "dsp/copying_loop.h"
#include "streaming/pins.h"

namespace quill {

class MediaSampleOutput final : public OutputSample {
 public:
  // Takes over the reference on `sample`.
  HRESULT Attach(IMediaSample* sample);
  void Detach();
  bool InUse() const { return sample_ != nullptr; }
  IMediaSample* Sample() const { return sample_; }

  std::uint8_t* Data() override { return data_; }
  std::uint32_t Size() override { return size_; }
  HRESULT SetActualLength(std::uint32_t bytes) override;
  HRESULT SetDiscontinuity(bool on) override;
  HRESULT SetSyncPoint(bool on) override;
  HRESULT SetTime(const std::int64_t* start, const std::int64_t* stop) override;
  HRESULT SetMediaTime(const std::int64_t* start, const std::int64_t* stop) override;

 private:
  IMediaSample* sample_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::uint32_t size_ = 0;
};

class PinOutlet final : public SampleOutlet {
 public:
  // `typeOfOutput` gives the type attached to samples when the two pins'
  // formats differ.
  using TypeSource = HRESULT (*)(void* context, AM_MEDIA_TYPE& type);
  PinOutlet(OutputPin& pin, TypeSource typeOfOutput, void* context)
      : pin_(pin), typeOfOutput_(typeOfOutput), context_(context) {}
  ~PinOutlet() override { slot_.Detach(); }

  HRESULT GetDeliveryBuffer(OutputSample** sample) override;
  HRESULT Deliver(OutputSample* sample) override;
  void Release(OutputSample* sample) override;
  HRESULT AttachMediaType(OutputSample* sample) override;
  HRESULT DeliverEndOfStream() override;

  // Reads an input sample's pointer, length, marks and stamps.
  static HRESULT Describe(IMediaSample* sample, InputSample& in);

 private:
  OutputPin& pin_;
  TypeSource typeOfOutput_;
  void* context_;
  // The loop holds one output sample at a time.
  MediaSampleOutput slot_;
};

}  // namespace quill
