// The custom light mode editor (tab 7): named schemes of static per-key colours with a brightness.
// The scheme in use ("cur_customlightmode") is what the keyboard shows: selecting or creating one,
// and storing or clearing it, queue its send. Colour edits live in the view until stored.
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

namespace {

constexpr int kNewSchemeText = 150;
constexpr int kPalette = 198;
constexpr int kRed = 202, kGreen = 203, kBlue = 204;
constexpr int kBrightness = 223;
constexpr int kAllKeys = 224, kDigitKeys = 225, kWasdKeys = 226;
constexpr int kFirstPreset = 206, kLastPreset = 221;

struct PageControl {
  int id;
  const wchar_t* className;
  const wchar_t* image;
  int text;
  const wchar_t* title;
  int tooltip;
};

// Image-only buttons show a glyph: no skin pictures ship.
constexpr PageControl kControls[] = {
    {187, L"CArea", nullptr, 0, nullptr, 0},
    {188, L"CImageButton", L"imgbtn_add.png", 0, L"+", 300},
    {189, L"CImageButton", L"imgbtn_del.png", 0, L"\u2212", 301},
    {190, L"CImageButton", L"imgbtn_edit.png", 0, L"\u270E", 52},
    {191, L"CImageButton", L"imgbtn_import.png", 0, L"\u2193", 303},
    {192, L"CImageButton", L"imgbtn_export.png", 0, L"\u2191", 304},
    {193, L"CArea", nullptr, 0, nullptr, 0},
    {195, L"QelListBox", L"img_edit.png", 0, nullptr, 0},
    {196, L"CArea", nullptr, 0, nullptr, 0},
    {198, L"CirclePalette", L"img_circlepalette.png", 0, nullptr, 0},
    {199, L"MText", nullptr, 0, L"R:", 0},
    {200, L"MText", nullptr, 0, L"G:", 0},
    {201, L"MText", nullptr, 0, L"B:", 0},
    {202, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {203, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {204, L"MEdit", L"img_edit.png", 0, nullptr, 0},
    {205, L"MText", nullptr, 261, nullptr, 0},
    {222, L"MText", nullptr, 262, nullptr, 0},
    {223, L"MSlider", L"img_slider_back.png", 0, nullptr, 0},
    {224, L"CCheckButton", L"btn_checkbox.png", 285, nullptr, 0},
    {225, L"CCheckButton", L"btn_checkbox.png", 286, nullptr, 0},
    {226, L"CCheckButton", L"btn_checkbox.png", 0, L"WASD", 0},
    {227, L"MButton", L"btn_apply.png", 360, nullptr, 0},
    {228, L"MButton", L"btn_apply.png", 60, nullptr, 0},
};

// The lighting page's preset colours, 0x00BBGGRR, ids 206-221.
constexpr std::uint32_t kPresets[16] = {0x0000FF, 0xFC00FF, 0xFF007E, 0xFF0000, 0xFD8900, 0xFFFC00,
                                        0x339933, 0x00FF00, 0x00FFB4, 0x00F6FF, 0x00A8FF, 0x1354EA,
                                        0xFFFFFF, 0x000000, 0x0098FF, 0xC3B700};

constexpr int kDigitCodes[] = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
constexpr int kWasdCodes[] = {26, 4, 22, 7};

QelListBox* Schemes(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kb_ids::kCustomLightModeList); }
CustomLightMode* View(const KeyboardDlg& dlg) { return dlg.GetCustomLightView(kb_ids::kCustomLightModeView); }

int CurrentData(QelListBox* list) {
  if (!list || list->GetCurSel() < 0) return 0;
  return static_cast<int>(list->GetItemData(list->GetCurSel()));
}

std::wstring ShownName(const std::wstring& stored) {
  return DefaultNameRuleB(stored, g_languageId.load(), KbText(kNewSchemeText));
}

void ClampEdit(const KeyboardDlg& dlg, int id) {
  const std::wstring text = EditText(dlg, id);
  if (light_color::EditOutOfRange(text)) SetEditText(dlg, id, std::to_wstring(light_color::EditChannel(text)));
}

}  // namespace

void KeyboardDlg::CreateCustomLightModePage() {
  MControl* page = GetControl(kb_ids::kPageCustomLightMode);
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
  }
  for (int i = 0; i < 16; ++i) {
    auto* button = dynamic_cast<CColorButton*>(
        CreateControl(L"CColorButton", kFirstPreset + i, RECT{}, nullptr, 1, 1, page));
    if (!button) continue;
    button->SetGroupName(L"IDC_LIGHT_STC_DEFAULTCOLOR");
    button->SetColor(light_color::ToPaletteArgb(kPresets[i]));
  }
  AddCustomLightView(kb_ids::kCustomLightModeView, page);
  if (auto* slider = GetControlAs<MSlider>(kBrightness)) {
    slider->SetRange(0, 15);
    slider->SetPos(15);
  }
  EnableCustomLightModeListButtons(false);
}

