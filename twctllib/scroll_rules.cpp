#include "twctllib/scroll_rules.h"

#include <algorithm>

namespace quill {
namespace {

std::int64_t EffectivePage(const ScrollState& s, std::int32_t pageStep, bool ctrl) {
  std::int64_t page = pageStep == 0 ? DefaultPageStep(s.minimum, s.maximum) : pageStep;
  return ctrl ? page * 10 : page;
}

std::int32_t ClampTo(const ScrollState& s, std::int64_t v) {
  return static_cast<std::int32_t>(std::max<std::int64_t>(s.minimum, std::min<std::int64_t>(v, s.maximum)));
}

}  // namespace

std::int32_t DefaultPageStep(std::int32_t minimum, std::int32_t maximum) {
  const std::int64_t page = (std::int64_t{maximum} - minimum + 5) / 10;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(page, 1, INT32_MAX));
}

std::int32_t TrackbarScrollPosition(const ScrollState& s, int code, std::int32_t lineStep, std::int32_t pageStep,
                                    bool ctrl) {
  const std::int64_t page = EffectivePage(s, pageStep, ctrl);
  std::int64_t v = s.position;
  switch (code) {
    case kScrollLineUp:
      v -= lineStep;
      break;
    case kScrollLineDown:
      v += lineStep;
      break;
    case kScrollPageUp:
      v -= page;
      break;
    case kScrollPageDown:
      v += page;
      break;
    case kScrollTop:
      v = s.minimum;
      break;
    case kScrollBottom:
      v = s.maximum;
      break;
    default:
      break;
  }
  return ClampTo(s, v);
}

std::int32_t FaderScrollPosition(const ScrollState& s, bool verticalMessage, int code, std::int32_t lineStep,
                                 std::int32_t pageStep, bool ctrl) {
  if (!verticalMessage) return TrackbarScrollPosition(s, code, lineStep, pageStep, ctrl);
  const std::int64_t page = EffectivePage(s, pageStep, ctrl);
  std::int64_t v = s.position;
  switch (code) {
    case kScrollLineUp:
      v += lineStep;
      break;
    case kScrollLineDown:
      v -= lineStep;
      break;
    case kScrollPageUp:
      v += page;
      break;
    case kScrollPageDown:
      v -= page;
      break;
    case kScrollTop:
      // Home is unity gain (0) on a range with boost above it, unless Ctrl
      // asks for the very top.
      v = (ctrl || s.maximum < 1 || s.minimum >= 0) ? s.maximum : 0;
      break;
    case kScrollBottom:
      v = s.minimum;
      break;
    default:
      break;
  }
  return ClampTo(s, v);
}

}  // namespace quill
