// MControl and MControlFont: state kept in the control, widgets brought in line on the UI thread.
#include "zuvi/control.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

#include "zuvi/control_widget.h"
#include "zuvi/dialog.h"
#include "zuvi/internal.h"
#include "zuvi/manager.h"

using namespace zuvi_internal;

ControlWidget::ControlWidget(MControl* control, QWidget* parent) : QWidget(parent), control_(control) {
  setAttribute(Qt::WA_Hover);
}

void ControlWidget::paintEvent(QPaintEvent*) {
  if (!control_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  control_->Paint(painter, rect());
}

namespace {

POINT ClientPoint(const MControl& control, const QMouseEvent& event) {
  RECT r = control.GetRect();
  QPoint p = event.position().toPoint();
  return POINT{r.left + p.x(), r.top + p.y()};
}

}  // namespace

void ControlWidget::mousePressEvent(QMouseEvent* event) {
  if (!control_) return;
  control_->pressed_ = true;
  update();
  event->accept();
  if (event->button() == Qt::LeftButton && control_->TakesDrag())
    control_->DragBegin(ClientPoint(*control_, *event));
}

void ControlWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!control_) return;
  event->accept();
  if ((event->buttons() & Qt::LeftButton) && control_->TakesDrag())
    control_->DragMove(ClientPoint(*control_, *event));
}

void ControlWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (!control_) return;
  control_->pressed_ = false;
  update();
  if (std::exchange(doubleClicked_, false)) return;
  if (event->button() == Qt::LeftButton && control_->TakesDrag()) {
    // The drag ends wherever the button is let go.
    control_->DragEnd(ClientPoint(*control_, *event));
    return;
  }
  if (!rect().contains(event->position().toPoint())) return;
  RECT r = control_->GetRect();
  QPoint p = event->position().toPoint();
  MouseInput input;
  input.button = event->button() == Qt::RightButton ? MouseInput::Right : MouseInput::Left;
  input.point = POINT{r.left + p.x(), r.top + p.y()};
  control_->Press(input);
}

void ControlWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!control_) return;
  event->accept();
  RECT r = control_->GetRect();
  QPoint p = event->position().toPoint();
  MouseInput input;
  input.button = event->button() == Qt::RightButton ? MouseInput::Right : MouseInput::Left;
  input.point = POINT{r.left + p.x(), r.top + p.y()};
  doubleClicked_ = true;
  control_->DoubleClick(input);
}

void ControlWidget::enterEvent(QEnterEvent*) {
  if (control_) control_->hovered_ = true;
  update();
}

void ControlWidget::leaveEvent(QEvent*) {
  if (control_) control_->hovered_ = false;
  update();
}

MControl::~MControl() { DetachWidget(); }

void MControl::Attach(MDialog* owner, int id, bool notifies, MControl* container,
                      const std::wstring& className) {
  owner_ = owner;
  id_ = id;
  notifies_ = notifies;
  container_ = container;
  className_ = className;
}

void MControl::SetRect(const RECT& rect) {
  {
    std::lock_guard guard(lock_);
    rect_ = rect;
  }
  OnRectChanged();
  RequestSync();
}

RECT MControl::GetRect() const { return GetState(rect_); }

void MControl::SetVisible(bool visible) {
  if (visible_.exchange(visible) != visible) RequestSyncTree();
}

void MControl::SetEnabled(bool enabled) {
  if (enabled_.exchange(enabled) != enabled) RequestSyncTree();
}

void MControl::SetEnabledEx(bool enabled) {
  enabled_ = enabled;
  RequestSyncTree();
}

bool MControl::IsEffectivelyVisible() const {
  for (const MControl* c = this; c; c = c->container_)
    if (!c->visible_) return false;
  return true;
}

bool MControl::IsEffectivelyEnabled() const {
  for (const MControl* c = this; c; c = c->container_)
    if (!c->enabled_) return false;
  return true;
}

void MControl::SetTooltip(const std::wstring& text) { SetState(tooltip_, text); }

std::wstring MControl::GetTooltip() const { return GetState(tooltip_); }

