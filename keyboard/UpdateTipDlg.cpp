#include "keyboard/UpdateTipDlg.h"

#include "keyboard/KeyboardText.h"
#include "zuvi/buttons.h"
#include "zuvi/static_controls.h"

namespace {

constexpr int kEnglish = 0x409;
constexpr ARGB kWhite = 0xFFFFFFFF;
constexpr ARGB kOrange = 0xFFFF5000;

}  // namespace

UpdateTipDlg::~UpdateTipDlg() = default;

int UpdateTipDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  return 1;
}

void UpdateTipDlg::InitUI(const RECT& client) {
  SetDefaultButtons(IdOk, IdClose);
  const int r = client.right;
  const int b = client.bottom;
  auto text = [this](int id, int textId, ARGB color, const RECT& rect) {
    auto* control = dynamic_cast<MText*>(CreateArea(L"MText", id, rect, nullptr, 1, 1));
    if (control) {
      control->SetTitle(KbText(textId));
      control->SetTextColor(color);
    }
    return control;
  };
  auto button = [this](int id, int textId, const wchar_t* image, const RECT& rect) {
    auto* control = dynamic_cast<MButton*>(CreateControl(L"MButton", id, rect, nullptr, 1, 1));
    if (control) {
      control->SetTitle(KbText(textId));
      control->SetImage(image, 4);
      control->SetTextColor(kWhite);
    }
    return control;
  };

  m_background = dynamic_cast<MPicture*>(CreateArea(L"MPicture", IdBackground, RECT{}, nullptr, 1, 1));
  if (m_background) m_background->SetImage(L"updatetips_bkg.png", 1);
  m_close = dynamic_cast<CImageButton*>(
      CreateControl(L"CImageButton", IdClose, RECT{r - 40, 12, r - 20, 32}, nullptr, 1, 1));
  if (m_close) {
    m_close->SetImage(L"sysbtn_close.png", 4);
    m_close->SetTitle(L"\u00D7");  // shown while no skin picture ships
    m_close->SetAlignment(1);
    m_close->SetTextColor(kWhite);
    m_close->SetTooltip(KbText(2));
  }
  m_text = text(IdText, 713, kOrange, RECT{50, 210, 125, 240});
  if (m_text) m_text->SetAlignment(1);
  m_headline = text(IdHeadline, 710, kWhite, RECT{20, 81, r - 5, 117});
  m_currentText = text(IdCurrentText, 711, kOrange, RECT{175, 151, r - 10, 201});
  m_newText = text(IdNewText, 712, kOrange, RECT{175, 200, r - 10, 250});
  // Each line breaks within its 50 pixels rather than running past the window's edge.
  for (MText* line : {m_currentText, m_newText})
    if (line) line->SetVAlignment(4);
  const RECT ok{r - 220, b - 60, r - 120, b - 32};
  m_ok = button(IdOk, 715, L"updatetips_btn_ok.png", ok);
  m_cancel = button(IdCancel, 716, L"updatetips_btn_cancel.png",
                    RECT{ok.left + 105, ok.top, ok.right + 105, ok.bottom});

  if (g_languageId.load() == kEnglish) {
    if (m_text) m_text->SetFont(L"", 12);
    for (MText* line : {m_headline, m_currentText, m_newText})
      if (line) line->SetFont(L"", 15, true);
  }
}

LRESULT UpdateTipDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  if (id == IdOk) DoOK();
  if (id == IdClose || id == IdCancel) DoCancel();
  return 1;
}
