#include "twreverb/reverb_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = ReverbParams;
constexpr auto kClamped = FieldRange::Clamped;
constexpr auto kTable = FieldRange::Table;

// The ranges are the ones the engine clamps to. Mode and style are stored
// as given; only the rows of their tables mean anything.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, reverbOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, earlyOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, reverbMode), "mode row", kTable, 0, 18),
    IntField(QUILL_FIELD_AT(P, earlyStyle), "style row", kTable, 0, 9),
    IntField(QUILL_FIELD_AT(P, decayTenths), "tenths of a second", kClamped, 5, 50),
    IntField(QUILL_FIELD_AT(P, preDelayMs), "ms (0 off)", kClamped, 0, 200),
    IntField(QUILL_FIELD_AT(P, bassCut), "on/off", kClamped, 0, 1),
    IntField(QUILL_FIELD_AT(P, bassCutHz), "Hz", kClamped, 10, 5000),
    IntField(QUILL_FIELD_AT(P, highCut), "on/off", kClamped, 0, 1),
    IntField(QUILL_FIELD_AT(P, highCutHz), "Hz", kClamped, 100, 15000),
};

}  // namespace

FieldTable ReverbFields() {
  return kFields;
}

}  // namespace quill
