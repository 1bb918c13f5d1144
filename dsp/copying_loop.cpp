#include "dsp/copying_loop.h"

#include "framework/flush_denormals.h"

namespace quill {

namespace {

bool MonoOrStereo(const AudioFormat& f) {
  return f.channels == 1 || f.channels == 2;
}

}  // namespace

HRESULT CopyingLoop::Receive(const InputSample& in) {
  if (outlet_ == nullptr || input_ == nullptr || output_ == nullptr) return VFW_E_NOT_CONNECTED;
  const std::uint32_t inAlign = input_->blockAlign, outAlign = output_->blockAlign;
  if (inAlign == 0 || outAlign == 0) return VFW_E_NOT_CONNECTED;
  if (in.data == nullptr && in.length != 0) return E_POINTER;
  const FlushDenormals flush;

  OutputSample* sample = nullptr;
  HRESULT hr = outlet_->GetDeliveryBuffer(&sample);
  if (FAILED(hr)) return hr;

  ProcessMode mode = in.discontinuity ? ProcessMode::Discontinuity : ProcessMode::Continue;
  if (in.syncPoint) pendingSync_ = 1;
  if (mode == ProcessMode::Discontinuity) {
    pendingDiscontinuity_ = 1;
    savedHasTime_ = in.hasTime;
    savedStart_ = in.start;
    savedStop_ = in.stop;
    savedHasMediaTime_ = in.hasMediaTime;
    savedMediaStart_ = in.mediaStart;
    savedMediaStop_ = in.mediaStop;
  }

  std::uint8_t* data = in.data;
  std::uint32_t frames = in.length / inAlign;  // a trailing partial frame is dropped

  if (input_->channels != output_->channels || !MonoOrStereo(*input_) || !MonoOrStereo(*output_)) {
    hr = outlet_->AttachMediaType(sample);
    if (FAILED(hr)) {
      outlet_->Release(sample);
      return hr;
    }
  }

  hr = engine_.PreFilter(mode, data, frames);
  if (FAILED(hr)) {
    outlet_->Release(sample);
    return hr;
  }
  const bool cleared = hr == kStateCleared;

  for (;;) {
    std::uint32_t outFrames = sample->Size() / outAlign;
    std::uint32_t inFrames = frames;
    hr = engine_.Process(mode, data, &inFrames, sample->Data(), &outFrames);
    if (FAILED(hr)) break;

    bool delivered = false;
    if (outFrames > 0) {
      if (pendingDiscontinuity_ != 0) {
        sample->SetDiscontinuity(true);
        sample->SetTime(savedHasTime_ ? &savedStart_ : nullptr, savedHasTime_ ? &savedStop_ : nullptr);
        sample->SetMediaTime(savedHasMediaTime_ ? &savedMediaStart_ : nullptr,
                             savedHasMediaTime_ ? &savedMediaStop_ : nullptr);
        pendingDiscontinuity_ = 0;
      }
      if (pendingSync_ != 0) {
        sample->SetSyncPoint(true);
        pendingSync_ = 0;
      }
      sample->SetActualLength(outFrames * outAlign);
      hr = outlet_->Deliver(sample);
      if (FAILED(hr)) break;
      delivered = true;
    }

    if (inFrames >= frames) break;  // every whole frame taken
    if (!delivered && inFrames == 0) {
      // Neither input taken nor output made: the output buffers cannot
      // hold a frame.
      hr = E_UNEXPECTED;
      break;
    }
    data += static_cast<std::size_t>(inFrames) * inAlign;
    frames -= inFrames;
    mode = ProcessMode::Continue;

    // A buffer that received nothing is filled further instead.
    if (delivered) {
      outlet_->Release(sample);
      sample = nullptr;
      hr = outlet_->GetDeliveryBuffer(&sample);
      if (FAILED(hr)) return hr;
    }
  }
  outlet_->Release(sample);
  return cleared && SUCCEEDED(hr) ? kStateCleared : hr;
}

HRESULT CopyingLoop::EndOfStream() {
  if (outlet_ == nullptr) return S_OK;
  const FlushDenormals flush;
  const std::uint32_t outAlign = output_ != nullptr ? output_->blockAlign : 0;

  OutputSample* sample = nullptr;
  HRESULT hr = outlet_->GetDeliveryBuffer(&sample);
  if (FAILED(hr)) return hr;

  HRESULT failure = S_OK;
  if (outAlign != 0) {
    bool emptyBefore = false;
    for (;;) {
      std::uint32_t outFrames = sample->Size() / outAlign;
      hr = engine_.Process(ProcessMode::Tail, nullptr, nullptr, sample->Data(), &outFrames);
      if (FAILED(hr)) {
        failure = hr;
        break;
      }
      if (hr == S_FALSE) {
        if (outFrames > 0) {
          sample->SetActualLength(outFrames * outAlign);
          hr = outlet_->Deliver(sample);
          if (FAILED(hr)) failure = hr;
        }
        break;
      }
      // Flushed buffers carry no stamps; one that received nothing is kept.
      // Two empty answers in a row mean the engine holds nothing more.
      if (outFrames == 0) {
        if (emptyBefore) break;
        emptyBefore = true;
        continue;
      }
      emptyBefore = false;
      sample->SetActualLength(outFrames * outAlign);
      hr = outlet_->Deliver(sample);
      outlet_->Release(sample);
      sample = nullptr;
      if (FAILED(hr)) {
        failure = hr;
        break;
      }
      hr = outlet_->GetDeliveryBuffer(&sample);
      if (FAILED(hr)) return hr;
    }
  }
  if (sample != nullptr) outlet_->Release(sample);

  hr = outlet_->DeliverEndOfStream();
  return FAILED(failure) ? failure : hr;
}

}  // namespace quill
