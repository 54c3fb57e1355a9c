// The macro page (tab 2): the list of macros with its menu, the play options of the selected
// macro, saving a macro with its download to the keyboard, and the exchange files.
#include <algorithm>
#include <filesystem>

#include "common/strings.h"
#include "common/xml_document.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/MacroEvents.h"
#include "keyboard/MacroExchange.h"
#include "keyboard/MacroPageControls.h"
#include "platform/qt/dialogs.h"
#include "zuvi/manager.h"
#include "zuvi/menu.h"
#include "zuvi/static_controls.h"

using namespace macro_page;

namespace {

constexpr int kNewMacroText = 531;

// clang-format off
constexpr page_controls::ControlSpec kControls[] = {
    {.id = 231, .className = L"CArea", .area = true},
    {.id = 232, .className = L"CArea", .area = true},
    {.id = 233, .className = L"MText", .area = true, .text = 500},
    {.id = 234, .className = L"QelListBox", .image = L"img_edit.png"},
    {.id = 235, .className = L"MText", .area = true, .text = 501},
    {.id = 236, .className = L"MComboBox", .image = L"img_combobox.png"},
    {.id = 237, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 504, .group = L"MACRO_EVENT"},
    {.id = 238, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 505, .group = L"MACRO_EVENT"},
    {.id = 239, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 506, .group = L"MACRO_EVENT"},
    {.id = 240, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 241, .className = L"MEdit", .image = L"img_edit.png", .visible = false},
    {.id = 242, .className = L"MComboBox", .image = L"img_combobox.png", .visible = false},
    {.id = 243, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 510},
    {.id = 244, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 511},
    {.id = 245, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 512},
    {.id = 246, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 54},
    {.id = 247, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 50},
    {.id = 248, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 53},
    {.id = 249, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 517, .group = L"DELAY_TIME"},
    {.id = 250, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 518, .group = L"DELAY_TIME"},
    {.id = 251, .className = L"CRadioButton", .image = L"btn_radiobox.png", .text = 519, .group = L"DELAY_TIME"},
    {.id = 252, .className = L"MEdit", .image = L"img_edit.png", .imageStates = 4},
    {.id = 253, .className = L"MText", .area = true, .text = 520},
    {.id = 254, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 521},
    {.id = 255, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 522, .visible = false},
    {.id = 256, .className = L"CArea", .area = true},
    {.id = 257, .className = L"MText", .area = true, .text = 523},
    {.id = 258, .className = L"CImageButton", .image = L"btn_record_time.png", .tooltip = 525},
    {.id = 259, .className = L"CImageButton", .image = L"btn_record_up.png", .tooltip = 526, .label = L"\u2191", .centred = true},
    {.id = 260, .className = L"CImageButton", .image = L"btn_record_down.png", .tooltip = 527, .label = L"\u2193", .centred = true},
    {.id = 261, .className = L"CImageButton", .image = L"btn_record_del.png", .tooltip = 512, .label = L"\u2212", .centred = true},
    {.id = 262, .className = L"CRecordList", .image = L"img_edit.png"},
    {.id = 263, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 524},
};
// clang-format on

constexpr int kPageControlIds[] = {236, 237, 238, 239, 240, 241, 242, 243, 245, 246, 248,
                                   249, 250, 251, 254, 255, 258, 259, 260, 261, 262, 263};

using page_controls::Box;

using page_controls::Place;

QelListBox* List(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kList); }
CRecordList* Events(const KeyboardDlg& dlg) { return dlg.GetControlAs<CRecordList>(kEvents); }

int SelectedMacroId(const KeyboardDlg& dlg) {
  QelListBox* list = List(dlg);
  if (!list || list->GetCurSel() < 0) return 0;
  return static_cast<int>(list->GetItemData(list->GetCurSel()));
}

std::wstring ShownName(const std::wstring& stored) {
  return DefaultNameRuleC(stored, g_languageId.load(), KbText(kNewMacroText));
}

void ShowBox(const std::wstring& text, const std::wstring& title) {
  platform::UserDialogs().MessageBox(text, title);
}

}  // namespace

