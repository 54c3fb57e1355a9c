// The system-settings and clock transactions of the keyboard window: the inputs are gathered
// here, the packets are built and sent by the device layer.
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "zuvi/list_box.h"

namespace {

bool StoredFlag(ConfigDB& store, int profile, const wchar_t* key) {
  std::wstring value;
  store.GetConfigValue(profile, key, &value);
  return value == L"1";
}

int StoredNumber(ConfigDB& store, int profile, const wchar_t* key) {
  std::wstring value;
  store.GetConfigValue(profile, key, &value);
  return WToI(value);
}

}  // namespace

// The settings page does not exist yet, so the values come from the store keys that the page
// loads into its controls.
void KeyboardDlg::SendSystemSettings(int profile) {
  HidDeviceManager* manager = DeviceManager();
  if (!manager) {
    KeyboardLog("system settings: no device manager; nothing sent");
    return;
  }
  SystemSettings settings;
  settings.gameMode = StoredFlag(m_configDB, profile, L"gamemode");
  settings.blockAltTab = StoredFlag(m_configDB, profile, L"disable_alttab");
  settings.blockAltF4 = StoredFlag(m_configDB, profile, L"disable_altf4");
  settings.blockWindowsKeys = StoredFlag(m_configDB, profile, L"disable_win");
  settings.fnLayerSwitch = StoredFlag(m_configDB, profile, L"fn_switchfunction");
  settings.sleepLight = StoredNumber(m_configDB, profile, L"sleep_light");
  settings.responseTime = StoredNumber(m_configDB, profile, L"button_respondtime");
  const DeviceLink link{*manager, PacingClock(), m_deviceIndex.load(), m_packetDelay};
  if (!SendSystemSettingsTransaction(link, m_profile, settings)) NoteTransferFailed("system settings");
}

void KeyboardDlg::SendClockAndLcdSlot() {
  HidDeviceManager* manager = DeviceManager();
  if (!manager) {
    KeyboardLog("clock: no device manager; nothing sent");
    return;
  }
  int slot = -1;
  if (auto* slots = GetControlAs<QelListBox>(kb_ids::kScreenSlotList)) slot = slots->GetCurSel();
  const DeviceLink link{*manager, PacingClock(), m_deviceIndex.load(), m_packetDelay};
  if (!SendClockTransaction(link, slot,
                            m_services.localTime ? m_services.localTime : LocalTimeSource(CurrentLocalTime)))
    NoteTransferFailed("clock");
}
