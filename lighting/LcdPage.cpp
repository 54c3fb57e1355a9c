// The screen page (tab 8): the animation slots of the keyboard's screen. Each slot is a row of the
// store with a folder of PNG frames under "<working folder>led/". The list (323) and m_lcdLedId
// always name the same slot, whose frames the frame list (336) and the editor (332) show. The
// slot list is also filled and extended on the worker (task 1, the import): the controls take
// calls from any thread.
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "common/folders.h"
#include "common/strings.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/LcdDialogs.h"
#include "lighting/LcdLogic.h"
#include "lighting/LightColor.h"
#include "platform/qt/dialogs.h"
#include "shell/ui_message_box.h"
#include "zuvi/buttons.h"
#include "zuvi/image_view.h"
#include "zuvi/image_view_list.h"
#include "zuvi/lcd_palettes.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/manager.h"

using page_controls::Box;
using page_controls::Place;

namespace {

constexpr int kSlotList = kb_ids::kScreenSlotList;
constexpr int kEditor = kb_ids::kScreenEditor;
constexpr int kPreviewTab = 333;
constexpr int kEditTab = 335;
constexpr int kFrameList = 336;
constexpr int kFirstColorButton = 359;

constexpr ARGB kSelectedTabColor = 0xFFCA5100;
constexpr ARGB kTabColor = 0xFFFFFFFF;

// The slot and frame controls that the edit mode locks.
constexpr int kLcdControls[] = {323, 324, 325, 326, 332, 336, 344, 345, 346, 347, 349, 366, 367, 368};

// clang-format off
constexpr page_controls::ControlSpec kControls[] = {
    {.id = 312, .className = L"CArea", .area = true},
    {.id = 313, .className = L"CArea", .area = true},
    {.id = 314, .className = L"CArea", .area = true},
    {.id = 315, .className = L"CArea", .area = true},
    {.id = 316, .className = L"CArea", .area = true},
    {.id = 317, .className = L"CArea", .area = true},
    {.id = 318, .className = L"CArea", .area = true},
    {.id = 319, .className = L"CArea", .area = true},
    {.id = 320, .className = L"CArea", .area = true},
    {.id = 327, .className = L"CArea", .area = true},
    {.id = 328, .className = L"CArea", .area = true},
    {.id = 334, .className = L"CArea", .area = true},
    {.id = 321, .className = L"MText", .area = true, .text = 801},
    {.id = 322, .className = L"CHelpButton", .image = L"btn_help.png", .imageStates = 4, .text = 802},
    {.id = 323, .className = L"LCDViewList", .image = L"lcdlist_item_normal.png", .text = 866},
    {.id = 324, .className = L"CTextButton", .text = 803},
    {.id = 325, .className = L"CTextButton", .text = 804},
    {.id = 326, .className = L"CTextButton", .text = 805},
    {.id = 329, .className = L"MText", .area = true, .text = 806},
    {.id = 330, .className = L"CHelpButton", .image = L"btn_help.png", .imageStates = 4},
    {.id = 331, .className = L"CCheckButton", .image = L"btn_checkbox.png", .imageStates = 8, .text = 862},
    {.id = 332, .className = L"ImageView"},
    {.id = 333, .className = L"CTextButton", .image = L"img_button_check.png", .imageStates = 4, .text = 808,
     .centred = true},
    {.id = 335, .className = L"CTextButton", .image = L"img_button_nocheck.png", .imageStates = 4, .text = 809,
     .centred = true},
    {.id = 336, .className = L"ImageViewList", .image = L"imageview_item_normal.png"},
    {.id = 337, .className = L"MText", .area = true, .text = 810},
    {.id = 340, .className = L"MPicture", .area = true, .image = L"img_lcdedit_bkg.png"},
    {.id = 339, .className = L"MEdit"},
    {.id = 341, .className = L"MText", .area = true, .text = 860},
    {.id = 342, .className = L"MEdit", .image = L"img_edit2.png", .label = L"20"},
    {.id = 343, .className = L"CImageButton", .image = L"imgbtn_lcd_addtext.png", .imageStates = 4, .tooltip = 813,
     .label = L"T", .centred = true},
    {.id = 344, .className = L"CImageButton", .image = L"imgbtn_lcd_add.png", .imageStates = 4, .tooltip = 814,
     .label = L"+", .centred = true},
    {.id = 345, .className = L"CImageButton", .image = L"imgbtn_lcd_copy.png", .imageStates = 4, .tooltip = 815,
     .label = L"\u2750", .centred = true},
    {.id = 346, .className = L"CImageButton", .image = L"imgbtn_lcd_edit.png", .imageStates = 4, .tooltip = 816,
     .label = L"\u270E", .centred = true},
    {.id = 347, .className = L"CImageButton", .image = L"imgbtn_lcd_erase.png", .imageStates = 4, .tooltip = 817,
     .label = L"\u232B", .centred = true},
    {.id = 348, .className = L"CImageButton", .image = L"imgbtn_lcd_del.png", .imageStates = 4, .tooltip = 818,
     .label = L"\u2715", .centred = true},
    {.id = 349, .className = L"CImageButton", .image = L"imgbtn_lcd_revoke.png", .imageStates = 4, .tooltip = 885,
     .label = L"\u21B6", .centred = true},
    {.id = 350, .className = L"MText", .area = true, .text = 812},
    {.id = 351, .className = L"LCDPalette3", .image = L"icon/icon_palette_bar2.png"},
    {.id = 352, .className = L"LCDPalette2", .image = L"icon/icon_palette_bar1.png"},
    {.id = 353, .className = L"MText", .area = true, .label = L"R:"},
    {.id = 354, .className = L"MText", .area = true, .label = L"G:"},
    {.id = 355, .className = L"MText", .area = true, .label = L"B:"},
    {.id = 356, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 357, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 358, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 359, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 360, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 361, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 362, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 363, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 364, .className = L"CColorButton", .group = L"IDC_LCD_DEFAULTCOLOR"},
    {.id = 365, .className = L"MButton", .image = L"btn_lcdbutton1.png", .imageStates = 4, .text = 827,
     .centred = true},
    {.id = 366, .className = L"MButton", .image = L"btn_lcdbutton1.png", .imageStates = 4, .text = 819,
     .centred = true},
    {.id = 367, .className = L"MButton", .image = L"btn_lcdbutton1.png", .imageStates = 4, .text = 820,
     .centred = true},
    {.id = 368, .className = L"MButton", .image = L"btn_lcdbutton2.png", .imageStates = 4, .text = 821,
     .centred = true},
};
// clang-format on

LCDViewList* SlotList(const KeyboardDlg& dlg) { return dlg.GetControlAs<LCDViewList>(kSlotList); }
ImageViewList* FrameList(const KeyboardDlg& dlg) { return dlg.GetControlAs<ImageViewList>(kFrameList); }
ImageView* Editor(const KeyboardDlg& dlg) { return dlg.GetControlAs<ImageView>(kEditor); }

bool PathExists(const std::wstring& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(WideToUtf8(path)), error);
}

