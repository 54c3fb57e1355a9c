#include "shell/software_update_dlg.h"

#include <algorithm>

#include "common/lang_text.h"
#include "common/strings.h"
#include "shell/device_config.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"

namespace {

std::wstring KbText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"KB.DIALOG");
  return text;
}

}  // namespace

int SoftwareUpdateDlg::Run(HWND parent) {
  if (!Create(parent, L"CustomKeyDlg", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
              RECT{0, 0, 500, 230}))
    return 0;
  CenterWindow(parent);
  const int result = ShowModal(SW_SHOW);
  DestroyWindow();
  return result;
}

int SoftwareUpdateDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  m_upgradeUrl = GetUpgradeUrl();
  return 1;
}

void SoftwareUpdateDlg::InitUI(const RECT&) {
  SetDefaultButtons(IdDownload, IdClose);
  auto* background = static_cast<CArea*>(CreateArea(L"CArea", IdBackground, RECT{}));
  background->SetTransparent(255, 0, 0x3F4447);
  auto* title = static_cast<MText*>(CreateArea(L"MText", IdTitle, RECT{}, KbText(620).c_str()));
  title->SetTextColor(0xFEE6E6E6);
  title->SetAlignment(1);
  auto* close = static_cast<MControlFont*>(CreateControl(L"CImageButton", IdClose, RECT{}, L"\u00D7"));
  close->SetAlignment(1);
  close->SetImage(L"sysbtn_close.png", 4);
  close->SetTooltip(KbText(2));
  const std::wstring message =
      FormatW(L"%ls %ls, %ls", KbText(621).c_str(), m_newVersion.c_str(), KbText(622).c_str());
  auto* text = static_cast<MText*>(CreateArea(L"MText", IdMessage, RECT{}, message.c_str()));
  text->SetTextColor(0xFEE6E6E6);
  text->SetAlignment(1);
  m_progress = static_cast<MProgress*>(CreateArea(L"MProgress", IdMessage, RECT{}));
  for (auto [id, textId] : {std::pair{IdDownload, 623}, std::pair{IdCancel, 625}}) {
    auto* button = static_cast<MButton*>(CreateControl(L"MButton", id, RECT{}, KbText(textId).c_str()));
    button->SetImage(L"btn_apply.png", 4);
    button->SetTextColor(0xFEFFFFFF);
    button->SetAlignment(1);
  }
}

void SoftwareUpdateDlg::UISize(const RECT& client) {
  const int right = client.right, center = right / 2;
  GetControl(IdBackground)->SetRect(client);
  GetControl(IdTitle)->SetRect(RECT{center - 150, 12, center + 150, 42});
  GetControl(IdClose)->SetRect(RECT{right - 40, 12, right - 12, 40});
  GetControl(IdMessage)->SetRect(RECT{20, 65, right - 20, 100});
  if (m_progress) m_progress->SetRect(RECT{40, 115, right - 40, 127});
  GetControl(IdDownload)->SetRect(RECT{center - 150, 160, center - 20, 196});
  GetControl(IdCancel)->SetRect(RECT{center + 20, 160, center + 150, 196});
}

LRESULT SoftwareUpdateDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  if (id == IdClose || id == IdCancel) DoCancel();
  return id == IdClose ? 1 : 0;
}

LRESULT SoftwareUpdateDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DOWNLOAD_PROGRESS) {
    if (lParam >= 1 && m_progress) m_progress->SetProgress(static_cast<int>(std::min<LPARAM>(lParam, 100)));
    return 1;
  }
  return MDialog::OnWindowMessage(message, wParam, lParam);
}