void MControl::SetImage(const std::wstring& file, int states) {
  {
    std::lock_guard guard(lock_);
    image_ = file;
    imageStates_ = states < 1 ? 1 : states;
  }
  RequestSync();
}

std::wstring MControl::GetImage() const { return GetState(image_); }

void MControl::UpdateControl() { RequestSync(); }

void MControl::AddMTimer() {
  if (owner_) owner_->RegisterAnimated(this);
}

bool MControl::Press(const MouseInput& input) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (owner_ && !owner_->IsWindowEnabled()) return false;
  ++inputsTaken_;
  OnInput(input);
  return true;
}

bool MControl::DoubleClick(const MouseInput& input) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (owner_ && !owner_->IsWindowEnabled()) return false;
  ++inputsTaken_;
  OnDoubleClick(input);
  return true;
}

bool MControl::DragBegin(POINT point) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (owner_ && !owner_->IsWindowEnabled()) return false;
  ++inputsTaken_;
  dragging_ = true;
  OnDragBegin(point);
  return true;
}

bool MControl::DragMove(POINT point) {
  if (!dragging_) return false;
  OnDragMove(point);
  return true;
}

bool MControl::DragEnd(POINT point) {
  if (!dragging_.exchange(false)) return false;
  OnDragEnd(point);
  return true;
}

bool MControl::ItemPoint(int, POINT*) { return false; }

void MControl::OnInput(const MouseInput& input) {
  Notify(input.button == MouseInput::Right ? NOTIFY_RCLICK : NOTIFY_CLICK);
}

void MControl::Notify(int code, LPARAM param) {
  if (!notifies_ || !owner_) return;
  HWND hwnd = owner_->GetSafeHwnd();
  MDialog* owner = owner_;
  RunOnUiThread([hwnd, owner, this, code, param] {
    if (Manager::FromHandle(hwnd) == owner) owner->DeliverNotification(this, code, param);
  });
}

QWidget* MControl::CreateWidget(QWidget* parent) { return new ControlWidget(this, parent); }

void MControl::MakeWidget(QWidget* root) {
  QWidget* widget = CreateWidget(root);
  {
    std::lock_guard guard(lock_);
    widget_ = widget;
  }
  if (!TakesMouse()) widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  widget->raise();
  SyncWidget();
}

void MControl::DetachWidget() {
  QWidget* widget;
  {
    std::lock_guard guard(lock_);
    widget = widget_;
    widget_ = nullptr;
  }
  if (!widget) return;
  // No queued sync and no signal may reach this control any more. The library connects a widget's
  // signals with the widget itself as their context; only those are cut. Connections that others
  // made stay, such as the one through which Qt drops the widget's accessibility record when the
  // widget goes (cut, the record would outlive the widget).
  QCoreApplication::removePostedEvents(widget);
  QObject::disconnect(widget, nullptr, widget, nullptr);
  if (auto* painted = dynamic_cast<ControlWidget*>(widget)) painted->Detach();
}

void MControl::RequestSync() {
  if (Manager::IsUiThread()) {
    SyncWidget();
    return;
  }
  if (syncPending_.exchange(true)) return;  // one queued sync covers every change until it runs
  std::lock_guard guard(lock_);
  if (widget_)
    QMetaObject::invokeMethod(
        widget_, [this] { SyncWidget(); }, Qt::QueuedConnection);
  else
    syncPending_ = false;
}

void MControl::RequestSyncTree() {
  RequestSync();
  if (owner_) owner_->SyncContained(this);
}

void MControl::SyncWidget() {
  syncPending_ = false;
  QWidget* widget;
  RECT r;
  std::wstring tooltip;
  {
    std::lock_guard guard(lock_);
    widget = widget_;
    r = rect_;
    tooltip = tooltip_;
  }
  if (!widget) return;
  widget->setGeometry(r.left, r.top, r.Width(), r.Height());
  widget->setToolTip(ToQString(tooltip));
  widget->setEnabled(IsEffectivelyEnabled());
  bool blocked = widget->blockSignals(true);
  SyncKind(widget);
  widget->blockSignals(blocked);
  widget->setVisible(IsEffectivelyVisible() && r.Width() > 0 && r.Height() > 0);
  widget->update();
}