std::wstring FrameCountMessage(int count) {
  return FormatW(L"%ls%d%ls", KbText(832).c_str(), count, KbText(833).c_str());
}

void SetTabColor(const KeyboardDlg& dlg, int id, ARGB color) {
  if (auto* button = dlg.GetControlAs<MButton>(id)) button->SetTextColor(color);
}

}  // namespace

// ---- building ----

void KeyboardDlg::CreateLcdPage() {
  page_controls::CreatePageControls(*this, GetControl(kb_ids::kPageScreen), kControls);
  if (auto* edits = GetControlAs<MEdit>(342)) {
    edits->SetInputMode(MEdit::DigitsOnly);
    edits->SetLimitText(3);
  }
  for (int id = 356; id <= 358; ++id) {
    if (auto* edit = GetControlAs<MEdit>(id)) {
      edit->SetInputMode(MEdit::DigitsOnly);
      edit->SetLimitText(3);
      edit->SetTitle(L"0");
    }
  }
  if (ImageView* editor = Editor(*this)) {
    const std::wstring work = GetUserDataFolder();
    if (!work.empty()) editor->SetEditFolder(work + L"edit/");
  }
  // The editor's help: its three texts on lines of their own.
  if (auto* help = GetControlAs<MControlFont>(330))
    help->SetTitle(KbText(850) + L"\n" + KbText(851) + L"\n" + KbText(852));
  SetTabColor(*this, kPreviewTab, kSelectedTabColor);
  SetTabColor(*this, kEditTab, kTabColor);
  EnableLcdEditControls(false);  // until a slot other than the first is chosen
}

