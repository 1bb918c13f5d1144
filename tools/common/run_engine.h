// Whole clips through the engines, as the filters run them in a graph.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/audio_format.h"
#include "framework/in_place_stream.h"
#include "dsp/copying_loop.h"
#include "dsp/frame_outlet.h"
#include "tools/common/wav_file.h"

namespace quill {

struct RunStats {
  std::uint32_t framesIn = 0;
  std::uint32_t framesOut = 0;
  std::uint32_t tailFrames = 0;
  double peak = 0.0;  // largest absolute output sample, full scale 1.0
};

double PeakOf(const WavData& data);

// Drives an in-place engine over a whole clip as the filter does in a graph:
// a start, one call per block, then the tail until the engine reports it
// complete.
template <class Engine>
HRESULT RunInPlace(Engine& engine, const WavData& in, WavData& out, std::uint32_t blockFrames, RunStats& stats) {
  const auto kind = SampleKindOf(in.format);
  if (!kind || blockFrames == 0) return E_INVALIDARG;
  out.format = in.format;
  out.bytes = in.bytes;
  InPlaceStream<Engine> stream(engine);
  HRESULT hr = stream.Start(&out.format);
  if (FAILED(hr)) return hr;

  const std::uint32_t align = in.format.blockAlign;
  const std::uint32_t frames = in.Frames();
  for (std::uint32_t at = 0; at < frames; at += blockFrames) {
    std::uint32_t n = std::min(blockFrames, frames - at);
    hr = stream.Receive(out.bytes.data() + static_cast<std::size_t>(at) * align, &n);
    if (FAILED(hr)) return hr;
  }
  stats.framesIn = frames;
  hr = stream.PlayTail(out.bytes, blockFrames);
  if (FAILED(hr)) return hr;
  stats.framesOut = out.Frames();
  stats.tailFrames = stats.framesOut - frames;
  stats.peak = PeakOf(out);
  return S_OK;
}

// Drives a copying engine (time or pitch) over a whole clip through the
// copying filters' own loop: blocks of blockFrames, the first marked as a
// discontinuity, then the flush. `in` stays as it is.
template <class Engine>
HRESULT RunCopying(Engine& engine, const WavData& in, WavData& out, std::uint32_t blockFrames) {
  if (blockFrames == 0) return E_INVALIDARG;
  out.format = in.format;
  out.bytes.clear();
  const std::uint32_t align = in.format.blockAlign;
  FrameOutlet outlet;
  outlet.SetBuffer(std::max<std::size_t>(512, 4 * static_cast<std::size_t>(blockFrames) * align), align);
  const FrameSink keep = [&](std::uint8_t* data, std::uint32_t frames) {
    out.bytes.insert(out.bytes.end(), data, data + static_cast<std::size_t>(frames) * align);
    return S_OK;
  };
  outlet.SetSink(&keep);
  CopyingLoop loop(engine, outlet);
  loop.SetFormats(&out.format, &out.format);
  HRESULT hr = engine.SelectFormat(&out.format);
  if (FAILED(hr)) return hr;
  std::vector<std::uint8_t> block;
  for (std::uint32_t pos = 0; pos < in.Frames();) {
    const std::uint32_t n = std::min(blockFrames, in.Frames() - pos);
    block.assign(in.bytes.begin() + static_cast<std::ptrdiff_t>(pos) * align,
                 in.bytes.begin() + static_cast<std::ptrdiff_t>(pos + n) * align);
    InputSample sample;
    sample.data = block.data();
    sample.length = n * align;
    sample.discontinuity = pos == 0;
    hr = loop.Receive(sample);
    if (FAILED(hr)) return hr;
    pos += n;
  }
  return loop.EndOfStream();
}

}  // namespace quill
