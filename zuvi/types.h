// The Windows-shaped vocabulary the windows are written in: handles, message parameters,
// rectangles, colours, styles and message numbers. Nothing here is tied to Qt.
#pragma once

#include <cstdint>

// A window handle. Opaque: it is a number handed out once per window and never reused, so a
// handle of a destroyed window stays invalid and is never dereferenced.
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ARGB = std::uint32_t;      // 0xAARRGGBB; alpha 0xFE and 0xFF draw opaque
using COLORREF = std::uint32_t;  // 0x00BBGGRR

struct RECT {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const RECT&) const = default;
};
struct POINT {
  int x = 0, y = 0;
};

// Window styles (the bits the windows use).
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000u;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000u;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos.
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;

// Message numbers, as Windows numbers them.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_INPUT = 0x00FF;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_DEVICECHANGE = 0x0219;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;
inline constexpr WPARAM HTCAPTION = 2;

// Notification codes a control reports to its window's OnMessage.
inline constexpr int NOTIFY_SELCHANGE = 1;
inline constexpr int NOTIFY_CLICK = 2;
inline constexpr int NOTIFY_RCLICK = 5;
inline constexpr int NOTIFY_DBLCLICK = 9;
inline constexpr int NOTIFY_EDIT_CHANGED = 26;
inline constexpr int NOTIFY_PALETTE_COLOR = 27;
inline constexpr int NOTIFY_EDIT_END = 29;
inline constexpr int NOTIFY_FOCUS = 30;
inline constexpr int NOTIFY_IMAGE_CHANGED = 32;

// Modal end codes.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(high & 0xFFFF) << 16) |
                             static_cast<std::uint32_t>(low & 0xFFFF));
}
