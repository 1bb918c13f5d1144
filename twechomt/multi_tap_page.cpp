#include "twechomt/multi_tap_page.h"

#include <array>
#include <cstddef>
#include <new>
#include <string>

#include "framework/table_page.h"
#include "twechomt/multi_tap_fields.h"
#include "twechomt/tap_graph.h"
#include "twechomt/tap_graph_window.h"

namespace quill {

namespace {

using I = IMultiTapParams;
using K = ControlKind;
using M = SliderMove;

constexpr int kTaps = 8;
// Typed numbers may carry separators: 14 characters hold any value with room.
constexpr int kEditChars = 14;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(MultiTapFields(), offset);
}

enum : int {
  kInputFader = 4003,
  kInputText = 4002,
  kDryFader = 4005,
  kDryText = 4004,
  kWetFader = 4008,
  kWetText = 4009,
  kRateSlider = 4011,
  kRateText = 4035,
  kDepthSlider = 4012,
  kDepthText = 4032,
  kFeedbackSlider = 4013,
  kFeedbackText = 4033,
  kLowpassCheck = 4115,
  kLowpassSlider = 4116,
  kLowpassEdit = 4117,
  kTapCountSlider = 4014,
  kTapCountText = 4034,
  kFirstTapButton = 4018,  // tap i is button 4018 + i
  kTapGainFader = 4026,
  kTapGainText = 4027,
  kDelaySlider = 4029,
  kDelayEdit = 4118,
  kPanLabel = 4039,
  kPanText = 4038,
  kPanSlider = 4031,
  kPanLeft = 4040,
  kPanRight = 4041,
  kGraph = 4042,
  kResolutionList = 4043,
};

const FieldInfo* const kInput = Field(offsetof(MultiTapParams, inputGain));
const FieldInfo* const kDry = Field(offsetof(MultiTapParams, dryOut));
const FieldInfo* const kWet = Field(offsetof(MultiTapParams, wetOut));
const FieldInfo* const kRate = Field(offsetof(MultiTapParams, modRate));
const FieldInfo* const kDepth = Field(offsetof(MultiTapParams, modDepth));
const FieldInfo* const kFeedback = Field(offsetof(MultiTapParams, feedbackPct));
const FieldInfo* const kLowpass = Field(offsetof(MultiTapParams, lowpass));
const FieldInfo* const kLowpassHz = Field(offsetof(MultiTapParams, lowpassHz));
const FieldInfo* const kTapCount = Field(offsetof(MultiTapParams, tapCount));
const FieldInfo* const kResolution = Field(offsetof(MultiTapParams, graphResolution));

// A per-tap field of tap `tap`, given where tap 0's value lies.
const FieldInfo* TapField(std::size_t first, int tap) {
  return Field(first + static_cast<std::size_t>(tap) * sizeof(std::int32_t));
}

// The controls that show the current tap, each bound to one per-tap field.
struct TapBinding {
  std::size_t first;  // offset of tap 0's value
  std::array<FieldGetter<I>, kTaps> get;
  std::array<FieldSetter<I>, kTaps> set;
  int slider;
  ControlKind kind;
  int lineStep;
  int pageStep;
  SliderMove move;
  int text;  // static or edit showing the value
  int edit;  // an edit the value is typed into, or 0
};

const TapBinding kTapBindings[] = {
    {offsetof(MultiTapParams, tapGain),
     {&I::GetTapGain0, &I::GetTapGain1, &I::GetTapGain2, &I::GetTapGain3, &I::GetTapGain4, &I::GetTapGain5,
      &I::GetTapGain6, &I::GetTapGain7},
     {&I::SetTapGain0, &I::SetTapGain1, &I::SetTapGain2, &I::SetTapGain3, &I::SetTapGain4, &I::SetTapGain5,
      &I::SetTapGain6, &I::SetTapGain7},
     kTapGainFader,
     K::Fader,
     1,
     10,
     M::FullOnly,
     kTapGainText,
     0},
    {offsetof(MultiTapParams, tapDelayMs),
     {&I::GetTapDelay0, &I::GetTapDelay1, &I::GetTapDelay2, &I::GetTapDelay3, &I::GetTapDelay4, &I::GetTapDelay5,
      &I::GetTapDelay6, &I::GetTapDelay7},
     {&I::SetTapDelay0, &I::SetTapDelay1, &I::SetTapDelay2, &I::SetTapDelay3, &I::SetTapDelay4, &I::SetTapDelay5,
      &I::SetTapDelay6, &I::SetTapDelay7},
     kDelaySlider,
     K::Trackbar,
     1,
     100,
     M::UnlessSelf,
     kDelayEdit,
     kDelayEdit},
    {offsetof(MultiTapParams, tapPan),
     {&I::GetTapPan0, &I::GetTapPan1, &I::GetTapPan2, &I::GetTapPan3, &I::GetTapPan4, &I::GetTapPan5, &I::GetTapPan6,
      &I::GetTapPan7},
     {&I::SetTapPan0, &I::SetTapPan1, &I::SetTapPan2, &I::SetTapPan3, &I::SetTapPan4, &I::SetTapPan5, &I::SetTapPan6,
      &I::SetTapPan7},
     kPanSlider,
     K::Trackbar,
     1,
     10,
     M::FullOnly,
     kPanText,
     0},
};

// Every tap shares its field's range: tap 0's row sets the controls.
const ControlRange kRanges[] = {
    {kInputFader, kInput},
    {kDryFader, kDry},
    {kWetFader, kWet},
    {kRateSlider, kRate},
    {kDepthSlider, kDepth},
    {kFeedbackSlider, kFeedback},
    {kLowpassSlider, kLowpassHz},
    {kTapCountSlider, kTapCount},
    {kTapGainFader, TapField(offsetof(MultiTapParams, tapGain), 0)},
    {kDelaySlider, TapField(offsetof(MultiTapParams, tapDelayMs), 0)},
    {kPanSlider, TapField(offsetof(MultiTapParams, tapPan), 0)},
};

const ControlBinding<I> kControls[] = {
    {kInputFader, K::Fader, &I::SetInputGain, kInput, 1, 10},
    {kDryFader, K::Fader, &I::SetDryOut, kDry, 1, 10},
    {kWetFader, K::Fader, &I::SetWetOut, kWet, 1, 10},
    {kRateSlider, K::Trackbar, &I::SetModRate, kRate, 1, 10},
    {kDepthSlider, K::Trackbar, &I::SetModDepth, kDepth, 1, 10},
    {kFeedbackSlider, K::Trackbar, &I::SetFeedback, kFeedback, 1, 10},
    {kLowpassCheck, K::Check, &I::SetLowpass, kLowpass},
    {kLowpassSlider, K::Trackbar, &I::SetLowpassHz, kLowpassHz, 1, 100},
    {kLowpassEdit, K::Edit, &I::SetLowpassHz, kLowpassHz, 0, 0, kEditChars},
    {kTapCountSlider, K::Trackbar, &I::SetTapCount, kTapCount, 1, 10},
    // Rows are filled by the page: their texts follow the locale.
    {kResolutionList, K::List, &I::SetGraphResolution, kResolution},
};

const RefreshGroup<I> kGroups[] = {
    {{kInputFader, 0, 0}, &I::GetInputGain, kInput, kInputFader, M::FullOnly, kInputText},
    {{kDryFader, 0, 0}, &I::GetDryOut, kDry, kDryFader, M::FullOnly, kDryText},
    {{kWetFader, 0, 0}, &I::GetWetOut, kWet, kWetFader, M::FullOnly, kWetText},
    {{kRateSlider, 0, 0}, &I::GetModRate, kRate, kRateSlider, M::UnlessSelf, kRateText},
    {{kDepthSlider, 0, 0}, &I::GetModDepth, kDepth, kDepthSlider, M::FullOnly, kDepthText},
    {{kFeedbackSlider, 0, 0}, &I::GetFeedback, kFeedback, kFeedbackSlider, M::FullOnly, kFeedbackText},
    // The corner frequency means something only with the filter on.
    {{kLowpassCheck, 0, 0},
     &I::GetLowpass,
     kLowpass,
     0,
     M::UnlessSelf,
     0,
     kLowpassCheck,
     {kLowpassSlider, kLowpassEdit, 0}},
    {{kLowpassSlider, kLowpassEdit, 0}, &I::GetLowpassHz, kLowpassHz, kLowpassSlider, M::UnlessSelf, kLowpassEdit},
    {{kTapCountSlider, 0, 0}, &I::GetTapCount, kTapCount, kTapCountSlider, M::FullOnly, kTapCountText},
    {{kResolutionList, 0, 0}, &I::GetGraphResolution, kResolution, 0, M::FullOnly, 0, 0, {}, kResolutionList},
};

const PageDescription kPage = {
    4001, 4000, L"Tarnwell Multi-Tap Delay", &IID_IMultiTapParams, kRanges, kMultiTapHelp,
};

// The table page with one set of tap controls that follows the current tap,
// the radio buttons that choose it, and the tap graph kept in step.
class MultiTapPage final : public TablePage<I> {
 public:
  MultiTapPage(IUnknown* outer, HRESULT* result) : TablePage<I>(outer, result, kPage, kControls, kGroups) {}
  ~MultiTapPage() override { Teardown(); }

