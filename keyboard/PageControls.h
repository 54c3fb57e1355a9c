// Small helpers every page of the keyboard window uses on its controls: rectangles, and reading
// and setting a control by id that may not have been built (its page is gated off).
#pragma once

#include <algorithm>
#include <span>
#include <string>

#include "keyboard/KeyboardDlg.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"

namespace page_controls {

// One control of a page as its builder makes it.
struct ControlSpec {
  int id = 0;
  const wchar_t* className = nullptr;
  bool area = false;  // never notifies (frames, captions)
  const wchar_t* image = nullptr;
  int imageStates = 1;
  int text = 0;                    // "KB.DIALOG" text of its title
  int tooltip = 0;                 // "KB.DIALOG" text of its tooltip
  const wchar_t* label = nullptr;  // a fixed title
  bool centred = false;            // the label is a glyph standing in for the button's picture
  const wchar_t* group = nullptr;  // radio group
  bool visible = true;
};

// Makes `controls` in `page` in order with their pictures, titles in the UI language, tooltips,
// radio groups and the window's text colour; frames are transparent. A control the factory
// refuses is left out.
void CreatePageControls(KeyboardDlg& dlg, MControl* page, std::span<const ControlSpec> controls);

// A rectangle from its edges; one that would be turned inside out (a window smaller than the
// page's offsets) is empty at its top left corner.
inline RECT Box(int left, int top, int right, int bottom) {
  return RECT{left, top, std::max(left, right), std::max(top, bottom)};
}
inline void Place(const KeyboardDlg& dlg, int id, const RECT& rect) {
  if (MControl* c = dlg.GetControl(id)) c->SetRect(rect);
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

}  // namespace page_controls
