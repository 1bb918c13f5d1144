// The time compress/expand page in real windows: the final length as a
// percentage, a tempo or a running time, and the labels that follow the
// entry chosen, before and after an input pin is connected; presets, F1.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/twctllib.h"
#include "dsp/stretch_modes.h"
#include "framework/effect_property_page.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kFinalLabel = 1002, kFinalSlider = 1003, kModeList = 1004, kFinalEdit = 1007, kInitialEdit = 1008,
              kFormatList = 1015, kInitialLabel = 1016, kPercentText = 1018;

constexpr const char* kPercentLabel = "&Final Percentage  (50.0 to 500.0%):";

class TimePage : public EffectPageRig<ITimeParams, TimeParams> {
 protected:
  TimePage() : EffectPageRig(CLSID_TwTimePage, CLSID_TwTime, IID_ITimeParams) {}
};

TEST_F(TimePage, ShowsTheDefaultPreset) {
  Open();
  EXPECT_EQ(Selected(dialog_, kModeList), "A01. Music 1 (minimum flange, may echo)");
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kModeList, CB_GETCOUNT, 0, 0), kStretchModeCount);
  EXPECT_EQ(Selected(dialog_, kFormatList), "Percentage");
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kFormatList, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Position(dialog_, kFinalSlider), 100);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kFinalSlider, kCtlGetMinimum, 0, 0), -500);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kFinalSlider, kCtlGetMaximum, 0, 0), 4000);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "110.0");
  EXPECT_EQ(Text(dialog_, kPercentText), "110.0 %");
  EXPECT_EQ(Text(dialog_, kFinalLabel), kPercentLabel);
  EXPECT_EQ(Text(dialog_, kInitialLabel), "Unavailable with Percentage");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "0");
  EXPECT_FALSE(Enabled(dialog_, kInitialLabel) || Enabled(dialog_, kInitialEdit));
}

TEST_F(TimePage, PercentageTypedAndSlidIsClampedToTheFieldsRange) {
  Open();
  TypeAndLeave(kFinalEdit, "85");
  EXPECT_EQ(Read().finalTenths, 850.0);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "85.0");
  EXPECT_EQ(Text(dialog_, kPercentText), "85.0 %");
  EXPECT_EQ(Position(dialog_, kFinalSlider), -150);
  TypeAndLeave(kFinalEdit, "40");
  EXPECT_EQ(Read().finalTenths, 500.0);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "50.0");
  TypeAndLeave(kFinalEdit, "123.45");
  EXPECT_DOUBLE_EQ(Read().finalTenths, 1234.5);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "123.4") << "tenths are cut, not rounded";
  TypeAndLeave(kFinalEdit, "600");
  EXPECT_EQ(Read().finalTenths, 5000.0);
  EXPECT_EQ(Position(dialog_, kFinalSlider), 4000);

  Key(kFinalSlider, VK_HOME);
  EXPECT_EQ(Read().finalTenths, 500.0);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "50.0");
  EXPECT_EQ(Text(dialog_, kPercentText), "50.0 %");
  Key(kFinalSlider, VK_RIGHT);
  EXPECT_EQ(Read().finalTenths, 501.0) << "a line is a tenth of a percent";
  Key(kFinalSlider, VK_NEXT);
  EXPECT_EQ(Read().finalTenths, 601.0) << "a page is ten percent";

  Key(kModeList, VK_DOWN);
  EXPECT_EQ(Read().mode, 1);
  EXPECT_EQ(Selected(dialog_, kModeList), StretchModeTable[1].name);
}

