// The simple delay as a filter.
#pragma once

#include "filter/effect_filter.h"
#include "twechos/simple_delay_engine.h"

namespace quill {

struct SimpleDelayEffect {
  using Engine = SimpleDelayEngine;
  using Interface = ISimpleDelayParams;
  static constexpr const CLSID& kClassId = CLSID_TwEchos;
  static constexpr const IID& kInterfaceId = IID_ISimpleDelayParams;
  static constexpr const wchar_t* kName = L"Tarnwell Simple Delay";
};

using SimpleDelayFilter = EffectFilter<SimpleDelayEffect>;

}  // namespace quill
