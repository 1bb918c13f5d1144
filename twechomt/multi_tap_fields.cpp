#include "twechomt/multi_tap_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = MultiTapParams;
constexpr auto kClamped = FieldRange::Clamped;

#define QUILL_TAP(member, k, unit, lo, hi) IntField(QUILL_FIELD_AT(P, member[k]), unit, kClamped, lo, hi)
#define QUILL_TAPS(member, unit, lo, hi)                                                                          \
  QUILL_TAP(member, 0, unit, lo, hi), QUILL_TAP(member, 1, unit, lo, hi), QUILL_TAP(member, 2, unit, lo, hi),     \
      QUILL_TAP(member, 3, unit, lo, hi), QUILL_TAP(member, 4, unit, lo, hi), QUILL_TAP(member, 5, unit, lo, hi), \
      QUILL_TAP(member, 6, unit, lo, hi), QUILL_TAP(member, 7, unit, lo, hi)

// The ranges are the ones the engine clamps to.
constexpr FieldInfo kFields[] = {
    QUILL_TAPS(tapDelayMs, "ms", 1, 2500),
    QUILL_TAPS(tapGain, "%", -100, 100),
    QUILL_TAPS(tapPan, "% (left to right)", -100, 100),
    IntField(QUILL_FIELD_AT(P, tapCount), "taps", kClamped, 1, 8),
    IntField(QUILL_FIELD_AT(P, wetOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%", kClamped, 0, 150),
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB", kClamped, -800, 0),
    IntField(QUILL_FIELD_AT(P, lowpass), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, lowpassHz), "Hz", kClamped, 100, 10000),
    IntField(QUILL_FIELD_AT(P, modDepth), "%", kClamped, 0, 100),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz", kClamped, 1, 100),
    IntField(QUILL_FIELD_AT(P, currentTap), "tap (page only)", kClamped, 0, 7),
    IntField(QUILL_FIELD_AT(P, graphResolution), "row (page only)", kClamped, 0, 3),
};

#undef QUILL_TAPS
#undef QUILL_TAP

}  // namespace

FieldTable MultiTapFields() {
  return kFields;
}

}  // namespace quill
