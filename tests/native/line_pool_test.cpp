// The engines' private line pool: zero-filled blocks, growth, giving memory
// back, and allocation failures.
#include "dsp/line_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "dsp/line_memory.h"

namespace quill {
namespace {

void* Refuse(std::size_t, std::size_t) {
  return nullptr;
}

struct ScopedAllocator {
  explicit ScopedAllocator(LineAllocFn fn) : previous(SetLineAllocator(fn)) {}
  ~ScopedAllocator() { SetLineAllocator(previous); }
  LineAllocFn previous;
};

TEST(LinePool, BlocksAreZeroFilledAlignedAndDisjointEvenWhenReused) {
  LinePool pool(64 * 1024);
  ASSERT_TRUE(pool.Valid());
  EXPECT_EQ(pool.ChunkCount(), 1u);
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
    // Leave garbage behind for the next round to find cleared.
    for (int i = 0; i < 100; ++i) a[i] = 1.5;
    for (int i = 0; i < 3; ++i) b[i] = -2.5;
    pool.Reset();
  }
}

TEST(LinePool, GrowsForLargeLinesAndGivesTheGrowthBackOnReset) {
  LinePool pool(64 * 1024);
  const std::size_t initial = pool.BytesHeld();
  EXPECT_EQ(initial, 64u * 1024u);
  double* small = pool.AllocDoubles(1000);
  double* big = pool.AllocDoubles(172065);  // larger than the first chunk
  ASSERT_NE(small, nullptr);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_GE(pool.BytesHeld(), initial + 172065 * sizeof(double));
  big[0] = big[172064] = 1.0;  // both ends usable
  EXPECT_EQ(big[1], 0.0);
  pool.Reset();
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.BytesHeld(), initial);
}

TEST(LinePool, FailuresGiveNullAndKeepWhatWasHandedOut) {
  {
    ScopedAllocator refuse(&Refuse);
    LinePool missing(64 * 1024);
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(missing.AllocDoubles(1), nullptr);
  }
  LinePool pool(1024);
  double* kept = pool.AllocDoubles(10);
  ASSERT_NE(kept, nullptr);
  kept[9] = 3.0;
  {
    ScopedAllocator refuse(&Refuse);
    EXPECT_EQ(pool.AllocDoubles(100000), nullptr);
    // What still fits the first chunk needs no allocator.
    EXPECT_NE(pool.AllocDoubles(8), nullptr);
  }
  EXPECT_EQ(kept[9], 3.0);
  EXPECT_EQ(pool.AllocDoubles(0), nullptr);
  EXPECT_EQ(pool.AllocDoubles(std::numeric_limits<std::size_t>::max() / 4), nullptr);
}

}  // namespace
}  // namespace quill
