// The members of the pages that are not built yet. Each group is replaced by the files of its
// page when that page is built: a builder makes only the page's key view, a layout places it, a
// handler does nothing and answers 0, a task body does nothing (the settings page still sends).
#include <algorithm>

#include "keyboard/KeyboardDlg.h"

namespace {

// Where a page's key view goes until the page lays itself out.
void PlaceKeyView(const KeyboardDlg& dlg, int id, const RECT& client) {
  if (MControl* view = dlg.GetControl(id))
    view->SetRect(RECT{310, 110, std::max(310, client.right - 20), std::max(110, client.bottom - 300)});
}

}  // namespace


// ---- Music and its audio analyser ----

void KeyboardDlg::CreateMusicPage() { AddKeyView(kb_ids::kMusicView, GetControl(kb_ids::kPageMusic)); }
void KeyboardDlg::LayoutMusicPage(const RECT& client) { PlaceKeyView(*this, kb_ids::kMusicView, client); }
int KeyboardDlg::OnMusicListNotify(int) { return 0; }
int KeyboardDlg::OnAddMusicMode() { return 0; }
int KeyboardDlg::OnDeleteMusicMode() { return 0; }
int KeyboardDlg::OnMusicDeviceCombo() { return 0; }
int KeyboardDlg::OnMusicForeModeCombo() { return 0; }
int KeyboardDlg::OnMusicAmplitudeSlider() { return 0; }
int KeyboardDlg::OnMusicBackModeCombo() { return 0; }
int KeyboardDlg::OnMusicBackBrightnessSlider() { return 0; }
void KeyboardDlg::InitMusicPage() {}
void KeyboardDlg::LoadMusicModeList() {}
void KeyboardDlg::UpdateMusicKeyLevels() {}
