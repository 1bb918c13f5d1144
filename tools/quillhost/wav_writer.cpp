#include "tools/quillhost/wav_writer.h"

namespace quill {

HRESULT WavWriter::CheckType(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Audio || type.formattype != FORMAT_WaveFormatEx) return VFW_E_TYPE_NOT_ACCEPTED;
  if (type.pbFormat == nullptr || type.cbFormat < sizeof(PCMWAVEFORMAT)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT WavWriter::OnSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  const long length = sample->GetActualDataLength();
  if (length > 0) bytes_.insert(bytes_.end(), data, data + length);
  ++buffers_;
  return S_OK;
}

bool WavWriter::Collected(WavData& out) const {
  if (!Input().IsConnected()) return false;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(Input().ConnectionType().pbFormat);
  out.format = MakeFormat(wave->wFormatTag, wave->nChannels, wave->nSamplesPerSec, wave->wBitsPerSample);
  out.bytes = bytes_;
  return true;
}

}  // namespace quill
