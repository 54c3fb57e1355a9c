// The lighting page (tab 3): the keyboard's built-in light modes with their colour, colourful
// switch, brightness, speed and direction, the per-key colours of mode 20 and the sleep time of
// the lighting. Every change is stored at once and queued for the keyboard: the light mode as
// task 5, the sleep time with the system settings (task 7). LoadLightMode also runs on the worker
// (SyncPages): it works through the controls' thread-safe state and queues with PostTask.
#include <cstdio>
#include <string>

#include "common/strings.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/CustomEditorSteps.h"
#include "lighting/LightColor.h"
#include "lighting/LightModeTable.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/keyboard_ctrl.h"
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

namespace ids {
constexpr int kModePanel = 76;
constexpr int kColorPanel = 78;
constexpr int kPalette = 80;
constexpr int kRedLabel = 81;
constexpr int kRedEdit = 84;
constexpr int kGreenEdit = 85;
constexpr int kBlueEdit = 86;
constexpr int kSwitchLabel = 87;
constexpr int kColorfulSwitch = 88;
constexpr int kPresetLabel = 89;
constexpr int kFirstPreset = 90;
constexpr int kLastPreset = 105;
constexpr int kBrightnessLabel = 106;
constexpr int kBrightness = 107;
constexpr int kSpeedLabel = 108;
constexpr int kSpeed = 109;
constexpr int kDirectionLabel = 110;
constexpr int kRight = 111;
constexpr int kLeft = 112;
constexpr int kUp = 113;
constexpr int kDown = 114;
constexpr int kAllKeys = 115;
constexpr int kDigitKeys = 116;
constexpr int kWasdKeys = 117;
constexpr int kClearKeys = 118;
constexpr int kSleepTitle = 121;
constexpr int kFirstSleepRadio = 122;
constexpr int kFirstSleepCaption = 126;
}  // namespace ids

constexpr UINT kModeListMenuMessage = 0x724;
// A pale amber: readable on the grey panel (contrast above 4.5:1) and apart from the white captions.
constexpr ARGB kSleepSelectedColor = 0xFFFFE699;
constexpr std::uint8_t kColorful = 1;

// Texts of the direction codes stored in byte 5.
constexpr std::uint8_t kDirectionRight = 1;
constexpr std::uint8_t kDirectionLeft = 0;
constexpr std::uint8_t kDirectionUp = 2;
constexpr std::uint8_t kDirectionDown = 3;

