// The custom light effect editor (tab 4): named schemes of per-key effects with a common speed.
// The key view animates the scheme; while the tab is shown the worker previews it live on the
// keyboard. Edits live in the view until the checked keys are stored; nothing is queued here.
#include <chrono>

#include "common/strings.h"
#include "common/xml_document.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/LightColor.h"
#include "lighting/SchemeFile.h"
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
using page_controls::ShowCtl;

namespace {

constexpr int kNewSchemeText = 150;
constexpr int kEffectList = 142;
constexpr int kPalette = 145;
constexpr int kRed = 149, kGreen = 150, kBlue = 151;
constexpr int kSpeedSlider = 174;
constexpr int kAllKeys = 180, kDigitKeys = 181, kWasdKeys = 182;
constexpr int kFirstPreset = 155, kLastPreset = 170;

struct PageControl {
  int id;
  const wchar_t* className;
  const wchar_t* image;
  int text;  // "KB.DIALOG" id, 0 none
  const wchar_t* title;  // a fixed title where there is no text id
  int tooltip;
};

// Image-only buttons show a glyph: no skin pictures ship.
constexpr PageControl kControls[] = {
    {130, L"CArea", nullptr, 0, nullptr, 0},
    {131, L"CImageButton", L"imgbtn_add.png", 0, L"+", 300},
    {132, L"CImageButton", L"imgbtn_del.png", 0, L"\u2212", 301},
    {133, L"CImageButton", L"imgbtn_edit.png", 0, L"\u270E", 52},
    {134, L"CImageButton", L"imgbtn_import.png", 0, L"\u2193", 303},
    {135, L"CImageButton", L"imgbtn_export.png", 0, L"\u2191", 304},
    {136, L"CArea", nullptr, 0, nullptr, 0},
    {138, L"QelListBox", L"img_edit.png", 0, nullptr, 0},
    {139, L"MText", nullptr, 30, nullptr, 0},
    {140, L"CArea", nullptr, 0, nullptr, 0},
    {141, L"CArea", nullptr, 0, nullptr, 0},
    {142, L"QelListBox", nullptr, 0, nullptr, 0},
    {143, L"CArea", nullptr, 0, nullptr, 0},
    {145, L"CirclePalette", L"img_circlepalette.png", 0, nullptr, 0},
    {146, L"MText", nullptr, 0, L"R:", 0},
    {147, L"MText", nullptr, 0, L"G:", 0},
    {148, L"MText", nullptr, 0, L"B:", 0},
    {149, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {150, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {151, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {152, L"MText", nullptr, 260, nullptr, 0},
    {153, L"CSwitchButton", L"img_switch_off.png", 0, nullptr, 0},
    {154, L"MText", nullptr, 261, nullptr, 0},
    {171, L"MText", nullptr, 262, nullptr, 0},
    {172, L"MSlider", L"img_slider_back.png", 0, nullptr, 0},
    {173, L"MText", nullptr, 263, nullptr, 0},
    {174, L"MSlider", L"img_slider_back.png", 0, nullptr, 0},
    {175, L"MText", nullptr, 284, nullptr, 0},
    {176, L"CRadioButton", L"img_direction_right.png", 0, L"\u2192", 0},
    {177, L"CRadioButton", L"img_direction_left.png", 0, L"\u2190", 0},
    {178, L"CRadioButton", L"img_direction_top.png", 0, L"\u2191", 0},
    {179, L"CRadioButton", L"img_direction_bottom.png", 0, L"\u2193", 0},
    {180, L"CCheckButton", L"btn_checkbox.png", 285, nullptr, 0},
    {181, L"CCheckButton", L"btn_checkbox.png", 286, nullptr, 0},
    {182, L"CCheckButton", L"btn_checkbox.png", 0, L"WASD", 0},
    {183, L"MButton", L"btn_apply.png", 360, nullptr, 0},
    {184, L"MButton", L"btn_apply.png", 60, nullptr, 0},
};

// The preset colours, 0x00BBGGRR, ids 155-170; the last is black.
constexpr std::uint32_t kPresets[16] = {0x0000FF, 0xFC00FF, 0xFF007E, 0xFF0000, 0xFD8900, 0xFFFC00,
                                        0x339933, 0x00FF00, 0x00FFB4, 0x00F6FF, 0x00A8FF, 0x1354EA,
                                        0xFFFFFF, 0x000000, 0x0098FF, 0x000000};

// The effect list: text id and effect id.
constexpr int kEffects[][2] = {{200, 1}, {203, 4}, {204, 5}, {205, 6}, {206, 7},
                               {207, 8}, {208, 9}, {209, 10}, {210, 11}, {211, 12}};

constexpr int kDigitCodes[] = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
constexpr int kWasdCodes[] = {26, 4, 22, 7};

QelListBox* Schemes(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kb_ids::kCustomLightList); }
QelListBox* EffectList(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kEffectList); }
CustomLightMode* View(const KeyboardDlg& dlg) { return dlg.GetCustomLightView(kb_ids::kCustomLightView); }

// The data of a list's current item, 0 when there is none.
int CurrentData(QelListBox* list) {
  if (!list || list->GetCurSel() < 0) return 0;
  return static_cast<int>(list->GetItemData(list->GetCurSel()));
}

std::wstring ShownName(const std::wstring& stored) {
  return DefaultNameRuleB(stored, g_languageId.load(), KbText(kNewSchemeText));
}

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
  for (const PageControl& c : kControls) {
    const bool area = c.className == std::wstring_view(L"CArea");
    MControl* control = area ? CreateArea(c.className, c.id, RECT{}, nullptr, 1, 1, page)
                             : CreateControl(c.className, c.id, RECT{}, nullptr, 1, 1, page);
    if (!control) continue;
    if (c.image) control->SetImage(c.image);
    if (c.tooltip) control->SetTooltip(KbText(c.tooltip));
    if (auto* text = dynamic_cast<MControlFont*>(control)) {
      if (c.text) text->SetTitle(KbText(c.text));
      if (c.title) text->SetTitle(c.title);
      text->SetTextColor(m_textColor);
    }
    if (auto* a = dynamic_cast<CArea*>(control)) a->SetTransparent(80, 80, 0xFFFFFF);
    if (auto* radio = dynamic_cast<CRadioButton*>(control)) radio->SetGroupName(L"GROUP_LIGHT_DIRECTION");
  }
  for (int i = 0; i < 16; ++i) {
    auto* button = dynamic_cast<CColorButton*>(
        CreateControl(L"CColorButton", kFirstPreset + i, RECT{}, nullptr, 1, 1, page));
    if (!button) continue;
    button->SetGroupName(L"IDC_LIGHT_STC_DEFAULTCOLOR");
    button->SetColor(light_color::ToPaletteArgb(kPresets[i]));
  }
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
  for (int i = 0; i < 5; ++i) Place(*this, 131 + i, Box(91 + 35 * i, 65, 121 + 35 * i, 85));
  Place(*this, 130, Box(65, 55, 295, h - 10));
  Place(*this, kb_ids::kCustomLightList, Box(71, 100, 290, h / 2));
  Place(*this, 139, Box(71, h / 2 + 10, 290, h / 2 + 30));
  Place(*this, kEffectList, Box(71, h / 2 + 35, 290, h - 20));
  Place(*this, kb_ids::kCustomLightView, Box(310, 110, w - 20, h - 300));
  Place(*this, kAllKeys, Box(400, 95, 530, 115));
  Place(*this, kDigitKeys, Box(530, 95, 630, 115));
  Place(*this, kWasdKeys, Box(630, 95, 730, 115));
  // The colour panel below the key view.
  const int y = h - 290;
  Place(*this, 143, Box(300, y, w - 10, h - 10));
  Place(*this, kPalette, Box(320, y + 20, 480, y + 180));
  for (int i = 0; i < 3; ++i) {
    Place(*this, 146 + i, Box(500, y + 25 + 35 * i, 520, y + 50 + 35 * i));
    Place(*this, kRed + i, Box(522, y + 25 + 35 * i, 570, y + 50 + 35 * i));
  }
  for (int i = 0; i < 7; ++i) {
    Place(*this, kFirstPreset + i, Box(600 + 43 * i, y + 25, 631 + 43 * i, y + 56));
    Place(*this, kFirstPreset + 7 + i, Box(600 + 43 * i, y + 70, 631 + 43 * i, y + 101));
  }
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
  Enable(*this, kPalette, enable);
  for (int id = kRed; id <= kBlue; ++id) Enable(*this, id, enable);
  for (int id = kFirstPreset; id <= kLastPreset; ++id) Enable(*this, id, enable);
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
  list->ResetContent();
  std::vector<CustomLightRow*> rows;
  m_configDB.GetCustomLights(profile, rows);
  for (const CustomLightRow* row : rows) list->AddString(ShownName(row->name), row->customlight_id);
  FreeRows(rows);
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
  view->ResetAllKeyInfo();
  view->ResetAllItemCheck(false);
  for (int id : {kAllKeys, kDigitKeys, kWasdKeys}) Check(*this, id, false);
  // The stored speed is the slider's own position: one scale both ways.
  int speed = 15;
  if (customlightId > 0) m_configDB.GetCustomLightSpeed(customlightId, &speed);
  if (auto* slider = GetControlAs<MSlider>(kSpeedSlider)) slider->SetPos(speed);
  view->SetSpeed(speed);
  std::vector<CustomRgbRow*> rows;
  if (customlightId > 0) m_configDB.GetCustomRgbList(customlightId, rows);
  for (const CustomRgbRow* row : rows)
    view->SetKeyInfo(row->keycode, row->light_mode, static_cast<std::uint32_t>(row->rgbvalue) & 0xFFFFFF,
                     row->light_type, row->colortype);
  FreeRows(rows);
  view->UpdateControl();
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
    case NOTIFY_RCLICK: {
      MenuWnd menu(GetSafeHwnd(), WM_LIGHT_EDITOR_MENU_COMMAND);
      menu.AddMenu(606, KbText(57));
      menu.AddMenu(607, KbText(51));
      menu.AddMenu(608, KbText(50));
      menu.AddMenu(609, KbText(53));
      menu.TrackPopup();
      return 1;
    }
    case NOTIFY_EDIT_END:
      return OnCustomLightEditEnd();
    default:
      return 0;
  }
}

