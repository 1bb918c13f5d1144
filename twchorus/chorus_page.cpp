#include "twchorus/chorus_page.h"

#include <cstddef>

#include "framework/table_page.h"
#include "twchorus/chorus_fields.h"

namespace quill {

namespace {

using I = IChorusParams;
using K = ControlKind;
using M = SliderMove;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(ChorusFields(), offset);
}

enum : int {
  kInputFader = 6016,
  kInputText = 6022,
  kDryFader = 6020,
  kDryText = 6023,
  kChorusFader = 6021,
  kChorusText = 6024,
  kInvertChorusCheck = 6029,
  kInvertFeedbackCheck = 6030,
  kSizeSlider = 6025,
  kSizeText = 6026,
  kFeedbackSlider = 6027,
  kFeedbackText = 6028,
  kDelaySlider = 6031,
  kDelayEdit = 6039,
  kRateSlider = 6032,
  kRateEdit = 6033,
  kDepthSlider = 6034,
  kDepthText = 6035,
  kHighCheck = 6036,
  kHighSlider = 6037,
  kHighEdit = 6038,
};

const FieldInfo* const kInput = Field(offsetof(ChorusParams, inputGain));
const FieldInfo* const kDry = Field(offsetof(ChorusParams, dryOut));
const FieldInfo* const kChorus = Field(offsetof(ChorusParams, chorusOut));
const FieldInfo* const kSize = Field(offsetof(ChorusParams, chorusSize));
const FieldInfo* const kFeedback = Field(offsetof(ChorusParams, feedbackPct));
const FieldInfo* const kInvertChorus = Field(offsetof(ChorusParams, invertChorus));
const FieldInfo* const kDelay = Field(offsetof(ChorusParams, delayTenths));
const FieldInfo* const kRate = Field(offsetof(ChorusParams, modRate));
const FieldInfo* const kDepth = Field(offsetof(ChorusParams, modDepth));
const FieldInfo* const kHighCut = Field(offsetof(ChorusParams, highCut));
const FieldInfo* const kHighHz = Field(offsetof(ChorusParams, highCutHz));
const FieldInfo* const kInvertFeedback = Field(offsetof(ChorusParams, invertFeedback));

const ControlRange kRanges[] = {
    {kInputFader, kInput},        {kDryFader, kDry},      {kChorusFader, kChorus}, {kSizeSlider, kSize},
    {kFeedbackSlider, kFeedback}, {kDelaySlider, kDelay}, {kRateSlider, kRate},    {kDepthSlider, kDepth},
    {kHighSlider, kHighHz},
};

const ControlBinding<I> kControls[] = {
    {kInputFader, K::Fader, &I::SetInputGain, kInput, 1, 10},
    {kDryFader, K::Fader, &I::SetDryOut, kDry, 1, 10},
    {kChorusFader, K::Fader, &I::SetChorusOut, kChorus, 1, 10},
    {kSizeSlider, K::Trackbar, &I::SetChorusSize, kSize, 1, 10},
    {kFeedbackSlider, K::Trackbar, &I::SetFeedback, kFeedback, 1, 10},
    {kDelaySlider, K::Trackbar, &I::SetDelay, kDelay, 1, 10},
    {kRateSlider, K::Trackbar, &I::SetModRate, kRate, 1, 10},
    {kDepthSlider, K::Trackbar, &I::SetModDepth, kDepth, 1, 10},
    {kHighSlider, K::Trackbar, &I::SetHighCutHz, kHighHz, 1, 100},
    {kDelayEdit, K::Edit, &I::SetDelay, kDelay},
    {kRateEdit, K::Edit, &I::SetModRate, kRate},
    {kHighEdit, K::Edit, &I::SetHighCutHz, kHighHz},
    {kInvertChorusCheck, K::Check, &I::SetInvertChorus, kInvertChorus},
    {kInvertFeedbackCheck, K::Check, &I::SetInvertFeedback, kInvertFeedback},
    {kHighCheck, K::Check, &I::SetHighCut, kHighCut},
};

// Sliders with an edit field follow the stored value on every refresh they
// did not cause; the others, and the faders, only on a full refresh.
const RefreshGroup<I> kGroups[] = {
    {{kInputFader, 0, 0}, &I::GetInputGain, kInput, kInputFader, M::FullOnly, kInputText},
    {{kDryFader, 0, 0}, &I::GetDryOut, kDry, kDryFader, M::FullOnly, kDryText},
    {{kChorusFader, 0, 0}, &I::GetChorusOut, kChorus, kChorusFader, M::FullOnly, kChorusText},
    {{kSizeSlider, 0, 0}, &I::GetChorusSize, kSize, kSizeSlider, M::FullOnly, kSizeText},
    {{kFeedbackSlider, 0, 0}, &I::GetFeedback, kFeedback, kFeedbackSlider, M::FullOnly, kFeedbackText},
    {{kDelaySlider, kDelayEdit, 0}, &I::GetDelay, kDelay, kDelaySlider, M::UnlessSelf, kDelayEdit},
    {{kRateSlider, kRateEdit, 0}, &I::GetModRate, kRate, kRateSlider, M::UnlessSelf, kRateEdit},
    {{kDepthSlider, 0, 0}, &I::GetModDepth, kDepth, kDepthSlider, M::FullOnly, kDepthText},
    {{kHighSlider, kHighEdit, 0}, &I::GetHighCutHz, kHighHz, kHighSlider, M::UnlessSelf, kHighEdit},
    {{kInvertChorusCheck, 0, 0}, &I::GetInvertChorus, kInvertChorus, 0, M::UnlessSelf, 0, kInvertChorusCheck},
    {{kInvertFeedbackCheck, 0, 0}, &I::GetInvertFeedback, kInvertFeedback, 0, M::UnlessSelf, 0, kInvertFeedbackCheck},
    {{kHighCheck, 0, 0}, &I::GetHighCut, kHighCut, 0, M::UnlessSelf, 0, kHighCheck, {kHighSlider, kHighEdit, 0}},
};

const PageDescription kPage = {
    6001, 6000, L"Tarnwell Chorus", &IID_IChorusParams, kRanges, kChorusHelp,
};

}  // namespace

UnknownBase* CreateChorusPage(IUnknown* outer, HRESULT* result) {
  return MakeTablePage<I>(outer, result, kPage, kControls, kGroups);
}

}  // namespace quill
