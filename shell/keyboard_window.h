// What the main window uses of a keyboard window. The keyboard window implements it; the main
// window makes them through a factory, so the shell never includes the keyboard folder.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zuvi/types.h"

class MWindow;

class KeyboardWindow {
 public:
  virtual ~KeyboardWindow() = default;
  // Creates the window as a child of `parent` and runs its modal loop; returns when the window
  // ends. UI thread.
  virtual int Show(HWND parent) = 0;
  // The window itself (show, hide, move, handle, DestroyWindow).
  virtual MWindow& Window() = 0;
  // The device's position in the device manager's list, -1 for none. Any thread.
  virtual void SetDeviceIndex(int index) = 0;
  // Restarts the input listener on the device of the current index (none for -1).
  virtual void RestartListener() = 0;
  // A screen-slot key of the keyboard (WM_DEVICE_SLOT_KEY's wParam and lParam).
  virtual int OnDeviceLcdSlotKey(int action, int value) = 0;
};

using KeyboardWindowFactory = std::function<std::unique_ptr<KeyboardWindow>(
    const std::wstring& name, int deviceIndex, const std::wstring& identify)>;
