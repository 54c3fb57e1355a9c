// MWindow on a Qt widget: creation order, modal loops, timers, showing and moving.
#include "zuvi/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "zuvi/dialog.h"
#include "zuvi/internal.h"
#include "zuvi/manager.h"

using namespace zuvi_internal;

namespace zuvi_internal {

WindowWidget::WindowWidget(MWindow* window, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), window_(window) {
  setFocusPolicy(Qt::StrongFocus);
}

void WindowWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (backMode == 1 && backValue > 0) {
    // Rounded corners for layered prompt windows.
    QPainterPath path;
    path.addRoundedRect(rect(), backValue / 3.0, backValue / 3.0);
    painter.setClipPath(path);
  }
  // Without a skin every window, child windows too, paints a plain dark face of its own.
  if (!background.isNull())
    painter.drawImage(rect(), background);
  else
    painter.fillRect(rect(), QColor(0x20, 0x22, 0x25));
}

void WindowWidget::mousePressEvent(QMouseEvent* event) {
  if (window_ && event->button() == Qt::LeftButton && window_->IsWindowEnabled()) {
    QPoint p = event->position().toPoint();
    window_->OnLButtonDown(0, POINT{p.x(), p.y()});
  }
}

bool RouteKeyEvent(QObject* receiver, QEvent* event) {
  const bool press = event->type() == QEvent::KeyPress;
  if (!press && event->type() != QEvent::KeyRelease) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (!press && key->isAutoRepeat()) return false;  // a held key is released once
  WindowWidget* root = nullptr;
  for (QObject* o = receiver; o && !root; o = o->parent()) {
    root = dynamic_cast<WindowWidget*>(o);
    if (!root && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) break;  // a window of Qt's own
  }
  MWindow* window = root ? root->Window() : nullptr;
  if (!window) return false;
  const bool alt = key->modifiers().testFlag(Qt::AltModifier);
  const UINT message = alt ? (press ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (press ? WM_KEYDOWN : WM_KEYUP);
  MSG msg{window->GetSafeHwnd(), message, VirtualKeyOf(key->key()), 0};
  return window->PreTranslateMessage(&msg) != 0;
}

void WindowWidget::resizeEvent(QResizeEvent*) {
  if (window_ && size() != laidOut) {
    window_->OnSize(width(), height());
    window_->Relayout();
  }
}

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  // Return and Escape that no control took press the dialog's default buttons.
  const int key = event->key();
  const bool escape = key == Qt::Key_Escape;
  auto* dialog = dynamic_cast<MDialog*>(window_);
  if (dialog && !event->isAutoRepeat() && (escape || key == Qt::Key_Return || key == Qt::Key_Enter) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && dialog->IsWindowEnabled() && dialog->PressDefaultButton(escape)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  // The window manager's close button: the window decides through WM_CLOSE, as on Windows.
  event->ignore();
  if (window_) PostMessage(window_->GetSafeHwnd(), WM_CLOSE, 0, 0);
}

WPARAM VirtualKeyOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<WPARAM>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<WPARAM>('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<WPARAM>(0x70 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Delete:
      return 46;
    default:
      return 0;
  }
}

}  // namespace zuvi_internal

MWindow::MWindow() : impl_(std::make_unique<WindowImpl>()) {}

MWindow::~MWindow() {
  if (hwnd_) DestroyNow();
}

