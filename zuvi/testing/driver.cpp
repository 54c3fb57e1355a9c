#include "zuvi/testing/driver.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <map>

#include "zuvi/combo.h"
#include "zuvi/control_widget.h"
#include "zuvi/edit.h"
#include "zuvi/internal.h"
#include "zuvi/list_box.h"
#include "zuvi/manager.h"
#include "zuvi/menu.h"

namespace zuvi_testing {

namespace {

std::string Utf8(const std::wstring& text) { return QString::fromStdWString(text).toStdString(); }

std::string WindowName(const MWindow& window) { return "window \"" + Utf8(window.GetWindowText()) + "\""; }

std::string ControlName(const MDialog& window, int id) {
  const MControl* control = window.GetControl(id);
  std::string name = "control " + std::to_string(id);
  if (control) name += " (" + Utf8(control->ClassName()) + ")";
  return name + " of " + WindowName(window);
}

bool Refuse(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "[driver] %s takes no input: %s\n", what.c_str(), why.c_str());
  return false;
}

// Names a widget the way a test reads it: the control or window it belongs to.
std::string WidgetName(QWidget* widget) {
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    auto* root = dynamic_cast<zuvi_internal::WindowWidget*>(w);
    MWindow* window = root ? root->Window() : nullptr;
    if (!window) continue;
    if (auto* dialog = dynamic_cast<MDialog*>(window))
      for (MControl* control : dialog->Controls())
        for (QWidget* c = widget; c && c != w; c = c->parentWidget())
          if (control->GetWidget() == c) return ControlName(*dialog, control->GetID());
    return WindowName(*window);
  }
  return std::string("a ") + widget->metaObject()->className();
}

zuvi_internal::WindowWidget* RootOf(const MWindow& window) {
  return window.Impl() ? window.Impl()->widget.data() : nullptr;
}

// Where the window system hands a mouse event: the top-level window and the point in it.
struct Aim {
  QWindow* window = nullptr;
  QPoint at;
};

// Why Qt would not deliver input to `target` of `window` now, or empty when it would.
std::string Blocked(const MWindow& window, QWidget* target) {
  QWidget* root = RootOf(window);
  if (!root) return "its window does not exist";
  QWidget* top = root->window();
  if (!top->isVisible()) return WindowName(window) + " is not shown";
  if (!target->isVisible()) return "it is hidden";
  if (!target->isEnabled()) return "it is disabled";
  QWindow* handle = top->windowHandle();
  if (!handle) return "its window has no window of the window system";
  QWindow* modal = QGuiApplication::modalWindow();
  if (modal && modal != handle && !modal->isAncestorOf(handle, QWindow::IncludeTransients))
    return "the modal window \"" + modal->title().toStdString() + "\" blocks its window";
  return {};
}

// Checks that a mouse event at window-client `point` of `window` reaches `target` (or a widget
// inside it; with `exact`, `target` itself) and says where to send it.
bool AimAt(const MWindow& window, QWidget* target, POINT point, bool exact, const std::string& what, Aim* aim) {
  // Whatever the event loop would have done before the user's input arrives is done first.
  QCoreApplication::sendPostedEvents();
  if (std::string why = Blocked(window, target); !why.empty()) return Refuse(what, why);
  QWidget* root = RootOf(window);
  QWidget* top = root->window();
  const QPoint at = root->mapTo(top, QPoint(point.x, point.y));
  if (!top->rect().contains(at)) return Refuse(what, "the point lies outside its window");
  QWidget* hit = top->childAt(at);
  if (!hit) hit = top;
  if (hit != target && (exact || !target->isAncestorOf(hit)))
    return Refuse(what, "the point is covered by " + WidgetName(hit));
  *aim = Aim{top->windowHandle(), at};
  return true;
}

void Mouse(QTest::MouseAction action, const Aim& aim, Qt::MouseButton button) {
  QTest::mouseEvent(action, aim.window, button, Qt::NoModifier, aim.at);
}

