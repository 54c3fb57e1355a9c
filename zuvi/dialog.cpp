// MDialog: controls by class name, background, animation ticks, dragging.
#include "zuvi/dialog.h"

#include <QTimer>
#include <QWindow>

#include "zuvi/control_factory.h"
#include "zuvi/internal.h"
#include "zuvi/manager.h"

using namespace zuvi_internal;

MDialog::MDialog() = default;

MDialog::~MDialog() {
  // While the dialog part still exists, so that the controls' widgets are detached first.
  if (GetSafeHwnd()) MWindow::DestroyWindow();
}

MControl* MDialog::CreateControl(const wchar_t* className, int id, const RECT& rect, const wchar_t* text,
                                 int visible, int enabled, MControl* container) {
  return Make(className, id, rect, text, visible, enabled, container, true);
}

MControl* MDialog::CreateArea(const wchar_t* className, int id, const RECT& rect, const wchar_t* text,
                              int visible, int enabled, MControl* container) {
  return Make(className, id, rect, text, visible, enabled, container, false);
}

MControl* MDialog::Make(const wchar_t* className, int id, const RECT& rect, const wchar_t* text, int visible,
                        int enabled, MControl* container, bool notifies) {
  if (!className) return nullptr;
  std::unique_ptr<MControl> control = CreateControlByName(className);
  if (!control) return nullptr;
  control->Attach(this, id, notifies, container, className);
  control->SetRect(rect);
  control->SetVisible(visible != 0);
  control->SetEnabled(enabled != 0);
  if (text)
    if (auto* font = dynamic_cast<MControlFont*>(control.get())) font->SetTitle(text);
  MControl* result = control.get();
  {
    std::lock_guard guard(controlsLock_);
    controls_.push_back(std::move(control));
  }
  if (WindowImpl* impl = Impl(); impl && impl->widget && Manager::IsUiThread())
    result->MakeWidget(impl->widget);
  return result;
}

MControl* MDialog::GetControl(int id) const {
  std::lock_guard guard(controlsLock_);
  for (const auto& control : controls_)
    if (control->GetID() == id) return control.get();
  return nullptr;
}

std::vector<MControl*> MDialog::Controls() const {
  std::lock_guard guard(controlsLock_);
  std::vector<MControl*> result;
  for (const auto& control : controls_) result.push_back(control.get());
  return result;
}

void MDialog::SetDefaultButtons(int returnId, int escapeId) {
  returnButton_ = returnId;
  escapeButton_ = escapeId;
}

bool MDialog::PressDefaultButton(bool escape) {
  const int id = escape ? escapeButton_ : returnButton_;
  MControl* button = id ? GetControl(id) : nullptr;
  if (!button) return false;
  const RECT r = button->GetRect();
  MouseInput input;
  input.point = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return button->Press(input);
}

void MDialog::SyncContained(MControl* root) {
  for (MControl* control : Controls()) {
    if (control == root) continue;
    for (MControl* c = control->GetContainer(); c; c = c->GetContainer())
      if (c == root) {
        control->UpdateControl();
        break;
      }
  }
}

void MDialog::OnWindowCreated() {
  ApplyLook();
  // Controls made before the window existed get their widgets now.
  for (MControl* control : Controls()) control->MakeWidget(Impl()->widget);
}

void MDialog::OnWindowDestroying() {
  for (MControl* control : Controls()) control->DetachWidget();
  if (mtimer_) {
    static_cast<QTimer*>(mtimer_)->stop();
    mtimer_ = nullptr;  // deleted with the window's widget
  }
}

void MDialog::LoadBKImage(const std::wstring& file) {
  background_ = file;
  ApplyLook();
}

void MDialog::SetLayeredWindow(int layered) {
  layered_ = layered != 0;
  ApplyLook();
}

void MDialog::SetBackMode(int mode, int value) {
  backMode_ = mode;
  backValue_ = value;
  ApplyLook();
}

void MDialog::ApplyLook() {
  WindowWidget* w = Impl()->widget.data();
  if (!w) return;
  w->background = LoadSkinImage(background_);
  w->backMode = backMode_;
  w->backValue = backValue_;
  if (layered_ && w->isWindow()) w->setAttribute(Qt::WA_TranslucentBackground);
  w->update();
}

void MDialog::EnableWndDrag(int enable) { drag_ = enable != 0; }

int MDialog::OnLButtonDown(UINT, POINT) {
  if (drag_) StartSystemMove();
  return 0;
}

LRESULT MDialog::OnWindowMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) StartSystemMove();
  return 0;
}

void MDialog::StartSystemMove() {
  WindowWidget* w = Impl()->widget.data();
  if (!w || !w->isWindow() || !w->windowHandle()) return;
  ++systemMoves_;
  w->windowHandle()->startSystemMove();  // false where the platform refuses; nothing to undo
}

void MDialog::SetMTimer(int milliseconds) {
  mtimerMs_ = milliseconds;
  WindowWidget* w = Impl()->widget.data();
  if (!w) return;
  auto* timer = static_cast<QTimer*>(mtimer_);
  if (!timer) {
    timer = new QTimer(w);
    mtimer_ = timer;
    QObject::connect(timer, &QTimer::timeout, timer, [this] {
      std::vector<MControl*> animated;
      {
        std::lock_guard guard(controlsLock_);
        animated = animated_;
      }
      for (MControl* control : animated) control->OnMTimer();
    });
  }
  if (milliseconds > 0)
    timer->start(milliseconds);
  else
    timer->stop();
}

void MDialog::RegisterAnimated(MControl* control) {
  std::lock_guard guard(controlsLock_);
  for (MControl* c : animated_)
    if (c == control) return;
  animated_.push_back(control);
}

LRESULT MDialog::DeliverNotification(MControl* control, int code, LPARAM param) {
  return OnMessage(control->GetID(), code, param, 0);
}
