// The envelope editor's rules: ordered inserts, clamped moves, pinned ends,
// refused edits that change nothing, interpolation, snapping and the
// value-pixel mapping with hit-testing.
#include "twctllib/envelope_points.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace quill {
namespace {

using Points = std::vector<std::tuple<int, int>>;

Points All(const Envelope& e) {
  Points points;
  for (int i = 0; i < e.Count(); ++i) points.emplace_back(e.Point(i).x, e.Point(i).y);
  return points;
}

// x 0..1000, y 0..100, ends at 0 and (500, 80), (250, 40) inside.
Envelope Made(int maxCount = 8) {
  Envelope e;
  EXPECT_TRUE(e.SetMaxCount(maxCount));
  EXPECT_TRUE(e.SetYRange(0, 100));
  EXPECT_EQ(e.Insert({500, 80}), 1);
  EXPECT_EQ(e.Insert({250, 40}), 1);
  return e;
}

TEST(EnvelopePoints, InsertKeepsOrderAndRefusesTakenEndOrFull) {
  Envelope e = Made(5);
  EXPECT_EQ(All(e), (Points{{0, 0}, {250, 40}, {500, 80}, {1000, 0}}));
  ASSERT_TRUE(e.Select(2));
  EXPECT_EQ(e.Insert({750, 500}), 3);  // y clamped to 100
  EXPECT_EQ(e.Selected(), 2);
  EXPECT_EQ(e.Insert({100, 10}), -1);  // five is the most
  ASSERT_TRUE(e.Remove(3));
  for (EnvelopePoint p : {EnvelopePoint{250, 1}, {0, 5}, {1000, 5}, {-3, 5}}) EXPECT_EQ(e.Insert(p), -1) << p.x;
  EXPECT_EQ(e.Insert({100, -7}), 1);
  EXPECT_EQ(All(e), (Points{{0, 0}, {100, 0}, {250, 40}, {500, 80}, {1000, 0}}));
  EXPECT_EQ(e.Selected(), 3);      // still (500, 80)
  EXPECT_FALSE(e.SetMaxCount(4));  // would not hold the five
  EXPECT_FALSE(e.SetMaxCount(kEnvelopeMaxCountLimit + 1));
  EXPECT_EQ(e.MaxCount(), 5);
}

TEST(EnvelopePoints, MovesStayBetweenNeighboursAndEndsKeepTheirX) {
  Envelope e = Made();
  const std::tuple<int, EnvelopePoint, int, int> moves[] = {
      {1, {900, 50}, 499, 50},  // up to one short of the next point
      {1, {-20, -5}, 1, 0},     // one past the first, y at the bottom
      {0, {300, 70}, 0, 70},    // an end moves only in y
      {3, {10, 101}, 1000, 100},
  };
  for (const auto& [index, to, x, y] : moves) {
    const EnvelopePoint p = e.Move(index, to);
    EXPECT_EQ(std::tuple(p.x, p.y, e.Point(index).x), std::tuple(x, y, x)) << index;
  }
  ASSERT_EQ(e.Insert({2, 30}), 2);
  EXPECT_EQ(e.Move(1, {300, 30}).x, 1);  // wedged between 0 and 2
}

TEST(EnvelopePoints, RemoveResetAssignAndRangesKeepTheRules) {
  Envelope e = Made();
  ASSERT_TRUE(e.Select(1));
  EXPECT_FALSE(e.Remove(0) || e.Remove(3) || e.Remove(4));
  EXPECT_TRUE(e.Remove(1));
  EXPECT_EQ(e.Selected(), 1);                                        // the point that took its place, (500, 80)
  const EnvelopePoint bad[][3] = {{{0, 0}, {600, 1}, {999, 1}},      // last not at the end
                                  {{0, 0}, {0, 1}, {1000, 1}},       // x not increasing
                                  {{0, 0}, {600, 101}, {1000, 1}}};  // y outside
  for (const auto& points : bad) EXPECT_FALSE(e.Assign(points, 3));
  EXPECT_FALSE(e.Assign(bad[0], 1));
  EXPECT_EQ(All(e), (Points{{0, 0}, {500, 80}, {1000, 0}}));
  const EnvelopePoint good[] = {{0, 10}, {200, 20}, {400, 60}, {1000, 90}};
  ASSERT_TRUE(e.Assign(good, 4));
  // Inner points outside the new x range go; the ends follow it.
  ASSERT_TRUE(e.SetXRange(100, 300));
  EXPECT_EQ(All(e), (Points{{100, 10}, {200, 20}, {300, 90}}));
  EXPECT_FALSE(e.SetXRange(5, 5) || e.SetYRange(9, -9));
  ASSERT_TRUE(e.SetYRange(30, 50));
  EXPECT_EQ(All(e), (Points{{100, 30}, {200, 30}, {300, 50}}));
  e.Reset(-4);
  EXPECT_EQ(All(e), (Points{{100, 30}, {300, 30}}));
  EXPECT_EQ(e.Selected(), -1);
  EXPECT_FALSE(e.Select(2));
}

TEST(EnvelopePoints, ValueAtInterpolatesBetweenNeighboursTruncatingTowardZero) {
  Envelope e = Made();  // (0,0) (250,40) (500,80) (1000,0)
  // 40 * 100 / 250 = 16; 40 + 40 * 125 / 250 = 60; 80 - 80 * 10 / 500 = 80 - 1.6, the step truncated.
  for (const auto& [x, y] : {std::pair{100, 16}, {375, 60}, {510, 79}, {250, 40}, {-50, 0}, {2000, 0}, {750, 40}})
    EXPECT_EQ(e.ValueAt(x), y) << x;
}

TEST(EnvelopePoints, SnapGoesToTheNearestGridLineInsideTheAxis) {
  const EnvelopeAxis axis{-50, 1000};
  // Lines at -50, 50, 150, ... 950; 1000 is not on the grid.
  for (const auto& [v, step, snapped] :
       {std::tuple{99, 100, 50}, {100, 100, 150}, {-60, 100, -50}, {1000, 100, 950}, {37, 1, 37}, {37, 0, 37}})
    EXPECT_EQ(Snap(v, step, axis), snapped) << v << " step " << step;
}

TEST(EnvelopePoints, PixelsRoundBothWaysAndHitTheNearestPointInReach) {
  // 101 pixels from 4 to 104 across 0..1000 and up 0..100: 10 units a pixel in x, 1 in y.
  const EnvelopeView view{{4, 4, 105, 105}, {0, 1000}, {0, 100}};
  EXPECT_EQ(std::tuple(PixelOfX(view, 0), PixelOfX(view, 1000), PixelOfX(view, 255), PixelOfX(view, 254)),
            std::tuple(4, 104, 30, 29));
  EXPECT_EQ(std::tuple(PixelOfY(view, 0), PixelOfY(view, 100), PixelOfY(view, 25)), std::tuple(104, 4, 79));
  const EnvelopePoint p = PixelToValue(view, 29, 79), outside = PixelToValue(view, -10, 200);
  EXPECT_EQ(std::tuple(p.x, p.y, outside.x, outside.y), std::tuple(250, 25, 0, 0));
  Envelope e = Made();  // (250, 40) at pixel (29, 64), (500, 80) at (54, 24)
  EXPECT_EQ(HitPoint(e, view, 32, 61, 3), 1);
  EXPECT_EQ(HitPoint(e, view, 33, 64, 3), -1);
  EXPECT_EQ(HitPoint(e, view, 4, 103, 3), 0);
  EXPECT_EQ(e.Insert({260, 40}), 2);  // one pixel right of (250, 40): the nearer wins
  EXPECT_EQ(std::tuple(HitPoint(e, view, 31, 64, 3), HitPoint(e, view, 29, 64, 3)), std::tuple(2, 1));
}

}  // namespace
}  // namespace quill
