// The spinner's geometry and key rules: which half of the control a point
// falls on, where the spinner goes beside its buddy edit, which keys it
// answers, the page it steps by, and where its glyphs lie in the face
// bitmap. Portable, so the window procedure and the tests share them.
#pragma once

#include <cstdint>

#include "twctllib/slider_geometry.h"

namespace quill {

// The halves, numbered by the scroll code each sends: the decreasing half
// (bottom or left) line up, the increasing half (top or right) line down, so
// that the page's scroll rule moves toward the maximum for the increasing
// half as it does for a trackbar's second arrow.
enum SpinnerHalf : int {
  kSpinNone = -1,
  kSpinDecrease = 0,
  kSpinIncrease = 1,
};

inline constexpr std::int32_t kSpinnerWidth = 13;

struct SpinnerLayout {
  bool vertical = true;
  bool tooSmall = true;
  CtlRect client;
  CtlRect halves[2];  // indexed by SpinnerHalf
};

// Vertical: the increasing half on top; horizontal: on the right. Each half
// needs 3 pixels either way or the control is too small to use.
SpinnerLayout ComputeSpinnerLayout(bool vertical, std::int32_t width, std::int32_t height);
int SpinnerHitTest(const SpinnerLayout& layout, bool disabled, std::int32_t x, std::int32_t y);

// The spinner's rectangle beside its buddy (both in the parent's client
// coordinates): the buddy's top and bottom, starting at its right edge, one
// pixel further for platform major versions below 4, whose edits drew their
// border one pixel inside.
CtlRect SpinnerBesideBuddy(const CtlRect& buddy, int platformMajorVersion);

// Virtual-key codes the spinner answers, written here so the rule needs no
// platform header.
enum SpinnerKey : std::uint32_t {
  kKeyPageUp = 0x21,
  kKeyPageDown = 0x22,
  kKeyEnd = 0x23,
  kKeyHome = 0x24,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
};

// The scroll code a key sends, or -1. Up and Right go the way of the
// increasing half; the page keys, Home and End keep the trackbar's codes.
// From the buddy edit only the keys an edit has no use for count: the page
// keys, Up and Down, and Home and End only with Ctrl held.
int SpinnerKeyCode(std::uint32_t key, bool ctrl, bool fromBuddy);

// A page step of 0 means ten line steps.
std::int32_t SpinnerPageStep(std::int32_t lineStep, std::int32_t pageStep);

// The glyphs in the face bitmap (bitmap 100), one cell each along a strip:
// up, down, left, right, then the same four greyed. The up and down arrows
// are 7 by 4 pixels, left and right 4 by 7; greyed ones carry a highlight
// one pixel below and to the right, so their cells are a pixel larger.
enum SpinnerGlyph : int { kGlyphUp, kGlyphDown, kGlyphLeft, kGlyphRight };
inline constexpr std::int32_t kGlyphCellSize = 8;  // the strip is 8 cells of 8 by 8
CtlRect SpinnerGlyphCell(int glyph, bool greyed);
// The glyph a half shows: its arrow points the way its value goes.
int SpinnerGlyphOf(bool vertical, int half);

}  // namespace quill
