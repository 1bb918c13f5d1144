// The multi-tap delay's settings page: its dialog template, and the page in a
// window driven with real messages, on a filter alone or in a graph.
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"
#include "include/quillfx1.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kInputFader = 4003, kInputText = 4002, kDryText = 4004, kWetText = 4009;
constexpr int kRateSlider = 4011, kRateText = 4035, kDepthSlider = 4012, kDepthText = 4032;
constexpr int kFeedbackSlider = 4013, kFeedbackText = 4033;
constexpr int kLowpassCheck = 4115, kLowpassSlider = 4116, kLowpassEdit = 4117;
constexpr int kTapCountSlider = 4014, kTapCountText = 4034, kFirstTapButton = 4018;
constexpr int kTapGainFader = 4026, kTapGainText = 4027, kDelaySlider = 4029, kDelayEdit = 4118;
constexpr int kPanLabel = 4039, kPanText = 4038, kPanSlider = 4031, kPanLeft = 4040, kPanRight = 4041;
constexpr int kGraph = 4042, kResolutionList = 4043;
constexpr int kPanControls[] = {kPanSlider, kPanText, kPanLabel, kPanLeft, kPanRight};

// The button of each tap that is enabled, and the one that is checked.
std::string TapButtons(HWND dialog) {
  std::string state;
  for (int i = 0; i < 8; ++i) {
    const int id = kFirstTapButton + i;
    state += IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 'x' : Enabled(dialog, id) ? 'o' : '-';
  }
  return state;
}

class MultiTapPage : public EffectPageRig<IMultiTapParams, MultiTapParams> {
 protected:
  MultiTapPage() : EffectPageRig(CLSID_TwEchomtPage, CLSID_TwEchomt, IID_IMultiTapParams) {}
};

// The rest of the frame's answers are the framework's, checked on the simple
// delay; the filter it takes and its title are this page's own.
TEST_F(MultiTapPage, TakesOnlyAMultiTapFilterAndNamesItself) {
  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  ComRef<IUnknown> simple;
  ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IUnknown, simple.PutVoid()), S_OK);
  IUnknown* wrong[] = {simple.Get()};
  EXPECT_EQ(page_->SetObjects(1, wrong), E_NOINTERFACE) << "the simple delay has no multi-tap interface";
  IUnknown* right[] = {filter_.Get()};
  ASSERT_EQ(page_->SetObjects(1, right), S_OK);
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(std::wstring(info.pszTitle), L"Delay/Echo Multi-tap");
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
}

