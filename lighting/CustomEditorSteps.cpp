#include "lighting/CustomEditorSteps.h"

#include <chrono>

#include "common/strings.h"
#include "common/xml_document.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/LightColor.h"
#include "platform/qt/dialogs.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/views.h"

using page_controls::Box;
using page_controls::Check;
using page_controls::Checked;
using page_controls::EditText;
using page_controls::Enable;
using page_controls::Place;
using page_controls::SetEditText;

namespace custom_editor {

namespace {

constexpr int kNewSchemeText = 150;
constexpr int kStartValue = 15;
constexpr int kExportValue = 10;  // what a scheme without a stored value exports
constexpr int kDigitCodes[] = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
constexpr int kWasdCodes[] = {26, 4, 22, 7};
constexpr int kMenuTexts[] = {57, 51, 50, 53};  // new, delete, import, export

int CheckGroup(const KeyboardDlg& dlg, const Editor& editor, int box, std::span<const int> codes) {
  const bool on = Checked(dlg, box);
  if (CustomLightMode* view = View(dlg, editor))
    for (int code : codes) view->SetKeyCheck(code, on);
  return 1;
}

}  // namespace

QelListBox* Schemes(const KeyboardDlg& dlg, const Editor& editor) {
  return dlg.GetControlAs<QelListBox>(editor.list);
}

CustomLightMode* View(const KeyboardDlg& dlg, const Editor& editor) {
  return dlg.GetCustomLightView(editor.view);
}

int CurrentData(QelListBox* list) {
  if (!list || list->GetCurSel() < 0) return 0;
  return static_cast<int>(list->GetItemData(list->GetCurSel()));
}

std::wstring ShownName(const std::wstring& stored) {
  return DefaultNameRuleB(stored, g_languageId.load(), KbText(kNewSchemeText));
}

void CreatePresetButtons(KeyboardDlg& dlg, MControl* page, int firstId,
                         std::span<const std::uint32_t, 16> colors) {
  for (std::size_t i = 0; i < colors.size(); ++i) {
    auto* button = dynamic_cast<CColorButton*>(
        dlg.CreateControl(L"CColorButton", firstId + static_cast<int>(i), RECT{}, nullptr, 1, 1, page));
    if (!button) continue;
    button->SetGroupName(L"IDC_LIGHT_STC_DEFAULTCOLOR");
    button->SetColor(light_color::ToPaletteArgb(colors[i]));
  }
}

void PlaceListButtons(const KeyboardDlg& dlg, const Editor& editor) {
  for (int i = 0; i < 5; ++i) Place(dlg, editor.firstListButton + i, Box(91 + 35 * i, 65, 121 + 35 * i, 85));
}

void PlaceKeyGroups(const KeyboardDlg& dlg, const Editor& editor) {
  Place(dlg, editor.allKeys, Box(400, 95, 530, 115));
  Place(dlg, editor.digitKeys, Box(530, 95, 670, 115));
  Place(dlg, editor.wasdKeys, Box(670, 95, 770, 115));
}

void PlaceColorEdits(const KeyboardDlg& dlg, const Editor& editor, int firstLabel, int y) {
  Place(dlg, editor.palette, Box(320, y + 20, 480, y + 180));
  for (int i = 0; i < 3; ++i) {
    Place(dlg, firstLabel + i, Box(500, y + 25 + 35 * i, 520, y + 50 + 35 * i));
    Place(dlg, editor.red + i, Box(522, y + 25 + 35 * i, 570, y + 50 + 35 * i));
  }
}

void PlacePresets(const KeyboardDlg& dlg, const Editor& editor, int left, int firstTop, int secondTop) {
  for (int i = 0; i < 7; ++i) {
    Place(dlg, editor.firstPreset + i, Box(left + 43 * i, firstTop, left + 31 + 43 * i, firstTop + 31));
    Place(dlg, editor.firstPreset + 7 + i, Box(left + 43 * i, secondTop, left + 31 + 43 * i, secondTop + 31));
  }
}

void EnableColorControls(const KeyboardDlg& dlg, const Editor& editor, bool enable) {
  Enable(dlg, editor.palette, enable);
  for (int id = editor.red; id <= editor.blue; ++id) Enable(dlg, id, enable);
  for (int id = editor.firstPreset; id <= editor.lastPreset; ++id) Enable(dlg, id, enable);
}

void FillSchemes(KeyboardDlg& dlg, const Editor& editor, int profile) {
  QelListBox* list = Schemes(dlg, editor);
  if (!list) return;
  list->ResetContent();
  for (const SchemeName& scheme : editor.names(dlg.m_configDB, profile))
    list->AddString(ShownName(scheme.name), scheme.id);
}

void ShowListMenu(KeyboardDlg& dlg, const Editor& editor) {
  MenuWnd menu(dlg.GetSafeHwnd(), WM_LIGHT_EDITOR_MENU_COMMAND);
  for (int i = 0; i < 4; ++i) menu.AddMenu(editor.firstMenuCommand + i, KbText(kMenuTexts[i]));
  menu.TrackPopup();
}

int EndRename(KeyboardDlg& dlg, const Editor& editor) {
  QelListBox* list = Schemes(dlg, editor);
  const int row = list ? list->GetCurSel() : -1;
  if (row < 0) return 0;
  const int id = static_cast<int>(list->GetItemData(row));
  const std::wstring name = list->GetItemText(row);
  if (!name.empty()) return (dlg.m_configDB.*editor.rename)(id, name) ? 1 : 0;
  for (const SchemeName& stored : editor.names(dlg.m_configDB, dlg.m_profile))
    if (stored.id == id) list->ModifyItemString(row, ShownName(stored.name));
  return 0;
}

int AddNewScheme(KeyboardDlg& dlg, const Editor& editor) {
  QelListBox* list = Schemes(dlg, editor);
  if (!list) return 0;
  const std::wstring name = KbText(kNewSchemeText);
  const int id = (dlg.m_configDB.*editor.create)(dlg.m_profile, name);
  if (id <= 0) return 0;
  const int row = list->AddString(ShownName(name), id);
  list->SetCurSel(row >= 0 ? row : list->GetCount() - 1);
  return id;
}

bool DeleteSelected(KeyboardDlg& dlg, const Editor& editor) {
  QelListBox* list = Schemes(dlg, editor);
  if (!list || list->GetCurSel() < 0) return false;
  const int row = list->GetCurSel();
  if (!(dlg.m_configDB.*editor.remove)(static_cast<int>(list->GetItemData(row)))) return false;
  list->DeleteString(row);
  list->SetCurSel(row > 0 ? row - 1 : -1);
  return true;
}

void ClearKeys(const KeyboardDlg& dlg, const Editor& editor, CustomLightMode& view) {
  view.ResetAllKeyInfo();
  view.ResetAllItemCheck(false);
  for (int id : {editor.allKeys, editor.digitKeys, editor.wasdKeys}) Check(dlg, id, false);
}

void ShowStoredScheme(KeyboardDlg& dlg, const Editor& editor, CustomLightMode& view, int id) {
  // The stored value is the slider's own position: one scale both ways.
  int value = kStartValue;
  if (id > 0) (dlg.m_configDB.*editor.getValue)(id, &value);
  if (auto* slider = dlg.GetControlAs<MSlider>(editor.valueSlider)) slider->SetPos(value);
  (view.*editor.showValue)(value);
  std::vector<CustomRgbRow*> rows;
  if (id > 0) (dlg.m_configDB.*editor.getKeys)(id, rows);
  for (const CustomRgbRow* row : rows)
    view.SetKeyInfo(row->keycode, row->light_mode, static_cast<std::uint32_t>(row->rgbvalue) & 0xFFFFFF,
                    row->light_type, row->colortype);
  FreeRows(rows);
  view.UpdateControl();
}

int OnValueSlider(KeyboardDlg& dlg, const Editor& editor) {
  auto* slider = dlg.GetControlAs<MSlider>(editor.valueSlider);
  if (!slider) return 0;
  const int value = slider->GetPos();
  if (CustomLightMode* view = View(dlg, editor)) (view->*editor.showValue)(value);
  const int id = CurrentData(Schemes(dlg, editor));
  if (id >= 1) (dlg.m_configDB.*editor.setValue)(id, value);
  return 1;
}

int CheckAllKeys(const KeyboardDlg& dlg, const Editor& editor) {
  const bool on = Checked(dlg, editor.allKeys);
  Check(dlg, editor.digitKeys, on);
  Check(dlg, editor.wasdKeys, on);
  if (CustomLightMode* view = View(dlg, editor)) view->ResetAllItemCheck(on);
  return 1;
}

int CheckDigitKeys(const KeyboardDlg& dlg, const Editor& editor) {
  return CheckGroup(dlg, editor, editor.digitKeys, kDigitCodes);
}

int CheckWasdKeys(const KeyboardDlg& dlg, const Editor& editor) {
  return CheckGroup(dlg, editor, editor.wasdKeys, kWasdCodes);
}

void ShowColorInEdits(const KeyboardDlg& dlg, const Editor& editor, std::uint32_t color) {
  const light_color::Rgb rgb = light_color::Unpack(color);
  SetEditText(dlg, editor.red, std::to_wstring(rgb.red));
  SetEditText(dlg, editor.green, std::to_wstring(rgb.green));
  SetEditText(dlg, editor.blue, std::to_wstring(rgb.blue));
}

std::uint32_t EditedColor(const KeyboardDlg& dlg, const Editor& editor) {
  return light_color::Pack(
      {WToI(EditText(dlg, editor.red)), WToI(EditText(dlg, editor.green)), WToI(EditText(dlg, editor.blue))});
}

bool ClampEdits(const KeyboardDlg& dlg, int code, std::initializer_list<int> edits) {
  if (code != NOTIFY_EDIT_CHANGED) return false;
  // Only a text outside 0..255 is rewritten.
  for (int id : edits) {
    const std::wstring text = EditText(dlg, id);
    if (light_color::EditOutOfRange(text))
      SetEditText(dlg, id, std::to_wstring(light_color::EditChannel(text)));
  }
  return true;
}

std::optional<std::uint32_t> PaletteColor(const KeyboardDlg& dlg, const Editor& editor) {
  auto* palette = dlg.GetControlAs<CirclePalette>(editor.palette);
  if (!palette) return std::nullopt;
  return light_color::FromArgb(palette->GetSelectColor());
}

std::optional<std::uint32_t> ButtonColor(const KeyboardDlg& dlg, int id) {
  auto* button = dlg.GetControlAs<CColorButton>(id);
  if (!button) return std::nullopt;
  return light_color::FromArgb(button->GetColor());
}

int ImportScheme(KeyboardDlg& dlg, const Editor& editor) {
  QelListBox* list = Schemes(dlg, editor);
  if (!list) return 0;
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(303), editor.fileFilter, false);
  if (files.empty() || files.front().empty()) return 0;
  const std::wstring& path = files.front();
  auto refuse = [&](const std::string& why) {
    KeyboardLog("%s: import of %s: %s", editor.logName, WideToUtf8(path).c_str(), why.c_str());
    platform::UserDialogs().MessageBox(KbText(323), KbText(303));
    return 0;
  };
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, path)) return refuse("not readable");
  scheme_file::Scheme scheme;
  if (!scheme_file::ParseSchemeFile(editor.kind, text, &scheme))
    return refuse(std::string("not a ") + editor.fileTag + " file");
  // The scheme, its value and its keys are one transaction: a failure leaves no scheme behind.
  ConfigDB& store = dlg.m_configDB;
  int id = 0;
  if (!store.Atomically([&] {
        id = (store.*editor.create)(dlg.m_profile, scheme.name);
        return id > 0 && (store.*editor.setValue)(id, scheme.value) &&
               (store.*editor.setKeys)(scheme_file::ImportedRows(std::move(scheme.rows), id));
      })) {
    dlg.TellNotSaved(editor.logName);
    return 0;
  }
  list->AddString(ShownName(scheme.name), id);
  return 1;
}

