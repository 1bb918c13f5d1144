#include "tests/windows/test_filters.h"

#include <cstring>

namespace quill::test {

AudioType MakeAudioType(WORD tag, WORD channels, DWORD rate, WORD bits) {
  AudioType t;
  t.wave.wFormatTag = tag;
  t.wave.nChannels = channels;
  t.wave.nSamplesPerSec = rate;
  t.wave.wBitsPerSample = bits;
  t.wave.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
  t.wave.nAvgBytesPerSec = t.wave.nBlockAlign * rate;
  return t;
}

// ---------------------------------------------------------------------------
PushPin::PushPin(PushSource* source) : OutputPin(source, L"Out"), source_(source) {}

HRESULT PushPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return SameMediaType(type, source_->Offered()) ? S_OK : S_FALSE;
}

HRESULT PushPin::GetMediaType(int index, AM_MEDIA_TYPE& type) {
  if (index != 0) return VFW_S_NO_MORE_ITEMS;
  return CopyMediaType(type, source_->Offered());
}

HRESULT PushPin::DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  IMemAllocator* candidate = nullptr;
  HRESULT hr = peer->GetAllocator(&candidate);
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES wanted{source_->BufferCount(), source_->BufferSize(), 1, 0};
  ALLOCATOR_PROPERTIES granted{};
  hr = candidate->SetProperties(&wanted, &granted);
  if (SUCCEEDED(hr)) hr = peer->NotifyAllocator(candidate, source_->ReadOnly() ? TRUE : FALSE);
  if (FAILED(hr)) {
    candidate->Release();
    return hr;
  }
  *allocator = candidate;
  *owned = true;
  return S_OK;
}

// ---------------------------------------------------------------------------
PushSource::PushSource(const AudioType& type, long bufferSize, long bufferCount, bool readOnly)
    : BaseFilter(L"Push source", CLSID_TestPushSource, nullptr),
      wave_(type.wave),
      bufferSize_(bufferSize),
      bufferCount_(bufferCount),
      readOnly_(readOnly),
      pin_(this) {
  type_.majortype = type.major;
  type_.subtype = MEDIASUBTYPE_PCM;
  type_.formattype = FORMAT_WaveFormatEx;
  type_.bFixedSizeSamples = TRUE;
  type_.bTemporalCompression = type.temporalCompression ? TRUE : FALSE;
  type_.lSampleSize = type.wave.nBlockAlign;
  type_.cbFormat = type.formatBytes;
  type_.pbFormat = reinterpret_cast<BYTE*>(&wave_);
}

PushSource::~PushSource() = default;

HRESULT PushSource::Push(const void* data, long length, bool discontinuity, BYTE junk) {
  return Send(data, length, discontinuity, nullptr, nullptr, false, junk);
}

HRESULT PushSource::PushTimed(const void* data, long length, bool discontinuity, REFERENCE_TIME start,
                              REFERENCE_TIME stop, bool syncPoint) {
  return Send(data, length, discontinuity, &start, &stop, syncPoint, 0x33);
}

HRESULT PushSource::Send(const void* data, long length, bool discontinuity, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                         bool syncPoint, BYTE junk) {
  IMediaSample* sample = nullptr;
  HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* buffer = nullptr;
  hr = sample->GetPointer(&buffer);
  if (SUCCEEDED(hr)) {
    std::memset(buffer, junk, static_cast<size_t>(sample->GetSize()));
    std::memcpy(buffer, data, static_cast<size_t>(length));
    hr = sample->SetActualDataLength(length);
  }
  if (SUCCEEDED(hr)) hr = sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
  if (SUCCEEDED(hr)) hr = sample->SetSyncPoint(syncPoint ? TRUE : FALSE);
  if (SUCCEEDED(hr)) hr = sample->SetTime(start, stop);
  lastPushed_ = sample;
  if (SUCCEEDED(hr)) hr = pin_.Deliver(sample);
  sample->Release();
  return hr;
}

HRESULT PushSource::PushEnd() {
  return pin_.DeliverEndOfStream();
}

// ---------------------------------------------------------------------------
HRESULT CaptureSink::CheckType(const AM_MEDIA_TYPE& type) {
  return type.majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CaptureSink::OnSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  Captured c{sample, {}, sample->GetSize(), sample->IsDiscontinuity() == S_OK};
  c.syncPoint = sample->IsSyncPoint() == S_OK;
  c.hasTime = SUCCEEDED(sample->GetTime(&c.start, &c.stop));
  c.bytes.assign(data, data + sample->GetActualDataLength());
  samples.push_back(std::move(c));
  return S_OK;
}

HRESULT CaptureSink::OnStreamEnd() {
  ++endOfStreams;
  samplesAtEnd = samples.size();
  return S_OK;
}

std::vector<std::uint8_t> CaptureSink::Joined(size_t first) const {
  std::vector<std::uint8_t> out;
  for (size_t i = first; i < samples.size(); ++i)
    out.insert(out.end(), samples[i].bytes.begin(), samples[i].bytes.end());
  return out;
}

}  // namespace quill::test
