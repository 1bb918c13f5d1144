// The envelope editor's model: a breakpoint envelope whose first and last
// points sit on the ends of the x range, its selection, and the mapping
// between values and the pixels of the plot. Portable, so the editing rules
// are the same code the window procedure uses and the tests check.
#pragma once

#include <cstdint>
#include <memory>

#include "twctllib/slider_geometry.h"

namespace quill {

struct EnvelopePoint {
  std::int32_t x;
  std::int32_t y;
};

struct EnvelopeAxis {
  std::int32_t low = 0;
  std::int32_t high = 0;
  std::int32_t Clamp(std::int64_t v) const { return static_cast<std::int32_t>(v < low ? low : (v > high ? high : v)); }
};

inline constexpr int kEnvelopeDefaultMaxCount = 64;
inline constexpr int kEnvelopeMaxCountLimit = 4096;

// Points have x strictly increasing, the first at the x range's low end and
// the last at its high end, and y inside the y range. Every change keeps
// that, or is refused and changes nothing.
class Envelope {
 public:
  // Storage for maxCount points (2 to the limit); refused when the points
  // already there would not fit or memory runs out.
  bool SetMaxCount(int maxCount);
  int MaxCount() const { return maxCount_; }
  int Count() const { return count_; }
  const EnvelopePoint* Points() const { return points_.get(); }
  const EnvelopePoint& Point(int index) const { return points_[index]; }
  bool Valid(int index) const { return index >= 0 && index < count_; }
  bool IsEnd(int index) const { return index == 0 || index == count_ - 1; }

  EnvelopeAxis X() const { return x_; }
  EnvelopeAxis Y() const { return y_; }
  // low < high. A new x range re-pins the ends and drops the inner points
  // that fall outside it; a new y range clamps every y.
  bool SetXRange(std::int32_t low, std::int32_t high);
  bool SetYRange(std::int32_t low, std::int32_t high);

  // Back to the two end points at the level (clamped); nothing selected.
  void Reset(std::int32_t level);
  // A new inner point, y clamped; its index, or -1 when x is not strictly
  // inside the range, already has a point, or the envelope is full.
  int Insert(EnvelopePoint p);
  // Moves a point: x strictly between its neighbours (the ends keep theirs),
  // y inside the range. Returns where it ended up.
  EnvelopePoint Move(int index, EnvelopePoint to);
  // Inner points only.
  bool Remove(int index);
  // The whole envelope, taken only if it keeps every rule above.
  bool Assign(const EnvelopePoint* points, int count);

  // y on the line between the points around x (x clamped to the range):
  // the left point's y plus the step toward the right one, truncated toward
  // zero.
  std::int32_t ValueAt(std::int32_t x) const;

  // -1 for none. The selection follows its point through inserts; removing
  // the selected point selects the one that takes its index.
  int Selected() const { return selected_; }
  bool Select(int index);

 private:
  std::unique_ptr<EnvelopePoint[]> points_;
  int count_ = 0;
  int maxCount_ = 0;
  int selected_ = -1;
  EnvelopeAxis x_{0, 1000};
  EnvelopeAxis y_{0, 1000};
};

// A grid step of 0 or 1 leaves the value as it is; otherwise the nearest
// multiple of the step counted from the axis's low end, inside the axis.
std::int32_t Snap(std::int32_t value, std::int32_t step, EnvelopeAxis axis);

// The plot: which pixels the value ranges span, low x at the left edge and
// low y at the bottom row, rounded to the nearest pixel and value.
struct EnvelopeView {
  CtlRect plot;
  EnvelopeAxis x, y;
};
std::int32_t PixelOfX(const EnvelopeView& view, std::int32_t x);
std::int32_t PixelOfY(const EnvelopeView& view, std::int32_t y);
// Pixels outside the plot give the range limits.
EnvelopePoint PixelToValue(const EnvelopeView& view, std::int32_t px, std::int32_t py);
// The point whose pixel lies within radius in both directions of (px, py),
// the nearest when several do; -1 when none.
int HitPoint(const Envelope& envelope, const EnvelopeView& view, std::int32_t px, std::int32_t py, std::int32_t radius);

}  // namespace quill
