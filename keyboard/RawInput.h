// Raw keyboard and mouse input as the keyboard window's pages see it: a window registers once and
// then gets every key and button of the desktop as WM_INPUT messages (lParam: a packed record of
// platform/input); ParseRawInput turns one into an event with the code and name a macro stores.
#pragma once

#include <string>

#include "zuvi/types.h"

struct RawInputEvent {
  int kind = 0;  // 1 mouse, 2 keyboard, 3 another device
  int up = 0;    // 0 pressed, 1 released
  int code = 0;  // button code (1 left, 2 middle, 3 right, 7/8 buttons 4 and 5) or virtual key
  std::wstring name;  // empty when the input carries nothing usable
};

// Subscribes `hwnd` to the desktop's raw input; the records arrive as posted WM_INPUT messages.
// A window is subscribed once: later calls keep the subscription. A failed subscription is tried
// once more, then the window goes without raw input (logged).
void RegisterRawInput(HWND hwnd);
// Ends the subscription of `hwnd` (its window is going away); waits for a callback in progress.
void UnregisterRawInput(HWND hwnd);
// Whether `hwnd` holds a subscription (tests).
bool HasRawInput(HWND hwnd);

// Fills `out` from a WM_INPUT lParam. lParam 0, or one that is no record, fills nothing.
void ParseRawInput(LPARAM rawInput, RawInputEvent* out);
