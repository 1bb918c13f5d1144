// The reference host's sink: collects the stream it receives and writes it
// as a WAVE file when the graph has finished.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "streaming/sink_filter.h"
#include "tools/common/wav_file.h"

namespace quill {

// {54AAC8D8-7093-4AB1-8ADE-044A2FFF5318}
inline constexpr CLSID CLSID_QuillWavWriter = {
    0x54aac8d8, 0x7093, 0x4ab1, {0x8a, 0xde, 0x04, 0x4a, 0x2f, 0xff, 0x53, 0x18}};

class WavWriter final : public SinkFilter {
 public:
  WavWriter() : SinkFilter(L"WAV Writer", CLSID_QuillWavWriter, nullptr) {}

  HRESULT CheckType(const AM_MEDIA_TYPE& type) override;
  HRESULT OnSample(IMediaSample* sample) override;

  // What arrived, with the connection's format; false before a connection.
  bool Collected(WavData& out) const;
  std::uint32_t Buffers() const { return buffers_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t buffers_ = 0;
};

}  // namespace quill
