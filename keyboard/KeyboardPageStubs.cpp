// The members of the pages that are not built yet. Each group is replaced by the files of its
// page when that page is built: a builder and a layout do nothing, a handler does nothing and
// answers 0, a task body does nothing.
#include "keyboard/KeyboardDlg.h"

// ---- Screen slots ----

void KeyboardDlg::CreateLcdPage() {}
void KeyboardDlg::LayoutLcdPage(const RECT&) {}
int KeyboardDlg::OnLcdSlotListNotify(int) { return 0; }
int KeyboardDlg::OnAddLcdSlot() { return 0; }
int KeyboardDlg::OnAddLcdGif() { return 0; }
int KeyboardDlg::OnDeleteLcdSlot() { return 0; }
int KeyboardDlg::OnLcdPreviewTab() { return 0; }
int KeyboardDlg::OnLcdEditTab() { return 0; }
int KeyboardDlg::OnLcdApplySlot() { return 0; }
int KeyboardDlg::OnDownloadLcdAnimation() { return 0; }
int KeyboardDlg::OnDeviceLcdSlotKey(int, int) { return 0; }
void KeyboardDlg::LoadLcdSlots() {}

// ---- Screen editing, GIF import and export ----

int KeyboardDlg::OnLcdImageViewNotify(int) { return 0; }
int KeyboardDlg::OnLcdFrameListNotify(int) { return 0; }
int KeyboardDlg::OnLcdFontSizeEdit(int) { return 0; }
int KeyboardDlg::OnLcdPalette3Notify(int) { return 0; }
int KeyboardDlg::OnLcdPalette2Notify(int) { return 0; }
int KeyboardDlg::OnLcdRedEdit(int) { return 0; }
int KeyboardDlg::OnLcdGreenEdit(int) { return 0; }
int KeyboardDlg::OnLcdBlueEdit(int) { return 0; }
int KeyboardDlg::OnLcdColorButton(int) { return 0; }
int KeyboardDlg::OnLcdAddText() { return 0; }
int KeyboardDlg::OnLcdAddPicture() { return 0; }
int KeyboardDlg::OnLcdCopyFrame() { return 0; }
int KeyboardDlg::OnLcdDeleteFrame() { return 0; }
int KeyboardDlg::SaveLcdFrames() { return 0; }
int KeyboardDlg::OnExportLcdGif() { return 0; }
int KeyboardDlg::OnLcdDrawTool(int) { return 0; }
void KeyboardDlg::SaveLcdGif() {}
void KeyboardDlg::ImportLcdGif() {}