TEST_F(TimePage, TempoEntryGivesTheFinalLengthAndStatesItsRange) {
  Open();
  Key(kFormatList, VK_DOWN);
  EXPECT_EQ(Read().inputFormat, 1);
  EXPECT_TRUE(Enabled(dialog_, kInitialLabel) && Enabled(dialog_, kInitialEdit));
  EXPECT_EQ(Text(dialog_, kInitialLabel), "&Initial Tempo (bpm):");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "120.0");
  EXPECT_EQ(Text(dialog_, kFinalEdit), "109.0") << "120 bpm made 110 % long";
  EXPECT_EQ(Text(dialog_, kFinalLabel), "&Final tempo (240.0 to 24.0 bpm):") << "after a format change";

  TypeAndLeave(kFinalEdit, "240");
  EXPECT_DOUBLE_EQ(Read().finalTenths, 500.0);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "240.0");
  EXPECT_EQ(Text(dialog_, kPercentText), "50.0 %");
  TypeAndLeave(kFinalEdit, "24");
  EXPECT_DOUBLE_EQ(Read().finalTenths, 5000.0);
  EXPECT_EQ(Position(dialog_, kFinalSlider), 4000);
  TypeAndLeave(kFinalEdit, "130");
  EXPECT_NEAR(Read().finalTenths, 923.08, 0.005);
  TypeAndLeave(kFinalEdit, "1000");
  EXPECT_DOUBLE_EQ(Read().finalTenths, 500.0) << "faster than the range allows";

  TypeAndLeave(kInitialEdit, "100");
  EXPECT_EQ(Read().tempoTenths, 1000);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "100.0");
  EXPECT_EQ(Text(dialog_, kFinalLabel), "Final tempo (200.0 to 20.0 bpm):") << "after the initial tempo";
  TypeAndLeave(kInitialEdit, "600");
  EXPECT_EQ(Read().tempoTenths, 5000);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "500.0");

  // Back to a percentage: the initial value is of no use.
  Key(kFormatList, VK_UP);
  EXPECT_EQ(Read().inputFormat, 0);
  EXPECT_EQ(Text(dialog_, kFinalLabel), kPercentLabel);
  EXPECT_EQ(Text(dialog_, kInitialLabel), "Unavailable with Percentage");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "0");
  EXPECT_FALSE(Enabled(dialog_, kInitialEdit));
}

TEST_F(TimePage, RunningTimeWithoutAnInputPinNeedsOne) {
  Open();
  Key(kFormatList, VK_END);
  EXPECT_EQ(Read().inputFormat, 2);
  EXPECT_EQ(Text(dialog_, kFinalLabel), "Need input pin");
  EXPECT_EQ(Text(dialog_, kFinalEdit), "00:00:00");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
  // The length is unknown, so a typed time counts as one frame.
  TypeAndLeave(kFinalEdit, "1:30");
  EXPECT_EQ(Read().finalTenths, 500.0);
  TypeAndLeave(kInitialEdit, "1:00");
  EXPECT_EQ(Read().lengthSamples, 0.0);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
}

TEST_F(TimePage, PresetFromTheMenuUpdatesEveryControl) {
  Open();
  TypeAndLeave(kFinalEdit, "200");
  Key(kModeList, VK_END);
  ASSERT_EQ(Read().mode, kStretchModeCount - 1);
  MenuKeys compress({VK_DOWN, VK_RIGHT, VK_RETURN});
  OpenMenuAndPress(dialog_, compress);
  ASSERT_EQ(compress.presets.size(), 1u) << "the preset count less the default";
  EXPECT_EQ(compress.presets[0], "Time compress 85 % of original");
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kFinalEdit) == "85.0"; }));
  EXPECT_EQ(Read().finalTenths, 850.0);
  EXPECT_EQ(Position(dialog_, kFinalSlider), -150);
  EXPECT_EQ(Text(dialog_, kPercentText), "85.0 %");
  EXPECT_EQ(Selected(dialog_, kModeList), StretchModeTable[0].name);
}

TEST_F(TimePage, F1OverItsControlsOpensTheirTopics) {
  Open();
  Key(kFormatList, VK_DOWN);  // the initial value takes the focus only when enabled
  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  for (const auto& [id, context] : {std::pair{kModeList, 62}, std::pair{kFinalSlider, 63}, std::pair{kInitialEdit, 64},
                                    std::pair{kFormatList, 65}, std::pair{kPercentText, 66}}) {
    PressF1(id);
    EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(static_cast<std::uint32_t>(context)).second); }))
        << "control " << id;
  }
}

