#include "twctllib/spinner_rules.h"

#include <algorithm>

#include "twctllib/scroll_rules.h"

namespace quill {

SpinnerLayout ComputeSpinnerLayout(bool vertical, std::int32_t width, std::int32_t height) {
  SpinnerLayout l;
  l.vertical = vertical;
  l.client = CtlRect{0, 0, std::max(width, 0), std::max(height, 0)};
  CtlRect& increase = l.halves[kSpinIncrease];
  CtlRect& decrease = l.halves[kSpinDecrease];
  if (vertical) {
    const std::int32_t middle = l.client.bottom / 2;
    increase = CtlRect{0, 0, l.client.right, middle};
    decrease = CtlRect{0, middle, l.client.right, l.client.bottom};
  } else {
    const std::int32_t middle = l.client.right / 2;
    decrease = CtlRect{0, 0, middle, l.client.bottom};
    increase = CtlRect{middle, 0, l.client.right, l.client.bottom};
  }
  l.tooSmall = std::min({increase.Width(), increase.Height(), decrease.Width(), decrease.Height()}) < 3;
  return l;
}

int SpinnerHitTest(const SpinnerLayout& layout, bool disabled, std::int32_t x, std::int32_t y) {
  if (disabled || layout.tooSmall) return kSpinNone;
  for (int half : {kSpinIncrease, kSpinDecrease})
    if (layout.halves[half].Contains(x, y)) return half;
  return kSpinNone;
}

CtlRect SpinnerBesideBuddy(const CtlRect& buddy, int platformMajorVersion) {
  const std::int32_t left = buddy.right + (platformMajorVersion < 4 ? 1 : 0);
  return CtlRect{left, buddy.top, left + kSpinnerWidth, buddy.bottom};
}

int SpinnerKeyCode(std::uint32_t key, bool ctrl, bool fromBuddy) {
  switch (key) {
    case kKeyPageUp:
      return kScrollPageUp;
    case kKeyPageDown:
      return kScrollPageDown;
    case kKeyUp:
      return kSpinIncrease;
    case kKeyDown:
      return kSpinDecrease;
    case kKeyHome:
      return fromBuddy && !ctrl ? -1 : kScrollTop;
    case kKeyEnd:
      return fromBuddy && !ctrl ? -1 : kScrollBottom;
    case kKeyRight:
      return fromBuddy ? -1 : kSpinIncrease;
    case kKeyLeft:
      return fromBuddy ? -1 : kSpinDecrease;
    default:
      return -1;
  }
}

std::int32_t SpinnerPageStep(std::int32_t lineStep, std::int32_t pageStep) {
  if (pageStep != 0) return pageStep;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{lineStep} * 10, INT32_MIN, INT32_MAX));
}

CtlRect SpinnerGlyphCell(int glyph, bool greyed) {
  const bool across = glyph == kGlyphUp || glyph == kGlyphDown;
  const std::int32_t left = ((greyed ? 4 : 0) + std::clamp(glyph, 0, 3)) * kGlyphCellSize;
  const std::int32_t grey = greyed ? 1 : 0;
  return CtlRect{left, 0, left + (across ? 7 : 4) + grey, (across ? 4 : 7) + grey};
}

int SpinnerGlyphOf(bool vertical, int half) {
  if (vertical) return half == kSpinIncrease ? kGlyphUp : kGlyphDown;
  return half == kSpinIncrease ? kGlyphRight : kGlyphLeft;
}

}  // namespace quill
