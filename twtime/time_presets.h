#pragma once

#include "framework/presets.h"
#include "include/quillfx1.h"

namespace quill {

// The time effect's built-in presets; entry 0 is every new filter's state.
PresetTable<TimeParams> TimePresets();

}  // namespace quill