// The page's controls in three runs: the key view (79) comes between the panels and the palette, the
// preset colour buttons (90-105) between their label and the sliders.
// clang-format off
constexpr page_controls::ControlSpec kPanels[] = {
    {.id = 76, .className = L"CArea", .area = true},
    {.id = 77, .className = L"QelListBox"},
    {.id = 78, .className = L"CArea", .area = true},
};
constexpr page_controls::ControlSpec kColorControls[] = {
    {.id = 80, .className = L"CirclePalette", .image = L"img_circlepalette.png"},
    {.id = 81, .className = L"MText", .area = true, .label = L"R:"},
    {.id = 82, .className = L"MText", .area = true, .label = L"G:"},
    {.id = 83, .className = L"MText", .area = true, .label = L"B:"},
    {.id = 84, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 85, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 86, .className = L"MEdit", .image = L"img_edit.png"},
    {.id = 87, .className = L"MText", .area = true, .text = 260},
    {.id = 88, .className = L"CSwitchButton", .image = L"img_switch_off.png", .imageStates = 8, .label = L"\u25D0", .centred = true},
    {.id = 89, .className = L"MText", .area = true, .text = 261},
};
constexpr page_controls::ControlSpec kSliderControls[] = {
    {.id = 106, .className = L"MText", .area = true, .text = 262},
    {.id = 107, .className = L"MSlider", .image = L"img_slider_back.png"},
    {.id = 108, .className = L"MText", .area = true, .text = 263},
    {.id = 109, .className = L"MSlider", .image = L"img_slider_back.png"},
    {.id = 110, .className = L"MText", .area = true, .text = 284},
    {.id = 111, .className = L"CRadioButton", .image = L"img_direction_right.png", .imageStates = 8, .label = L"\u2192", .centred = true},
    {.id = 112, .className = L"CRadioButton", .image = L"img_direction_left.png", .imageStates = 8, .label = L"\u2190", .centred = true},
    {.id = 113, .className = L"CRadioButton", .image = L"img_direction_top.png", .imageStates = 8, .label = L"\u2191", .centred = true},
    {.id = 114, .className = L"CRadioButton", .image = L"img_direction_bottom.png", .imageStates = 8, .label = L"\u2193", .centred = true},
    {.id = 115, .className = L"CCheckButton", .image = L"btn_checkbox.png", .imageStates = 8, .text = 285},
    {.id = 116, .className = L"CCheckButton", .image = L"btn_checkbox.png", .imageStates = 8, .text = 286},
    {.id = 117, .className = L"CCheckButton", .image = L"btn_checkbox.png", .imageStates = 8, .label = L"WASD"},
    {.id = 118, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 287, .centred = true},
    {.id = 119, .className = L"MButton", .image = L"img_btn_layer_p.png", .imageStates = 4, .text = 95, .centred = true},
    {.id = 120, .className = L"MButton", .image = L"img_btn_layer_n.png", .imageStates = 4, .text = 96, .centred = true},
    {.id = 121, .className = L"MText", .area = true, .text = 269},
    {.id = 122, .className = L"CRadioButton", .image = L"btn_radiobox.png", .imageStates = 8, .label = L"\u25CB", .centred = true},
    {.id = 123, .className = L"CRadioButton", .image = L"btn_radiobox.png", .imageStates = 8, .label = L"\u25CB", .centred = true},
    {.id = 124, .className = L"CRadioButton", .image = L"btn_radiobox.png", .imageStates = 8, .label = L"\u25CB", .centred = true},
    {.id = 125, .className = L"CRadioButton", .image = L"btn_radiobox.png", .imageStates = 8, .label = L"\u25CB", .centred = true},
    {.id = 126, .className = L"MText", .area = true, .text = 270, .centred = true},
    {.id = 127, .className = L"MText", .area = true, .text = 271, .centred = true},
    {.id = 128, .className = L"MText", .area = true, .text = 272, .centred = true},
    {.id = 129, .className = L"MText", .area = true, .text = 273, .centred = true},
};
// clang-format on

// The preset colours of buttons 90 to 105, 0x00BBGGRR.
constexpr std::uint32_t kPresetColors[] = {0x0000FF, 0xFC00FF, 0xFF007E, 0xFF0000, 0xFD8900, 0xFFFC00,
                                           0x339933, 0x00FF00, 0x00FFB4, 0x00F6FF, 0x00A8FF, 0x1354EA,
                                           0xFFFFFF, 0x000000, 0x0098FF, 0xC3B700};

constexpr int kStartBrightness = 5;
constexpr int kStartSpeed = 3;
// The keyboard's brightness and speed steps; a real keyboard must confirm them.
constexpr int kSliderMax = 5;

KeyboardCtrl* View(const KeyboardDlg& dlg) { return dlg.GetKeyView(kb_ids::kLightingView); }

std::wstring Number(int value) { return std::to_wstring(value); }

void ShowRange(const KeyboardDlg& dlg, int first, int last, bool on) {
  for (int id = first; id <= last; ++id) ShowCtl(dlg, id, on);
}

void SetSlider(const KeyboardDlg& dlg, int id, int value) {
  if (auto* slider = dlg.GetControlAs<MSlider>(id)) slider->SetPos(value);
}

int SliderPos(const KeyboardDlg& dlg, int id) {
  auto* slider = dlg.GetControlAs<MSlider>(id);
  return slider ? slider->GetPos() : 0;
}