void KeyboardDlg::LayoutLcdPage(const RECT& client) {
  const int w = client.right;
  const int h = client.bottom;
  auto at = [&](int id, int left, int top, int right, int bottom) {
    Place(*this, id, Box(left, top, right, bottom));
  };
  // The slots, left.
  at(312, 71, 60, 290, h - 1);
  at(321, 81, 64, 250, 90);
  at(322, 258, 67, 278, 87);
  at(323, 76, 95, 285, h - 60);
  at(324, 76, h - 50, 139, h - 20);
  at(325, 142, h - 50, 220, h - 20);
  at(326, 223, h - 50, 285, h - 20);
  // The editor and the slot's buttons.
  at(313, 300, 60, w - 10, 380);
  at(329, 310, 64, 560, 90);
  at(333, 570, 64, 660, 90);
  at(335, 665, 64, 755, 90);
  at(331, 770, 64, 900, 90);
  at(330, w - 40, 67, w - 20, 87);
  at(332, 310, 100, 790, 370);
  at(365, 810, 100, w - 20, 140);
  at(366, 810, 150, w - 20, 190);
  at(367, 810, 200, w - 20, 240);
  at(368, 810, 330, w - 20, 370);
  // The frames.
  at(314, 300, 390, w - 10, 510);
  at(337, 310, 394, 560, 414);
  at(336, 310, 416, w - 20, 505);
  // The tools.
  at(315, 300, 520, w - 10, h - 1);
  at(340, 310, 528, 700, 564);
  at(339, 316, 532, 540, 560);
  at(341, 548, 532, 620, 560);
  at(342, 624, 532, 690, 560);
  for (int i = 0; i < 7; ++i) {
    const int x = 710 + 40 * i;
    at(343 + i, x, 530, x + 32, 562);
  }
  at(352, 310, 574, 560, 594);
  at(351, 310, 600, 560, h - 10);
  at(350, 580, 574, 700, 594);
  for (int i = 0; i < 3; ++i) {
    const int x = 580 + 85 * i;
    at(353 + i, x, 602, x + 20, 628);
    at(356 + i, x + 22, 602, x + 72, 628);
  }
  for (int i = 0; i < 6; ++i) {
    const int x = 580 + 43 * i;
    at(kFirstColorButton + i, x, 640, x + 31, 671);
  }
}

// ---- helpers ----

void KeyboardDlg::SetLcdGifPath(const std::wstring& path) {
  std::lock_guard guard(m_lcdLock);
  m_lcdGifPath = path;
}

std::wstring KeyboardDlg::LcdGifPath() const {
  std::lock_guard guard(m_lcdLock);
  return m_lcdGifPath;
}

std::wstring KeyboardDlg::NewLcdName(const std::wstring& folder, const std::wstring& suffix) {
  PacingClock().sleep(2);
  const LocalTimeSource& source = m_services.localTime;
  std::optional<LocalTime> now = source ? source() : CurrentLocalTime();
  if (!now) now = LocalTime{};
  std::optional<std::wstring> name = lcd_logic::FreeTimeName(
      *now, [&](const std::wstring& name) { return PathExists(folder + name + suffix); });
  if (!name) {
    KeyboardLog("screen: no free time-stamp name in %s", WideToUtf8(folder).c_str());
    return {};
  }
  return *name;
}

// A save writes its pictures under new names and commits the rows that name them; the pictures
// they replaced, and those of a save that ended before its commit, are removed here. Only plain
// files of the slot's own folder go: a name no row of the slot (nor its first file) holds, ending
// in ".png" or in the ".part" of a copy that was cut short.
void KeyboardDlg::RemoveUnnamedLcdPictures(int led_id, const std::wstring& folder,
                                           const std::vector<LedFrameRow*>& rows) {
  std::set<std::string> named;
  for (const LedFrameRow* row : rows) named.insert(WideToUtf8(row->file_name));
  LedLayerRow layer;
  if (!m_configDB.GetLedLayer(led_id, &layer)) return;  // the first file is not known
  named.insert(WideToUtf8(layer.first_file));
  const auto endsWith = [](const std::string& name, std::string_view tail) {
    return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
  };
  std::error_code error;
  std::vector<std::filesystem::path> unnamed;
  for (const auto& entry : std::filesystem::directory_iterator(WideToUtf8(folder), error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(error) || entry.is_symlink(error) || named.count(name)) continue;
    if (endsWith(name, ".png") || endsWith(name, ".part")) unnamed.push_back(entry.path());
  }
  for (const std::filesystem::path& path : unnamed)
    if (!std::filesystem::remove(path, error))
      KeyboardLog("screen: %s of slot %d cannot be removed", path.filename().string().c_str(), led_id);
}

