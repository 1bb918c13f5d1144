// The static control's rules that need no window: which styles frame it,
// where a picture goes in it, and how much memory a packed device-
// independent bitmap takes, so that a copy never reads past what it was given.
#pragma once

#include <cstdint>

#include "twctllib/slider_geometry.h"

namespace quill {

// Style bits of the static control.
inline constexpr std::uint32_t kStaticNoPrefix = 0x0080;      // "&" shown as it is
inline constexpr std::uint32_t kStaticKeepCorner = 0x2000;    // the picture's top-left colour is not replaced
inline constexpr std::uint32_t kStaticShrinkLarge = 0x4000;   // a picture larger than the control is scaled down
inline constexpr std::uint32_t kStaticScaleToWidth = 0x8000;  // the picture is always scaled to the width

// The low four style bits 4 to 9 draw a frame round the control.
bool StaticFramed(std::uint32_t style);

// How the text is laid out, from the low four style bits.
enum class StaticAlign { LeftWrapped, Centre, Right, LeftSingleLine };
StaticAlign StaticTextAlign(std::uint32_t style);

// Where a picture of the given size is drawn inside `area`: centred at its
// own size, or scaled to the area's width keeping its proportions (and
// centred across the height) when the style asks.
CtlRect PicturePlacement(const CtlRect& area, std::int32_t width, std::int32_t height, std::uint32_t style);

// A packed bitmap's header fields, as far as its size depends on them.
struct DibHeader {
  std::uint32_t size;  // of the header
  std::int32_t width;
  std::int32_t height;  // negative: top-down
  std::uint16_t planes;
  std::uint16_t bitCount;
  std::uint32_t compression;  // 0 plain, 3 bit fields; others are refused
  std::uint32_t colorsUsed;
};

struct DibLayout {
  bool valid = false;
  std::uint32_t colors = 0;      // colour table entries
  std::uint32_t tableBytes = 0;  // colour table, and the bit-field masks after a 40-byte header
  std::uint32_t bitsBytes = 0;   // the pixels, rows padded to 4 bytes
  std::uint64_t Total(std::uint32_t headerSize) const { return std::uint64_t{headerSize} + tableBytes + bitsBytes; }
};

// Refuses what it cannot size: a header other than the 40-byte one or
// larger, no width or height, a bit depth outside 1, 4, 8, 16, 24 and 32,
// compression, more colours than the depth can address, or a picture of
// more than 256 MB.
DibLayout DibLayoutOf(const DibHeader& header);

}  // namespace quill
