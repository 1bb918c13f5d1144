// The chorus's settings page in real windows: faders with the -60 dB floor,
// sliders, phase switches, the delay, rate and high-cut fields, presets, F1.
#include <gtest/gtest.h>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kInputFader = 6016, kInputText = 6022, kDryText = 6023, kChorusText = 6024, kInvertChorus = 6029,
              kInvertFeedback = 6030, kSizeSlider = 6025, kSizeText = 6026, kFeedbackSlider = 6027,
              kFeedbackText = 6028, kDelaySlider = 6031, kDelayEdit = 6039, kRateEdit = 6033, kDepthText = 6035,
              kHighCheck = 6036, kHighSlider = 6037, kHighEdit = 6038;

class ChorusPage : public EffectPageRig<IChorusParams, ChorusParams> {
 protected:
  ChorusPage() : EffectPageRig(CLSID_TwChorusPage, CLSID_TwChorus, IID_IChorusParams) {}
};

TEST_F(ChorusPage, ShowsTheDefaultAndEditsLive) {
  Open();
  EXPECT_EQ(Text(dialog_, kInputText), "0.0 dB");
  EXPECT_EQ(Text(dialog_, kDryText), "-6.0 dB");
  EXPECT_EQ(Text(dialog_, kChorusText), "-4.4 dB");
  EXPECT_EQ(Text(dialog_, kSizeText), "3");
  EXPECT_EQ(Text(dialog_, kFeedbackText), "0 %");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "40.0");
  EXPECT_EQ(Text(dialog_, kRateEdit), "0.8");
  EXPECT_EQ(Text(dialog_, kDepthText), "3 %");
  EXPECT_EQ(Text(dialog_, kHighEdit), "5,000");
  EXPECT_FALSE(Enabled(dialog_, kHighSlider) || Enabled(dialog_, kHighEdit));
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kInputFader, kCtlGetMinimum, 0, 0), -600);

  // The levels are silent at -60 dB.
  Key(kInputFader, VK_END);
  EXPECT_EQ(Read().inputGain, -600);
  EXPECT_EQ(Text(dialog_, kInputText), "-Inf. dB");
  Key(kInputFader, VK_PRIOR);
  EXPECT_EQ(Text(dialog_, kInputText), "-59.0 dB");

  Key(kSizeSlider, VK_LEFT);
  EXPECT_EQ(Read().chorusSize, 2);
  EXPECT_EQ(Text(dialog_, kSizeText), "2");
  Key(kFeedbackSlider, VK_NEXT);
  EXPECT_EQ(Text(dialog_, kFeedbackText), "10 %");

  // Delay and rate: what the reader got, times ten, clamped by the setter.
  TypeAndLeave(kDelayEdit, "2.5");
  EXPECT_EQ(Read().delayTenths, 25);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2.5");
  EXPECT_EQ(Position(dialog_, kDelaySlider), 25);
  TypeAndLeave(kDelayEdit, "12x");
  EXPECT_EQ(Read().delayTenths, 120) << "the number before the foreign character counts";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "12.0");
  TypeAndLeave(kDelayEdit, "");
  EXPECT_EQ(Read().delayTenths, 1) << "nothing reads as 0, raised to the lowest";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.1");
  TypeAndLeave(kRateEdit, "25");
  EXPECT_EQ(Read().modRate, 200);
  EXPECT_EQ(Text(dialog_, kRateEdit), "20.0");

  // The high cut enables its slider and field; its field takes whole
  // numbers only.
  Click(dialog_, kHighCheck);
  EXPECT_EQ(Read().highCut, 1);
  EXPECT_TRUE(Enabled(dialog_, kHighSlider) && Enabled(dialog_, kHighEdit));
  TypeAndLeave(kHighEdit, "8,000");
  EXPECT_EQ(Read().highCutHz, 8000);
  EXPECT_EQ(Text(dialog_, kHighEdit), "8,000");
  TypeAndLeave(kHighEdit, "8k");
  EXPECT_EQ(Read().highCutHz, 8000);
  EXPECT_EQ(Text(dialog_, kHighEdit), "8,000");

  Click(dialog_, kInvertFeedback);
  EXPECT_EQ(Read().invertFeedback, 1);
}

