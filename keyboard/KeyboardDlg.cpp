// KeyboardDlg: construction, opening, the window's start-up, the firmware timer and teardown.
#include "keyboard/KeyboardDlg.h"

#include <ctime>
#include <filesystem>

#include "common/folders.h"
#include "common/lang_text.h"
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/RawInput.h"
#include "platform/hid/hid_backend.h"
#include "zuvi/manager.h"
#include "zuvi/tab.h"

namespace {

constexpr std::uint32_t kWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr RECT kWindowRect{0, 0, 1200, 720};
// Copies of replaced stores kept per device.
constexpr int kKeptStoreCopies = 3;

platform::Clock& RealClock() {
  static platform::SteadyClock clock;
  return clock;
}

// The program's listener reads the keyboard's vendor collection through the system's HID back end.
std::unique_ptr<HidReportListener> MakeSystemListener(PostMessageFn post) {
  static const std::unique_ptr<platform::hid::HidBackend> backend = platform::hid::CreateSystemHidBackend();
  return std::make_unique<HidReportListener>(*backend, RealClock(), std::move(post));
}

// A store file name must stay inside the db folder.
bool IsSafeStoreStem(const std::wstring& stem) {
  return !stem.empty() && stem.find(L'/') == std::wstring::npos && stem.find(L'\0') == std::wstring::npos;
}

}  // namespace

KeyboardDlg::KeyboardDlg(const std::wstring& deviceName, int deviceIndex, const std::wstring& identify)
    : m_deviceIndex(deviceIndex),
      m_deviceName(deviceName),
      m_identify(identify),
      m_layoutMaps(std::make_shared<const KeyLayoutMaps>()) {}

KeyboardDlg::~KeyboardDlg() {
  // A window that was never ended through its slot is ended here, while every member still exists.
  StopWorkerAndListener();
  m_visualizer->Stop();
  UnregisterRawInput(GetSafeHwnd());
  if (GetSafeHwnd()) MWindow::DestroyWindow();
  if (m_configDB.opened) m_configDB.db.Close();
  m_configDB.opened = false;
}

void KeyboardDlg::SetServices(Services services) { m_services = std::move(services); }

void KeyboardDlg::SetWorkerMode(WorkerMode mode) { m_workerMode = mode; }

HidDeviceManager* KeyboardDlg::DeviceManager() const {
  return m_services.manager ? m_services.manager : g_hidDeviceManager;
}

platform::Clock& KeyboardDlg::PacingClock() const {
  return m_services.clock ? *m_services.clock : RealClock();
}

bool KeyboardDlg::Open(HWND parent) {
  LoadDeviceConfig();
  m_hwndMain = parent;  // valid during OnInitDialog
  return Create(parent, L"KeyboardDlg", kWindowStyle, 0, kWindowRect);
}

int KeyboardDlg::Show(HWND parent) {
  if (!Open(parent)) return 0;
  return ShowModal(SW_SHOW);  // the owner may delete this object while the loop runs
}

int KeyboardDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  EnableWndDrag(0);
  std::wstring profileName;
  GetLangText(&profileName, 150, L"KB.DIALOG");
  m_configDB.defaultProfileName = profileName;
  OpenStore();
  LoadKeyboardLayout();
  RestoreTab();
  SetMTimer(10);
  StartListener();
  PostTask(TaskReloadAll);
  PostTask(TaskInitMusic);
  PostTask(TaskSyncPages);
  if (m_workerMode == WorkerMode::kThread) m_worker.Start();
  SetTimer(kTimerFirmwareCheck, 1000);
  return 1;
}

