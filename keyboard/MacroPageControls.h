// Helpers the macro page's files share: its control ids and small accessors.
#pragma once

#include <string>

#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/MacroEvents.h"
#include "keyboard/PageControls.h"
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

using ::KbText;

using page_controls::Check;
using page_controls::Checked;
using page_controls::EditText;
using page_controls::Enable;
using page_controls::SetEditText;
using page_controls::ShowCtl;

// The delay choice of the radios 249-251 (and the fixed delay of edit 252) into the window's
// m_delayMode and m_fixedDelay; measured delays when no radio is checked.
inline void ReadDelayChoice(KeyboardDlg& dlg) {
  dlg.m_delayMode = 1;
  dlg.m_fixedDelay = 10;
  if (Checked(dlg, kDelayRecorded)) {
    dlg.m_delayMode = 1;
  } else if (Checked(dlg, kDelayNone)) {
    dlg.m_delayMode = 2;
  } else if (Checked(dlg, kDelayFixed)) {
    dlg.m_delayMode = 3;
    dlg.m_fixedDelay = macro_events::ParseDelay(EditText(dlg, kFixedDelayEdit));
  }
}

}  // namespace macro_page
