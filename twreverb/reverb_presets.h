// The reverb's built-in presets; entry 0 is the construction state.
#pragma once

#include "framework/presets.h"
#include "include/quillfx1.h"

namespace quill {

PresetTable<ReverbParams> ReverbPresets();

}  // namespace quill
