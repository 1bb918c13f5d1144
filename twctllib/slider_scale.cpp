#include "twctllib/slider_scale.h"

#include <algorithm>
#include <cstdlib>

namespace quill {
namespace {

constexpr int kPoints = 8;
constexpr std::int64_t kTaperIn[kPoints] = {0, 30, 60, 120, 250, 400, 700, 1000};
constexpr std::int64_t kTaperOut[kPoints] = {0, 250, 400, 500, 600, 800, 950, 1000};

// Piecewise-linear map of |x| through one table onto the other, sign kept.
std::int64_t MapThrough(std::int64_t x, const std::int64_t* from, const std::int64_t* to) {
  const std::int64_t a = x < 0 ? -x : x;
  std::int64_t y = a;
  if (a < from[kPoints - 1]) {
    int i = 0;
    while (a >= from[i + 1]) ++i;
    y = to[i] + (a - from[i]) * (to[i + 1] - to[i]) / (from[i + 1] - from[i]);
  }
  return x < 0 ? -y : y;
}

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int32_t Taper(std::int32_t x) {
  return Saturate(MapThrough(x, kTaperIn, kTaperOut));
}
std::int32_t InverseTaper(std::int32_t y) {
  return Saturate(MapThrough(y, kTaperOut, kTaperIn));
}

void SliderScale::SetRange(std::int32_t minimum, std::int32_t maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Recompute();
}

void SliderScale::SetTapered(bool tapered) {
  tapered_ = tapered;
  Recompute();
}

void SliderScale::Recompute() {
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  taperSpan_ = std::int64_t{Taper(maximum_)} - Taper(minimum_);
  taperOffset_ = taperSpan_ == 0 ? 0 : maximum_ - std::int64_t{Taper(maximum_)} * range / taperSpan_;
}

std::int32_t SliderScale::Clamp(std::int64_t value) const {
  return static_cast<std::int32_t>(std::max<std::int64_t>(minimum_, std::min<std::int64_t>(value, maximum_)));
}

std::int64_t SliderScale::Coordinate(std::int32_t value) const {
  if (!tapered_ || taperSpan_ == 0) return value;
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  return taperOffset_ + std::int64_t{Taper(value)} * range / taperSpan_;
}

std::int32_t SliderScale::FromCoordinate(std::int64_t coordinate) const {
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  if (!tapered_ || taperSpan_ == 0 || range == 0) return Clamp(coordinate);
  const std::int64_t t = (coordinate - taperOffset_) * taperSpan_ / range;
  return Clamp(InverseTaper(Saturate(t)));
}

std::int32_t SliderScale::OffsetOf(std::int32_t value, std::int32_t travel) const {
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  if (range <= 0 || travel <= 0) return 0;
  const std::int64_t offset = (Coordinate(Clamp(value)) - minimum_) * travel / range;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(offset, 0, travel));
}

std::int32_t SliderScale::ValueAt(std::int32_t offset, std::int32_t travel) const {
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  if (travel < 2 || range <= 0 || offset <= 0) return minimum_;
  // The travel's ends are the range's ends exactly, whatever the taper's
  // truncation makes of the last pixel.
  if (offset >= travel) return maximum_;
  return FromCoordinate(minimum_ + std::int64_t{offset} * range / travel);
}

std::int32_t SliderScale::ResetValue() const {
  const std::int64_t middle = (std::int64_t{maximum_} - minimum_) / 2 + minimum_;
  if (minimum_ < 0) {
    if (maximum_ > 0) return 0;
    if (maximum_ == 0) return minimum_;
  }
  return Clamp(middle);
}

std::int32_t SliderScale::DigitValue(int digit) const {
  const std::int64_t range = std::max<std::int64_t>(0, std::int64_t{maximum_} - minimum_);
  return Clamp(minimum_ + range * std::clamp(digit, 0, 9) / 9);
}

}  // namespace quill
