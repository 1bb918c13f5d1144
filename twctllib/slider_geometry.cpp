#include "twctllib/slider_geometry.h"

#include <algorithm>

namespace quill {
namespace {

// Builds a rectangle from coordinates along and across the control's axis.
CtlRect Oriented(bool vertical, std::int32_t along0, std::int32_t along1, std::int32_t across0, std::int32_t across1) {
  if (vertical) return CtlRect{across0, along0, across1, along1};
  return CtlRect{along0, across0, along1, across1};
}

std::int32_t AlongStart(const SliderLayout& layout, const CtlRect& r) {
  return layout.vertical ? r.top : r.left;
}

}  // namespace

SliderLayout ComputeSliderLayout(SliderKind kind, std::uint32_t style, std::int32_t width, std::int32_t height) {
  SliderLayout layout;
  layout.kind = kind;
  layout.vertical = (style & kSliderStyleVertical) != 0;
  layout.client = CtlRect{0, 0, std::max(width, 0), std::max(height, 0)};
  const bool shortThumb = (style & 0x0030) == kSliderStyleShortThumb;
  bool slim;
  if (kind == SliderKind::Trackbar) {
    layout.thumbLength = shortThumb ? 8 : 10;
    slim = (style & 0x0300) == kSliderStyleSlim;
    layout.arrows = (style & 0x0C00) != kSliderStyleNoArrows;
  } else {
    layout.thumbLength = shortThumb ? 10 : 20;
    slim = (style & 0x0F00) == kSliderStyleSlim;
    layout.grip = !shortThumb;
  }
  layout.ticks = (style & kSliderStyleTicks) != 0;
  layout.breadth = slim ? 10 : 8;
  layout.inset = slim ? 1 : 2;

  const std::int32_t along = layout.vertical ? layout.client.bottom : layout.client.right;
  const std::int32_t across = layout.vertical ? layout.client.right : layout.client.bottom;
  // The channel leaves room at each end for the half of the thumb that
  // reaches past the travel, so the thumb never leaves the client area.
  const std::int32_t margin = layout.thumbLength / 2 - layout.inset;
  const std::int32_t arrowLength = layout.arrows ? kArrowAreaLength : 0;
  const std::int32_t channelLength = along - arrowLength - 2 * margin;
  layout.tooSmall =
      along < layout.thumbLength + 2 * margin || across < layout.breadth || channelLength < layout.thumbLength;
  if (layout.tooSmall) return layout;

  layout.travel = channelLength - 2 * layout.inset;
  if (kind == SliderKind::Trackbar) {
    // Tick marks want a few pixels on each side of the thumb.
    const std::int32_t room = layout.ticks ? across - 8 : across;
    layout.thumbBreadth = std::clamp(room, layout.breadth, 2 * layout.breadth);
  } else {
    layout.thumbBreadth = std::min(across, 3 * layout.breadth);
  }
  layout.thumbBreadth = std::min(layout.thumbBreadth, across);
  const std::int32_t channelAcross = (across - layout.breadth) / 2;
  const std::int32_t thumbAcross = (across - layout.thumbBreadth) / 2;
  layout.channel =
      Oriented(layout.vertical, margin, margin + channelLength, channelAcross, channelAcross + layout.breadth);
  layout.track =
      Oriented(layout.vertical, margin, margin + channelLength, thumbAcross, thumbAcross + layout.thumbBreadth);
  if (layout.arrows) {
    layout.arrowArea =
        Oriented(layout.vertical, along - kArrowAreaLength, along, thumbAcross, thumbAcross + layout.thumbBreadth);
  }
  return layout;
}

std::int32_t TravelStart(const SliderLayout& layout) {
  return AlongStart(layout, layout.channel) + layout.inset;
}
std::int32_t TravelEnd(const SliderLayout& layout) {
  return TravelStart(layout) + layout.travel;
}

std::int32_t ThumbPixel(const SliderLayout& layout, const SliderScale& scale, std::int32_t value) {
  const std::int32_t offset = scale.OffsetOf(value, layout.travel);
  return layout.vertical ? TravelEnd(layout) - offset : TravelStart(layout) + offset;
}

CtlRect ThumbRect(const SliderLayout& layout, std::int32_t pixel) {
  const std::int32_t start = pixel - layout.thumbLength / 2;
  const CtlRect& t = layout.track;
  return layout.vertical ? CtlRect{t.left, start, t.right, start + layout.thumbLength}
                         : CtlRect{start, t.top, start + layout.thumbLength, t.bottom};
}

std::int32_t ValueAtPixel(const SliderLayout& layout, const SliderScale& scale, std::int32_t pixel) {
  const std::int32_t offset = layout.vertical ? TravelEnd(layout) - pixel : pixel - TravelStart(layout);
  return scale.ValueAt(offset, layout.travel);
}

int HitTest(const SliderLayout& layout, bool disabled, std::int32_t thumbPixel, std::int32_t x, std::int32_t y) {
  if (disabled || layout.tooSmall) return kPartNone;
  if (ThumbRect(layout, thumbPixel).Contains(x, y)) return kPartThumb;
  const std::int32_t along = layout.vertical ? y : x;
  if (layout.arrows && layout.arrowArea.Contains(x, y)) {
    return along - AlongStart(layout, layout.arrowArea) < kArrowAreaLength / 2 ? kPartFirstArrow : kPartSecondArrow;
  }
  if (layout.track.Contains(x, y)) return along < thumbPixel ? kPartChannelBefore : kPartChannelAfter;
  return kPartNone;
}

}  // namespace quill
