#include "lighting/LcdDialogs.h"

#include "keyboard/KeyboardText.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"

namespace {

constexpr ARGB kWhite = 0xFFFFFFFF;
constexpr ARGB kOrange = 0xFFCA5100;
constexpr ARGB kGrey = 0xFF969696;
constexpr std::uint32_t kEditBack = 0x050505;
constexpr std::uint32_t kWaitBack = 0x061835;  // the windows' dark blue
constexpr int kDelayEditLimit = 3;
constexpr std::uint32_t kWaitStyle = 0x96000000u;
constexpr int kTickMs = 10;

// Dark blue behind the wait windows' controls.
void AddBackground(MDialog& dialog, int id, const RECT& client) {
  if (auto* back = dynamic_cast<CArea*>(dialog.CreateArea(L"CArea", id, client, nullptr, 1, 1)))
    back->SetTransparent(255, 0, kWaitBack);
}

void StartWaitWindow(MDialog& dialog) {
  dialog.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  dialog.SetMTimer(kTickMs);
  dialog.EnableWndDrag(1);
}

}  // namespace

// ---- LCDDelayEditDlg ----

LCDDelayEditDlg::~LCDDelayEditDlg() = default;

void LCDDelayEditDlg::InitUI(const RECT& client) {
  SetDefaultButtons(IdApply, IdClose);
  if (auto* title = dynamic_cast<MText*>(CreateArea(L"MText", IdTitle, RECT{}, nullptr, 1, 1))) {
    title->SetTitle(m_title);
    title->SetAlignment(1);
    title->SetTextColor(kWhite);
  }
  if (auto* close =
          dynamic_cast<MControlFont*>(CreateControl(L"CImageButton", IdClose, RECT{}, nullptr, 1, 1))) {
    close->SetImage(L"sysbtn_close.png", 4);
    close->SetTitle(L"\u00D7");  // shown while no skin picture ships
    close->SetAlignment(1);
    close->SetTextColor(kWhite);
    close->SetTooltip(KbText(2));
  }
  auto radio = [this](int id, int text, bool checked) {
    if (auto* button =
            dynamic_cast<CRadioButton*>(CreateControl(L"CRadioButton", id, RECT{}, nullptr, 1, 1))) {
      button->SetTitle(KbText(text));
      button->SetImage(L"btn_radiobox.png", 8);
      button->SetTextColor(kWhite);
      button->SetGroupName(L"DELAYTIME_TYPE");
      if (checked) button->SetCheck(true);
    }
  };
  auto edit = [this](int id, const std::wstring& text, bool enabled) {
    if (auto* field =
            dynamic_cast<MEdit*>(CreateControl(L"MEdit", id, RECT{}, nullptr, 1, enabled ? 1 : 0))) {
      field->SetImage(L"img_edit.png");
      field->SetTextColor(kWhite);
      field->SetInputMode(MEdit::DigitsOnly);
      field->SetLimitText(kDelayEditLimit);  // typing only: a longer preset is shown whole
      field->SetBackColor(kEditBack);
      field->SetTitle(text);
    }
  };
  radio(IdThisFrame, 825, true);
  edit(IdFrameDelay, m_frameDelay, true);
  radio(IdAllFrames, 826, false);
  edit(IdAllDelay, L"50", false);
  if (auto* apply = dynamic_cast<MButton*>(CreateControl(L"MButton", IdApply, RECT{}, nullptr, 1, 1))) {
    apply->SetTitle(KbText(60));
    apply->SetImage(L"btn_apply.png", 4);
    apply->SetTextColor(kWhite);
  }
  UISize(client);
}