std::wstring KeyboardDlg::LcdSlotFolder(int led_id) {
  LedLayerRow row;
  if (led_id <= 0 || !m_configDB.GetLedLayer(led_id, &row)) return {};
  return lcd_logic::SlotFolder(GetUserDataFolder(), row.file_dir).value_or(std::wstring());
}

void KeyboardDlg::SelectLcdSlot(int index) {
  LCDViewList* slots = SlotList(*this);
  if (!slots) return;
  if (index < 0 || index >= slots->GetCount()) index = -1;
  slots->SetCurSel(index);
  m_lcdLedId = index < 0 ? 0 : slots->GetItemLEDId(index);
  LoadLcdFrames(m_lcdLedId);
}

void KeyboardDlg::ShowLcdFrame(int pos) {
  ImageView* editor = Editor(*this);
  ImageViewList* frames = FrameList(*this);
  if (!editor || !frames) return;
  if (pos < 0 || pos >= frames->GetCount()) {
    editor->Clear();
    return;
  }
  const ImageViewItem item = frames->GetItem(pos);
  editor->SetImageFile(item.pictureFile, item.editFile);
}

// ---- loading ----

void KeyboardDlg::LoadLcdSlots() {
  LCDViewList* slots = SlotList(*this);
  if (!slots) return;
  slots->ResetContent();
  const std::wstring work = GetUserDataFolder();
  std::vector<LedLayerRow*> rows;
  m_configDB.GetLedLayers(m_profile, rows);
  if (rows.empty() && !work.empty()) {
    const std::wstring name = NewLcdName(work + L"led/", L"");
    const int id = name.empty() ? 0 : m_configDB.NewLedLayer(m_profile, name);
    if (id > 0) {
      const std::wstring folder = lcd_logic::SlotFolder(work, name).value_or(std::wstring());
      int count = 0;
      if (CreateDirectoryRecursive(folder.c_str()))
        count = slots->LoadGIFImageFile(GetAppDir() + L"led/0.gif", folder);
      else
        KeyboardLog("screen: the default slot's folder cannot be made");
      if (count == 0) KeyboardLog("screen: the default animation gave no frames");
      if (!m_configDB.ReplaceLedFrames(id, lcd_logic::NumberedFrameRows(id, count, slots->GetDelayTimes()))) {
        KeyboardLog("screen: the default slot's frames cannot be stored");
        count = 0;
      }
      m_configDB.SetLedLayerFirstFile(id, count > 0 ? L"0.png" : L"");
      m_configDB.SetLedLayerFrameSize(id, count);
    }
    m_configDB.GetLedLayers(m_profile, rows);
  }
  for (const LedLayerRow* row : rows) {
    // A row whose folder name leaves the led folder is listed, but no folder is made for it.
    const std::optional<std::wstring> folder = lcd_logic::SlotFolder(work, row->file_dir);
    std::wstring picture;
    if (folder) {
      if (!PathExists(*folder) && !CreateDirectoryRecursive(folder->c_str()))
        KeyboardLog("screen: the folder of slot %d cannot be made", row->led_id);
      if (lcd_logic::IsPlainName(row->first_file)) picture = *folder + row->first_file;
    } else {
      KeyboardLog("screen: slot %d names no usable folder", row->led_id);
    }
    slots->AddItem(folder.value_or(std::wstring()), picture, row->frame_size, row->led_id);
  }
  FreeRows(rows);
  m_lcdDirty = 0;
  SelectLcdSlot(slots->GetCount() > 0 ? 0 : -1);
  LoadLcdPalette();
}

