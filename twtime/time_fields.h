#pragma once

#include "framework/field_table.h"

namespace quill {

// The time effect's parameter block, field by field, in block order.
FieldTable TimeFields();

}  // namespace quill
