// The editing half of the screen page: the frames of the current slot with their delays, the
// editor's tools and palette, added, copied and deleted frames, saving them back into the slot's
// folder and rows, and the GIF import (task 10) and export (task 8) run by the worker. A saved edit
// goes to a new frame file (copied under a temporary name, then renamed); the rows that name it are
// committed in one transaction, and only then are the pictures no row names removed.
#include <filesystem>
#include <system_error>

#include "common/folders.h"
#include "common/strings.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/LcdDialogs.h"
#include "lighting/LcdLogic.h"
#include "lighting/LightColor.h"
#include "platform/image/frame_image.h"
#include "platform/qt/dialogs.h"
#include "shell/ui_message_box.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/image_view.h"
#include "zuvi/image_view_list.h"
#include "zuvi/lcd_palettes.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/menu.h"

using page_controls::EditText;
using page_controls::SetEditText;

namespace {

constexpr int kEditor = kb_ids::kScreenEditor;
constexpr int kFrameList = 336;
constexpr int kTextEdit = kb_ids::kScreenTextEdit;
constexpr int kFontSizeEdit = 342;
constexpr int kPalette3 = 351;
constexpr int kPalette2 = 352;
constexpr int kRedEdit = 356;
constexpr int kFirstColorButton = 359;
constexpr int kLastColorButton = 364;

ImageViewList* FrameList(const KeyboardDlg& dlg) { return dlg.GetControlAs<ImageViewList>(kFrameList); }
ImageView* Editor(const KeyboardDlg& dlg) { return dlg.GetControlAs<ImageView>(kEditor); }
LCDViewList* SlotList(const KeyboardDlg& dlg) {
  return dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
}

std::filesystem::path FsPath(const std::wstring& path) { return std::filesystem::path(WideToUtf8(path)); }

// Copies `from` over `to` through a temporary file beside `to`, so `to` is never left half written.
bool ReplaceFileWith(const std::wstring& from, const std::wstring& to) {
  std::error_code error;
  const std::filesystem::path target = FsPath(to);
  std::filesystem::path temporary = target;
  temporary += ".part";
  if (!std::filesystem::copy_file(FsPath(from), temporary, std::filesystem::copy_options::overwrite_existing,
                                  error)) {
    KeyboardLog("screen: %s cannot be copied: %s", WideToUtf8(from).c_str(), error.message().c_str());
    std::filesystem::remove(temporary, error);
    return false;
  }
  std::filesystem::rename(temporary, target, error);
  if (error) {
    KeyboardLog("screen: %s cannot be replaced: %s", WideToUtf8(to).c_str(), error.message().c_str());
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

void ShowColorInEdits(const KeyboardDlg& dlg, std::uint32_t color) {
  SetEditText(dlg, kRedEdit, FormatW(L"%d", lcd_logic::RedOf(color)));
  SetEditText(dlg, kRedEdit + 1, FormatW(L"%d", lcd_logic::GreenOf(color)));
  SetEditText(dlg, kRedEdit + 2, FormatW(L"%d", lcd_logic::BlueOf(color)));
}

// An edit's number kept to 0..255, its text rewritten when it lay outside.
void ClampColorEdit(const KeyboardDlg& dlg, int id) {
  const std::wstring text = EditText(dlg, id);
  if (light_color::EditOutOfRange(text)) SetEditText(dlg, id, FormatW(L"%d", lcd_logic::ClampChannel(text)));
}

}  // namespace

// ---- the frame list and the editor ----

int KeyboardDlg::OnLcdFrameListNotify(int code) {
  ImageViewList* frames = FrameList(*this);
  ImageView* editor = Editor(*this);
  if (!frames || !editor) return 1;
  const int pos = frames->GetCurSel();
  if (pos < 0) return 1;
  if (code == NOTIFY_CLICK) {
    const int old = m_lcdFrameIndex.load();
    if (pos != old && old >= 0 && old < frames->GetCount()) {
      const std::wstring edited = editor->GetEditImageFile();
      if (!edited.empty()) frames->UpdateItemImageFile(old, edited);
    }
    m_lcdFrameIndex = pos;
    ShowLcdFrame(pos);
    return 1;
  }
  if (code != NOTIFY_DBLCLICK) return 1;
  LCDDelayEditDlg dialog;
  dialog.m_title = KbText(837);
  dialog.m_frameDelay = FormatW(L"%d", frames->GetItem(pos).delayMs);
  if (!dialog.Create(GetSafeHwnd(), L"LCDDelayEditDlg", LCDDelayEditDlg::kStyle, 0, LCDDelayEditDlg::kRect))
    return 1;
  dialog.CenterWindow();
  const int result = dialog.ShowModal(SW_SHOW);
  dialog.DestroyWindow();
  if (result != IDOK) return 1;
  m_lcdDirty = 1;
  if (!dialog.m_allFrames)
    frames->SetItemDelayTime(pos, lcd_logic::ClampDelay(dialog.m_frameDelay));
  else
    frames->SetDelayTime(lcd_logic::ClampDelay(dialog.m_allDelay));
  return 1;
}

int KeyboardDlg::OnLcdImageViewNotify(int code) {
  ImageViewList* frames = FrameList(*this);
  ImageView* editor = Editor(*this);
  if (!frames || !editor) return 1;
  if (code == NOTIFY_IMAGE_CHANGED) {
    if (m_lcdEditMode.load()) {
      // The editor holds every frame: each took its own edit file.
      const std::vector<ImageViewItem> items = editor->GetItems();
      for (size_t i = 0; i < items.size(); ++i)
        frames->UpdateItemImageFile(static_cast<int>(i), items[i].editFile);
      m_lcdDirty = 1;
    } else if (const int pos = frames->GetCurSel(); pos >= 0) {
      frames->UpdateItemImageFile(pos, editor->GetEditImageFile());
      m_lcdDirty = 1;
    }
    return 1;
  }
  if (code == NOTIFY_RCLICK) {
    MenuWnd menu(GetSafeHwnd(), WM_LCD_MENU_COMMAND);
    for (const auto& [command, text] :
         {std::pair{105, 880}, {106, 881}, {107, 882}, {110, 884}, {112, 885}, {113, 886}, {114, 887}})
      menu.AddMenu(command, KbText(text));
    menu.TrackPopup();
  }
  return 1;
}

int KeyboardDlg::OnLcdDrawTool(int command) {
  ImageView* editor = Editor(*this);
  if (!editor) return 1;
  switch (command) {
    case 102:
      editor->SetDrawMode(ImageView::kPenMode);
      break;
    case 105:
      editor->SetPenSize(16);
      break;
    case 106:
      editor->SetPenSize(30);
      break;
    case 107:
      editor->SetPenSize(50);
      break;
    case 108:
      editor->SetScale100();
      break;
    case 110:
      editor->ClearCurEdit();
      break;
    case 112:
      editor->RecoverCurEdit();
      break;
    case 113:
      if (ImageViewList* frames = FrameList(*this)) {
        const int pos = frames->GetCurSel();
        if (pos >= 0) {
          editor->ClearCurEdit();
          const ImageViewItem item = frames->GetItem(pos);
          frames->UpdateItemImageFile(pos, item.pictureFile);
          editor->SetImageFile(item.pictureFile, item.pictureFile);
        }
      }
      break;
    case 114:
      SaveLcdFrames();  // clears the unsaved-edit mark only when the frames were stored
      break;
    default:  // 100 and unknown commands
      break;
  }
  return 1;
}

int KeyboardDlg::OnLcdAddText() {
  const std::wstring text = EditText(*this, kTextEdit);
  if (text.empty()) {
    ShowMessageBox(GetSafeHwnd(), KbText(838), KbText(839), CUIMessageBox::ButtonsOk);
    return 1;
  }
  if (ImageView* editor = Editor(*this)) {
    editor->SetDrawMode(ImageView::kTextMode);
    editor->AddText(text);
  }
  m_lcdDirty = 1;
  return 1;
}

int KeyboardDlg::OnLcdFontSizeEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 1;
  const std::wstring text = EditText(*this, kFontSizeEdit);
  const int size = std::max(1, WToI(text));
  if (text != FormatW(L"%d", size)) SetEditText(*this, kFontSizeEdit, FormatW(L"%d", size));
  if (ImageView* editor = Editor(*this)) editor->SetFontSize(size);
  return 1;
}

// ---- colours ----

int KeyboardDlg::OnLcdRedEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 1;
  ClampColorEdit(*this, kRedEdit);
  ApplyLcdColorEdit();
  return 1;
}

