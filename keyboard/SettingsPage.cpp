// The settings page (tab 6): game mode with its blocked keys, the key response time and the Fn
// switch (stored and sent to the keyboard), the UI language, start at login, and the three
// actions: reset keys and light parameters, restore defaults, start the firmware updater.
#include <algorithm>
#include <filesystem>
#include <thread>

#include "common/folders.h"
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/MacroPageControls.h"
#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "shell/window_messages.h"
#include "zuvi/manager.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"

using macro_page::Check;
using macro_page::Checked;
using macro_page::Enable;
using macro_page::KbText;

namespace {

constexpr int kLanguageCombo = 266;
constexpr int kFnSwitchCombo = 268;
constexpr int kResponseCombo = 270;
constexpr int kAutoStart = 272;
constexpr int kUpdateButton = 276;
constexpr int kGameMode = 283;
constexpr int kBlockAltTab = 284;
constexpr int kBlockAltF4 = 285;
constexpr int kBlockWin = 286;
constexpr int kBlockedKeys[] = {kBlockAltTab, kBlockAltF4, kBlockWin};
constexpr const wchar_t* kBlockedKeyNames[] = {L"disable_alttab", L"disable_altf4", L"disable_win"};
constexpr int kEnglish = 0x409;
constexpr int kPromptYesNo = 4;

// clang-format off
constexpr page_controls::ControlSpec kControls[] = {
    {.id = 264, .className = L"CArea", .area = true},
    {.id = 265, .className = L"MText", .area = true, .text = 400},
    {.id = 266, .className = L"MComboBox", .image = L"img_combobox.png"},
    {.id = 267, .className = L"MText", .area = true, .text = 97},
    {.id = 268, .className = L"MComboBox", .image = L"img_combobox.png"},
    {.id = 269, .className = L"MText", .area = true, .text = 402},
    {.id = 270, .className = L"MComboBox", .image = L"img_combobox.png"},
    {.id = 272, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 401},
    {.id = 274, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 410},
    {.id = 275, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 411},
    {.id = 276, .className = L"MButton", .image = L"btn_apply.png", .imageStates = 4, .text = 600},
    {.id = 278, .className = L"CArea", .area = true},
    {.id = 279, .className = L"MText", .area = true, .text = 420},
    {.id = 280, .className = L"MText", .area = true, .label = L"Alt + Tab"},
    {.id = 281, .className = L"MText", .area = true, .label = L"Alt + F4"},
    {.id = 282, .className = L"MText", .area = true, .label = L"Windows Key"},
    {.id = 283, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 120},
    {.id = 284, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 120},
    {.id = 285, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 120},
    {.id = 286, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 120},
};
// clang-format on

using page_controls::Box;

std::wstring Stored(ConfigDB& store, int profile, const wchar_t* key) {
  std::wstring value;
  store.GetConfigValue(profile, key, &value);
  return value;
}

bool AutostartOn() { return platform::CurrentAutostart().IsEnabled(); }

void SendLanguage(HWND main, int language) {
  if (language != 0 && main) SendMessage(main, WM_LANGUAGE_CHANGED, 100, language);
}

}  // namespace

void KeyboardDlg::CreateSettingsPage() {
  MControl* page = GetControl(kb_ids::kPageSettings);
  page_controls::CreatePageControls(*this, page, kControls);
  if (auto* language = GetControlAs<MComboBox>(kLanguageCombo)) {
    language->AddString(L"English", kEnglish);
    language->SetCurData(g_languageId.load());
  }
  if (auto* fn = GetControlAs<MComboBox>(kFnSwitchCombo)) {
    fn->AddString(KbText(98), 1);
    fn->AddString(KbText(99), 0);
    fn->SetCurData(1);
  }
  if (auto* response = GetControlAs<MComboBox>(kResponseCombo)) {
    for (int i = 1; i <= 5; ++i) response->AddString(std::to_wstring(i), i);
    response->SetCurData(2);
  }
  Check(*this, kAutoStart, AutostartOn());
  AddCustomLightView(kb_ids::kSettingsView, page);
}

void KeyboardDlg::LayoutSettingsPage(const RECT& client) {
  const int w = client.right;
  const int h = client.bottom;
  auto at = [this](int id, RECT rect) {
    if (MControl* c = GetControl(id)) c->SetRect(rect);
  };
  at(264, Box(71, 60, 290, h - 1));
  at(265, Box(80, 100, 180, 130));
  at(266, Box(80, 130, 280, 160));
  at(269, Box(80, 180, 280, 210));
  at(270, Box(80, 210, 280, 240));
  at(272, Box(80, 350, 260, 380));
  at(274, Box(80, 390, 280, 420));
  at(275, Box(80, 430, 280, 460));
  at(kUpdateButton, m_canUpdateFirmware ? Box(80, 470, 280, 500) : RECT{});
  at(kb_ids::kSettingsView, Box(310, 110, w - 20, h - 300));
  at(278, Box(300, h - 290, w - 10, h - 1));
  for (int i = 0; i < 4; ++i) {
    at(279 + i, Box(360, h - 230 + 35 * i, 480, h - 200 + 35 * i));
    at(283 + i, Box(510, h - 230 + 35 * i, 640, h - 200 + 35 * i));
  }
}

