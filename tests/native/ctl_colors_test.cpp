// The control colour scheme: defaults, the settings-file values that
// override a slot, system-colour references and the lightness lift.
#include "twctllib/ctl_colors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace quill {
namespace {

// System colour n is 0x00100000 + n, so a reference is easy to recognise.
class FakeSystem final : public SystemColorSource {
 public:
  int bits = 32;
  std::uint32_t overrideColor = kInvalidColor;  // returned for every index when set
  std::uint32_t SystemColor(int index) const override {
    return overrideColor != kInvalidColor ? overrideColor : 0x00100000u + static_cast<std::uint32_t>(index);
  }
  int ScreenBits() const override { return bits; }
};

TEST(CtlColors, SettingsValuesOverrideASlotAndNegativeIndicesSeeTheDefault) {
  FakeSystem system;
  ColorTable table = kDefaultColors;
  const struct {
    int stored, index;
    std::uint32_t rgb;
  } cases[] = {{255, 105, 0x0000FFu}, {0x0400000F, 105, 0x0010000Fu}, {-1, 105, 0x000000u}, {255, -105, 0x000000u}};
  for (const auto& c : cases) {
    table[5] = SlotValue(5, c.stored);
    EXPECT_EQ(LookupColor(c.index, table, system), c.rgb) << c.stored << " " << c.index;
  }
  EXPECT_EQ(SlotValue(42, 255), kInvalidColor);
}

TEST(CtlColors, IndicesOutsideTheTableAreSystemColoursOrInvalid) {
  FakeSystem system;
  const std::pair<int, std::uint32_t> cases[] = {{15, 0x0010000Fu},  {99, 0x00100063u},      {141, 0x0000FFu},
                                                 {142, kInvalidColor}, {10000, kInvalidColor}};
  for (const auto& [index, rgb] : cases) {
    EXPECT_EQ(LookupColor(index, kDefaultColors, system), rgb) << index;
    EXPECT_EQ(LookupColor(-index, kDefaultColors, system), rgb) << -index;
  }
  EXPECT_EQ(LookupColor(INT32_MIN, kDefaultColors, system), kInvalidColor);
}

TEST(CtlColors, HlsOfPrimariesWhiteAndGreys) {
  const struct {
    std::uint32_t rgb;
    int h, l, s;
  } cases[] = {
      {0x0000FF, 0, 120, 240},                             // red
      {0x00FF00, 80, 120, 240},                            // green
      {0xFF0000, 160, 120, 240},                           // blue
      {0x00FFFF, 40, 120, 240},                            // yellow
      {0xFFFFFF, 160, 240, 0},                             // white: a grey's hue is 160
      {0x000000, 160, 0, 0},     {0x808080, 160, 120, 0},  // (256 * 240 + 255) / 510 = 120.97
  };
  for (const auto& c : cases) {
    const Hls hls = RgbToHls(c.rgb);
    EXPECT_EQ((std::array{hls.hue, hls.lightness, hls.saturation}), (std::array{c.h, c.l, c.s})) << std::hex << c.rgb;
    if (c.rgb != 0x808080 && c.rgb != 0x00FFFF && c.rgb != 0) {
      EXPECT_EQ(HlsToRgb(hls), c.rgb) << std::hex << c.rgb;
    }
  }
  EXPECT_EQ(HlsToRgb({160, 120, 0}), 0x7F7F7Fu);  // 120 * 255 / 240 = 127.5
}

TEST(CtlColors, AdjustmentLiftsMidGreysOutOfTheBandOnDeepScreensOnly) {
  // Lightness 120 goes down to 90 (95.6), 132 up to 150 (159.4); outside the band
  // (151, 89), saturated or on a shallow screen: unchanged.
  const struct {
    std::uint32_t in;
    int bits;
    std::uint32_t out;
  } cases[] = {{0x808080, 32, 0x5F5F5F}, {0x8C8C8C, 24, 0x9F9F9F}, {0x8C8C8C, 9, 0x9F9F9F}, {0x8C8C8C, 8, 0x8C8C8C},
               {0xA0A0A0, 32, 0xA0A0A0}, {0x5F5F5F, 32, 0x5F5F5F}, {0x0000C0, 32, 0x0000C0}};
  for (const auto& c : cases) EXPECT_EQ(AdjustedSystemColor(c.in, c.bits), c.out) << std::hex << c.in << " " << c.bits;
  const std::uint32_t tinted = 0x887F78;  // r 120, g 127, b 136
  const Hls before = RgbToHls(tinted);
  ASSERT_LT(before.saturation, 20);
  ASSERT_LE(before.lightness, 120);
  const Hls after = RgbToHls(AdjustedSystemColor(tinted, 32));
  EXPECT_NEAR(after.lightness, 90, 1);
  EXPECT_NEAR(after.hue, before.hue, 3);
}

TEST(CtlColors, TableValuesResolveThroughTheirTopByte) {
  FakeSystem system;
  EXPECT_EQ(std::tuple(ResolveColor(0x00123456, system), ResolveColor(0x04000005, system),
                       ResolveColor(0x03000005, system)),
            std::tuple(0x00123456u, 0x00100005u, 0x03000005u));
  system.overrideColor = 0x808080;
  EXPECT_EQ(std::tuple(ResolveColor(0x0500000F, system), ResolveColor(0x0400000F, system)),
            std::tuple(0x5F5F5Fu, 0x808080u));
  system.bits = 8;
  EXPECT_EQ(ResolveColor(0x0500000F, system), 0x808080u);
}

}  // namespace
}  // namespace quill
