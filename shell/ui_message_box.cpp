#include "shell/ui_message_box.h"

#include "common/lang_text.h"
#include "zuvi/buttons.h"
#include "zuvi/manager.h"
#include "zuvi/static_controls.h"

namespace {

constexpr ARGB kTitleColor = 0xFEFFFFFF;
constexpr ARGB kMessageColor = 0xFFFFFFFF;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 32;
constexpr int kButtonGap = 40;
constexpr int kLongMessage = 20;  // characters from which the message wraps over several lines

struct ButtonTexts {
  const wchar_t* ok;
  const wchar_t* yes;
  const wchar_t* no;
};

ButtonTexts TextsFor(int lcid) {
  if (lcid == 2052) return {L"\u786E\u5B9A", L"\u662F", L"\u5426"};
  return {L"OK", L"YES", L"NO"};
}

void MakeButton(MDialog& box, int id, const RECT& rect, const wchar_t* text) {
  auto* button = static_cast<MButton*>(box.CreateControl(L"MButton", id, rect, text));
  button->SetImage(L"btn_apply.png", 4);
  button->SetTextColor(kTitleColor);
  button->SetAlignment(1);
  button->SetTooltip(L"");
}

}  // namespace

CUIMessageBox::CUIMessageBox() = default;
CUIMessageBox::~CUIMessageBox() = default;

int CUIMessageBox::OnInitDialog() {
  MDialog::OnInitDialog();
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return 1;
}

void CUIMessageBox::InitUI(const RECT& client) {
  SetLayeredWindow(1);
  int w = client.Width(), h = client.Height();
  auto* title =
      static_cast<MText*>(CreateControl(L"MText", IdTitle, RECT{20, 15, w - 20, 34}, m_title.c_str()));
  title->SetTextColor(kTitleColor);
  title->SetAlignment(1);
  auto* message = static_cast<MText*>(
      CreateControl(L"MText", IdMessage, RECT{20, 50, w - 20, h - 50}, m_message.c_str()));
  message->SetTextColor(kMessageColor);
  message->SetAlignment(1);
  if (m_message.size() >= kLongMessage) message->SetVAlignment(4);

  ButtonTexts texts = TextsFor(g_languageId.load());
  int top = h - 45;
  if (m_buttons == ButtonsYesNo) {
    int left = (w - 2 * kButtonWidth - kButtonGap) / 2;
    MakeButton(*this, IdOkOrYes, RECT{left, top, left + kButtonWidth, top + kButtonHeight}, texts.yes);
    left += kButtonWidth + kButtonGap;
    MakeButton(*this, IdNo, RECT{left, top, left + kButtonWidth, top + kButtonHeight}, texts.no);
  } else {
    int left = (w - kButtonWidth) / 2;
    MakeButton(*this, IdOkOrYes, RECT{left, top, left + kButtonWidth, top + kButtonHeight}, texts.ok);
  }
  SetDefaultButtons(IdOkOrYes, m_buttons == ButtonsYesNo ? IdNo : IdOkOrYes);
}

LRESULT CUIMessageBox::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  if (id == IdOkOrYes) {
    DoOK();
    return 1;
  }
  if (id == IdNo) {
    DoCancel();
    return 1;
  }
  return 0;
}

int ShowPromptBox(HWND parent, const std::wstring& message, const std::wstring& title, int buttons) {
  auto box = std::make_unique<CUIMessageBox>();
  box->m_title = title;
  box->m_message = message;
  box->m_buttons = buttons;
  box->LoadBKImage(L"bk_prompt.png");
  box->SetBackMode(1, 30);
  if (!Manager::IsWindow(parent)) parent = nullptr;
  if (!box->Create(parent, L"MessageBox", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                   WS_EX_TOOLWINDOW, RECT{0, 0, 380, 200}))
    return 0;
  box->CenterWindow(nullptr);
  int result = box->ShowModal(SW_SHOWNORMAL);
  box->DestroyWindow();
  return result;
}
