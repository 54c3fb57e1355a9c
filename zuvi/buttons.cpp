#include "zuvi/buttons.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QWidget>
#include <algorithm>

#include "zuvi/dialog.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

// What marks a checked control without a skin: the theme's blue.
QColor CheckedFill(bool enabled) { return enabled ? QColor(0x2D, 0x7D, 0xD2) : QColor(0x3A, 0x50, 0x6A); }

}  // namespace

void MButton::PaintFace(QPainter& painter, const QRect& area, bool checked) {
  QImage image = LoadSkinImage(GetImage());
  if (image.isNull() && Widget()) {
    QStyleOptionButton option;
    option.rect = area;
    option.state = QStyle::State_Raised;
    if (IsEffectivelyEnabled()) option.state |= QStyle::State_Enabled;
    if (StateIndex() == 2 || checked) option.state |= QStyle::State_Sunken | QStyle::State_On;
    if (StateIndex() == 1) option.state |= QStyle::State_MouseOver;
    Widget()->style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, Widget());
    QColor text = Widget()->palette().color(QPalette::ButtonText);
    if (checked) {
      // The style's sunken face alone differs from the raised one by a faint shade.
      painter.fillRect(area.adjusted(2, 2, -2, -2), CheckedFill(IsEffectivelyEnabled()));
      text = Qt::white;
    }
    PaintTitle(painter, area, &text);
    return;
  }
  PaintImageOrFrame(painter, area, checked ? 4 : 0);
  PaintTitle(painter, area);
}

void MButton::Paint(QPainter& painter, const QRect& area) { PaintFace(painter, area, false); }

void CHelpButton::Paint(QPainter& painter, const QRect& area) {
  if (!LoadSkinImage(GetImage()).isNull()) {
    PaintImageOrFrame(painter, area, 0);
    return;
  }
  const int side = std::min(area.width(), area.height()) - 2;
  if (side <= 0) return;
  const QRectF circle(area.center().x() - side / 2.0 + 0.5, area.center().y() - side / 2.0 + 0.5, side, side);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0xC8, 0xCC, 0xD2), 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(circle);
  QFont font = painter.font();
  font.setPixelSize(std::max(6, side * 2 / 3));
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(circle, Qt::AlignCenter, QStringLiteral("?"));
}

void CHelpButton::SyncKind(QWidget* widget) {
  if (GetTooltip().empty()) widget->setToolTip(ToQString(GetTitle()));
}

void CCheckButton::SetCheck(bool checked) { SetState(checked_, checked); }

bool CCheckButton::GetCheck() const { return GetState(checked_); }

void CCheckButton::Toggle() {
  std::lock_guard guard(lock_);
  checked_ = !checked_;
}

void CCheckButton::OnInput(const MouseInput& input) {
  if (input.button == MouseInput::Left) {
    Toggle();
    UpdateControl();
  }
  MButton::OnInput(input);
}

void CCheckButton::Paint(QPainter& painter, const QRect& area) {
  if (!LoadSkinImage(GetImage()).isNull() || GetAlignment() == 1 || !Widget()) {
    PaintFace(painter, area, GetCheck());
    return;
  }
  // No skin: a box (a circle for a radio button) that is filled and ticked when checked, and the
  // title beside it.
  const bool enabled = IsEffectivelyEnabled();
  const int side = std::clamp(area.height() - 8, 8, 16);
  const QRectF box(area.left() + 2.5, area.top() + (area.height() - side) / 2 + 0.5, side - 1, side - 1);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(enabled ? QColor(0xC8, 0xCC, 0xD2) : QColor(0x78, 0x7C, 0x82), 1.2));
  painter.setBrush(GetCheck() ? QBrush(CheckedFill(enabled)) : QBrush(QColor(0x20, 0x22, 0x26)));
  if (RoundIndicator()) {
    painter.drawEllipse(box);
    if (GetCheck()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(Qt::white);
      painter.drawEllipse(box.center(), side / 5.0, side / 5.0);
    }
  } else {
    painter.drawRoundedRect(box, 2, 2);
    if (GetCheck()) {
      painter.setPen(QPen(Qt::white, std::max(1.5, side / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      painter.setBrush(Qt::NoBrush);
      const QPolygonF tick{{box.left() + box.width() * 0.22, box.top() + box.height() * 0.52},
                           {box.left() + box.width() * 0.42, box.top() + box.height() * 0.72},
                           {box.left() + box.width() * 0.78, box.top() + box.height() * 0.30}};
      painter.drawPolyline(tick);
    }
  }
  painter.restore();
  PaintTitle(painter, area.adjusted(side + 6, 0, 0, 0));
}

void CSwitchButton::Paint(QPainter& painter, const QRect& area) { PaintFace(painter, area, GetCheck()); }

void KeyLayerButton::Paint(QPainter& painter, const QRect& area) { PaintFace(painter, area, GetCheck()); }

void CRadioButton::SetGroupName(const std::wstring& group) {
  std::lock_guard guard(lock_);
  group_ = group;
}

std::wstring CRadioButton::GetGroupName() const { return GetState(group_); }

void CRadioButton::SetCheck(bool checked) {
  CCheckButton::SetCheck(checked);
  if (checked) ClearOthers();
}

void CRadioButton::Toggle() {
  {
    std::lock_guard guard(lock_);
    checked_ = true;
  }
  ClearOthers();
}

void CRadioButton::ClearOthers() {
  std::wstring group = GetGroupName();
  if (group.empty() || !GetOwner()) return;
  for (MControl* control : GetOwner()->Controls()) {
    auto* radio = dynamic_cast<CRadioButton*>(control);
    if (radio && radio != this && radio->GetGroupName() == group) radio->CCheckButton::SetCheck(false);
  }
}

void CColorButton::SetColor(ARGB color) { SetState(color_, color); }

ARGB CColorButton::GetColor() const { return GetState(color_); }

void CColorButton::Paint(QPainter& painter, const QRect& area) {
  painter.fillRect(area.adjusted(3, 3, -3, -3), ToQColor(GetColor() | 0xFF000000u));
  if (GetCheck()) {
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(area.adjusted(1, 1, -1, -1));
  }
}

void DownloadButton::SetDownloadProcess(int percent) { SetState(percent_, std::clamp(percent, 0, 100)); }

int DownloadButton::GetDownloadProcess() const { return GetState(percent_); }

void DownloadButton::Paint(QPainter& painter, const QRect& area) {
  PaintFace(painter, area, false);
  int percent = GetDownloadProcess();
  if (percent > 0) {
    QRect bar = area.adjusted(2, area.height() - 5, -2, -2);
    bar.setWidth(bar.width() * percent / 100);
    painter.fillRect(bar, QColor(0x3C, 0xB4, 0x4B));
  }
}

void UpgradeButton::SetUpgradeStatus(int status) { SetState(status_, status); }

int UpgradeButton::GetUpgradeStatus() const { return GetState(status_); }

void UpgradeButton::Paint(QPainter& painter, const QRect& area) {
  PaintFace(painter, area, false);
  if (GetUpgradeStatus() == 1) {
    painter.setBrush(QColor(0xE0, 0x30, 0x30));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(area.right() - 7, area.top() + 1, 6, 6));
  }
}