void KeyboardDlg::LayoutCustomLightModePage(const RECT& client) {
  const int w = client.right, h = client.bottom;
  for (int i = 0; i < 5; ++i) Place(*this, 188 + i, Box(91 + 35 * i, 65, 121 + 35 * i, 85));
  Place(*this, 187, Box(65, 55, 295, h - 10));
  Place(*this, kb_ids::kCustomLightModeList, Box(71, 100, 290, h - 20));
  Place(*this, kb_ids::kCustomLightModeView, Box(310, 110, w - 20, h - 300));
  Place(*this, kAllKeys, Box(400, 95, 530, 115));
  Place(*this, kDigitKeys, Box(530, 95, 630, 115));
  Place(*this, kWasdKeys, Box(630, 95, 730, 115));
  const int y = h - 290;
  Place(*this, 196, Box(300, y, w - 10, h - 10));
  Place(*this, kPalette, Box(320, y + 20, 480, y + 180));
  for (int i = 0; i < 3; ++i) {
    Place(*this, 199 + i, Box(500, y + 25 + 35 * i, 520, y + 50 + 35 * i));
    Place(*this, kRed + i, Box(522, y + 25 + 35 * i, 570, y + 50 + 35 * i));
  }
  for (int i = 0; i < 7; ++i) {
    Place(*this, kFirstPreset + i, Box(580 + 43 * i, y + 25, 611 + 43 * i, y + 56));
    Place(*this, kFirstPreset + 7 + i, Box(580 + 43 * i, y + 120, 611 + 43 * i, y + 151));
  }
  Place(*this, 227, Box(w - 250, h - 50, w - 142, h - 20));
  Place(*this, 228, Box(w - 142, h - 50, w - 34, h - 20));
}

void KeyboardDlg::EnableCustomLightModeListButtons(bool enable) {
  Enable(*this, kPalette, enable);
  for (int id = kRed; id <= kBlue; ++id) Enable(*this, id, enable);
  for (int id = kFirstPreset; id <= kLastPreset; ++id) Enable(*this, id, enable);
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
  list->ResetContent();
  std::vector<CustomLightModeRow*> rows;
  m_configDB.GetCustomLightModes(profile, rows);
  for (const CustomLightModeRow* row : rows) list->AddString(ShownName(row->name), row->customlight_id);
  FreeRows(rows);
  if (list->GetCount() == 0) return;
  list->SetCurData(m_curCustomLightMode.load());
  LoadCustomLightModeKeys(m_curCustomLightMode.load());
  EnableCustomLightModeListButtons(true);
}

void KeyboardDlg::LoadCustomLightModeKeys(int customlightId) {
  CustomLightMode* view = View(*this);
  if (!view) return;
  view->ResetAllKeyInfo();
  view->ResetAllItemCheck(false);
  for (int id : {kAllKeys, kDigitKeys, kWasdKeys}) Check(*this, id, false);
  view->ResetAllItemsColor(0);
  int brightness = 15;
  if (customlightId > 0) m_configDB.GetCustomLightModeBrightness(customlightId, &brightness);
  if (auto* slider = GetControlAs<MSlider>(kBrightness)) slider->SetPos(brightness);
  view->SetBrightNess(brightness);
  std::vector<CustomRgbRow*> rows;
  if (customlightId > 0) m_configDB.GetCustomModeRgbList(customlightId, rows);
  for (const CustomRgbRow* row : rows)
    view->SetKeyInfo(row->keycode, row->light_mode, static_cast<std::uint32_t>(row->rgbvalue) & 0xFFFFFF,
                     row->light_type, row->colortype);
  FreeRows(rows);
  view->UpdateControl();
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
    case NOTIFY_RCLICK: {
      MenuWnd menu(GetSafeHwnd(), WM_LIGHT_EDITOR_MENU_COMMAND);
      menu.AddMenu(616, KbText(57));
      menu.AddMenu(617, KbText(51));
      menu.AddMenu(618, KbText(50));
      menu.AddMenu(619, KbText(53));
      menu.TrackPopup();
      return 1;
    }
    case NOTIFY_EDIT_END: {
      const int row = list->GetCurSel();
      if (row < 0) return 0;
      const int id = static_cast<int>(list->GetItemData(row));
      const std::wstring name = list->GetItemText(row);
      if (!name.empty()) return m_configDB.RenameCustomLightMode(id, name) ? 1 : 0;
      std::vector<CustomLightModeRow*> rows;
      m_configDB.GetCustomLightModes(m_profile, rows);
      for (const CustomLightModeRow* stored : rows)
        if (stored->customlight_id == id) list->ModifyItemString(row, ShownName(stored->name));
      FreeRows(rows);
      return 0;
    }
    default:
      return 0;
  }
}