void KeyboardDlg::CreateMacroPage() {
  page_controls::CreatePageControls(*this, GetControl(kb_ids::kPageMacro), kControls);
  if (auto* where = GetControlAs<MComboBox>(kInsertWhere)) {
    where->AddString(KbText(502), 0);
    where->AddString(KbText(503), 1);
    where->SetCurSel(0);
  }
  if (auto* buttons = GetControlAs<MComboBox>(kButtonCombo)) {
    buttons->AddString(KbText(507), 1);
    buttons->AddString(KbText(508), 2);
    buttons->AddString(KbText(509), 3);
    buttons->SetCurSel(0);
  }
  Check(*this, kKindKey);
  Check(*this, kDelayRecorded);
  if (auto* key = GetControlAs<MEdit>(kKeyEdit)) key->SetCaptureMode(true);
  if (auto* delay = GetControlAs<MEdit>(kDelayEdit)) delay->SetInputMode(MEdit::DigitsOnly);
  SetEditText(*this, kFixedDelayEdit, L"10");
  if (auto* fixed = GetControlAs<MEdit>(kFixedDelayEdit)) fixed->SetInputMode(MEdit::DigitsOnly);
  Enable(*this, kFixedDelayEdit, false);
  m_imageList.RemoveAll();
  const std::wstring skin = Manager::GetSkinDir();
  for (const wchar_t* icon :
       {L"icon//icon_input_down.png", L"icon//icon_input_up.png", L"icon//icon_input_delay.png"})
    m_imageList.Add(skin + icon);
  EnableMacroPageControls(false);
}

void KeyboardDlg::LayoutMacroPage(const RECT& client) {
  // Rectangles are window client coordinates, as for every page.
  const int w = client.right;
  const int h = client.bottom;
  auto at = [&](int id, int l, int t, int r, int b) { Place(*this, id, Box(l, t, r, b)); };
  at(231, 71, 60, 290, h - 1);
  at(233, 81, 60, 191, 90);
  at(234, 71, 90, 290, h - 1);
  at(232, 71, 90, 290, h - 1);
  at(235, 350, 120, 510, 150);
  at(236, 350, 150, 710, 180);
  for (int i = 0; i < 3; ++i) at(237 + i, 350 + 120 * i, 185, 450 + 120 * i, 215);
  for (int id : {240, 241, 242}) at(id, 350, 215, 650, 245);
  at(243, 350, 250, 450, 280);
  for (int i = 0; i < 3; ++i) at(244 + i, 350 + 100 * i, h - 300, 440 + 100 * i, h - 270);
  for (int i = 0; i < 2; ++i) at(247 + i, 350 + 100 * i, h - 265, 440 + 100 * i, h - 235);
  for (int i = 0; i < 3; ++i) at(249 + i, 350, h - 180 + 35 * i, 550, h - 150 + 35 * i);
  at(252, 455, h - 110, 555, h - 80);
  at(253, 560, h - 110, 610, h - 80);
  at(254, 350, h - 60, 510, h - 30);
  at(255, 350, h - 60, 510, h - 30);
  at(257, 780, 120, 900, 150);
  at(256, 780, 150, w - 50, h - 80);
  at(262, 790, 160, w - 60, h - 90);
  at(263, w - 150, h - 70, w - 50, h - 40);
  const int buttons[] = {260, 259, 261};
  for (int i = 0; i < 3; ++i) at(buttons[i], w - 92 - 30 * i, 120, w - 72 - 30 * i, 140);
}

void KeyboardDlg::EnableMacroPageControls(bool enable) {
  for (int id : kPageControlIds) Enable(*this, id, enable);
}

void KeyboardDlg::EnableMacroEditControls(bool enable) {
  for (int id = 234; id <= 263; ++id)
    if (id == 234 || (id >= 236 && id <= 251) || id >= 258) Enable(*this, id, enable);
}

int KeyboardDlg::ShownMacroId() {
  std::lock_guard guard(m_macroLock);
  return m_shownMacroId;
}

void KeyboardDlg::LoadMacroList() {
  QelListBox* list = List(*this);
  CRecordList* events = Events(*this);
  if (!list || !events) return;
  std::vector<MacroDataRow*> macros;
  m_configDB.GetAllMacros(macros);
  {
    std::lock_guard guard(m_macroLock);
    m_curMacroId = 0;
    m_shownMacroId = 0;
    m_macroRecords.clear();
    m_macroSaved = 1;
  }
  list->ResetContent();
  events->ResetContent();
  EnableMacroPageControls(false);
  for (const MacroDataRow* macro : macros) list->AddString(ShownName(macro->name), macro->macro_id);
  FreeRows(macros);
  if (list->GetItemCount() == 0) return;
  list->SetCurSel(0);
  ShowMacroRecords(static_cast<int>(list->GetItemData(0)));
  EnableMacroPageControls(true);
}

