// The time page's portable rules: running times shown and read, typed
// tempos and times turned into the final length, and the range labels.
#include "twtime/time_texts.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <tuple>

#include "include/quillfx1.h"
#include "twtime/time_fields.h"

namespace quill {
namespace {

const FieldInfo& Final() {
  return *FieldAt(TimeFields(), offsetof(TimeParams, finalTenths));
}
const FieldInfo& Tempo() {
  return *FieldAt(TimeFields(), offsetof(TimeParams, tempoTenths));
}

const NumberSeparators kDefault{}, kSwapped{L',', L'.', L';'};

std::tuple<int, int, int, int> Parts(const RunningTime& t) {
  return {t.hours, t.minutes, t.seconds, t.milliseconds};
}

TEST(TimeTexts, FramesShowAsWholeHoursMinutesAndSeconds) {
  EXPECT_EQ(FramesToTime(44100, 1323000.0), "00:00:30");
  EXPECT_EQ(FramesToTime(48000, 3723.0 * 48000), "01:02:03");
  EXPECT_EQ(FramesToTime(44100, 2 * 44100.0 - 1), "00:00:01") << "a part second is dropped";
  EXPECT_EQ(FramesToTime(8000, 793800000.0 * 5), "137:48:45") << "hours do not wrap";
  EXPECT_EQ(FramesToTime(44100, 0.0), "00:00:00");
  EXPECT_EQ(FramesToTime(0, 44100.0), "00:00:00") << "no rate, no time";
}

TEST(TimeTexts, ReadsSecondsMinutesAndHoursWithAFraction) {
  for (const auto& [in, parts] : {std::pair{"1:30", std::tuple(0, 1, 30, 0)},
                                  {"90.5", std::tuple(0, 0, 90, 500)},
                                  {"1:02:03", std::tuple(1, 2, 3, 0)},
                                  {" 2 : 3 ", std::tuple(0, 2, 3, 0)},
                                  {"", std::tuple(0, 0, 0, 0)}}) {
    RunningTime t{9, 9, 9, 9};
    ASSERT_TRUE(ParseTime(in, kDefault, &t)) << in;
    EXPECT_EQ(Parts(t), parts) << in;
  }
  RunningTime t;
  ASSERT_TRUE(ParseTime("1:30,5", kSwapped, &t));
  EXPECT_EQ(Parts(t), std::tuple(0, 1, 30, 500)) << "the locale's decimal separator";
  ASSERT_TRUE(ParseTime(L"1:00:00", kDefault, &t));
  EXPECT_EQ(Parts(t), std::tuple(1, 0, 0, 0));
}

TEST(TimeTexts, RefusesWhatIsNotATimeAndLeavesTheResultAlone) {
  for (const char* in : {"1:2:3:4", "1.5:30", "1.2.3", "1:30x", "x", "1;30"}) {
    RunningTime t{7, 7, 7, 7};
    EXPECT_FALSE(ParseTime(in, kDefault, &t)) << in;
    EXPECT_EQ(Parts(t), std::tuple(7, 7, 7, 7)) << in;
  }
  RunningTime t;
  EXPECT_FALSE(ParseTime(static_cast<const char*>(nullptr), kDefault, &t));
}

TEST(TimeTexts, TimesBecomeFramesRoundedUp) {
  EXPECT_EQ(TimeToFrames(48000, {1, 2, 3, 0}), 3723.0 * 48000);
  EXPECT_EQ(TimeToFrames(44100, {0, 0, 0, 1}), 45.0) << "44.1 frames need 45";
  EXPECT_EQ(TimeToFrames(44100, {0, 0, 0, 0}), 0.0);
}

TEST(TimeTexts, TypedValuesBecomeTheFinalLength) {
  EXPECT_EQ(FinalFromPercent(85.0), 850.0);
  EXPECT_DOUBLE_EQ(FinalFromTempo(1200, 240.0), 500.0);
  EXPECT_DOUBLE_EQ(FinalFromTempo(1200, 24.0), 5000.0);
  EXPECT_NEAR(FinalFromFrames(3969000.0, 2646000.0), 1500.0378, 1e-4);
  EXPECT_NEAR(FinalTempoTenths(1200, 1100.0), 1090.909, 1e-3);
  EXPECT_EQ(ValueText(Tempo(), static_cast<std::int32_t>(FinalTempoTenths(1200, 1100.0))), "109.0");
  EXPECT_EQ(ValueText(Final(), 1100), "110.0");
}

TEST(TimeTexts, LabelsStateTheReachableRange) {
  EXPECT_EQ(TempoRangeLabel(Final(), 1200, true), "&Final tempo (240.0 to 24.0 bpm):");
  EXPECT_EQ(TimeRangeLabel(Final(), 44100, 2646000.0, true), "&Final time (00:00:30 to 00:05:00):");
  EXPECT_EQ(TimeRangeLabel(Final(), 48000, 48000.0 * 3600, false), "Final time (00:30:00 to 05:00:00):");
}

}  // namespace
}  // namespace quill
