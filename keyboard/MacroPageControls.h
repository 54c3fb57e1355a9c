// Helpers the macro page's files share: its control ids and small accessors.
#pragma once

#include <string>

#include "common/lang_text.h"
#include "keyboard/KeyboardDlg.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/list_box.h"

namespace macro_page {

inline constexpr int kList = 234;
inline constexpr int kInsertWhere = 236;
inline constexpr int kKindKey = 237;
inline constexpr int kKindMouse = 238;
inline constexpr int kKindDelay = 239;
inline constexpr int kKeyEdit = 240;
inline constexpr int kDelayEdit = 241;
inline constexpr int kButtonCombo = 242;
inline constexpr int kDelayRecorded = 249;
inline constexpr int kDelayNone = 250;
inline constexpr int kDelayFixed = 251;
inline constexpr int kFixedDelayEdit = 252;
inline constexpr int kStart = 254;
inline constexpr int kStop = 255;
inline constexpr int kEvents = 262;

inline std::wstring KbText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"KB.DIALOG");
  return text;
}

inline bool Checked(const KeyboardDlg& dlg, int id) {
  auto* box = dlg.GetControlAs<CCheckButton>(id);
  return box && box->GetCheck();
}
inline void Check(const KeyboardDlg& dlg, int id, bool on = true) {
  if (auto* box = dlg.GetControlAs<CCheckButton>(id)) box->SetCheck(on);
}
inline void ShowCtl(const KeyboardDlg& dlg, int id, bool on) {
  if (MControl* c = dlg.GetControl(id)) c->SetVisible(on);
}
inline void Enable(const KeyboardDlg& dlg, int id, bool on) {
  if (MControl* c = dlg.GetControl(id)) c->SetEnabled(on);
}
inline std::wstring EditText(const KeyboardDlg& dlg, int id) {
  auto* edit = dlg.GetControlAs<MEdit>(id);
  return edit ? edit->GetTitle() : std::wstring();
}
inline void SetEditText(const KeyboardDlg& dlg, int id, const std::wstring& text) {
  if (auto* edit = dlg.GetControlAs<MEdit>(id)) edit->SetTitle(text);
}

}  // namespace macro_page
