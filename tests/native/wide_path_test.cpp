// The wide loops against the portable ones: the same values, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/frame_split.h"
#include "twchorus/chorus_sweep.h"
#include "twechomt/tap_sweep.h"

namespace quill {
namespace {

std::vector<double> Noise(std::size_t n, std::uint32_t seed, double scale) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-scale, scale);
  std::vector<double> v(n);
  for (double& x : v) x = dist(gen);
  return v;
}

// Sweep values with the extremes and zero among them.
std::vector<double> Sweep(std::size_t n, std::uint32_t seed) {
  std::vector<double> s = Noise(n, seed, 1.0);
  for (std::size_t i = 0; i < n; i += 7) s[i] = (i / 7) % 3 == 0 ? 1.0 : (i / 7) % 3 == 1 ? -1.0 : 0.0;
  return s;
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Read places at the line's ends (and beyond it, as at high rates), write
// places wrapping, reads as close behind the writes as the groups allow,
// the low-pass off and on (over zeros and an infinity too), the first
// stage's dry sum and the later ones'.
TEST(WidePath, ChorusStagesMatchThePortableLoop) {
  const ChorusKernels* wide = WideChorusKernels();
  if (wide == nullptr) GTEST_SKIP() << "no wide loops on this processor";
  const ChorusKernels& portable = PortableChorusKernels();
  struct Case {
    double rp;
    std::int32_t w;
    double depth, a, dry;
  };
  const Case cases[] = {{1764, 0, 52, 0.0, 0.5},  {3, 6499, 0, 0.3, 1.0},    {6499, 10, 10, 0.0, 1.0},
                        {60, 0, 56, 0.9, 0.5},    {2000, 1995, 1, 0.0, 1.0}, {7000, 100, 300, 0.2, 0.7},
                        {3300, 0, 3000, 0.0, 1.0}};
  // A read three samples behind a write would see that sample's own value in a group.
  EXPECT_FALSE(GroupsSafe(59, 0, 56));
  EXPECT_FALSE(GroupsSafe(2000, 1996, 1));
  constexpr std::uint32_t n = 1001;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rp);
    ASSERT_TRUE(GroupsSafe(c.rp, c.w, c.depth));
    const std::vector<double> s = Sweep(n, 3);
    for (const bool stereo : {true, false}) {
      std::vector<double> line[2], left[2], right[2];
      StageRun run[2];
      for (int p = 0; p < 2; ++p) {
        line[p] = Noise(kChorusLine, 1, 1.0);
        // Stretches of signed zeros and an infinity, which the low-pass's
        // shortcut for a filter that is off must leave to the chain.
        for (std::size_t i = 1200; i < 1300; ++i) line[p][i] = i % 2 == 0 ? 0.0 : -0.0;
        line[p][6100] = HUGE_VAL;
        left[p] = Noise(n, 2, 1.0);
        right[p] = Noise(n, 4, 1.0);
        run[p] = {line[p].data(), c.rp, c.w, 0.25, c.depth, c.a, 1.0 - c.a, 0.7};
      }
      const ChorusKernels* loops[2] = {&portable, wide};
      for (int p = 0; p < 2; ++p) {
        if (stereo)
          loops[p]->stereo(run[p], s.data(), n, 0.81, 0.855, c.dry, left[p].data(), right[p].data());
        else
          loops[p]->mono(run[p], s.data(), n, 0.81, c.dry, left[p].data());
      }
      EXPECT_TRUE(SameBits(line[0], line[1]));
      EXPECT_TRUE(SameBits(left[0], left[1]));
      EXPECT_TRUE(SameBits(right[0], right[1]));
      EXPECT_TRUE(SameBits(run[0].rp, run[1].rp) && run[0].w == run[1].w && SameBits(run[0].z, run[1].z));
    }
  }
}

// Every tap count on both channel counts, places wrapping round the ring,
// and feedback strong enough to reach the ring's clamp.
TEST(WidePath, MultiTapLoopsMatchThePortableLoop) {
  const TapKernels* wide = WideTapKernels();
  if (wide == nullptr) GTEST_SKIP() << "no wide loops on this processor";
  const TapKernels* loops[2] = {&PortableTapKernels(), wide};
  constexpr std::int32_t kRing = 3000;
  constexpr std::uint32_t n = 777;
  const std::vector<double> s = Sweep(n, 5);
  const std::vector<double> in = Noise(2 * n, 6, 3e7);
  for (int count = 1; count <= kTapLanes; ++count) {
    for (const bool stereo : {true, false}) {
      SCOPED_TRACE(count);
      std::vector<double> ring[2], y[2];
      TapState t[2];
      for (int p = 0; p < 2; ++p) {
        ring[p] = Noise(kRing, 7, 1.0);
        y[p].assign(2 * n, 0.0);
        t[p] = TapState{ring[p].data(), kRing,     17, count, {}, {}, {}, {}, 0.3, 0.7, 1.4, 0.8, 0.5,
                        {0.1, -0.2},    {0.3, 0.4}};
        for (int k = 0; k < kTapLanes; ++k) {
          t[p].pos[k] = k < count ? (k * 997 + 5) % kRing : 0;
          t[p].depth[k] = 100.0 * k + 0.5;
          t[p].gL[k] = 0.1 * (k + 1);
          t[p].gR[k] = k % 2 == 0 ? -0.05 * k : 0.3;
        }
      }
      for (int p = 0; p < 2; ++p) {
        if (stereo)
          loops[p]->stereo(t[p], s.data(), in.data(), n, y[p].data());
        else
          loops[p]->mono(t[p], s.data(), in.data(), n, y[p].data());
      }
      EXPECT_TRUE(SameBits(ring[0], ring[1]));
      EXPECT_TRUE(SameBits(y[0], y[1]));
      EXPECT_EQ(t[0].w, t[1].w);
      for (int k = 0; k < count; ++k) EXPECT_EQ(t[0].pos[k], t[1].pos[k]);
      for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameBits(t[0].in[c], t[1].in[c]) && SameBits(t[0].wet[c], t[1].wet[c]));
    }
  }
}

TEST(WidePath, Pcm16InputMatchesThePortableConversion) {
  const SplitPcm16Fn split = SplitPcm16Wide();
  const ScalePcm16Fn scale = ScalePcm16Wide();
  if (split == nullptr || scale == nullptr) GTEST_SKIP() << "no wide loops on this processor";
  constexpr std::uint32_t n = 37;  // not a whole number of groups
  std::vector<std::int16_t> words(2 * n);
  for (std::uint32_t i = 0; i < 2 * n; ++i) words[i] = static_cast<std::int16_t>(i * 1777 - 32768);
  words[5] = 32767;
  std::vector<double> left[2], right[2], all[2];
  for (int p = 0; p < 2; ++p) {
    left[p].assign(n, 0.0);
    right[p].assign(n, 0.0);
    all[p].assign(2 * n, 0.0);
  }
  SplitPcm16Portable(words.data(), n, 0.7, left[0].data(), right[0].data());
  split(words.data(), n, 0.7, left[1].data(), right[1].data());
  ScalePcm16Portable(words.data(), 2 * n, 0.7, all[0].data());
  scale(words.data(), 2 * n, 0.7, all[1].data());
  EXPECT_TRUE(SameBits(left[0], left[1]));
  EXPECT_TRUE(SameBits(right[0], right[1]));
  EXPECT_TRUE(SameBits(all[0], all[1]));
}

}  // namespace
}  // namespace quill