// One control as the dialog template holds it.
struct TemplateItem {
  int id;
  std::string cls;
  DWORD style;
  short x, y, w, h;
  std::string text;  // "#n" for a resource number
  bool operator==(const TemplateItem&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TemplateItem& i) {
  return out << i.id << " " << i.cls << " 0x" << std::hex << i.style << std::dec << " " << i.x << "," << i.y << ","
             << i.w << "," << i.h << " \"" << i.text << "\"";
}

// Reads a name-or-number field of an extended dialog template.
std::string NameOrNumber(const WORD*& at) {
  if (*at == 0xFFFF) {
    const WORD number = at[1];
    at += 2;
    // The predefined classes by atom, from 0x80 on.
    const char* const atoms[] = {"Button", "Edit", "Static", "", "", "ComboBox"};
    if (number >= 0x80 && number <= 0x85 && *atoms[number - 0x80]) return atoms[number - 0x80];
    return "#" + std::to_string(number);
  }
  std::wstring text;
  while (*at != 0) text += static_cast<wchar_t>(*at++);
  ++at;
  return Narrow(text);
}

const WORD* AlignDword(const WORD* at) {
  return reinterpret_cast<const WORD*>((reinterpret_cast<std::uintptr_t>(at) + 3) & ~std::uintptr_t{3});
}

TEST(MultiTapTemplate, ListsEveryControlWithItsClassStylePlaceAndText) {
  HRSRC found = FindResourceW(Quill().handle, MAKEINTRESOURCEW(4001), MAKEINTRESOURCEW(5) /* dialog */);
  ASSERT_TRUE(found);
  const auto* at = static_cast<const WORD*>(LockResource(LoadResource(Quill().handle, found)));
  ASSERT_TRUE(at);
  ASSERT_EQ(at[0], 1) << "extended template";
  ASSERT_EQ(at[1], 0xFFFF);
  DWORD style = 0;
  std::memcpy(&style, at + 6, sizeof style);
  EXPECT_EQ(style & (WS_CHILD | DS_CONTROL), static_cast<DWORD>(WS_CHILD | DS_CONTROL));
  const int count = at[8];
  EXPECT_EQ(static_cast<short>(at[11]), 312);
  EXPECT_EQ(static_cast<short>(at[12]), 250);
  at += 13;
  NameOrNumber(at);  // menu
  NameOrNumber(at);  // class
  NameOrNumber(at);  // caption
  EXPECT_EQ(at[0], 8) << "point size";
  at += 3;  // size, weight, italic and charset
  EXPECT_EQ(NameOrNumber(at), "MS Sans Serif");

  std::vector<TemplateItem> items;
  for (int n = 0; n < count; ++n) {
    at = AlignDword(at);
    DWORD words[3];
    std::memcpy(words, at, sizeof words);  // help id, extended style, style
    TemplateItem item{};
    item.style = words[2];
    item.x = static_cast<short>(at[6]), item.y = static_cast<short>(at[7]);
    item.w = static_cast<short>(at[8]), item.h = static_cast<short>(at[9]);
    DWORD id = 0;
    std::memcpy(&id, at + 10, sizeof id);
    item.id = static_cast<WORD>(id);  // as the dialog manager reports it
    at += 12;
    item.cls = NameOrNumber(at);
    item.text = NameOrNumber(at);
    const WORD extra = *at++;
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    items.push_back(item);
  }
  const std::vector<TemplateItem> want = {
      {4048, "Static", 0x50020001, 2, 86, 45, 16, "&Input gain\n(-Inf. to 0 dB)"},
      {4003, "TwCtlLib_Fader_Class", 0x50011083, 20, 15, 10, 70, ""},
      {4002, "Static", 0x50020001, 2, 6, 45, 8, "-96.0 dB"},
      {4049, "Static", 0x50020001, 48, 86, 45, 16, "Dr&y out\n(-Inf. to 0 dB)"},
      {4005, "TwCtlLib_Fader_Class", 0x50011083, 66, 15, 10, 70, ""},
      {4004, "Static", 0x50020001, 48, 6, 45, 8, "-96.0 dB"},
      {4050, "Static", 0x50020001, 94, 86, 45, 16, "We&t out\n(-Inf. to 0 dB)"},
      {4008, "TwCtlLib_Fader_Class", 0x50011083, 111, 15, 10, 70, ""},
      {4009, "Static", 0x50020001, 94, 6, 45, 8, "-96.0 dB"},
      {4051, "Static", 0x50020000, 147, 9, 110, 8, "&Mod. rate (0.1 to 10.0 Hz):"},
      {4011, "TwCtlLib_Trackbar_Class", 0x50010002, 147, 19, 160, 12, ""},
      {4035, "Static", 0x50020002, 267, 9, 40, 8, "10.0 Hz"},
      {4052, "Static", 0x50020000, 147, 37, 110, 8, "M&od. depth (0 to 100 %):"},
      {4012, "TwCtlLib_Trackbar_Class", 0x50010002, 147, 47, 160, 12, ""},
      {4032, "Static", 0x50020002, 267, 37, 40, 8, "100 %"},
      {4053, "Static", 0x50020000, 147, 66, 110, 8, "&Feedback (0 to 150 %):"},
      {4013, "TwCtlLib_Trackbar_Class", 0x50010002, 147, 75, 160, 12, ""},
      {4033, "Static", 0x50020002, 267, 66, 40, 8, "150 %"},
      {4115, "Button", 0x50010003, 147, 95, 110, 10, "&Lowpass start freq. (Hz):"},
      {4116, "TwCtlLib_Trackbar_Class", 0x50010002, 147, 107, 160, 12, ""},
      {4117, "Edit", 0x50810080, 267, 94, 40, 12, ""},
      {4054, "Static", 0x50020000, 6, 109, 80, 8, "Numb&er of taps (1 to 8):"},
      {4014, "TwCtlLib_Trackbar_Class", 0x50010002, 88, 107, 31, 12, ""},
      {4034, "Static", 0x50020002, 123, 109, 8, 8, "8"},
      {4055, "Static", 0x50020000, 6, 124, 42, 8, "&Current tap:"},
      {4018, "Button", 0x50000009, 51, 124, 20, 10, "&1"},
      {4019, "Button", 0x50000009, 72, 124, 20, 10, "&2"},
      {4020, "Button", 0x50000009, 93, 124, 20, 10, "&3"},
      {4021, "Button", 0x50000009, 114, 124, 20, 10, "&4"},
      {4022, "Button", 0x50000009, 135, 124, 20, 10, "&5"},
      {4023, "Button", 0x50000009, 156, 124, 20, 10, "&6"},
      {4024, "Button", 0x50000009, 177, 124, 20, 10, "&7"},
      {4025, "Button", 0x50000009, 200, 124, 20, 10, "&8"},
      {65535, "Static", 0x50000010, 221, 129, 86, 1, ""},
      {4056, "Static", 0x50020001, 2, 224, 50, 16, "Tap &gain\n(-100 to 100 %)"},
      {4026, "TwCtlLib_Fader_Class", 0x50011083, 20, 146, 10, 76, ""},
      {4027, "Static", 0x50020001, 2, 137, 45, 8, "100 %"},
      {4057, "Static", 0x50020000, 81, 217, 70, 8, "&Delay (1 to 2,500 ms):"},
      {4029, "TwCtlLib_Trackbar_Class", 0x50010002, 81, 228, 121, 12, ""},
      {4118, "Edit", 0x50810080, 162, 215, 40, 12, ""},
      {4039, "Static", 0x50020000, 209, 217, 17, 8, "Pan:"},
      {4038, "Static", 0x50020002, 232, 217, 25, 8, "100 %"},
      {4031, "TwCtlLib_Trackbar_Class", 0x50010002, 208, 228, 49, 12, ""},
      {4040, "Static", 0x50020000, 208, 241, 8, 8, "L"},
      {4041, "Static", 0x50020002, 241, 241, 8, 8, "R"},
      {4047, "Static", 0x50020000, 81, 199, 10, 8, "0"},
      {4046, "Static", 0x50020002, 54, 185, 25, 8, "-100 %"},
      {4045, "Static", 0x50020002, 54, 162, 25, 8, "Gain"},
      {4044, "Static", 0x50020002, 54, 140, 25, 8, "100 %"},
      {4042, "TwCtlLib_Static_Class", 0x50000000, 81, 140, 176, 56, ""},
      {4058, "Static", 0x50020000, 106, 200, 101, 8, "Graph Resolut&ion (Delay ms):"},
      {4043, "ComboBox", 0x50210003, 209, 198, 48, 58, ""},
      {65535, "Static", 0x5000000e, 264, 140, 43, 53, "#1"},
  };
  ASSERT_EQ(items.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    // Class names compare without case, as the platform looks them up.
    if (_stricmp(items[i].cls.c_str(), want[i].cls.c_str()) == 0) items[i].cls = want[i].cls;
    EXPECT_EQ(items[i], want[i]) << "item " << i;
  }
}

TEST_F(MultiTapPage, OpensOnTheFilterWithTheTablesRangesAndTexts) {
  Open();
  // The new filter's preset: one tap of 100 ms at 100 %, -6.0 dB out.
  EXPECT_EQ(Text(dialog_, kInputText), "0.0 dB");
  EXPECT_EQ(Text(dialog_, kDryText), "-6.0 dB");
  EXPECT_EQ(Text(dialog_, kWetText), "-6.0 dB");
  EXPECT_EQ(Text(dialog_, kRateText), "0.1 Hz");
  EXPECT_EQ(Text(dialog_, kDepthText), "0 %");
  EXPECT_EQ(Text(dialog_, kFeedbackText), "0 %");
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "5,000");
  EXPECT_EQ(Text(dialog_, kTapCountText), "1");
  EXPECT_EQ(Text(dialog_, kTapGainText), "100");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "100");
  EXPECT_EQ(Text(dialog_, kPanText), "0 %");
  EXPECT_EQ(Selected(dialog_, kResolutionList), "500");
  EXPECT_EQ(TapButtons(dialog_), "x-------") << "one tap, the first current";
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kLowpassCheck), BST_UNCHECKED);
  EXPECT_FALSE(Enabled(dialog_, kLowpassSlider) || Enabled(dialog_, kLowpassEdit));
  EXPECT_EQ(Position(dialog_, kDelaySlider), 100);
  EXPECT_EQ(Position(dialog_, kTapGainFader), 100);
  EXPECT_EQ(Position(dialog_, kLowpassSlider), 5000);
  // Not yet in a graph, so no stereo format: pan is of no use.
  for (int id : kPanControls) EXPECT_FALSE(Enabled(dialog_, id)) << id;

  const struct {
    int id, lowest, highest;
  } ranges[] = {{kInputFader, -800, 0},     {kRateSlider, 1, 100},        {kDepthSlider, 0, 100},
                {kFeedbackSlider, 0, 150},  {kLowpassSlider, 100, 10000}, {kTapCountSlider, 1, 8},
                {kTapGainFader, -100, 100}, {kDelaySlider, 1, 2500},      {kPanSlider, -100, 100}};
  for (const auto& r : ranges) {
    EXPECT_EQ(SendDlgItemMessageW(dialog_, r.id, kCtlGetMinimum, 0, 0), r.lowest) << r.id;
    EXPECT_EQ(SendDlgItemMessageW(dialog_, r.id, kCtlGetMaximum, 0, 0), r.highest) << r.id;
  }

  // The graph's resolutions, grouped, each row carrying its index.
  HWND list = GetDlgItem(dialog_, kResolutionList);
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 4);
  const char* rows[] = {"500", "1,000", "3,000", "5,000"};
  for (int i = 0; i < 4; ++i) {
    char text[32] = {};
    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, rows[i]);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, i, 0), i);
  }

  // Changed behind the page's back, then shown by a full refresh.
  ASSERT_EQ(params_->SetModRate(25), S_OK);
  ASSERT_EQ(params_->SetFeedback(150), S_OK);
  ASSERT_EQ(params_->SetTapGain0(-48), S_OK);
  ASSERT_EQ(params_->SetTapPan0(-24), S_OK);
  ASSERT_EQ(params_->SetLowpassHz(10000), S_OK);
  ASSERT_EQ(params_->SetGraphResolution(2), S_OK);
  FormatNotice(dialog_);
  EXPECT_EQ(Text(dialog_, kRateText), "2.5 Hz");
  EXPECT_EQ(Text(dialog_, kFeedbackText), "150 %");
  EXPECT_EQ(Text(dialog_, kTapGainText), "-48");
  EXPECT_EQ(Position(dialog_, kTapGainFader), -48);
  EXPECT_EQ(Text(dialog_, kPanText), "-24 %");
  EXPECT_EQ(Position(dialog_, kPanSlider), -24);
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "10,000");
  EXPECT_EQ(Selected(dialog_, kResolutionList), "3,000");
  // A row past the list cannot be stored.
  params_->SetGraphResolution(7);
  EXPECT_EQ(Read().graphResolution, 3);
  FormatNotice(dialog_);
  EXPECT_EQ(Selected(dialog_, kResolutionList), "5,000");
}

