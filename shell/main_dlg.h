// MainDlg: the main window. It keeps the device list of device.xml, shows up to four device
// slots, follows device arrival and removal, opens the keyboard windows inside itself, sits in
// the tray and opens the system settings dialog.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/device_events/device_events.h"
#include "shell/keyboard_window.h"
#include "shell/window_messages.h"
#include "zuvi/dialog.h"

class CDeviceCtrl;
class HidDeviceManager;
class TrayIcon;
namespace platform {
class Clock;
class SettingsStore;
}  // namespace platform

struct DeviceEntry {
  std::wstring name;
  int type = 0;
  int vid = 0;
  int pid = 0;
  std::wstring identify;
  std::wstring image;
  std::wstring imageNone;
  std::wstring productName;
  int connected = 0;
  int deviceIndex = -1;
  KeyboardWindow* dialog = nullptr;  // owned by the main window
  CDeviceCtrl* slot = nullptr;       // the slot that last showed the entry
};

// Which entry a device-interface event is about (-1: none). The name is upper-cased first. An
// arrival needs the "%04X" vid, pid and "MI_02" of the entry; a removal the vid alone. The first
// matching entry from `firstEntry` on wins.
int MatchDeviceEvent(const std::vector<DeviceEntry>& entries, size_t firstEntry, const std::wstring& name,
                     bool arrival);

class MainDlg : public MDialog {
 public:
  struct Services {
    HidDeviceManager* devices = nullptr;          // required
    platform::Clock* clock = nullptr;             // the arrival wait; null: the steady clock
    platform::SettingsStore* settings = nullptr;  // the language value; null: the user's store
    KeyboardWindowFactory makeKeyboardWindow;     // empty: entries open no window
  };

  enum : int {
    IdBackground = 30,
    IdBackPicture = 31,
    IdLogo = 32,
    IdTitle = 33,
    IdClose = 34,
    IdMinimize = 35,
    IdSettings = 37,
    IdStore = 40,
    IdWebsite = 41,
    IdSlot1 = 44,
    IdSlot4 = 47,
    IdVersion = 53,
  };
  static constexpr UINT kTrayIconId = 109;
  static constexpr int kArrivalWaitMs = 1500;
  // Posted to itself after a rescan that met a device it may not open.
  static constexpr UINT kMsgPermissionPrompt = WM_APP + 61;

  explicit MainDlg(Services services);
  ~MainDlg() override;

  // Creates the 1200 x 720 window and runs its loop; returns the loop's result.
  int Run();

  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  bool DestroyWindow() override;

  // Device list and slots.
  void LoadDeviceConfig();
  void RescanDevices(bool arrival);
  void UpdateDeviceSlots();
  void OnDeviceInterfaceEvent(const DeviceInterfaceRecord& record, WPARAM event);
  int OpenDevice(int slotId);
  void RegisterDeviceNotifications();

  int RemoveTrayIcon();
  void ApplyLanguage();

  const std::vector<DeviceEntry>& Devices() const { return m_devices; }
  const std::vector<std::wstring>& Pictures() const { return m_pictures; }
  bool RescanOnRemoval() const { return m_rescanOnRemoval; }
  bool TrayShown() const;
  const std::wstring& ManualPath() const { return m_manualPath; }
  const std::wstring& StoreUrl() const { return m_storeUrl; }
  const std::wstring& WebsiteUrl() const { return m_websiteUrl; }

 private:
  void HideMain();
  void OnTrayNotify(LPARAM reason);
  void Quit();
  void ForwardSlotKey(WPARAM wParam, LPARAM lParam);
  void ShowSystemSettings();
  void OpenAddress(const std::wstring& address);
  void StopDeviceEvents();
  void DestroyKeyboardWindows();

  Services services_;
  std::vector<DeviceEntry> m_devices;
  size_t m_firstEntry = 0;
  bool m_rescanOnRemoval = false;
  std::vector<std::wstring> m_pictures;
  std::wstring m_manualPath, m_storeUrl, m_websiteUrl;
  int m_pictureIndex = 0;
  std::unique_ptr<TrayIcon> m_trayIcon;
  std::unique_ptr<platform::device_events::Source> events_;
  // Keyboard windows are freed only once their Show frame has returned.
  std::vector<std::unique_ptr<KeyboardWindow>> owned_;
  std::vector<KeyboardWindow*> inShow_;
  std::vector<std::unique_ptr<KeyboardWindow>> destroyed_;
  bool permissionPromptShown_ = false;
  bool destroyed_once_ = false;
};