int ExportScheme(KeyboardDlg& dlg, const Editor& editor, platform::Clock& clock) {
  QelListBox* list = Schemes(dlg, editor);
  if (!list || list->GetCurSel() < 0) {
    platform::UserDialogs().MessageBox(KbText(320), KbText(321));
    return 0;
  }
  const std::wstring folder = platform::UserDialogs().ChooseFolder(KbText(321));
  if (folder.empty()) return 0;
  const std::wstring name = list->GetItemText(list->GetCurSel());
  const int id = CurrentData(list);
  int value = kExportValue;
  (dlg.m_configDB.*editor.getValue)(id, &value);
  std::vector<CustomRgbRow*> stored;
  (dlg.m_configDB.*editor.getKeys)(id, stored);
  std::vector<CustomRgbRow> rows;
  for (const CustomRgbRow* row : stored) rows.push_back(*row);
  FreeRows(stored);
  const std::wstring dir = folder.back() == L'/' ? folder : folder + L"/";
  const auto tick = static_cast<std::uint32_t>(clock.now() / std::chrono::milliseconds(1));
  const std::wstring path = scheme_file::ExportFileName(dir, name, tick);
  std::wstring log;
  if (!XmlDocument::WriteTextFile(scheme_file::BuildSchemeFile(editor.kind, name, value, rows), log, path)) {
    KeyboardLog("%s: export to %s failed", editor.logName, WideToUtf8(path).c_str());
    platform::UserDialogs().MessageBox(KbText(322), KbText(321));
    return 0;
  }
  return 1;
}

}  // namespace custom_editor
