#include "twpitchs/pitch_fields.h"

#include <cstring>
#include <string_view>

#include "include/quillfx1.h"
#include "twpitchs/transpose.h"

namespace quill {

namespace {

using P = PitchParams;
constexpr auto kClamped = FieldRange::Clamped;

constexpr FieldInfo DoubleField(const char* name, std::size_t offset, const char* unit, FieldRange range, double lo,
                                double hi) {
  return FieldInfo{name, offset, FieldType::Double, unit, range, lo, hi};
}

// The ranges are the ones the engine clamps to; accuracy values outside
// 1..3 play as 2.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, semitones), "semitones (sets ratio)", kClamped, -50, 50),
    IntField(QUILL_FIELD_AT(P, centsTenths), "tenths of a cent (sets ratio)", kClamped, -1000, 1000),
    IntField(QUILL_FIELD_AT(P, accuracy), "1 low, 2, 3 high"),
    IntField(QUILL_FIELD_AT(P, preserveDuration), "non-zero keeps the length"),
    IntField(QUILL_FIELD_AT(P, mode), "stretch mode row", FieldRange::Table, 0, 18),
    DoubleField(QUILL_FIELD_AT(P, ratio), "transposition ratio, above 0", FieldRange::None, 0.0, 0.0),
    IntField(QUILL_FIELD_AT(P, antiAlias), "non-zero filters when shifting up"),
    DoubleField(QUILL_FIELD_AT(P, lengthSamples), "frames", kClamped, 0.0, 225306900.0),
};

bool Names(std::span<const FieldEdit> edits, std::string_view name) {
  for (const FieldEdit& e : edits)
    if (name == e.field->name) return true;
  return false;
}

}  // namespace

FieldTable PitchFields() {
  return kFields;
}

void DerivePitchRatio(void* block, std::span<const FieldEdit> edits) {
  if (Names(edits, "ratio") || !(Names(edits, "semitones") || Names(edits, "centsTenths"))) return;
  PitchParams p;
  std::memcpy(&p, block, sizeof p);
  // The page clamps before it computes; so do we.
  const std::int32_t s = p.semitones < -50 ? -50 : p.semitones > 50 ? 50 : p.semitones;
  const std::int32_t c = p.centsTenths < -1000 ? -1000 : p.centsTenths > 1000 ? 1000 : p.centsTenths;
  p.ratio = PageRatio(s, c);
  std::memcpy(block, &p, sizeof p);
}

}  // namespace quill
