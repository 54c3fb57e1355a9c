// The main window's device list: device.xml, rescans, slots, device events and opening a
// keyboard window.
#include <algorithm>
#include <cwctype>

#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "platform/clock/clock.h"
#include "shell/device_config.h"
#include "shell/main_dlg.h"
#include "shell/window_messages.h"
#include "zuvi/manager.h"
#include "zuvi/views.h"

namespace {

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  return text;
}

platform::Clock& DefaultClock() {
  static platform::SteadyClock clock;
  return clock;
}

}  // namespace

int MatchDeviceEvent(const std::vector<DeviceEntry>& entries, size_t firstEntry, const std::wstring& name,
                     bool arrival) {
  const std::wstring upper = Upper(name);
  for (size_t i = firstEntry; i < entries.size(); ++i) {
    const std::wstring vid = FormatW(L"%04X", static_cast<unsigned>(entries[i].vid));
    const std::wstring pid = FormatW(L"%04X", static_cast<unsigned>(entries[i].pid));
    if (upper.find(vid) == std::wstring::npos) continue;
    if (!arrival) return static_cast<int>(i);
    if (upper.find(pid) != std::wstring::npos && upper.find(L"MI_02") != std::wstring::npos)
      return static_cast<int>(i);
  }
  return -1;
}

void MainDlg::LoadDeviceConfig() {
  m_devices.clear();
  const DeviceConfig config = LoadDeviceConfigFile();
  for (const DeviceConfigEntry& source : config.devices) {
    DeviceEntry entry;
    entry.name = source.name;
    entry.type = source.type;
    entry.vid = source.vid;
    entry.pid = source.pid;
    entry.identify = source.identify;
    entry.image = source.image;
    entry.imageNone = source.imageNone;
    entry.productName = source.productName;
    m_devices.push_back(entry);
    HidDeviceManager::AddWantedDevice(entry.vid, entry.pid, entry.productName);
  }
  m_pictures = config.pictures;
  m_manualPath = config.user.data;  // its `show` has no effect
  m_websiteUrl = config.website.data;
  m_storeUrl = config.store.data;
  if (MControl* website = GetControl(IdWebsite)) website->SetVisible(config.website.show != 0);
  if (MControl* store = GetControl(IdStore)) store->SetVisible(config.store.show != 0);
}

void MainDlg::RegisterDeviceNotifications() {
  StopDeviceEvents();
  events_ = platform::device_events::MakeSource();
  const HWND self = GetSafeHwnd();
  const bool started = events_->Start([self](const platform::device_events::DeviceEvent& event) {
    auto record = std::make_shared<DeviceInterfaceRecord>();
    record->name = Utf8ToWideLenient(event.name);
    PostMessageWithPayload(self, WM_DEVICECHANGE,
                           event.arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, std::move(record));
  });
  if (!started) events_.reset();  // logged by the source; the window works without events
}

void MainDlg::StopDeviceEvents() {
  if (events_) events_->Stop();
  events_.reset();
}

void MainDlg::RescanDevices(bool arrival) {
  HidDeviceManager* devices = services_.devices;
  // Waits for a running transfer; no handle closes under it.
  if (devices) devices->Reopen();
  for (size_t i = m_firstEntry; i < m_devices.size(); ++i) {
    DeviceEntry& entry = m_devices[i];
    entry.deviceIndex = HidDeviceManager::FindDevice(entry.vid, entry.pid, entry.productName);
    if (entry.dialog && entry.type == 1) {
      entry.dialog->SetDeviceIndex(entry.deviceIndex);
      entry.dialog->RestartListener();
    }
    if (!arrival) {
      if (entry.dialog && entry.type == 1) entry.dialog->Window().ShowWindow(SW_HIDE);
      entry.connected = 0;
    } else if (entry.deviceIndex == -1) {
      if (entry.dialog) entry.dialog->Window().ShowWindow(SW_HIDE);
      entry.connected = 0;
    } else {
      if (entry.connected != 1) m_rescanOnRemoval = true;
      entry.connected = 1;
    }
  }
  if (!arrival) m_rescanOnRemoval = false;
  UpdateDeviceSlots();
  if (devices && devices->PermissionDeniedCount() > 0 && !permissionPromptShown_)
    PostMessage(GetSafeHwnd(), kMsgPermissionPrompt, 0, 0);
  if (arrival) OpenDevice(IdSlot1);
}

