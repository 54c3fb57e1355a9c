#include "shell/main_window_stand_in.h"

#include "common/folders.h"
#include "common/lang_text.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/manager.h"
#include "zuvi/static_controls.h"

namespace {
std::wstring MainText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"MAIN.DIALOG");
  return text;
}
}  // namespace

int MainWindowStandIn::Run() {
  if (!Create(nullptr, GetProductName().c_str(), WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
              RECT{0, 0, 1200, 720}))
    return 0;
  return ShowModal(SW_SHOW);
}

int MainWindowStandIn::OnInitDialog() {
  MDialog::OnInitDialog();
  CenterWindow(nullptr);
  SetProp(GetProductName(), 1);  // found by a second instance
  return 1;
}

void MainWindowStandIn::InitUI(const RECT&) {
  auto* background = static_cast<CArea*>(CreateArea(L"CArea", IdBackground, RECT{}));
  background->SetTransparent(255, 0, 0x141414);
  auto* title = static_cast<MText*>(CreateArea(L"MText", IdTitle, RECT{}, MainText(1).c_str()));
  title->SetTextColor(0xFFE6E6E6);
  title->SetAlignment(1);
  title->SetFont(L"", 18, true);
  auto* quit = static_cast<MButton*>(CreateControl(L"MButton", IdQuit, RECT{}, MainText(7).c_str()));
  quit->SetTextColor(0xFEFFFFFF);
  quit->SetAlignment(1);
  quit->SetImage(L"btn_apply.png", 4);
}

void MainWindowStandIn::UISize(const RECT& client) {
  if (MControl* background = GetControl(IdBackground)) background->SetRect(client);
  int center = client.Width() / 2;
  if (MControl* title = GetControl(IdTitle)) title->SetRect(RECT{center - 255, 15, center + 255, 45});
  int middle = client.Height() / 2;
  if (MControl* quit = GetControl(IdQuit))
    quit->SetRect(RECT{center - 60, middle - 18, center + 60, middle + 18});
}

LRESULT MainWindowStandIn::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code == NOTIFY_CLICK && id == IdQuit) {
    DoCancel();
    return 1;
  }
  return 0;
}

LRESULT MainWindowStandIn::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP_QUIT) {
    if (lParam == kQuitRequestKey) Manager::RequestQuit(0);
    return 0;
  }
  if (message == WM_CLOSE) {
    DoCancel();
    return 0;
  }
  return MDialog::OnWindowMessage(message, wParam, lParam);
}