TEST_F(TimePage, DialogHoldsItsControlsWhereTheyBelong) {
  Open();
  const ControlRow rows[] = {
      {1022, "Static", {6, 8, 30, 8}, 0x50020000},
      {1002, "Static", {6, 30, 186, 8}, 0x50020000},
      {1003, "TwCtlLib_Trackbar_Class", {6, 42, 250, 12}, 0x50010002},
      {1007, "Edit", {196, 28, 60, 12}, 0x50810080},
      {1019, "Static", {6, 64, 60, 8}, 0x50020000},
      {1016, "Static", {6, 82, 186, 8}, 0x58020000},
      {1008, "Edit", {196, 80, 60, 12}, 0x58810080},
      {1017, "Static", {6, 102, 70, 8}, 0x50020000},
      {1018, "Static", {80, 102, 40, 8}, 0x50020000},
      // Drop-down lists: the closed field carries no scroll bar of its own.
      {kModeList, "ComboBox", {40, 6, 216, 0}, 0x50010003},
      {kFormatList, "ComboBox", {70, 62, 100, 0}, 0x50010003},
  };
  ExpectControls(dialog_, rows, 11);
}

// The page on a filter in a graph, so that its input pin can be connected.
class TimePageOnAGraph : public GraphPageRig {};

TEST_F(TimePageOnAGraph, RunningTimesOnceTheInputHasARate) {
  OpenPage(CLSID_TwTime, CLSID_TwTimePage, MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16));
  auto params = Effect<ITimeParams>(IID_ITimeParams);
  const auto Final = [&] {
    double value = 0.0;
    EXPECT_EQ(params->GetFinal(&value), S_OK);
    return value;
  };
  PressKey(dialog_, kFormatList, VK_END);
  ASSERT_EQ(Text(dialog_, kFinalLabel), "Need input pin");
  ASSERT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
  ASSERT_EQ(ConnectInput(), S_OK);  // the pin takes a format, and the filter says so
  // A full refresh: the final label without its accelerator.
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kFinalLabel) == "Final time (00:00:30 to 00:05:00):"; }))
      << Text(dialog_, kFinalLabel);
  EXPECT_EQ(Text(dialog_, kInitialLabel), "&Initial time (hr:mn:sc):");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:01:00");
  EXPECT_EQ(Text(dialog_, kFinalEdit), "00:01:06") << "110 % of a minute";

  TypeAndLeave(kFinalEdit, "1:30");
  EXPECT_NEAR(Final(), 1500.04, 0.005);
  EXPECT_EQ(Text(dialog_, kFinalEdit), "00:01:30");
  EXPECT_EQ(Text(dialog_, kPercentText), "150.0 %");
  EXPECT_EQ(Position(dialog_, kFinalSlider), 500);
  TypeAndLeave(kFinalEdit, "90.5");
  EXPECT_NEAR(Final(), (90.5 * 44100 + 100) / 2646000 * 1000, 1e-9);
  EXPECT_EQ(Text(dialog_, kPercentText), "150.8 %");
  // What is no time counts as one frame: the shortest length.
  for (const char* bad : {"1:2:3:4", "1.5:30", "1:30x"}) {
    ASSERT_EQ(params->SetFinal(1000.0), S_OK);
    TypeAndLeave(kFinalEdit, bad);
    EXPECT_EQ(Final(), 500.0) << bad;
  }
  TypeAndLeave(kFinalEdit, "1:02:03");
  EXPECT_EQ(Final(), 5000.0) << "longer than five times the minute";
  EXPECT_EQ(Text(dialog_, kFinalEdit), "00:05:00");

  TypeAndLeave(kInitialEdit, "2:00");
  double length = 0.0;
  EXPECT_EQ(params->GetLength(&length), S_OK);
  EXPECT_EQ(length, 5292000.0);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:02:00");
  EXPECT_EQ(Text(dialog_, kFinalLabel), "Final time (00:01:00 to 00:10:00):");
  // Through the tempo and back: the label carries its accelerator again.
  PressKey(dialog_, kFormatList, VK_UP);
  PressKey(dialog_, kFormatList, VK_DOWN);
  EXPECT_EQ(Text(dialog_, kFinalLabel), "&Final time (00:01:00 to 00:10:00):");
  TypeAndLeave(kInitialEdit, "two");
  EXPECT_EQ(params->GetLength(&length), S_OK);
  EXPECT_EQ(length, 0.0) << "no time, no length";
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
}

}  // namespace
}  // namespace quill::test