int KeyboardDlg::OnCustomLightEditEnd() {
  QelListBox* list = Schemes(*this);
  const int row = list ? list->GetCurSel() : -1;
  if (row < 0) return 0;
  const int id = static_cast<int>(list->GetItemData(row));
  const std::wstring name = list->GetItemText(row);
  if (!name.empty()) return m_configDB.RenameCustomLight(id, name) ? 1 : 0;
  // An empty name stores nothing: the stored name comes back.
  std::vector<CustomLightRow*> rows;
  m_configDB.GetCustomLights(m_profile, rows);
  for (const CustomLightRow* stored : rows)
    if (stored->customlight_id == id) list->ModifyItemString(row, ShownName(stored->name));
  FreeRows(rows);
  return 0;
}

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
  const light_color::Rgb rgb = light_color::Unpack(color);
  SetEditText(*this, kRed, std::to_wstring(rgb.red));
  SetEditText(*this, kGreen, std::to_wstring(rgb.green));
  SetEditText(*this, kBlue, std::to_wstring(rgb.blue));
  if (CustomLightMode* view = View(*this)) view->SetCheckKeyColor(color, SwitchOn(*this) ? 1 : 0);
}

int KeyboardDlg::OnCustomLightPaletteNotify() {
  auto* palette = GetControlAs<CirclePalette>(kPalette);
  if (!palette) return 0;
  ChooseCustomLightColor(light_color::FromArgb(palette->GetSelectColor()));
  return 1;
}