void KeyboardDlg::ChooseCustomLightModeColor(std::uint32_t color) {
  const light_color::Rgb rgb = light_color::Unpack(color);
  SetEditText(*this, kRed, std::to_wstring(rgb.red));
  SetEditText(*this, kGreen, std::to_wstring(rgb.green));
  SetEditText(*this, kBlue, std::to_wstring(rgb.blue));
  if (CustomLightMode* view = View(*this)) {
    view->SetKeyLightMode(1);
    view->SetCheckKeyColor(color, 1);
  }
}

int KeyboardDlg::OnCustomLightModePaletteNotify() {
  auto* palette = GetControlAs<CirclePalette>(kPalette);
  if (!palette) return 0;
  ChooseCustomLightModeColor(light_color::FromArgb(palette->GetSelectColor()));
  return 1;
}

int KeyboardDlg::OnCustomLightModeColorButton(int id) {
  auto* button = GetControlAs<CColorButton>(id);
  if (!button) return 0;
  const std::uint32_t color = light_color::FromArgb(button->GetColor());
  ChooseCustomLightModeColor(color);
  if (color == 0) OnCustomLightModeApplyColorType();  // black stores the whole scheme at once
  return 1;
}

void KeyboardDlg::ApplyCustomLightModeColorEdit() {
  const std::uint32_t color = light_color::Pack({WToI(EditText(*this, kRed)), WToI(EditText(*this, kGreen)),
                                                 WToI(EditText(*this, kBlue))});
  if (CustomLightMode* view = View(*this)) {
    view->SetKeyLightMode(1);
    view->SetCheckKeyColor(color, 1);
  }
}

int KeyboardDlg::OnCustomLightModeRedEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 0;
  ClampEdit(*this, kRed);
  ApplyCustomLightModeColorEdit();
  return 1;
}

int KeyboardDlg::OnCustomLightModeGreenBlueEdit(int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 0;
  ClampEdit(*this, kGreen);
  ClampEdit(*this, kBlue);
  ApplyCustomLightModeColorEdit();
  return 1;
}

int KeyboardDlg::OnNewCustomLightMode() {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  const std::wstring name = KbText(kNewSchemeText);
  const int id = m_configDB.NewCustomLightMode(m_profile, name);
  if (id <= 0) return 0;
  const int row = list->AddString(ShownName(name), id);
  list->SetCurSel(row >= 0 ? row : list->GetCount() - 1);
  m_curCustomLightMode = id;
  m_configDB.SetConfigValue(m_profile, L"cur_customlightmode", std::to_wstring(id));
  LoadCustomLightModeKeys(id);
  PostTask(TaskSendCustomModeColors);
  if (list->GetCount() == 1) EnableCustomLightModeListButtons(true);
  return 1;
}

int KeyboardDlg::OnDeleteCustomLightMode() {
  QelListBox* list = Schemes(*this);
  if (!list || list->GetCurSel() < 0) return 0;
  const int row = list->GetCurSel();
  if (!m_configDB.DeleteCustomLightMode(static_cast<int>(list->GetItemData(row)))) return 0;
  list->DeleteString(row);
  list->SetCurSel(row > 0 ? row - 1 : -1);
  // The view follows the selection, so a later store cannot reach another scheme; the scheme in
  // use and the keyboard stay as they were.
  LoadCustomLightModeKeys(CurrentData(list));
  if (list->GetCount() == 0) EnableCustomLightModeListButtons(false);
  return 1;
}

int KeyboardDlg::OnCustomLightModeBrightnessSlider() {
  auto* slider = GetControlAs<MSlider>(kBrightness);
  if (!slider) return 0;
  const int brightness = slider->GetPos();
  if (CustomLightMode* view = View(*this)) view->SetBrightNess(brightness);
  const int id = CurrentData(Schemes(*this));
  if (id >= 1) m_configDB.SetCustomLightModeBrightness(id, brightness);
  return 1;
}

