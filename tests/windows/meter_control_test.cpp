// The level meter in a real window: levels in and out in both forms, the
// dB reading, refused settings, the held peak and its labels, double-click
// resets, and the bar and clip box read back from the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/twctllib.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

class MeterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    parent_ = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, 40, 40, 420, 420, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr) << GetLastError();
    // Shown without activation: an activated top-level window takes Wine's
    // X driver two seconds to destroy without a window manager.
    ShowWindow(parent_, SW_SHOWNA);
  }
  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    CtlInitialize(FALSE);
  }
  void TearDown() override {
    for (HWND w : made_) DestroyWindow(w);
  }
  HWND Make(DWORD style, int width, int height) {
    made_.push_back(CreateWindowExW(0, kMeterClass, L"", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height, parent_,
                                    nullptr, GetModuleHandleW(nullptr), nullptr));
    EXPECT_NE(made_.back(), nullptr);
    return made_.back();
  }
  static LRESULT Set(HWND w, int channel, LONG level) {
    return SendMessageW(w, kMeterSetLevels, MAKEWPARAM(channel, 0), level);
  }
  static LONG Level(HWND w, int channel) {
    return static_cast<LONG>(SendMessageW(w, kMeterGetLevels, MAKEWPARAM(channel, 0), 0));
  }
  static LONG Peak(HWND w, int channel) { return static_cast<LONG>(SendMessageW(w, kMeterGetPeak, channel, 0)); }
  static std::wstring Label(HWND w, int channel) {
    wchar_t text[16] = {};
    const LRESULT n = SendMessageW(w, kMeterGetLabel, MAKEWPARAM(channel, 16), reinterpret_cast<LPARAM>(text));
    return std::wstring(text, static_cast<size_t>(n));
  }
  static inline HWND parent_ = nullptr;
  std::vector<HWND> made_;
};

TEST_F(MeterTest, LevelsInBothFormsLimitedToTheChannelsNegativeClearsAndTheDecibelReading) {
  HWND w = Make(0, 200, 60);
  EXPECT_EQ(SendMessageW(w, kMeterSetFullScale, 0, 0), 32768);
  EXPECT_EQ(SendMessageW(w, kMeterSetClipLevel, 0, 0), 32767);
  EXPECT_EQ(SendMessageW(w, kMeterSetChannels, 3, 0), 3);
  EXPECT_EQ(SendMessageW(w, kMeterSetChannels, kMeterMaxChannels + 1, 0), 3);  // refused
  EXPECT_EQ(Set(w, 1, 1000), 1);
  EXPECT_EQ(Set(w, 3, 1000), 0);  // no such channel
  EXPECT_EQ(std::vector({Level(w, 0), Level(w, 1), Level(w, 3)}), std::vector<LONG>({-1, 1000, -1}));
  const LONG in[5] = {16384, 20, 30, 40, 50};
  EXPECT_EQ(SendMessageW(w, kMeterSetLevels, MAKEWPARAM(0, 5), reinterpret_cast<LPARAM>(in)), 3);
  LONG out[5] = {7, 7, 7, 7, 7};
  EXPECT_EQ(SendMessageW(w, kMeterGetLevels, MAKEWPARAM(0, 5), reinterpret_cast<LPARAM>(out)), 3);
  EXPECT_EQ(std::vector(out, out + 5), std::vector<LONG>({16384, 20, 30, 7, 7}));
  EXPECT_EQ(SendMessageW(w, kMeterSetLevels, MAKEWPARAM(0, 2), 0), 0);  // no array
  EXPECT_EQ(Set(w, 2, -1), 1);
  EXPECT_EQ(std::vector({Level(w, 2), Peak(w, 2)}), std::vector<LONG>({-1, -1}));

  // Half of full scale is 20 log10(1/2) = -6.02 dB.
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(0, 0), 0), -60);
  float db = 0;
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(0, 1), reinterpret_cast<LPARAM>(&db)), 1);
  EXPECT_NEAR(db, -6.0206, 0.0005);
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(2, 0), 0), kMinusInfinity);
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(2, 1), reinterpret_cast<LPARAM>(&db)), 1);
  EXPECT_TRUE(std::isinf(db) && db < 0);
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(0, 1), 0), 0);
  EXPECT_EQ(SendMessageW(w, kMeterSetFullScale, 0, 16384), 16384);
  EXPECT_EQ(SendMessageW(w, kMeterGetScaleValue, MAKEWPARAM(0, 0), 0), 0);
  // Out-of-range settings are refused and the one in effect comes back.
  EXPECT_EQ(SendMessageW(w, kMeterSetFullScale, 0, -5), 16384);
  EXPECT_EQ(SendMessageW(w, kMeterSetBottom, 0, -5), -600);
  EXPECT_EQ(SendMessageW(w, kMeterSetFormat, 0, reinterpret_cast<LPARAM>(L"%d")), 0);
}

