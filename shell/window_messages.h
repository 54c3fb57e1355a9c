// Window messages of the main window, with the values its callers post (the application range).
#pragma once

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

inline constexpr LPARAM kQuitRequestKey = 610;
inline constexpr WPARAM IDM_TRAY_EXIT = 100;
