#include "filter/copying_filter.h"

namespace quill {

namespace {

MediaTypeView ViewOf(const AM_MEDIA_TYPE& type) {
  return MediaTypeView{type.majortype, type.bTemporalCompression != FALSE, type.pbFormat,
                       type.pbFormat != nullptr ? static_cast<std::uint32_t>(type.cbFormat) : 0u};
}

constexpr ULONG kWaveHeaderBytes = 16;

bool UsableAudio(const AM_MEDIA_TYPE& type) {
  return type.majortype == kMediaTypeAudio && type.pbFormat != nullptr && type.cbFormat >= kWaveHeaderBytes &&
         type.bTemporalCompression == FALSE;
}

}  // namespace

HRESULT CheckCopyingInput(const AM_MEDIA_TYPE& type) {
  return CheckAudioType(ViewOf(type));
}

HRESULT CheckCopyingTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) {
  if (!UsableAudio(input) || !UsableAudio(output)) return E_INVALIDARG;
  WAVEFORMATEX in{}, out{};
  std::memcpy(&in, input.pbFormat, kWaveHeaderBytes);
  std::memcpy(&out, output.pbFormat, kWaveHeaderBytes);
  if (in.wFormatTag != out.wFormatTag || in.wBitsPerSample != out.wBitsPerSample ||
      in.nSamplesPerSec != out.nSamplesPerSec || in.nChannels != out.nChannels)
    return E_INVALIDARG;
  if (in.nChannels != 1 && in.nChannels != 2) return E_INVALIDARG;
  return S_OK;
}

HRESULT CopyingOutputType(bool inputConnected, const AM_MEDIA_TYPE& input, int position, AM_MEDIA_TYPE& type) {
  if (!inputConnected) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  HRESULT hr = CopyMediaType(type, input);
  if (FAILED(hr)) return hr;
  if (type.pbFormat == nullptr || type.cbFormat < kWaveHeaderBytes) return S_OK;
  auto* wave = reinterpret_cast<WAVEFORMATEX*>(type.pbFormat);
  // The output carries no format extension of its own.
  if (type.cbFormat >= sizeof(WAVEFORMATEX)) wave->cbSize = 0;
  const AudioFormat kept = CaptureFormat(ViewOf(type));
  wave->nBlockAlign = kept.blockAlign;
  wave->nAvgBytesPerSec = kept.avgBytesPerSec;
  return S_OK;
}

AudioFormat CaptureCopyingFormat(const AM_MEDIA_TYPE& type) {
  return CaptureFormat(ViewOf(type));
}

}  // namespace quill
