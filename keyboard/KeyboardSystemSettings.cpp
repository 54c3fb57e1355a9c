// The system-settings and clock transactions of the keyboard window: the inputs are gathered
// here, the packets are built and sent by the device layer.
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
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

// Each input comes from its control when the page that owns it was built, else from the store key
// that page loads into it. The sleep time has no control of its own yet.
void KeyboardDlg::SendSystemSettings(int profile) {
  HidDeviceManager* manager = DeviceManager();
  if (!manager) {
    KeyboardLog("system settings: no device manager; nothing sent");
    return;
  }
  auto flag = [&](int id, const wchar_t* key) {
    if (auto* box = GetControlAs<CCheckButton>(id)) return box->GetCheck();
    return StoredFlag(m_configDB, profile, key);
  };
  SystemSettings settings;
  settings.gameMode = flag(283, L"gamemode");
  settings.blockAltTab = flag(284, L"disable_alttab");
  settings.blockAltF4 = flag(285, L"disable_altf4");
  settings.blockWindowsKeys = flag(286, L"disable_win");
  settings.fnLayerSwitch = flag(kb_ids::kFnSwitch2, L"fn_switchfunction");
  settings.sleepLight = StoredNumber(m_configDB, profile, L"sleep_light");
  if (auto* response = GetControlAs<MComboBox>(270))
    settings.responseTime = static_cast<int>(response->GetCurData());  // 0 without a selection
  else
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