TEST_F(MultiTapPage, SlidersFadersCheckBoxAndLowpassEditGoLive) {
  Open();
  Key(kInputFader, VK_NEXT);
  EXPECT_EQ(Read().inputGain, -10);
  EXPECT_EQ(Text(dialog_, kInputText), "-1.0 dB");
  Key(kRateSlider, VK_RIGHT);
  EXPECT_EQ(Read().modRate, 2);
  EXPECT_EQ(Text(dialog_, kRateText), "0.2 Hz");
  Key(kDepthSlider, VK_NEXT);
  EXPECT_EQ(Read().modDepth, 10);
  EXPECT_EQ(Text(dialog_, kDepthText), "10 %");
  Key(kFeedbackSlider, VK_NEXT, 16);
  EXPECT_EQ(Read().feedbackPct, 150) << "held at the top";
  EXPECT_EQ(Text(dialog_, kFeedbackText), "150 %");

  // The check box turns the filter on and enables its frequency.
  Click(dialog_, kLowpassCheck);
  EXPECT_EQ(Read().lowpass, 1);
  EXPECT_TRUE(Enabled(dialog_, kLowpassSlider) && Enabled(dialog_, kLowpassEdit));
  TypeAndLeave(kLowpassEdit, "12,000");
  EXPECT_EQ(Read().lowpassHz, 10000) << "clamped";
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "10,000");
  EXPECT_EQ(Position(dialog_, kLowpassSlider), 10000);
  TypeAndLeave(kLowpassEdit, "warm");
  EXPECT_EQ(Read().lowpassHz, 10000) << "letters store nothing";
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "10,000");
  TypeAndLeave(kLowpassEdit, "1,234");
  EXPECT_EQ(Read().lowpassHz, 1234);
  EXPECT_EQ(Position(dialog_, kLowpassSlider), 1234);
  Key(kLowpassSlider, VK_NEXT);
  EXPECT_EQ(Read().lowpassHz, 1334) << "a page is 100 Hz";
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "1,334");
  // Fourteen characters are read, no more.
  TypeAndLeave(kLowpassEdit, "00000000000150");
  EXPECT_EQ(Read().lowpassHz, 150);
  TypeAndLeave(kLowpassEdit, "000000000004500");
  EXPECT_EQ(Read().lowpassHz, 450);
  Click(dialog_, kLowpassCheck);
  EXPECT_EQ(Read().lowpass, 0);
  EXPECT_FALSE(Enabled(dialog_, kLowpassSlider) || Enabled(dialog_, kLowpassEdit));
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "450") << "value kept";

  // The list's selection goes to the filter as its row.
  Key(kResolutionList, VK_DOWN, 2);
  EXPECT_EQ(Read().graphResolution, 2);
  EXPECT_EQ(Selected(dialog_, kResolutionList), "3,000");
}