int KeyboardDlg::OnCustomLightColorButton(int id) {
  auto* button = GetControlAs<CColorButton>(id);
  if (!button) return 0;
  const std::uint32_t color = light_color::FromArgb(button->GetColor());
  ChooseCustomLightColor(color);
  if (color == 0) OnCustomLightApplyColor();  // black is stored at once
  return 1;
}

void KeyboardDlg::ApplyCustomLightColorEdit() {
  const std::uint32_t color = light_color::Pack({WToI(EditText(*this, kRed)), WToI(EditText(*this, kGreen)),
                                                 WToI(EditText(*this, kBlue))});
  if (CustomLightMode* view = View(*this)) view->SetCheckKeyColor(color, SwitchOn(*this) ? 1 : 0);
}

namespace {

// Clamps a colour edit's own text to 0..255, rewriting it only when it was outside.
void ClampEdit(const KeyboardDlg& dlg, int id) {
  const std::wstring text = EditText(dlg, id);
  if (light_color::EditOutOfRange(text)) SetEditText(dlg, id, std::to_wstring(light_color::EditChannel(text)));
}

}  // namespace

int KeyboardDlg::OnCustomLightRedEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 0;
  ClampEdit(*this, kRed);
  ApplyCustomLightColorEdit();
  return 1;
}

int KeyboardDlg::OnCustomLightGreenBlueEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 0;
  ClampEdit(*this, kGreen);
  ClampEdit(*this, kBlue);
  ApplyCustomLightColorEdit();
  return 1;
}

int KeyboardDlg::OnNewCustomLight() {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  const std::wstring name = KbText(kNewSchemeText);
  const int id = m_configDB.NewCustomLight(m_profile, name);
  if (id <= 0) return 0;
  const int row = list->AddString(ShownName(name), id);
  list->SetCurSel(row >= 0 ? row : list->GetCount() - 1);
  LoadCustomLightKeys(id);  // the new scheme's keys are empty: nothing of the previous one stays
  if (list->GetCount() == 1) EnableCustomLightListButtons(true);
  return 1;
}