int KeyboardDlg::OnLcdGreenEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 1;
  ClampColorEdit(*this, kRedEdit + 1);
  ApplyLcdColorEdit();
  return 1;
}

int KeyboardDlg::OnLcdBlueEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 1;
  ClampColorEdit(*this, kRedEdit + 2);
  ApplyLcdColorEdit();
  return 1;
}

void KeyboardDlg::ApplyLcdColorEdit() {
  const std::uint32_t color =
      lcd_logic::PackColor(WToI(EditText(*this, kRedEdit)), WToI(EditText(*this, kRedEdit + 1)),
                           WToI(EditText(*this, kRedEdit + 2)));
  if (auto* field = GetControlAs<LCDPalette3>(kPalette3)) field->SetSelectColor(color);
  SaveLcdDefaultColors(color);
}

int KeyboardDlg::OnLcdPalette3Notify(int code) {
  auto* field = GetControlAs<LCDPalette3>(kPalette3);
  if (code != NOTIFY_PALETTE_COLOR || !field) return 1;
  const std::uint32_t color = field->GetSelectColor();
  ShowColorInEdits(*this, color);
  SaveLcdDefaultColors(color);
  return 1;
}

int KeyboardDlg::OnLcdPalette2Notify(int code) {
  auto* bar = GetControlAs<LCDPalette2>(kPalette2);
  if (code != NOTIFY_PALETTE_COLOR || !bar) return 1;
  const std::uint32_t color = bar->GetSelectColor();
  if (auto* field = GetControlAs<LCDPalette3>(kPalette3)) field->SetSelectColor(color);
  ShowColorInEdits(*this, color);
  SaveLcdDefaultColors(color);
  return 1;
}

