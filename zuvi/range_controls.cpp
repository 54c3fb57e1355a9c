#include "zuvi/range_controls.h"

#include <QPainter>

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

// The position a click at `x` of a slider `r` wide picks.
int PositionAt(const RECT& r, int x, int min, int max) {
  const int width = r.Width() > 1 ? r.Width() - 1 : 1;
  return min + static_cast<int>((static_cast<long long>(x - r.left) * (max - min) + width / 2) / width);
}

}  // namespace

bool MSlider::ItemPoint(int pos, POINT* point) {
  const RECT r = GetRect();
  const int min = GetMin(), max = GetMax();
  pos = std::clamp(pos, min, max);  // beyond an end: the thumb pulled to that end
  const int width = r.Width() > 1 ? r.Width() - 1 : 1;
  int x = r.left + (max > min ? static_cast<int>(static_cast<long long>(pos - min) * width / (max - min)) : 0);
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
  QRect groove(area.left(), area.center().y() - 2, area.width(), 4);
  painter.fillRect(groove, QColor(0x50, 0x50, 0x50));
  int x = max > min ? area.left() + (area.width() - 1) * (pos - min) / (max - min) : area.left();
  painter.fillRect(QRect(groove.left(), groove.top(), x - area.left(), 4), QColor(0x3C, 0x8C, 0xE6));
  painter.setBrush(IsEffectivelyEnabled() ? QColor(Qt::white) : QColor(Qt::gray));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QPoint(x, area.center().y()), 6, 6);
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
