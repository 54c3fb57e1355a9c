#include "zuvi/image_view.h"

#include <QPainter>

#include "zuvi/internal.h"

void ImageView::SetShowGridLine(bool show) { SetState(grid_, show); }

bool ImageView::GetShowGridLine() const { return GetState(grid_); }

void ImageView::SetDrawMode(int mode) { SetState(drawMode_, mode); }

int ImageView::GetDrawMode() const { return GetState(drawMode_); }

void ImageView::RecoverCurEdit() {
  std::lock_guard guard(lock_);
  ++recovers_;
}

int ImageView::RecoverCount() const { return GetState(recovers_); }

void ImageView::Paint(QPainter& painter, const QRect& area) {
  painter.fillRect(area, Qt::black);
  if (!GetShowGridLine()) return;
  painter.setPen(QColor(0x40, 0x40, 0x40));
  constexpr int kCell = 10;
  for (int x = area.left(); x < area.right(); x += kCell) painter.drawLine(x, area.top(), x, area.bottom());
  for (int y = area.top(); y < area.bottom(); y += kCell) painter.drawLine(area.left(), y, area.right(), y);
}
