// Filters on our streaming machinery that put a filter under test between a
// source the test drives sample by sample and a sink that records what
// arrives.
#pragma once

#include <cstdint>
#include <vector>

#include "streaming/base_filter.h"
#include "streaming/media_type.h"
#include "streaming/pins.h"
#include "streaming/sink_filter.h"

namespace quill::test {

// {CAA7EC9B-79DA-49C4-8BAC-28EF17B760A2}
inline constexpr CLSID CLSID_TestPushSource = {
    0xcaa7ec9b, 0x79da, 0x49c4, {0x8b, 0xac, 0x28, 0xef, 0x17, 0xb7, 0x60, 0xa2}};
// {673FD7C0-5708-46D3-BA68-39A02D5B2261}
inline constexpr CLSID CLSID_TestCaptureSink = {
    0x673fd7c0, 0x5708, 0x46d3, {0xba, 0x68, 0x39, 0xa0, 0x2d, 0x5b, 0x22, 0x61}};

// An audio type with a wave format header; `formatBytes` may be cut short.
struct AudioType {
  GUID major = MEDIATYPE_Audio;
  bool temporalCompression = false;
  WAVEFORMATEX wave{};
  ULONG formatBytes = sizeof(WAVEFORMATEX);
};
AudioType MakeAudioType(WORD tag, WORD channels, DWORD rate, WORD bits);

class PushSource;

class PushPin final : public OutputPin {
 public:
  explicit PushPin(PushSource* source);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, AM_MEDIA_TYPE& type) override;

 protected:
  HRESULT DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) override;

 private:
  PushSource* source_;
};

// The test calls Push and PushEnd on its own thread while the graph runs.
class PushSource final : public BaseFilter {
 public:
  PushSource(const AudioType& type, long bufferSize, long bufferCount = 1, bool readOnly = false);
  ~PushSource() override;

  int PinCount() override { return 1; }
  BasePin* Pin(int index) override { return index == 0 ? &pin_ : nullptr; }
  PushPin& Output() { return pin_; }

  // Delivers one buffer: the whole buffer is first filled with `junk`, then
  // `length` bytes of `data` are copied in. Returns the delivery's result.
  HRESULT Push(const void* data, long length, bool discontinuity = false, BYTE junk = 0x33);
  // The same with time stamps (start and stop) and a sync point mark.
  HRESULT PushTimed(const void* data, long length, bool discontinuity, REFERENCE_TIME start, REFERENCE_TIME stop,
                    bool syncPoint = false);
  HRESULT PushEnd();
  IMediaSample* LastPushed() const { return lastPushed_; }

  const AM_MEDIA_TYPE& Offered() const { return type_; }
  long BufferSize() const { return bufferSize_; }
  long BufferCount() const { return bufferCount_; }
  bool ReadOnly() const { return readOnly_; }

 private:
  HRESULT Send(const void* data, long length, bool discontinuity, REFERENCE_TIME* start, REFERENCE_TIME* stop,
               bool syncPoint, BYTE junk);

  AM_MEDIA_TYPE type_{};
  WAVEFORMATEX wave_{};
  long bufferSize_;
  long bufferCount_;
  bool readOnly_;
  IMediaSample* lastPushed_ = nullptr;  // identity only, not counted
  PushPin pin_;
};

struct Captured {
  IMediaSample* sample;  // identity only
  std::vector<std::uint8_t> bytes;
  long size;
  bool discontinuity;
  bool syncPoint = false;
  bool hasTime = false;
  REFERENCE_TIME start = 0, stop = 0;
};

class CaptureSink final : public SinkFilter {
 public:
  CaptureSink() : SinkFilter(L"Capture", CLSID_TestCaptureSink, nullptr) {}
  HRESULT CheckType(const AM_MEDIA_TYPE& type) override;
  HRESULT OnSample(IMediaSample* sample) override;
  HRESULT OnStreamEnd() override;

  std::vector<Captured> samples;
  int endOfStreams = 0;
  // How many samples had arrived when the end of the stream did.
  size_t samplesAtEnd = 0;
  // Bytes of all samples from `first` on, joined.
  std::vector<std::uint8_t> Joined(size_t first = 0) const;
};

}  // namespace quill::test
