// The value scale shared by the trackbar and the fader: range, clamping, the
// optional taper that gives the top of a level range more travel, and the
// values a double-click or a digit key jumps to.
#pragma once

#include <cstdint>

namespace quill {

// The taper's breakpoint curve on |x| with the sign kept; the identity beyond
// 1000. Both directions truncate toward zero inside a segment.
std::int32_t Taper(std::int32_t x);
std::int32_t InverseTaper(std::int32_t y);

class SliderScale {
 public:
  SliderScale() { Recompute(); }

  // Range and taper changes recompute the taper constants.
  void SetRange(std::int32_t minimum, std::int32_t maximum);
  void SetTapered(bool tapered);

  std::int32_t Minimum() const { return minimum_; }
  std::int32_t Maximum() const { return maximum_; }
  bool Tapered() const { return tapered_; }

  // Into [minimum, maximum]; a range set upside down clamps to its minimum.
  std::int32_t Clamp(std::int64_t value) const;

  // The coordinate along the travel that a value maps to linearly: the value
  // itself, or its tapered coordinate.
  std::int64_t Coordinate(std::int32_t value) const;
  std::int32_t FromCoordinate(std::int64_t coordinate) const;

  // Pixel offset of a value along a travel of the given length (0 at the
  // minimum), and the value at an offset; offsets outside the travel give
  // the limits, and a travel under 2 pixels gives the minimum.
  std::int32_t OffsetOf(std::int32_t value, std::int32_t travel) const;
  std::int32_t ValueAt(std::int32_t offset, std::int32_t travel) const;

  // What a double-click jumps to: zero on a range that spans it, the floor
  // of a range that ends at zero, else the middle.
  std::int32_t ResetValue() const;
  // Digit keys: 0 gives the minimum and 9 the maximum, in equal steps.
  std::int32_t DigitValue(int digit) const;

  std::int64_t TaperOffset() const { return taperOffset_; }
  std::int64_t TaperSpan() const { return taperSpan_; }

 private:
  void Recompute();

  std::int32_t minimum_ = 0;
  std::int32_t maximum_ = 100;
  bool tapered_ = false;
  std::int64_t taperOffset_ = 0;
  std::int64_t taperSpan_ = 0;
};

}  // namespace quill