int KeyboardDlg::OnLcdColorButton(int id) {
  auto* button = GetControlAs<CColorButton>(id);
  if (!button) return 1;
  m_lcdColorButton = id;
  const std::uint32_t color = light_color::FromArgb(button->GetColor());
  ShowColorInEdits(*this, color);
  if (auto* field = GetControlAs<LCDPalette3>(kPalette3)) field->SetSelectColor(color);
  SaveLcdDefaultColors(color);
  return 1;
}

void KeyboardDlg::SaveLcdDefaultColors(std::uint32_t color) {
  if (auto* button = GetControlAs<CColorButton>(m_lcdColorButton))
    button->SetColor(light_color::ToPaletteArgb(color));
  if (m_lcdColorButton >= kFirstColorButton && m_lcdColorButton <= kLastColorButton &&
      !m_configDB.SetConfigValue(m_profile,
                                 FormatW(L"default_color%d", m_lcdColorButton - kFirstColorButton + 1),
                                 lcd_logic::ColorText(color)))
    KeyboardLog("screen: palette colour %d cannot be stored", m_lcdColorButton - kFirstColorButton + 1);
  if (ImageView* editor = Editor(*this)) editor->SetColorValue(color);
}

// ---- frames ----

int KeyboardDlg::OnLcdAddPicture() {
  ImageViewList* frames = FrameList(*this);
  const int ledId = m_lcdLedId.load();
  if (!frames || SelectedScreenSlot() < 0 || ledId <= 0) return 1;
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(814), L"Picture Files (*.*)", true);
  if (files.empty()) return 1;
  const std::wstring folder = LcdSlotFolder(ledId);
  if (folder.empty()) {
    KeyboardLog("screen: slot %d has no usable folder; no picture added", ledId);
    return 1;
  }
  const int selected = frames->GetCurSel();
  // The pictures follow one another in the order chosen, behind the selected frame.
  int pos = lcd_logic::InsertPosition(selected, frames->GetCount());
  for (const std::wstring& file : files) {
    const std::wstring name = NewLcdName(folder, L".png");
    if (name.empty()) break;
    const std::wstring fileName = name + L".png";
    if (!platform::image::ConvertPictureToFrame(WideToUtf8(file), WideToUtf8(folder + fileName), LCD_WIDTH,
                                                LCD_HEIGHT)) {
      KeyboardLog("screen: %s is no picture that can be read; skipped", WideToUtf8(file).c_str());
      continue;
    }
    frames->InsertItem(pos, folder + fileName, lcd_logic::kAddedPictureDelayMs, 0, fileName);
    ++pos;
  }
  if (selected < 0 && frames->GetCount() > 0) {
    frames->SetCurSel(0);
    m_lcdFrameIndex = 0;
    ShowLcdFrame(0);
  }
  return 1;
}