std::uint32_t RowColor(const LightDataRow& row) {
  return light_color::Pack({row.byte2, row.byte3, row.byte4});
}

// The row's 8-byte block as the store writes it back.
bool StoreBlock(ConfigDB& store, int profile, const LightDataRow& row) {
  const std::uint8_t block[8] = {row.mode,  row.colortype, row.byte2, row.byte3,
                                 row.byte4, row.byte5,     row.byte6, row.byte7};
  return store.UpdateLightData(profile, row.mode, block);
}

// The edits show a colour as three decimal channels.
void ShowColorInEdits(const KeyboardDlg& dlg, std::uint32_t bbggrr) {
  const light_color::Rgb rgb = light_color::Unpack(bbggrr);
  SetEditText(dlg, ids::kRedEdit, Number(rgb.red));
  SetEditText(dlg, ids::kGreenEdit, Number(rgb.green));
  SetEditText(dlg, ids::kBlueEdit, Number(rgb.blue));
}

}  // namespace

void KeyboardDlg::CreateLightPage() {
  MControl* page = GetControl(kb_ids::kPageLighting);
  page_controls::CreatePageControls(*this, page, kPanels);
  if (KeyboardCtrl* view = AddKeyView(kb_ids::kLightingView, page)) {
    view->SetKeyboardCtrlMode(1);
    view->SetKeyboardType(2);
    view->AddMTimer();
  }
  page_controls::CreatePageControls(*this, page, kColorControls);
  custom_editor::CreatePresetButtons(*this, page, ids::kFirstPreset, kPresetColors);
  page_controls::CreatePageControls(*this, page, kSliderControls);
  for (int id = ids::kRight; id <= ids::kDown; ++id)
    if (auto* radio = GetControlAs<CRadioButton>(id)) radio->SetGroupName(L"GROUP_LIGHT_DIRECTION");
  for (int i = 0; i < 4; ++i)
    if (auto* radio = GetControlAs<CRadioButton>(ids::kFirstSleepRadio + i)) radio->SetGroupName(L"GROUP_LIGHT_SLEEPTIME");
  for (int id : {ids::kBrightness, ids::kSpeed}) {
    if (auto* slider = GetControlAs<MSlider>(id)) {
      slider->SetRange(0, kSliderMax);
      slider->SetPos(id == ids::kBrightness ? kStartBrightness : kStartSpeed);
    }
  }
  if (auto* modes = GetControlAs<QelListBox>(kb_ids::kLightModeList)) {
    for (const light_mode_table::ModeItem& item : light_mode_table::ModeItems(m_isRgb != 0))
      modes->AddString(KbText(item.text), item.mode);
    modes->SetCurSel(0);
  }
  ShowLightKeySelectGroup(false);
  if (auto* palette = GetControlAs<CirclePalette>(ids::kPalette))
    ShowColorInEdits(*this, light_color::FromArgb(palette->GetSelectColor()));
}

