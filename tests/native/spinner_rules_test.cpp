// The spinner's portable rules: its halves, its place beside a buddy and the
// keys it takes.
#include "twctllib/spinner_rules.h"

#include <gtest/gtest.h>

#include <tuple>

#include "twctllib/scroll_rules.h"

namespace quill {
namespace {

// Which half is which is seen on the screen; here the edges: an odd height
// gives its spare row to the lower half, and halves under 3 pixels are none.
TEST(SpinnerRules, HalvesSplitTheClientAndTooSmallOnesHitNothing) {
  const SpinnerLayout v = ComputeSpinnerLayout(true, 13, 21);
  EXPECT_EQ(
      std::tuple(SpinnerHitTest(v, false, 6, 9), SpinnerHitTest(v, false, 6, 10), SpinnerHitTest(v, false, 13, 5)),
      std::tuple(kSpinIncrease, kSpinDecrease, kSpinNone));
  EXPECT_EQ(SpinnerHitTest(ComputeSpinnerLayout(true, 13, 5), false, 6, 0), kSpinNone);
  EXPECT_EQ(SpinnerHitTest(ComputeSpinnerLayout(false, 6, 20), false, 4, 5), kSpinIncrease);
  EXPECT_EQ(SpinnerHitTest(ComputeSpinnerLayout(false, 5, 20), false, 4, 5), kSpinNone);
}

TEST(SpinnerRules, SitsThirteenWideAtTheBuddysRightEdgeAPixelFurtherOnOldPlatforms) {
  const CtlRect buddy{10, 20, 60, 42};
  for (const auto& [major, left] : {std::pair{3, 61}, {4, 60}, {10, 60}}) {
    const CtlRect r = SpinnerBesideBuddy(buddy, major);
    EXPECT_EQ(std::tuple(r.left, r.top, r.Width(), r.bottom), std::tuple(left, 20, kSpinnerWidth, 42)) << major;
  }
}

TEST(SpinnerRules, KeysTheBuddyGivesUpAndPageSteps) {
  // Up goes the increasing half's way; the edit keeps Left, Right and plain
  // Home and End for its caret.
  const std::uint32_t keys[] = {kKeyUp,     kKeyDown, kKeyRight, kKeyLeft, kKeyPageDown,
                                kKeyPageUp, kKeyHome, kKeyEnd,   0x41};
  const int own[] = {1, 0, 1, 0, 3, 2, 6, 7, -1}, buddy[] = {1, 0, -1, -1, 3, 2, -1, -1, -1},
            buddyCtrl[] = {1, 0, -1, -1, 3, 2, 6, 7, -1};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(std::tuple(SpinnerKeyCode(keys[i], false, false), SpinnerKeyCode(keys[i], true, false),
                         SpinnerKeyCode(keys[i], false, true), SpinnerKeyCode(keys[i], true, true)),
              std::tuple(own[i], own[i], buddy[i], buddyCtrl[i]))
        << std::hex << keys[i];
  }
  EXPECT_EQ(
      std::tuple(SpinnerPageStep(1, 0), SpinnerPageStep(25, 0), SpinnerPageStep(25, 7), SpinnerPageStep(INT32_MAX, 0)),
      std::tuple(10, 250, 7, INT32_MAX));
}

}  // namespace
}  // namespace quill
