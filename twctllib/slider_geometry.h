// Where the parts of a trackbar or fader lie in its client area, which part
// a point falls on, and where the thumb sits for a value. Portable, so the
// rules are the same code the window procedures use and the tests check.
#pragma once

#include <cstdint>

#include "twctllib/slider_scale.h"

namespace quill {

enum class SliderKind { Trackbar, Fader };

// Style bits of the two controls.
inline constexpr std::uint32_t kSliderStyleVertical = 0x0001;
inline constexpr std::uint32_t kSliderStyleShortThumb = 0x0010;  // with 0x0030 as mask
inline constexpr std::uint32_t kSliderStyleTapered = 0x0080;
inline constexpr std::uint32_t kSliderStyleSlim = 0x0100;      // trackbar mask 0x0300, fader 0x0F00
inline constexpr std::uint32_t kSliderStyleNoArrows = 0x0400;  // trackbar only, mask 0x0C00
inline constexpr std::uint32_t kSliderStyleTicks = 0xF000;     // any of these

// Parts a point can fall on; the numbers are those of the pressed-part state.
enum SliderPart : int {
  kPartNone = -1,
  kPartFirstArrow = 0,
  kPartSecondArrow = 1,
  kPartChannelBefore = 2,
  kPartChannelAfter = 3,
  kPartThumb = 5,
};

struct CtlRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
};

inline constexpr std::int32_t kArrowAreaLength = 17;

struct SliderLayout {
  SliderKind kind = SliderKind::Trackbar;
  bool vertical = false;
  bool tooSmall = true;
  bool ticks = false;             // tick marks (trackbar) or scale lines (fader)
  bool arrows = false;            // arrow buttons at the far end
  bool grip = false;              // the fader's long cap with grip lines
  std::int32_t thumbLength = 0;   // along the axis
  std::int32_t thumbBreadth = 0;  // across it
  std::int32_t breadth = 0;       // of the channel
  std::int32_t inset = 0;         // from each channel end to the travel
  std::int32_t travel = 0;
  CtlRect client, channel, arrowArea;
  // The strip the thumb moves in: the channel's length, the thumb's breadth.
  CtlRect track;
};

SliderLayout ComputeSliderLayout(SliderKind kind, std::uint32_t style, std::int32_t width, std::int32_t height);

// Pixel along the axis (x or y) of the thumb's centre for a value.
std::int32_t ThumbPixel(const SliderLayout& layout, const SliderScale& scale, std::int32_t value);
CtlRect ThumbRect(const SliderLayout& layout, std::int32_t pixel);
// Value under a pixel along the axis.
std::int32_t ValueAtPixel(const SliderLayout& layout, const SliderScale& scale, std::int32_t pixel);

// The part under a point, with the thumb centred on thumbPixel.
int HitTest(const SliderLayout& layout, bool disabled, std::int32_t thumbPixel, std::int32_t x, std::int32_t y);

// The pixels of the travel's two ends along the axis: the first is the
// smaller coordinate (the maximum of a vertical control).
std::int32_t TravelStart(const SliderLayout& layout);
std::int32_t TravelEnd(const SliderLayout& layout);

}  // namespace quill
