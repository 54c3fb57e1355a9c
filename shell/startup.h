// The program's start-up and shutdown: one instance, the leftover key blocker, the UI language,
// the UI library, the working folders, the one device manager, the main window, and the teardown
// in the reverse order.
#pragma once

#include <functional>
#include <string>

#include "platform/qt/single_instance.h"
#include "shell/device_manager_slot.h"
#include "shell/keyboard_window.h"

namespace platform {
class SettingsStore;
}

// What start-up works with. The defaults are the real services; tests replace single members.
struct StartupServices {
  // Takes the single-instance lock; the callback is run when another instance asks the running one
  // to come to the front.
  std::function<platform::SingleInstanceGuard::Result(std::function<void()> onActivate)> acquireInstance;
  // Ends a running process by its lower-case file name (KillProcessByName).
  std::function<bool(const std::wstring&)> killProcess;
  // Where the UI language is stored; null: the user's store.
  platform::SettingsStore* settings = nullptr;
  // The user's working folder (GetUserDataFolder); empty means there is none.
  std::function<std::wstring()> userDataFolder;
  // Runs the main window until its modal loop ends; returns the loop's result.
  std::function<int()> runMainWindow;
  // The one device manager.
  DeviceManagerSlot* deviceManager = nullptr;
  // Called with the name of each step as it runs (tests check the order).
  std::function<void(const std::string& step)> trace;
};

// The real services: the lock in the runtime folder, /proc, the user's settings, the user's
// documents folder and the main window, which makes its keyboard windows with `keyboardWindows`.
// `deviceManager` must outlive the run.
StartupServices DefaultStartupServices(DeviceManagerSlot& deviceManager,
                                       KeyboardWindowFactory keyboardWindows = {});

// Runs the program. Returns 0 when another instance runs (it was asked to come to the front) and
// after an orderly quit (WM_APP_QUIT, the tray's exit), 1 after the main window's loop ended by
// itself. UI thread; the Qt application must exist (Manager::Startup).
int RunKelvane(StartupServices& services);

// Honours a post request of the instance channel: only WM_WIN_KEY with wParam 0x5B or 0x5C (a
// Windows key) and lParam 0 is posted, to the front-most top-level window with the request's
// title (Manager::FindTopLevelWindow); any other post is logged and dropped. True when posted.
// UI thread.
bool DeliverPostRequest(const platform::PostRequest& request);

// Brings the window marked with the product's window property to the front, also out of the tray.
// False when no window carries it.
bool ActivateMainWindow();