void KeyboardDlg::LoadSystemSettings(int profile) {
  if (GetControl(kGameMode)) {
    const bool fnSecond = Stored(m_configDB, profile, L"fn_switchfunction") == L"1";
    Check(*this, kb_ids::kFnSwitch2, fnSecond);
    Check(*this, kb_ids::kFnSwitch, !fnSecond);
    if (auto* response = GetControlAs<MComboBox>(kResponseCombo))
      if (!response->SetCurData(WToI(Stored(m_configDB, profile, L"button_respondtime"))))
        response->SetCurSel(-1);  // a stored value outside 1..5 selects nothing
    const int sleep = WToI(Stored(m_configDB, profile, L"sleep_light"));
    const int sleepRadio = sleep >= 1 && sleep <= 3 ? 122 + sleep : 122;
    Check(*this, sleepRadio);
    ShowSleepTimeSelection(sleep);
    const bool game = Stored(m_configDB, profile, L"gamemode") == L"1";
    Check(*this, kGameMode, game);
    for (int i = 0; i < 3; ++i) {
      Check(*this, kBlockedKeys[i], game && Stored(m_configDB, profile, kBlockedKeyNames[i]) == L"1");
      Enable(*this, kBlockedKeys[i], game);
    }
  }
  SendSystemSettings(profile);
}

int KeyboardDlg::OnGameModeCheck() {
  const bool on = Checked(*this, kGameMode);
  for (int i = 0; i < 3; ++i) {
    // Checked again, the switches show what the store keeps, so screen, store and keyboard agree.
    Check(*this, kBlockedKeys[i], on && Stored(m_configDB, m_profile, kBlockedKeyNames[i]) == L"1");
    Enable(*this, kBlockedKeys[i], on);
  }
  m_configDB.SetConfigValue(m_profile, L"gamemode", on ? L"1" : L"0");
  PostTask(TaskSendSystemSettings);
  return 1;
}

namespace {

int StoreCheck(KeyboardDlg& dlg, int id, const wchar_t* key) {
  dlg.m_configDB.SetConfigValue(dlg.m_profile, key, Checked(dlg, id) ? L"1" : L"0");
  dlg.PostTask(TaskSendSystemSettings);
  return 1;
}

int StoreCombo(KeyboardDlg& dlg, int id, const wchar_t* key) {
  auto* combo = dlg.GetControlAs<MComboBox>(id);
  if (!combo || combo->GetCurSel() < 0) return 0;
  dlg.m_configDB.SetConfigValue(dlg.m_profile, key, std::to_wstring(combo->GetCurData()));
  dlg.PostTask(TaskSendSystemSettings);
  return 1;
}

}  // namespace

int KeyboardDlg::OnDisableAltTabCheck() { return StoreCheck(*this, kBlockAltTab, L"disable_alttab"); }
int KeyboardDlg::OnDisableAltF4Check() { return StoreCheck(*this, kBlockAltF4, L"disable_altf4"); }
int KeyboardDlg::OnDisableWinCheck() { return StoreCheck(*this, kBlockWin, L"disable_win"); }
int KeyboardDlg::OnResponseTimeCombo() { return StoreCombo(*this, kResponseCombo, L"button_respondtime"); }
int KeyboardDlg::OnFnSwitchCombo() { return StoreCombo(*this, kFnSwitchCombo, L"fn_switchfunction"); }

int KeyboardDlg::OnLanguageCombo() {
  auto* combo = GetControlAs<MComboBox>(kLanguageCombo);
  if (!combo || combo->GetCurSel() < 0) return 0;
  SendLanguage(m_hwndMain, static_cast<int>(combo->GetCurData()));
  return 1;
}

int KeyboardDlg::OnAutoStartCheck() {
  platform::Autostart& autostart = platform::CurrentAutostart();
  bool written = true;
  if (Checked(*this, kAutoStart))
    written = autostart.Enable(platform::AppDir() + "kelvane");
  else
    written = autostart.Disable();
  if (!written) KeyboardLog("settings: start at login could not be changed");
  Check(*this, kAutoStart, autostart.IsEnabled());  // what is on disk, not what was asked
  return 1;
}

