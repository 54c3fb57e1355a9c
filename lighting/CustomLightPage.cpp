// The custom light effect editor (tab 4): named schemes of per-key effects with a common speed.
// The key view animates the scheme; while the tab is shown the worker previews it live on the
// keyboard. Edits live in the view until the checked keys are stored; nothing is queued here.
#include <chrono>

#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/CustomEditorSteps.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/views.h"

using custom_editor::CurrentData;
using page_controls::Box;
using page_controls::Enable;
using page_controls::Place;
using page_controls::ShowCtl;

namespace {

constexpr int kEffectList = 142;
constexpr int kPalette = 145;
constexpr int kRed = 149, kGreen = 150, kBlue = 151;
constexpr int kSpeedSlider = 174;
constexpr int kAllKeys = 180, kDigitKeys = 181, kWasdKeys = 182;
constexpr int kFirstPreset = 155, kLastPreset = 170;

constexpr custom_editor::Editor kEditor{
    .list = kb_ids::kCustomLightList,
    .view = kb_ids::kCustomLightView,
    .palette = kPalette,
    .red = kRed,
    .green = kGreen,
    .blue = kBlue,
    .firstPreset = kFirstPreset,
    .lastPreset = kLastPreset,
    .allKeys = kAllKeys,
    .digitKeys = kDigitKeys,
    .wasdKeys = kWasdKeys,
    .valueSlider = kSpeedSlider,
    .firstListButton = 131,
    .firstMenuCommand = 606,
    .names = &custom_editor::StoredNames<CustomLightRow, &ConfigDB::GetCustomLights>,
    .create = &ConfigDB::NewCustomLight,
    .rename = &ConfigDB::RenameCustomLight,
    .remove = &ConfigDB::DeleteCustomLight,
    .getValue = &ConfigDB::GetCustomLightSpeed,
    .setValue = &ConfigDB::SetCustomLightSpeed,
    .getKeys = &ConfigDB::GetCustomRgbList,
    .setKeys = &ConfigDB::SetCustomRgbList,
    .showValue = &CustomLightMode::SetSpeed,
    .kind = scheme_file::Kind::kEffects,
    .fileFilter = L"light (*.xml)",
    .logName = "custom light",
    .fileTag = "customlight",
};

// clang-format off
constexpr auto kControls = custom_editor::JoinControls(
    std::to_array<page_controls::ControlSpec>({
        {.id = 130, .className = L"CArea", .area = true},
    }),
    custom_editor::ListButtons(kEditor),
    std::to_array<page_controls::ControlSpec>({
        {.id = 136, .className = L"CArea", .area = true},
        {.id = 138, .className = L"QelListBox", .image = L"img_edit.png"},
        {.id = 139, .className = L"MText", .text = 30},
        {.id = 140, .className = L"CArea", .area = true},
        {.id = 141, .className = L"CArea", .area = true},
        {.id = 142, .className = L"QelListBox"},
        {.id = 143, .className = L"CArea", .area = true},
    }),
    custom_editor::ColorEdits(kEditor, 146),
    std::to_array<page_controls::ControlSpec>({
        {.id = 152, .className = L"MText", .text = 260},
        {.id = 153, .className = L"CSwitchButton", .image = L"img_switch_off.png"},
        {.id = 154, .className = L"MText", .text = 261},
        {.id = 171, .className = L"MText", .text = 262},
        {.id = 172, .className = L"MSlider", .image = L"img_slider_back.png"},
        {.id = 173, .className = L"MText", .text = 263},
        {.id = 174, .className = L"MSlider", .image = L"img_slider_back.png"},
        {.id = 175, .className = L"MText", .text = 284},
        {.id = 176, .className = L"CRadioButton", .image = L"img_direction_right.png", .label = L"\u2192", .group = L"GROUP_LIGHT_DIRECTION"},
        {.id = 177, .className = L"CRadioButton", .image = L"img_direction_left.png", .label = L"\u2190", .group = L"GROUP_LIGHT_DIRECTION"},
        {.id = 178, .className = L"CRadioButton", .image = L"img_direction_top.png", .label = L"\u2191", .group = L"GROUP_LIGHT_DIRECTION"},
        {.id = 179, .className = L"CRadioButton", .image = L"img_direction_bottom.png", .label = L"\u2193", .group = L"GROUP_LIGHT_DIRECTION"},
    }),
    custom_editor::KeyGroupBoxes(kEditor),
    custom_editor::StoreButtons(183));
// clang-format on

// The preset colours, 0x00BBGGRR, ids 155-170; the last is black.
constexpr std::uint32_t kPresets[16] = {0x0000FF, 0xFC00FF, 0xFF007E, 0xFF0000, 0xFD8900, 0xFFFC00,
                                        0x339933, 0x00FF00, 0x00FFB4, 0x00F6FF, 0x00A8FF, 0x1354EA,
                                        0xFFFFFF, 0x000000, 0x0098FF, 0x000000};

// The effect list: text id and effect id.
constexpr int kEffects[][2] = {{200, 1}, {203, 4}, {204, 5}, {205, 6}, {206, 7},
                               {207, 8}, {208, 9}, {209, 10}, {210, 11}, {211, 12}};

QelListBox* Schemes(const KeyboardDlg& dlg) { return custom_editor::Schemes(dlg, kEditor); }
QelListBox* EffectList(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kEffectList); }
CustomLightMode* View(const KeyboardDlg& dlg) { return custom_editor::View(dlg, kEditor); }

