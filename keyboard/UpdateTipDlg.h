// UpdateTipDlg: the small topmost window that offers a firmware update for the keyboard. OK ends
// its modal loop with 1, cancel and close with 2.
#pragma once

#include "zuvi/dialog.h"

class MPicture;
class MText;
class MButton;
class CImageButton;

class UpdateTipDlg : public MDialog {
 public:
  enum ControlId {
    IdBackground = 30,
    IdClose = 31,
    IdText = 32,
    IdHeadline = 33,
    IdCurrentText = 34,
    IdNewText = 35,
    IdOk = 36,
    IdCancel = 37,
  };
  static constexpr RECT kRect{0, 0, 634, 310};

  ~UpdateTipDlg() override;
  // Topmost and shown.
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT&) override {}
  // Clicks: OK -> DoOK, cancel or close -> DoCancel; 1 for a click, else 0.
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;

  MPicture* m_background = nullptr;
  CImageButton* m_close = nullptr;
  MText* m_text = nullptr;
  MText* m_headline = nullptr;
  MText* m_currentText = nullptr;
  MText* m_newText = nullptr;
  MButton* m_ok = nullptr;
  MButton* m_cancel = nullptr;
};
