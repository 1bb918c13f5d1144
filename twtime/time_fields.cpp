#include "twtime/time_fields.h"

#include "dsp/stretch_modes.h"
#include "include/quillfx1.h"

namespace quill {

namespace {

using P = TimeParams;
using Q = Quantity;

// A new mode re-allocates the stretcher's buffers; the tempo has only a ceiling.
constexpr FieldInfo kFields[] = {
    DoubleField(QUILL_FIELD_AT(P, finalTenths), "tenths of a percent")
        .Ranged(500.0, 5000.0)
        .Shows(ValueFormat::Tenths)
        .Says("final", Q::Percent, 0.1),
    IntField(QUILL_FIELD_AT(P, mode), "stretch mode row").Rows(0, 18).Full().Named(&StretchModeName).Says("mode"),
    IntField(QUILL_FIELD_AT(P, tempoTenths), "tenths of a bpm")
        .AtMost(5000)
        .Shows(ValueFormat::Tenths)
        .Says("tempo", Q::Tempo, 0.1)
        .Used(FieldUse::PageOnly),
    DoubleField(QUILL_FIELD_AT(P, lengthSamples), "frames").Ranged(0.0, 793800000.0).Used(FieldUse::PageOnly).Says("length"),
    IntField(QUILL_FIELD_AT(P, inputFormat), "0 percentage, 1 tempo, 2 time").Used(FieldUse::PageOnly).Says("format"),
};

}  // namespace

FieldTable TimeFields() {
  return kFields;
}

}  // namespace quill
