// SoftwareUpdateDlg: announces a newer software version. Nothing is downloaded: its download
// button has no action and the progress bar moves only when WM_DOWNLOAD_PROGRESS arrives.
#pragma once

#include <string>

#include "zuvi/dialog.h"

class MProgress;

class SoftwareUpdateDlg : public MDialog {
 public:
  enum : int {
    IdBackground = 30,
    IdTitle = 31,
    IdClose = 32,
    IdMessage = 34,
    IdDownload = 35,
    IdCancel = 36
  };

  explicit SoftwareUpdateDlg(std::wstring newVersion) : m_newVersion(std::move(newVersion)) {}
  // Creates the 500 x 230 dialog (window text "CustomKeyDlg"), centres it, runs it modally and
  // destroys it; returns the loop's result.
  int Run(HWND parent);

  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;

  MProgress* Progress() const { return m_progress; }
  const std::wstring& UpgradeUrl() const { return m_upgradeUrl; }

 private:
  std::wstring m_upgradeUrl;
  std::wstring m_newVersion;
  MProgress* m_progress = nullptr;
};