int KeyboardDlg::OnCustomLightModeSelectAll() {
  const bool on = Checked(*this, kAllKeys);
  Check(*this, kDigitKeys, on);
  Check(*this, kWasdKeys, on);
  if (CustomLightMode* view = View(*this)) view->ResetAllItemCheck(on);
  return 1;
}

int KeyboardDlg::OnCustomLightModeCheckDigits() {
  const bool on = Checked(*this, kDigitKeys);
  if (CustomLightMode* view = View(*this))
    for (int code : kDigitCodes) view->SetKeyCheck(code, on);
  return 1;
}

int KeyboardDlg::OnCustomLightModeCheckWasd() {
  const bool on = Checked(*this, kWasdKeys);
  if (CustomLightMode* view = View(*this))
    for (int code : kWasdCodes) view->SetKeyCheck(code, on);
  return 1;
}

int KeyboardDlg::OnCustomLightModeApplyColor() {
  CustomLightMode* view = View(*this);
  if (!view) return 0;
  view->SetKeyLightMode(0);
  view->ResetAllItemsColor(0);
  const int id = CurrentData(Schemes(*this));
  if (id < 1) return 0;
  m_configDB.DeleteCustomModeRgb(id);
  std::vector<CustomRgbRow> rows;
  for (const CustomLightItem& item : view->GetKeyItems())
    rows.push_back(CustomRgbRow{0, id, item.code, static_cast<int>(item.color), 0, 1, item.type});
  m_configDB.SetCustomModeRgbList(std::move(rows));
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
  m_configDB.DeleteCustomModeRgb(id);
  view->SetCheckColorType(0);
  std::vector<CustomRgbRow> rows;
  for (const CustomLightItem& item : view->GetKeyItems())
    rows.push_back(CustomRgbRow{0, id, item.code, static_cast<int>(item.color), 1, 0, 0});
  m_configDB.SetCustomModeRgbList(std::move(rows));
  PostTask(TaskSendCustomModeColors);
  return 1;
}

int KeyboardDlg::OnImportCustomLightMode() {
  QelListBox* list = Schemes(*this);
  if (!list) return 0;
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(303), L"lightmode (*.xml)", false);
  if (files.empty() || files.front().empty()) return 0;
  const std::wstring& path = files.front();
  auto refuse = [&](const char* why) {
    KeyboardLog("custom light mode: import of %s: %s", WideToUtf8(path).c_str(), why);
    platform::UserDialogs().MessageBox(KbText(323), KbText(303));
    return 0;
  };
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, path)) return refuse("not readable");
  scheme_file::Scheme scheme;
  if (!scheme_file::ParseSchemeFile(scheme_file::Kind::kColors, text, &scheme))
    return refuse("not a customlightmode file");
  const int id = m_configDB.NewCustomLightMode(m_profile, scheme.name);
  if (id <= 0) return refuse("the store refused it");
  m_configDB.SetCustomLightModeBrightness(id, scheme.value);
  m_configDB.SetCustomModeRgbList(scheme_file::ImportedRows(std::move(scheme.rows), id));
  list->AddString(ShownName(scheme.name), id);
  return 1;
}

int KeyboardDlg::OnExportCustomLightMode() {
  QelListBox* list = Schemes(*this);
  if (!list || list->GetCurSel() < 0) {
    platform::UserDialogs().MessageBox(KbText(320), KbText(321));
    return 0;
  }
  const std::wstring folder = platform::UserDialogs().ChooseFolder(KbText(321));
  if (folder.empty()) return 0;
  const std::wstring name = list->GetItemText(list->GetCurSel());
  const int id = CurrentData(list);
  int brightness = 10;
  m_configDB.GetCustomLightModeBrightness(id, &brightness);
  std::vector<CustomRgbRow*> stored;
  m_configDB.GetCustomModeRgbList(id, stored);
  std::vector<CustomRgbRow> rows;
  for (const CustomRgbRow* row : stored) rows.push_back(*row);
  FreeRows(stored);
  const std::wstring dir = folder.back() == L'/' ? folder : folder + L"/";
  const auto tick = static_cast<std::uint32_t>(PacingClock().now() / std::chrono::milliseconds(1));
  const std::wstring path = scheme_file::ExportFileName(dir, name, tick);
  std::wstring log;
  if (!XmlDocument::WriteTextFile(scheme_file::BuildSchemeFile(scheme_file::Kind::kColors, name, brightness, rows),
                                  log, path)) {
    KeyboardLog("custom light mode: export to %s failed", WideToUtf8(path).c_str());
    platform::UserDialogs().MessageBox(KbText(322), KbText(321));
    return 0;
  }
  return 1;
}