 protected:
  void FillControls() override {
    TablePage<I>::FillControls();
    FillResolutions();
    EnablePan();
    if (Connected()) AttachTapGraph(GetDlgItem(Dialog(), kGraph), P());
  }

  void ReleaseControls() override {
    if (HWND graph = GetDlgItem(Dialog(), kGraph)) DetachTapGraph(graph);
  }

  void RefreshGroups(int id, bool full) override {
    TablePage<I>::RefreshGroups(id, full);
    // The tap count first: it may move the current tap, which the tap
    // controls then show.
    if (full || id == kTapCountSlider) EnableTaps();
    if (full || TapButton(id) >= 0) CheckCurrentTap();
    for (const TapBinding& t : kTapBindings)
      if (full || id == t.slider || (t.edit != 0 && id == t.edit)) RefreshTap(t, id, full);
    if (full) RepaintGraph();
  }

  bool Scrolled(int id, int position) override {
    if (const TapBinding* t = BindingFor(id)) {
      const int tap = CurrentTap();
      if (tap < 0) return false;
      (P()->*t->set[static_cast<std::size_t>(tap)])(position);
      if (id != kPanSlider) RepaintGraph();
      return true;
    }
    if (!TablePage<I>::Scrolled(id, position)) return false;
    if (id == kTapCountSlider) {
      Refresh(id);
      Refresh(0);  // the tap controls may now show another tap
    } else if (id == kFeedbackSlider) {
      RepaintGraph();
    }
    return true;
  }

