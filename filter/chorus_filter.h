// The chorus as a filter. It has no tail: the end of the stream goes on at
// once, and its lines stay with the engine from one run to the next.
#pragma once

#include "filter/effect_filter.h"
#include "twchorus/chorus_engine.h"

namespace quill {

struct ChorusEffect {
  using Engine = ChorusEngine;
  using Interface = IChorusParams;
  static constexpr const CLSID& kClassId = CLSID_TwChorus;
  static constexpr const IID& kInterfaceId = IID_IChorusParams;
  static constexpr const wchar_t* kName = L"Tarnwell Chorus";
};

using ChorusFilter = EffectFilter<ChorusEffect>;

}  // namespace quill
