#include "zuvi/views.h"

#include <QConicalGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "zuvi/internal.h"

using namespace zuvi_internal;

void CDeviceCtrl::SetDeviceStatus(int status) { SetState(status_, status); }

int CDeviceCtrl::GetDeviceStatus() const { return GetState(status_); }

void CDeviceCtrl::Paint(QPainter& painter, const QRect& area) {
  if (StateIndex() == 1) painter.fillRect(area, QColor(255, 255, 255, 0x18));
  QRect picture = area.adjusted(10, 10, -10, -40);
  QImage image = LoadSkinImage(GetImage());
  if (!image.isNull()) {
    QSize size = image.size().scaled(picture.size(), Qt::KeepAspectRatio);
    QRect box(QPoint(0, 0), size);
    box.moveCenter(picture.center());
    painter.drawImage(box, image);
  } else {
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRoundedRect(picture, 8, 8);
  }
  PaintTitle(painter, QRect(area.left(), area.bottom() - 36, area.width(), 30));
  painter.setBrush(GetDeviceStatus() == 1 ? QColor(0x3C, 0xB4, 0x4B) : QColor(0x80, 0x80, 0x80));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRect(area.right() - 18, area.top() + 8, 10, 10));
}

void CirclePalette::SetSelectColor(ARGB color) { SetState(color_, color); }

ARGB CirclePalette::GetSelectColor() const { return GetState(color_); }

bool CirclePalette::ColorAt(POINT point, ARGB* color) const {
  RECT r = GetRect();
  double radius = std::min(r.Width(), r.Height()) / 2.0;
  double dx = point.x - (r.left + r.Width() / 2.0);
  double dy = point.y - (r.top + r.Height() / 2.0);
  double distance = std::hypot(dx, dy);
  if (radius <= 0 || distance > radius) return false;
  double hue = std::atan2(-dy, dx) / (2 * M_PI);
  if (hue < 0) hue += 1;
  QColor c = QColor::fromHsvF(static_cast<float>(hue), static_cast<float>(distance / radius), 1.0f);
  *color = 0xFF000000u | (static_cast<ARGB>(c.red()) << 16) | (static_cast<ARGB>(c.green()) << 8) |
           static_cast<ARGB>(c.blue());
  return true;
}

void CirclePalette::OnInput(const MouseInput& input) {
  ARGB color;
  if (input.button != MouseInput::Left || !ColorAt(input.point, &color)) return;
  SetSelectColor(color);
  Notify(NOTIFY_PALETTE_COLOR, static_cast<LPARAM>(color & 0xFFFFFF));
}

void CirclePalette::Paint(QPainter& painter, const QRect& area) {
  int side = std::min(area.width(), area.height());
  QRect wheel(0, 0, side, side);
  wheel.moveCenter(area.center());
  QConicalGradient hue(wheel.center(), 0);
  for (int i = 0; i <= 6; ++i)
    hue.setColorAt(i / 6.0, QColor::fromHsvF(static_cast<float>(i % 6) / 6.0f, 1, 1));
  painter.setPen(Qt::NoPen);
  painter.setBrush(hue);
  painter.drawEllipse(wheel);
  QRadialGradient white(wheel.center(), side / 2.0);
  white.setColorAt(0, Qt::white);
  white.setColorAt(1, QColor(255, 255, 255, 0));
  painter.setBrush(white);
  painter.drawEllipse(wheel);
}
