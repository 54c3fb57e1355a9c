#include "zuvi/keyboard_ctrl.h"

#include <QPainter>

#include "zuvi/internal.h"

void KeyboardCtrl::SetTipInfo(const std::wstring& tip) { SetState(tip_, tip); }

std::wstring KeyboardCtrl::GetTipInfo() const { return GetState(tip_); }

void KeyboardCtrl::Paint(QPainter& painter, const QRect& area) {
  painter.setPen(QColor(0x50, 0x55, 0x5C));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  PaintText(painter, area, GetTipInfo());
}
