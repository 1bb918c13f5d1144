#pragma once

#include "framework/field_table.h"

namespace quill {

// The multi-tap delay's parameter block, field by field, in block order;
// per-tap fields as "tapDelayMs[0]" to "tapDelayMs[7]".
FieldTable MultiTapFields();

}  // namespace quill