POINT Middle(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Aims at control `id` of `window` at `point` (its middle when null).
bool AimAtControl(MDialog& window, int id, const POINT* point, Aim* aim) {
  const std::string what = ControlName(window, id);
  MControl* control = window.GetControl(id);
  if (!control) return Refuse(what, "there is no such control");
  QWidget* widget = control->GetWidget();
  if (!widget) return Refuse(what, "it has no widget");
  const RECT r = control->GetRect();
  const POINT p = point ? *point : Middle(r);
  if (p.x < r.left || p.x >= r.right || p.y < r.top || p.y >= r.bottom)
    return Refuse(what, "the point lies outside the control");
  return AimAt(window, widget, p, false, what, aim);
}

// A click on control `id`; true when it reached the control and the control took it (a painted
// control can still refuse it, e.g. when a worker disabled it in between).
bool ClickControl(MDialog& window, int id, const POINT* point, Qt::MouseButton button) {
  Aim aim;
  if (!AimAtControl(window, id, point, &aim)) return false;
  MControl* control = window.GetControl(id);
  const bool painted = dynamic_cast<ControlWidget*>(control->GetWidget()) != nullptr;
  const int taken = control->InputsTaken();
  const HWND hwnd = window.GetSafeHwnd();
  Mouse(QTest::MouseClick, aim, button);
  // A click that ended its window (and maybe the object) was taken; nothing of it is read again.
  if (Manager::FromHandle(hwnd) != &window) return true;
  return !painted || control->InputsTaken() > taken;
}

// The key whose virtual-key code the library reads as `vk`: the inverse of its own table, so that
// the two never disagree (the first Qt key wins, Return before the keypad's Enter).
Qt::Key QtKeyOf(int vk) {
  static const std::map<WPARAM, Qt::Key> keys = [] {
    std::map<WPARAM, Qt::Key> table;
    auto add = [&](int first, int last) {
      for (int key = first; key <= last; ++key)
        if (WPARAM code = zuvi_internal::VirtualKeyOf(key)) table.emplace(code, static_cast<Qt::Key>(key));
    };
    add(0x20, 0x7E);                // printable keys
    add(Qt::Key_Escape, 0x010000FF);  // function and editing keys
    return table;
  }();
  auto it = keys.find(static_cast<WPARAM>(vk));
  return it == keys.end() ? Qt::Key_unknown : it->second;
}

Qt::KeyboardModifiers QtModifiersOf(int modifiers) {
  Qt::KeyboardModifiers result;
  if (modifiers & Driver::kShift) result |= Qt::ShiftModifier;
  if (modifiers & Driver::kControl) result |= Qt::ControlModifier;
  if (modifiers & Driver::kAlt) result |= Qt::AltModifier;
  return result;
}

// One key event through the window system to the focus widget of `window`'s top-level window.
void SendKey(QWidget* widget, bool press, int vk, int modifiers, bool autoRepeat) {
  // Letters and digits carry the character they type.
  QString text;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    text = (modifiers & Driver::kShift) ? QString(QChar(vk)) : QString(QChar(vk)).toLower();
  QTest::simulateEvent(widget->window()->windowHandle(), press, QtKeyOf(vk), QtModifiersOf(modifiers), text,
                       autoRepeat);
}

// A key event that carries `text`, as a keyboard or an input method delivers typed text.
void SendText(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QWindow* handle = widget->window()->windowHandle();
  QTest::simulateEvent(handle, true, key, modifiers, text, false);
  QTest::simulateEvent(handle, false, key, modifiers, text, false);
}

// Gives the window the keyboard focus when none of its widgets has it, as a click on it would.
bool FocusWindow(MWindow& window, const std::string& what) {
  QCoreApplication::sendPostedEvents();
  QWidget* root = RootOf(window);
  if (!root) return Refuse(what, "its window does not exist");
  if (std::string why = Blocked(window, root); !why.empty()) return Refuse(what, why);
  QWidget* focus = root->window()->focusWidget();
  if (focus != root && !root->isAncestorOf(focus)) root->setFocus(Qt::MouseFocusReason);
  return true;
}

// Gives control `id` the keyboard focus (a click on an edit, or the window's keyboard handed to a
// painted control); its widget, or null when it takes no input.
QWidget* FocusControl(MDialog& window, int id) {
  const std::string what = ControlName(window, id);
  Aim aim;
  if (!AimAtControl(window, id, nullptr, &aim)) return nullptr;
  QWidget* widget = window.GetControl(id)->GetWidget();
  if (widget->hasFocus()) return widget;
  if (widget->focusPolicy() & Qt::ClickFocus)
    Mouse(QTest::MouseClick, aim, Qt::LeftButton);
  else
    widget->setFocus(Qt::OtherFocusReason);
  return widget;
}

// Selects all text of the focused line edit and types `text` over it.
void TypeOver(QWidget* edit, const std::wstring& text) {
  SendText(edit, Qt::Key_A, Qt::ControlModifier, QString());
  if (text.empty())
    SendText(edit, Qt::Key_Delete, Qt::NoModifier, QString());
  else
    SendText(edit, Qt::Key_unknown, Qt::NoModifier, QString::fromStdWString(text));
}

bool SelectInCombo(MDialog& window, int id, QComboBox* combo, int index) {
  const std::string what = ControlName(window, id);
  if (index < 0 || index >= combo->count()) return Refuse(what, "it has no item " + std::to_string(index));
  if (!ClickControl(window, id, nullptr, Qt::LeftButton)) return false;
  QAbstractItemView* view = combo->view();
  QWidget* popup = view->window();
  if (!popup->isVisible()) return Refuse(what, "its list did not open");
  const QModelIndex item = combo->model()->index(index, combo->modelColumn(), combo->rootModelIndex());
  view->scrollTo(item);
  const QPoint at = view->viewport()->mapTo(popup, view->visualRect(item).center());
  QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
  if (popup->isVisible()) return Refuse(what, "its list stayed open");
  return combo->currentIndex() == index;
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

bool Driver::Click(MDialog& window, int id) { return ClickControl(window, id, nullptr, Qt::LeftButton); }

bool Driver::RightClick(MDialog& window, int id) { return ClickControl(window, id, nullptr, Qt::RightButton); }

bool Driver::ClickAt(MDialog& window, int id, POINT clientPoint) {
  return ClickControl(window, id, &clientPoint, Qt::LeftButton);
}

bool Driver::RightClickAt(MDialog& window, int id, POINT clientPoint) {
  return ClickControl(window, id, &clientPoint, Qt::RightButton);
}

bool Driver::Select(MDialog& window, int id, int index) {
  MControl* control = window.GetControl(id);
  if (!control) return Refuse(ControlName(window, id), "there is no such control");
  if (auto* combo = qobject_cast<QComboBox*>(control->GetWidget()))
    return SelectInCombo(window, id, combo, index);
  POINT point;
  if (!control->ItemPoint(index, &point))
    return Refuse(ControlName(window, id), "it shows no item " + std::to_string(index));
  return ClickControl(window, id, &point, Qt::LeftButton);
}

bool Driver::DoubleClickRow(MDialog& window, int id, int row) {
  MControl* control = window.GetControl(id);
  POINT point;
  if (!control || !control->ItemPoint(row, &point))
    return Refuse(ControlName(window, id), "it shows no row " + std::to_string(row));
  Aim aim;
  if (!AimAtControl(window, id, &point, &aim)) return false;
  Mouse(QTest::MouseDClick, aim, Qt::LeftButton);
  return true;
}

bool Driver::Drag(MDialog& window, int id, const std::vector<POINT>& points) {
  Aim aim;
  if (points.empty() || !AimAtControl(window, id, &points.front(), &aim)) return false;
  if (!window.GetControl(id)->TakesDrag()) return Refuse(ControlName(window, id), "it takes no drag");
  QWidget* root = RootOf(window);
  auto at = [&](POINT p) { return root->mapTo(root->window(), QPoint(p.x, p.y)); };
  QTest::mousePress(aim.window, Qt::LeftButton, Qt::NoModifier, aim.at);
  for (size_t i = 1; i + 1 < points.size(); ++i) QTest::mouseMove(aim.window, at(points[i]));
  QTest::mouseRelease(aim.window, Qt::LeftButton, Qt::NoModifier, at(points.back()));
  return true;
}

bool Driver::Type(MDialog& window, int id, const std::wstring& text) {
  auto* edit = dynamic_cast<MEdit*>(window.GetControl(id));
  if (!edit) return Refuse(ControlName(window, id), "it is not an edit");
  QWidget* widget = FocusControl(window, id);
  if (!widget) return false;
  const std::wstring before = edit->GetTitle();
  TypeOver(widget, text);
  return edit->GetTitle() != before;
}

bool Driver::FinishEdit(MDialog& window, int id, const std::wstring& text) {
  MControl* control = window.GetControl(id);
  if (auto* list = dynamic_cast<QelListBox*>(control)) {
    QCoreApplication::sendPostedEvents();
    auto* editor = list->Editor();
    if (!list->IsEditing() || !editor) return Refuse(ControlName(window, id), "no row is being edited");
    if (std::string why = Blocked(window, editor); !why.empty()) return Refuse(ControlName(window, id), why);
    if (!editor->hasFocus()) editor->setFocus(Qt::MouseFocusReason);
    TypeOver(editor, text);
    SendText(editor, Qt::Key_Return, Qt::NoModifier, QString());
    return !list->IsEditing();
  }
  if (!dynamic_cast<MEdit*>(control)) return Refuse(ControlName(window, id), "it is not an edit");
  QWidget* widget = FocusControl(window, id);
  if (!widget) return false;
  // The focus goes to the window, as a click on a free part of it takes it.
  RootOf(window)->setFocus(Qt::MouseFocusReason);
  return true;
}

bool Driver::Focus(MDialog& window, int id) {
  if (!dynamic_cast<MEdit*>(window.GetControl(id))) return Refuse(ControlName(window, id), "it is not an edit");
  return FocusControl(window, id) != nullptr;
}

bool Driver::ClickWindow(MWindow& window, POINT point) {
  QWidget* root = RootOf(window);
  if (!root) return Refuse(WindowName(window), "it does not exist");
  Aim aim;
  if (!AimAt(window, root, point, true, "the free area of " + WindowName(window), &aim)) return false;
  Mouse(QTest::MouseClick, aim, Qt::LeftButton);
  return true;
}

bool Driver::PressKey(MWindow& window, int virtualKey) {
  return KeyDown(window, virtualKey) && KeyUp(window, virtualKey);
}

bool Driver::KeyDown(MWindow& window, int virtualKey, int modifiers, bool autoRepeat) {
  if (!FocusWindow(window, WindowName(window))) return false;
  SendKey(RootOf(window), true, virtualKey, modifiers, autoRepeat);
  return true;
}

bool Driver::KeyUp(MWindow& window, int virtualKey, int modifiers, bool autoRepeat) {
  if (!FocusWindow(window, WindowName(window))) return false;
  SendKey(RootOf(window), false, virtualKey, modifiers, autoRepeat);
  return true;
}

bool Driver::KeyDownOn(MDialog& window, int id, int virtualKey, int modifiers, bool autoRepeat) {
  QWidget* widget = FocusControl(window, id);
  if (widget) SendKey(widget, true, virtualKey, modifiers, autoRepeat);
  return widget != nullptr;
}

bool Driver::KeyUpOn(MDialog& window, int id, int virtualKey, int modifiers, bool autoRepeat) {
  QWidget* widget = FocusControl(window, id);
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
