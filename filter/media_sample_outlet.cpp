#include "filter/media_sample_outlet.h"

#include "streaming/media_type.h"

namespace quill {

HRESULT MediaSampleOutput::Attach(IMediaSample* sample) {
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  const long size = sample->GetSize();
  if (FAILED(hr) || data == nullptr || size < 0) {
    sample->Release();
    return FAILED(hr) ? hr : E_UNEXPECTED;
  }
  sample_ = sample;
  data_ = data;
  size_ = static_cast<std::uint32_t>(size);
  return S_OK;
}

void MediaSampleOutput::Detach() {
  if (sample_ != nullptr) sample_->Release();
  sample_ = nullptr;
  data_ = nullptr;
  size_ = 0;
}

HRESULT MediaSampleOutput::SetActualLength(std::uint32_t bytes) {
  return sample_->SetActualDataLength(static_cast<long>(bytes));
}
HRESULT MediaSampleOutput::SetDiscontinuity(bool on) {
  return sample_->SetDiscontinuity(on ? TRUE : FALSE);
}
HRESULT MediaSampleOutput::SetSyncPoint(bool on) {
  return sample_->SetSyncPoint(on ? TRUE : FALSE);
}

HRESULT MediaSampleOutput::SetTime(const std::int64_t* start, const std::int64_t* stop) {
  REFERENCE_TIME s = start != nullptr ? *start : 0, e = stop != nullptr ? *stop : 0;
  return sample_->SetTime(start != nullptr ? &s : nullptr, stop != nullptr ? &e : nullptr);
}

HRESULT MediaSampleOutput::SetMediaTime(const std::int64_t* start, const std::int64_t* stop) {
  LONGLONG s = start != nullptr ? *start : 0, e = stop != nullptr ? *stop : 0;
  return sample_->SetMediaTime(start != nullptr ? &s : nullptr, stop != nullptr ? &e : nullptr);
}

// ---------------------------------------------------------------------------
HRESULT PinOutlet::GetDeliveryBuffer(OutputSample** sample) {
  *sample = nullptr;
  if (slot_.InUse()) return E_UNEXPECTED;
  IMediaSample* fresh = nullptr;
  HRESULT hr = pin_.GetDeliveryBuffer(&fresh, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  // A recycled buffer may keep the marks of its last trip.
  hr = fresh->SetDiscontinuity(FALSE);
  if (SUCCEEDED(hr)) hr = fresh->SetSyncPoint(FALSE);
  if (SUCCEEDED(hr)) hr = fresh->SetTime(nullptr, nullptr);
  if (SUCCEEDED(hr)) hr = fresh->SetMediaTime(nullptr, nullptr);
  if (FAILED(hr)) {
    fresh->Release();
    return hr;
  }
  hr = slot_.Attach(fresh);
  if (FAILED(hr)) return hr;
  *sample = &slot_;
  return S_OK;
}

HRESULT PinOutlet::Deliver(OutputSample* sample) {
  if (sample != &slot_ || !slot_.InUse()) return E_UNEXPECTED;
  return pin_.Deliver(slot_.Sample());
}

void PinOutlet::Release(OutputSample* sample) {
  if (sample == &slot_) slot_.Detach();
}

HRESULT PinOutlet::AttachMediaType(OutputSample* sample) {
  if (sample != &slot_ || !slot_.InUse()) return E_UNEXPECTED;
  AM_MEDIA_TYPE type{};
  HRESULT hr = typeOfOutput_(context_, type);
  if (hr != S_OK) return FAILED(hr) ? hr : E_UNEXPECTED;
  hr = slot_.Sample()->SetMediaType(&type);
  FreeMediaType(type);
  return hr;
}

HRESULT PinOutlet::DeliverEndOfStream() {
  return pin_.DeliverEndOfStream();
}

HRESULT PinOutlet::Describe(IMediaSample* sample, InputSample& in) {
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  const long length = sample->GetActualDataLength();
  in.data = data;
  in.length = length > 0 ? static_cast<std::uint32_t>(length) : 0;
  in.discontinuity = sample->IsDiscontinuity() == S_OK;
  in.syncPoint = sample->IsSyncPoint() == S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  hr = sample->GetTime(&start, &stop);
  in.hasTime = SUCCEEDED(hr);
  in.start = in.hasTime ? start : 0;
  in.stop = in.hasTime ? stop : 0;
  LONGLONG mediaStart = 0, mediaStop = 0;
  hr = sample->GetMediaTime(&mediaStart, &mediaStop);
  in.hasMediaTime = SUCCEEDED(hr);
  in.mediaStart = in.hasMediaTime ? mediaStart : 0;
  in.mediaStop = in.hasMediaTime ? mediaStop : 0;
  return S_OK;
}

}  // namespace quill
