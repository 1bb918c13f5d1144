#include "twchorus/chorus_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = ChorusParams;
using F = ValueFormat;

// The chorus's levels are silent at -60.0 dB. The stage count and the delay
// size the lines; everything else is retuned between buffers.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB").Ranged(-600, 0).Level(-600),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").Ranged(-600, 0).Level(-600),
    IntField(QUILL_FIELD_AT(P, chorusOut), "tenths of a dB").Ranged(-600, 0).Level(-600),
    IntField(QUILL_FIELD_AT(P, chorusSize), "stages").Ranged(1, 3).Full(),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%").Ranged(0, 100).Shows(F::Percent),
    IntField(QUILL_FIELD_AT(P, invertChorus), "non-zero inverts"),
    IntField(QUILL_FIELD_AT(P, delayTenths), "tenths of a ms").Ranged(1, 1000).Full().Shows(F::Tenths),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz").Ranged(1, 200).Shows(F::Tenths),
    IntField(QUILL_FIELD_AT(P, modDepth), "% of the delay").Ranged(1, 100).Shows(F::Percent),
    IntField(QUILL_FIELD_AT(P, highCut), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, highCutHz), "Hz").Ranged(100, 10000).Shows(F::Grouped),
    IntField(QUILL_FIELD_AT(P, invertFeedback), "non-zero inverts"),
};

}  // namespace

FieldTable ChorusFields() {
  return kFields;
}

}  // namespace quill
