// The pitch shift effect as a copying filter; its engine low-passes the
// input buffers in place before shifting up, so it needs writable ones.
#pragma once

#include "filter/copying_filter.h"
#include "twpitchs/pitch_engine.h"

namespace quill {

struct PitchEffect {
  using Engine = PitchEngine;
  using Interface = IPitchParams;
  static constexpr const CLSID& kClassId = CLSID_TwPitchs;
  static constexpr const IID& kInterfaceId = IID_IPitchParams;
  static constexpr const wchar_t* kName = L"Tarnwell Pitch Shift";
  static constexpr bool kFiltersInput = true;
};

using PitchFilter = CopyingEffectFilter<PitchEffect>;

}  // namespace quill
