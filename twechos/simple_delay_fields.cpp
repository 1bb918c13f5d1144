#include "twechos/simple_delay_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = SimpleDelayParams;
constexpr auto kClamped = FieldRange::Clamped;

// The ranges are the ones the engine clamps to.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, feedback), "non-zero repeats"),
    IntField(QUILL_FIELD_AT(P, delayMs), "ms", kClamped, 1, 5000),
    IntField(QUILL_FIELD_AT(P, decayTenths), "tenths of a second", kClamped, 1, 200),
    IntField(QUILL_FIELD_AT(P, delayOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB"),
};

}  // namespace

FieldTable SimpleDelayFields() {
  return kFields;
}

}  // namespace quill
