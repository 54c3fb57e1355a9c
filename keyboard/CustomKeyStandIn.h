// The window the key menu's "custom key" entry opens until the custom key dialog is built: it
// names the key it was opened for and closes with its close button (end code 2).
#pragma once

#include <memory>

#include "keyboard/KeyboardDlg.h"

class CustomKeyStandIn : public MDialog {
 public:
  static constexpr int kIdClose = 31;

  explicit CustomKeyStandIn(CustomKeyDialogArgs args) : m_args(std::move(args)) {}
  void InitUI(const RECT& client) override;
  void UISize(const RECT&) override {}
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;

  const CustomKeyDialogArgs m_args;
};

std::unique_ptr<MDialog> MakeCustomKeyStandIn(const CustomKeyDialogArgs& args);
