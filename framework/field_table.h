// Every field of an effect's parameter block, described once: its name as a
// host writes it, where it lies in the block, its type, unit and range. A
// host changes one field by reading the whole block, changing the field
// through this table and writing the block back, so one mechanism serves
// every effect, in the Windows host and in native tools alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class FieldType : std::uint8_t { Int32, Double };

// What the block's owner does with values outside [lo, hi].
enum class FieldRange : std::uint8_t {
  None,     // stored as given (switches, unclamped levels)
  Clamped,  // SetParams, Load and the field's setter clamp into [lo, hi]
  Table,    // stored as given, but only lo..hi are rows of the effect's table
};

struct FieldInfo {
  const char* name;  // the block's field name; array elements as "tapGain[3]"
  std::size_t offset;
  FieldType type;
  const char* unit;
  FieldRange range;
  double lo;
  double hi;
};

using FieldTable = std::span<const FieldInfo>;

// The name and offset of a block member, spelt once: QUILL_FIELD_AT(Block, tapGain[3]).
#define QUILL_FIELD_AT(Block, member) #member, offsetof(Block, member)

constexpr FieldInfo IntField(const char* name, std::size_t offset, const char* unit,
                             FieldRange range = FieldRange::None, double lo = 0.0, double hi = 0.0) {
  return FieldInfo{name, offset, FieldType::Int32, unit, range, lo, hi};
}

// Exact, case-sensitive match; null if the table has no such field.
const FieldInfo* FindField(FieldTable table, std::string_view name);

double ReadFieldValue(const void* block, const FieldInfo& field);
// `value` must suit the field's type (see ParseFieldValue).
void WriteFieldValue(void* block, const FieldInfo& field, double value);

// A decimal integer within 32 bits for Int32 fields, a finite decimal number
// for Double fields; false for anything else, leaving `value` alone.
bool ParseFieldValue(const FieldInfo& field, std::string_view text, double& value);

// Integers without a fraction, doubles with as many digits as they need.
std::string FieldValueText(const FieldInfo& field, double value);

// "1..5000 ms", "-800..0 tenths of a dB", "rows 0..18", "on/off".
std::string FieldRangeText(const FieldInfo& field);

bool WithinRange(const FieldInfo& field, double value);

// One requested change and what became of it.
struct FieldEdit {
  const FieldInfo* field;
  double requested;
  double stored = 0.0;  // filled in by CheckEdits
};

void ApplyEdits(void* block, std::span<const FieldEdit> edits);

// After the block went through SetParams and back: records what each field
// now holds and returns the edits whose value was not kept as requested
// (clamped), and those kept but naming no row of the effect's table. A
// field edited twice is judged by its last request only.
std::vector<FieldEdit> CheckEdits(const void* block, std::vector<FieldEdit>& edits);

}  // namespace quill
