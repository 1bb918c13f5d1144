// The pitch shift page in real windows: the shift, the ratio and its musical
// name, the preserve and anti-alias switches, the times before and after an
// input pin is connected; presets, F1.
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

constexpr int kModeLabel = 2002, kPreserveCheck = 2004, kAntiAliasCheck = 2005, kModeList = 2010, kSemitoneEdit = 2011,
              kCentEdit = 2012, kRatioText = 2016, kAccuracyLabel = 2018, kSemitoneLabel = 2021, kSemitoneSlider = 2022,
              kCentSlider = 2023, kAccuracySlider = 2024, kAccuracyText = 2025, kInitialLabel = 2026,
              kInitialEdit = 2027, kFinalText = 2028, kFinalLabel = 2029, kRatioLabel = 2030, kMusicalLabel = 2031,
              kMusicalText = 2032, kCentLabel = 2075;

constexpr const char* kWideLabel = "Se&mitones to shift pitch by (-50 to 50):";
constexpr const char* kNarrowLabel = "Se&mitones to shift pitch by (-12 to 12):";
// No shift: the blank word twice and a blank, each pair joined by a blank.
constexpr const char* kNoShift = "     ";

using Span = std::pair<LRESULT, LRESULT>;
Span Range(HWND dialog, int id) {
  return {SendDlgItemMessageW(dialog, id, kCtlGetMinimum, 0, 0), SendDlgItemMessageW(dialog, id, kCtlGetMaximum, 0, 0)};
}

class PitchPage : public EffectPageRig<IPitchParams, PitchParams> {
 protected:
  PitchPage() : EffectPageRig(CLSID_TwPitchsPage, CLSID_TwPitchs, IID_IPitchParams) {}
};

TEST_F(PitchPage, ShowsTheDefaultPreset) {
  Open();
  EXPECT_EQ(Text(dialog_, kSemitoneLabel), kWideLabel);
  EXPECT_EQ(Range(dialog_, kSemitoneSlider), (Span{-50, 50}));
  EXPECT_EQ(Range(dialog_, kCentSlider), (Span{-1000, 1000}));
  EXPECT_EQ(Range(dialog_, kAccuracySlider), (Span{1, 3}));
  EXPECT_EQ(Text(dialog_, kSemitoneEdit), "0");
  EXPECT_EQ(Text(dialog_, kCentEdit), " 0.0");
  EXPECT_EQ(Position(dialog_, kAccuracySlider), 2);
  EXPECT_EQ(Text(dialog_, kAccuracyText), "2");
  EXPECT_EQ(Text(dialog_, kRatioText), "1.00000");
  EXPECT_EQ(Text(dialog_, kMusicalText), kNoShift);
  EXPECT_EQ(Read().ratio, 1.000001) << "the page writes the nudged ratio on its first refresh";
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kModeList, CB_GETCOUNT, 0, 0), kStretchModeCount);
  EXPECT_EQ(Selected(dialog_, kModeList), StretchModeTable[0].name);
  EXPECT_FALSE(Enabled(dialog_, kModeLabel) || Enabled(dialog_, kModeList)) << "the duration follows the pitch";
  EXPECT_TRUE(Enabled(dialog_, kInitialEdit) && Enabled(dialog_, kFinalText) && Enabled(dialog_, kFinalLabel));
  // Without an input pin the times are unknown.
  EXPECT_EQ(Text(dialog_, kFinalLabel), "Need input pin");
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
  EXPECT_EQ(Text(dialog_, kFinalText), "00:00:00");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kPreserveCheck), BST_UNCHECKED);
}

