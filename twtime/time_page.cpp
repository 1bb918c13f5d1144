#include "twtime/time_page.h"

#include <cmath>
#include <cstddef>
#include <new>
#include <string>

#include "dsp/stretch_modes.h"
#include "framework/table_page.h"
#include "twtime/time_fields.h"
#include "twtime/time_texts.h"

namespace quill {

namespace {

using I = ITimeParams;
using K = ControlKind;
using M = SliderMove;

enum : int {
  kFinalLabel = 1002,
  kFinalSlider = 1003,
  kModeList = 1004,
  kFinalEdit = 1007,
  kInitialEdit = 1008,
  kFormatList = 1015,
  kInitialLabel = 1016,
  kPercentText = 1018,
};

// String table entries of the page.
enum : int {
  kTempoInitialLabel = 1009,
  kTimeInitialLabel = 1010,
  kNoInitialLabel = 1011,
  kPercentLabel = 1014,
  kNeedInputPin = 1020,
  kNoTime = 1021,
};

enum : std::int32_t { kPercentage = 0, kTempo = 1, kTime = 2 };

// A typed time or tempo may carry separators and a fraction.
constexpr int kEditChars = 20;
// The trackbar shows the final length less 100.0 %, so that it sits at 0
// on the unchanged length.
constexpr double kSliderOrigin = 1000.0;

const FieldInfo* Field(std::size_t offset) {
  return FieldAt(TimeFields(), offset);
}

const FieldInfo* const kFinal = Field(offsetof(TimeParams, finalTenths));
const FieldInfo* const kMode = Field(offsetof(TimeParams, mode));
const FieldInfo* const kTempoField = Field(offsetof(TimeParams, tempoTenths));
const FieldInfo* const kFormat = Field(offsetof(TimeParams, inputFormat));

const char* FormatName(int row) {
  static const char* const kNames[] = {"Percentage", "Tempo (bpm)", "Time (hr:mn:sc)"};
  return row >= 0 && row < static_cast<int>(std::size(kNames)) ? kNames[row] : nullptr;
}

// The lists are the table's; the final length (a double) and the typed
// tempo and time are the page's own.
const ControlBinding<I> kControls[] = {
    {kModeList, K::List, &I::SetMode, kMode, 0, 0, 9, StretchModeName},
    {kFormatList, K::List, &I::SetInputFormat, kFormat, 0, 0, 9, FormatName},
};

// The initial value means something only with a tempo or a time.
const RefreshGroup<I> kGroups[] = {
    {{kModeList, 0, 0}, &I::GetMode, kMode, 0, M::FullOnly, 0, 0, {}, kModeList},
    {{kFormatList, 0, 0},
     &I::GetInputFormat,
     kFormat,
     0,
     M::FullOnly,
     0,
     0,
     {kInitialLabel, kInitialEdit, 0},
     kFormatList},
};

const PageDescription kPage = {
    // No range rows: the trackbar's range is the final field's moved by the
    // origin, which the page sets itself.
    1001, 1000, L"Tarnwell Time Compress/Expand", &IID_ITimeParams, {}, kTimeHelp,
};

// The table page with the final length entered as a percentage, a tempo or
// a running time, and the labels that follow the entry chosen.
class TimePage final : public TablePage<I> {
 public:
  TimePage(IUnknown* outer, HRESULT* result) : TablePage<I>(outer, result, kPage, kControls, kGroups) {}
  ~TimePage() override { Teardown(); }

 protected:
  void FillControls() override {
    TablePage<I>::FillControls();
    if (HWND slider = GetDlgItem(Dialog(), kFinalSlider)) {
      SendMessageW(slider, kCtlSetMinimum, 0, static_cast<LPARAM>(kFinal->lo - kSliderOrigin));
      SendMessageW(slider, kCtlSetMaximum, 0, static_cast<LPARAM>(kFinal->hi - kSliderOrigin));
    }
  }

  // Final length, mode, input format, initial value: the order matters, as
  // the format and initial groups both write the final label.
  void RefreshGroups(int id, bool full) override {
    if (full || id == kFinalSlider || id == kFinalEdit) RefreshFinal(id);
    TablePage<I>::RefreshGroups(id, full);
    if (full || id == kFormatList) RefreshFormat();
    if (full || id == kInitialEdit) RefreshInitial();
  }

  bool Scrolled(int id, int position) override {
    if (id != kFinalSlider) return false;
    P()->SetFinal(position + kSliderOrigin);
    return true;
  }

  bool Steps(int id, int& line, int& page) const override {
    if (id != kFinalSlider) return false;
    line = 1;
    page = 100;
    return true;
  }

  CommandTaken PageCommand(int id, int code) override {
    switch (id) {
      case kFormatList: {
        if (code != CBN_SELCHANGE) return CommandTaken::No;
        const LRESULT at = SendDlgItemMessageW(Dialog(), id, CB_GETCURSEL, 0, 0);
        if (at < 0) return CommandTaken::No;
        P()->SetInputFormat(static_cast<std::int32_t>(SendDlgItemMessageW(Dialog(), id, CB_GETITEMDATA, at, 0)));
        // The format's label last: it carries the accelerator.
        Refresh(kFinalEdit);
        Refresh(kInitialEdit);
        Refresh(kFormatList);
        return CommandTaken::Yes;
      }
      case kFinalEdit:
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        TypedFinal();
        Refresh(id);
        return CommandTaken::Yes;
      case kInitialEdit:
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        TypedInitial();
        Refresh(id);
        return CommandTaken::Yes;
      default:
        return TablePage<I>::PageCommand(id, code);
    }
  }

