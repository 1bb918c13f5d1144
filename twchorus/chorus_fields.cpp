#include "twchorus/chorus_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = ChorusParams;
using F = ValueFormat;
using Q = Quantity;

// The chorus's levels are silent at -60.0 dB. The stage count and the delay
// size the lines; everything else is retuned between buffers.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB").Ranged(-600, 0).Level(-600).Says("input", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").Ranged(-600, 0).Level(-600).Says("dry", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, chorusOut), "tenths of a dB").Ranged(-600, 0).Level(-600).Says("wet", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, chorusSize), "stages").Ranged(1, 3).Full().Says("stages"),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%").Ranged(0, 100).Shows(F::Percent).Says("feedback", Q::Percent),
    IntField(QUILL_FIELD_AT(P, invertChorus), "non-zero inverts").Says("invert", Q::OnOff),
    IntField(QUILL_FIELD_AT(P, delayTenths), "tenths of a ms")
        .Ranged(1, 1000)
        .Full()
        .Shows(F::Tenths)
        .Says("delay", Q::Time, 0.0001),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz")
        .Ranged(1, 200)
        .Shows(F::Tenths)
        .Says("rate", Q::Frequency, 0.1),
    IntField(QUILL_FIELD_AT(P, modDepth), "% of the delay").Ranged(1, 100).Shows(F::Percent).Says("depth", Q::Percent),
    IntField(QUILL_FIELD_AT(P, highCut), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, highCutHz), "Hz")
        .Ranged(100, 10000)
        .Shows(F::Grouped)
        .Says("highcut", Q::Frequency)
        .SwitchedBy("highCut"),
    IntField(QUILL_FIELD_AT(P, invertFeedback), "non-zero inverts").Says("invert-feedback", Q::OnOff),
};

}  // namespace

FieldTable ChorusFields() {
  return kFields;
}

}  // namespace quill