int MControl::StateIndex() const {
  if (!IsEffectivelyEnabled()) return 3;
  if (pressed_) return 2;
  if (hovered_) return 1;
  return 0;
}

void MControl::PaintImageOrFrame(QPainter& painter, const QRect& area, int sliceOffset) {
  std::wstring file;
  int states;
  {
    std::lock_guard guard(lock_);
    file = image_;
    states = imageStates_;
  }
  QImage image = LoadSkinImage(file);
  if (!image.isNull()) {
    int index = sliceOffset + (states >= sliceOffset + 4 ? StateIndex() : 0);
    painter.drawImage(area, SkinSlice(image, states, index));
    return;
  }
  if (file.empty()) return;
  // No skin image: a plain Qt button face.
  QStyleOptionButton option;
  option.rect = area;
  option.state = QStyle::State_Raised;
  if (IsEffectivelyEnabled()) option.state |= QStyle::State_Enabled;
  if (pressed_) option.state |= QStyle::State_Sunken;
  if (QWidget* w = Widget()) w->style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, w);
}

void MControl::Paint(QPainter& painter, const QRect& area) { PaintImageOrFrame(painter, area, 0); }

void MControlFont::SetTitle(const std::wstring& text) { SetState(title_, text); }

std::wstring MControlFont::GetTitle() const { return GetState(title_); }

void MControlFont::SetFont(const std::wstring& face, int size, bool bold) {
  {
    std::lock_guard guard(lock_);
    fontFace_ = face;
    fontSize_ = size > 0 ? size : 10;
    fontBold_ = bold;
  }
  RequestSync();
}

void MControlFont::SetTextColor(ARGB color) { SetState(textColor_, color); }

ARGB MControlFont::GetTextColor() const { return GetState(textColor_); }

void MControlFont::SetAlignment(int align) { SetState(align_, align); }

int MControlFont::GetAlignment() const { return GetState(align_); }

void MControlFont::SetVAlignment(int align) { SetState(valign_, align); }

int MControlFont::GetVAlignment() const { return GetState(valign_); }

void MControlFont::PaintText(QPainter& painter, const QRect& area, const std::wstring& text,
                             const QColor* override, bool fit) const {
  ARGB color;
  int align, valign, size;
  bool bold;
  std::wstring face;
  {
    std::lock_guard guard(lock_);
    color = textColor_;
    align = align_;
    valign = valign_;
    size = fontSize_;
    bold = fontBold_;
    face = fontFace_;
  }
  QFont font = painter.font();
  if (!face.empty()) font.setFamily(ToQString(face));
  font.setPixelSize(size + 3);
  font.setBold(bold);
  painter.setFont(font);
  QColor qcolor = override ? *override : ToQColor(color);
  if (!IsEffectivelyEnabled()) qcolor.setAlpha(qcolor.alpha() / 2);
  painter.setPen(qcolor);
  int flags = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
  flags |= valign == 8 ? Qt::AlignBottom : Qt::AlignVCenter;
  if (valign == 4 || fit) flags |= Qt::TextWordWrap;
  const QRect box = area.adjusted(2, 0, -2, 0);
  const QString qtext = ToQString(text);
  if (fit) {
    // Broken into lines at spaces, then smaller until every line fits the box whole.
    constexpr int kSmallest = 7;
    for (int pixels = font.pixelSize(); pixels > kSmallest; --pixels) {
      const QRect needed = QFontMetrics(font).boundingRect(box, flags, qtext);
      if (needed.width() <= box.width() && needed.height() <= box.height()) break;
      font.setPixelSize(pixels - 1);
    }
    painter.setFont(font);
  }
  painter.drawText(box, flags, qtext);
}

void MControlFont::PaintTitle(QPainter& painter, const QRect& area, const QColor* color) const {
  PaintText(painter, area, GetTitle(), color);
}