bool SwitchOn(const KeyboardDlg& dlg) {
  auto* on = dlg.GetControlAs<CSwitchButton>(kb_ids::kCustomLightSwitch);
  return on && on->GetCheck();
}

void ShowDirection(const KeyboardDlg& dlg, bool on) {
  for (int id = 175; id <= 179; ++id) ShowCtl(dlg, id, on);
}

}  // namespace

void KeyboardDlg::CreateCustomLightPage() {
  MControl* page = GetControl(kb_ids::kPageCustomLight);
  page_controls::CreatePageControls(*this, page, kControls);
  custom_editor::CreatePresetButtons(*this, page, kFirstPreset, kPresets);
  AddCustomLightView(kb_ids::kCustomLightView, page);
  if (QelListBox* effects = EffectList(*this)) {
    for (const auto& effect : kEffects) effects->AddString(KbText(effect[0]), effect[1]);
    effects->SetCurSel(0);
  }
  // The switch belongs to the breathing effect; the direction radios have no use on this page.
  ShowCtl(*this, 152, false);
  ShowCtl(*this, kb_ids::kCustomLightSwitch, false);
  ShowDirection(*this, false);
  for (int id : {172, kSpeedSlider})
    if (auto* slider = GetControlAs<MSlider>(id)) {
      slider->SetRange(0, 100);
      slider->SetPos(15);
    }
  EnableCustomLightListButtons(false);
}

void KeyboardDlg::LayoutCustomLightPage(const RECT& client) {
  const int w = client.right, h = client.bottom;
  custom_editor::PlaceListButtons(*this, kEditor);
  Place(*this, 130, Box(65, 55, 295, h - 10));
  Place(*this, kb_ids::kCustomLightList, Box(71, 100, 290, h / 2));
  Place(*this, 139, Box(71, h / 2 + 10, 290, h / 2 + 30));
  Place(*this, kEffectList, Box(71, h / 2 + 35, 290, h - 20));
  Place(*this, kb_ids::kCustomLightView, Box(310, 110, w - 20, h - 300));
  custom_editor::PlaceKeyGroups(*this, kEditor);
  // The colour panel below the key view.
  const int y = h - 290;
  Place(*this, 143, Box(300, y, w - 10, h - 10));
  custom_editor::PlaceColorEdits(*this, kEditor, 146, y);
  custom_editor::PlacePresets(*this, kEditor, 600, y + 25, y + 70);
  Place(*this, 152, Box(600, y + 120, 700, y + 140));
  Place(*this, kb_ids::kCustomLightSwitch, Box(705, y + 118, 755, y + 142));
  Place(*this, 173, Box(320, y + 200, 420, y + 220));
  Place(*this, kSpeedSlider, Box(420, y + 200, 700, y + 220));
  Place(*this, 175, Box(320, y + 235, 420, y + 255));
  for (int i = 0; i < 4; ++i) Place(*this, 176 + i, Box(420 + 40 * i, y + 232, 452 + 40 * i, y + 258));
  Place(*this, 183, Box(w - 250, h - 50, w - 142, h - 20));
  Place(*this, 184, Box(w - 130, h - 50, w - 22, h - 20));
}