bool MWindow::Create(HWND parent, const wchar_t* name, std::uint32_t style, std::uint32_t exStyle,
                     const RECT& rect) {
  Manager::Startup();
  if (hwnd_ || !Manager::IsUiThread()) return false;
  MWindow* parentWindow = nullptr;
  if (parent) {
    parentWindow = Manager::FromHandle(parent);
    if (!parentWindow) return false;
  }
  bool child = (style & WS_CHILD) != 0;
  if (child && !parentWindow) return false;
  name_ = name ? name : L"";
  style_ = style;
  exStyle_ = exStyle;
  parent_ = parent;
  rect_ = rect;
  topmost_ = (exStyle & WS_EX_TOPMOST) != 0;

  QWidget* parentWidget = parentWindow ? parentWindow->impl_->widget.data() : nullptr;
  Qt::WindowFlags flags = Qt::Widget;
  if (!child) {
    flags = Qt::Window;
    if (style & WS_POPUP) flags |= Qt::FramelessWindowHint;
    if (exStyle & WS_EX_TOOLWINDOW) flags |= Qt::Tool;
    if (topmost_) flags |= Qt::WindowStaysOnTopHint;
  }
  auto* widget = new WindowWidget(this, parentWidget, flags);
  widget->setWindowTitle(ToQString(name_));
  widget->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
  impl_->widget = widget;
  hwnd_ = RegisterWindow(this);

  OnCreate();
  OnWindowCreated();
  RECT client = GetClientRect();
  InitUI(client);
  widget->laidOut = widget->size();
  UISize(client);
  if (style & WS_VISIBLE) ShowWindow(SW_SHOW);
  OnInitDialog();
  return true;
}

RECT MWindow::GetClientRect() const {
  QWidget* w = impl_->widget.data();
  if (w) return RECT{0, 0, w->width(), w->height()};
  return RECT{0, 0, rect_.Width(), rect_.Height()};
}

