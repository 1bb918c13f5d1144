// The control colour scheme: defaults, the settings-file values that
// override a slot, system-colour references and the lightness lift.
#include "twctllib/ctl_colors.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(CtlColors, DefaultTableHasTheDocumentedCorners) {
  EXPECT_EQ(kDefaultColors[0], 0x640000u);   // 100
  EXPECT_EQ(kDefaultColors[5], 0x000000u);   // 105
  EXPECT_EQ(kDefaultColors[17], 0xC0C0C0u);  // 117
  EXPECT_EQ(kDefaultColors[30], 0x0000FFu);  // 130
  EXPECT_EQ(kDefaultColors[38], 0x808000u);  // 138
  EXPECT_EQ(kDefaultColors[40], 0x5C5C5Cu);  // 140
  EXPECT_EQ(kDefaultColors[41], 0x0000FFu);  // 141
}

TEST(CtlColors, SettingsValuesOverrideASlotAndNegativeIndicesSeeTheDefault) {
  FakeSystem system;
  ColorTable table = kDefaultColors;
  table[5] = SlotValue(5, 255);
  EXPECT_EQ(LookupColor(105, table, system), 0x0000FFu);  // pure red
  table[5] = SlotValue(5, 0x0400000F);
  EXPECT_EQ(LookupColor(105, table, system), 0x0010000Fu);  // the 3D-face system colour
  table[5] = SlotValue(5, -1);
  EXPECT_EQ(LookupColor(105, table, system), 0x000000u);
  table[5] = SlotValue(5, 255);
  EXPECT_EQ(LookupColor(-105, table, system), 0x000000u);
  EXPECT_EQ(SlotValue(42, 255), kInvalidColor);
}

TEST(CtlColors, IndicesOutsideTheTableAreSystemColoursOrInvalid) {
  FakeSystem system;
  EXPECT_EQ(LookupColor(15, kDefaultColors, system), 0x0010000Fu);
  EXPECT_EQ(LookupColor(-15, kDefaultColors, system), 0x0010000Fu);
  EXPECT_EQ(LookupColor(99, kDefaultColors, system), 0x00100063u);
  EXPECT_EQ(LookupColor(-99, kDefaultColors, system), 0x00100063u);
  EXPECT_EQ(LookupColor(141, kDefaultColors, system), 0x0000FFu);
  EXPECT_EQ(LookupColor(-141, kDefaultColors, system), 0x0000FFu);
  EXPECT_EQ(LookupColor(142, kDefaultColors, system), kInvalidColor);
  EXPECT_EQ(LookupColor(-142, kDefaultColors, system), kInvalidColor);
  EXPECT_EQ(LookupColor(10000, kDefaultColors, system), kInvalidColor);
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
    EXPECT_EQ(hls.hue, c.h) << std::hex << c.rgb;
    EXPECT_EQ(hls.lightness, c.l) << std::hex << c.rgb;
    EXPECT_EQ(hls.saturation, c.s) << std::hex << c.rgb;
  }
  EXPECT_EQ(HlsToRgb({0, 120, 240}), 0x0000FFu);
  EXPECT_EQ(HlsToRgb({80, 120, 240}), 0x00FF00u);
  EXPECT_EQ(HlsToRgb({160, 120, 240}), 0xFF0000u);
  EXPECT_EQ(HlsToRgb({160, 240, 0}), 0xFFFFFFu);
  EXPECT_EQ(HlsToRgb({160, 120, 0}), 0x7F7F7Fu);  // 120 * 255 / 240 = 127.5
}

TEST(CtlColors, HlsRoundTripIsCloseForEveryColourOfAGrid) {
  for (int r = 0; r < 256; r += 17) {
    for (int g = 0; g < 256; g += 17) {
      for (int b = 0; b < 256; b += 17) {
        const std::uint32_t rgb = static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
        const Hls hls = RgbToHls(rgb);
        EXPECT_GE(hls.hue, 0);
        EXPECT_LE(hls.hue, 240);
        EXPECT_LE(hls.saturation, 240);
        const std::uint32_t back = HlsToRgb(hls);
        EXPECT_LE(std::abs(static_cast<int>(back & 0xFF) - r), 3) << std::hex << rgb;
        EXPECT_LE(std::abs(static_cast<int>((back >> 8) & 0xFF) - g), 3) << std::hex << rgb;
        EXPECT_LE(std::abs(static_cast<int>((back >> 16) & 0xFF) - b), 3) << std::hex << rgb;
      }
    }
  }
}

TEST(CtlColors, AdjustmentLiftsMidGreysOutOfTheBandOnDeepScreensOnly) {
  // Lightness 120 (not above 120) goes down to 90: 90 * 255 / 240 = 95.6.
  EXPECT_EQ(AdjustedSystemColor(0x808080, 32), 0x5F5F5Fu);
  // Lightness 132 goes up to 150: 150 * 255 / 240 = 159.4.
  EXPECT_EQ(AdjustedSystemColor(0x8C8C8C, 24), 0x9F9F9Fu);
  EXPECT_EQ(AdjustedSystemColor(0x8C8C8C, 9), 0x9F9F9Fu);
  EXPECT_EQ(AdjustedSystemColor(0x8C8C8C, 8), 0x8C8C8Cu);
  // Outside the band, or saturated: unchanged.
  EXPECT_EQ(AdjustedSystemColor(0xA0A0A0, 32), 0xA0A0A0u);  // lightness 151
  EXPECT_EQ(AdjustedSystemColor(0x5F5F5F, 32), 0x5F5F5Fu);  // lightness 89
  EXPECT_EQ(AdjustedSystemColor(0x0000C0, 32), 0x0000C0u);
  // A tinted grey keeps its hue and lands near lightness 90.
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
  EXPECT_EQ(ResolveColor(0x00123456, system), 0x00123456u);
  EXPECT_EQ(ResolveColor(0x04000005, system), 0x00100005u);
  EXPECT_EQ(ResolveColor(0x03000005, system), 0x03000005u);
  system.overrideColor = 0x808080;
  EXPECT_EQ(ResolveColor(0x0500000F, system), 0x5F5F5Fu);
  EXPECT_EQ(ResolveColor(0x0400000F, system), 0x808080u);
  system.bits = 8;
  EXPECT_EQ(ResolveColor(0x0500000F, system), 0x808080u);
}

}  // namespace
}  // namespace quill
