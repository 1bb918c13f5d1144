#pragma once

#include "framework/presets.h"
#include "include/quillfx1.h"

namespace quill {

// The multi-tap delay's built-in presets; entry 0 is every new filter's state.
PresetTable<MultiTapParams> MultiTapPresets();

}  // namespace quill
