// MainSysSetDlg: the system settings dialog of the main window: start at login and the check
// for a newer version.
#pragma once

#include <string>

#include "shell/software_update.h"
#include "zuvi/dialog.h"

class CCheckButton;
class DownloadButton;

class MainSysSetDlg : public MDialog {
 public:
  enum : int {
    IdTitle = 31,
    IdClose = 32,
    IdLogo = 33,
    IdAutostart = 34,
    IdUpdate = 35,
    IdNotice = 36,
    IdVersion = 37
  };

  MainSysSetDlg() = default;
  // Creates the 500 x 300 dialog (window text "MainSysSetDlg"), centres it and runs it modally.
  int Run(HWND parent);

  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;

  const std::wstring& UpgradeUrl() const { return m_upgradeUrl; }
  // True while an update check runs (its button is disabled and says so).
  bool IsChecking() const { return m_check.Running(); }

  // Posted by the update check when it ends: wParam is the check's number.
  static constexpr UINT kMsgUpdateChecked = WM_APP + 62;

 private:
  // The box always ends up showing what is stored, not what the click asked for.
  int ApplyAutostart();
  int CheckForUpdate();
  // Shows the answer of the update check: the prompt, or the update dialog for a newer version.
  void ShowUpdateAnswer(const std::optional<std::wstring>& newer);
  void ShowChecking(bool checking);

  std::wstring m_upgradeUrl;
  CCheckButton* m_autostart = nullptr;
  DownloadButton* m_update = nullptr;
  UpdateCheck m_check;
};
