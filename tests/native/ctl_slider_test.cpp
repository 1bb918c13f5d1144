// The trackbar's and fader's portable rules: the taper, value <-> pixel, the
// layout and hit test, reset and digit values, and the pages' scroll rules.
#include <gtest/gtest.h>

#include <cstdlib>

#include "twctllib/scroll_rules.h"
#include "twctllib/slider_geometry.h"
#include "twctllib/slider_scale.h"

namespace quill {
namespace {

// --- taper --------------------------------------------------------------------

TEST(Taper, PassesThroughItsBreakpointsWithTheSignKept) {
  const int in[] = {0, 30, 60, 120, 250, 400, 700, 1000};
  const int out[] = {0, 250, 400, 500, 600, 800, 950, 1000};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(Taper(in[i]), out[i]) << in[i];
    EXPECT_EQ(Taper(-in[i]), -out[i]) << in[i];
    EXPECT_EQ(InverseTaper(out[i]), in[i]) << out[i];
    EXPECT_EQ(InverseTaper(-out[i]), -in[i]) << out[i];
  }
}

TEST(Taper, InterpolatesWithTruncationAndIsTheIdentityBeyondTheTable) {
  EXPECT_EQ(Taper(800), 966);  // 950 + 100 * 50 / 300 = 966.7
  EXPECT_EQ(Taper(-800), -966);
  EXPECT_EQ(Taper(200), 561);  // 500 + 80 * 100 / 130 = 561.5
  EXPECT_EQ(Taper(15), 125);
  EXPECT_EQ(Taper(1), 8);             // 250 / 30 = 8.3
  EXPECT_EQ(InverseTaper(966), 796);  // 700 + 16 * 300 / 50
  EXPECT_EQ(InverseTaper(8), 0);      // 8 * 30 / 250 = 0.96
  EXPECT_EQ(Taper(1500), 1500);
  EXPECT_EQ(Taper(-2000000), -2000000);
  EXPECT_EQ(InverseTaper(5000), 5000);
  EXPECT_EQ(Taper(INT32_MIN), INT32_MIN);
}

TEST(Taper, RoundTripStaysWithinOneInverseStepBelowTheStart) {
  const int in[] = {0, 30, 60, 120, 250, 400, 700, 1000};
  const int out[] = {0, 250, 400, 500, 600, 800, 950, 1000};
  int previous = Taper(-1001);
  for (int x = -1000; x <= 1000; ++x) {
    const int t = Taper(x);
    EXPECT_GE(t, previous) << x;  // monotonic
    previous = t;
    const int a = std::abs(x);
    int seg = 0;
    while (seg < 6 && a >= in[seg + 1]) ++seg;
    // Truncating twice can only lose, by at most one step of the inverse.
    const int step = (in[seg + 1] - in[seg] + out[seg + 1] - out[seg] - 1) / (out[seg + 1] - out[seg]);
    const int back = InverseTaper(t);
    EXPECT_LE(std::abs(back), a) << x;
    EXPECT_LE(a - std::abs(back), step) << x;
  }
}

TEST(SliderScale, TaperedRangeMapsItsEndsOntoThemselvesWithinTruncation) {
  SliderScale scale;
  scale.SetTapered(true);
  const int ranges[][2] = {{-800, 0}, {0, 100}, {10, 5000}, {-100, 100}, {-600, 120}, {-30000, 30000}};
  for (const auto& r : ranges) {
    scale.SetRange(r[0], r[1]);
    EXPECT_NEAR(scale.Coordinate(r[0]), r[0], 1) << r[0] << ".." << r[1];
    EXPECT_EQ(scale.Coordinate(r[1]), r[1]) << r[0] << ".." << r[1];
  }
}

TEST(SliderScale, LevelTaperGivesTheTopThreeDecibelsAQuarterOfTheTravel) {
  SliderScale scale;
  scale.SetTapered(true);
  scale.SetRange(-800, 0);
  EXPECT_EQ(scale.TaperSpan(), 966);
  EXPECT_EQ(scale.TaperOffset(), 0);
  EXPECT_EQ(scale.Coordinate(-30), -250 * 800 / 966);
  EXPECT_EQ(scale.Coordinate(-200), -561 * 800 / 966);
  const int travel = 800;
  const int fromTop30 = travel - scale.OffsetOf(-30, travel);
  EXPECT_NEAR(fromTop30, travel / 4, 8);
  const int fromTop200 = travel - scale.OffsetOf(-200, travel);
  EXPECT_NEAR(fromTop200 * 100.0 / travel, 58.0, 0.5);
  // Dragging to a pixel goes back through the inverse taper.
  EXPECT_NEAR(scale.ValueAt(scale.OffsetOf(-200, travel), travel), -200, 2);
  EXPECT_NEAR(scale.ValueAt(scale.OffsetOf(-30, travel), travel), -30, 1);
}

TEST(SliderScale, TravelEndsAreTheRangeEndsExactly) {
  SliderScale scale;
  for (bool tapered : {false, true}) {
    scale.SetTapered(tapered);
    scale.SetRange(-800, 0);
    for (int travel : {2, 37, 190, 966}) {
      EXPECT_EQ(scale.OffsetOf(-800, travel), 0);
      EXPECT_EQ(scale.OffsetOf(0, travel), travel);
      EXPECT_EQ(scale.ValueAt(0, travel), -800);
      EXPECT_EQ(scale.ValueAt(travel, travel), 0);
      EXPECT_EQ(scale.ValueAt(-3, travel), -800);
      EXPECT_EQ(scale.ValueAt(travel + 3, travel), 0);
      // Out-of-range values sit at the ends.
      EXPECT_EQ(scale.OffsetOf(-5000, travel), 0);
      EXPECT_EQ(scale.OffsetOf(77, travel), travel);
    }
    EXPECT_EQ(scale.ValueAt(1, 1), -800);  // a travel under 2 pixels
  }
}

TEST(SliderScale, LinearMappingTruncatesTowardTheMinimum) {
  SliderScale scale;
  scale.SetRange(0, 200);
  EXPECT_EQ(scale.OffsetOf(50, 100), 25);
  EXPECT_EQ(scale.OffsetOf(51, 100), 25);
  EXPECT_EQ(scale.ValueAt(25, 100), 50);
  scale.SetRange(0, 3);
  EXPECT_EQ(scale.ValueAt(66, 100), 1);  // 66 * 3 / 100 = 1.98
  scale.SetRange(5, 5);
  EXPECT_EQ(scale.OffsetOf(5, 100), 0);
  EXPECT_EQ(scale.ValueAt(50, 100), 5);
  // Huge ranges do not overflow.
  scale.SetRange(INT32_MIN, INT32_MAX);
  EXPECT_EQ(scale.OffsetOf(0, 1000), 500);
  EXPECT_EQ(scale.ValueAt(1000, 1000), INT32_MAX);
}

TEST(SliderScale, ResetValueFollowsTheRangeSigns) {
  SliderScale scale;
  const struct {
    int lo, hi, reset;
  } cases[] = {{-50, 50, 0},     {0, 200, 100},    {-800, 0, -800}, {-100, 100, 0}, {-100, -20, -60},
               {-101, -20, -61}, {10, 5000, 2505}, {0, 0, 0},       {0, 101, 50},   {-600, 120, 0}};
  for (const auto& c : cases) {
    scale.SetRange(c.lo, c.hi);
    EXPECT_EQ(scale.ResetValue(), c.reset) << c.lo << ".." << c.hi;
  }
}

TEST(SliderScale, DigitsSpreadFromMinimumToMaximum) {
  SliderScale scale;
  scale.SetRange(-800, 100);
  EXPECT_EQ(scale.DigitValue(0), -800);
  EXPECT_EQ(scale.DigitValue(9), 100);
  EXPECT_EQ(scale.DigitValue(3), -500);
  EXPECT_EQ(scale.Clamp(250), 100);
  EXPECT_EQ(scale.Clamp(-900), -800);
}

// --- layout and hit test --------------------------------------------------------

TEST(SliderLayout, PageTrackbarLeavesRoomForTheArrowsAndKeepsTheThumbInside) {
  // Style 0x0002: horizontal, 10-pixel thumb, channel 8, inset 2, arrows.
  const SliderLayout l = ComputeSliderLayout(SliderKind::Trackbar, 0x0002, 200, 20);
  ASSERT_FALSE(l.tooSmall);
  EXPECT_TRUE(l.arrows);
  EXPECT_EQ(l.thumbLength, 10);
  EXPECT_EQ(l.channel.Height(), 8);
  EXPECT_EQ(l.channel.top, 6);
  EXPECT_EQ(l.arrowArea.left, 183);
  EXPECT_EQ(l.arrowArea.right, 200);
  SliderScale scale;
  const CtlRect atMin = ThumbRect(l, ThumbPixel(l, scale, 0));
  const CtlRect atMax = ThumbRect(l, ThumbPixel(l, scale, 100));
  EXPECT_EQ(atMin.left, 0);
  EXPECT_EQ(atMax.right, 183);  // flush against the arrows
  EXPECT_EQ(l.travel, 183 - 10);
  EXPECT_EQ(TravelStart(l), 5);
}

TEST(SliderLayout, PageFaderIsVerticalWithTheMaximumAtTheTop) {
  // Style 0x1083: vertical, 20-pixel cap, tapered, channel 8, scale lines.
  const SliderLayout l = ComputeSliderLayout(SliderKind::Fader, 0x1083, 40, 236);
  ASSERT_FALSE(l.tooSmall);
  EXPECT_TRUE(l.vertical);
  EXPECT_FALSE(l.arrows);
  EXPECT_TRUE(l.ticks);
  EXPECT_TRUE(l.grip);
  EXPECT_EQ(l.travel, 236 - 20);
  EXPECT_EQ(l.channel.left, 16);
  EXPECT_EQ(l.channel.right, 24);
  SliderScale scale;
  scale.SetTapered(true);
  scale.SetRange(-800, 0);
  const CtlRect top = ThumbRect(l, ThumbPixel(l, scale, 0));
  const CtlRect bottom = ThumbRect(l, ThumbPixel(l, scale, -800));
  EXPECT_EQ(top.top, 0);
  EXPECT_EQ(bottom.bottom, 236);
  EXPECT_EQ(ValueAtPixel(l, scale, TravelStart(l)), 0);
  EXPECT_EQ(ValueAtPixel(l, scale, TravelStart(l) - 4), 0);
  EXPECT_EQ(ValueAtPixel(l, scale, TravelEnd(l)), -800);
  EXPECT_EQ(ValueAtPixel(l, scale, TravelEnd(l) + 9), -800);
}

TEST(SliderLayout, StyleBitsChooseThumbChannelAndArrows) {
  const SliderLayout slim = ComputeSliderLayout(SliderKind::Trackbar, 0x0100 | 0x0010 | 0x0400, 100, 30);
  EXPECT_EQ(slim.breadth, 10);
  EXPECT_EQ(slim.inset, 1);
  EXPECT_EQ(slim.thumbLength, 8);
  EXPECT_FALSE(slim.arrows);
  EXPECT_EQ(slim.travel, 100 - 8);
  // 0x0030 both set is not the short thumb; 0x0C00 both set keeps the arrows.
  const SliderLayout other = ComputeSliderLayout(SliderKind::Trackbar, 0x0030 | 0x0C00 | 0x0300, 100, 30);
  EXPECT_EQ(other.thumbLength, 10);
  EXPECT_TRUE(other.arrows);
  EXPECT_EQ(other.breadth, 8);
  const SliderLayout shortCap = ComputeSliderLayout(SliderKind::Fader, 0x0011 | 0x0400, 30, 100);
  EXPECT_EQ(shortCap.thumbLength, 10);
  EXPECT_FALSE(shortCap.grip);
  EXPECT_FALSE(shortCap.arrows);  // no arrows on a fader whatever the style
  EXPECT_EQ(shortCap.breadth, 8);
}

TEST(SliderLayout, TooSmallBelowThumbPlusMarginsOrChannelBreadth) {
  // Fader cap 20, inset 2: 20 + 2 * 8 = 36 pixels along the axis.
  EXPECT_TRUE(ComputeSliderLayout(SliderKind::Fader, 0x0001, 30, 35).tooSmall);
  EXPECT_FALSE(ComputeSliderLayout(SliderKind::Fader, 0x0001, 30, 36).tooSmall);
  EXPECT_TRUE(ComputeSliderLayout(SliderKind::Fader, 0x0001, 7, 100).tooSmall);
  EXPECT_FALSE(ComputeSliderLayout(SliderKind::Fader, 0x0001, 8, 100).tooSmall);
  // Trackbar without arrows: 10 + 2 * 3; with arrows also their 17 pixels.
  EXPECT_TRUE(ComputeSliderLayout(SliderKind::Trackbar, 0x0400, 15, 20).tooSmall);
  EXPECT_FALSE(ComputeSliderLayout(SliderKind::Trackbar, 0x0400, 16, 20).tooSmall);
  EXPECT_TRUE(ComputeSliderLayout(SliderKind::Trackbar, 0, 32, 20).tooSmall);
  EXPECT_FALSE(ComputeSliderLayout(SliderKind::Trackbar, 0, 33, 20).tooSmall);
  EXPECT_TRUE(ComputeSliderLayout(SliderKind::Trackbar, 0, 0, 0).tooSmall);
}

TEST(SliderHitTest, FindsThumbChannelSidesAndArrowHalves) {
  const SliderLayout l = ComputeSliderLayout(SliderKind::Trackbar, 0x0002, 200, 20);
  SliderScale scale;
  const int pixel = ThumbPixel(l, scale, 50);
  EXPECT_EQ(pixel, 5 + 173 * 50 / 100);
  EXPECT_EQ(HitTest(l, false, pixel, pixel, 10), kPartThumb);
  EXPECT_EQ(HitTest(l, false, pixel, pixel - 5, 10), kPartThumb);
  EXPECT_EQ(HitTest(l, false, pixel, pixel - 6, 10), kPartChannelBefore);
  EXPECT_EQ(HitTest(l, false, pixel, pixel + 5, 10), kPartChannelAfter);
  EXPECT_EQ(HitTest(l, false, pixel, 3, 10), kPartChannelBefore);
  EXPECT_EQ(HitTest(l, false, pixel, 179, 10), kPartChannelAfter);
  EXPECT_EQ(HitTest(l, false, pixel, 181, 10), kPartNone);  // the gap before the arrows
  EXPECT_EQ(HitTest(l, false, pixel, 183, 10), kPartFirstArrow);
  EXPECT_EQ(HitTest(l, false, pixel, 190, 10), kPartFirstArrow);
  EXPECT_EQ(HitTest(l, false, pixel, 191, 10), kPartSecondArrow);
  EXPECT_EQ(HitTest(l, false, pixel, 199, 10), kPartSecondArrow);
  EXPECT_EQ(HitTest(l, false, pixel, 20, 0), kPartNone);  // above the track
  EXPECT_EQ(HitTest(l, true, pixel, pixel, 10), kPartNone);
  const SliderLayout tiny = ComputeSliderLayout(SliderKind::Trackbar, 0x0002, 20, 20);
  EXPECT_EQ(HitTest(tiny, false, 10, 10, 10), kPartNone);
}

TEST(SliderHitTest, AboveAVerticalThumbIsTheChannelBefore) {
  const SliderLayout l = ComputeSliderLayout(SliderKind::Fader, 0x1083, 40, 236);
  SliderScale scale;
  scale.SetRange(-800, 0);
  const int pixel = ThumbPixel(l, scale, -400);
  EXPECT_EQ(HitTest(l, false, pixel, 20, pixel - 20), kPartChannelBefore);
  EXPECT_EQ(HitTest(l, false, pixel, 20, pixel + 20), kPartChannelAfter);
  EXPECT_EQ(HitTest(l, false, pixel, 20, pixel), kPartThumb);
  EXPECT_EQ(HitTest(l, false, pixel, 2, pixel + 40), kPartNone);  // beside the cap's breadth
}

// --- scroll rules -----------------------------------------------------------------

TEST(TrackbarScrollRule, StepsPagesAndEnds) {
  const ScrollState s{10, 5000, 5000};
  EXPECT_EQ(DefaultPageStep(10, 5000), 499);
  EXPECT_EQ(TrackbarScrollPosition(s, kScrollPageUp, 1, 0, false), 5000 - 499);
  EXPECT_EQ(TrackbarScrollPosition(s, kScrollPageUp, 1, 0, true), 5000 - 4990);
  EXPECT_EQ(TrackbarScrollPosition({10, 5000, 4999}, kScrollPageUp, 1, 0, true), 10);  // clamped
  const ScrollState m{0, 200, 100};
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollLineUp, 3, 10, false), 97);
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollLineDown, 3, 10, false), 103);
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollPageDown, 3, 10, false), 110);
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollPageDown, 3, 10, true), 200);
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollTop, 3, 10, false), 0);
  EXPECT_EQ(TrackbarScrollPosition(m, kScrollBottom, 3, 10, false), 200);
  for (int code : {int{kScrollThumbPosition}, int{kScrollThumbTrack}, int{kScrollEnd}, int{kScrollButtonDown}, 42}) {
    EXPECT_EQ(TrackbarScrollPosition(m, code, 3, 10, false), 100) << code;
  }
  // A position outside the range comes back clamped even when kept.
  EXPECT_EQ(TrackbarScrollPosition({0, 200, 300}, kScrollEnd, 1, 1, false), 200);
}

