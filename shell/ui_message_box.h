// CUIMessageBox: the program's own prompt box, a small layered topmost modal window with a
// title, a message and either an OK button or a yes and a no button.
#pragma once

#include <string>

#include "zuvi/dialog.h"

class CUIMessageBox : public MDialog {
 public:
  enum Buttons { ButtonsOk = 0, ButtonsYesNo = 4 };
  enum ControlId { IdTitle = 31, IdMessage = 32, IdOkOrYes = 33, IdNo = 34 };

  CUIMessageBox();
  ~CUIMessageBox() override;

  int OnInitDialog() override;
  // Layered window, title, message and the buttons of m_buttons.
  void InitUI(const RECT& client) override;
  void UISize(const RECT&) override {}
  // Clicks: 33 ends the loop with DoOK (1), 34 with DoCancel (2); both return 1, others 0.
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  int OnDestroy() override { return 0; }

  std::wstring m_title;
  std::wstring m_message;
  int m_buttons = ButtonsOk;
};

// Shows a prompt over `parent` (a stale or null handle shows it on its own) and waits for the
// answer: 1 for OK or yes, 2 for no, 0 when the box was destroyed without an answer.
// `buttons`: 0 one OK button, 4 yes and no; any other mode gets the OK button as well, so that
// the box can always be closed. UI thread.
int ShowPromptBox(HWND parent, const std::wstring& message, const std::wstring& title, int buttons);
