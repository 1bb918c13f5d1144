#pragma once

#include "framework/presets.h"
#include "include/quillfx1.h"

namespace quill {

// The simple delay's built-in presets; entry 0 is every new filter's state.
PresetTable<SimpleDelayParams> SimpleDelayPresets();

}  // namespace quill