TEST(TrackbarScrollRule, DefaultPageIsATenthOfTheRangeAtLeastOne) {
  EXPECT_EQ(DefaultPageStep(-800, 0), 80);
  EXPECT_EQ(DefaultPageStep(0, 4), 1);
  EXPECT_EQ(DefaultPageStep(0, 0), 1);
  EXPECT_EQ(DefaultPageStep(0, 14), 1);
  EXPECT_EQ(DefaultPageStep(0, 15), 2);
}

TEST(FaderScrollRule, UpIsLouderOnAVerticalFader) {
  const ScrollState s{-800, 0, -350};
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollLineUp, 1, 10, false), -349);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollLineDown, 1, 10, false), -351);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollPageUp, 1, 10, false), -340);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollPageUp, 1, 10, true), -250);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollPageDown, 1, 10, false), -360);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollPageUp, 1, 0, false), -270);  // page 80
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollTop, 1, 10, false), 0);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollBottom, 1, 10, false), -800);
  EXPECT_EQ(FaderScrollPosition({-800, 0, -5}, true, kScrollPageUp, 1, 10, true), 0);
  EXPECT_EQ(FaderScrollPosition(s, true, kScrollThumbTrack, 1, 10, false), -350);
}

TEST(FaderScrollRule, HomeIsUnityGainUnlessCtrlOrNoBoostRange) {
  const ScrollState boost{-100, 100, -40};
  EXPECT_EQ(FaderScrollPosition(boost, true, kScrollTop, 1, 10, false), 0);
  EXPECT_EQ(FaderScrollPosition(boost, true, kScrollTop, 1, 10, true), 100);
  EXPECT_EQ(FaderScrollPosition({0, 100, 40}, true, kScrollTop, 1, 10, false), 100);
  EXPECT_EQ(FaderScrollPosition({-100, -10, -40}, true, kScrollTop, 1, 10, false), -10);
  EXPECT_EQ(FaderScrollPosition({-100, 1, -40}, true, kScrollTop, 1, 10, false), 0);
}

TEST(FaderScrollRule, HorizontalMessageUsesTheTrackbarDirections) {
  const ScrollState s{-100, 100, 0};
  EXPECT_EQ(FaderScrollPosition(s, false, kScrollLineUp, 1, 10, false), -1);
  EXPECT_EQ(FaderScrollPosition(s, false, kScrollPageUp, 1, 10, false), -10);
  EXPECT_EQ(FaderScrollPosition(s, false, kScrollPageDown, 1, 10, true), 100);
  EXPECT_EQ(FaderScrollPosition(s, false, kScrollTop, 1, 10, false), -100);
  EXPECT_EQ(FaderScrollPosition(s, false, kScrollBottom, 1, 10, false), 100);
}

}  // namespace
}  // namespace quill