TEST_F(PitchPage, PreserveDurationNarrowsTheSemitonesAndClampsTheStoredValue) {
  ASSERT_EQ(params_->SetSemitones(20), S_OK);
  Open();
  EXPECT_FALSE(Enabled(dialog_, kPreserveCheck)) << "20 semitones cannot keep the duration";
  ASSERT_EQ(params_->SetPreserve(1), S_OK);
  FormatNotice(dialog_);
  EXPECT_EQ(Read().semitones, 12);
  EXPECT_EQ(Text(dialog_, kSemitoneEdit), "12");
  EXPECT_EQ(Position(dialog_, kSemitoneSlider), 12);
  EXPECT_EQ(Range(dialog_, kSemitoneSlider), (Span{-12, 12}));
  EXPECT_EQ(Text(dialog_, kSemitoneLabel), kNarrowLabel);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kPreserveCheck), BST_CHECKED);
  EXPECT_TRUE(Enabled(dialog_, kPreserveCheck));
  for (int id : {kInitialLabel, kInitialEdit, kFinalText, kFinalLabel}) EXPECT_FALSE(Enabled(dialog_, id)) << id;
  EXPECT_TRUE(Enabled(dialog_, kModeLabel) && Enabled(dialog_, kModeList));

  // Typed beyond the narrow range: clamped to it by the page.
  TypeAndLeave(kSemitoneEdit, "-30");
  EXPECT_EQ(Read().semitones, -12);
  EXPECT_EQ(Text(dialog_, kSemitoneEdit), "-12");

  // Cleared by the user: the range widens, the value stays.
  Click(dialog_, kPreserveCheck);
  EXPECT_EQ(Read().preserveDuration, 0);
  EXPECT_EQ(Read().semitones, -12);
  EXPECT_EQ(Range(dialog_, kSemitoneSlider), (Span{-50, 50}));
  EXPECT_EQ(Text(dialog_, kSemitoneLabel), kWideLabel);
  EXPECT_TRUE(Enabled(dialog_, kInitialEdit) && Enabled(dialog_, kFinalText));
  EXPECT_FALSE(Enabled(dialog_, kModeList));
  // And set again by the user, which moves the range back.
  Click(dialog_, kPreserveCheck);
  EXPECT_EQ(Read().preserveDuration, 1);
  EXPECT_EQ(Range(dialog_, kSemitoneSlider), (Span{-12, 12}));
  Key(kModeList, VK_DOWN);
  EXPECT_EQ(Read().mode, 1);
  EXPECT_EQ(Selected(dialog_, kModeList), StretchModeTable[1].name);
}

TEST_F(PitchPage, PreserveBoxOnlyWithinAnOctave) {
  Open();
  for (const auto& [typed, enabled] : {std::pair{"13", false}, std::pair{"12", true}, std::pair{"-13", false},
                                       std::pair{"-12", true}, std::pair{"50", false}}) {
    TypeAndLeave(kSemitoneEdit, typed);
    EXPECT_EQ(Enabled(dialog_, kPreserveCheck), enabled) << typed;
  }
}

TEST_F(PitchPage, AntiAliasOnlyAboveUnityAndKeptWhileDisabled) {
  ASSERT_EQ(params_->SetAntiAlias(1), S_OK);
  Open();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kAntiAliasCheck), BST_CHECKED);
  TypeAndLeave(kCentEdit, "-0.1");
  EXPECT_LT(Read().ratio, 1.0);
  EXPECT_FALSE(Enabled(dialog_, kAntiAliasCheck));
  EXPECT_EQ(Read().antiAlias, 1) << "disabling does not clear it";
  TypeAndLeave(kSemitoneEdit, "-5");
  EXPECT_FALSE(Enabled(dialog_, kAntiAliasCheck));
  TypeAndLeave(kSemitoneEdit, "3");
  EXPECT_TRUE(Enabled(dialog_, kAntiAliasCheck));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kAntiAliasCheck), BST_CHECKED);
  Click(dialog_, kAntiAliasCheck);
  EXPECT_EQ(Read().antiAlias, 0);
}

TEST_F(PitchPage, RatioAndMusicalEquivalentFollowTheShift) {
  Open();
  TypeAndLeave(kSemitoneEdit, "-7");
  EXPECT_EQ(Text(dialog_, kRatioText), "0.66742");
  EXPECT_NEAR(Read().ratio, 0.66742, 0.00001);
  EXPECT_EQ(Text(dialog_, kMusicalText), "Down 5th  ");
  EXPECT_EQ(Position(dialog_, kSemitoneSlider), -7);

  TypeAndLeave(kSemitoneEdit, "0");
  TypeAndLeave(kCentEdit, "-100");
  EXPECT_EQ(Read().centsTenths, -1000);
  EXPECT_EQ(Text(dialog_, kCentEdit), "-100.0");
  EXPECT_EQ(Position(dialog_, kCentSlider), -1000);
  EXPECT_EQ(Text(dialog_, kMusicalText), "Down Minor 2nd  ");
  TypeAndLeave(kSemitoneEdit, "1");
  EXPECT_EQ(Text(dialog_, kMusicalText), kNoShift) << "a semitone up and down again";

  TypeAndLeave(kSemitoneEdit, "7");
  TypeAndLeave(kCentEdit, "20");
  EXPECT_EQ(Text(dialog_, kMusicalText), "Up 5th +");
  TypeAndLeave(kSemitoneEdit, "-11");
  TypeAndLeave(kCentEdit, "0");
  EXPECT_EQ(Text(dialog_, kMusicalText), "Down Major 7th  ");
  // A cent step changes the stored ratio as a semitone step does.
  const double before = Read().ratio;
  Key(kCentSlider, VK_RIGHT);
  EXPECT_EQ(Read().centsTenths, 1);
  EXPECT_GT(Read().ratio, before);
}

