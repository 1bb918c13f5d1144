// Shared DSP pieces: the engines' private line pool, the one-pole low-pass
// and the half-rate rule of the effects' filters.
#include "dsp/line_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "dsp/one_pole.h"
#include "tests/native/test_support.h"

namespace quill {
namespace {

TEST(LinePool, ZeroFilledAlignedDisjointBlocksGrowthGivenBackAndFailures) {
  LinePool pool(64 * 1024);
  ASSERT_TRUE(pool.Valid());
  for (int round = 0; round < 2; ++round) {  // the second round finds the first one's garbage cleared
    double* a = pool.AllocDoubles(100);
    double* b = pool.AllocDoubles(3);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ((reinterpret_cast<std::uintptr_t>(a) | reinterpret_cast<std::uintptr_t>(b)) % 16, 0u);
    EXPECT_TRUE(b >= a + 100 || a >= b + 3);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a[i] + (i < 3 ? b[i] : 0.0), 0.0) << i;
    std::fill_n(a, 100, 1.5), std::fill_n(b, 3, -2.5);
    pool.Reset();
  }
  double* big = pool.AllocDoubles(172065);  // larger than the first chunk: a second one
  ASSERT_NE(big, nullptr);
  big[0] = big[172064] = 1.0;
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_GE(pool.BytesHeld(), 64u * 1024 + 172065 * sizeof(double));
  pool.Reset();  // the growth goes back at once
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.BytesHeld(), 64u * 1024u);
  double* kept = pool.AllocDoubles(10);
  kept[9] = 3.0;
  {
    test::RefuseLines refuse;
    EXPECT_FALSE(LinePool(1024).Valid());
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
  const std::tuple<std::int32_t, std::uint32_t, bool, bool> cases[] = {
      {5000, 10000, true, true},  {5000, 10000, false, false}, {4999, 10000, false, true}, {5001, 10000, true, false},
      {5512, 11025, true, true},  {5512, 11025, false, false}, {5511, 11025, false, true}, {5513, 11025, true, false},
      {100, 0, true, false}};
  for (const auto& [hz, rate, includeHalf, below] : cases)
    EXPECT_EQ(BelowHalfRate(hz, rate, includeHalf), below) << hz << " at " << rate << "/" << includeHalf;
}

}  // namespace
}  // namespace quill
