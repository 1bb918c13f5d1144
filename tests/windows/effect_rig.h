// A filter of the module in a real filter graph, between a source the test
// drives buffer by buffer and a sink that records what arrives.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/windows/test_filters.h"

namespace quill::test {

// -6.0 dB: the default presets' dry level, and the echo level of the simple
// and multi-tap delays.
inline const double kGain = std::pow(10.0, -60 * 0.005);

// A normalised sample as the engines write it to 16 bits (truncated).
inline std::int16_t Pcm16Of(double y) {
  return static_cast<std::int16_t>(std::trunc(y * 32768.0));
}
inline double Normalised(std::int16_t s) {
  return s * 3.0517578125e-5;
}
// Captured bytes as 16-bit samples.
inline std::vector<std::int16_t> Int16s(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

IPin* FindPinOf(IBaseFilter* filter, const wchar_t* id);
IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

class EffectRig : public ::testing::Test {
 protected:
  // Source, the module's filter `clsid` (created through its class factory)
  // and sink in a graph without a clock; `paramsIid` is queried into params_.
  void BuildRig(const CLSID& clsid, const IID& paramsIid, const AudioType& type, long bufferSize, long bufferCount = 1,
                bool readOnly = false);

  HRESULT ConnectInput() { return graph_->ConnectDirect(&source_->Output(), effectIn_, nullptr); }
  HRESULT ConnectOutput() { return graph_->ConnectDirect(effectOut_, &sink_->Input(), nullptr); }

  void Run();
  void Stop();

  // Releases the graph and everything in it; the module must have nothing
  // left alive afterwards.
  void Dismantle();

  void TearDown() override { Dismantle(); }

  IGraphBuilder* graph_ = nullptr;
  PushSource* source_ = nullptr;
  CaptureSink* sink_ = nullptr;
  IBaseFilter* effect_ = nullptr;
  IUnknown* rigParams_ = nullptr;  // the effect's parameter interface
  IPin* effectIn_ = nullptr;
  IPin* effectOut_ = nullptr;
};

}  // namespace quill::test