TEST_F(PitchPage, EditsAndTrackbarsSetTheirFields) {
  Open();
  TypeAndLeave(kSemitoneEdit, "60");
  EXPECT_EQ(Read().semitones, 50) << "the setter clamps";
  EXPECT_EQ(Position(dialog_, kSemitoneSlider), 50);
  TypeAndLeave(kSemitoneEdit, "4x");
  EXPECT_EQ(Read().semitones, 50) << "not an integer: ignored";
  EXPECT_EQ(Text(dialog_, kSemitoneEdit), "50");

  TypeAndLeave(kCentEdit, "12.34");
  EXPECT_EQ(Read().centsTenths, 123);
  EXPECT_EQ(Text(dialog_, kCentEdit), " 12.3");
  TypeAndLeave(kCentEdit, "-0.5");
  EXPECT_EQ(Read().centsTenths, -5);
  EXPECT_EQ(Text(dialog_, kCentEdit), "-0.5");
  TypeAndLeave(kCentEdit, "5");
  EXPECT_EQ(Text(dialog_, kCentEdit), " 5.0");
  TypeAndLeave(kCentEdit, "250");
  EXPECT_EQ(Read().centsTenths, 1000);

  Key(kSemitoneSlider, VK_HOME);
  EXPECT_EQ(Read().semitones, -50);
  EXPECT_EQ(Text(dialog_, kSemitoneEdit), "-50");
  Key(kSemitoneSlider, VK_NEXT);
  EXPECT_EQ(Read().semitones, -40) << "a page is ten semitones";
  Key(kSemitoneSlider, VK_RIGHT);
  EXPECT_EQ(Read().semitones, -39);

  Key(kAccuracySlider, VK_HOME);
  EXPECT_EQ(Read().accuracy, 1);
  EXPECT_EQ(Text(dialog_, kAccuracyText), "1");
  Key(kAccuracySlider, VK_END);
  EXPECT_EQ(Read().accuracy, 3);
  EXPECT_EQ(Text(dialog_, kAccuracyText), "3");

  // Without an input pin a typed time counts as one frame.
  TypeAndLeave(kInitialEdit, "1:00");
  EXPECT_EQ(Read().lengthSamples, 1.0);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:00:00");
}

TEST_F(PitchPage, PresetFromTheMenuRecomputesTheRatio) {
  Open();
  MenuKeys fifthUp({VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  OpenMenuAndPress(dialog_, fifthUp);
  EXPECT_EQ(fifthUp.presets, (std::vector<std::string>{"Fifth down", "Fifth  up", "Third down", "Third up"}))
      << "the preset count less the default";
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kSemitoneEdit) == "7"; }));
  EXPECT_EQ(Read().semitones, 7);
  EXPECT_DOUBLE_EQ(Read().ratio, 1.4983080768836587) << "not the preset's rounded 1.4983";
  EXPECT_EQ(Text(dialog_, kRatioText), "1.49830");
  EXPECT_EQ(Text(dialog_, kMusicalText), "Up 5th  ");
  EXPECT_EQ(Position(dialog_, kSemitoneSlider), 7);
}

TEST_F(PitchPage, F1OverItsControlsOpensTheirTopics) {
  Open();
  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  auto expect = [&](int id, int context) {
    PressF1(id);
    EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(static_cast<std::uint32_t>(context)).second); }))
        << "control " << id;
  };
  for (const auto& [id, context] :
       {std::pair{kSemitoneSlider, 78}, std::pair{kCentEdit, 79}, std::pair{kAntiAliasCheck, 80},
        std::pair{kPreserveCheck, 81}, std::pair{kAccuracyLabel, 83}, std::pair{kInitialEdit, 84},
        std::pair{kFinalText, 85}, std::pair{kMusicalLabel, 86}, std::pair{kRatioText, 87}})
    expect(id, context);
  Click(dialog_, kPreserveCheck);  // the mode takes the focus only when enabled
  for (const auto& [id, context] : {std::pair{kModeLabel, 62}, std::pair{kModeList, 82}}) expect(id, context);
}