TEST_F(MultiTapPage, TapControlsEditTheCurrentTap) {
  Open();
  Key(kTapCountSlider, VK_RIGHT, 9);
  EXPECT_EQ(Read().tapCount, 8);
  EXPECT_EQ(Text(dialog_, kTapCountText), "8");
  EXPECT_EQ(TapButtons(dialog_), "xooooooo");

  Click(dialog_, kFirstTapButton + 2);
  EXPECT_EQ(Read().currentTap, 2);
  EXPECT_EQ(TapButtons(dialog_), "ooxooooo");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "1") << "tap 3's delay";
  EXPECT_EQ(Position(dialog_, kDelaySlider), 1);

  Key(kDelaySlider, VK_RIGHT);
  EXPECT_EQ(Read().tapDelayMs[2], 2);
  EXPECT_EQ(Read().tapDelayMs[0], 100) << "other taps untouched";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2");
  TypeAndLeave(kDelayEdit, "2,000");
  EXPECT_EQ(Read().tapDelayMs[2], 2000);
  EXPECT_EQ(Position(dialog_, kDelaySlider), 2000);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2,000");
  TypeAndLeave(kDelayEdit, "9999");
  EXPECT_EQ(Read().tapDelayMs[2], 2500) << "clamped";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2,500");
  TypeAndLeave(kDelayEdit, "1.5");
  EXPECT_EQ(Read().tapDelayMs[2], 2500) << "not a whole number";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2,500");

  Key(kTapGainFader, VK_NEXT);
  EXPECT_EQ(Read().tapGain[2], 90);
  EXPECT_EQ(Read().tapGain[0], 100);
  EXPECT_EQ(Text(dialog_, kTapGainText), "90");

  // Back to the first tap: its values, not the third's.
  Click(dialog_, kFirstTapButton);
  EXPECT_EQ(Read().currentTap, 0);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "100");
  EXPECT_EQ(Position(dialog_, kDelaySlider), 100);
  EXPECT_EQ(Text(dialog_, kTapGainText), "100");
  EXPECT_EQ(Position(dialog_, kTapGainFader), 100);

  // The current tap is asked of the filter at each edit.
  ASSERT_EQ(params_->SetCurrentTap(5), S_OK);
  Key(kDelaySlider, VK_RIGHT);
  EXPECT_EQ(Read().tapDelayMs[5], 101) << "the slider stood at tap 1's 100";
  EXPECT_EQ(Read().tapDelayMs[0], 100);
}