void KeyboardDlg::LayoutLightPage(const RECT& client) {
  const int w = client.right;
  const int h = client.bottom;
  auto at = [&](int id, int left, int top, int right, int bottom) { Place(*this, id, Box(left, top, right, bottom)); };
  at(ids::kModePanel, 71, 60, 290, h - 1);
  at(kb_ids::kLightModeList, 71, 60, 290, h - 1);
  at(kb_ids::kLightingView, 310, 110, w - 20, h - 300);
  at(ids::kColorPanel, 300, h - 290, w - 10, h - 1);
  int column = 400;  // the sliders' column
  if (m_isRgb) {
    column = 900;
    at(ids::kPalette, 310, h - 260, 550, h - 20);
    at(ids::kSwitchLabel, 580, h - 260, 720, h - 234);
    at(ids::kColorfulSwitch, 730, h - 260, 790, h - 234);
    for (int i = 0; i < 3; ++i) {
      const int x = 580 + 85 * i;
      at(ids::kRedLabel + i, x, h - 225, x + 20, h - 199);
      at(ids::kRedEdit + i, x + 22, h - 225, x + 72, h - 199);
    }
    for (int i = 0; i < 7; ++i) {
      const int x = 580 + 43 * i;
      at(ids::kFirstPreset + i, x, h - 180, x + 31, h - 149);
      at(ids::kFirstPreset + 7 + i, x, h - 140, x + 31, h - 109);
    }
    at(ids::kAllKeys, 580, h - 95, 680, h - 69);
    at(ids::kDigitKeys, 690, h - 95, 790, h - 69);
    at(ids::kWasdKeys, 800, h - 95, 880, h - 69);
  }
  const int end = column + 218;
  at(ids::kBrightnessLabel, column, h - 260, end, h - 236);
  at(ids::kBrightness, column, h - 232, end, h - 212);
  at(ids::kSpeedLabel, column, h - 200, end, h - 176);
  at(ids::kSpeed, column, h - 172, end, h - 152);
  at(ids::kDirectionLabel, column, h - 140, end, h - 116);
  // Right/left and up/down are never shown together: each pair takes the same two places.
  for (int i = 0; i < 4; ++i) {
    const int x = column + 50 * (i % 2);
    at(ids::kRight + i, x, h - 140, x + 40, h - 110);
  }
  if (m_lightOption) {
    at(ids::kSleepTitle, column, h - 100, end, h - 76);
    for (int i = 0; i < 4; ++i) {
      const int x = column + 55 * i;
      at(ids::kFirstSleepRadio + i, x + 10, h - 72, x + 34, h - 48);
      at(ids::kFirstSleepCaption + i, x - 8, h - 44, x + 52, h - 20);
    }
  }
}

void KeyboardDlg::EnableLightColorControls(bool enable) {
  for (int id = ids::kPalette; id <= ids::kBlueEdit; ++id) Enable(*this, id, enable);
  for (int id = ids::kFirstPreset; id <= ids::kLastPreset; ++id) Enable(*this, id, enable);
}

void KeyboardDlg::ShowLightColorGroup(bool show) { ShowRange(*this, ids::kPalette, ids::kDown, show); }

void KeyboardDlg::ShowLightKeySelectGroup(bool show) { ShowRange(*this, ids::kAllKeys, ids::kClearKeys, show); }

void KeyboardDlg::ShowLightBrightnessOnly() {
  ShowRange(*this, ids::kBrightnessLabel, ids::kBrightness, true);
  ShowRange(*this, ids::kSpeedLabel, ids::kDown, false);
}

void KeyboardDlg::ShowLightBrightnessSpeed() {
  ShowRange(*this, ids::kBrightnessLabel, ids::kSpeed, true);
  ShowRange(*this, ids::kDirectionLabel, ids::kDown, false);
}

void KeyboardDlg::ShowLightSlidersNoColor() {
  ShowLightBrightnessSpeed();
  EnableLightColorControls(false);
}

void KeyboardDlg::ShowLightVerticalDirections() {
  ShowRange(*this, ids::kBrightnessLabel, ids::kSpeed, true);
  ShowRange(*this, ids::kDirectionLabel, ids::kLeft, false);
  ShowRange(*this, ids::kUp, ids::kDown, true);
}

void KeyboardDlg::ShowLightHorizontalDirections() {
  ShowRange(*this, ids::kBrightnessLabel, ids::kSpeed, true);
  ShowCtl(*this, ids::kDirectionLabel, false);
  ShowRange(*this, ids::kRight, ids::kLeft, true);
  ShowRange(*this, ids::kUp, ids::kDown, false);
}

void KeyboardDlg::ShowLightBrightnessOnlyColor() {
  ShowLightBrightnessOnly();
  EnableLightColorControls(true);
}

