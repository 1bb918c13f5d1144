#include "twreverb/reverb_fields.h"

#include "include/quillfx1.h"
#include "twreverb/reverb_tables.h"

namespace quill {

namespace {

using P = ReverbParams;
using F = ValueFormat;
using Q = Quantity;

// Mode and style are stored as given; only the rows of their tables mean
// anything. They and the pre-delay size the lines; everything else is
// retuned between buffers.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("dry", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, reverbOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("reverb", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, earlyOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("early", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, reverbMode), "mode row").Rows(0, 18).Full().Named(&ReverbModeName).Says("mode"),
    IntField(QUILL_FIELD_AT(P, earlyStyle), "style row").Rows(0, 9).Full().Named(&EarlyStyleName).Says("style"),
    IntField(QUILL_FIELD_AT(P, decayTenths), "tenths of a second")
        .Ranged(5, 50)
        .Shows(F::TenthsSec)
        .Says("decay", Q::Time, 0.1),
    IntField(QUILL_FIELD_AT(P, preDelayMs), "ms; 0 is off")
        .Ranged(0, 200)
        .Full()
        .Shows(F::MsOrOff)
        .Says("predelay", Q::Time, 0.001),
    IntField(QUILL_FIELD_AT(P, bassCut), "on/off").Ranged(0, 1),
    IntField(QUILL_FIELD_AT(P, bassCutHz), "Hz")
        .Ranged(10, 5000)
        .Shows(F::Grouped)
        .Says("basscut", Q::Frequency)
        .SwitchedBy("bassCut"),
    IntField(QUILL_FIELD_AT(P, highCut), "on/off").Ranged(0, 1),
    IntField(QUILL_FIELD_AT(P, highCutHz), "Hz")
        .Ranged(100, 15000)
        .Shows(F::Grouped)
        .Says("highcut", Q::Frequency)
        .SwitchedBy("highCut"),
};

}  // namespace

FieldTable ReverbFields() {
  return kFields;
}

}  // namespace quill
