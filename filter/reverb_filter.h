// The reverb as a filter; its tail lasts the decay time in whole seconds.
#pragma once

#include "filter/effect_filter.h"
#include "twreverb/reverb_engine.h"

namespace quill {

struct ReverbEffect {
  using Engine = ReverbEngine;
  using Interface = IReverbParams;
  static constexpr const CLSID& kClassId = CLSID_TwReverb;
  static constexpr const IID& kInterfaceId = IID_IReverbParams;
  static constexpr const wchar_t* kName = L"Tarnwell Reverb";
};

using ReverbFilter = EffectFilter<ReverbEffect>;

}  // namespace quill
