// The trackbar's and fader's portable rules: the taper, value <-> pixel, the
// layout and hit test, reset and digit values, and the pages' scroll rules.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <tuple>
#include <utility>

#include "twctllib/scroll_rules.h"
#include "twctllib/slider_geometry.h"
#include "twctllib/slider_scale.h"

namespace quill {
namespace {

TEST(Taper, BreakpointsInterpolationAndTheIdentityBeyond) {
  const int in[] = {0, 30, 60, 120, 250, 400, 700, 1000}, out[] = {0, 250, 400, 500, 600, 800, 950, 1000};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(std::tuple(Taper(in[i]), Taper(-in[i])), std::tuple(out[i], -out[i])) << in[i];
    EXPECT_EQ(std::tuple(InverseTaper(out[i]), InverseTaper(-out[i])), std::tuple(in[i], -in[i])) << out[i];
  }
  // 950 + 100 * 50 / 300 = 966.7, 500 + 80 * 100 / 130 = 561.5, 250 / 30 = 8.3: truncated.
  const std::pair<int, int> taper[] = {{800, 966}, {-800, -966}, {200, 561},    {15, 125},
                                       {1, 8},     {1500, 1500}, {-2000000, -2000000}, {INT32_MIN, INT32_MIN}};
  for (const auto& [x, t] : taper) EXPECT_EQ(Taper(x), t) << x;
  for (const auto& [t, x] : {std::pair{966, 796}, {8, 0}, {5000, 5000}}) EXPECT_EQ(InverseTaper(t), x) << t;
  for (int x = -1000; x < 1000; ++x) ASSERT_LE(Taper(x), Taper(x + 1)) << x;  // monotonic
}

TEST(SliderScale, LevelTaperGivesTheTopThreeDecibelsAQuarterOfTheTravel) {
  SliderScale scale;
  scale.SetTapered(true);
  scale.SetRange(-800, 0);
  const int travel = 800;
  EXPECT_NEAR(travel - scale.OffsetOf(-30, travel), travel / 4, 8);
  EXPECT_NEAR((travel - scale.OffsetOf(-200, travel)) * 100.0 / travel, 58.0, 0.5);
  EXPECT_NEAR(scale.ValueAt(scale.OffsetOf(-200, travel), travel), -200, 2);
  EXPECT_NEAR(scale.ValueAt(scale.OffsetOf(-30, travel), travel), -30, 1);
}

TEST(SliderScale, TravelEndsAreTheRangeEndsAndTheLinearMappingTruncates) {
  SliderScale scale;
  for (bool tapered : {false, true}) {
    scale.SetTapered(tapered);
    scale.SetRange(-800, 0);
    for (int travel : {2, 37, 190, 966}) {
      SCOPED_TRACE(testing::Message() << tapered << " " << travel);
      EXPECT_EQ(std::tuple(scale.OffsetOf(-800, travel), scale.OffsetOf(-5000, travel)), std::tuple(0, 0));
      EXPECT_EQ(std::tuple(scale.OffsetOf(0, travel), scale.OffsetOf(77, travel)), std::tuple(travel, travel));
      EXPECT_EQ(std::tuple(scale.ValueAt(0, travel), scale.ValueAt(-3, travel)), std::tuple(-800, -800));
      EXPECT_EQ(std::tuple(scale.ValueAt(travel, travel), scale.ValueAt(travel + 3, travel)), std::tuple(0, 0));
    }
    EXPECT_EQ(scale.ValueAt(1, 1), -800);  // a travel under 2 pixels
  }
  scale.SetTapered(false);
  scale.SetRange(0, 200);
  EXPECT_EQ(std::tuple(scale.OffsetOf(50, 100), scale.OffsetOf(51, 100), scale.ValueAt(25, 100)),
            std::tuple(25, 25, 50));
  scale.SetRange(0, 3);
  EXPECT_EQ(scale.ValueAt(66, 100), 1);  // 66 * 3 / 100 = 1.98
  scale.SetRange(INT32_MIN, INT32_MAX);  // huge ranges do not overflow
  EXPECT_EQ(std::tuple(scale.OffsetOf(0, 1000), scale.ValueAt(1000, 1000)), std::tuple(500, INT32_MAX));
}

TEST(SliderScale, ResetDigitAndClampValues) {
  SliderScale scale;
  const struct {
    int lo, hi, reset;
  } cases[] = {{-50, 50, 0},     {0, 200, 100},    {-800, 0, -800}, {-100, -20, -60},
               {-101, -20, -61}, {10, 5000, 2505}, {0, 0, 0},       {0, 101, 50}};
  for (const auto& c : cases) {
    scale.SetRange(c.lo, c.hi);
    EXPECT_EQ(scale.ResetValue(), c.reset) << c.lo << ".." << c.hi;
  }
  scale.SetRange(-800, 100);
  EXPECT_EQ(std::tuple(scale.DigitValue(0), scale.DigitValue(9), scale.DigitValue(3)), std::tuple(-800, 100, -500));
  EXPECT_EQ(std::tuple(scale.Clamp(250), scale.Clamp(-900)), std::tuple(100, -800));
}

TEST(SliderLayout, PageTrackbarAndFaderKeepTheThumbInsideTheirTravel) {
  // Style 0x0002: horizontal, 10-pixel thumb, channel 8, inset 2, arrows.
  const SliderLayout t = ComputeSliderLayout(SliderKind::Trackbar, 0x0002, 200, 20);
  ASSERT_FALSE(t.tooSmall);
  EXPECT_EQ((std::array{t.channel.Height(), t.channel.top, t.arrowArea.left, t.arrowArea.right, t.travel}),
            (std::array{8, 6, 183, 200, 173}));
  SliderScale scale;
  EXPECT_EQ(ThumbRect(t, ThumbPixel(t, scale, 0)).left, 0);
  EXPECT_EQ(ThumbRect(t, ThumbPixel(t, scale, 100)).right, 183);  // flush against the arrows
  // Style 0x1083: vertical, 20-pixel cap, tapered, channel 8, scale lines; the maximum at the top.
  const SliderLayout f = ComputeSliderLayout(SliderKind::Fader, 0x1083, 40, 236);
  ASSERT_FALSE(f.tooSmall);
  EXPECT_TRUE(f.vertical && f.ticks && f.grip && !f.arrows);
  EXPECT_EQ(std::tuple(f.travel, f.channel.left, f.channel.right), std::tuple(236 - 20, 16, 24));
  scale.SetTapered(true);
  scale.SetRange(-800, 0);
  EXPECT_EQ(ThumbRect(f, ThumbPixel(f, scale, 0)).top, 0);
  EXPECT_EQ(ThumbRect(f, ThumbPixel(f, scale, -800)).bottom, 236);
  for (int y : {TravelStart(f), TravelStart(f) - 4}) EXPECT_EQ(ValueAtPixel(f, scale, y), 0) << y;
  for (int y : {TravelEnd(f), TravelEnd(f) + 9}) EXPECT_EQ(ValueAtPixel(f, scale, y), -800) << y;
  // Slim channel, short thumb, no arrows; a fader never has arrows.
  const SliderLayout slim = ComputeSliderLayout(SliderKind::Trackbar, 0x0100 | 0x0010 | 0x0400, 100, 30);
  EXPECT_EQ(std::tuple(slim.breadth, slim.inset, slim.thumbLength, slim.arrows), std::tuple(10, 1, 8, false));
  EXPECT_FALSE(ComputeSliderLayout(SliderKind::Fader, 0x0011, 30, 100).arrows);
}

TEST(SliderLayout, TooSmallBelowThumbPlusMarginsOrChannelBreadth) {
  // Fader cap 20, inset 2: 20 + 2 * 8 = 36 pixels along the axis; a trackbar
  // without arrows needs 10 + 2 * 3, with arrows also their 17 pixels.
  const struct {
    SliderKind kind;
    int style, width, height;
    bool tooSmall;
  } cases[] = {{SliderKind::Fader, 0x0001, 30, 35, true},    {SliderKind::Fader, 0x0001, 30, 36, false},
               {SliderKind::Fader, 0x0001, 7, 100, true},    {SliderKind::Fader, 0x0001, 8, 100, false},
               {SliderKind::Trackbar, 0x0400, 15, 20, true}, {SliderKind::Trackbar, 0x0400, 16, 20, false},
               {SliderKind::Trackbar, 0, 32, 20, true},      {SliderKind::Trackbar, 0, 33, 20, false}};
  for (const auto& c : cases)
    EXPECT_EQ(ComputeSliderLayout(c.kind, c.style, c.width, c.height).tooSmall, c.tooSmall)
        << c.style << " " << c.width << "x" << c.height;
}

TEST(SliderHitTest, FindsThumbChannelSidesAndArrowHalves) {
  const SliderLayout l = ComputeSliderLayout(SliderKind::Trackbar, 0x0002, 200, 20);
  SliderScale scale;
  const int pixel = ThumbPixel(l, scale, 50);
  EXPECT_EQ(pixel, 5 + 173 * 50 / 100);
  // 181 is the gap before the arrows, y 0 is above the track.
  const struct {
    int x, y, part;
  } cases[] = {{pixel, 10, kPartThumb},       {pixel - 5, 10, kPartThumb},      {pixel - 6, 10, kPartChannelBefore},
               {pixel + 5, 10, kPartChannelAfter}, {3, 10, kPartChannelBefore}, {179, 10, kPartChannelAfter},
               {181, 10, kPartNone},          {183, 10, kPartFirstArrow},       {190, 10, kPartFirstArrow},
               {191, 10, kPartSecondArrow},   {199, 10, kPartSecondArrow},      {20, 0, kPartNone}};
  for (const auto& c : cases) EXPECT_EQ(HitTest(l, false, pixel, c.x, c.y), c.part) << c.x << "," << c.y;
  EXPECT_EQ(HitTest(l, true, pixel, pixel, 10), kPartNone);  // disabled
  // Above a vertical thumb is the channel before; x 2 is beside the cap's breadth.
  const SliderLayout v = ComputeSliderLayout(SliderKind::Fader, 0x1083, 40, 236);
  scale.SetRange(-800, 0);
  const int at = ThumbPixel(v, scale, -400);
  EXPECT_EQ((std::array{HitTest(v, false, at, 20, at - 20), HitTest(v, false, at, 20, at + 20),
                        HitTest(v, false, at, 20, at), HitTest(v, false, at, 2, at + 40)}),
            (std::array<int, 4>{kPartChannelBefore, kPartChannelAfter, kPartThumb, kPartNone}));
}

TEST(ScrollRules, TrackbarAndFaderPositions) {
  EXPECT_EQ(DefaultPageStep(10, 5000), 499);
  const std::pair<std::pair<int, int>, int> pages[] = {{{-800, 0}, 80}, {{0, 4}, 1}, {{0, 14}, 1}, {{0, 15}, 2}};
  for (const auto& [range, page] : pages) EXPECT_EQ(DefaultPageStep(range.first, range.second), page) << range.first;
  // fader: 0 trackbar, 1 vertical fader (up is louder, home is unity gain
  // unless ctrl or no boost range), 2 horizontal fader (trackbar directions).
  const ScrollState t{10, 5000, 5000}, m{0, 200, 100}, f{-800, 0, -350}, boost{-100, 100, -40}, h{-100, 100, 0};
  const struct {
    int fader;
    ScrollState s;
    int code, line, page;
    bool ctrl;
    int pos;
  } cases[] = {{0, t, kScrollPageUp, 1, 0, false, 5000 - 499}, {0, t, kScrollPageUp, 1, 0, true, 5000 - 4990},
               {0, {10, 5000, 4999}, kScrollPageUp, 1, 0, true, 10}, {0, m, kScrollLineUp, 3, 10, false, 97},
               {0, m, kScrollLineDown, 3, 10, false, 103}, {0, m, kScrollPageDown, 3, 10, false, 110},
               {0, m, kScrollPageDown, 3, 10, true, 200}, {0, m, kScrollTop, 3, 10, false, 0},
               {0, m, kScrollBottom, 3, 10, false, 200}, {0, m, kScrollThumbTrack, 3, 10, false, 100},
               {0, m, kScrollEnd, 3, 10, false, 100}, {0, m, 42, 3, 10, false, 100},
               {0, {0, 200, 300}, kScrollEnd, 1, 1, false, 200}, {1, f, kScrollLineUp, 1, 10, false, -349},
               {1, f, kScrollLineDown, 1, 10, false, -351}, {1, f, kScrollPageUp, 1, 10, false, -340},
               {1, f, kScrollPageUp, 1, 10, true, -250}, {1, f, kScrollPageDown, 1, 10, false, -360},
               {1, f, kScrollPageUp, 1, 0, false, -270}, {1, f, kScrollTop, 1, 10, false, 0},
               {1, f, kScrollBottom, 1, 10, false, -800}, {1, {-800, 0, -5}, kScrollPageUp, 1, 10, true, 0},
               {1, boost, kScrollTop, 1, 10, false, 0}, {1, boost, kScrollTop, 1, 10, true, 100},
               {1, {0, 100, 40}, kScrollTop, 1, 10, false, 100}, {1, {-100, -10, -40}, kScrollTop, 1, 10, false, -10},
               {2, h, kScrollLineUp, 1, 10, false, -1}, {2, h, kScrollPageDown, 1, 10, true, 100},
               {2, h, kScrollTop, 1, 10, false, -100}, {2, h, kScrollBottom, 1, 10, false, 100}};
  for (const auto& c : cases) {
    const int pos = c.fader == 0 ? TrackbarScrollPosition(c.s, c.code, c.line, c.page, c.ctrl)
                                 : FaderScrollPosition(c.s, c.fader == 1, c.code, c.line, c.page, c.ctrl);
    EXPECT_EQ(pos, c.pos) << "kind " << c.fader << " at " << c.s.position << " code " << c.code << (c.ctrl ? " ctrl" : "");
  }
}

}  // namespace
}  // namespace quill