// Both meters get the same levels; one holds the largest, the other
// (0x0002) the smallest, and only 0x0010 lets a double-click reset a peak.
TEST_F(MeterTest, HeldPeaksTheirLabelsAndDoubleClickResets) {
  HWND largest = Make(kMeterStyleVertical | kMeterStyleNoScale | kMeterStyleResetOnDoubleClick, 300, 120);
  HWND smallest = Make(kMeterStyleVertical | kMeterStyleNoScale | kMeterStyleMinimum, 300, 120);
  for (HWND w : {largest, smallest}) {
    SendMessageW(w, kMeterSetHoldTime, 0, 0);
    for (LONG level : {3000, 40000, 100, 8231}) {
      Set(w, 0, level);
      Set(w, 1, level);
    }
  }
  EXPECT_EQ(std::vector({Peak(largest, 1), Peak(smallest, 1)}), std::vector<LONG>({40000, 100}));
  // 20 log10(40000 / 32768) = +1.7, above the clip level; 100 is -50.3 dB.
  EXPECT_EQ(Label(largest, 0), L"Clip");
  EXPECT_EQ(Label(smallest, 0), L"-50.3");
  SendMessageW(smallest, kMeterSetBottom, 0, -480);
  EXPECT_EQ(Label(smallest, 0), L"-Inf.");
  // Channels are 149 pixels wide, split at x = 150.
  for (HWND w : {largest, smallest}) SendMessageW(w, WM_LBUTTONDBLCLK, 0, MAKELPARAM(225, 50));
  EXPECT_EQ(std::vector({Peak(largest, 0), Peak(largest, 1), Peak(smallest, 1)}),
            std::vector<LONG>({40000, 8231, 100}));
  EXPECT_EQ(Label(largest, 1), L"-12.0");  // 20 log10(8231 / 32768) = -12.0
  EXPECT_EQ(SendMessageW(smallest, kMeterResetPeaks, kMeterAllChannels, 0), 2);
  EXPECT_EQ(Peak(smallest, 1), 8231);
  // A channel a few pixels wide shows the figure without its tenths.
  HWND narrow = Make(kMeterStyleVertical | kMeterStyleNoScale, 60, 120);
  SendMessageW(narrow, kMeterSetChannels, 8, 0);
  Set(narrow, 0, 8231);
  EXPECT_EQ(Label(narrow, 0), L"-12");
  // A timed peak falls back to the level once its time is up.
  SendMessageW(largest, kMeterSetHoldTime, 0, 50);
  Set(largest, 1, 16384);
  Set(largest, 1, 100);
  EXPECT_EQ(Peak(largest, 1), 16384);
  EXPECT_TRUE(WaitFor([&] { return Peak(largest, 1) == 100; }, 1000)) << Peak(largest, 1);
}

// Rows (or columns) of the bar at the channel's centre that show a lit
// colour, and that belong to the bar at all.
struct BarPixels {
  int lit = 0, bar = 0;
};
BarPixels Measure(HWND w, bool vertical, int across, int length) {
  const COLORREF lit[] = {CtlNearestColor(121), CtlNearestColor(111), CtlNearestColor(124)};
  const COLORREF dark[] = {CtlNearestColor(120), CtlNearestColor(110)};
  BarPixels count;
  HDC dc = GetDC(w);
  for (int i = 0; i < length; ++i) {
    const COLORREF c = vertical ? GetPixel(dc, across, i) : GetPixel(dc, i, across);
    const bool isLit = c == lit[0] || c == lit[1] || c == lit[2];
    count.lit += isLit;
    count.bar += isLit || c == dark[0] || c == dark[1];
  }
  ReleaseDC(w, dc);
  return count;
}

// -20 dB on a 60 dB scale lights two thirds of the bar; full scale lights
// all of it and the clip box; silence none.
TEST_F(MeterTest, BarLengthForAKnownLevelAndTheClipBox) {
  for (const bool vertical : {true, false}) {
    SCOPED_TRACE(vertical);
    HWND w = Make(kMeterStyleNoScale | kMeterStyleNoLabels | (vertical ? kMeterStyleVertical : 0), 120, 120);
    SendMessageW(w, kMeterSetChannels, 1, 0);
    SendMessageW(w, kMeterSetHoldTime, 0, 0);
    for (const auto& [level, sixtieths] : {std::pair{3277, 40}, {32768, 60}, {0, 0}}) {
      Set(w, 0, level);
      SendMessageW(w, kMeterResetPeaks, kMeterAllChannels, 0);
      UpdateWindow(w);
      const BarPixels px = Measure(w, vertical, 60, 120);
      ASSERT_GT(px.bar, 100);
      EXPECT_EQ(px.lit, px.bar * sixtieths / 60) << level;
    }
    Set(w, 0, 32768);
    UpdateWindow(w);
    HDC dc = GetDC(w);
    // The clip box is the far end's first four pixels beyond a one-pixel gap.
    EXPECT_EQ(vertical ? GetPixel(dc, 60, 1) : GetPixel(dc, 118, 60), CtlNearestColor(141));
    ReleaseDC(w, dc);
  }
}

}  // namespace
}  // namespace quill::test
