// Drives an in-place engine over a whole clip the way the filter does in a
// graph: Restart, one call per block, then silent tail blocks until the
// engine reports that the tail is complete.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/audio_format.h"
#include "tools/common/wav_file.h"

namespace quill {

struct RunStats {
  std::uint32_t framesIn = 0;
  std::uint32_t framesOut = 0;
  std::uint32_t tailFrames = 0;
  double peak = 0.0;  // largest absolute output sample, full scale 1.0
};

double PeakOf(const WavData& data);

template <class Engine>
HRESULT RunInPlace(Engine& engine, const WavData& in, WavData& out, std::uint32_t blockFrames, RunStats& stats) {
  const auto kind = SampleKindOf(in.format);
  if (!kind || blockFrames == 0) return E_INVALIDARG;
  out.format = in.format;
  out.bytes = in.bytes;
  engine.SetFormat(&out.format);
  HRESULT hr = engine.Restart();
  if (FAILED(hr)) return hr;

  const std::uint32_t align = in.format.blockAlign;
  const std::uint32_t frames = in.Frames();
  for (std::uint32_t at = 0; at < frames; at += blockFrames) {
    std::uint32_t n = std::min(blockFrames, frames - at);
    hr = engine.Process(*kind, ProcessMode::Continue, out.bytes.data() + static_cast<std::size_t>(at) * align, &n);
    if (FAILED(hr)) return hr;
  }
  stats.framesIn = frames;

  if (frames > 0) {
    const std::uint8_t silence = (*kind == SampleKind::Pcm8) ? 0x80 : 0x00;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockFrames) * align);
    do {
      std::fill(block.begin(), block.end(), silence);
      std::uint32_t n = blockFrames;
      hr = engine.Process(*kind, ProcessMode::Tail, block.data(), &n);
      if (FAILED(hr)) return hr;
      out.bytes.insert(out.bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n) * align);
      stats.tailFrames += n;
    } while (hr == S_OK);
  }
  stats.framesOut = out.Frames();
  stats.peak = PeakOf(out);
  return S_OK;
}

// Drives a copying engine (time or pitch) over a whole clip the way the
// copying filter does: the format selected, blocks of blockFrames, the
// first marked as a discontinuity, each pre-filtered once (on a copy: `in`
// stays as it is) and fed until used up, then the flush until the engine
// reports it complete.
template <class Engine>
HRESULT RunCopying(Engine& engine, const WavData& in, WavData& out, std::uint32_t blockFrames) {
  if (blockFrames == 0) return E_INVALIDARG;
  out.format = in.format;
  out.bytes.clear();
  AudioFormat format = in.format;
  HRESULT hr = engine.SelectFormat(&format);
  if (FAILED(hr)) return hr;
  const std::uint32_t align = format.blockAlign;
  constexpr std::uint32_t kRoom = 65536;
  std::vector<std::uint8_t> room(static_cast<std::size_t>(kRoom) * align);
  const auto keep = [&](std::uint32_t frames) {
    out.bytes.insert(out.bytes.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(frames) * align);
  };
  ProcessMode mode = ProcessMode::Discontinuity;
  std::vector<std::uint8_t> block;
  for (std::uint32_t pos = 0; pos < in.Frames();) {
    const std::uint32_t n = std::min(blockFrames, in.Frames() - pos);
    block.assign(in.bytes.begin() + static_cast<std::ptrdiff_t>(pos) * align,
                 in.bytes.begin() + static_cast<std::ptrdiff_t>(pos + n) * align);
    hr = engine.PreFilter(mode, block.data(), n);
    if (FAILED(hr)) return hr;
    for (std::uint32_t done = 0; done < n;) {
      std::uint32_t inFrames = n - done, outFrames = kRoom;
      hr = engine.Process(mode, block.data() + static_cast<std::size_t>(done) * align, &inFrames, room.data(),
                          &outFrames);
      if (FAILED(hr)) return hr;
      if (inFrames == 0 && outFrames == 0) return E_UNEXPECTED;  // no progress
      keep(outFrames);
      done += inFrames;
      mode = ProcessMode::Continue;
    }
    pos += n;
  }
  for (;;) {
    std::uint32_t outFrames = kRoom;
    hr = engine.Process(ProcessMode::Tail, nullptr, nullptr, room.data(), &outFrames);
    if (FAILED(hr)) return hr;
    keep(outFrames);
    if (hr != S_OK) return S_OK;
  }
}

}  // namespace quill
