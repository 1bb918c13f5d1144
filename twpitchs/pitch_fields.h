#pragma once

#include <span>

#include "framework/field_table.h"

namespace quill {

// The pitch effect's parameter block, field by field, in block order.
FieldTable PitchFields();

// What the page does when the shift changes: after edits that name
// `semitones` or `centsTenths` (and not `ratio` itself), writes the ratio
// they give into the block, as the page would.
void DerivePitchRatio(void* block, std::span<const FieldEdit> edits);

}  // namespace quill
