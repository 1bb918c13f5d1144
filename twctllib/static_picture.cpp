#include "twctllib/static_picture.h"

namespace quill {

namespace {

constexpr std::uint32_t kPlain = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint64_t kLargestPicture = 256u << 20;

}  // namespace

bool StaticFramed(std::uint32_t style) {
  const std::uint32_t kind = style & 0xF;
  return kind >= 4 && kind <= 9;
}

StaticAlign StaticTextAlign(std::uint32_t style) {
  switch (style & 0xF) {
    case 1:
      return StaticAlign::Centre;
    case 2:
      return StaticAlign::Right;
    case 12:
      return StaticAlign::LeftSingleLine;
    default:
      return StaticAlign::LeftWrapped;
  }
}

CtlRect PicturePlacement(const CtlRect& area, std::int32_t width, std::int32_t height, std::uint32_t style) {
  const std::int32_t areaWidth = area.Width();
  const bool larger = width > areaWidth || height > area.Height();
  if (width > 0 && ((style & kStaticScaleToWidth) != 0 || ((style & kStaticShrinkLarge) != 0 && larger))) {
    height = static_cast<std::int32_t>(std::int64_t{height} * areaWidth / width);
    width = areaWidth;
  }
  CtlRect r;
  r.left = area.left + (areaWidth - width) / 2;
  r.top = area.top + (area.Height() - height) / 2;
  r.right = r.left + width;
  r.bottom = r.top + height;
  return r;
}

DibLayout DibLayoutOf(const DibHeader& h) {
  DibLayout layout;
  const std::uint16_t bits = h.bitCount;
  const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (h.size < 40 || h.width <= 0 || h.height == 0 || h.planes != 1 || !knownDepth) return layout;
  if (h.compression != kPlain && !(h.compression == kBitFields && (bits == 16 || bits == 32))) return layout;
  if (bits <= 8) {
    const std::uint32_t addressable = 1u << bits;
    if (h.colorsUsed > addressable) return layout;
    layout.colors = h.colorsUsed != 0 ? h.colorsUsed : addressable;
  } else {
    layout.colors = h.colorsUsed;  // an optional palette for the display
  }
  // The three masks follow a 40-byte header; longer headers hold them.
  layout.tableBytes = layout.colors * 4 + (h.compression == kBitFields && h.size == 40 ? 12 : 0);
  const std::uint64_t rowBytes = (std::uint64_t{static_cast<std::uint32_t>(h.width)} * bits + 31) / 32 * 4;
  const std::uint64_t rows = h.height < 0 ? -std::int64_t{h.height} : h.height;
  const std::uint64_t bytes = rowBytes * rows;
  if (bytes > kLargestPicture || layout.colors > 256) return layout;
  layout.bitsBytes = static_cast<std::uint32_t>(bytes);
  layout.valid = true;
  return layout;
}

}  // namespace quill