  bool Steps(int id, int& line, int& page) const override {
    if (const TapBinding* t = BindingFor(id)) {
      line = t->lineStep;
      page = t->pageStep;
      return true;
    }
    return TablePage<I>::Steps(id, line, page);
  }

  CommandTaken PageCommand(int id, int code) override {
    if (const int tap = TapButton(id); tap >= 0) {
      if (code != BN_CLICKED) return CommandTaken::Ignored;
      P()->SetCurrentTap(tap);
      Refresh(0);
      Refresh(id);
      return CommandTaken::Yes;
    }
    for (const TapBinding& t : kTapBindings) {
      if (t.edit == 0 || t.edit != id) continue;
      if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
      const int tap = CurrentTap();
      std::int32_t value = 0;
      if (tap >= 0 && ReadEdit(id, *TapField(t.first, tap), kEditChars, value))
        (P()->*t.set[static_cast<std::size_t>(tap)])(value);
      RepaintGraph();
      Refresh(id);
      return CommandTaken::Yes;
    }
    const CommandTaken taken = TablePage<I>::PageCommand(id, code);
    if (taken == CommandTaken::Yes && id == kResolutionList) RepaintGraph();
    return taken;
  }

 private:
  static int TapButton(int id) {
    return id >= kFirstTapButton && id < kFirstTapButton + kTaps ? id - kFirstTapButton : -1;
  }

