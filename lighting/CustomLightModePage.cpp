// The custom light mode editor (tab 7): named schemes of static per-key colours with a brightness.
// The scheme in use ("cur_customlightmode") is what the keyboard shows: selecting or creating one,
// and storing or clearing it, queue its send. Colour edits live in the view until stored.
#include "common/strings.h"
#include "keyboard/PageControls.h"
#include "lighting/CustomEditorSteps.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/views.h"

using custom_editor::CurrentData;
using page_controls::Box;
using page_controls::Enable;
using page_controls::Place;

namespace {

constexpr int kPalette = 198;
constexpr int kRed = 202, kGreen = 203, kBlue = 204;
constexpr int kBrightness = 223;
constexpr int kAllKeys = 224, kDigitKeys = 225, kWasdKeys = 226;
constexpr int kFirstPreset = 206, kLastPreset = 221;

constexpr custom_editor::Editor kEditor{
    .list = kb_ids::kCustomLightModeList,
    .view = kb_ids::kCustomLightModeView,
    .palette = kPalette,
    .red = kRed,
    .green = kGreen,
    .blue = kBlue,
    .firstPreset = kFirstPreset,
    .lastPreset = kLastPreset,
    .allKeys = kAllKeys,
    .digitKeys = kDigitKeys,
    .wasdKeys = kWasdKeys,
    .valueSlider = kBrightness,
    .firstListButton = 188,
    .firstMenuCommand = 616,
    .names = &custom_editor::StoredNames<CustomLightModeRow, &ConfigDB::GetCustomLightModes>,
    .create = &ConfigDB::NewCustomLightMode,
    .rename = &ConfigDB::RenameCustomLightMode,
    .remove = &ConfigDB::DeleteCustomLightMode,
    .getValue = &ConfigDB::GetCustomLightModeBrightness,
    .setValue = &ConfigDB::SetCustomLightModeBrightness,
    .getKeys = &ConfigDB::GetCustomModeRgbList,
    .setKeys = &ConfigDB::SetCustomModeRgbList,
    .showValue = &CustomLightMode::SetBrightNess,
    .kind = scheme_file::Kind::kColors,
    .fileFilter = L"lightmode (*.xml)",
    .logName = "custom light mode",
    .fileTag = "customlightmode",
};

// clang-format off
constexpr auto kControls = custom_editor::JoinControls(
    std::to_array<page_controls::ControlSpec>({
        {.id = 187, .className = L"CArea", .area = true},
    }),
    custom_editor::ListButtons(kEditor),
    std::to_array<page_controls::ControlSpec>({
        {.id = 193, .className = L"CArea", .area = true},
        {.id = 195, .className = L"QelListBox", .image = L"img_edit.png"},
        {.id = 196, .className = L"CArea", .area = true},
    }),
    custom_editor::ColorEdits(kEditor, 199),
    std::to_array<page_controls::ControlSpec>({
        {.id = 205, .className = L"MText", .text = 261},
        {.id = 222, .className = L"MText", .text = 262},
        {.id = 223, .className = L"MSlider", .image = L"img_slider_back.png"},
    }),
    custom_editor::KeyGroupBoxes(kEditor),
    custom_editor::StoreButtons(227));
// clang-format on

// The lighting page's preset colours, 0x00BBGGRR, ids 206-221.
constexpr std::uint32_t kPresets[16] = {0x0000FF, 0xFC00FF, 0xFF007E, 0xFF0000, 0xFD8900, 0xFFFC00,
                                        0x339933, 0x00FF00, 0x00FFB4, 0x00F6FF, 0x00A8FF, 0x1354EA,
                                        0xFFFFFF, 0x000000, 0x0098FF, 0xC3B700};

QelListBox* Schemes(const KeyboardDlg& dlg) { return custom_editor::Schemes(dlg, kEditor); }
CustomLightMode* View(const KeyboardDlg& dlg) { return custom_editor::View(dlg, kEditor); }

}  // namespace

void KeyboardDlg::CreateCustomLightModePage() {
  MControl* page = GetControl(kb_ids::kPageCustomLightMode);
  page_controls::CreatePageControls(*this, page, kControls);
  custom_editor::CreatePresetButtons(*this, page, kFirstPreset, kPresets);
  AddCustomLightView(kb_ids::kCustomLightModeView, page);
  if (auto* slider = GetControlAs<MSlider>(kBrightness)) {
    slider->SetRange(0, 15);
    slider->SetPos(15);
  }
  EnableCustomLightModeListButtons(false);
}

