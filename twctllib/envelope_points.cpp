#include "twctllib/envelope_points.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace quill {
namespace {

// a * b / c rounded to the nearest, for a, b >= 0 and c > 0.
std::int64_t Scale(std::int64_t a, std::int64_t b, std::int64_t c) {
  return (a * b * 2 + c) / (c * 2);
}

}  // namespace

bool Envelope::SetMaxCount(int maxCount) {
  if (maxCount < 2 || maxCount > kEnvelopeMaxCountLimit || maxCount < count_) return false;
  std::unique_ptr<EnvelopePoint[]> points(new (std::nothrow) EnvelopePoint[maxCount]);
  if (!points) return false;
  std::copy(points_.get(), points_.get() + count_, points.get());
  if (count_ == 0) {
    points[0] = {x_.low, y_.low};
    points[1] = {x_.high, y_.low};
    count_ = 2;
  }
  points_ = std::move(points);
  maxCount_ = maxCount;
  return true;
}

bool Envelope::SetXRange(std::int32_t low, std::int32_t high) {
  if (low >= high) return false;
  x_ = {low, high};
  if (count_ == 0) return true;
  int kept = 1;
  int selected = selected_ == 0 ? 0 : -1;
  for (int i = 1; i < count_ - 1; ++i) {
    if (points_[i].x <= low || points_[i].x >= high) continue;
    if (i == selected_) selected = kept;
    points_[kept++] = points_[i];
  }
  if (selected_ == count_ - 1) selected = kept;
  points_[kept++] = points_[count_ - 1];
  count_ = kept;
  selected_ = selected;
  points_[0].x = low;
  points_[count_ - 1].x = high;
  return true;
}

bool Envelope::SetYRange(std::int32_t low, std::int32_t high) {
  if (low >= high) return false;
  y_ = {low, high};
  for (int i = 0; i < count_; ++i) points_[i].y = y_.Clamp(points_[i].y);
  return true;
}

void Envelope::Reset(std::int32_t level) {
  if (maxCount_ < 2) return;
  const std::int32_t y = y_.Clamp(level);
  points_[0] = {x_.low, y};
  points_[1] = {x_.high, y};
  count_ = 2;
  selected_ = -1;
}

int Envelope::Insert(EnvelopePoint p) {
  if (count_ < 2 || count_ >= maxCount_ || p.x <= x_.low || p.x >= x_.high) return -1;
  EnvelopePoint* const at = std::lower_bound(points_.get(), points_.get() + count_, p.x,
                                             [](const EnvelopePoint& q, std::int32_t x) { return q.x < x; });
  if (at->x == p.x) return -1;
  const int index = static_cast<int>(at - points_.get());
  std::copy_backward(points_.get() + index, points_.get() + count_, points_.get() + count_ + 1);
  points_[index] = {p.x, y_.Clamp(p.y)};
  ++count_;
  if (selected_ >= index) ++selected_;
  return index;
}

EnvelopePoint Envelope::Move(int index, EnvelopePoint to) {
  EnvelopePoint& p = points_[index];
  // Between adjacent neighbours there is no room, and x stays.
  if (!IsEnd(index) && points_[index + 1].x - points_[index - 1].x >= 2) {
    p.x = std::clamp(to.x, points_[index - 1].x + 1, points_[index + 1].x - 1);
  }
  p.y = y_.Clamp(to.y);
  return p;
}

bool Envelope::Remove(int index) {
  if (!Valid(index) || IsEnd(index)) return false;
  std::copy(points_.get() + index + 1, points_.get() + count_, points_.get() + index);
  --count_;
  if (selected_ > index) --selected_;
  return true;
}

