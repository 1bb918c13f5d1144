#include "twreverb/reverb_page.h"

#include <cstddef>

#include "framework/table_page.h"
#include "twreverb/reverb_fields.h"
#include "twreverb/reverb_tables.h"

namespace quill {

namespace {

using I = IReverbParams;
using K = ControlKind;
using M = SliderMove;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(ReverbFields(), offset);
}

enum : int {
  kModeList = 5030,
  kStyleList = 5031,
  kDryFader = 5013,
  kDryText = 5016,
  kReverbFader = 5014,
  kReverbText = 5017,
  kEarlyFader = 5015,
  kEarlyText = 5018,
  kDecaySlider = 5032,
  kDecayText = 5019,
  kPreDelaySlider = 5033,
  kPreDelayText = 5023,
  kBassCheck = 5034,
  kBassSlider = 5038,
  kBassEdit = 5036,
  kHighCheck = 5035,
  kHighSlider = 5039,
  kHighEdit = 5037,
};

const FieldInfo* const kDry = Field(offsetof(ReverbParams, dryOut));
const FieldInfo* const kReverb = Field(offsetof(ReverbParams, reverbOut));
const FieldInfo* const kEarly = Field(offsetof(ReverbParams, earlyOut));
const FieldInfo* const kMode = Field(offsetof(ReverbParams, reverbMode));
const FieldInfo* const kStyle = Field(offsetof(ReverbParams, earlyStyle));
const FieldInfo* const kDecay = Field(offsetof(ReverbParams, decayTenths));
const FieldInfo* const kPreDelay = Field(offsetof(ReverbParams, preDelayMs));
const FieldInfo* const kBassCut = Field(offsetof(ReverbParams, bassCut));
const FieldInfo* const kBassHz = Field(offsetof(ReverbParams, bassCutHz));
const FieldInfo* const kHighCut = Field(offsetof(ReverbParams, highCut));
const FieldInfo* const kHighHz = Field(offsetof(ReverbParams, highCutHz));

const char* ModeRow(int row) {
  const auto modes = ReverbModeTable();
  return row >= 0 && static_cast<std::size_t>(row) < modes.size() ? modes[row].name : nullptr;
}
const char* StyleRow(int row) {
  const auto styles = EarlyStyleTable();
  return row >= 0 && static_cast<std::size_t>(row) < styles.size() ? styles[row].name : nullptr;
}

const ControlRange kRanges[] = {
    {kDryFader, kDry},      {kReverbFader, kReverb},      {kEarlyFader, kEarly},
    {kDecaySlider, kDecay}, {kPreDelaySlider, kPreDelay}, {kBassSlider, kBassHz},
    {kHighSlider, kHighHz},
};

// The frequency fields take up to 15 characters.
const ControlBinding<I> kControls[] = {
    {kDryFader, K::Fader, &I::SetDryOut, kDry, 1, 10},
    {kReverbFader, K::Fader, &I::SetReverbOut, kReverb, 1, 10},
    {kEarlyFader, K::Fader, &I::SetEarlyOut, kEarly, 1, 10},
    {kDecaySlider, K::Trackbar, &I::SetDecay, kDecay, 1, 10},
    {kPreDelaySlider, K::Trackbar, &I::SetPreDelay, kPreDelay, 1, 10},
    {kBassSlider, K::Trackbar, &I::SetBassCutHz, kBassHz, 1, 100},
    {kHighSlider, K::Trackbar, &I::SetHighCutHz, kHighHz, 1, 100},
    {kBassEdit, K::Edit, &I::SetBassCutHz, kBassHz, 0, 0, 15},
    {kHighEdit, K::Edit, &I::SetHighCutHz, kHighHz, 0, 0, 15},
    {kBassCheck, K::Check, &I::SetBassCut, kBassCut},
    {kHighCheck, K::Check, &I::SetHighCut, kHighCut},
    {kModeList, K::List, &I::SetReverbMode, kMode, 0, 0, 0, &ModeRow},
    {kStyleList, K::List, &I::SetEarlyStyle, kStyle, 0, 0, 0, &StyleRow},
};

// Faders, decay and pre-delay follow the stored value only on a full
// refresh; the frequency sliders on every refresh they did not cause.
const RefreshGroup<I> kGroups[] = {
    {{kDryFader, 0, 0}, &I::GetDryOut, kDry, kDryFader, M::FullOnly, kDryText},
    {{kReverbFader, 0, 0}, &I::GetReverbOut, kReverb, kReverbFader, M::FullOnly, kReverbText},
    {{kEarlyFader, 0, 0}, &I::GetEarlyOut, kEarly, kEarlyFader, M::FullOnly, kEarlyText},
    {{kDecaySlider, 0, 0}, &I::GetDecay, kDecay, kDecaySlider, M::FullOnly, kDecayText},
    {{kPreDelaySlider, 0, 0}, &I::GetPreDelay, kPreDelay, kPreDelaySlider, M::FullOnly, kPreDelayText},
    {{kBassSlider, kBassEdit, 0}, &I::GetBassCutHz, kBassHz, kBassSlider, M::UnlessSelf, kBassEdit},
    {{kHighSlider, kHighEdit, 0}, &I::GetHighCutHz, kHighHz, kHighSlider, M::UnlessSelf, kHighEdit},
    {{kBassCheck, 0, 0}, &I::GetBassCut, kBassCut, 0, M::UnlessSelf, 0, kBassCheck, {kBassSlider, kBassEdit, 0}},
    {{kHighCheck, 0, 0}, &I::GetHighCut, kHighCut, 0, M::UnlessSelf, 0, kHighCheck, {kHighSlider, kHighEdit, 0}},
    {{kModeList, 0, 0}, &I::GetReverbMode, kMode, 0, M::UnlessSelf, 0, 0, {}, kModeList},
    {{kStyleList, 0, 0}, &I::GetEarlyStyle, kStyle, 0, M::UnlessSelf, 0, 0, {}, kStyleList},
};

const PageDescription kPage = {
    5001, 5000, L"Tarnwell Reverb", &IID_IReverbParams, kRanges, kReverbHelp,
};

}  // namespace

UnknownBase* CreateReverbPage(IUnknown* outer, HRESULT* result) {
  return MakeTablePage<I>(outer, result, kPage, kControls, kGroups);
}

}  // namespace quill
