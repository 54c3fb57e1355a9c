#include "zuvi/range_controls.h"

#include <QPainter>
#include <algorithm>

#include "zuvi/internal.h"

bool MSlider::SetRange(int min, int max) {
  if (min > max) return false;
  {
    std::lock_guard guard(lock_);
    min_ = min;
    max_ = max;
    pos_ = std::clamp(pos_, min_, max_);
  }
  UpdateControl();
  return true;
}

int MSlider::GetMin() const { return GetState(min_); }

int MSlider::GetMax() const { return GetState(max_); }

void MSlider::SetPos(int pos) { SetState(pos_, std::clamp(pos, min_, max_)); }

int MSlider::GetPos() const { return GetState(pos_); }

bool MSlider::UserMove(int pos) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  SetPos(pos);
  Notify(NOTIFY_CLICK, GetPos());
  return true;
}

namespace {

// The handle's radius in a slider `height` high; the handle's centre runs from `radius` to
// width - 1 - radius, so that it is drawn whole at both ends.
int HandleRadius(int height) { return std::clamp(height / 2 - 1, 3, 7); }

// The position a click at `x` of slider `r` picks.
int PositionAt(const RECT& r, int x, int min, int max) {
  const int radius = HandleRadius(r.Height());
  const int span = std::max(1, r.Width() - 1 - 2 * radius);
  const int at = std::clamp(x - r.left - radius, 0, span);
  return min + static_cast<int>((static_cast<long long>(at) * (max - min) + span / 2) / span);
}

}  // namespace

bool MSlider::ItemPoint(int pos, POINT* point) {
  const RECT r = GetRect();
  const int min = GetMin(), max = GetMax();
  pos = std::clamp(pos, min, max);  // beyond an end: the handle pulled to that end
  const int radius = HandleRadius(r.Height());
  const int span = std::max(1, r.Width() - 1 - 2 * radius);
  int x = r.left + radius + (max > min ? static_cast<int>(static_cast<long long>(pos - min) * span / (max - min)) : 0);
  // The first pixel that picks `pos` (the rounding of PositionAt).
  while (x > r.left && PositionAt(r, x - 1, min, max) >= pos) --x;
  while (x < r.right - 1 && PositionAt(r, x, min, max) < pos) ++x;
  if (PositionAt(r, x, min, max) != pos) return false;
  *point = POINT{x, (r.top + r.bottom) / 2};
  return true;
}

void MSlider::OnInput(const MouseInput& input) {
  if (input.button != MouseInput::Left) return;
  UserMove(PositionAt(GetRect(), input.point.x, GetMin(), GetMax()));
}

void MSlider::Paint(QPainter& painter, const QRect& area) {
  int min = GetMin(), max = GetMax(), pos = GetPos();
  const int radius = HandleRadius(area.height());
  const int left = area.left() + radius;
  const int span = std::max(0, area.width() - 1 - 2 * radius);
  const int x =
      max > min ? left + static_cast<int>(static_cast<long long>(span) * (pos - min) / (max - min)) : left;
  const int y = area.center().y();
  const QRect groove(left, y - 2, span + 1, 4);
  painter.fillRect(groove, QColor(0x50, 0x50, 0x50));
  painter.fillRect(QRect(left, y - 2, x - left, 4), QColor(0x3C, 0x8C, 0xE6));
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(IsEffectivelyEnabled() ? QColor(Qt::white) : QColor(Qt::gray));
  painter.setPen(QPen(QColor(0x3C, 0x8C, 0xE6), 1.5));  // the handle stands out on light panels too
  painter.drawEllipse(QPointF(x + 0.5, y + 0.5), radius - 0.75, radius - 0.75);
  painter.restore();
}

void MProgress::SetProgress(int percent) { SetState(percent_, std::clamp(percent, 0, 100)); }

int MProgress::GetProgress() const { return GetState(percent_); }

void MProgress::Paint(QPainter& painter, const QRect& area) {
  painter.fillRect(area, QColor(0x40, 0x40, 0x40));
  QRect done = area;
  done.setWidth(area.width() * GetProgress() / 100);
  painter.fillRect(done, QColor(0x3C, 0xB4, 0x4B));
  PaintTitle(painter, area);
}
