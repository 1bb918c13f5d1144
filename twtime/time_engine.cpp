#include "twtime/time_engine.h"

#include "framework/sample_block.h"

namespace quill {

HRESULT TimeEngine::GetSampleRate(std::uint32_t* rate) {
  return ShownSampleRate(rate);
}

HRESULT TimeEngine::SelectFormat(const AudioFormat* format) {
  if (format == nullptr) return E_POINTER;
  const std::optional<SampleKind> found = CopyingKindOf(*format);
  if (!found) return E_FAIL;
  const SampleKind kind = *found;
  if (FAILED(stretcher_.SelectKinds(kind, kind, format->channels))) return E_FAIL;
  selected_ = format;
  SetFormat(format);
  // The buffers for the widest window at this rate, so that a new mode while
  // streaming takes nothing new.
  if (FAILED(stretcher_.Reserve(format->sampleRate))) return E_OUTOFMEMORY;
  return Restart();
}

HRESULT TimeEngine::ConfigureWith(const TimeParams& p) {
  if (selected_ == nullptr) return VFW_E_NOT_CONNECTED;
  return stretcher_.Configure(selected_->sampleRate, p.mode, p.finalTenths * 0.001);
}

HRESULT TimeEngine::Restart() {
  stretcher_.RequestFull();
  TimeParams snapshot;
  bool full;
  TakeSnapshot(snapshot, full);  // this restart is the full set-up any request asked for
  const HRESULT hr = ConfigureWith(snapshot);
  stretcher_.BeginStream();
  started_ = 0;
  return hr;
}

HRESULT TimeEngine::Process(ProcessMode mode, const void* in, std::uint32_t* inFrames, void* out,
                            std::uint32_t* outFrames) {
  const auto nothing = [&](HRESULT hr) {
    if (inFrames != nullptr) *inFrames = 0;
    if (outFrames != nullptr) *outFrames = 0;
    return hr;
  };
  const bool tail = mode == ProcessMode::Tail;
  stretcher_.SetTail(tail);
  if (tail) {
    // A flush neither restarts nor configures; without buffers there is
    // nothing to flush. Changes wait for the next stream.
    if (!stretcher_.Configured()) return nothing(S_FALSE);
  } else {
    TimeParams snapshot;
    bool full;
    const bool changed = TakeSnapshot(snapshot, full);
    if (full) stretcher_.RequestFull();  // a new mode or a whole-block set
    HRESULT hr = S_OK;
    switch (StartOf(mode, started_ != 0, changed, stretcher_.Configured())) {
      case BufferStart::Restart:
        hr = Restart();
        break;
      case BufferStart::SetUp:
        hr = ConfigureWith(snapshot);
        break;
      case BufferStart::Run:
        break;
    }
    if (FAILED(hr)) return nothing(hr);
  }
  started_ = 1;
  const HRESULT hr = stretcher_.Run(in, inFrames, out, outFrames);
  if (SUCCEEDED(hr) && outFrames != nullptr)
    KeepFinite(*CopyingKindOf(*selected_), out, static_cast<std::size_t>(*outFrames) * selected_->channels);
  return hr;
}

}  // namespace quill
