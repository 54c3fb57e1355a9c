#include "shell/main_sys_set_dlg.h"

#include "common/lang_text.h"
#include "common/strings.h"
#include "platform/autostart.h"
#include "platform/folders.h"
#include "shell/device_config.h"
#include "shell/software_update.h"
#include "shell/software_update_dlg.h"
#include "shell/ui_message_box.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/static_controls.h"

namespace {

std::wstring MainText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"MAIN.DIALOG");
  return text;
}

constexpr int kNoticeText = 71;
constexpr int kFrame = 29;

}  // namespace

int MainSysSetDlg::Run(HWND parent) {
  if (!Create(parent, L"MainSysSetDlg", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
              RECT{0, 0, 500, 300}))
    return 0;
  CenterWindow(parent);
  const int result = ShowModal(SW_SHOW);
  m_check.Stop();  // no check outlives the window it answers
  DestroyWindow();
  return result;
}

int MainSysSetDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  m_upgradeUrl = GetUpgradeUrl();
  return 1;
}

void MainSysSetDlg::InitUI(const RECT&) {
  SetDefaultButtons(0, IdClose);
  // A face of its own, lighter than the main window's, with a frame: the dialog stands apart from
  // the window it opens over.
  auto* background = static_cast<CArea*>(CreateArea(L"CArea", 30, RECT{}));
  background->SetTransparent(255, 0, 0x2A2D32);
  static_cast<CArea*>(CreateArea(L"CArea", kFrame, RECT{}))->SetTransparent(0, 255, 0x5A6068);
  auto* title = static_cast<MText*>(CreateArea(L"MText", IdTitle, RECT{}, MainText(50).c_str()));
  title->SetTextColor(0xFFE6E6E6);
  title->SetAlignment(1);
  auto* close = static_cast<MControlFont*>(CreateControl(L"CImageButton", IdClose, RECT{}, L"\u00D7"));
  close->SetAlignment(1);
  close->SetImage(L"main_sysbtn_close.png", 4);
  close->SetTooltip(MainText(2));
  CreateArea(L"MPicture", IdLogo, RECT{})->SetImage(L"logo//logo.png");
  m_autostart =
      static_cast<CCheckButton*>(CreateControl(L"CCheckButton", IdAutostart, RECT{}, MainText(52).c_str()));
  m_autostart->SetImage(L"btn_checkbox.png", 8);
  m_autostart->SetTextColor(0xFFE6E6E6);
  m_autostart->SetCheck(platform::CurrentAutostart().IsEnabled());
  m_update =
      static_cast<DownloadButton*>(CreateControl(L"DownloadButton", IdUpdate, RECT{}, MainText(51).c_str()));
  m_update->SetImage(L"btn_apply.png", 4);
  m_update->SetTextColor(0xFEFFFFFF);
  m_update->SetAlignment(1);
  auto* notice = static_cast<MText*>(CreateArea(L"MText", IdNotice, RECT{}, MainText(kNoticeText).c_str()));
  notice->SetTextColor(0xFF808080);
  notice->SetAlignment(1);
  auto* version = static_cast<MText*>(
      CreateArea(L"MText", IdVersion, RECT{}, FormatW(L"ver: %ls", kSoftwareVersion).c_str()));
  version->SetTextColor(0xFF808080);
  version->SetAlignment(1);
}

void MainSysSetDlg::UISize(const RECT& client) {
  const int right = client.right, bottom = client.bottom, center = right / 2;
  GetControl(30)->SetRect(client);
  GetControl(kFrame)->SetRect(client);
  GetControl(IdTitle)->SetRect(RECT{center - 150, 15, center + 150, 45});
  GetControl(IdClose)->SetRect(RECT{right - 45, 15, right - 15, 45});
  GetControl(IdLogo)->SetRect(RECT{10, 5, 139, 55});
  GetControl(IdAutostart)->SetRect(RECT{center - 100, 90, center + 100, 120});
  GetControl(IdUpdate)->SetRect(RECT{center - 80, 145, center + 80, 181});
  GetControl(IdNotice)->SetRect(RECT{20, bottom - 75, right - 20, bottom - 50});
  GetControl(IdVersion)->SetRect(RECT{20, bottom - 45, right - 20, bottom - 20});
}

LRESULT MainSysSetDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  switch (id) {
    case IdClose:
      DoCancel();
      return 1;
    case IdUpdate:
      return CheckForUpdate();
    case IdAutostart:
      return ApplyAutostart();
    default:
      return 0;
  }
}

LRESULT MainSysSetDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DOWNLOAD_PROGRESS) {
    if (lParam >= 1 && m_update) m_update->SetDownloadProcess(static_cast<int>(lParam));
    return 1;
  }
  if (message == kMsgUpdateChecked) {
    std::optional<std::wstring> newer;
    if (m_check.Finish(wParam, &newer)) {
      ShowChecking(false);
      ShowUpdateAnswer(newer);
    }
    return 1;
  }
  return MDialog::OnWindowMessage(message, wParam, lParam);
}

int MainSysSetDlg::ApplyAutostart() {
  platform::Autostart& autostart = platform::CurrentAutostart();
  if (m_autostart->GetCheck())
    autostart.Enable(platform::AppDir() + "kelvane");
  else
    autostart.Disable();
  m_autostart->SetCheck(autostart.IsEnabled());
  return 1;
}

int MainSysSetDlg::CheckForUpdate() {
  if (m_upgradeUrl.empty()) {
    ShowUpdateAnswer(std::nullopt);
    return 1;
  }
  if (m_check.Running()) return 1;
  ShowChecking(true);
  m_check.Start(GetSafeHwnd(), kMsgUpdateChecked, m_upgradeUrl);
  return 1;
}

void MainSysSetDlg::ShowChecking(bool checking) {
  m_update->SetTitle(MainText(checking ? 72 : 51));
  m_update->SetEnabled(!checking);
}

void MainSysSetDlg::ShowUpdateAnswer(const std::optional<std::wstring>& newer) {
  if (!newer) {
    ShowPromptBox(GetSafeHwnd(), MainText(53), MainText(54), 0);
    return;
  }
  SoftwareUpdateDlg dialog(*newer);
  dialog.Run(GetSafeHwnd());
}
