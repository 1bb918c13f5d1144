// How a page turns a control's scroll notification into a new position: the
// trackbar's rule, and the fader's, where up means louder and Home goes to
// unity gain rather than to the top of a boost range.
#pragma once

#include <cstdint>

namespace quill {

// Scroll-bar notification codes, as they arrive in the low word of wParam.
enum ScrollCode : int {
  kScrollLineUp = 0,
  kScrollLineDown = 1,
  kScrollPageUp = 2,
  kScrollPageDown = 3,
  kScrollThumbPosition = 4,
  kScrollThumbTrack = 5,
  kScrollTop = 6,
  kScrollBottom = 7,
  kScrollEnd = 8,
  kScrollButtonDown = 9,
};

struct ScrollState {
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t position = 0;
};

// A page step of 0 stands for a tenth of the range, at least 1.
std::int32_t DefaultPageStep(std::int32_t minimum, std::int32_t maximum);

std::int32_t TrackbarScrollPosition(const ScrollState& state, int code, std::int32_t lineStep, std::int32_t pageStep,
                                    bool ctrl);
// verticalMessage: the notification was not a horizontal-scroll message.
std::int32_t FaderScrollPosition(const ScrollState& state, bool verticalMessage, int code, std::int32_t lineStep,
                                 std::int32_t pageStep, bool ctrl);

}  // namespace quill