void KeyboardDlg::LoadLcdPalette() {
  for (int n = 1; n <= 6; ++n) {
    auto* button = GetControlAs<CColorButton>(kFirstColorButton - 1 + n);
    if (!button) continue;
    std::wstring value;
    if (!m_configDB.GetConfigValue(m_profile, FormatW(L"default_color%d", n), &value)) value.clear();
    button->SetColor(light_color::ToPaletteArgb(lcd_logic::ColorFromText(value)));
  }
}

void KeyboardDlg::LoadLcdFrames(int led_id) {
  EnableLcdEditControls(SelectedScreenSlot() >= 1);
  ImageViewList* frames = FrameList(*this);
  ImageView* editor = Editor(*this);
  if (frames) frames->Clear();
  if (editor) editor->Clear();
  m_lcdFrameIndex = -1;
  if (!frames || led_id <= 0) return;
  std::vector<LedFrameRow*> rows;
  const bool read = m_configDB.GetLedFrames(led_id, rows) >= 0;
  const std::wstring folder = LcdSlotFolder(led_id);
  if (!rows.empty() && folder.empty())
    KeyboardLog("screen: slot %d has no usable folder; no frames shown", led_id);
  if (read && !folder.empty()) RemoveUnnamedLcdPictures(led_id, folder, rows);
  if (!folder.empty()) {
    for (const LedFrameRow* row : rows) {
      if (!lcd_logic::IsPlainName(row->file_name)) {
        KeyboardLog("screen: frame %d of slot %d names no usable file", row->frame_id, led_id);
        continue;
      }
      frames->AddItem(folder + row->file_name, row->delay_time, row->frame_id, row->file_name);
    }
  }
  FreeRows(rows);
  if (frames->GetCount() > 0) {
    frames->SetCurSel(0);
    m_lcdFrameIndex = 0;
    ShowLcdFrame(0);
  }
  if (editor && m_lcdEditMode.load()) editor->SetItems(frames->GetImageViewItems());
}

// ---- unsaved edits and enabling ----

void KeyboardDlg::ConfirmSaveLcdEdits() {
  if (!m_lcdDirty.load()) return;
  if (ShowMessageBox(GetSafeHwnd(), KbText(830), KbText(831), CUIMessageBox::ButtonsYesNo) == 1) {
    SaveLcdFrames();
  } else {
    // Every edit of the slot is dropped, not only the frame's on show.
    LoadLcdFrames(m_lcdLedId);
  }
  m_lcdDirty = 0;
}

void KeyboardDlg::EnableLcdControls(bool enable) {
  for (int id : kLcdControls)
    if (MControl* control = GetControl(id)) control->SetEnabled(enable);
  if (enable) EnableLcdEditControls(SelectedScreenSlot() >= 1);
}

// ---- slot handlers ----

int KeyboardDlg::OnLcdSlotListNotify(int code) {
  LCDViewList* slots = SlotList(*this);
  if (code != NOTIFY_CLICK || !slots) return 1;
  const int index = slots->GetCurSel();
  if (index < 0) return 1;
  const int clicked = slots->GetItemLEDId(index);
  const int shown = m_lcdLedId.load();
  if (clicked == shown && slots->GetItemFrameSize(index) >= 1) return 1;  // the slot on show stays as it is
  if (clicked != shown && m_lcdDirty.load()) {
    if (ShowMessageBox(GetSafeHwnd(), KbText(830), KbText(831), CUIMessageBox::ButtonsYesNo) == 1) {
      slots->SetItemLEDIdSelect(shown);
      SaveLcdFrames();
      slots->SetItemLEDIdSelect(clicked);
    }
    m_lcdDirty = 0;
  }
  m_lcdLedId = clicked;
  if (slots->GetItemFrameSize(index) >= 1) {
    LoadLcdFrames(clicked);
    return 1;
  }
  ConfirmSaveLcdEdits();
  if (slots->GetItemFrameSize(index) >= 1) {
    LoadLcdFrames(clicked);
    return 1;
  }
  LoadLcdFrames(clicked);  // empties the frame list and the editor
  OnLcdAddPicture();
  ImageViewList* frames = FrameList(*this);
  if (frames && frames->GetCount() > 0) {
    frames->SetCurSel(0);
    m_lcdFrameIndex = 0;
    ShowLcdFrame(0);
    m_lcdDirty = 1;
  }
  return 1;
}