// Opens the device's store, creating it with its default rows when missing. A store of another
// version, a file that is no store at all, or a damaged one is renamed aside (the user's rows stay
// in that copy) and created afresh; a store that cannot be read right now is kept as it is.
void KeyboardDlg::OpenStore() {
  if (!IsSafeStoreStem(m_identify)) {
    KeyboardLog("device \"%s\": its identify \"%s\" cannot name a store file; no store is opened",
                WideToUtf8(m_deviceName).c_str(), WideToUtf8(m_identify).c_str());
    return;
  }
  const std::wstring folder = GetUserDataFolder();
  if (folder.empty()) {
    KeyboardLog("no user data folder; no store is opened");
    return;
  }
  const std::string path = WideToUtf8(folder + L"db/" + m_identify + L"_data.db");
  // A file this open has just created holds nothing of the user's; it is replaced without a copy.
  const bool existed = std::filesystem::exists(path);
  if (!m_configDB.Open(folder, L"", m_identify)) {
    KeyboardLog("store %s could not be opened; the window goes on without it", m_configDB.dbPath.c_str());
    return;
  }

  int code = 0;
  switch (m_configDB.CheckVersion(m_profile, &code)) {
    case ConfigDB::VersionState::Current:
      return;
    case ConfigDB::VersionState::Unreadable:
      KeyboardLog("store %s: version could not be read (SQLite code %d); the file is kept",
                  m_configDB.dbPath.c_str(), code);
      return;
    case ConfigDB::VersionState::Other:
    case ConfigDB::VersionState::Damaged:
      break;
  }
  if (m_configDB.opened) m_configDB.db.Close();
  m_configDB.opened = false;
  if (!existed) {
    if (!DiscardDatabaseFile(path)) KeyboardLog("new store %s could not be made again", path.c_str());
    if (!m_configDB.Open(folder, L"", m_identify)) KeyboardLog("store %s could not be created", path.c_str());
    return;
  }
  const std::string copy = SetAsideDatabaseFile(path, std::time(nullptr), kKeptStoreCopies);
  if (copy.empty()) {
    // Nothing is deleted in its place: the window goes on without a store rather than lose it.
    KeyboardLog("store %s (SQLite code %d) could not be renamed aside; it is kept and no store is opened",
                path.c_str(), code);
    return;
  }
  KeyboardLog("store %s is not a usable store of this version (SQLite code %d); it was renamed to %s",
              path.c_str(), code, copy.c_str());
  if (!m_configDB.Open(folder, L"", m_identify)) KeyboardLog("store %s could not be created", path.c_str());
}

// Selects the tab shown last; a stored position that is no number or lies outside the column
// selects the first tab.
void KeyboardDlg::RestoreTab() {
  auto* tabs = GetControlAs<MTabCtrl>(kb_ids::kTabs);
  if (!tabs) return;
  std::wstring stored;
  m_configDB.GetConfigValue(1, L"tab_item", &stored);
  int position = WToI(stored);
  if (position < 0 || position >= tabs->GetItemCount()) position = 0;
  tabs->SetSelectItem(position);
}

void KeyboardDlg::StartListener() {
  PostMessageFn post = [hwnd = GetSafeHwnd()](unsigned int message, uintptr_t wParam, intptr_t lParam) {
    PostMessage(hwnd, message, wParam, lParam);
  };
  m_listener = m_services.makeListener ? m_services.makeListener(std::move(post))
                                       : MakeSystemListener(std::move(post));
  if (!m_listener) return;
  m_listener->SetMessageId(WM_DEVICE_REPORT);
  RestartListener();
}

void KeyboardDlg::RestartListener() {
  if (!m_listener) return;
  int vid = 0;
  int pid = 0;
  std::string physicalKey;
  if (HidDeviceManager* manager = DeviceManager())
    if (std::optional<HidDeviceInfo> info = manager->GetDeviceInfo(m_deviceIndex.load())) {
      vid = info->vendorId;
      pid = info->productId;
      physicalKey = info->physicalKey;
    }
  m_listener->SetDevice(vid, pid, physicalKey);
  m_listener->Stop();
  m_listener->Start();
}

void KeyboardDlg::OnTimer(UINT id) {
  if (id != kTimerFirmwareCheck) return;
  KillTimer(kTimerFirmwareCheck);
  CheckFirmwareUpdate();
}

// The worker first: no pass runs after this, and the one in progress has ended (a pass that
// outlasts the bounded wait is joined). Then the listener.
void KeyboardDlg::StopWorkerAndListener() {
  if (m_stopped) return;
  m_stopped = true;
  m_stopRequested.store(true);
  m_worker.Stop();
  m_worker.Join();
  // A pass driven by hand on another thread may still be running; wait for it too.
  { std::lock_guard pass(m_passLock); }
  if (m_listener) {
    m_listener->Stop();
    m_listener.reset();
  }
}

bool KeyboardDlg::DestroyWindow() {
  StopWorkerAndListener();
  m_visualizer->Stop();  // after the worker, which reads its pictures
  UnregisterRawInput(GetSafeHwnd());
  return MDialog::DestroyWindow();
}

void KeyboardDlg::PostTask(int code) { m_taskList.Push(code); }

void KeyboardDlg::SetWaitDlg(std::shared_ptr<MDialog> dialog) {
  std::lock_guard guard(m_waitDlgLock);
  m_waitDlg = std::move(dialog);
}

void KeyboardDlg::SetWaitDlg2(std::shared_ptr<MDialog> dialog) {
  std::lock_guard guard(m_waitDlgLock);
  m_waitDlg2 = std::move(dialog);
}

std::shared_ptr<const KeyLayoutMaps> KeyboardDlg::GetLayoutMaps() const {
  std::lock_guard guard(m_layoutLock);
  return m_layoutMaps;
}

KeyboardCtrl* KeyboardDlg::GetKeyView(int id) const { return GetControlAs<KeyboardCtrl>(id); }

CustomLightMode* KeyboardDlg::GetCustomLightView(int id) const { return GetControlAs<CustomLightMode>(id); }