void MainDlg::UpdateDeviceSlots() {
  std::vector<CDeviceCtrl*> slotControls;
  for (int id = IdSlot1; id <= IdSlot4; ++id) {
    auto* slot = GetControlAs<CDeviceCtrl>(id);
    if (!slot) return;
    slot->SetVisible(false);
    slot->SetDeviceStatus(0);
    slotControls.push_back(slot);
  }
  // A slot stored by an earlier refresh must not open an entry it no longer shows.
  for (DeviceEntry& entry : m_devices) entry.slot = nullptr;
  size_t filled = 0;
  for (int pass = 1; pass >= 0; --pass) {
    for (size_t i = m_firstEntry; i < m_devices.size() && filled < slotControls.size(); ++i) {
      DeviceEntry& entry = m_devices[i];
      if ((entry.connected == 1) != (pass == 1)) continue;
      CDeviceCtrl* slot = slotControls[filled++];
      slot->SetImage(L"device/" + (pass == 1 ? entry.image : entry.imageNone), 1);
      slot->SetTitle(entry.name);
      slot->SetDeviceStatus(pass);
      slot->SetVisible(true);
      entry.slot = slot;
    }
  }
}

void MainDlg::OnDeviceInterfaceEvent(const DeviceInterfaceRecord& record, WPARAM event) {
  if (event == DBT_DEVICEARRIVAL) {
    if (MatchDeviceEvent(m_devices, m_firstEntry, record.name, true) < 0) return;
    // The keyboard's other interfaces settle before the rescan opens them.
    (services_.clock ? *services_.clock : DefaultClock()).sleep(kArrivalWaitMs);
    RescanDevices(true);
  } else if (event == DBT_DEVICEREMOVECOMPLETE) {
    if (MatchDeviceEvent(m_devices, m_firstEntry, record.name, false) >= 0 && m_rescanOnRemoval)
      RescanDevices(false);
  }
}

int MainDlg::OpenDevice(int slotId) {
  auto* slot = GetControlAs<CDeviceCtrl>(slotId);
  if (!slot) return 1;
  for (size_t i = 0; i < m_devices.size(); ++i) {
    DeviceEntry& entry = m_devices[i];
    if (!entry.connected || entry.slot != slot) continue;
    if (entry.dialog) {
      entry.dialog->Window().ShowWindow(SW_SHOW);
      m_rescanOnRemoval = true;
    } else if (entry.type == 1 && services_.makeKeyboardWindow) {
      std::unique_ptr<KeyboardWindow> window =
          services_.makeKeyboardWindow(entry.name, entry.deviceIndex, entry.identify);
      if (!window) return 1;
      KeyboardWindow* raw = window.get();
      owned_.push_back(std::move(window));
      entry.dialog = raw;
      m_rescanOnRemoval = true;
      inShow_.push_back(raw);
      raw->Show(GetSafeHwnd());  // nested loop: the list may have changed when it returns
      inShow_.erase(std::find(inShow_.begin(), inShow_.end(), raw));
      auto gone =
          std::find_if(destroyed_.begin(), destroyed_.end(), [raw](auto& w) { return w.get() == raw; });
      if (gone != destroyed_.end()) destroyed_.erase(gone);
    }
    return 1;  // at most one entry shows in a slot
  }
  return 1;
}

void MainDlg::DestroyKeyboardWindows() {
  for (DeviceEntry& entry : m_devices) {
    if (!entry.dialog) continue;
    KeyboardWindow* raw = entry.dialog;
    entry.dialog = nullptr;
    raw->Window().DestroyWindow();  // joins its worker, stops its listener
    auto it = std::find_if(owned_.begin(), owned_.end(), [raw](auto& w) { return w.get() == raw; });
    if (it == owned_.end()) continue;
    std::unique_ptr<KeyboardWindow> window = std::move(*it);
    owned_.erase(it);
    // Still inside its Show frame: freed when that frame returns.
    if (std::find(inShow_.begin(), inShow_.end(), raw) != inShow_.end())
      destroyed_.push_back(std::move(window));
  }
}
