#pragma once

#include "framework/field_table.h"

namespace quill {

// The reverb's parameter block, field by field, in block order.
FieldTable ReverbFields();

}  // namespace quill