void KeyboardDlg::ApplyLightModeGroups(int mode, const LightDataRow& row) {
  using light_mode_table::ColorGroup;
  using light_mode_table::Directions;
  using light_mode_table::Sliders;
  const light_mode_table::ModeGroups groups = light_mode_table::GroupsOf(mode, m_isRgb != 0);
  if (groups.allHidden) {
    ShowLightColorGroup(false);
    return;
  }
  if (groups.color == ColorGroup::kPerKey) {
    ShowLightBrightnessOnlyColor();
    return;
  }
  if (groups.sliders != Sliders::kBrightness) SetSlider(*this, ids::kSpeed, row.byte7);
  if (groups.directions == Directions::kVertical) {
    ShowLightVerticalDirections();
    Check(*this, ids::kDown);
    if (row.byte5 == kDirectionUp) Check(*this, ids::kUp);
  } else if (groups.directions == Directions::kHorizontal) {
    ShowLightHorizontalDirections();
    Check(*this, ids::kLeft);
    if (row.byte5 == kDirectionRight) Check(*this, ids::kRight);
  } else if (groups.sliders == Sliders::kBrightness) {
    ShowLightBrightnessOnly();
  } else if (groups.color == ColorGroup::kNoColor) {
    ShowLightSlidersNoColor();
  } else {
    ShowLightBrightnessSpeed();
  }
  if (groups.color == ColorGroup::kFollowSwitch) {
    Check(*this, ids::kColorfulSwitch, row.colortype == kColorful);
    EnableLightColorControls(row.colortype == 0);
  } else if (groups.color == ColorGroup::kNoColor) {
    ShowCtl(*this, ids::kSwitchLabel, false);
    ShowCtl(*this, ids::kColorfulSwitch, false);
  }
}

void KeyboardDlg::LoadLightMode(int profile) {
  if (!m_isRgb) {
    SelectLightModeFromList(profile);
    return;
  }
  auto* modes = GetControlAs<QelListBox>(kb_ids::kLightModeList);
  if (!modes || modes->GetCurSel() < 0) return;
  const int mode = static_cast<int>(modes->GetCurData());
  LightDataRow row;
  m_configDB.GetLightData(profile, mode, &row);
  const int previous = m_curLightMode.load();
  if (mode == previous) return;
  KeyboardCtrl* view = View(*this);
  StartLightModeLoad(profile, mode, row);
  if (mode != light_mode_table::kPerKeyMode) {
    if (view) view->SetStaticModeColor(light_color::ToStaticModeArgb(RowColor(row)), row.colortype == kColorful);
    if (mode != 0) {
      // The colour controls start from the mode's colour, so an edit of one channel keeps the
      // other two of this mode.
      if (auto* palette = GetControlAs<CirclePalette>(ids::kPalette))
        palette->SetSelectColor(light_color::ToPaletteArgb(RowColor(row)));
      ShowColorInEdits(*this, RowColor(row));
    }
  }
  if (previous == 0) ShowLightColorGroup(true);
  if (previous == light_mode_table::kPerKeyMode) ShowLightKeySelectGroup(false);
  Enable(*this, ids::kColorfulSwitch, mode != 6 && mode != 8);
  ShowCtl(*this, ids::kSwitchLabel, true);
  ShowCtl(*this, ids::kColorfulSwitch, true);
  ApplyLightModeGroups(mode, row);
  if (mode == light_mode_table::kPerKeyMode) {
    ShowLightKeySelectGroup(true);
    if (view) {
      view->ResetAllItemsColor(0);
      view->ResetAllItemCheck();
      view->SetPerKeyMode(true);
      std::vector<KeyRgbRow*> keys;
      m_configDB.GetKeyRgbList(row.light_id, keys);
      for (const KeyRgbRow* key : keys) view->SetCustomModeColor(key->keycode, static_cast<std::uint32_t>(key->rgbvalue));
      FreeRows(keys);
    }
  }
  m_curLightMode.store(mode);
  PostTask(TaskSendLightMode);
}

