#include "twpitchs/pitch_page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "dsp/stretch_modes.h"
#include "framework/table_page.h"
#include "twpitchs/pitch_fields.h"
#include "twpitchs/pitch_texts.h"
#include "twpitchs/transpose.h"
#include "twtime/time_texts.h"

namespace quill {

namespace {

using I = IPitchParams;
using K = ControlKind;
using M = SliderMove;

enum : int {
  kModeLabel = 2002,
  kPreserveCheck = 2004,
  kAntiAliasCheck = 2005,
  kModeList = 2010,
  kSemitoneEdit = 2011,
  kCentEdit = 2012,
  kRatioText = 2016,
  kSemitoneLabel = 2021,
  kSemitoneSlider = 2022,
  kCentSlider = 2023,
  kAccuracySlider = 2024,
  kAccuracyText = 2025,
  kInitialLabel = 2026,
  kInitialEdit = 2027,
  kFinalText = 2028,
  kFinalLabel = 2029,
  kMusicalText = 2032,
};

// String table entries of the page.
enum : int {
  kUpWord = 2051,
  kDownWord = 2052,
  kBlankWord = 2060,
  kFirstInterval = 2061,  // "Octave", then the eleven intervals up to the major 7th
  kNeedInputPin = 2073,
  kNoTime = 2074,
};

// With the duration preserved the stretcher cannot follow beyond an octave.
constexpr std::int32_t kPreservedSemitones = 12;
// The final time's reachable range, as multiples of the initial length:
// the largest shift up and the largest shift down.
constexpr double kShortestFinal = 0.052467637559037675;
constexpr double kLongestFinal = 19.05900351317871;

constexpr int kSemitoneChars = 50;
constexpr int kCentChars = 10;
constexpr int kTimeChars = 50;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(PitchFields(), offset);
}

const FieldInfo* const kSemitones = Field(offsetof(PitchParams, semitones));
const FieldInfo* const kCents = Field(offsetof(PitchParams, centsTenths));
const FieldInfo* const kAccuracy = Field(offsetof(PitchParams, accuracy));
const FieldInfo* const kPreserve = Field(offsetof(PitchParams, preserveDuration));
const FieldInfo* const kMode = Field(offsetof(PitchParams, mode));
const FieldInfo* const kAntiAlias = Field(offsetof(PitchParams, antiAlias));

// The edits and the shift's own refreshes are the page's; the table takes
// the trackbars, the switches and the list.
const ControlBinding<I> kControls[] = {
    {kSemitoneSlider, K::Trackbar, &I::SetSemitones, kSemitones, 1, 10},
    {kCentSlider, K::Trackbar, &I::SetCents, kCents, 1, 10},
    {kAccuracySlider, K::Trackbar, &I::SetAccuracy, kAccuracy, 1, 10},
    {kAntiAliasCheck, K::Check, &I::SetAntiAlias, kAntiAlias},
    {kPreserveCheck, K::Check, &I::SetPreserve, kPreserve},
    {kModeList, K::List, &I::SetMode, kMode, 0, 0, 9, StretchModeName},
};

const RefreshGroup<I> kGroups[] = {
    {{kAccuracySlider, 0, 0}, &I::GetAccuracy, kAccuracy, kAccuracySlider, M::UnlessSelf, kAccuracyText},
    {{kModeList, 0, 0}, &I::GetMode, kMode, 0, M::FullOnly, 0, 0, {}, kModeList},
};

const ControlRange kRanges[] = {
    {kCentSlider, kCents},
    {kSemitoneSlider, kSemitones},
    {kAccuracySlider, kAccuracy},
};

const PageDescription kPage = {
    2001, 2000, L"Tarnwell Pitch Shift", &IID_IPitchParams, kRanges, kPitchHelp,
};

// The table page with the shift in semitones and cents, the ratio and
// musical name it gives, and the final time when the duration follows it.
class PitchPage final : public TablePage<I> {
 public:
  PitchPage(IUnknown* outer, HRESULT* result) : TablePage<I>(outer, result, kPage, kControls, kGroups) {}
  ~PitchPage() override { Teardown(); }