int KeyboardDlg::OnLcdCopyFrame() {
  ImageViewList* frames = FrameList(*this);
  if (!frames) return 1;
  const int pos = frames->GetCurSel();
  if (frames->GetCount() == 0 || pos < 0) {
    ShowMessageBox(GetSafeHwnd(), KbText(840), KbText(842), CUIMessageBox::ButtonsOk);
    return 1;
  }
  const std::wstring folder = LcdSlotFolder(m_lcdLedId);
  if (folder.empty()) {
    KeyboardLog("screen: slot %d has no usable folder; nothing copied", m_lcdLedId.load());
    return 1;
  }
  if (ImageView* editor = Editor(*this)) editor->SaveImageData();
  const ImageViewItem item = frames->GetItem(pos);
  const std::wstring source = item.editFile.empty() ? item.pictureFile : item.editFile;
  const std::wstring name = NewLcdName(folder, L".png");
  if (name.empty()) return 1;
  const std::wstring fileName = name + L".png";
  if (!ReplaceFileWith(source, folder + fileName)) return 1;
  frames->InsertItem(pos + 1, folder + fileName, item.delayMs, 0, fileName);
  frames->SetCurSel(pos + 1);
  m_lcdFrameIndex = pos + 1;
  ShowLcdFrame(pos + 1);
  m_lcdDirty = 1;
  return 1;
}

int KeyboardDlg::OnLcdDeleteFrame() {
  ImageViewList* frames = FrameList(*this);
  if (!frames) return 1;
  const int count = frames->GetCount();
  if (count == 0) {
    ShowMessageBox(GetSafeHwnd(), KbText(843), KbText(844), CUIMessageBox::ButtonsOk);
    return 1;
  }
  const int pos = frames->GetCurSel();
  if (pos < 0) {
    ShowMessageBox(GetSafeHwnd(), KbText(845), KbText(844), CUIMessageBox::ButtonsOk);
    return 1;
  }
  if (ShowMessageBox(GetSafeHwnd(), KbText(846), KbText(844), CUIMessageBox::ButtonsYesNo) != 1) return 1;
  m_lcdDirty = 1;
  frames->DeleteItem(pos);
  const int next = lcd_logic::SelectionAfterDelete(pos, count);
  frames->SetCurSel(next);
  m_lcdFrameIndex = next;
  ShowLcdFrame(next);
  return 1;
}

int KeyboardDlg::SaveLcdFrames() {
  ImageViewList* frames = FrameList(*this);
  const int ledId = m_lcdLedId.load();
  if (!frames || ledId <= 0) return 0;
  if (ImageView* editor = Editor(*this); editor && !editor->SaveImageData())
    KeyboardLog("screen: the editor could not write every edit");
  const std::wstring folder = LcdSlotFolder(ledId);
  if (folder.empty()) {
    KeyboardLog("screen: slot %d has no usable folder; nothing saved", ledId);
    return 0;
  }
  // An edited frame is written under a new name: the pictures the stored rows name stay as they
  // are until the rows naming the new ones are committed, so a slot is always old or new, whole.
  const std::vector<ImageViewItem> items = frames->GetImageViewItems();
  std::vector<LedFrameRow> rows;
  std::vector<std::wstring> written;
  const auto giveUp = [&](const char* why) {
    std::error_code error;
    for (const std::wstring& file : written) std::filesystem::remove(FsPath(file), error);
    KeyboardLog("screen: %s; the stored frames of slot %d are kept", why, ledId);
    TellNotSaved("screen: save");
    return 0;
  };
  for (size_t i = 0; i < items.size(); ++i) {
    const ImageViewItem& item = items[i];
    std::wstring fileName = item.fileName;
    if (!item.editFile.empty() && item.editFile != item.pictureFile) {
      const std::wstring name = NewLcdName(folder, L".png");
      if (name.empty() || !ReplaceFileWith(item.editFile, folder + name + L".png"))
        return giveUp("an edited frame cannot be written");
      fileName = name + L".png";
      written.push_back(folder + fileName);
    }
    rows.push_back(LedFrameRow{0, ledId, fileName, item.delayMs, static_cast<int>(i), fileName});
  }
  LCDViewList* slots = SlotList(*this);
  const bool listed = slots && slots->GetCurSel() >= 0;
  const std::wstring first = rows.empty() ? std::wstring() : rows.front().file_name;
  const int count = static_cast<int>(rows.size());
  if (!m_configDB.Atomically([&] {
        return m_configDB.ReplaceLedFrames(ledId, rows) &&
               (!listed || (m_configDB.SetLedLayerFirstFile(ledId, first) &&
                            m_configDB.SetLedLayerFrameSize(ledId, count)));
      }))
    return giveUp("the frames cannot be stored");
  LoadLcdFrames(ledId);  // also removes the pictures that no row names any more
  m_lcdDirty = 0;
  if (listed) {
    for (int index = 0; index < slots->GetCount(); ++index)
      if (slots->GetItemLEDId(index) == ledId)
        slots->SetFrameData(index, first.empty() ? L"" : folder + first, count);
    slots->UpdateControl();
  }
  return 1;
}

