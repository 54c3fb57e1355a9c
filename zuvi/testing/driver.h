// The test driver: clicks, selects, types, presses keys and answers prompts, menus and file
// dialogs the way a user would. Every wait is bounded: a modal loop that is still running after
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

  // Input to control `id` of `window` (its first control with that id). False when there is no
  // such control or it took no input (hidden, disabled, wrong kind).
  static bool Click(MDialog& window, int id);
  static bool RightClick(MDialog& window, int id);
  // A click or a right click at window-client point `clientPoint` on control `id` (a key of a
  // keyboard view, an item of a chooser). False when the control does not exist, took no input
  // or the point lies outside it.
  static bool ClickAt(MDialog& window, int id, POINT clientPoint);
  static bool RightClickAt(MDialog& window, int id, POINT clientPoint);
  // Picks item `index` of a combo box, a list box (row), a frame list, a tab control or a key-function
  // chooser.
  static bool Select(MDialog& window, int id, int index);
  // A double click on row `row` of a list box or on item `row` of a frame list.
  static bool DoubleClickRow(MDialog& window, int id, int row);
  // A drag with the left button on control `id` through window-client `points`: pressed at the
  // first, moved through the others, released at the last. False when there is no such control,
  // no point, or the control took no drag.
  static bool Drag(MDialog& window, int id, const std::vector<POINT>& points);
  // Types `text` into an edit as its new content (filtered as the user's typing is).
  static bool Type(MDialog& window, int id, const std::wstring& text);
  // Leaves an edit (focus lost) or closes a list's in-place editor with `text`.
  static bool FinishEdit(MDialog& window, int id, const std::wstring& text = L"");
  // The user puts the focus into edit `id` (code 30); false when it takes no input.
  static bool Focus(MDialog& window, int id);
  // A left click on a free part of the window, at client point `point`.
  static void ClickWindow(MWindow& window, POINT point);
  // A key pressed and released in the window (virtual-key code).
  static void PressKey(MWindow& window, int virtualKey);
  // One press or one release of a key, as the window system delivers it: to the window itself, or
  // to the widget of control `id` as if it had the focus. `modifiers` is a mix of kShift, kControl
  // and kAlt; `autoRepeat` marks the events of a key held down. The control forms are false when
  // the control does not exist or has no widget yet.
  enum Modifier { kShift = 1, kControl = 2, kAlt = 4 };
  static void KeyDown(MWindow& window, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static void KeyUp(MWindow& window, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static bool KeyDownOn(MDialog& window, int id, int virtualKey, int modifiers = 0, bool autoRepeat = false);
  static bool KeyUpOn(MDialog& window, int id, int virtualKey, int modifiers = 0, bool autoRepeat = false);

  // The next modal loop that starts is handed to `answer` once it runs (e.g. a click on a
  // prompt's button). Answers are used in order.
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
  static bool RunUntil(const std::function<bool()>& done, int timeoutMs = 2000);
  // Runs the window's timer `id` once, as if it had fired; false when it is not running.
  static bool FireTimer(MWindow& window, UINT id);

 private:
  std::deque<std::function<void(MDialog&)>> modalAnswers_;
  std::deque<int> menuAnswers_;
  platform::ScriptedDialogs dialogs_;
};

}  // namespace zuvi_testing
