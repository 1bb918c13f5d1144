#pragma once

#include "framework/field_table.h"

namespace quill {

// The simple delay's parameter block, field by field, in block order.
FieldTable SimpleDelayFields();

}  // namespace quill