RECT MWindow::GetWindowRect() const {
  QWidget* w = impl_->widget.data();
  if (!w) return rect_;
  QRect g = w->geometry();
  return RECT{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

void MWindow::Relayout() {
  if (WindowWidget* w = impl_->widget.data()) w->laidOut = w->size();
  UISize(GetClientRect());
}

bool MWindow::IsWindowVisible() const {
  if (!hwnd_ || !visible_) return false;
  if (style_ & WS_CHILD) {
    MWindow* parent = Manager::FromHandle(parent_);
    return parent && parent->IsWindowVisible();
  }
  return true;
}

bool MWindow::IsWindowEnabled() const { return hwnd_ && enabled_; }

void MWindow::EnableWindow(bool enable) {
  enabled_ = enable;
  RunOnUiThread([this, hwnd = hwnd_, enable] {
    if (Manager::FromHandle(hwnd) == this && impl_->widget) impl_->widget->setEnabled(enable);
  });
}

bool MWindow::ShowWindow(int command) {
  if (!hwnd_) return false;
  bool wasVisible = visible_;
  visible_ = command != SW_HIDE;
  if (command != SW_HIDE) MoveToFront(hwnd_);
  RunOnUiThread([this, hwnd = hwnd_, command] {
    if (Manager::FromHandle(hwnd) == this) ApplyShow(command);
  });
  return wasVisible;
}

void MWindow::ApplyShow(int command) {
  QWidget* w = impl_->widget.data();
  if (!w) return;
  switch (command) {
    case SW_HIDE:
      w->hide();
      if (!impl_->loop) w->setWindowModality(Qt::NonModal);  // the loop that made it modal is over
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
      w->showMinimized();
      break;
    case SW_SHOWMAXIMIZED:
      w->showMaximized();
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      if (w->isWindow() && (w->isMinimized() || w->isMaximized()))
        w->showNormal();
      else
        w->show();
      break;
    default:
      w->show();
      break;
  }
}

void MWindow::CenterWindow(HWND reference) {
  QWidget* w = impl_->widget.data();
  if (!w) return;
  QRect area;
  MWindow* ref = reference ? Manager::FromHandle(reference) : nullptr;
  if (!w->isWindow()) {
    area = w->parentWidget()->rect();
  } else if (ref && ref->impl_->widget) {
    area = ref->impl_->widget->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
}

bool MWindow::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  QWidget* w = impl_->widget.data();
  if (!w) return false;
  if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    topmost_ = insertAfter == HWND_TOPMOST;
    if (w->isWindow()) {
      bool shown = w->isVisible();
      w->setWindowFlag(Qt::WindowStaysOnTopHint, topmost_);
      if (shown) w->show();  // changing window flags hides a top-level widget
    }
  }
  if (!(flags & SWP_NOMOVE)) w->move(x, y);
  if (!(flags & SWP_NOSIZE)) w->resize(cx, cy);
  if (flags & SWP_SHOWWINDOW) ShowWindow(SW_SHOW);
  return true;
}

bool MWindow::MoveWindow(int x, int y, int width, int height, bool repaint) {
  QWidget* w = impl_->widget.data();
  if (!w) return false;
  w->setGeometry(x, y, width, height);
  if (repaint) w->update();
  return true;
}

bool MWindow::IsZoomed() const {
  QWidget* w = impl_->widget.data();
  return w && w->isMaximized();
}

void MWindow::Minimize() {
  if (QWidget* w = impl_->widget.data()) w->showMinimized();
}

void MWindow::ToggleMaximize() {
  QWidget* w = impl_->widget.data();
  if (!w) return;
  if (w->isMaximized())
    w->showNormal();
  else
    w->showMaximized();
}

void MWindow::BringToFront() {
  QWidget* w = impl_->widget.data();
  if (!w) return;
  visible_ = true;
  MoveToFront(hwnd_);
  if (w->isMinimized()) w->showNormal();
  w->show();
  w->raise();
  w->activateWindow();
}

void MWindow::SetIcon(const std::wstring& file) {
  impl_->iconFile = ToQString(file);
  QImage icon = LoadSkinImage(file);
  if (QWidget* w = impl_->widget.data(); w && !icon.isNull())
    w->setWindowIcon(QIcon(QPixmap::fromImage(icon)));
}

void MWindow::SetProp(const std::wstring& name, std::intptr_t value) {
  std::lock_guard guard(impl_->propsLock);
  impl_->props[name] = value;
}

std::intptr_t MWindow::GetProp(const std::wstring& name) const {
  std::lock_guard guard(impl_->propsLock);
  auto it = impl_->props.find(name);
  return it == impl_->props.end() ? 0 : it->second;
}

bool MWindow::SetTimer(UINT id, UINT milliseconds) {
  if (!hwnd_) return false;
  RunOnUiThread([this, hwnd = hwnd_, id, milliseconds] {
    if (Manager::FromHandle(hwnd) != this) return;
    QTimer*& timer = impl_->timers[id];
    if (!timer) {
      timer = new QTimer(impl_->widget.data());
      QObject::connect(timer, &QTimer::timeout, timer, [this, id] { OnTimer(id); });
    }
    timer->start(static_cast<int>(milliseconds));
  });
  return true;
}

bool MWindow::KillTimer(UINT id) {
  if (!hwnd_) return false;
  RunOnUiThread([this, hwnd = hwnd_, id] {
    if (Manager::FromHandle(hwnd) != this) return;
    auto it = impl_->timers.find(id);
    if (it != impl_->timers.end()) it->second->stop();
  });
  return true;
}

bool MWindow::IsTimerActive(UINT id) const {
  auto it = impl_->timers.find(id);
  return it != impl_->timers.end() && it->second->isActive();
}

LRESULT MWindow::OnWindowMessage(UINT, WPARAM, LPARAM) { return 0; }

int MWindow::PreTranslateMessage(MSG*) { return 0; }

void MWindow::EndModal(int code) {
  endCode_ = code;
  HWND hwnd = hwnd_;
  RunOnUiThread([this, hwnd] {
    // An end that a ShowModal already took (it came before that loop started) is spent: it must
    // not end a later loop of this window.
    if (Manager::FromHandle(hwnd) == this && impl_->loop && endCode_.load() >= 0) impl_->loop->exit(0);
  });
}

namespace {

// Modal loops running now; UI thread.
int g_runningLoops = 0;

// Qt's window modality can only change while the window is hidden.
void SetModality(QWidget* w, Qt::WindowModality modality) {
  if (w->windowModality() == modality) return;
  const bool shown = w->isVisible();
  if (shown) w->hide();
  w->setWindowModality(modality);
  if (shown) w->show();
}

}  // namespace

int MWindow::ShowModal(int showCommand) {
  if (!hwnd_ || !Manager::IsUiThread() || impl_->loop) return 0;
  HWND hwnd = hwnd_;
  // A popup takes the input away from every other window while it runs and keeps it: Qt blocks
  // the others (disabling the owner's widget would disable the popup inside it as well). Its
  // owner's top-level window also reads as disabled, as on Windows. An ownerless popup whose
  // loop is the only one is the program's main window: it has nothing to take the input from, and
  // blocking the others would shut out the tray icon's own window (its menu holds Exit).
  MWindow* owner = nullptr;
  bool blocksOthers = false;
  if (!(style_ & WS_CHILD)) {
    owner = Manager::FromHandle(parent_);
    while (owner && (owner->style_ & WS_CHILD)) owner = Manager::FromHandle(owner->parent_);
    blocksOthers = owner || g_runningLoops > 0;
  }
  if (QWidget* w = impl_->widget.data(); blocksOthers && w) SetModality(w, Qt::ApplicationModal);
  HWND ownerHwnd = owner ? owner->hwnd_ : nullptr;
  bool ownerWasEnabled = owner && owner->enabled_.exchange(false);
  ShowWindow(showCommand);
  if (QWidget* w = impl_->widget.data(); blocksOthers && w && w->isVisible()) {
    w->raise();
    w->activateWindow();
  }

  int stalled = 0;
  if (endCode_ < 0 && !Manager::QuitRequested()) {
    QEventLoop loop;
    impl_->loop = &loop;
    inModal_ = true;
    SetModalState(this, true);
    BeforeModalLoop(*this, loop, &stalled);
    ++g_runningLoops;
    if (endCode_ < 0) loop.exec();  // an end posted meanwhile exits it at its first turn
    --g_runningLoops;
    if (Manager::FromHandle(hwnd) == this) {
      impl_->loop = nullptr;
      SetModalState(this, false);
    }
    inModal_ = false;
  }
  // A window that ended its loop is usually destroyed at once: it stops blocking the others when
  // it is hidden (showing it anew for the change would flash it on the screen).
  if (QWidget* w = impl_->widget.data(); blocksOthers && w && Manager::FromHandle(hwnd) == this && !w->isVisible())
    w->setWindowModality(Qt::NonModal);
  if (ownerWasEnabled && Manager::FromHandle(ownerHwnd) == owner) owner->enabled_ = true;
  if (Manager::FromHandle(hwnd) != this || stalled) {
    endCode_ = -1;
    return 0;
  }
  int code = endCode_.exchange(-1);
  return code < 0 ? 0 : code;
}

bool MWindow::DestroyWindow() {
  if (!hwnd_) return false;
  DestroyNow();
  return true;
}

void MWindow::DestroyNow() {
  OnDestroy();
  // Windows that this one parents or owns go first, through their own slot.
  for (HWND other : Manager::Windows()) {
    MWindow* window = Manager::FromHandle(other);
    if (window && window != this && window->parent_ == hwnd_) window->DestroyWindow();
  }
  OnWindowDestroying();
  for (auto& [id, timer] : impl_->timers) timer->stop();
  impl_->timers.clear();  // deleted with the widget
  UnregisterWindow(hwnd_);
  hwnd_ = nullptr;
  visible_ = false;
  if (impl_->loop) {
    impl_->loop->exit(0);
    impl_->loop = nullptr;
  }
  if (WindowWidget* w = impl_->widget.data()) {
    w->Detach();
    w->hide();
    w->setParent(nullptr);
    w->deleteLater();
  }
  impl_->widget = nullptr;
}

bool MWindow::RenderToPng(const std::string& file) const {
  QWidget* w = impl_->widget.data();
  if (!w) return false;
  QImage image(w->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image.save(QString::fromStdString(file), "PNG");
}
