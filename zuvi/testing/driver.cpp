#include "zuvi/testing/driver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>

#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/image_view_list.h"
#include "zuvi/internal.h"
#include "zuvi/key_func_control.h"
#include "zuvi/list_box.h"
#include "zuvi/manager.h"
#include "zuvi/menu.h"
#include "zuvi/range_controls.h"
#include "zuvi/tab.h"

namespace zuvi_testing {

namespace {

bool PressAtCentre(MDialog& window, int id, MouseInput::Button button) {
  MControl* control = window.GetControl(id);
  if (!control) return false;
  RECT r = control->GetRect();
  MouseInput input;
  input.button = button;
  input.point = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return control->Press(input);
}

bool PressAt(MDialog& window, int id, POINT point, MouseInput::Button button) {
  MControl* control = window.GetControl(id);
  if (!control) return false;
  RECT r = control->GetRect();
  if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) return false;
  MouseInput input;
  input.button = button;
  input.point = point;
  return control->Press(input);
}

Qt::Key QtKeyOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<Qt::Key>(Qt::Key_A + (vk - 'A'));
  if (vk >= '0' && vk <= '9') return static_cast<Qt::Key>(Qt::Key_0 + (vk - '0'));
  switch (vk) {
    case 13:
      return Qt::Key_Return;
    case 27:
      return Qt::Key_Escape;
    case 32:
      return Qt::Key_Space;
    default:
      return Qt::Key_unknown;
  }
}

Qt::KeyboardModifiers QtModifiersOf(int modifiers) {
  Qt::KeyboardModifiers result;
  if (modifiers & Driver::kShift) result |= Qt::ShiftModifier;
  if (modifiers & Driver::kControl) result |= Qt::ControlModifier;
  if (modifiers & Driver::kAlt) result |= Qt::AltModifier;
  return result;
}

void SendKey(QWidget* widget, bool press, int vk, int modifiers, bool autoRepeat) {
  // Letters and digits carry the character they type.
  QString text;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    text = (modifiers & Driver::kShift) ? QString(QChar(vk)) : QString(QChar(vk)).toLower();
  QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, QtKeyOf(vk), QtModifiersOf(modifiers), text,
                  autoRepeat);
  QCoreApplication::sendEvent(widget, &event);
}

QWidget* WindowWidgetOf(MWindow& window) { return window.Impl() ? window.Impl()->widget.data() : nullptr; }

QWidget* ControlWidgetOf(MDialog& window, int id) {
  MControl* control = window.GetControl(id);
  return control ? control->GetWidget() : nullptr;
}

}  // namespace

Driver::Driver(int watchdogMs) {
  Manager::Startup();
  Manager::SetModalWatchdog(watchdogMs, [](const std::string& description) { ADD_FAILURE() << description; });
  Manager::SetModalHook([this](MWindow& window) {
    if (modalAnswers_.empty()) return;
    auto answer = std::move(modalAnswers_.front());
    modalAnswers_.pop_front();
    if (auto* dialog = dynamic_cast<MDialog*>(&window))
      answer(*dialog);
    else
      ADD_FAILURE() << "the modal window is not a dialog";
  });
  MenuWnd::SetChooser([this](const std::vector<MenuWnd::Item>&) {
    if (menuAnswers_.empty()) {
      ADD_FAILURE() << "a menu opened that the test did not expect";
      return 0;
    }
    int id = menuAnswers_.front();
    menuAnswers_.pop_front();
    return id;
  });
  platform::SetDialogsOverride(&dialogs_);
}

