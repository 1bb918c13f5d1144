// The multi-tap delay as a filter; its tail is the ring's length in frames.
#pragma once

#include "filter/effect_filter.h"
#include "twechomt/multi_tap_engine.h"

namespace quill {

struct MultiTapEffect {
  using Engine = MultiTapEngine;
  using Interface = IMultiTapParams;
  static constexpr const CLSID& kClassId = CLSID_TwEchomt;
  static constexpr const IID& kInterfaceId = IID_IMultiTapParams;
  static constexpr const wchar_t* kName = L"Tarnwell Multi-Tap Delay";
};

using MultiTapFilter = EffectFilter<MultiTapEffect>;

}  // namespace quill
