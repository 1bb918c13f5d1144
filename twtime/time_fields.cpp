#include "twtime/time_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = TimeParams;

constexpr FieldInfo DoubleField(const char* name, std::size_t offset, const char* unit, FieldRange range, double lo,
                                double hi) {
  return FieldInfo{name, offset, FieldType::Double, unit, range, lo, hi};
}

// The ranges are the ones the engine clamps to; the tempo has only a ceiling.
constexpr FieldInfo kFields[] = {
    DoubleField(QUILL_FIELD_AT(P, finalTenths), "tenths of a percent", FieldRange::Clamped, 500.0, 5000.0),
    IntField(QUILL_FIELD_AT(P, mode), "stretch mode row", FieldRange::Table, 0, 18),
    IntField(QUILL_FIELD_AT(P, tempoTenths), "tenths of a bpm, at most 5000"),
    DoubleField(QUILL_FIELD_AT(P, lengthSamples), "frames", FieldRange::Clamped, 0.0, 793800000.0),
    IntField(QUILL_FIELD_AT(P, inputFormat), "0 percentage, 1 tempo, 2 time"),
};

}  // namespace

FieldTable TimeFields() {
  return kFields;
}

}  // namespace quill
