#include "twctllib/ctl_colors.h"

#include <algorithm>

namespace quill {

const ColorTable kDefaultColors = {
    0x640000, 0xC80000, 0x640000, 0xC80000, 0xFFFFFF, 0x000000, 0xF00000, 0xC0C0C0, 0x008080, 0xFF00FF, 0x000064,
    0x0000C8, 0x000064, 0x0000C8, 0xFFFFFF, 0x000000, 0xF00000, 0xC0C0C0, 0x008080, 0xFF00FF, 0x004800, 0x00C100,
    0x004800, 0x00C100, 0xFFFFFF, 0x000000, 0xF00000, 0xC0C0C0, 0x008080, 0xFF00FF, 0x0000FF, 0xFFFFFF, 0x808000,
    0x008000, 0x008000, 0x808000, 0x0000FF, 0xFF0000, 0x808000, 0xFFFF00, 0x5C5C5C, 0x0000FF,
};

namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;
constexpr int kGreyHue = kHlsMax * 2 / 3;

int Red(std::uint32_t c) {
  return static_cast<int>(c & 0xFF);
}
int Green(std::uint32_t c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
int Blue(std::uint32_t c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
std::uint32_t Rgb(int r, int g, int b) {
  auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, kRgbMax)); };
  return c(r) | (c(g) << 8) | (c(b) << 16);
}

// Distance of one component from the largest, in sixths of the hue circle.
int HueDelta(int cmax, int component, int spread) {
  return ((cmax - component) * (kHlsMax / 6) + spread / 2) / spread;
}

// One component from the two lightness bounds and a hue, on the HLS scale.
int HueComponent(int low, int high, int hue) {
  if (hue < 0) hue += kHlsMax;
  if (hue > kHlsMax) hue -= kHlsMax;
  if (hue < kHlsMax / 6) return low + ((high - low) * hue + kHlsMax / 12) / (kHlsMax / 6);
  if (hue < kHlsMax / 2) return high;
  if (hue < kHlsMax * 2 / 3) return low + ((high - low) * (kHlsMax * 2 / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6);
  return low;
}

int ToRgbScale(int component) {
  return (component * kRgbMax + kHlsMax / 2) / kHlsMax;
}

}  // namespace

Hls RgbToHls(std::uint32_t rgb) {
  const int r = Red(rgb), g = Green(rgb), b = Blue(rgb);
  const int cmax = std::max({r, g, b});
  const int cmin = std::min({r, g, b});
  Hls hls;
  hls.lightness = ((cmax + cmin) * kHlsMax + kRgbMax) / (2 * kRgbMax);
  if (cmax == cmin) {
    hls.hue = kGreyHue;
    return hls;
  }
  const int spread = cmax - cmin;
  if (hls.lightness <= kHlsMax / 2) {
    hls.saturation = (spread * kHlsMax + (cmax + cmin) / 2) / (cmax + cmin);
  } else {
    const int rest = 2 * kRgbMax - cmax - cmin;
    hls.saturation = (spread * kHlsMax + rest / 2) / rest;
  }
  const int dr = HueDelta(cmax, r, spread), dg = HueDelta(cmax, g, spread), db = HueDelta(cmax, b, spread);
  if (r == cmax) {
    hls.hue = db - dg;
  } else if (g == cmax) {
    hls.hue = kHlsMax / 3 + dr - db;
  } else {
    hls.hue = kHlsMax * 2 / 3 + dg - dr;
  }
  if (hls.hue < 0) hls.hue += kHlsMax;
  if (hls.hue > kHlsMax) hls.hue -= kHlsMax;
  return hls;
}

std::uint32_t HlsToRgb(const Hls& hls) {
  if (hls.saturation == 0) {
    const int v = hls.lightness * kRgbMax / kHlsMax;
    return Rgb(v, v, v);
  }
  const int l = hls.lightness, s = hls.saturation;
  const int high =
      l <= kHlsMax / 2 ? (l * (kHlsMax + s) + kHlsMax / 2) / kHlsMax : l + s - (l * s + kHlsMax / 2) / kHlsMax;
  const int low = 2 * l - high;
  return Rgb(ToRgbScale(HueComponent(low, high, hls.hue + kHlsMax / 3)), ToRgbScale(HueComponent(low, high, hls.hue)),
             ToRgbScale(HueComponent(low, high, hls.hue - kHlsMax / 3)));
}

std::uint32_t AdjustedSystemColor(std::uint32_t rgb, int screenBits) {
  if (screenBits < 9) return rgb;
  Hls hls = RgbToHls(rgb);
  if (hls.saturation >= 20 || hls.lightness < 91 || hls.lightness >= 150) return rgb;
  hls.lightness = hls.lightness > 120 ? 150 : 90;
  return HlsToRgb(hls);
}

std::uint32_t ResolveColor(std::uint32_t value, const SystemColorSource& system) {
  const std::uint32_t kind = value >> 24;
  const int index = static_cast<int>(value & 0x00FFFFFFu);
  if (kind == 0x04) return system.SystemColor(index);
  if (kind == 0x05) return AdjustedSystemColor(system.SystemColor(index), system.ScreenBits());
  return value;
}

std::uint32_t LookupColor(int index, const ColorTable& table, const SystemColorSource& system) {
  const std::int64_t magnitude = index < 0 ? -std::int64_t{index} : index;
  if (magnitude <= 99) return system.SystemColor(static_cast<int>(magnitude));
  if (magnitude < kColorIndexFirst + kColorCount) {
    const int slot = static_cast<int>(magnitude) - kColorIndexFirst;
    return ResolveColor(index > 0 ? table[slot] : kDefaultColors[slot], system);
  }
  return kInvalidColor;
}

std::uint32_t SlotValue(int slot, std::int32_t metric) {
  if (slot < 0 || slot >= kColorCount) return kInvalidColor;
  return metric == -1 ? kDefaultColors[slot] : static_cast<std::uint32_t>(metric);
}

}  // namespace quill
