// Runs one WAVE file through one effect in a real filter graph: the
// platform's file source and wave parser, the effect created by class
// identifier, and our WAV writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "streaming/platform.h"
#include "tools/common/effect_catalog.h"
#include "tools/common/wav_file.h"
#include "tools/quillhost/com_ref.h"

namespace quill {

struct GraphJob {
  const HostEffect* effect = nullptr;
  std::wstring input;
  std::string presetArg;          // index or name; empty: none
  std::vector<FieldEdit> fields;  // applied after the preset, in one SetParams
};

struct GraphResult {
  std::string presetName;      // the preset applied, if any
  bool unknownPreset = false;  // presetArg is neither an index nor a name
  // Field edits the effect clamped, or kept although they name no table row.
  std::vector<FieldEdit> notable;
  WavData output;
  std::uint32_t buffers = 0;
};

// A new instance of the effect by class identifier, through the registry.
HRESULT CreateEffect(const HostEffect& effect, ComRef<IBaseFilter>& filter, std::string& step);

// The job's preset, then its field edits in one SetParams. S_OK or the
// first failure, with what failed in `step`.
HRESULT ConfigureEffect(IBaseFilter* effect, const GraphJob& job, GraphResult& result, std::string& step);

// Streams the job's input through `effect` as it is now configured and
// collects the output. S_OK or the first failure, with what failed in `step`.
HRESULT RunEffectGraph(const GraphJob& job, IBaseFilter* effect, GraphResult& result, std::string& step);

// The effect's built-in presets in index order, read from a new instance.
HRESULT ListPresets(const HostEffect& effect, std::vector<std::string>& names, std::string& step);

}  // namespace quill