void KeyboardDlg::ShowMacroRecords(int macroId) {
  CRecordList* events = Events(*this);
  if (!events) return;
  events->ResetContent();
  if (auto* where = GetControlAs<MComboBox>(kInsertWhere)) where->SetCurSel(0);
  Check(*this, kKindKey);
  SetEditText(*this, kKeyEdit, L"");
  ShowCtl(*this, kKeyEdit, true);
  ShowCtl(*this, kDelayEdit, false);
  ShowCtl(*this, kButtonCombo, false);
  Check(*this, kDelayRecorded);
  SetEditText(*this, kFixedDelayEdit, L"10");
  Enable(*this, kFixedDelayEdit, false);

  MacroDataRow macro;
  const bool found = macroId > 0 && m_configDB.GetMacro(macroId, &macro);
  if (found) {
    if (macro.delay_type == 2) Check(*this, kDelayNone);
    if (macro.delay_type == 3) {
      Check(*this, kDelayFixed);
      Enable(*this, kFixedDelayEdit, true);
      SetEditText(*this, kFixedDelayEdit, std::to_wstring(macro.delay_time));
    }
  }
  std::vector<MacroRecordRow*> rows;
  if (found) m_configDB.GetMacroRecords(macroId, rows);
  std::lock_guard guard(m_macroLock);
  m_macroRecords.clear();
  m_curMacroId = 0;
  m_shownMacroId = found ? macroId : 0;
  m_macroSaved = 1;
  m_macroRecords.reserve(rows.size());
  for (const MacroRecordRow* row : rows) {
    const int added = events->AddString(row->desc, static_cast<std::intptr_t>(m_macroRecords.size()));
    events->SetItemEditable(added, row->type == macro_events::kDelay);  // delays are edited in place
    m_macroRecords.push_back(*row);
  }
  FreeRows(rows);
}

MacroDataRow KeyboardDlg::ShownPlayOptions(int macroId) {
  ReadDelayChoice(*this);
  MacroDataRow row;
  row.macro_id = macroId;
  row.play_times = 1;
  row.delay_type = m_delayMode;
  row.delay_time = m_fixedDelay;
  return row;
}

int KeyboardDlg::OnMacroListNotify(int code) {
  QelListBox* list = List(*this);
  if (!list) return 0;
  switch (code) {
    case 1: {
      // Edits of the macro on show are kept before another one is shown.
      bool unsaved = false;
      int shown = 0;
      {
        std::lock_guard guard(m_macroLock);
        unsaved = m_macroSaved == 0;
        shown = m_shownMacroId;
      }
      const int selected = list->GetCurSel();
      const int macroId = selected >= 0 ? static_cast<int>(list->GetItemData(selected)) : 0;
      if (unsaved && shown > 0 && shown != macroId) {
        list->SetCurData(shown);
        ApplyMacro();
        list->SetCurSel(selected);
      }
      if (selected < 0) {
        EnableMacroPageControls(false);
        Events(*this)->ResetContent();
        std::lock_guard guard(m_macroLock);
        m_macroRecords.clear();
        m_shownMacroId = 0;
        m_macroSaved = 1;
        return 1;
      }
      EnableMacroPageControls(true);
      ShowMacroRecords(macroId);
      return 1;
    }
    case 5: {
      MenuWnd menu(GetSafeHwnd(), WM_MACRO_MENU_COMMAND);
      if (list->GetCurSel() >= 0) {
        menu.AddMenu(605, KbText(51));
        menu.AddMenu(609, KbText(58));
        menu.AddMenu(606, KbText(54));
        menu.AddMenu(607, KbText(50));
      } else {
        int copied = 0;
        {
          std::lock_guard guard(m_macroLock);
          copied = m_curMacroId;
        }
        menu.AddMenu(600, KbText(59));
        menu.AddMenu(607, KbText(50));
        if (copied > 0) menu.AddMenu(610, KbText(55));
      }
      menu.TrackPopup();
      return 1;
    }
    case 29: {
      const int row = list->GetCurSel();
      if (row < 0) return 0;
      const int macroId = static_cast<int>(list->GetItemData(row));
      const std::wstring name = list->GetItemText(row);
      if (name.empty()) {
        ShowBox(KbText(153), KbText(52));
        MacroDataRow stored;
        if (m_configDB.GetMacro(macroId, &stored)) list->ModifyItemString(row, ShownName(stored.name));
        return 0;
      }
      m_configDB.RenameMacro(macroId, name);
      return 1;
    }
    default:
      return 0;
  }
}

