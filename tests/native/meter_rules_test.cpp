// The level meter's rules: dB of a level, the scale, the held peak, labels,
// number formats, marks and layout. Expected figures are worked by hand.
#include "twctllib/meter_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace quill {
namespace {

std::wstring Text(const MeterText& t) {
  return std::wstring(t.text, static_cast<std::size_t>(t.length));
}

TEST(MeterRules, LevelsOnTheDecibelScale) {
  // 20 log10(1/2) = -6.02, 20 log10(3277/32768) = -19.9995, 20 log10(2) = +6.02.
  for (const auto& [level, tenths] : {std::pair{32768, 0}, {16384, -60}, {3277, -200}, {65536, 60}, {1, -903}})
    EXPECT_EQ(LevelTenths(level, 32768), tenths) << level;
  for (std::int32_t silent : {0, -1}) EXPECT_EQ(LevelTenths(silent, 32768), kMinusInfinity);
  EXPECT_EQ(LevelTenths(100, 0), kMinusInfinity);
  // 60 dB over 300 pixels: -20 dB is two thirds up; the ends clamp.
  for (const auto& [tenths, pixels] :
       {std::pair{-200, 200}, {0, 300}, {60, 300}, {-600, 0}, {-601, 0}, {kMinusInfinity, 0}, {-1, 299}})
    EXPECT_EQ(ScaleOffset(tenths, -600, 300), pixels) << tenths;
}

TEST(MeterRules, HeldPeakFollowsLargestOrSmallestFallsBackAfterItsTimeAndClears) {
  MeterChannel largest, smallest;
  for (std::int32_t level : {100, 300, 200}) {
    ApplyLevel(largest, level, false, 0, 0);
    ApplyLevel(smallest, level, true, 0, 0);
  }
  EXPECT_EQ(std::tuple(largest.level, largest.peak, smallest.level, smallest.peak), std::tuple(200, 300, 200, 100));
  ApplyLevel(largest, 50, false, 100000, 0);  // no hold time: held until reset
  EXPECT_EQ(largest.peak, 300);
  ResetPeak(largest, 100000);
  EXPECT_EQ(largest.peak, 50);
  ApplyLevel(largest, -5, false, 0, 0);
  EXPECT_EQ(std::tuple(largest.level, largest.peak), std::tuple(kNoLevel, kNoLevel));

  MeterChannel timed;
  ApplyLevel(timed, 300, false, 0xFFFFFF00u, 1000);  // just before the tick counter wraps
  ApplyLevel(timed, 100, false, 0x100, 1000);        // 512 ms later: held
  EXPECT_EQ(std::tuple(timed.peak, ExpirePeak(timed, 0x100 + 487, 1000)), std::tuple(300, false));
  EXPECT_EQ(std::tuple(ExpirePeak(timed, 0x100 + 488, 1000), timed.peak), std::tuple(true, 100));
  ApplyLevel(timed, 300, false, 10000, 1000);
  ApplyLevel(timed, 120, false, 11000, 1000);  // a new level after the time: the peak falls to it
  EXPECT_EQ(timed.peak, 120);
}

TEST(MeterRules, PeakLabelsAndShortening) {
  const MeterScale scale;  // full scale 32768, clip 32767, bottom -60 dB
  MeterScale minimum = scale;
  minimum.smallest = true;
  const auto label = [](std::int32_t peak, const MeterScale& s) {
    MeterChannel c;
    ApplyLevel(c, peak, s.smallest, 0, 0);
    return Text(PeakLabel(c, s));
  };
  // 32768 * 10^(-0.5 / 20) = 30934.9, and 10 / 32768 is -90.3 dB.
  EXPECT_EQ((std::vector{label(32768, scale), label(32767, scale), label(16384, scale), label(30935, scale),
                         label(10, scale), label(0, scale)}),
            (std::vector<std::wstring>{L"Clip", L"0.0", L"-6.0", L"-0.5", L"-Inf.", L"-Inf."}));
  EXPECT_EQ(label(40000, minimum), L"1.7");  // 20 log10(40000 / 32768) = 1.73: no "Clip" for a minimum
  EXPECT_EQ(Text(PeakLabel(MeterChannel{}, scale)), L"");

  MeterText figure = PeakLabel(MeterChannel{8231, 8231, 0}, scale);  // 20 log10(8231 / 32768) = -12.0
  MeterText clip = PeakLabel(MeterChannel{40000, 40000, 0}, scale);
  FitLabel(figure, 20, 20);
  EXPECT_EQ(Text(figure), L"-12.0");
  FitLabel(figure, 21, 20);
  FitLabel(clip, 50, 10);
  EXPECT_EQ(std::tuple(Text(figure), Text(clip)), std::tuple(L"-12", L"Clip"));
}

TEST(MeterRules, NumberFormatsForTheScaleFigures) {
  for (const wchar_t* good : {L"%.1f", L"%+05.1f dB", L"%g%%", L"%-8.2e"}) EXPECT_TRUE(ValidNumberFormat(good)) << good;
  for (const wchar_t* bad : {L"%d", L"%s", L"%.1f %.1f", L"dB", L"%123f", L"%.100f", L"%", L"%.1lf"})
    EXPECT_FALSE(ValidNumberFormat(bad)) << bad;
  EXPECT_FALSE(ValidNumberFormat((L"%.1f" + std::wstring(kMeterFormatCapacity - 4, L' ')).c_str()));  // no room
  EXPECT_FALSE(ValidNumberFormat(nullptr));
  EXPECT_EQ(Text(MarkText(L"%.1f", -65)), L"-6.5");
  EXPECT_EQ(Text(MarkText(L"%+.0f dB", -600)), L"-60 dB");
}

TEST(MeterRules, MarksAtTheFinestStepThatKeepsTheirSpacing) {
  // 60 dB over 300 pixels is 5 pixels a dB: 3 dB is 15 pixels, 5 dB 25.
  MarkList marks = ScaleMarks(-600, 300, 20);
  EXPECT_EQ(std::tuple(marks.step, marks.count, marks.tenths[0], marks.tenths[12]), std::tuple(50, 13, 0, -600));
  marks = ScaleMarks(-600, 60, 20);  // 1 pixel a dB: 20 dB steps
  EXPECT_EQ(std::vector(marks.tenths, marks.tenths + marks.count), (std::vector{0, -200, -400, -600}));
  EXPECT_EQ(ScaleMarks(-600, 10, 20).count, 1);  // crowded: 0 dB alone
  EXPECT_EQ(ScaleMarks(-1200, 10000, 1).count, kMeterMaxMarks);
}

TEST(MeterRules, LayoutChannelsScaleClipBoxAndLabels) {
  // 100 along: labels 88..100, a gap, clip box 83..87, a gap, travel 82.
  // 50 across: scale 20, two channels of (50 - 20 - 1) / 2 = 14.
  MeterLayout layout = ComputeMeterLayout(100, 50, 2, 12, 20);
  ASSERT_FALSE(layout.tooSmall);
  EXPECT_EQ(std::tuple(layout.travel, layout.clipStart, layout.clipEnd, layout.labelStart, layout.labelEnd),
            std::tuple(82, 83, 87, 88, 100));
  EXPECT_EQ(std::tuple(layout.channelStart[0], layout.channelEnd[0], layout.channelStart[1], layout.channelEnd[1]),
            std::tuple(20, 34, 35, 49));
  EXPECT_EQ((std::vector{ChannelAt(layout, 2, 10), ChannelAt(layout, 2, 20), ChannelAt(layout, 2, 34),
                         ChannelAt(layout, 2, 48), ChannelAt(layout, 2, 49)}),
            (std::vector{-1, 0, -1, 1, -1}));
  layout = ComputeMeterLayout(100, 10, 2, 0, 20);  // no labels; the scale gives way to the channels
  EXPECT_EQ(std::tuple(layout.tooSmall, layout.travel, layout.scaleBreadth, layout.channelEnd[1]),
            std::tuple(false, 95, 0, 9));
  EXPECT_TRUE(ComputeMeterLayout(12, 50, 2, 0, 0).tooSmall && ComputeMeterLayout(100, 4, 2, 0, 0).tooSmall);
}

}  // namespace
}  // namespace quill