void KeyboardDlg::LayoutCustomLightModePage(const RECT& client) {
  const int w = client.right, h = client.bottom;
  custom_editor::PlaceListButtons(*this, kEditor);
  Place(*this, 187, Box(65, 55, 295, h - 10));
  Place(*this, kb_ids::kCustomLightModeList, Box(71, 100, 290, h - 20));
  Place(*this, kb_ids::kCustomLightModeView, Box(310, 110, w - 20, h - 300));
  custom_editor::PlaceKeyGroups(*this, kEditor);
  const int y = h - 290;
  Place(*this, 196, Box(300, y, w - 10, h - 10));
  custom_editor::PlaceColorEdits(*this, kEditor, 199, y);
  custom_editor::PlacePresets(*this, kEditor, 580, y + 25, y + 120);
  Place(*this, 227, Box(w - 250, h - 50, w - 142, h - 20));
  Place(*this, 228, Box(w - 142, h - 50, w - 34, h - 20));
}

void KeyboardDlg::EnableCustomLightModeListButtons(bool enable) {
  custom_editor::EnableColorControls(*this, kEditor, enable);
  for (int id : {kb_ids::kCustomLightModeView, kBrightness, kAllKeys, kDigitKeys, kWasdKeys, 227, 228, 189, 190, 192})
    Enable(*this, id, enable);
}

void KeyboardDlg::LoadCustomLightModeList(int profile) {
  std::wstring current;
  m_configDB.GetConfigValue(profile, L"cur_customlightmode", &current);
  m_curCustomLightMode = WToI(current);
  EnableCustomLightModeListButtons(false);
  QelListBox* list = Schemes(*this);
  if (!list) return;
  custom_editor::FillSchemes(*this, kEditor, profile);
  if (list->GetCount() == 0) return;
  list->SetCurData(m_curCustomLightMode.load());
  LoadCustomLightModeKeys(m_curCustomLightMode.load());
  EnableCustomLightModeListButtons(true);
}

void KeyboardDlg::LoadCustomLightModeKeys(int customlightId) {
  CustomLightMode* view = View(*this);
  if (!view) return;
  custom_editor::ClearKeys(*this, kEditor, *view);
  view->ResetAllItemsColor(0);
  custom_editor::ShowStoredScheme(*this, kEditor, *view, customlightId);
}

int KeyboardDlg::OnCustomLightModeListNotify(int code) {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  switch (code) {
    case NOTIFY_SELCHANGE: {
      const int id = CurrentData(list);
      m_curCustomLightMode = id;
      LoadCustomLightModeKeys(id);
      m_configDB.SetConfigValue(m_profile, L"cur_customlightmode", std::to_wstring(id));
      PostTask(TaskSendCustomModeColors);
      return 1;
    }
    case NOTIFY_RCLICK:
      custom_editor::ShowListMenu(*this, kEditor);
      return 1;
    case NOTIFY_EDIT_END:
      return custom_editor::EndRename(*this, kEditor);
    default:
      return 0;
  }
}

void KeyboardDlg::ChooseCustomLightModeColor(std::uint32_t color) {
  custom_editor::ShowColorInEdits(*this, kEditor, color);
  if (CustomLightMode* view = View(*this)) {
    view->SetKeyLightMode(1);
    view->SetCheckKeyColor(color, 1);
  }
}

int KeyboardDlg::OnCustomLightModePaletteNotify() {
  const std::optional<std::uint32_t> color = custom_editor::PaletteColor(*this, kEditor);
  if (!color) return 0;
  ChooseCustomLightModeColor(*color);
  return 1;
}

int KeyboardDlg::OnCustomLightModeColorButton(int id) {
  const std::optional<std::uint32_t> color = custom_editor::ButtonColor(*this, id);
  if (!color) return 0;
  ChooseCustomLightModeColor(*color);
  if (*color == 0) OnCustomLightModeApplyColorType();  // black stores the whole scheme at once
  return 1;
}

void KeyboardDlg::ApplyCustomLightModeColorEdit() {
  const std::uint32_t color = custom_editor::EditedColor(*this, kEditor);
  if (CustomLightMode* view = View(*this)) {
    view->SetKeyLightMode(1);
    view->SetCheckKeyColor(color, 1);
  }
}