Driver::~Driver() {
  Manager::SetModalWatchdog(0, nullptr);
  Manager::SetModalHook(nullptr);
  MenuWnd::SetChooser(nullptr);
  platform::SetDialogsOverride(nullptr);
  EXPECT_TRUE(modalAnswers_.empty()) << modalAnswers_.size() << " prompt answer(s) were not used";
  EXPECT_TRUE(menuAnswers_.empty()) << menuAnswers_.size() << " menu answer(s) were not used";
  EXPECT_TRUE(dialogs_.answers.empty()) << dialogs_.answers.size() << " file dialog answer(s) were not used";
  // Windows destroyed by the test leave their widgets for the event loop to delete.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool Driver::Click(MDialog& window, int id) { return PressAtCentre(window, id, MouseInput::Left); }

bool Driver::RightClick(MDialog& window, int id) { return PressAtCentre(window, id, MouseInput::Right); }

bool Driver::ClickAt(MDialog& window, int id, POINT clientPoint) {
  return PressAt(window, id, clientPoint, MouseInput::Left);
}

bool Driver::RightClickAt(MDialog& window, int id, POINT clientPoint) {
  return PressAt(window, id, clientPoint, MouseInput::Right);
}

bool Driver::Select(MDialog& window, int id, int index) {
  MControl* control = window.GetControl(id);
  if (auto* combo = dynamic_cast<MComboBox*>(control)) return combo->UserSelect(index);
  if (auto* list = dynamic_cast<QelListBox*>(control)) return list->UserClickRow(index);
  if (auto* frames = dynamic_cast<ImageViewList*>(control)) return frames->UserClickItem(index);
  if (auto* tab = dynamic_cast<MTabCtrl*>(control)) return tab->UserSelect(index);
  if (auto* slider = dynamic_cast<MSlider*>(control)) return slider->UserMove(index);
  if (auto* chooser = dynamic_cast<KeyFuncControl*>(control)) return chooser->UserPick(index);
  return false;
}

bool Driver::DoubleClickRow(MDialog& window, int id, int row) {
  MControl* control = window.GetControl(id);
  if (auto* frames = dynamic_cast<ImageViewList*>(control)) return frames->UserDoubleClickItem(row);
  auto* list = dynamic_cast<QelListBox*>(control);
  return list && list->UserDoubleClickRow(row);
}

bool Driver::Drag(MDialog& window, int id, const std::vector<POINT>& points) {
  MControl* control = window.GetControl(id);
  if (!control || points.empty() || !control->DragBegin(points.front())) return false;
  for (size_t i = 1; i + 1 < points.size(); ++i) control->DragMove(points[i]);
  return control->DragEnd(points.back());
}

bool Driver::Type(MDialog& window, int id, const std::wstring& text) {
  auto* edit = dynamic_cast<MEdit*>(window.GetControl(id));
  return edit && edit->UserInput(text);
}

bool Driver::FinishEdit(MDialog& window, int id, const std::wstring& text) {
  MControl* control = window.GetControl(id);
  if (auto* list = dynamic_cast<QelListBox*>(control)) return list->UserFinishEdit(text);
  auto* edit = dynamic_cast<MEdit*>(control);
  if (!edit || !edit->IsEffectivelyEnabled()) return false;
  edit->UserFinish();
  return true;
}

bool Driver::Focus(MDialog& window, int id) {
  auto* edit = dynamic_cast<MEdit*>(window.GetControl(id));
  return edit && edit->UserFocus();
}

void Driver::ClickWindow(MWindow& window, POINT point) {
  QWidget* widget = window.Impl() ? window.Impl()->widget.data() : nullptr;
  if (!widget) return;
  QPointF at(point.x, point.y);
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
}

void Driver::PressKey(MWindow& window, int virtualKey) {
  KeyDown(window, virtualKey);
  KeyUp(window, virtualKey);
}

void Driver::KeyDown(MWindow& window, int virtualKey, int modifiers, bool autoRepeat) {
  if (QWidget* widget = WindowWidgetOf(window)) SendKey(widget, true, virtualKey, modifiers, autoRepeat);
}

void Driver::KeyUp(MWindow& window, int virtualKey, int modifiers, bool autoRepeat) {
  if (QWidget* widget = WindowWidgetOf(window)) SendKey(widget, false, virtualKey, modifiers, autoRepeat);
}

bool Driver::KeyDownOn(MDialog& window, int id, int virtualKey, int modifiers, bool autoRepeat) {
  QWidget* widget = ControlWidgetOf(window, id);
  if (widget) SendKey(widget, true, virtualKey, modifiers, autoRepeat);
  return widget != nullptr;
}

bool Driver::KeyUpOn(MDialog& window, int id, int virtualKey, int modifiers, bool autoRepeat) {
  QWidget* widget = ControlWidgetOf(window, id);
  if (widget) SendKey(widget, false, virtualKey, modifiers, autoRepeat);
  return widget != nullptr;
}

void Driver::AnswerNextModal(std::function<void(MDialog&)> answer) {
  modalAnswers_.push_back(std::move(answer));
}

void Driver::ClickInNextModal(int id) {
  AnswerNextModal([id](MDialog& window) {
    EXPECT_TRUE(Click(window, id)) << "control " << id << " of the modal window took no click";
  });
}

void Driver::AnswerNextMenu(int id) { menuAnswers_.push_back(id); }

void Driver::AnswerNextFileDialog(std::vector<std::wstring> paths) {
  dialogs_.answers.push_back(std::move(paths));
}

void Driver::RunFor(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool Driver::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

bool Driver::FireTimer(MWindow& window, UINT id) {
  if (!window.IsTimerActive(id)) return false;
  window.OnTimer(id);
  return true;
}

}  // namespace zuvi_testing
