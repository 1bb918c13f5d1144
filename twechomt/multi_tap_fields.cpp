#include "twechomt/multi_tap_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = MultiTapParams;
using F = ValueFormat;

// One row per tap of a per-tap array: QUILL_TAPS(tapGain, Row) with Row a
// function of the row's name and offset.
#define QUILL_TAPS(member, ROW)                                                                               \
  ROW(QUILL_FIELD_AT(P, member[0])), ROW(QUILL_FIELD_AT(P, member[1])), ROW(QUILL_FIELD_AT(P, member[2])),   \
      ROW(QUILL_FIELD_AT(P, member[3])), ROW(QUILL_FIELD_AT(P, member[4])), ROW(QUILL_FIELD_AT(P, member[5])), \
      ROW(QUILL_FIELD_AT(P, member[6])), ROW(QUILL_FIELD_AT(P, member[7]))

// The taps, the depth and the feedback place the taps and size the ring: a
// change of any of them is a full set-up, which keeps the ring and its
// history while its length stays. Levels, the low-pass and the rate are
// retuned between buffers; the current tap and the graph's resolution are
// the page's own.
constexpr FieldInfo TapDelay(const char* name, std::size_t offset) {
  return IntField(name, offset, "ms").Ranged(1, 2500).Full().Shows(F::Grouped);
}
constexpr FieldInfo TapGain(const char* name, std::size_t offset) {
  return IntField(name, offset, "%").Ranged(-100, 100).Full().Shows(F::Number);
}
constexpr FieldInfo TapPan(const char* name, std::size_t offset) {
  return IntField(name, offset, "% (left to right)").Ranged(-100, 100).Full().Shows(F::Percent);
}

constexpr FieldInfo kFields[] = {
    QUILL_TAPS(tapDelayMs, TapDelay),
    QUILL_TAPS(tapGain, TapGain),
    QUILL_TAPS(tapPan, TapPan),
    IntField(QUILL_FIELD_AT(P, tapCount), "taps").Ranged(1, 8).Full().Shows(F::Number),
    IntField(QUILL_FIELD_AT(P, wetOut), "tenths of a dB").Ranged(-800, 0).Level(-800),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").Ranged(-800, 0).Level(-800),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%").Ranged(0, 150).Full().Shows(F::Percent),
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB").Ranged(-800, 0).Level(-800),
    IntField(QUILL_FIELD_AT(P, lowpass), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, lowpassHz), "Hz").Ranged(100, 10000).Shows(F::Grouped),
    IntField(QUILL_FIELD_AT(P, modDepth), "%").Ranged(0, 100).Full().Shows(F::Percent),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz").Ranged(1, 100).Shows(F::TenthsHz),
    IntField(QUILL_FIELD_AT(P, currentTap), "tap (page only)").Ranged(0, 7),
    IntField(QUILL_FIELD_AT(P, graphResolution), "row (page only)").Ranged(0, 3),
};

#undef QUILL_TAPS

}  // namespace

FieldTable MultiTapFields() {
  return kFields;
}

}  // namespace quill