int KeyboardDlg::OnMacroMenuCommand(int menuId) {
  switch (menuId) {
    case 600:
      return NewMacro();
    case 605:
      return DeleteMacro();
    case 606:
      return SelectMacro();
    case 607:
      return ImportMacro();
    case 608:
      return ExportMacro();
    case 609:
      if (QelListBox* list = List(*this)) return list->ShowEdit() ? 1 : 0;
      return 0;
    case 610:
      return CopyMacro();
    default:
      return 0;
  }
}

int KeyboardDlg::NewMacro() {
  QelListBox* list = List(*this);
  if (!list) return 0;
  if (m_macroSaved == 0 && ShownMacroId() > 0) ApplyMacro();  // the edits of the macro on show stay
  const std::wstring name = KbText(kNewMacroText);
  const int macroId = m_configDB.NewMacro(name);
  if (macroId <= 0) {
    KeyboardLog("macros: the store refused a new macro");
    return 0;
  }
  const int row = list->AddString(name, macroId);
  list->SetCurSel(row);
  ShowMacroRecords(macroId);
  EnableMacroPageControls(true);
  return 1;
}

int KeyboardDlg::DeleteMacro() {
  QelListBox* list = List(*this);
  if (!list) return 0;
  const int row = list->GetCurSel();
  const int macroId = SelectedMacroId(*this);
  if (row < 0 || macroId <= 0) return 0;
  if (!m_configDB.DeleteMacro(macroId)) return 0;
  list->DeleteString(row);
  {
    std::lock_guard guard(m_macroLock);
    m_macroDeletedSinceSend = true;
    if (m_curMacroId == macroId) m_curMacroId = 0;
  }
  list->SetCurSel(row - 1);
  // The row now selected shows its own events, so a save cannot wipe them.
  const int above = SelectedMacroId(*this);
  if (above > 0) {
    ShowMacroRecords(above);
  } else {
    Events(*this)->ResetContent();
    std::lock_guard guard(m_macroLock);
    m_macroRecords.clear();
    m_shownMacroId = 0;
    m_macroSaved = 1;
  }
  if (list->GetItemCount() == 0) EnableMacroPageControls(false);
  return 1;
}

int KeyboardDlg::SelectMacro() {
  const int macroId = SelectedMacroId(*this);
  if (macroId <= 0) return 0;
  std::lock_guard guard(m_macroLock);
  m_curMacroId = macroId;
  return 1;
}

int KeyboardDlg::CopyMacro() {
  int source = 0;
  {
    std::lock_guard guard(m_macroLock);
    source = m_curMacroId;
  }
  QelListBox* list = List(*this);
  MacroDataRow macro;
  if (!list || source < 1 || !m_configDB.GetMacro(source, &macro)) return 0;
  macro.macro_id = 0;
  std::vector<MacroRecordRow*> rows;
  if (m_configDB.GetMacroRecords(source, rows) < 0) {
    TellNotSaved("macros: copy");
    return 0;
  }
  std::vector<MacroRecordRow> copies;
  for (const MacroRecordRow* row : rows) copies.push_back(*row);
  FreeRows(rows);
  // The copy and its events are one transaction: no empty copy is ever left in the list.
  int copyId = 0;
  if (!m_configDB.Atomically([&] {
        copyId = m_configDB.InsertMacro(macro);
        if (copyId <= 0) return false;
        for (MacroRecordRow& copy : copies) {
          copy.record_id = 0;
          copy.macro_id = copyId;
        }
        return m_configDB.SaveMacroRecords(copies);
      })) {
    TellNotSaved("macros: copy");
    return 0;
  }
  list->AddString(ShownName(macro.name), copyId);
  return 1;
}