// ---- export and import ----

int KeyboardDlg::OnExportLcdGif() {
  ConfirmSaveLcdEdits();
  if (m_lcdLedId.load() <= 0) return 1;
  std::wstring path = platform::UserDialogs().SaveFile(KbText(820), L"LED (*.gif)", L"");
  if (path.empty()) return 1;
  if (path.size() < 4 || AsciiLower(path.substr(path.size() - 4)) != L".gif") path += L".gif";
  SetLcdGifPath(path);
  if (!m_taskList.Snapshot().empty()) return 1;
  {
    std::lock_guard guard(m_lcdLock);
    m_lcdOutcome = {};
  }
  RunLcdWaitTask(TaskSaveLcdGif);
  bool failed = false;
  {
    std::lock_guard guard(m_lcdLock);
    failed = m_lcdOutcome.exportFailed;
  }
  if (failed) ShowMessageBox(GetSafeHwnd(), KbText(854), KbText(820), CUIMessageBox::ButtonsOk);
  return 1;
}

void KeyboardDlg::SaveLcdGif() {
  const std::wstring path = LcdGifPath();
  ImageViewList* frames = FrameList(*this);
  const bool written = frames && !path.empty() && frames->SaveGIFImageFile(path, LCD_WIDTH, LCD_HEIGHT);
  if (!written) KeyboardLog("screen: the animation could not be written to %s", WideToUtf8(path).c_str());
  std::lock_guard guard(m_lcdLock);
  m_lcdOutcome.exportFailed = !written;
}

void KeyboardDlg::ImportLcdGif() {
  const std::wstring gif = LcdGifPath();
  LcdTaskOutcome outcome;
  auto finish = [&] {
    std::lock_guard guard(m_lcdLock);
    m_lcdOutcome = outcome;
  };
  LCDViewList* slots = SlotList(*this);
  const std::wstring work = GetUserDataFolder();
  if (!slots || gif.empty() || work.empty()) return finish();
  const std::wstring name = NewLcdName(work + L"led/", L"");
  const std::wstring folder =
      name.empty() ? std::wstring() : lcd_logic::SlotFolder(work, name).value_or(std::wstring());
  const bool madeFolder = !folder.empty() && CreateDirectoryRecursive(folder.c_str());
  if (!madeFolder) KeyboardLog("screen: the folder of the imported slot cannot be made");
  const int count = madeFolder ? slots->LoadGIFImageFile(gif, folder) : 0;
  // The slot row, its frames and its first file are one transaction, made once the pictures are
  // in place: a slot is listed only with all of its frames.
  int id = 0;
  const bool stored = count > 0 && m_configDB.Atomically([&] {
    id = m_configDB.NewLedLayer(m_profile, name);
    return id > 0 &&
           m_configDB.ReplaceLedFrames(id, lcd_logic::NumberedFrameRows(id, count, slots->GetDelayTimes())) &&
           m_configDB.SetLedLayerFirstFile(id, L"0.png") && m_configDB.SetLedLayerFrameSize(id, count);
  });
  if (!stored) {
    // Nothing of a failed import stays: no row, no folder, no item.
    outcome.unreadable = madeFolder && count == 0;
    outcome.unwritable = !madeFolder;
    outcome.notStored = count > 0;
    if (outcome.notStored) KeyboardLog("screen: the imported frames cannot be stored");
    if (madeFolder && !DeleteDirectoryTree(folder.c_str(), work))
      KeyboardLog("screen: the folder of the failed import cannot be removed");
    return finish();
  }
  outcome.ledId = id;
  outcome.frames = count;
  outcome.damaged = slots->LastLoadDamaged();
  SelectLcdSlot(slots->AddItem(folder, folder + L"0.png", count, id));
  finish();
}