void LCDDelayEditDlg::UISize(const RECT& client) {
  if (!GetControl(IdTitle)) return;
  const int w = client.right - client.left;
  auto place = [this](int id, const RECT& rect) {
    if (MControl* control = GetControl(id)) control->SetRect(rect);
  };
  place(IdTitle, RECT{w / 2 - 100, 10, w / 2 + 100, 40});
  place(IdClose, RECT{client.right - 40, 15, client.right - 21, 34});
  place(IdThisFrame, RECT{20, 60, 150, 90});
  place(IdFrameDelay, RECT{150, 60, 280, 90});
  place(IdAllFrames, RECT{20, 96, 150, 126});
  place(IdAllDelay, RECT{150, 96, 280, 126});
  place(IdApply, RECT{(w - 120) / 2, client.bottom - 50, (w - 120) / 2 + 120, client.bottom - 20});
}

LRESULT LCDDelayEditDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  auto enable = [this](int edit, bool on) {
    if (MControl* control = GetControl(edit)) control->SetEnabled(on);
  };
  switch (id) {
    case IdClose:
      DoCancel();
      return 1;
    case IdApply:
      return OnApply();
    case IdThisFrame:
      enable(IdAllDelay, false);
      enable(IdFrameDelay, true);
      return 0;
    case IdAllFrames:
      enable(IdFrameDelay, false);
      enable(IdAllDelay, true);
      return 0;
    default:
      return 0;
  }
}

int LCDDelayEditDlg::OnApply() {
  auto text = [this](int id) {
    auto* edit = GetControlAs<MEdit>(id);
    return edit ? edit->GetTitle() : std::wstring();
  };
  m_frameDelay = text(IdFrameDelay);
  m_allDelay = text(IdAllDelay);
  auto* all = GetControlAs<CRadioButton>(IdAllFrames);
  m_allFrames = all && all->GetCheck();
  DoOK();
  return 1;
}

// ---- LEDWaitDlg ----

LEDWaitDlg::~LEDWaitDlg() = default;

int LEDWaitDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  StartWaitWindow(*this);
  return 1;
}

void LEDWaitDlg::InitUI(const RECT& client) {
  SetLayeredWindow(1);
  AddBackground(*this, IdBackground, client);
  if (auto* picture =
          dynamic_cast<CGifPicture*>(CreateArea(L"CGifPicture", IdPicture, RECT{1, 1, 101, 101}))) {
    picture->SetImage(L"loading.gif");
    picture->SetRunState(true);
    picture->AddMTimer();
  }
}

int LEDWaitDlg::ShowWait(HWND) {
  if (!GetSafeHwnd() && !Create(nullptr, L"LEDWaitDlg", kWaitStyle, WS_EX_TOOLWINDOW, kRect)) return 0;
  CenterWindow();
  return ShowModal(SW_SHOW);
}

// ---- LEDWaitDlg2 ----

LEDWaitDlg2::~LEDWaitDlg2() = default;

int LEDWaitDlg2::OnInitDialog() {
  MDialog::OnInitDialog();
  StartWaitWindow(*this);
  return 1;
}

void LEDWaitDlg2::InitUI(const RECT& client) {
  if (auto* headline =
          dynamic_cast<MText*>(CreateArea(L"MText", IdHeadline, RECT{17, 15, client.right - 17, 35}))) {
    headline->SetTitle(KbText(861));
    headline->SetTextColor(kOrange);
  }
  if (auto* loading = dynamic_cast<MText*>(CreateArea(L"MText", IdLoading, RECT{30, 60, 190, 80}))) {
    loading->SetTitle(L"Loading: 1%");
    loading->SetTextColor(kGrey);
  }
  CreateArea(L"MProgress", IdProgress, RECT{30, 80, client.right - 30, 90});
}

int LEDWaitDlg2::ShowProgress(HWND) {
  if (!GetSafeHwnd() && !Create(nullptr, L"LEDWaitDlg2", kWaitStyle, WS_EX_TOOLWINDOW, kRect)) return 0;
  CenterWindow();
  LoadBKImage(L"img_loading_bkg.png");
  return ShowModal(SW_SHOW);
}

void LEDWaitDlg2::SetProgress(int percent, const std::wstring& title) {
  if (auto* loading = GetControlAs<MText>(IdLoading)) loading->SetTitle(title);
  if (auto* bar = GetControlAs<MProgress>(IdProgress)) bar->SetProgress(percent);
}