int KeyboardDlg::ResetKeysAndLighting() {
  if (ShowMessageBox(m_hwndMain, KbText(80), KbText(81), kPromptYesNo) != 1) return 0;
  // Only a profile of the user's own has rows to delete; a built-in layout keeps its keys.
  std::vector<KeyProfileRow*> profiles;
  m_configDB.GetKeyProfiles(2, profiles);
  const bool userProfile = std::any_of(profiles.begin(), profiles.end(), [this](const KeyProfileRow* p) {
    return p->profile_id == m_keyProfileId;
  });
  FreeRows(profiles);
  if (userProfile) m_configDB.DeleteProfileKeyData(m_keyProfileId);
  RefreshKeyAssign(m_keyProfileId);
  PostTask(TaskSendKeyMap);
  for (int mode = 1; mode <= 19; ++mode) {
    LightDataRow row;
    if (!m_configDB.GetLightData(m_profile, mode, &row)) continue;
    const std::uint8_t block[8] = {row.mode, row.colortype, row.byte2, row.byte3, row.byte4, row.byte5, 5, 3};
    m_configDB.UpdateLightData(m_profile, mode, block);
  }
  PacingClock().sleep(500);
  if (auto* modes = GetControlAs<QelListBox>(kb_ids::kLightModeList)) modes->SetCurData(11);
  m_curLightMode.store(0);
  LoadLightMode(m_profile);
  return 1;
}

int KeyboardDlg::FactoryReset() {
  if (ShowMessageBox(m_hwndMain, KbText(82), KbText(83), kPromptYesNo) != 1) return 0;
  if (auto* language = GetControlAs<MComboBox>(kLanguageCombo)) {
    language->SetCurData(kEnglish);
    SendLanguage(m_hwndMain, static_cast<int>(language->GetCurData()));
  }
  if (m_hasMusic) m_visualizer->m_active.store(0);
  // The window's own store is reset in place; no other file is opened or created.
  if (m_configDB.opened) {
    m_configDB.ResetAll();
    m_configDB.InitProfileLightData(m_profile);
  } else {
    KeyboardLog("restore defaults: no store is open; the store is not reset");
  }
  if (m_hasCustomLightMode) {
    if (CustomLightMode* view = GetCustomLightView(kb_ids::kCustomLightModeView)) {
      view->ResetAllItemCheck(false);
      view->ResetAllItemsColor(0);
    }
    for (int id : {224, 225, 226}) Check(*this, id, false);
  }
  m_configDB.SetConfigValue(m_profile, L"fn_switchfunction", L"1");
  Check(*this, kb_ids::kFnSwitch2, true);
  Check(*this, kb_ids::kFnSwitch, false);
  m_fnLayer = 0;
  const std::pair<int, int> layerPairs[] = {{72, 73}, {119, 120}, {185, 186}, {229, 230}, {310, 311}};
  for (const auto& [first, second] : layerPairs) {
    MControl* a = GetControl(first);
    MControl* b = GetControl(second);
    if (!a || !b) continue;
    a->SetImage(L"img_btn_layer_p.png", 4);
    b->SetImage(L"img_btn_layer_n.png", 4);
  }
  if (m_hasCustomLight)
    for (int id : {180, 181, 182}) Check(*this, id, false);
  LoadKeyboardLayout();
  FillProfileLists();
  std::wstring current;
  m_configDB.GetConfigValue(m_profile, L"cur_customlightmode", &current);
  m_curCustomLightMode = WToI(current);
  if (m_hasMacro) LoadMacroList();
  // The effect editor's speed goes back to a new scheme's, on the slider's own scale.
  if (auto* speed = GetControlAs<MSlider>(174)) speed->SetPos(15);
  if (CustomLightMode* view = GetCustomLightView(kb_ids::kCustomLightView)) view->SetSpeed(15);
  const std::wstring folder = GetUserDataFolder();
  if (!folder.empty() && folder.front() == L'/') {
    std::error_code error;
    std::filesystem::remove_all(WideToUtf8(folder + L"led/"), error);
    if (error)
      KeyboardLog("restore defaults: the screen animation folder stays: %s", error.message().c_str());
  }
  m_configDB.DeleteAllLedData();
  LoadLcdSlots();
  PostTask(TaskSyncPages);
  PostTask(TaskSendKeyMap);
  PostTask(TaskSendCustomModeColors);
  return 1;
}

int KeyboardDlg::RunFirmwareUpdater() {
  HidDeviceManager* manager = DeviceManager();
  int release = 0;
  if (manager) release = manager->DeviceRelease(m_deviceIndex.load()).value_or(0);
  // The release in hexadecimal, read as a decimal number like the packaged version.
  const int installed = WToI(FormatW(L"%x", static_cast<unsigned int>(release)));
  if (WToI(m_firmwareVersion) <= installed) {
    ShowMessageBox(m_hwndMain, KbText(290), KbText(289), 0);
    return 0;
  }
  if (manager) manager->CloseAll();
  const std::string path = platform::AppDir() + WideToUtf8(m_updaterFile);
  std::string error;
  const std::optional<platform::StartedProcess> updater = platform::StartProgram({path}, &error);
  if (!updater) {
    KeyboardLog("firmware updater %s could not be started: %s", path.c_str(), error.c_str());
    if (manager) manager->Reopen();
    return 0;
  }
  EnableDialogControls(false);
  m_updaterProcessId.store(static_cast<unsigned int>(updater->pid()));
  ShowWindow(SW_HIDE);
  if (MWindow* main = Manager::FromHandle(m_hwndMain)) main->ShowWindow(SW_HIDE);
  return 1;
}