int KeyboardDlg::OnAddLcdSlot() {
  ConfirmSaveLcdEdits();
  LCDViewList* slots = SlotList(*this);
  const std::wstring work = GetUserDataFolder();
  if (!slots || work.empty()) return 1;
  const std::wstring name = NewLcdName(work + L"led/", L"");
  if (name.empty()) return 1;
  const int id = m_configDB.NewLedLayer(m_profile, name);
  if (id <= 0) {
    KeyboardLog("screen: no slot row could be made");
    return 1;
  }
  const std::wstring folder = lcd_logic::SlotFolder(work, name).value_or(std::wstring());
  if (!CreateDirectoryRecursive(folder.c_str())) {
    KeyboardLog("screen: the new slot's folder cannot be made; the slot is not added");
    m_configDB.DeleteLedLayer(id);
    return 1;
  }
  SelectLcdSlot(slots->AddItem(folder, L"", 0, id));
  return 1;
}

int KeyboardDlg::OnAddLcdGif() {
  ConfirmSaveLcdEdits();
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(804), L"LED File (*.gif)", false);
  if (files.empty()) return 1;
  SetLcdGifPath(files.front());
  if (!PathExists(files.front()) || !m_taskList.Snapshot().empty()) return 1;
  {
    std::lock_guard guard(m_lcdLock);
    m_lcdOutcome = {};
  }
  RunLcdWaitTask(TaskImportLcdGif);
  LcdTaskOutcome outcome;
  {
    std::lock_guard guard(m_lcdLock);
    outcome = m_lcdOutcome;
  }
  if (outcome.unreadable) ShowMessageBox(GetSafeHwnd(), KbText(849), KbText(834), CUIMessageBox::ButtonsOk);
  if (outcome.unwritable) ShowMessageBox(GetSafeHwnd(), KbText(854), KbText(834), CUIMessageBox::ButtonsOk);
  if (outcome.notStored) TellNotSaved("screen: import");
  if (outcome.damaged) ShowMessageBox(GetSafeHwnd(), KbText(853), KbText(834), CUIMessageBox::ButtonsOk);
  if (outcome.frames > LCD_MAX_FRAMES)
    ShowMessageBox(GetSafeHwnd(), FrameCountMessage(outcome.frames), KbText(834), CUIMessageBox::ButtonsOk);
  // The import made the new slot current; a failed one left the selection alone.
  if (LCDViewList* slots = SlotList(*this);
      slots && outcome.ledId > 0 && m_lcdLedId.load() != outcome.ledId) {
    slots->SetItemLEDIdSelect(outcome.ledId);
    m_lcdLedId = outcome.ledId;
    LoadLcdFrames(outcome.ledId);
  }
  EnableLcdEditControls(SelectedScreenSlot() >= 1);
  return 1;
}

int KeyboardDlg::OnDeleteLcdSlot() {
  LCDViewList* slots = SlotList(*this);
  if (!slots) return 1;
  const int index = slots->GetCurSel();
  if (index < 1) return 1;  // the first slot stays
  ConfirmSaveLcdEdits();
  if (ShowMessageBox(GetSafeHwnd(), KbText(835), KbText(836), CUIMessageBox::ButtonsYesNo) != 1) return 1;
  const int ledId = slots->GetItemLEDId(index);
  LedLayerRow row;
  if (ledId <= 0 || !m_configDB.GetLedLayer(ledId, &row)) {
    KeyboardLog("screen: the row of slot %d cannot be read; nothing deleted", ledId);
    return 1;
  }
  const std::optional<std::wstring> folder = lcd_logic::SlotFolder(GetUserDataFolder(), row.file_dir);
  if (!folder) {
    KeyboardLog("screen: slot %d names no plain folder; nothing deleted", ledId);
    return 1;
  }
  // The rows first: a folder is only removed once nothing names it any more.
  if (!m_configDB.DeleteLedLayer(ledId)) {
    KeyboardLog("screen: slot %d cannot be deleted from the store", ledId);
    return 1;
  }
  if (PathExists(*folder) && !DeleteDirectoryTree(folder->c_str(), GetUserDataFolder()))
    KeyboardLog("screen: the folder of slot %d could not be removed completely", ledId);
  slots->DeleteString(index);
  m_lcdDirty = 0;
  SelectLcdSlot(index - 1);
  return 1;
}