 protected:
  void FillControls() override {
    TablePage<I>::FillControls();
    for (std::size_t i = 0; i < words_.size(); ++i) words_[i] = LoadText(WordId(i));
  }

  // Preserve, anti-alias, semitones, cents, accuracy, mode, time: the
  // preserve switch may clamp the semitones the later groups show.
  void RefreshGroups(int id, bool full) override {
    if (full || id == kPreserveCheck) {
      RefreshPreserve(full);
      if (id == kPreserveCheck) id = kSemitoneEdit;
    }
    if (full || id == kAntiAliasCheck) {
      std::int32_t on = 0;
      if (full && SUCCEEDED(P()->GetAntiAlias(&on)))
        CheckDlgButton(Dialog(), kAntiAliasCheck, on != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
    if (full || id == kSemitoneSlider || id == kSemitoneEdit) RefreshShift(id, true);
    if (full || id == kCentSlider || id == kCentEdit) RefreshShift(id, false);
    TablePage<I>::RefreshGroups(id, full);
    if (full || id == kInitialEdit) RefreshTime();
  }

  CommandTaken PageCommand(int id, int code) override {
    switch (id) {
      case kSemitoneEdit:
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        TypedSemitones();
        Refresh(id);
        return CommandTaken::Yes;
      case kCentEdit: {
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        double cents = 0.0;
        ParseDecimal(EditText(id, kCentChars).c_str(), &cents);
        P()->SetCents(ScaledValue(cents, 10.0));
        Refresh(id);
        return CommandTaken::Yes;
      }
      case kInitialEdit:
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        TypedLength();
        // The final time follows the length.
        Refresh(kSemitoneEdit);
        Refresh(id);
        return CommandTaken::Yes;
      default:
        return TablePage<I>::PageCommand(id, code);
    }
  }

 private:
  static int WordId(std::size_t i) {
    return i == 0 ? kUpWord : i == 1 ? kDownWord : i == 2 ? kBlankWord : kFirstInterval + static_cast<int>(i) - 3;
  }

  std::string LoadText(int stringId) const {
    char text[256] = {};
    LoadStringA(Module(), static_cast<UINT>(stringId), text, static_cast<int>(sizeof text));
    return text;
  }

  std::wstring EditText(int id, int maxChars) const {
    std::wstring text(static_cast<std::size_t>(maxChars) + 1, L'\0');
    const int length = GetDlgItemTextW(Dialog(), id, text.data(), maxChars + 1);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
  }

  void SetText(int id, const std::string& text) { SetDlgItemTextA(Dialog(), id, text.c_str()); }
  void SetString(int id, int stringId) { SetText(id, LoadText(stringId)); }
  void Enable(int id, bool on) {
    if (HWND control = GetDlgItem(Dialog(), id)) EnableWindow(control, on);
  }

  // The input's rate; false while no input is connected.
  bool Rate(std::uint32_t& rate) const { return SUCCEEDED(P()->GetSampleRate(&rate)); }

  void TypedSemitones() {
    std::int32_t semitones = 0, preserve = 0;
    if (ParseNumber(EditText(kSemitoneEdit, kSemitoneChars).c_str(), &semitones) != 0) return;
    if (SUCCEEDED(P()->GetPreserve(&preserve)) && preserve != 0)
      semitones = std::clamp(semitones, -kPreservedSemitones, kPreservedSemitones);
    P()->SetSemitones(semitones);
  }

  void TypedLength() {
    RunningTime time;
    std::uint32_t rate = 0;
    double frames = 1.0;
    if (ParseTime(EditText(kInitialEdit, kTimeChars).c_str(), CtlSeparators(), &time) && Rate(rate))
      frames = TimeToFrames(rate, time);
    P()->SetLength(frames);
  }

  void RefreshPreserve(bool full) {
    std::int32_t preserve = 0;
    if (FAILED(P()->GetPreserve(&preserve))) return;
    if (full) CheckDlgButton(Dialog(), kPreserveCheck, preserve != 0 ? BST_CHECKED : BST_UNCHECKED);
    const int reach = preserve != 0 ? kPreservedSemitones : static_cast<int>(kSemitones->hi);
    char label[64];
    std::snprintf(label, sizeof label, "Se&mitones to shift pitch by (%d to %d):", -reach, reach);
    SetText(kSemitoneLabel, label);
    if (HWND slider = GetDlgItem(Dialog(), kSemitoneSlider)) {
      SendMessageW(slider, kCtlSetMinimum, 0, -reach);
      SendMessageW(slider, kCtlSetMaximum, 0, reach);
    }
    std::int32_t semitones = 0;
    if (preserve != 0 && SUCCEEDED(P()->GetSemitones(&semitones)))
      P()->SetSemitones(std::clamp(semitones, -kPreservedSemitones, kPreservedSemitones));
    for (int id : {kModeLabel, kModeList}) Enable(id, preserve != 0);
    for (int id : {kInitialLabel, kInitialEdit, kFinalText, kFinalLabel}) Enable(id, preserve == 0);
  }

  // The semitone or the cent group: its own trackbar and edit, then the
  // ratio and everything that follows from it.
  void RefreshShift(int id, bool semitoneGroup) {
    std::int32_t s = 0, c = 0;
    if (FAILED(P()->GetSemitones(&s)) || FAILED(P()->GetCents(&c))) return;
    if (semitoneGroup) {
      if (id != kSemitoneSlider)
        if (HWND slider = GetDlgItem(Dialog(), kSemitoneSlider)) SendMessageW(slider, kCtlSetPosition, TRUE, s);
      SetText(kSemitoneEdit, std::to_string(s));
    } else {
      if (id != kCentSlider)
        if (HWND slider = GetDlgItem(Dialog(), kCentSlider)) SendMessageW(slider, kCtlSetPosition, TRUE, c);
      char text[16];
      std::snprintf(text, sizeof text, "%c%d.%d", c < 0 ? '-' : ' ', std::abs(c / 10), std::abs(c % 10));
      SetText(kCentEdit, text);
    }
    const double ratio = PageRatio(s, c);
    P()->SetRatio(ratio);
    SetText(kRatioText, RatioText(ratio));
    if (semitoneGroup) Enable(kPreserveCheck, s >= -kPreservedSemitones && s <= kPreservedSemitones);
    if (IsWindowEnabled(GetDlgItem(Dialog(), kFinalText))) {
      double length = 0.0;
      std::uint32_t rate = 0;
      if (SUCCEEDED(P()->GetLength(&length)) && Rate(rate))
        SetText(kFinalText, FramesToTime(rate, std::trunc(1.0 / ratio * length)));
      else
        SetString(kFinalText, kNoTime);
    }
    Enable(kAntiAliasCheck, ratio > 1.0);
    MusicalWords words{words_[0], words_[1], words_[2], {}};
    for (std::size_t i = 0; i < words.intervals.size(); ++i) words.intervals[i] = words_[3 + i];
    SetText(kMusicalText, MusicalText(MusicalEquivalent(s, c, ratio), words));
  }

  void RefreshTime() {
    double length = 0.0;
    std::uint32_t rate = 0;
    if (SUCCEEDED(P()->GetLength(&length)) && Rate(rate)) {
      const std::string label = "Final time (" + FramesToTime(rate, std::trunc(length * kShortestFinal)) + " to " +
                                FramesToTime(rate, std::trunc(length * kLongestFinal)) + "):";
      SetText(kFinalLabel, label);
      SetText(kInitialEdit, FramesToTime(rate, length));
    } else {
      SetString(kFinalLabel, kNeedInputPin);
      SetString(kInitialEdit, kNoTime);
    }
  }

  // Up, down, the blank and the twelve interval names.
  std::array<std::string, 15> words_;
};

}  // namespace

UnknownBase* CreatePitchPage(IUnknown* outer, HRESULT* result) {
  auto* page = new (std::nothrow) PitchPage(outer, result);
  if (page == nullptr) *result = E_OUTOFMEMORY;
  return page;
}

}  // namespace quill
