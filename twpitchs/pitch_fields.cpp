#include "twpitchs/pitch_fields.h"

#include <cstring>
#include <string_view>

#include "dsp/stretch_modes.h"
#include "include/quillfx1.h"
#include "twpitchs/transpose.h"

namespace quill {

namespace {

using P = PitchParams;

using F = ValueFormat;
using Q = Quantity;

// Accuracy values outside 1..3 play as 2, a mode outside the table as the
// nearest row. The page sets ratios from 0.0525 to 19.06; a stream plays any
// other ratio as the nearest of 0.05 and 20, as far as the page reaches and
// a little more: far below it a resampler makes thousands of frames of each
// one it reads, and a filter waiting on it looks hung. The kernel, the
// stretcher and the anti-alias filter are set up anew for a new accuracy,
// mode, preserve or anti-alias switch; the transposition is retuned between
// buffers.
constexpr FieldInfo kFields[] = {
    IntField(QUILL_FIELD_AT(P, semitones), "semitones (sets ratio)").Ranged(-50, 50).Shows(F::Number).Used(FieldUse::Drives).Says("semitones"),
    IntField(QUILL_FIELD_AT(P, centsTenths), "tenths of a cent (sets ratio)")
        .Ranged(-1000, 1000)
        .Shows(F::Tenths)
        .Used(FieldUse::Drives)
        .Says("cents", Q::Cents, 0.1),
    IntField(QUILL_FIELD_AT(P, accuracy), "1 low, 2, 3 high")
        .Rows(1, 3)
        .Otherwise(2)
        .Full()
        .Shows(F::Number)
        .Says("accuracy"),
    IntField(QUILL_FIELD_AT(P, preserveDuration), "non-zero keeps the length").Full().Says("preserve", Q::OnOff),
    IntField(QUILL_FIELD_AT(P, mode), "stretch mode row").Rows(0, 18).Full().Named(&StretchModeName).Says("mode"),
    DoubleField(QUILL_FIELD_AT(P, ratio), "transposition ratio").PositiveOnly(0.05, 20.0).Used(FieldUse::Driven).Says("ratio"),
    IntField(QUILL_FIELD_AT(P, antiAlias), "non-zero filters when shifting up").Full().Says("antialias", Q::OnOff),
    DoubleField(QUILL_FIELD_AT(P, lengthSamples), "frames").Ranged(0.0, 225306900.0).Used(FieldUse::PageOnly).Says("length"),
};

bool Names(std::span<const FieldEdit> edits, std::string_view name) {
  for (const FieldEdit& e : edits)
    if (name == e.field->name) return true;
  return false;
}

}  // namespace

FieldTable PitchFields() {
  return kFields;
}

void DerivePitchRatio(void* block, std::span<const FieldEdit> edits) {
  if (Names(edits, "ratio") || !(Names(edits, "semitones") || Names(edits, "centsTenths"))) return;
  PitchParams p;
  std::memcpy(&p, block, sizeof p);
  // The page clamps before it computes; so do we.
  std::int32_t s = p.semitones, c = p.centsTenths;
  LimitValue(*FieldAt(kFields, offsetof(P, semitones)), s);
  LimitValue(*FieldAt(kFields, offsetof(P, centsTenths)), c);
  p.ratio = PageRatio(s, c);
  std::memcpy(block, &p, sizeof p);
}

}  // namespace quill
