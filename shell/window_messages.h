// Window messages of the main window, with the values its callers post (the application range).
#pragma once

#include <string>

#include "device/HidReportListener.h"  // WM_DEVICE_REPORT, WM_DEVICE_SLOT_KEY
#include "zuvi/types.h"

inline constexpr UINT WM_TRAY_NOTIFY = 1090;
inline constexpr UINT WM_APP_QUIT = 1091;  // accepted only with lParam kQuitRequestKey
inline constexpr UINT WM_RESCAN_DEVICES = 1147;
inline constexpr UINT WM_MAIN_HIDE = 1625;
inline constexpr UINT WM_MAIN_MINIMIZE = 1626;
inline constexpr UINT WM_MAIN_MAXIMIZE = 1627;
inline constexpr UINT WM_DOWNLOAD_PROGRESS = 1690;
inline constexpr UINT WM_LANGUAGE_CHANGED = 2022;
// A Windows key the blocker swallowed while the custom key dialog is open: wParam its virtual key.
inline constexpr UINT WM_WIN_KEY = 0x1639;

inline constexpr LPARAM kQuitRequestKey = 610;
inline constexpr WPARAM IDM_TRAY_EXIT = 100;

// WM_DEVICECHANGE: device-interface arrival and removal; lParam points at the record.
inline constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
inline constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr int DBT_DEVTYP_DEVICEINTERFACE = 5;

struct DeviceInterfaceRecord {
  int deviceType = DBT_DEVTYP_DEVICEINTERFACE;
  std::wstring name;  // "HID#VID_7C3A&PID_B108&MI_02#hidraw3"
};