TEST_F(MultiTapPage, FewerTapsDisableTheirButtonsAndMoveTheCurrentTap) {
  Open();
  ASSERT_EQ(params_->SetTapDelay2(333), S_OK);
  Key(kTapCountSlider, VK_RIGHT, 7);
  Click(dialog_, kFirstTapButton + 7);
  EXPECT_EQ(TapButtons(dialog_), "ooooooox");
  Key(kTapCountSlider, VK_LEFT, 5);
  EXPECT_EQ(Read().tapCount, 3);
  EXPECT_EQ(Text(dialog_, kTapCountText), "3");
  EXPECT_EQ(Read().currentTap, 2);
  EXPECT_EQ(TapButtons(dialog_), "oox-----");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "333") << "the tap controls show tap 3";

  // Already among the active taps: it stays.
  Click(dialog_, kFirstTapButton + 1);
  Key(kTapCountSlider, VK_LEFT);
  EXPECT_EQ(Read().currentTap, 1);
  EXPECT_EQ(TapButtons(dialog_), "ox------");
}

// Opened on a filter in a graph whose pins took a format.
class MultiTapPanPage : public GraphPageRig {
 protected:
  void OpenOn(int channels, bool connectFirst = true) {
    OpenPage(CLSID_TwEchomt, CLSID_TwEchomtPage, MakeAudioType(WAVE_FORMAT_PCM, static_cast<WORD>(channels), 44100, 16),
             connectFirst);
  }
  int PanEnabled() {
    return static_cast<int>(std::ranges::count_if(kPanControls, [&](int id) { return Enabled(dialog_, id); }));
  }
};