 private:
  struct Entry {
    double final = 0.0;
    std::int32_t format = kPercentage;
    std::int32_t tempo = 0;
    double length = 0.0;
  };

  bool Read(Entry& e) const {
    return SUCCEEDED(P()->GetFinal(&e.final)) && SUCCEEDED(P()->GetInputFormat(&e.format)) &&
           SUCCEEDED(P()->GetTempo(&e.tempo)) && SUCCEEDED(P()->GetLength(&e.length));
  }

  // The input's rate; false while no input is connected.
  bool Rate(std::uint32_t& rate) const { return SUCCEEDED(P()->GetSampleRate(&rate)); }

  std::wstring EditText(int id) const {
    std::wstring text(kEditChars + 1, L'\0');
    const int length = GetDlgItemTextW(Dialog(), id, text.data(), kEditChars + 1);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
  }

  double Number(int id) const {
    double value = 0.0;
    ParseDecimal(EditText(id).c_str(), &value);
    return value;
  }

  // Frames of a typed time; false if it is no time or the rate is unknown.
  bool Frames(int id, double& frames) const {
    RunningTime time;
    std::uint32_t rate = 0;
    if (!ParseTime(EditText(id).c_str(), CtlSeparators(), &time) || !Rate(rate)) return false;
    frames = TimeToFrames(rate, time);
    return true;
  }

  void TypedFinal() {
    if (Dialog() == nullptr) return;
    Entry e;
    if (!Read(e)) return;
    switch (e.format) {
      case kTempo:
        P()->SetFinal(FinalFromTempo(e.tempo, Number(kFinalEdit)));
        break;
      case kTime: {
        double frames = 1.0;
        if (!Frames(kFinalEdit, frames)) frames = 1.0;
        P()->SetFinal(FinalFromFrames(frames, e.length));
        break;
      }
      default:
        P()->SetFinal(FinalFromPercent(Number(kFinalEdit)));
        break;
    }
  }

  void TypedInitial() {
    std::int32_t format = kPercentage;
    if (FAILED(P()->GetInputFormat(&format))) return;
    if (format == kTempo) {
      P()->SetTempo(ScaledValue(Number(kInitialEdit), 10.0));
    } else if (format == kTime) {
      double frames = 0.0;
      P()->SetLength(Frames(kInitialEdit, frames) ? frames : 0.0);
    }
  }

  void SetText(int id, const std::string& text) { SetDlgItemTextA(Dialog(), id, text.c_str()); }
  void SetString(int id, int stringId) {
    char text[256] = {};
    LoadStringA(Module(), static_cast<UINT>(stringId), text, static_cast<int>(sizeof text));
    SetDlgItemTextA(Dialog(), id, text);
  }
  // Tenths as the page shows them, truncated.
  static std::string TenthsText(const FieldInfo& field, double value) {
    return ValueText(field, ScaledValue(value, 1.0));
  }

  void RefreshFinal(int id) {
    Entry e;
    if (!Read(e)) return;
    if (id != kFinalSlider)
      if (HWND slider = GetDlgItem(Dialog(), kFinalSlider))
        SendMessageW(slider, kCtlSetPosition, TRUE, ScaledValue(e.final - kSliderOrigin, 1.0));
    std::uint32_t rate = 0;
    if (e.format == kTempo) {
      SetText(kFinalEdit, TenthsText(*kTempoField, FinalTempoTenths(e.tempo, e.final)));
    } else if (e.format == kTime) {
      if (Rate(rate))
        SetText(kFinalEdit, FramesToTime(rate, std::trunc(e.final * 0.001 * e.length)));
      else
        SetString(kFinalEdit, kNoTime);
    } else {
      SetText(kFinalEdit, TenthsText(*kFinal, e.final));
    }
    SetText(kPercentText, TenthsText(*kFinal, e.final) + " %");
  }

  void RefreshFormat() {
    Entry e;
    if (!Read(e)) return;
    std::uint32_t rate = 0;
    if (e.format == kTempo) {
      SetString(kInitialLabel, kTempoInitialLabel);
      SetText(kFinalLabel, TempoRangeLabel(*kFinal, e.tempo, true));
    } else if (e.format == kTime) {
      if (Rate(rate)) {
        SetString(kInitialLabel, kTimeInitialLabel);
        SetText(kFinalLabel, TimeRangeLabel(*kFinal, rate, e.length, true));
      } else {
        SetString(kFinalLabel, kNeedInputPin);
      }
    } else {
      SetString(kInitialLabel, kNoInitialLabel);
      SetString(kFinalLabel, kPercentLabel);
    }
  }

  void RefreshInitial() {
    Entry e;
    if (!Read(e)) return;
    std::uint32_t rate = 0;
    if (e.format == kTempo) {
      SetText(kFinalLabel, TempoRangeLabel(*kFinal, e.tempo, false));
      SetText(kInitialEdit, ValueText(*kTempoField, e.tempo));
    } else if (e.format == kTime) {
      if (Rate(rate)) {
        SetText(kFinalLabel, TimeRangeLabel(*kFinal, rate, e.length, false));
        SetText(kInitialEdit, FramesToTime(rate, e.length));
      } else {
        SetString(kInitialEdit, kNoTime);
      }
    } else {
      SetText(kInitialEdit, "0");
    }
  }
};

}  // namespace

UnknownBase* CreateTimePage(IUnknown* outer, HRESULT* result) {
  auto* page = new (std::nothrow) TimePage(outer, result);
  if (page == nullptr) *result = E_OUTOFMEMORY;
  return page;
}

}  // namespace quill
