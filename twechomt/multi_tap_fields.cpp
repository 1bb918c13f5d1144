#include "twechomt/multi_tap_fields.h"

#include "include/quillfx1.h"

namespace quill {

namespace {

using P = MultiTapParams;
using F = ValueFormat;
using Q = Quantity;

// One row per tap of a per-tap array: QUILL_TAPS(tapGain, "gain", Row) with
// Row a function of the row's name, offset and friendly name ("gain[3]").
#define QUILL_TAP(member, said, ROW, i) ROW(QUILL_FIELD_AT(P, member[i]), said "[" #i "]")
#define QUILL_TAPS(member, said, ROW)                                                                    \
  QUILL_TAP(member, said, ROW, 0), QUILL_TAP(member, said, ROW, 1), QUILL_TAP(member, said, ROW, 2),     \
      QUILL_TAP(member, said, ROW, 3), QUILL_TAP(member, said, ROW, 4), QUILL_TAP(member, said, ROW, 5), \
      QUILL_TAP(member, said, ROW, 6), QUILL_TAP(member, said, ROW, 7)

// The taps, the depth and the feedback place the taps and size the ring: a
// change of any of them is a full set-up, which keeps the ring and its
// history while its length stays. Levels, the low-pass and the rate are
// retuned between buffers; the current tap and the graph's resolution are
// the page's own.
constexpr FieldInfo TapDelay(const char* name, std::size_t offset, const char* said) {
  return IntField(name, offset, "ms").Ranged(1, 2500).Full().Shows(F::Grouped).Says(said, Q::Time, 0.001);
}
constexpr FieldInfo TapGain(const char* name, std::size_t offset, const char* said) {
  return IntField(name, offset, "%").Ranged(-100, 100).Full().Shows(F::Number).Says(said, Q::Percent);
}
constexpr FieldInfo TapPan(const char* name, std::size_t offset, const char* said) {
  return IntField(name, offset, "%, left to right").Ranged(-100, 100).Full().Shows(F::Percent).Says(said, Q::Percent);
}

constexpr FieldInfo kFields[] = {
    QUILL_TAPS(tapDelayMs, "delay", TapDelay),
    QUILL_TAPS(tapGain, "gain", TapGain),
    QUILL_TAPS(tapPan, "pan", TapPan),
    IntField(QUILL_FIELD_AT(P, tapCount), "taps").Ranged(1, 8).Full().Shows(F::Number).Says("taps"),
    IntField(QUILL_FIELD_AT(P, wetOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("wet", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, dryOut), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("dry", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, feedbackPct), "%").Ranged(0, 150).Full().Shows(F::Percent).Says("feedback", Q::Percent),
    IntField(QUILL_FIELD_AT(P, inputGain), "tenths of a dB").Ranged(-800, 0).Level(-800).Says("input", Q::Level, 0.1),
    IntField(QUILL_FIELD_AT(P, lowpass), "non-zero is on"),
    IntField(QUILL_FIELD_AT(P, lowpassHz), "Hz")
        .Ranged(100, 10000)
        .Shows(F::Grouped)
        .Says("lowpass", Q::Frequency)
        .SwitchedBy("lowpass"),
    IntField(QUILL_FIELD_AT(P, modDepth), "%").Ranged(0, 100).Full().Shows(F::Percent).Says("depth", Q::Percent),
    IntField(QUILL_FIELD_AT(P, modRate), "tenths of a Hz")
        .Ranged(1, 100)
        .Shows(F::TenthsHz)
        .Says("rate", Q::Frequency, 0.1),
    IntField(QUILL_FIELD_AT(P, currentTap), "tap (page only)").Ranged(0, 7).Used(FieldUse::PageOnly),
    IntField(QUILL_FIELD_AT(P, graphResolution), "row (page only)").Ranged(0, 3).Used(FieldUse::PageOnly),
};

#undef QUILL_TAPS
#undef QUILL_TAP

}  // namespace

FieldTable MultiTapFields() {
  return kFields;
}

}  // namespace quill
