// The firmware update tip: one second after the window opened, the firmware packaged with the
// program is compared with the keyboard's release and, when newer, offered to the user.
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/UpdateTipDlg.h"
#include "shell/ui_message_box.h"
#include "zuvi/manager.h"

namespace {

constexpr std::uint32_t kTipStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

}  // namespace

void KeyboardDlg::CheckFirmwareUpdate() {
  if (!m_canUpdateFirmware) return;
  int release = 0;  // a release that cannot be read counts as 0
  if (HidDeviceManager* manager = DeviceManager())
    release = manager->DeviceRelease(m_deviceIndex.load()).value_or(0);
  // The release is written in hexadecimal and read back as a decimal number, like the packaged
  // version: 0x0100 reads as 100, 0x010A as 10.
  const int installed = WToI(FormatW(L"%x", static_cast<unsigned int>(release)));
  if (WToI(m_firmwareVersion) <= installed) return;

  UpdateTipDlg tip;
  if (!tip.Create(m_hwndMain, L"UpdateTipDlg", kTipStyle, 0, UpdateTipDlg::kRect)) return;
  tip.CenterWindow();
  const HWND self = GetSafeHwnd();
  const int answer = tip.ShowModal(SW_SHOW);
  // The keyboard window may have been ended while the tip was open.
  if (answer == IDOK && Manager::FromHandle(self) == this) RunFirmwareUpdater();
}

int KeyboardDlg::ShowMessageBox(HWND parent, const std::wstring& message, const std::wstring& title,
                                int buttons) {
  return ShowPromptBox(parent, message, title, buttons);
}
