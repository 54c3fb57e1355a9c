// The main window until the device list window is built: it carries the single-instance window
// property, shows the product name and offers a way out, so that the program starts and ends.
#pragma once

#include "zuvi/dialog.h"

class MainWindowStandIn : public MDialog {
 public:
  enum ControlId { IdBackground = 30, IdTitle = 33, IdQuit = 34 };

  // Creates the window (no parent, window text = the product name, 1200 x 720 popup) and runs its
  // modal loop; returns the loop's result. UI thread.
  int Run();

  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  // The quit button ends the modal loop (a normal end of the program).
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  // WM_APP_QUIT with lParam 610 quits the program in order (exit code 0); WM_CLOSE ends the loop.
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
