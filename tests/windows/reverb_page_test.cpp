// The reverb's settings page in real windows: its lists, faders, sliders,
// check boxes and frequency fields driven with real messages, presets, F1.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"
#include "twreverb/reverb_tables.h"

namespace quill::test {
namespace {

constexpr int kModeList = 5030, kStyleList = 5031, kDryFader = 5013, kDryText = 5016, kReverbFader = 5014,
              kReverbText = 5017, kEarlyText = 5018, kDecaySlider = 5032, kDecayText = 5019, kPreDelaySlider = 5033,
              kPreDelayText = 5023, kBassCheck = 5034, kBassSlider = 5038, kBassEdit = 5036, kHighCheck = 5035,
              kHighSlider = 5039, kHighEdit = 5037;

class ReverbPage : public EffectPageRig<IReverbParams, ReverbParams> {
 protected:
  ReverbPage() : EffectPageRig(CLSID_TwReverbPage, CLSID_TwReverb, IID_IReverbParams) {}
};

TEST_F(ReverbPage, ShowsTheDefaultPreset) {
  Open();
  EXPECT_EQ(Text(dialog_, kDryText), "0.0 dB");
  EXPECT_EQ(Text(dialog_, kReverbText), "-35.0 dB");
  EXPECT_EQ(Text(dialog_, kEarlyText), "-20.0 dB");
  EXPECT_EQ(Selected(dialog_, kModeList), "Rich hall");
  EXPECT_EQ(Selected(dialog_, kStyleList), "Mode 4  (16 ms)");
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kModeList, CB_GETCOUNT, 0, 0), 19);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kStyleList, CB_GETCOUNT, 0, 0), 10);
  EXPECT_EQ(Text(dialog_, kDecayText), "2.5 sec.");
  EXPECT_EQ(Text(dialog_, kPreDelayText), "30 ms.");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kBassCheck), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kHighCheck), BST_CHECKED);
  EXPECT_EQ(Text(dialog_, kBassEdit), "20");
  EXPECT_EQ(Text(dialog_, kHighEdit), "12,000");
  EXPECT_EQ(Position(dialog_, kReverbFader), -350);
  EXPECT_EQ(Position(dialog_, kHighSlider), 12000);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kHighSlider, kCtlGetMaximum, 0, 0), 15000);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kDecaySlider, kCtlGetMinimum, 0, 0), 5);
}

TEST_F(ReverbPage, EditsGoLive) {
  Open();
  // The pre-delay slider at its left end is off.
  Key(kPreDelaySlider, VK_HOME);
  EXPECT_EQ(Read().preDelayMs, 0);
  EXPECT_EQ(Text(dialog_, kPreDelayText), "Off");
  Key(kDecaySlider, VK_NEXT);
  EXPECT_EQ(Read().decayTenths, 35);
  EXPECT_EQ(Text(dialog_, kDecayText), "3.5 sec.");
  Key(kDryFader, VK_END);
  EXPECT_EQ(Text(dialog_, kDryText), "-Inf. dB");

  // Frequencies: grouped digits are read, anything else is refused and
  // the field shows the stored value again; the setter clamps.
  TypeAndLeave(kBassEdit, "5,000");
  EXPECT_EQ(Read().bassCutHz, 5000);
  EXPECT_EQ(Text(dialog_, kBassEdit), "5,000");
  EXPECT_EQ(Position(dialog_, kBassSlider), 5000);
  TypeAndLeave(kBassEdit, "12k");
  EXPECT_EQ(Read().bassCutHz, 5000);
  EXPECT_EQ(Text(dialog_, kBassEdit), "5,000");
  TypeAndLeave(kBassEdit, "abc");
  EXPECT_EQ(Read().bassCutHz, 5000);
  EXPECT_EQ(Text(dialog_, kBassEdit), "5,000");
  TypeAndLeave(kHighEdit, "99999");
  EXPECT_EQ(Read().highCutHz, 15000);
  EXPECT_EQ(Text(dialog_, kHighEdit), "15,000");
  TypeAndLeave(kBassEdit, "");
  EXPECT_EQ(Read().bassCutHz, 10) << "an empty field reads as 0, raised to the lowest";
  EXPECT_EQ(Text(dialog_, kBassEdit), "10");

  // Unchecking the bass cut greys its slider and field and keeps the value.
  Click(dialog_, kBassCheck);
  EXPECT_EQ(Read().bassCut, 0);
  EXPECT_FALSE(Enabled(dialog_, kBassSlider) || Enabled(dialog_, kBassEdit));
  EXPECT_EQ(Read().bassCutHz, 10);
  EXPECT_TRUE(Enabled(dialog_, kHighSlider));

  // The lists are sorted by name and carry the table row: the keyboard
  // moves to the next name, whose row becomes the mode.
  std::vector<std::string> names;
  for (const ReverbMode& mode : ReverbModeTable()) names.push_back(mode.name);
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, 0, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  const std::string next = *(std::find(sorted.begin(), sorted.end(), names[0]) + 1);
  Key(kModeList, VK_DOWN);
  EXPECT_EQ(Selected(dialog_, kModeList), next);
  EXPECT_EQ(Read().reverbMode, std::find(names.begin(), names.end(), next) - names.begin());
}