int KeyboardDlg::ApplyMacro() {
  if (MControl* stop = GetControl(kStop); stop && stop->IsVisible()) {
    StopMacroRecording();  // it saves and downloads
    return 1;
  }
  CRecordList* events = Events(*this);
  const int macroId = SelectedMacroId(*this);
  if (!events || macroId < 1) return 0;
  std::vector<MacroRecordRow> rows;
  {
    std::lock_guard guard(m_macroLock);
    // The events belong to the macro on show; another selected row gets them only when it is that
    // macro.
    if (m_shownMacroId != macroId) return 0;
    m_macroSaved = 1;
    const int count = events->GetItemCount();
    for (int i = 0; i < count; ++i) {
      const auto index = static_cast<size_t>(events->GetItemData(i));
      if (index >= m_macroRecords.size()) continue;
      MacroRecordRow row = m_macroRecords[index];
      row.record_id = 0;
      row.record_index = i;
      row.macro_id = macroId;
      rows.push_back(std::move(row));
    }
  }
  if (!m_configDB.ReplaceMacroRecords(ShownPlayOptions(macroId), rows)) {
    // The stored macro is as it was; the edits stay on screen to be saved again.
    {
      std::lock_guard guard(m_macroLock);
      m_macroSaved = 0;
    }
    TellNotSaved("macros: save");
    return 0;
  }

  const MacroDownloadResult result = DownloadMacros();
  switch (result.status) {
    case MacroDownloadStatus::kSent: {
      bool deleted = false;
      {
        std::lock_guard guard(m_macroLock);
        deleted = std::exchange(m_macroDeletedSinceSend, false);
      }
      // Keys that play a macro name it by its position, which a delete has moved.
      if (deleted) PostTask(TaskSendKeyMap);
      break;
    }
    case MacroDownloadStatus::kDoesNotFit:
      ShowMessageBox(m_hwndMain, KbText(564), KbText(523), 0);
      break;
    case MacroDownloadStatus::kBusy: {
      {
        std::lock_guard guard(m_macroLock);
        m_macroSaved = 0;  // leaving the tab tries again
      }
      ShowMessageBox(m_hwndMain, KbText(563), KbText(523), 0);
      break;
    }
    case MacroDownloadStatus::kNoKeyboard:
      break;  // logged by the download
    case MacroDownloadStatus::kFailed:
      break;  // the download tells the user; the store keeps the macro, so saving again resends it
  }
  return 1;
}

int KeyboardDlg::ExportMacro() {
  const int macroId = SelectedMacroId(*this);
  QelListBox* list = List(*this);
  if (!list || macroId <= 0) {
    ShowBox(KbText(540), KbText(541));
    return 0;
  }
  const std::wstring folder = platform::UserDialogs().ChooseFolder(KbText(541));
  if (folder.empty()) return 0;
  MacroDataRow macro;
  if (!m_configDB.GetMacro(macroId, &macro)) {
    ShowBox(KbText(566), KbText(53));
    return 0;
  }
  std::vector<MacroRecordRow*> stored;
  m_configDB.GetMacroRecords(macroId, stored);
  std::vector<MacroRecordRow> events;
  for (const MacroRecordRow* row : stored) events.push_back(*row);
  FreeRows(stored);
  const std::wstring dir = folder.back() == L'/' ? folder : folder + L"/";
  const auto tick = static_cast<std::uint32_t>(PacingClock().now() / std::chrono::milliseconds(1));
  const std::wstring path = macro_exchange::ExportFileName(dir, list->GetItemText(list->GetCurSel()), tick);
  std::wstring log;
  if (!XmlDocument::WriteTextFile(macro_exchange::BuildMacroFile(macro, events), log, path)) {
    KeyboardLog("macros: export to %s failed", WideToUtf8(path).c_str());
    ShowBox(KbText(566), KbText(53));
    return 0;
  }
  return 1;
}

int KeyboardDlg::ImportMacro() {
  QelListBox* list = List(*this);
  if (!list) return 0;
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(50), L"Macros (*.xml)", false);
  if (files.empty() || files.front().empty()) return 0;
  const std::wstring& path = files.front();
  auto refuse = [&](const char* why) {
    KeyboardLog("macros: import of %s: %s", WideToUtf8(path).c_str(), why);
    ShowBox(KbText(565), KbText(50));
    return 0;
  };
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(WideToUtf8(path), error);
  if (!error && size > macro_exchange::kMaxMacroFileBytes) return refuse("larger than a macro file can be");
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, path)) return refuse("not readable");
  macro_exchange::ParsedMacro parsed;
  if (!macro_exchange::ParseMacroFile(text, &parsed)) return refuse("not a macro file");
  if (!parsed.hasItems) parsed.events.clear();
  if (!macro_exchange::FitsMacroMemory(parsed.events))
    return refuse("more events than the macro memory holds");
  // The macro and its events are one transaction: a failure leaves no macro behind.
  int macroId = 0;
  if (!m_configDB.Atomically([&] {
        macroId = m_configDB.InsertMacro(parsed.macro);
        if (macroId <= 0) return false;
        for (MacroRecordRow& event : parsed.events) event.macro_id = macroId;
        return m_configDB.SaveMacroRecords(parsed.events);
      })) {
    TellNotSaved("macros: import");
    return 0;
  }
  list->AddString(parsed.macro.name, macroId);
  return 1;
}
