#include "twechos/simple_delay_page.h"

#include <cstddef>

#include "framework/table_page.h"
#include "twechos/simple_delay_fields.h"

namespace quill {

namespace {

using I = ISimpleDelayParams;
using K = ControlKind;
using M = SliderMove;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(SimpleDelayFields(), offset);
}

enum : int {
  kDryFader = 3009,
  kDryText = 3008,
  kDryLabel = 3019,
  kDelayOutFader = 3011,
  kDelayOutText = 3010,
  kDelayOutLabel = 3020,
  kDelaySlider = 3016,
  kDelayEdit = 3014,
  kDelayLabel = 3021,
  kDecaySlider = 3017,
  kDecayEdit = 3015,
  kDecayLabel = 3018,
  kFeedbackCheck = 3012,
};

const FieldInfo* const kDry = Field(offsetof(SimpleDelayParams, dryOut));
const FieldInfo* const kDelayOut = Field(offsetof(SimpleDelayParams, delayOut));
const FieldInfo* const kDelay = Field(offsetof(SimpleDelayParams, delayMs));
const FieldInfo* const kDecay = Field(offsetof(SimpleDelayParams, decayTenths));
const FieldInfo* const kFeedback = Field(offsetof(SimpleDelayParams, feedback));

const ControlRange kRanges[] = {
    {kDryFader, kDry},
    {kDelayOutFader, kDelayOut},
    {kDelaySlider, kDelay},
    {kDecaySlider, kDecay},
};

const ControlBinding<I> kControls[] = {
    {kDryFader, K::Fader, &I::SetDryOut, kDry, 1, 10},
    {kDelayOutFader, K::Fader, &I::SetDelayOut, kDelayOut, 1, 10},
    {kDelaySlider, K::Trackbar, &I::SetDelay, kDelay, 1, 100},
    {kDecaySlider, K::Trackbar, &I::SetDecay, kDecay, 1, 10},
    {kDelayEdit, K::Edit, &I::SetDelay, kDelay},
    {kDecayEdit, K::Edit, &I::SetDecay, kDecay},
    {kFeedbackCheck, K::Check, &I::SetFeedback, kFeedback},
};

const RefreshGroup<I> kGroups[] = {
    {{kDryFader, 0, 0}, &I::GetDryOut, kDry, kDryFader, M::FullOnly, kDryText},
    {{kDelayOutFader, 0, 0}, &I::GetDelayOut, kDelayOut, kDelayOutFader, M::FullOnly, kDelayOutText},
    {{kDecaySlider, kDecayEdit, 0}, &I::GetDecay, kDecay, kDecaySlider, M::UnlessSelf, kDecayEdit},
    {{kDelaySlider, kDelayEdit, 0}, &I::GetDelay, kDelay, kDelaySlider, M::UnlessSelf, kDelayEdit},
    // The decay controls mean something only with repeating echoes.
    {{kFeedbackCheck, 0, 0},
     &I::GetFeedback,
     kFeedback,
     0,
     M::UnlessSelf,
     0,
     kFeedbackCheck,
     {kDecaySlider, kDecayEdit, kDecayLabel}},
};

const PageDescription kPage = {
    3001, 3000, L"Tarnwell Simple Delay", &IID_ISimpleDelayParams, kRanges, kSimpleDelayHelp,
};

}  // namespace

UnknownBase* CreateSimpleDelayPage(IUnknown* outer, HRESULT* result) {
  return MakeTablePage<I>(outer, result, kPage, kControls, kGroups);
}

}  // namespace quill
