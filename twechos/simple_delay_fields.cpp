#include "twechos/simple_delay_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = SimpleDelayParams;
using F = ValueFormat;
using Q = Quantity;

// Every change goes through the one set-up, which keeps the line and its
// history unless the line's length changes.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, feedback), "non-zero repeats").Says("feedback", Q::OnOff),
    IntField(QUILL_FIELD_AT(P, delayMs), "ms").Ranged(1, 5000).Shows(F::MsAsSeconds).Says("delay", Q::Time, 0.001),
    IntField(QUILL_FIELD_AT(P, decayTenths), "tenths of a second")
        .Ranged(1, 200)
        .Shows(F::Tenths)
        .Says("decay", Q::Time, 0.1),
    IntField(QUILL_FIELD_AT(P, delayOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("echo", Q::Level, 0.1),
    // The dry level has no range a page keeps it in, but it has a ceiling:
    // +720.0 dB, a factor of 1e36, under which a full-scale sample and an
    // echo as loud still fit a float. From about +6,165 dB the factor would
    // be infinite, and an infinite gain makes silence a NaN.
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").AtMost(7200).Level(-800).Says("dry", Q::Level, 0.1),
};

}  // namespace

FieldTable SimpleDelayFields() {
  return kFields;
}

}  // namespace quill