void KeyboardDlg::EnableCustomLightControls(bool enable) {
  custom_editor::EnableColorControls(*this, kEditor, enable);
}

void KeyboardDlg::EnableCustomLightListButtons(bool enable) {
  EnableCustomLightControls(enable);
  for (int id : {kEffectList, kb_ids::kCustomLightView, 172, kSpeedSlider, 176, 177, 178, 179, kAllKeys,
                 kDigitKeys, kWasdKeys, 183, 184, 132, 133, 135})
    Enable(*this, id, enable);
}

void KeyboardDlg::LoadCustomLightList(int profile) {
  EnableCustomLightListButtons(false);
  QelListBox* list = Schemes(*this);
  if (!list) return;
  custom_editor::FillSchemes(*this, kEditor, profile);
  if (list->GetCount() == 0) {
    LoadCustomLightKeys(0);
    return;
  }
  list->SetCurSel(0);
  if (QelListBox* effects = EffectList(*this)) effects->SetCurSel(0);
  ShowCtl(*this, 152, false);
  ShowCtl(*this, kb_ids::kCustomLightSwitch, false);
  ShowDirection(*this, false);
  LoadCustomLightKeys(CurrentData(list));
  EnableCustomLightListButtons(true);
}

void KeyboardDlg::LoadCustomLightKeys(int customlightId) {
  CustomLightMode* view = View(*this);
  if (!view) return;
  custom_editor::ClearKeys(*this, kEditor, *view);
  custom_editor::ShowStoredScheme(*this, kEditor, *view, customlightId);
}

int KeyboardDlg::OnCustomLightListNotify(int code) {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  switch (code) {
    case NOTIFY_SELCHANGE:
      LoadCustomLightKeys(CurrentData(list));
      if (QelListBox* effects = EffectList(*this)) effects->SetCurSel(0);
      EnableCustomLightControls(true);
      ShowDirection(*this, false);
      return 1;
    case NOTIFY_RCLICK:
      custom_editor::ShowListMenu(*this, kEditor);
      return 1;
    case NOTIFY_EDIT_END:
      return OnCustomLightEditEnd();
    default:
      return 0;
  }
}

int KeyboardDlg::OnCustomLightEditEnd() { return custom_editor::EndRename(*this, kEditor); }

int KeyboardDlg::OnCustomLightEffectListNotify(int code) {
  if (code != NOTIFY_SELCHANGE) return 0;
  QelListBox* effects = EffectList(*this);
  if (!effects || effects->GetCurSel() < 0) return 0;
  const int effect = CurrentData(effects);
  if (auto* on = GetControlAs<CSwitchButton>(kb_ids::kCustomLightSwitch)) on->SetCheck(true);
  ShowCtl(*this, 152, effect == 7);
  ShowCtl(*this, kb_ids::kCustomLightSwitch, effect == 7);
  EnableCustomLightControls(effect == 1);
  return 1;
}

void KeyboardDlg::ChooseCustomLightColor(std::uint32_t color) {
  custom_editor::ShowColorInEdits(*this, kEditor, color);
  if (CustomLightMode* view = View(*this)) view->SetCheckKeyColor(color, SwitchOn(*this) ? 1 : 0);
}

int KeyboardDlg::OnCustomLightPaletteNotify() {
  const std::optional<std::uint32_t> color = custom_editor::PaletteColor(*this, kEditor);
  if (!color) return 0;
  ChooseCustomLightColor(*color);
  return 1;
}

int KeyboardDlg::OnCustomLightColorButton(int id) {
  const std::optional<std::uint32_t> color = custom_editor::ButtonColor(*this, id);
  if (!color) return 0;
  ChooseCustomLightColor(*color);
  if (*color == 0) OnCustomLightApplyColor();  // black is stored at once
  return 1;
}

void KeyboardDlg::ApplyCustomLightColorEdit() {
  const std::uint32_t color = custom_editor::EditedColor(*this, kEditor);
  if (CustomLightMode* view = View(*this)) view->SetCheckKeyColor(color, SwitchOn(*this) ? 1 : 0);
}

int KeyboardDlg::OnCustomLightRedEdit(int code) {
  if (!custom_editor::ClampEdits(*this, code, {kRed})) return 0;
  ApplyCustomLightColorEdit();
  return 1;
}