TEST_F(ReverbPage, PresetFromTheMenuUpdatesEveryControl) {
  Open();
  MenuKeys cathedral({VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});  // the second entry
  OpenMenuAndPress(dialog_, cathedral);
  ASSERT_EQ(cathedral.presets.size(), 11u) << "the preset count less the default";
  EXPECT_EQ(cathedral.presets[1], "Cathedral");
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kReverbText) == "-24.0 dB"; }));
  EXPECT_EQ(Position(dialog_, kReverbFader), -240);
  EXPECT_EQ(Selected(dialog_, kModeList), ReverbModeTable()[8].name);
  EXPECT_EQ(Selected(dialog_, kStyleList), EarlyStyleTable()[5].name);
  EXPECT_EQ(Text(dialog_, kDecayText), "3.0 sec.");
  EXPECT_EQ(Position(dialog_, kDecaySlider), 30);
  EXPECT_EQ(Text(dialog_, kPreDelayText), "70 ms.");
  EXPECT_EQ(Text(dialog_, kHighEdit), "7,000");
  EXPECT_EQ(Position(dialog_, kHighSlider), 7000);
}

TEST_F(ReverbPage, F1AnywhereOpensThePageTopic) {
  Open();
  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  PressF1(kDryFader);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(1).second); })) << "no per-control help: the page's";
}

TEST_F(ReverbPage, DialogHoldsItsControlsWhereTheyBelong) {
  Open();
  const ControlRow rows[] = {
      {5040, "Static", {6, 6, 68, 8}, 0x50020000},
      {5030, "ComboBox", {75, 4, 186, 118}, 0x50010103},
      {5041, "Static", {2, 101, 45, 16}, 0x50020001},
      {5013, "TwCtlLib_Fader_Class", {20, 29, 10, 70}, 0x50011083},
      {5016, "Static", {2, 21, 45, 8}, 0x50020001},
      {5042, "Static", {48, 101, 45, 16}, 0x50020001},
      {5014, "TwCtlLib_Fader_Class", {66, 29, 10, 70}, 0x50011083},
      {5017, "Static", {48, 21, 45, 8}, 0x50020001},
      {5043, "Static", {94, 101, 45, 16}, 0x50020001},
      {5015, "TwCtlLib_Fader_Class", {111, 29, 10, 70}, 0x50011083},
      {5018, "Static", {94, 21, 45, 8}, 0x50020001},
      {5044, "Static", {140, 27, 80, 8}, 0x50020000},
      {5031, "ComboBox", {140, 37, 121, 125}, 0x50010103},
      {5045, "Static", {140, 56, 100, 8}, 0x50020000},
      {5032, "TwCtlLib_Trackbar_Class", {140, 65, 121, 12}, 0x50010002},
      {5019, "Static", {247, 56, 14, 8}, 0x50020002},
      {5046, "Static", {140, 84, 100, 8}, 0x50020000},
      {5033, "TwCtlLib_Trackbar_Class", {140, 94, 121, 12}, 0x50010002},
      {5023, "Static", {247, 84, 14, 8}, 0x50020002},
      {5034, "Button", {6, 122, 165, 10}, 0x50010003},
      {5038, "TwCtlLib_Trackbar_Class", {6, 133, 206, 12}, 0x50010002},
      {5036, "Edit", {172, 119, 40, 12}, 0x50810080},
      {5035, "Button", {6, 150, 165, 10}, 0x50010003},
      {5039, "TwCtlLib_Trackbar_Class", {6, 163, 206, 12}, 0x50010002},
      {5037, "Edit", {172, 149, 40, 12}, 0x50810080},
  };
  ExpectControls(dialog_, rows, 26);
  HWND picture = GetDlgItem(dialog_, -1);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

}  // namespace
}  // namespace quill::test
