// The controls' colour scheme: the table of 42 colours addressed by indices
// 100 to 141, its defaults, and how a table value is resolved into an RGB
// colour (0x00BBGGRR). Table values may refer to a system colour, or to a
// system colour lifted out of the mid-grey band where an engraved line on
// it would be invisible.
#pragma once

#include <array>
#include <cstdint>

namespace quill {

inline constexpr int kColorIndexFirst = 100;
inline constexpr int kColorCount = 42;
inline constexpr std::uint32_t kInvalidColor = 0xFFFFFFFFu;

using ColorTable = std::array<std::uint32_t, kColorCount>;
extern const ColorTable kDefaultColors;

// What resolution needs from the display.
class SystemColorSource {
 public:
  virtual std::uint32_t SystemColor(int index) const = 0;
  // Planes times bits per pixel of the screen.
  virtual int ScreenBits() const = 0;

 protected:
  ~SystemColorSource() = default;
};

// Hue, lightness and saturation on a 0 to 240 scale; a grey has hue 160.
struct Hls {
  int hue = 0;
  int lightness = 0;
  int saturation = 0;
};
Hls RgbToHls(std::uint32_t rgb);
std::uint32_t HlsToRgb(const Hls& hls);

// A near-neutral colour of middling lightness moved to lightness 150 or 90;
// only on screens of more than 8 bits.
std::uint32_t AdjustedSystemColor(std::uint32_t rgb, int screenBits);

// A table value: 0x04nnnnnn system colour n, 0x05nnnnnn adjusted system
// colour n, else the RGB colour itself.
std::uint32_t ResolveColor(std::uint32_t value, const SystemColorSource& system);

// The colour of an index: -99..99 the system colour of |index|; 100..141 the
// current table, -141..-100 the default table; else kInvalidColor.
std::uint32_t LookupColor(int index, const ColorTable& table, const SystemColorSource& system);

// Slot value from a metric read with default -1: -1 keeps the default.
std::uint32_t SlotValue(int slot, std::int32_t metric);

}  // namespace quill