int KeyboardDlg::OnDeleteCustomLight() {
  QelListBox* list = Schemes(*this);
  if (!list || list->GetCurSel() < 0) return 0;
  const int row = list->GetCurSel();
  if (!m_configDB.DeleteCustomLight(static_cast<int>(list->GetItemData(row)))) return 0;
  list->DeleteString(row);
  if (row > 0) list->SetCurSel(row - 1);
  else list->SetCurSel(-1);
  // The view follows the selection, so a later store cannot reach another scheme.
  LoadCustomLightKeys(CurrentData(list));
  if (list->GetCount() == 0) {
    if (QelListBox* effects = EffectList(*this)) effects->SetCurSel(0);
    EnableCustomLightListButtons(false);
  }
  return 1;
}

int KeyboardDlg::OnCustomLightSpeedSlider() {
  auto* slider = GetControlAs<MSlider>(kSpeedSlider);
  if (!slider) return 0;
  const int speed = slider->GetPos();
  if (CustomLightMode* view = View(*this)) view->SetSpeed(speed);
  const int id = CurrentData(Schemes(*this));
  if (id >= 1) m_configDB.SetCustomLightSpeed(id, speed);
  return 1;
}

int KeyboardDlg::OnCustomLightSelectAll() {
  const bool on = Checked(*this, kAllKeys);
  Check(*this, kDigitKeys, on);
  Check(*this, kWasdKeys, on);
  if (CustomLightMode* view = View(*this)) view->ResetAllItemCheck(on);
  return 1;
}

int KeyboardDlg::OnCustomLightCheckDigits() {
  const bool on = Checked(*this, kDigitKeys);
  if (CustomLightMode* view = View(*this))
    for (int code : kDigitCodes) view->SetKeyCheck(code, on);
  return 1;
}

int KeyboardDlg::OnCustomLightCheckWasd() {
  const bool on = Checked(*this, kWasdKeys);
  if (CustomLightMode* view = View(*this))
    for (int code : kWasdCodes) view->SetKeyCheck(code, on);
  return 1;
}

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
  m_configDB.SetCustomRgbList(CheckedRows(*view, id, 0, 1));
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
  m_configDB.SetCustomRgbList(CheckedRows(*view, id, effect, colorful));
  return 1;
}

int KeyboardDlg::OnImportCustomLight() {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  const std::vector<std::wstring> files = platform::UserDialogs().OpenFiles(KbText(303), L"light (*.xml)", false);
  if (files.empty() || files.front().empty()) return 0;
  const std::wstring& path = files.front();
  auto refuse = [&](const char* why) {
    KeyboardLog("custom light: import of %s: %s", WideToUtf8(path).c_str(), why);
    platform::UserDialogs().MessageBox(KbText(323), KbText(303));
    return 0;
  };
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, path)) return refuse("not readable");
  scheme_file::Scheme scheme;
  if (!scheme_file::ParseSchemeFile(scheme_file::Kind::kEffects, text, &scheme)) return refuse("not a customlight file");
  const int id = m_configDB.NewCustomLight(m_profile, scheme.name);
  if (id <= 0) return refuse("the store refused it");
  m_configDB.SetCustomLightSpeed(id, scheme.value);
  m_configDB.SetCustomRgbList(scheme_file::ImportedRows(std::move(scheme.rows), id));
  list->AddString(ShownName(scheme.name), id);
  return 1;
}

int KeyboardDlg::OnExportCustomLight() {
  QelListBox* list = Schemes(*this);
  if (!list || list->GetCurSel() < 0) {
    platform::UserDialogs().MessageBox(KbText(320), KbText(321));
    return 0;
  }
  const std::wstring folder = platform::UserDialogs().ChooseFolder(KbText(321));
  if (folder.empty()) return 0;
  const std::wstring name = list->GetItemText(list->GetCurSel());
  const int id = CurrentData(list);
  int speed = 10;
  m_configDB.GetCustomLightSpeed(id, &speed);
  std::vector<CustomRgbRow*> stored;
  m_configDB.GetCustomRgbList(id, stored);
  std::vector<CustomRgbRow> rows;
  for (const CustomRgbRow* row : stored) rows.push_back(*row);
  FreeRows(stored);
  const std::wstring dir = folder.back() == L'/' ? folder : folder + L"/";
  const auto tick = static_cast<std::uint32_t>(PacingClock().now() / std::chrono::milliseconds(1));
  const std::wstring path = scheme_file::ExportFileName(dir, name, tick);
  std::wstring log;
  if (!XmlDocument::WriteTextFile(scheme_file::BuildSchemeFile(scheme_file::Kind::kEffects, name, speed, rows), log,
                                  path)) {
    KeyboardLog("custom light: export to %s failed", WideToUtf8(path).c_str());
    platform::UserDialogs().MessageBox(KbText(322), KbText(321));
    return 0;
  }
  return 1;
}

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