  static const TapBinding* BindingFor(int slider) {
    for (const TapBinding& t : kTapBindings)
      if (t.slider == slider) return &t;
    return nullptr;
  }

  // The tap the controls edit; -1 if the filter does not say.
  int CurrentTap() const {
    std::int32_t tap = 0;
    if (FAILED(P()->GetCurrentTap(&tap)) || tap < 0 || tap >= kTaps) return -1;
    return tap;
  }

  void RefreshTap(const TapBinding& t, int id, bool full) {
    const int tap = CurrentTap();
    if (tap < 0) return;
    std::int32_t value = 0;
    if (FAILED((P()->*t.get[static_cast<std::size_t>(tap)])(&value))) return;
    const bool move = t.move == M::FullOnly ? full : t.slider != id;
    if (move)
      if (HWND slider = GetDlgItem(Dialog(), t.slider)) SendMessageW(slider, kCtlSetPosition, TRUE, value);
    ShowValue(t.text, *TapField(t.first, tap), value);
  }

  // Only the active taps can be chosen; a current tap past them moves to
  // the last active one.
  void EnableTaps() {
    std::int32_t count = 0;
    if (FAILED(P()->GetTapCount(&count))) return;
    for (int i = 0; i < kTaps; ++i)
      if (HWND button = GetDlgItem(Dialog(), kFirstTapButton + i)) EnableWindow(button, i < count);
    std::int32_t tap = 0;
    if (FAILED(P()->GetCurrentTap(&tap)) || tap < count || count < 1) return;
    P()->SetCurrentTap(count - 1);
    CheckCurrentTap();
  }

  void CheckCurrentTap() {
    const int tap = CurrentTap();
    if (tap >= 0) CheckRadioButton(Dialog(), kFirstTapButton, kFirstTapButton + kTaps - 1, kFirstTapButton + tap);
  }

  // The rows show the span as the delay edit shows a delay.
  void FillResolutions() {
    HWND list = GetDlgItem(Dialog(), kResolutionList);
    if (list == nullptr) return;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const FieldInfo& delay = *TapField(offsetof(MultiTapParams, tapDelayMs), 0);
    const char thousands = static_cast<char>(CtlSeparators().thousands);
    for (int row = 0; row < kGraphRows; ++row) {
      const std::string text = ValueText(delay, GraphSpanMs(row), thousands);
      const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
      if (at >= 0) SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), row);
    }
  }

  // Pan means something only in stereo; judged once, as the page opens.
  void EnablePan() {
    AudioFormat format{};
    const bool stereo = Connected() && SUCCEEDED(P()->GetFormat(&format)) && format.channels == 2;
    for (int id : {kPanSlider, kPanText, kPanLabel, kPanLeft, kPanRight})
      if (HWND control = GetDlgItem(Dialog(), id)) EnableWindow(control, stereo);
  }

  void RepaintGraph() {
    if (HWND graph = GetDlgItem(Dialog(), kGraph)) InvalidateRect(graph, nullptr, TRUE);
  }
};

}  // namespace

UnknownBase* CreateMultiTapPage(IUnknown* outer, HRESULT* result) {
  auto* page = new (std::nothrow) MultiTapPage(outer, result);
  if (page == nullptr) *result = E_OUTOFMEMORY;
  return page;
}

}  // namespace quill