void KeyboardDlg::SelectLightModeFromList(int profile) {
  auto* modes = GetControlAs<QelListBox>(kb_ids::kLightModeList);
  if (!modes || modes->GetCurSel() < 0) return;
  const int mode = static_cast<int>(modes->GetCurData());
  LightDataRow row;
  m_configDB.GetLightData(profile, mode, &row);
  const int previous = m_curLightMode.load();
  if (mode == previous) return;
  StartLightModeLoad(profile, mode, row);
  if (previous == 0) ShowLightColorGroup(true);
  ApplyLightModeGroups(mode, row);
  m_curLightMode.store(mode);
  PostTask(TaskSendLightMode);
}

void KeyboardDlg::StartLightModeLoad(int profile, int mode, const LightDataRow& row) {
  m_configDB.SelectLightMode(profile, mode);
  if (KeyboardCtrl* view = View(*this)) {
    view->SetPerKeyMode(false);
    view->SetKeyboardCtrlMode(mode);
  }
  SetSlider(*this, ids::kBrightness, row.byte6);
  ShowRange(*this, ids::kRight, ids::kDown, false);
}

void KeyboardDlg::SetLightKeyColor(std::uint32_t color) {
  const int mode = m_curLightMode.load();
  LightDataRow row;
  const bool found = m_configDB.GetLightData(m_profile, mode, &row);
  KeyboardCtrl* view = View(*this);
  if (mode != light_mode_table::kPerKeyMode) {
    if (view) view->SetStaticModeColor(light_color::ToStaticModeArgb(color), false);
    const light_color::Rgb rgb = light_color::Unpack(color);
    row.byte2 = static_cast<std::uint8_t>(rgb.red);
    row.byte3 = static_cast<std::uint8_t>(rgb.green);
    row.byte4 = static_cast<std::uint8_t>(rgb.blue);
    if (found) StoreBlock(m_configDB, m_profile, row);
  } else if (view) {
    view->SetCustomModeColor(color);
    if (found)
      for (const KeyItem& key : view->GetKeyItems())
        if (key.checked) m_configDB.SetKeyRgb(KeyRgbRow{0, row.light_id, key.code, static_cast<int>(color)});
  }
  PostTask(TaskSendLightMode);
}

void KeyboardDlg::ApplyLightColorEdit() {
  SetLightKeyColor(light_color::Pack({WToI(EditText(*this, ids::kRedEdit)), WToI(EditText(*this, ids::kGreenEdit)),
                                      WToI(EditText(*this, ids::kBlueEdit))}));
}

int KeyboardDlg::OnLightModeListNotify(int code) {
  if (code == NOTIFY_SELCHANGE) {
    LoadLightMode(m_profile);
    return 1;
  }
  if (code == NOTIFY_RCLICK) {
    // The keyboard window does not act on this menu's message.
    MenuWnd menu(GetSafeHwnd(), kModeListMenuMessage, 30, 150);
    menu.AddMenu(606, KbText(50));
    menu.AddMenu(607, KbText(53));
    menu.TrackPopup();
    return 1;
  }
  return 1;
}

int KeyboardDlg::OnLightPaletteNotify() {
  auto* palette = GetControlAs<CirclePalette>(ids::kPalette);
  if (!palette) return 1;
  const std::uint32_t color = light_color::FromArgb(palette->GetSelectColor());
  ShowColorInEdits(*this, color);
  SetLightKeyColor(color);
  return 1;
}

int KeyboardDlg::OnLightColorButton(int id) {
  auto* button = GetControlAs<CColorButton>(id);
  if (!button) return 1;
  const std::uint32_t color = light_color::FromArgb(button->GetColor());
  ShowColorInEdits(*this, color);
  SetLightKeyColor(color);
  return 1;
}

int KeyboardDlg::OnLightColorEdit(int id, int code) {
  if (code != NOTIFY_EDIT_CHANGED) return 1;
  const std::wstring text = EditText(*this, id);
  if (light_color::EditOutOfRange(text)) SetEditText(*this, id, Number(light_color::EditChannel(text)));
  ApplyLightColorEdit();
  return 1;
}

