// The reverb's built-in presets; entry 0 is the construction state.
#pragma once

#include "presets.h"
#include "quillfx1.h"

namespace quill {

PresetTable<ReverbParams> ReverbPresets();

}  // namespace quill