int KeyboardDlg::OnCustomLightModeRedEdit(int code) {
  if (!custom_editor::ClampEdits(*this, code, {kRed})) return 0;
  ApplyCustomLightModeColorEdit();
  return 1;
}

int KeyboardDlg::OnCustomLightModeGreenBlueEdit(int code) {
  if (!custom_editor::ClampEdits(*this, code, {kGreen, kBlue})) return 0;
  ApplyCustomLightModeColorEdit();
  return 1;
}

int KeyboardDlg::OnNewCustomLightMode() {
  const int id = custom_editor::AddNewScheme(*this, kEditor);
  if (id <= 0) return 0;
  m_curCustomLightMode = id;
  m_configDB.SetConfigValue(m_profile, L"cur_customlightmode", std::to_wstring(id));
  LoadCustomLightModeKeys(id);
  PostTask(TaskSendCustomModeColors);
  if (Schemes(*this)->GetCount() == 1) EnableCustomLightModeListButtons(true);
  return 1;
}

int KeyboardDlg::OnDeleteCustomLightMode() {
  if (!custom_editor::DeleteSelected(*this, kEditor)) return 0;
  QelListBox* list = Schemes(*this);
  // The view follows the selection, so a later store cannot reach another scheme; the scheme in
  // use and the keyboard stay as they were.
  LoadCustomLightModeKeys(CurrentData(list));
  if (list->GetCount() == 0) EnableCustomLightModeListButtons(false);
  return 1;
}

int KeyboardDlg::OnCustomLightModeBrightnessSlider() { return custom_editor::OnValueSlider(*this, kEditor); }

int KeyboardDlg::OnCustomLightModeSelectAll() { return custom_editor::CheckAllKeys(*this, kEditor); }

int KeyboardDlg::OnCustomLightModeCheckDigits() { return custom_editor::CheckDigitKeys(*this, kEditor); }

int KeyboardDlg::OnCustomLightModeCheckWasd() { return custom_editor::CheckWasdKeys(*this, kEditor); }

bool KeyboardDlg::ReplaceCustomModeKeys(int id, std::vector<CustomRgbRow> rows) {
  // The old keys go only together with the new ones: a refused row keeps the stored scheme.
  if (m_configDB.Atomically([&] {
        return m_configDB.DeleteCustomModeRgb(id) && m_configDB.SetCustomModeRgbList(std::move(rows));
      }))
    return true;
  TellNotSaved("custom light mode: store");
  return false;
}

int KeyboardDlg::OnCustomLightModeApplyColor() {
  CustomLightMode* view = View(*this);
  if (!view) return 0;
  view->SetKeyLightMode(0);
  view->ResetAllItemsColor(0);
  const int id = CurrentData(Schemes(*this));
  if (id < 1) return 0;
  std::vector<CustomRgbRow> rows;
  for (const CustomLightItem& item : view->GetKeyItems())
    rows.push_back(CustomRgbRow{0, id, item.code, static_cast<int>(item.color), 0, 1, item.type});
  if (!ReplaceCustomModeKeys(id, std::move(rows))) return 0;
  PostTask(TaskSendCustomModeColors);
  return 1;
}

int KeyboardDlg::OnCustomLightModeApplyColorType() {
  CustomLightMode* view = View(*this);
  const int id = CurrentData(Schemes(*this));
  if (!view || id < 1) return 0;
  if (!m_isRgb) {
    // A single-colour keyboard lights the checked keys at full level.
    view->SetKeyLightMode(1);
    view->SetCheckKeyColor(0xFFFFFF, 1);
  }
  view->SetCheckColorType(0);
  std::vector<CustomRgbRow> rows;
  for (const CustomLightItem& item : view->GetKeyItems())
    rows.push_back(CustomRgbRow{0, id, item.code, static_cast<int>(item.color), 1, 0, 0});
  if (!ReplaceCustomModeKeys(id, std::move(rows))) return 0;
  PostTask(TaskSendCustomModeColors);
  return 1;
}

int KeyboardDlg::OnImportCustomLightMode() { return custom_editor::ImportScheme(*this, kEditor); }

int KeyboardDlg::OnExportCustomLightMode() {
  return custom_editor::ExportScheme(*this, kEditor, PacingClock());
}