int KeyboardDlg::OnLightRedEdit(int code) { return OnLightColorEdit(ids::kRedEdit, code); }
int KeyboardDlg::OnLightGreenEdit(int code) { return OnLightColorEdit(ids::kGreenEdit, code); }
int KeyboardDlg::OnLightBlueEdit(int code) { return OnLightColorEdit(ids::kBlueEdit, code); }

int KeyboardDlg::OnLightColorfulSwitch() {
  const bool checked = Checked(*this, ids::kColorfulSwitch);
  EnableLightColorControls(!checked);
  LightDataRow row;
  if (m_configDB.GetLightData(m_profile, m_curLightMode.load(), &row)) {
    row.colortype = checked ? kColorful : 0;
    StoreBlock(m_configDB, m_profile, row);
  }
  PostTask(TaskSendLightMode);
  if (KeyboardCtrl* view = View(*this)) view->SetStaticModeColor(light_color::ToStaticModeArgb(RowColor(row)), checked);
  return 1;
}

int KeyboardDlg::StoreLightSlider(int id, std::uint8_t LightDataRow::* field) {
  LightDataRow row;
  if (m_configDB.GetLightData(m_profile, m_curLightMode.load(), &row)) {
    row.*field = static_cast<std::uint8_t>(SliderPos(*this, id));
    StoreBlock(m_configDB, m_profile, row);
  }
  PostTask(TaskSendLightMode);
  return 1;
}

int KeyboardDlg::OnLightBrightnessSlider(int code) {
  if (code != NOTIFY_CLICK) return 1;
  return StoreLightSlider(ids::kBrightness, &LightDataRow::byte6);
}

int KeyboardDlg::OnLightSpeedSlider(int code) {
  if (code != NOTIFY_CLICK) return 1;
  return StoreLightSlider(ids::kSpeed, &LightDataRow::byte7);
}

int KeyboardDlg::OnLightDirectionRadio() {
  LightDataRow row;
  if (m_configDB.GetLightData(m_profile, m_curLightMode.load(), &row)) {
    if (Checked(*this, ids::kRight))
      row.byte5 = kDirectionRight;
    else if (Checked(*this, ids::kLeft))
      row.byte5 = kDirectionLeft;
    else if (Checked(*this, ids::kUp))
      row.byte5 = kDirectionUp;
    else if (Checked(*this, ids::kDown))
      row.byte5 = kDirectionDown;
    StoreBlock(m_configDB, m_profile, row);
  }
  PostTask(TaskSendLightMode);
  return 1;
}

int KeyboardDlg::OnLightApplyKeyColors() {
  KeyboardCtrl* view = View(*this);
  if (!view) return 1;
  view->SetCustomModeColor(0u);
  LightDataRow row;
  if (!m_configDB.GetLightData(m_profile, m_curLightMode.load(), &row)) return 1;
  for (const KeyItem& key : view->GetKeyItems())
    if (key.checked) m_configDB.SetKeyRgb(KeyRgbRow{0, row.light_id, key.code, 0});
  return 1;
}

int KeyboardDlg::OnLightSleepTimeRadio(int id) {
  const int index = id - ids::kFirstSleepRadio;
  if (index < 0 || index > 3) return 0;
  ShowSleepTimeSelection(index);
  m_configDB.SetConfigValue(m_profile, L"sleep_light", Number(index));
  PostTask(TaskSendSystemSettings);
  return 1;
}

void KeyboardDlg::ShowSleepTimeSelection(int index) {
  // A stored value outside the four choices shows as the first, as its radio does.
  if (index < 0 || index > 3) index = 0;
  for (int i = 0; i < 4; ++i)
    if (auto* caption = GetControlAs<MControlFont>(ids::kFirstSleepCaption + i))
      caption->SetTextColor(i == index ? kSleepSelectedColor : m_textColor);
}