TEST_F(MultiTapPanPage, MonoLeavesPanDisabled) {
  OpenOn(1);
  EXPECT_EQ(PanEnabled(), 0);
}

TEST_F(MultiTapPanPage, StereoEnablesPanAndItEditsTheCurrentTap) {
  OpenOn(2);
  ASSERT_EQ(PanEnabled(), 5);
  auto params = Effect<IMultiTapParams>(IID_IMultiTapParams);
  ASSERT_EQ(params->SetTapCount(2), S_OK);
  ASSERT_EQ(params->SetCurrentTap(1), S_OK);
  FormatNotice(dialog_);
  MultiTapParams p{};
  PressKey(dialog_, kPanSlider, VK_LEFT);
  EXPECT_EQ(params->GetParams(&p), S_OK);
  EXPECT_EQ(p.tapPan[1], -1);
  EXPECT_EQ(Text(dialog_, kPanText), "-1 %");
  PressKey(dialog_, kPanSlider, VK_HOME);
  EXPECT_EQ(params->GetParams(&p), S_OK);
  EXPECT_EQ(std::pair(p.tapPan[0], p.tapPan[1]), std::pair(0, -100)) << "the first tap untouched";
  EXPECT_EQ(Text(dialog_, kPanText), "-100 %");
}

TEST_F(MultiTapPanPage, PanIsJudgedOnlyAsThePageOpens) {
  OpenOn(2, /*connectFirst=*/false);
  EXPECT_EQ(PanEnabled(), 0);
  auto params = Effect<IMultiTapParams>(IID_IMultiTapParams);
  ASSERT_EQ(params->SetDryOut(-200), S_OK);
  Connect();  // a stereo format arrives, and the filter tells the page
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kDryText) == "-20.0 dB"; })) << "refreshed";
  EXPECT_EQ(PanEnabled(), 0);
}

