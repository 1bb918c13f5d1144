#include "twchorus/chorus_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = ChorusParams;
constexpr auto kClamped = FieldRange::Clamped;

// The ranges are the ones the engine clamps to; the chorus's levels are
// silent at -60.0 dB.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB", kClamped, -600, 0),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB", kClamped, -600, 0),
    IntField(QUILL_FIELD_AT(P, chorusOut), "tenths of a dB", kClamped, -600, 0),
    IntField(QUILL_FIELD_AT(P, chorusSize), "stages", kClamped, 1, 3),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%", kClamped, 0, 100),
    IntField(QUILL_FIELD_AT(P, invertChorus), "non-zero inverts"),
    IntField(QUILL_FIELD_AT(P, delayTenths), "tenths of a ms", kClamped, 1, 1000),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz", kClamped, 1, 200),
    IntField(QUILL_FIELD_AT(P, modDepth), "% of the delay", kClamped, 1, 100),
    IntField(QUILL_FIELD_AT(P, highCut), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, highCutHz), "Hz", kClamped, 100, 10000),
    IntField(QUILL_FIELD_AT(P, invertFeedback), "non-zero inverts"),
};

}  // namespace

FieldTable ChorusFields() {
  return kFields;
}

}  // namespace quill
