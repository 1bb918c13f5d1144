// Shared DSP pieces: the engines' private line pool, the one-pole low-pass
// and the half-rate rule of the effects' filters.
#include "dsp/line_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "dsp/one_pole.h"
#include "tests/native/test_support.h"

namespace quill {
namespace {

TEST(LinePool, BlocksAreZeroFilledAlignedAndDisjointEvenWhenReused) {
  LinePool pool(64 * 1024);
  ASSERT_TRUE(pool.Valid());
  for (int round = 0; round < 2; ++round) {
    double* a = pool.AllocDoubles(100);
    double* b = pool.AllocDoubles(3);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
    EXPECT_TRUE(b >= a + 100 || a >= b + 3);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a[i], 0.0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(b[i], 0.0);
    // Garbage left behind for the next round to find cleared.
    for (int i = 0; i < 100; ++i) a[i] = 1.5;
    for (int i = 0; i < 3; ++i) b[i] = -2.5;
    pool.Reset();
  }
}

TEST(LinePool, GrowsForLargeLinesAndGivesTheGrowthBackOnReset) {
  LinePool pool(64 * 1024);
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.BytesHeld(), 64u * 1024u);
  ASSERT_NE(pool.AllocDoubles(1000), nullptr);
  double* big = pool.AllocDoubles(172065);  // larger than the first chunk
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_GE(pool.BytesHeld(), 64u * 1024 + 172065 * sizeof(double));
  big[0] = big[172064] = 1.0;  // both ends usable
  EXPECT_EQ(big[1], 0.0);
  pool.Reset();
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.BytesHeld(), 64u * 1024u);
}

TEST(LinePool, FailuresGiveNullAndKeepWhatWasHandedOut) {
  {
    test::RefuseLines refuse;
    LinePool missing(64 * 1024);
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(missing.AllocDoubles(1), nullptr);
  }
  LinePool pool(1024);
  double* kept = pool.AllocDoubles(10);
  ASSERT_NE(kept, nullptr);
  kept[9] = 3.0;
  {
    test::RefuseLines refuse;
    EXPECT_EQ(pool.AllocDoubles(100000), nullptr);
    EXPECT_NE(pool.AllocDoubles(8), nullptr);  // what still fits the first chunk needs no allocator
  }
  EXPECT_EQ(kept[9], 3.0);
  EXPECT_EQ(pool.AllocDoubles(0), nullptr);
  EXPECT_EQ(pool.AllocDoubles(std::numeric_limits<std::size_t>::max() / 4), nullptr);
}

TEST(OnePole, OffPassesTheSignalOnAndOnSmoothsAStep) {
  OnePole lp;
  lp.Set(true, 1000, 44100);
  double y = 0.0;
  for (int i = 0; i < 3; ++i) y = lp.b * 1.0 + lp.a * y;
  EXPECT_NEAR(y, 1.0 - std::pow(0.867208, 3), 3e-6);  // a step rises as 1 - a^n
  lp.Set(false, 1000, 44100);
  for (double x : {0.25, -1.0, 0.5}) {
    y = lp.b * x + lp.a * y;
    EXPECT_EQ(y, x);
  }
}

TEST(OnePole, BelowHalfRateAtTheBoundary) {
  const struct {
    std::int32_t hz;
    std::uint32_t rate;
    bool includeHalf, below;
  } cases[] = {{5000, 10000, true, true},   {5000, 10000, false, false}, {4999, 10000, false, true},
               {5001, 10000, true, false},  {5512, 11025, true, true},   {5512, 11025, false, false},
               {5511, 11025, false, true},  {5513, 11025, true, false},  {100, 0, true, false}};
  for (const auto& c : cases)
    EXPECT_EQ(BelowHalfRate(c.hz, c.rate, c.includeHalf), c.below) << c.hz << " at " << c.rate << "/" << c.includeHalf;
}

}  // namespace
}  // namespace quill
