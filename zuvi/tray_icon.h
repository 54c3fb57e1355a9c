// The window's icon in the notification area. Activations reach the window as its callback
// message with wParam = the icon's id and lParam 513 (click), 515 (double click) or 517 (context
// request), as the windows expect them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zuvi/types.h"

inline constexpr LPARAM kTrayClick = 513;
inline constexpr LPARAM kTrayDoubleClick = 515;
inline constexpr LPARAM kTrayContext = 517;

class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  // Shows the icon (`iconFile`: a skin file or an absolute path) with the tooltip `tip`; its
  // activations are posted to `window` as `callbackMessage`. False when there is no notification
  // area or the icon is shown already. UI thread.
  virtual bool Add(const std::wstring& iconFile, const std::wstring& tip, HWND window, UINT id,
                   UINT callbackMessage) = 0;
  // Hides the icon. False when it was not shown. UI thread.
  virtual bool Remove() = 0;
  virtual bool IsShown() const = 0;
};

// The Qt back end (QSystemTrayIcon).
std::unique_ptr<TrayIcon> MakeQtTrayIcon();

// For tests: records what the window asks for and lets a test activate the icon.
class RecordingTrayIcon : public TrayIcon {
 public:
  bool Add(const std::wstring& iconFile, const std::wstring& tip, HWND window, UINT id,
           UINT callbackMessage) override;
  bool Remove() override;
  bool IsShown() const override { return shown_; }
  // Posts the activation `reason` (kTrayClick, ...) as the shown icon would; false when hidden.
  bool Activate(LPARAM reason) const;

  std::vector<std::string> calls;  // "add", "remove"
  std::wstring iconFile, tip;
  UINT id = 0, callbackMessage = 0;
  bool failAdd = false;

 private:
  bool shown_ = false;
  HWND window_ = nullptr;
};

// The back end new windows get: the Qt one unless a test sets a factory (an empty function
// restores it).
std::unique_ptr<TrayIcon> MakeTrayIcon();
void SetTrayIconFactory(std::function<std::unique_ptr<TrayIcon>()> factory);