TEST_F(ChorusPage, PresetFromTheMenuUpdatesEveryControl) {
  Open();
  // "Cheap TV", the eleventh entry.
  std::vector<WPARAM> keys = {VK_DOWN, VK_RIGHT};
  for (int i = 0; i < 10; ++i) keys.push_back(VK_DOWN);
  keys.push_back(VK_RETURN);
  MenuKeys tv(keys);
  OpenMenuAndPress(dialog_, tv);
  ASSERT_EQ(tv.presets.size(), 22u) << "the preset count less the default";
  EXPECT_EQ(tv.presets[10], "Cheap TV");
  EXPECT_TRUE(WaitFor([&] { return IsDlgButtonChecked(dialog_, kInvertChorus) == BST_CHECKED; }));
  EXPECT_EQ(Text(dialog_, kInputText), "-2.0 dB");
  EXPECT_EQ(Text(dialog_, kDryText), "0.0 dB");
  EXPECT_EQ(Text(dialog_, kSizeText), "2");
  EXPECT_EQ(Position(dialog_, kSizeSlider), 2);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.1");
  EXPECT_EQ(Text(dialog_, kRateEdit), "0.1");
  EXPECT_EQ(Text(dialog_, kDepthText), "100 %");
}

TEST_F(ChorusPage, F1OverItsControlsOpensTheirTopics) {
  Open();
  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  for (const auto& [id, context] : {std::pair{kInputFader, 51}, std::pair{kInvertFeedback, 117},
                                    std::pair{kDepthText, 59}, std::pair{kDelaySlider, 57}}) {
    PressF1(id);
    EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(static_cast<std::uint32_t>(context)).second); }))
        << "control " << id;
  }
}

TEST_F(ChorusPage, DialogHoldsItsControlsWhereTheyBelong) {
  Open();
  const ControlRow rows[] = {
      {6041, "Static", {2, 86, 45, 16}, 0x50020001},
      {6016, "TwCtlLib_Fader_Class", {20, 15, 10, 70}, 0x50011083},
      {6022, "Static", {2, 6, 45, 8}, 0x50020001},
      {6042, "Static", {48, 86, 45, 16}, 0x50020001},
      {6020, "TwCtlLib_Fader_Class", {66, 15, 10, 70}, 0x50011083},
      {6023, "Static", {48, 6, 45, 8}, 0x50020001},
      {6043, "Static", {94, 86, 45, 16}, 0x50020001},
      {6021, "TwCtlLib_Fader_Class", {111, 15, 10, 70}, 0x50011083},
      {6024, "Static", {94, 6, 45, 8}, 0x50020001},
      {6029, "Button", {154, 61, 117, 10}, 0x50010003},
      {6030, "Button", {154, 74, 119, 10}, 0x50010003},
      {6044, "Static", {154, 90, 64, 8}, 0x50020000},
      {6025, "TwCtlLib_Trackbar_Class", {221, 88, 23, 12}, 0x50010002},
      {6026, "Static", {247, 90, 40, 8}, 0x50020002},
      {6045, "Static", {6, 109, 145, 8}, 0x50020000},
      {6027, "TwCtlLib_Trackbar_Class", {154, 107, 90, 12}, 0x50010002},
      {6028, "Static", {247, 109, 40, 8}, 0x50020002},
      {6046, "Static", {6, 128, 145, 8}, 0x50020000},
      {6031, "TwCtlLib_Trackbar_Class", {154, 126, 90, 12}, 0x50010002},
      {6039, "Edit", {247, 126, 40, 12}, 0x50810080},
      {6047, "Static", {6, 147, 145, 8}, 0x50020000},
      {6032, "TwCtlLib_Trackbar_Class", {154, 145, 90, 12}, 0x50010002},
      {6033, "Edit", {247, 145, 40, 12}, 0x50810080},
      {6048, "Static", {6, 166, 145, 8}, 0x50020000},
      {6034, "TwCtlLib_Trackbar_Class", {154, 164, 90, 12}, 0x50010002},
      {6035, "Static", {247, 166, 40, 8}, 0x50020002},
      {6036, "Button", {7, 184, 139, 10}, 0x50010003},
      {6037, "TwCtlLib_Trackbar_Class", {154, 183, 90, 12}, 0x50010002},
      {6038, "Edit", {247, 183, 40, 12}, 0x50810080},
  };
  ExpectControls(dialog_, rows, 30);
  HWND picture = GetDlgItem(dialog_, 65535);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

}  // namespace
}  // namespace quill::test