int KeyboardDlg::OnLcdPreviewTab() {
  m_lcdEditMode = false;
  if (ImageView* editor = Editor(*this)) {
    editor->SetImagePreviewMode(true);
    ShowLcdFrame(m_lcdFrameIndex);
  }
  SetTabColor(*this, kPreviewTab, kSelectedTabColor);
  SetTabColor(*this, kEditTab, kTabColor);
  EnableLcdControls(true);
  return 1;
}

int KeyboardDlg::OnLcdEditTab() {
  if (ImageView* editor = Editor(*this)) {
    editor->Clear();
    if (ImageViewList* frames = FrameList(*this)) editor->SetItems(frames->GetImageViewItems());
    editor->SetImagePreviewMode(false);
  }
  SetTabColor(*this, kPreviewTab, kTabColor);
  SetTabColor(*this, kEditTab, kSelectedTabColor);
  m_lcdEditMode = true;
  EnableLcdControls(false);
  return 1;
}

int KeyboardDlg::OnLcdApplySlot() {
  PostTask(TaskSetClockAndLcdSlot);
  return 1;
}

// ---- downloads ----

void KeyboardDlg::RunLcdWaitTask(int task) {
  auto wait = std::make_shared<LEDWaitDlg>();
  SetWaitDlg(wait);
  PostTask(task);
  wait->ShowWait(GetSafeHwnd());
  wait->DestroyWindow();
}

int KeyboardDlg::OnDownloadLcdAnimation() {
  ConfirmSaveLcdEdits();
  const int ledId = m_lcdLedId.load();
  if (ledId <= 0) return 1;
  const int count = m_configDB.CountLedFrames(ledId);
  if (count < 1) {
    ShowMessageBox(GetSafeHwnd(), KbText(847), KbText(848), CUIMessageBox::ButtonsOk);
    return 1;
  }
  if (count > LCD_MAX_FRAMES)
    ShowMessageBox(GetSafeHwnd(), FrameCountMessage(count), KbText(848), CUIMessageBox::ButtonsOk);
  auto progress = std::make_shared<LEDWaitDlg2>();
  SetWaitDlg2(progress);
  std::weak_ptr<LEDWaitDlg2> target = progress;
  LcdProgress().Set([target](int percent, const std::string& title) {
    if (std::shared_ptr<LEDWaitDlg2> dialog = target.lock()) dialog->SetProgress(percent, Utf8ToWide(title));
  });
  PostTask(TaskSendLcdAnimation);
  progress->ShowProgress(GetSafeHwnd());
  LcdProgress().Clear();
  progress->DestroyWindow();
  return 1;
}

int KeyboardDlg::OnDeviceLcdSlotKey(int action, int value) {
  if (!IsWindowVisible() || m_curTab.load() != TabScreen || !m_taskList.Snapshot().empty() ||
      m_lcdBusy.load())
    return 0;
  LCDViewList* slots = SlotList(*this);
  if (!slots) return 0;
  const std::optional<lcd_logic::SlotKeyStep> step =
      lcd_logic::StepSlotKey(action, value, m_lcdSlotIndex, slots->GetCount());
  if (!step) return 0;
  m_lcdSlotIndex = step->index;
  ConfirmSaveLcdEdits();
  SelectLcdSlot(step->index);
  const int ledId = m_lcdLedId.load();
  if (!step->download || ledId <= 0) return 1;
  if (m_configDB.CountLedFrames(ledId) < 1) {
    ShowLcdNoDataPrompt(GetSafeHwnd());
    return 1;
  }
  RunLcdWaitTask(TaskSendLcdAnimation);
  return 1;
}

int KeyboardDlg::ShowLcdNoDataPrompt(HWND parent) {
  CUIMessageBox box;
  box.m_title = L"保存数据并上传开机动画";
  box.m_message = L"帧数量为0, 请添加后重试!";
  box.m_buttons = CUIMessageBox::ButtonsOk;
  box.LoadBKImage(L"bk_prompt.png");
  box.SetBackMode(1, 30);
  if (!Manager::IsWindow(parent)) parent = nullptr;
  if (!box.Create(parent, L"MessageBox", 0x96000000u, WS_EX_TOOLWINDOW, RECT{0, 0, 380, 200})) return 0;
  box.CenterWindow(nullptr);
  const int result = box.ShowModal(SW_SHOW);
  box.DestroyWindow();
  return result;
}
