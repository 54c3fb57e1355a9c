// The test driver: clicks, selects, types, presses keys and answers prompts, menus and file
// dialogs the way a user would, through the event path of the window system. Every wait is bounded: a modal loop that is still running after
// the watchdog time fails the current test with a description of the open windows and ends.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/dialogs.h"
#include "zuvi/dialog.h"

namespace zuvi_testing {

class Driver {
 public:
  // Starts the UI library on this thread and installs the hooks. `watchdogMs` bounds each modal
  // loop.
  explicit Driver(int watchdogMs = 3000);
  // Removes the hooks; answers still queued fail the test (they were expected to be used).
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Every input goes through Qt's own event path, as the window system hands it on: mouse events
  // to the top-level window at the control's middle (or the given window-client point), where Qt
  // gives them to the widget under the point; key events to the window that holds the widget.
  // A call is false, with a line on stderr naming the control and the reason, when Qt would not
  // deliver the input there: no such control, its window is not shown or is blocked by a modal
  // window, the control or a container is hidden or disabled, another widget covers the point.

  // A click or a right click in the middle of control `id` of `window`.
  static bool Click(MDialog& window, int id);
  static bool RightClick(MDialog& window, int id);
  // A click or a right click at window-client point `clientPoint` on control `id` (a key of a
  // keyboard view, an item of a chooser); false as well when the point lies outside the control.
  static bool ClickAt(MDialog& window, int id, POINT clientPoint);
  static bool RightClickAt(MDialog& window, int id, POINT clientPoint);
  // Picks item `index` of a combo box (its list is opened and the item clicked), a list box (row),
  // a frame list, a tab control, a key-function chooser (scrolled to it) or a slider (the position).
  static bool Select(MDialog& window, int id, int index);
  // A double click on row `row` of a list box or on item `row` of a frame list.
  static bool DoubleClickRow(MDialog& window, int id, int row);
  // A drag with the left button on control `id` through window-client `points`: pressed at the
  // first, moved through the others, released at the last. False when the press does not reach
  // the control or the control takes no drag.
  static bool Drag(MDialog& window, int id, const std::vector<POINT>& points);
  // Clicks into an edit, selects its text and types `text` over it (filtered as the user's typing
  // is). False as well when the edit's text did not change (read-only, capture field, same text).
  static bool Type(MDialog& window, int id, const std::wstring& text);
  // Leaves an edit (the focus moves to the window), or types `text` into a list's in-place editor
  // and presses Return.
  static bool FinishEdit(MDialog& window, int id, const std::wstring& text = L"");
  // The user clicks into edit `id`, which takes the focus (code 30 when it did not have it).
  static bool Focus(MDialog& window, int id);
  // A left click on a free part of the window, at client point `point`.
  static bool ClickWindow(MWindow& window, POINT point);
  // A key pressed and released in the window (virtual-key code); the window takes the focus first
  // when none of its widgets has it.
  static bool PressKey(MWindow& window, int virtualKey);
  // One press or one release of a key: to the window (as above), or to the widget of control `id`
  // after it took the focus. `modifiers` is a mix of kShift, kControl and kAlt; `autoRepeat` marks
  // the events of a key held down.
  enum Modifier { kShift = 1, kControl = 2, kAlt = 4 };
  static bool KeyDown(MWindow& window, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static bool KeyUp(MWindow& window, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static bool KeyDownOn(MDialog& window, int id, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static bool KeyUpOn(MDialog& window, int id, int virtualKey, int modifiers = 0, bool autoRepeat = false);

  // The next modal loop that starts is handed to `answer` once its window is shown and modal
  // (e.g. a click on a prompt's button). Answers are used in order.
  void AnswerNextModal(std::function<void(MDialog&)> answer);
  // Clicks control `id` of the next modal window.
  void ClickInNextModal(int id);
  // The next popup menu chooses item `id` (0 dismisses it).
  void AnswerNextMenu(int id);
  // The next file dialog answers with `paths` (empty: cancelled).
  void AnswerNextFileDialog(std::vector<std::wstring> paths);
  platform::ScriptedDialogs& Dialogs() { return dialogs_; }

  // Lets the UI thread run for `milliseconds` (timers, posted messages, queued updates).
  static void RunFor(int milliseconds);
  // Runs the UI thread until `done` holds or `timeoutMs` passed; returns `done()`.
  static bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000);
  // Runs the window's timer `id` once, as if it had fired; false when it is not running.
  static bool FireTimer(MWindow& window, UINT id);

 private:
  std::deque<std::function<void(MDialog&)>> modalAnswers_;
  std::deque<int> menuAnswers_;
  platform::ScriptedDialogs dialogs_;
};

}  // namespace zuvi_testing
