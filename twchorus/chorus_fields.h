#pragma once

#include "framework/field_table.h"

namespace quill {

// The chorus's parameter block, field by field, in block order.
FieldTable ChorusFields();

}  // namespace quill