TEST_F(MultiTapPage, PresetMenuListsTwentyFiveAndAppliesStereoPan) {
  Open();
  ASSERT_EQ(params_->SetTapCount(6), S_OK);
  ASSERT_EQ(params_->SetCurrentTap(5), S_OK);
  FormatNotice(dialog_);
  ASSERT_EQ(TapButtons(dialog_), "ooooox--");
  // "Tapped delay, stereo pan" is the 24th entry.
  std::vector<WPARAM> keys = {VK_DOWN, VK_RIGHT};
  keys.insert(keys.end(), 23, VK_DOWN);
  keys.push_back(VK_RETURN);
  MenuKeys menu(keys);
  OpenMenuAndPress(dialog_, menu);
  ASSERT_EQ(menu.presets.size(), 25u) << "every preset but the default";
  EXPECT_EQ(menu.presets.front(), "Default all parameters");
  EXPECT_EQ(menu.presets[23], "Tapped delay, stereo pan");
  EXPECT_EQ(menu.presets.back(), "Channel delay for stereo simulation");
  for (std::size_t i = 0; i < menu.commands.size(); ++i) EXPECT_EQ(menu.commands[i], 40500u + i);

  EXPECT_TRUE(WaitFor([&] { return Read().tapCount == 8; }));
  EXPECT_EQ(Read().currentTap, 0);
  EXPECT_EQ(TapButtons(dialog_), "xooooooo");
  EXPECT_EQ(Text(dialog_, kTapCountText), "8");
  const MultiTapParams applied = Read();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(applied.tapPan[i], i % 2 == 0 ? -100 : 100) << i;
  EXPECT_EQ(Text(dialog_, kPanText), "-100 %");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "17");
  EXPECT_EQ(Text(dialog_, kTapGainText), "-91");
  EXPECT_EQ(Position(dialog_, kTapGainFader), -91);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kLowpassCheck), BST_CHECKED);
  EXPECT_EQ(Text(dialog_, kLowpassEdit), "4,000");
  EXPECT_EQ(Text(dialog_, kWetText), "-8.0 dB");
  EXPECT_EQ(Text(dialog_, kDryText), "0.0 dB");
}

TEST_F(MultiTapPage, AboutBoxAndHelpTopicsForItsControls) {
  Open();
  EXPECT_EQ(AboutLineFromMenu(dialog_, L"About Tarnwell Multi-Tap Delay"), "Tarnwell Multi-Tap Delay Plug-In");

  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  PressF1(kDelaySlider);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(45).second); })) << "context 45";
  PressF1(kTapGainFader);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(46).second); })) << "context 46";
  PressF1(kResolutionList);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(49).second); })) << "context 49";
  // The pan value is listed under pan and under the graph: pan comes first.
  HELPINFO pan{sizeof pan, HELPINFO_WINDOW, kPanText, GetDlgItem(dialog_, kPanText), 0, {}};
  SendMessageW(dialog_, WM_HELP, 0, reinterpret_cast<LPARAM>(&pan));
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(47).second); })) << "context 47";
  HELPINFO graph{sizeof graph, HELPINFO_WINDOW, kGraph, GetDlgItem(dialog_, kGraph), 0, {}};
  SendMessageW(dialog_, WM_HELP, 0, reinterpret_cast<LPARAM>(&graph));
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(48).second); })) << "context 48";
}

}  // namespace
}  // namespace quill::test
