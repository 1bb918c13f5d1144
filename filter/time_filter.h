// The time compress/expand effect as a copying filter.
#pragma once

#include "filter/copying_filter.h"
#include "twtime/time_engine.h"

namespace quill {

struct TimeEffect {
  using Engine = TimeEngine;
  using Interface = ITimeParams;
  static constexpr const CLSID& kClassId = CLSID_TwTime;
  static constexpr const IID& kInterfaceId = IID_ITimeParams;
  static constexpr const wchar_t* kName = L"Tarnwell Time Compress/Expand";
  static constexpr bool kFiltersInput = false;
};

using TimeFilter = CopyingEffectFilter<TimeEffect>;

}  // namespace quill
