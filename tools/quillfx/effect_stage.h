// One effect of a processing chain, run natively the way its filter runs it
// in a graph: the in-place effects process each block where it lies and add
// their tail in silent blocks at the end; the copying effects (time, pitch)
// go through the copying filters' own buffer loop, pre-filter included, and
// are drained at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/audio_format.h"
#include "dsp/frame_outlet.h"
#include "tools/common/effect_catalog.h"

namespace quill {


class EffectStage {
 public:
  virtual ~EffectStage() = default;

  // The engine's parameter interface (for the catalog's GetParams and
  // SetParams) and its presets.
  virtual IUnknown* Params() = 0;
  virtual IEffectPresets* Presets() = 0;

  // Streaming start with the chain's format, which outlives the stage's use.
  virtual HRESULT Start(const AudioFormat* format) = 0;
  // One input block; `data` may be changed in place. kStateCleared when
  // the effect cleared a line or filter of a NaN or an infinity (the
  // sink's own successes are not passed on).
  virtual HRESULT Feed(std::uint8_t* data, std::uint32_t frames, const FrameSink& sink) = 0;
  // The end of the stream: the tail or the flush, in blocks; kStateCleared as for Feed.
  virtual HRESULT Finish(const FrameSink& sink) = 0;
};

struct NativeEffect {
  const HostEffect* catalog;
  const char* summary;  // one line on what the effect does
  // What the end of the stream adds: "tail", "flush" or "nothing".
  const char* ending;
  // A fresh engine in its default preset, for blocks of `blockFrames`.
  std::unique_ptr<EffectStage> (*create)(std::uint32_t blockFrames);
};

// The effects built into this program, in the catalog's order.
const std::vector<NativeEffect>& NativeEffects();
// By internal name or alias, case-insensitive; null if unknown.
const NativeEffect* FindNativeEffect(const std::string& name);

}  // namespace quill