TEST_F(PitchPage, DialogHoldsItsControlsWhereTheyBelong) {
  Open();
  const ControlRow rows[] = {
      {kSemitoneLabel, "Static", {6, 8, 184, 8}, 0x50020000},
      {kSemitoneEdit, "Edit", {196, 6, 44, 12}, 0x50810080},
      {kSemitoneSlider, "TwCtlLib_Trackbar_Class", {6, 20, 234, 12}, 0x50010002},
      {kCentLabel, "Static", {6, 40, 184, 8}, 0x50020000},
      {kCentEdit, "Edit", {196, 38, 44, 12}, 0x50810080},
      {kCentSlider, "TwCtlLib_Trackbar_Class", {6, 52, 234, 12}, 0x50010002},
      {kAccuracyLabel, "Static", {6, 72, 96, 8}, 0x50020000},
      {kAccuracySlider, "TwCtlLib_Trackbar_Class", {122, 70, 60, 12}, 0x50010002},
      {kAccuracyText, "Static", {222, 72, 18, 8}, 0x50020000},
      {kAntiAliasCheck, "Button", {6, 88, 234, 10}, 0x50010003},
      {kPreserveCheck, "Button", {6, 102, 120, 10}, 0x50010003},
      {kModeLabel, "Static", {6, 118, 30, 8}, 0x58020000},
      {kInitialLabel, "Static", {6, 136, 100, 8}, 0x50020000},
      {kInitialEdit, "Edit", {110, 134, 60, 12}, 0x50810080},
      {kFinalLabel, "Static", {6, 152, 150, 8}, 0x50020000},
      {kFinalText, "Static", {160, 152, 50, 8}, 0x50020000},
      {kRatioLabel, "Static", {6, 168, 70, 8}, 0x50020000},
      {kRatioText, "Static", {78, 168, 40, 8}, 0x50020000},
      {kMusicalLabel, "Static", {124, 168, 66, 8}, 0x50020000},
      {kMusicalText, "Static", {192, 168, 60, 8}, 0x50020000},
      {kModeList, "ComboBox", {40, 116, 200, 0}, 0x50000000},
  };
  // Those, "Low", "High" and the picture.
  ExpectControls(dialog_, rows, 24);
  EXPECT_EQ(Text(dialog_, kCentLabel), "&Cents to shift pitch by (-100.0 to 100.0):");
  EXPECT_EQ(Text(dialog_, kAccuracyLabel), "Accurac&y (1 low to 3 high):");
  EXPECT_EQ(Text(dialog_, kAntiAliasCheck), "Apply an anti-alias &filter during pitch shift");
  EXPECT_EQ(Text(dialog_, kPreserveCheck), "Preserve &duration");
  EXPECT_EQ(Text(dialog_, kInitialLabel), "Initia&l time (hr:mn:sc):");
}

// The page on a filter in a graph, so that its input pin can be connected.
class PitchPageOnAGraph : public GraphPageRig {};

TEST_F(PitchPageOnAGraph, FinalTimeOnceTheInputHasARate) {
  OpenPage(CLSID_TwPitchs, CLSID_TwPitchsPage, MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16));
  auto params = Effect<IPitchParams>(IID_IPitchParams);
  ASSERT_EQ(Text(dialog_, kFinalLabel), "Need input pin");
  ASSERT_EQ(ConnectInput(), S_OK);
  // A minute of material; the reach runs from the largest shift up to the
  // largest shift down.
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kFinalLabel) == "Final time (00:00:03 to 00:19:03):"; }))
      << Text(dialog_, kFinalLabel);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:01:00");
  EXPECT_EQ(Text(dialog_, kFinalText), "00:00:59") << "the nudged ratio is a hair above one";

  // A fifth down plays 1.498 times as long: 89.9 s.
  TypeAndLeave(kSemitoneEdit, "-7");
  EXPECT_EQ(Text(dialog_, kFinalText), "00:01:29");
  EXPECT_EQ(Text(dialog_, kMusicalText), "Down 5th  ");

  TypeAndLeave(kInitialEdit, "2:00");
  double length = 0.0;
  EXPECT_EQ(params->GetLength(&length), S_OK);
  EXPECT_EQ(length, 5292000.0);
  EXPECT_EQ(Text(dialog_, kInitialEdit), "00:02:00");
  EXPECT_EQ(Text(dialog_, kFinalText), "00:02:59") << "the final time follows the length";
  EXPECT_EQ(Text(dialog_, kFinalLabel), "Final time (00:00:06 to 00:38:07):");
  TypeAndLeave(kInitialEdit, "two");
  EXPECT_EQ(params->GetLength(&length), S_OK);
  EXPECT_EQ(length, 1.0) << "no time: one frame";
}

}  // namespace
}  // namespace quill::test