bool Envelope::Assign(const EnvelopePoint* points, int count) {
  if (points == nullptr || count < 2 || count > maxCount_) return false;
  if (points[0].x != x_.low || points[count - 1].x != x_.high) return false;
  for (int i = 0; i < count; ++i) {
    if (points[i].y < y_.low || points[i].y > y_.high) return false;
    if (i > 0 && points[i].x <= points[i - 1].x) return false;
  }
  std::copy(points, points + count, points_.get());
  count_ = count;
  if (selected_ >= count_) selected_ = -1;
  return true;
}

std::int32_t Envelope::ValueAt(std::int32_t x) const {
  if (count_ < 2) return y_.low;
  x = x_.Clamp(x);
  int i = 1;
  while (i < count_ - 1 && points_[i].x < x) ++i;
  const EnvelopePoint& a = points_[i - 1];
  const EnvelopePoint& b = points_[i];
  return static_cast<std::int32_t>(a.y +
                                   (std::int64_t{x} - a.x) * (std::int64_t{b.y} - a.y) / (std::int64_t{b.x} - a.x));
}

bool Envelope::Select(int index) {
  if (index != -1 && !Valid(index)) return false;
  selected_ = index;
  return true;
}

std::int32_t Snap(std::int32_t value, std::int32_t step, EnvelopeAxis axis) {
  if (step <= 1) return value;
  const std::int64_t from = std::int64_t{value} - axis.low;
  std::int64_t steps = (from >= 0 ? from + step / 2 : from - step / 2) / step;
  std::int64_t snapped = axis.low + steps * step;
  // The nearest grid line can lie beyond the high end: take the one below.
  if (snapped > axis.high) snapped -= step;
  return axis.Clamp(snapped);
}

std::int32_t PixelOfX(const EnvelopeView& view, std::int32_t x) {
  const std::int64_t span = std::int64_t{view.x.high} - view.x.low;
  if (span <= 0) return view.plot.left;
  const std::int64_t offset = std::int64_t{view.x.Clamp(x)} - view.x.low;
  return view.plot.left + static_cast<std::int32_t>(Scale(offset, std::max(view.plot.Width() - 1, 0), span));
}

std::int32_t PixelOfY(const EnvelopeView& view, std::int32_t y) {
  const std::int64_t span = std::int64_t{view.y.high} - view.y.low;
  if (span <= 0) return view.plot.bottom - 1;
  const std::int64_t offset = std::int64_t{view.y.Clamp(y)} - view.y.low;
  return view.plot.bottom - 1 - static_cast<std::int32_t>(Scale(offset, std::max(view.plot.Height() - 1, 0), span));
}

EnvelopePoint PixelToValue(const EnvelopeView& view, std::int32_t px, std::int32_t py) {
  const std::int32_t w = view.plot.Width() - 1;
  const std::int32_t h = view.plot.Height() - 1;
  const std::int64_t dx = std::clamp(px - view.plot.left, 0, std::max(w, 0));
  const std::int64_t dy = std::clamp(view.plot.bottom - 1 - py, 0, std::max(h, 0));
  const std::int64_t xSpan = std::int64_t{view.x.high} - view.x.low;
  const std::int64_t ySpan = std::int64_t{view.y.high} - view.y.low;
  return EnvelopePoint{view.x.Clamp(view.x.low + (w > 0 && xSpan > 0 ? Scale(dx, xSpan, w) : 0)),
                       view.y.Clamp(view.y.low + (h > 0 && ySpan > 0 ? Scale(dy, ySpan, h) : 0))};
}

int HitPoint(const Envelope& envelope, const EnvelopeView& view, std::int32_t px, std::int32_t py,
             std::int32_t radius) {
  int best = -1;
  std::int32_t bestDistance = 0;
  for (int i = 0; i < envelope.Count(); ++i) {
    const std::int32_t dx = std::abs(PixelOfX(view, envelope.Point(i).x) - px);
    const std::int32_t dy = std::abs(PixelOfY(view, envelope.Point(i).y) - py);
    if (dx > radius || dy > radius) continue;
    const std::int32_t distance = dx * dx + dy * dy;
    if (best < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace quill
