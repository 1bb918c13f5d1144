// Shared DSP pieces: the engines' private line pool, the one-pole low-pass,
// the half-rate rule of the effects' filters and the vector loops of the
// stretcher and the resampler.
#include "dsp/line_pool.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "dsp/interp_kernel.h"
#include "dsp/kernel_frame.h"
#include "dsp/one_pole.h"
#include "dsp/stretch_search.h"
#include "dsp/time_stretcher.h"
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

// The vector loops against the plain ones they stand for: every sum and
// every choice the same, bit for bit, on the wide path and the portable one.
TEST(VectorPaths, SearchAndKernelSumsMatchThePlainLoopsBitForBit) {
  std::uint32_t seed = 12345;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(static_cast<std::int32_t>(seed)) / 2147483648.0;
  };
  std::vector<float> window(2 * 2400), block(2 * 2400);
  std::vector<double> windowD(window.size()), blockD(block.size());
  for (std::size_t i = 0; i < window.size(); ++i) {
    windowD[i] = noise(), blockD[i] = noise();
    window[i] = static_cast<float>(windowD[i]), block[i] = static_cast<float>(blockD[i]);
  }
  for (const auto path : {StretchSearch::Path::Widest, StretchSearch::Path::Portable}) {
    StretchSearch search;
    search.Use(path);
    ASSERT_TRUE(search.Reserve(StretchSearch::Points(1102, 1), 2));
    // Odd and even candidate counts, every stride, thresholds from never to
    // almost at once; the last row's geometry outgrows what was reserved.
    for (std::uint32_t ch : {1u, 2u})
      for (std::int32_t R : {1, 17, 331, 1102, 1200})
        for (std::uint32_t D : {1u, 2u, 3u, 8u})
          for (float A : {1e9f, 4.0f, 2.2f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << ch << " " << R << " " << D << " " << A);
            ASSERT_EQ(search.Find(window.data(), block.data(), ch, R, D, A),
                      TimeStretcher::Search(window.data(), block.data(), ch, R, D, A));
            ASSERT_EQ(search.Find(windowD.data(), blockD.data(), ch, R, D, A),
                      TimeStretcher::Search(windowD.data(), blockD.data(), ch, R, D, A));
          }
  }

  using Sums = void (*)(double, double, const double*, const double*, double*);
  struct Routine {
    std::uint32_t taps, ch;
    Sums sums;
  };
  std::vector<Routine> routines = {{9, 1, kernel_frame::SumsPortable<9, 1>},
                                   {9, 2, kernel_frame::SumsPortable<9, 2>},
                                   {15, 1, kernel_frame::SumsPortable<15, 1>},
                                   {15, 2, kernel_frame::SumsPortable<15, 2>}};
#if QUILL_WIDE_PATH
  if (WidePathRuns())
    routines.insert(routines.end(), {{9, 1, kernel_frame::SumsWide<9, 1>},
                                     {9, 2, kernel_frame::SumsWide<9, 2>},
                                     {15, 1, kernel_frame::SumsWide<15, 1>},
                                     {15, 2, kernel_frame::SumsWide<15, 2>}});
#endif
  InterpKernel kernel;
  for (const Routine& routine : routines) {
    const std::uint32_t taps = routine.taps, ch = routine.ch;
    ASSERT_EQ(kernel.Build(taps), S_OK);
    const std::uint32_t half = taps / 2;
    for (int trial = 0; trial < 2000; ++trial) {
      double h[2 * 15];
      for (double& v : h) v = noise();
      // The output position anywhere in the frame at the kernel's centre.
      const double d = half + (trial % 2 == 0 ? 0.5 * (noise() + 1.0) : trial / 2000.0);
      double y[2] = {}, plain[2] = {};
      routine.sums(d, kernel.PointsPerFrame(), kernel.Pairs(), h, y);
      for (std::uint32_t k = 0; k < taps; ++k) {
        const double w = kernel.At(std::fabs(d - k) * kernel.PointsPerFrame());
        for (std::uint32_t c = 0; c < ch; ++c) plain[c] += h[k * ch + c] * w;
      }
      for (std::uint32_t c = 0; c < ch; ++c)
        ASSERT_EQ(std::bit_cast<std::uint64_t>(y[c]), std::bit_cast<std::uint64_t>(plain[c]))
            << taps << " taps, " << ch << " ch, d " << d;
    }
  }
}

}  // namespace
}  // namespace quill
