// Runs one WAVE file through one effect in a real filter graph: the
// platform's file source and wave parser, the effect created by class
// identifier, and our WAV writer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "effects.h"
#include "wav_file.h"

namespace quill {

struct GraphJob {
  const HostEffect* effect = nullptr;
  std::wstring input;
  std::string presetArg;                                     // index or exact name; empty: none
  std::vector<std::pair<std::string, std::int32_t>> fields;  // applied after the preset
};

struct GraphResult {
  std::string presetName;  // the preset applied, if any
  WavData output;
  std::uint32_t buffers = 0;
};

// S_OK or the first failure, with what failed in `step`.
HRESULT RunEffectGraph(const GraphJob& job, GraphResult& result, std::string& step);

}  // namespace quill
