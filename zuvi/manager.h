// The library's process-wide services: the UI thread, the skin, window handles and window
// messages. Every window and control lives on the one UI thread that called Manager::Startup.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zuvi/types.h"

class MWindow;

class Manager {
 public:
  // Records the program's instance handle (kept only to be handed back by GetInstance).
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();

  // The skin folder's name under "<program folder>skins/"; "default" until SetTheme.
  static std::wstring GetTheme();
  static void SetTheme(const std::wstring& theme);
  // "<program folder>skins/<theme>/".
  static std::wstring GetSkinDir();

  // Starts the Qt application when none exists; the calling thread becomes the UI thread.
  // Safe to call again. Without a display, set QT_QPA_PLATFORM=offscreen first.
  static void Startup();
  static bool IsUiThread();

  // The live window of a handle, or null for a destroyed or unknown handle. UI thread only.
  static MWindow* FromHandle(HWND hwnd);
  // True while the handle names a live window; any thread.
  static bool IsWindow(HWND hwnd);
  // The first live window (in creation order) whose property `name` is non-zero; null if none.
  static HWND FindWindowWithProp(const std::wstring& name);
  // The front-most live top-level window (no WS_CHILD; hidden ones count) whose window text is
  // exactly `title`; null if none. A window comes to the front when it is shown and when it is
  // activated. UI thread.
  static MWindow* FindTopLevelWindow(const std::wstring& title);
  // Every live window in creation order.
  static std::vector<HWND> Windows();
  // One line per live window (handle, name, visible, in a modal loop), for failure messages.
  static std::string DescribeWindows();

  // Asks every window to end: all modal loops return, windows are destroyed newest first (their
  // DestroyWindow slot runs, so they stop their workers). `exitCode` is kept for the caller of the
  // outermost loop. Afterwards ShowModal returns 0 at once, so nothing can hold the quit up.
  // UI thread; from another thread it is posted.
  static void RequestQuit(int exitCode);
  static bool QuitRequested();
  static int QuitExitCode();
  // Forgets a finished quit (tests run several programs in one process).
  static void ResetQuit();

  // Tests: a modal loop that has not ended after `milliseconds` reports `onStall` with a
  // description of the open windows and ends with 0, so a test never hangs. 0 switches it off.
  static void SetModalWatchdog(int milliseconds, std::function<void(const std::string&)> onStall);
  // Tests: called on the UI thread each time a modal loop is about to run, with its window, so a
  // test can answer a prompt, a menu or a file dialog the way a user would.
  static void SetModalHook(std::function<void(MWindow&)> hook);
};

// Queues a message for the window; any thread. False for a destroyed or unknown window. A queued
// message whose window is destroyed before delivery is dropped.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a message that carries a record: during delivery lParam points at `*payload`. The message
// owns the record; it is freed after the handler returns, or when the message is dropped (the
// window went away first, the program ended). Any thread. False (record freed) for a destroyed or
// unknown window.
bool PostMessageWithPayload(HWND hwnd, UINT message, WPARAM wParam, std::shared_ptr<const void> payload);

// Delivers the message to the window's OnWindowMessage and returns its result; 0 for a destroyed
// window. On the UI thread it is a direct call; from another thread it waits until the UI thread
// has handled it (never call it from a thread the UI thread is waiting for).
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