int KeyboardDlg::OnCustomLightGreenBlueEdit(int code) {
  if (!custom_editor::ClampEdits(*this, code, {kGreen, kBlue})) return 0;
  ApplyCustomLightColorEdit();
  return 1;
}

int KeyboardDlg::OnNewCustomLight() {
  const int id = custom_editor::AddNewScheme(*this, kEditor);
  if (id <= 0) return 0;
  LoadCustomLightKeys(id);  // the new scheme's keys are empty: nothing of the previous one stays
  if (Schemes(*this)->GetCount() == 1) EnableCustomLightListButtons(true);
  return 1;
}

int KeyboardDlg::OnDeleteCustomLight() {
  if (!custom_editor::DeleteSelected(*this, kEditor)) return 0;
  QelListBox* list = Schemes(*this);
  // The view follows the selection, so a later store cannot reach another scheme.
  LoadCustomLightKeys(CurrentData(list));
  if (list->GetCount() == 0) {
    if (QelListBox* effects = EffectList(*this)) effects->SetCurSel(0);
    EnableCustomLightListButtons(false);
  }
  return 1;
}

int KeyboardDlg::OnCustomLightSpeedSlider() { return custom_editor::OnValueSlider(*this, kEditor); }

int KeyboardDlg::OnCustomLightSelectAll() { return custom_editor::CheckAllKeys(*this, kEditor); }

int KeyboardDlg::OnCustomLightCheckDigits() { return custom_editor::CheckDigitKeys(*this, kEditor); }

int KeyboardDlg::OnCustomLightCheckWasd() { return custom_editor::CheckWasdKeys(*this, kEditor); }

namespace {

// The rows of the checked keys in layout order.
std::vector<CustomRgbRow> CheckedRows(const CustomLightMode& view, int id, int lightMode, int colorType) {
  std::vector<CustomRgbRow> rows;
  for (const CustomLightItem& item : view.GetKeyItems()) {
    if (!item.checked) continue;
    rows.push_back(CustomRgbRow{0, id, item.code, static_cast<int>(item.color), lightMode, colorType, item.type});
  }
  return rows;
}

}  // namespace

int KeyboardDlg::OnCustomLightApplyEffect() {
  CustomLightMode* view = View(*this);
  if (!view) return 0;
  view->SetKeyLightMode(0);
  const int id = CurrentData(Schemes(*this));
  if (id < 1) return 0;
  if (!m_configDB.SetCustomRgbList(CheckedRows(*view, id, 0, 1))) {
    TellNotSaved("custom light: store");
    return 0;
  }
  return 1;
}

int KeyboardDlg::OnCustomLightApplyColor() {
  CustomLightMode* view = View(*this);
  const int effect = CurrentData(EffectList(*this));
  const int id = CurrentData(Schemes(*this));
  if (!view || effect < 1 || id < 1) return 0;
  view->SetKeyLightMode(effect);
  const int colorful = SwitchOn(*this) ? 1 : 0;
  view->SetCheckColorType(colorful);
  if (!m_configDB.SetCustomRgbList(CheckedRows(*view, id, effect, colorful))) {
    TellNotSaved("custom light: store");
    return 0;
  }
  return 1;
}

int KeyboardDlg::OnImportCustomLight() { return custom_editor::ImportScheme(*this, kEditor); }

int KeyboardDlg::OnExportCustomLight() { return custom_editor::ExportScheme(*this, kEditor, PacingClock()); }

int KeyboardDlg::OnLightEditorMenuCommand(int command) {
  switch (command) {
    case 606:
      return OnNewCustomLight();
    case 607:
      return OnDeleteCustomLight();
    case 608:
      return OnImportCustomLight();
    case 609:
      return OnExportCustomLight();
    case 616:
      return OnNewCustomLightMode();
    case 617:
      return OnDeleteCustomLightMode();
    case 618:
      return OnImportCustomLightMode();
    case 619:
      return OnExportCustomLightMode();
    default:
      return 0;
  }
}

// The idle job before each preview frame: the view's frames at the window clock's time, so the
// keyboard shows what the view shows at that moment.
void KeyboardDlg::UpdateCustomLightEffect() {
  CustomLightMode* view = View(*this);
  if (!view) return;
  view->UpdateLightEffect(static_cast<std::int64_t>(PacingClock().now() / std::chrono::milliseconds(1)));
}
