// The task list and the worker pass of the keyboard window.
#include "keyboard/KeyboardTasks.h"

#include "common/lang_text.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "platform/process_wait.h"
#include "shell/ui_message_box.h"
#include "zuvi/list_box.h"
#include "zuvi/manager.h"

// ---------------------------------------------------------------------------------------------
// KeyboardTaskList

void KeyboardTaskList::Push(int code) {
  std::lock_guard guard(lock_);
  codes_.push_back(code);
}

std::optional<int> KeyboardTaskList::PopFront() {
  std::lock_guard guard(lock_);
  if (codes_.empty()) return std::nullopt;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

bool KeyboardTaskList::Empty() const {
  std::lock_guard guard(lock_);
  return codes_.empty();
}

size_t KeyboardTaskList::Size() const {
  std::lock_guard guard(lock_);
  return codes_.size();
}

std::vector<int> KeyboardTaskList::Snapshot() const {
  std::lock_guard guard(lock_);
  return {codes_.begin(), codes_.end()};
}

// ---------------------------------------------------------------------------------------------
// The pass

namespace {

// Slices of the updater wait: a stop request is seen within this time.
constexpr int kUpdaterWaitSliceMs = 50;

// The editing tools of the screen page.
constexpr int kLcdEditControls[] = {326, 332, 339, 342, 343, 344, 345, 346, 347, 349, 348, 351,
                                    352, 356, 357, 358, 359, 360, 361, 362, 363, 364, 366};
// Of those, what the edit mode of the screen page (button 335) keeps locked.
constexpr int kLcdLockedWhileEditing[] = {326, 332, 344, 345, 346, 347, 349, 366};

bool LockedWhileEditing(int id) {
  for (int locked : kLcdLockedWhileEditing)
    if (locked == id) return true;
  return false;
}

}  // namespace

void KeyboardDlg::Run() {
  std::lock_guard pass(m_passLock);
  if (StopRequested()) return;
  if (m_deviceIndex.load() < 0) return;  // no device: nothing runs and the queue is kept
  if (const unsigned int processId = m_updaterProcessId.load(); processId != 0)
    if (!WaitForUpdaterAndReopen(processId)) return;
  if (std::optional<int> code = m_taskList.PopFront()) {
    EnableDialogControls(false);
    m_transferFailed.store(false);
    RunTask(*code);
    ReportTransferFailure();  // once per task, however many of its packets failed
    EnableDialogControls(true);
    return;
  }
  RunIdleJob();
}

// The firmware updater holds the keyboard while it runs. When it has ended, every keyboard
// interface is closed and opened again in one exclusive step, so no other window's transfer
// runs on a handle that goes away.
bool KeyboardDlg::WaitForUpdaterAndReopen(unsigned int processId) {
  const platform::ProcessWaitResult waited = platform::WaitForProcessExit(
      static_cast<int>(processId), [this] { return StopRequested(); }, kUpdaterWaitSliceMs);
  if (waited == platform::ProcessWaitResult::kStopped) return false;
  if (HidDeviceManager* manager = DeviceManager())
    manager->Reopen();
  else
    KeyboardLog("firmware updater ended, but there is no device manager to reopen the keyboards");
  EnableDialogControls(true);
  PostMessage(GetSafeHwnd(), kMsgShowMainWindow, 0, 0);
  m_updaterProcessId.store(0);
  return true;
}

void KeyboardDlg::RunTask(int code) {
  switch (code) {
    case TaskReloadAll:
      FillProfileLists();
      if (m_hasMacro) LoadMacroList();
      LoadLcdSlots();
      break;
    case TaskInitMusic:
      InitMusicPage();
      break;
    case TaskSyncPages:
      SyncPages(m_profile);
      break;
    case TaskSendKeyMap:
      SendKeyMapLayers();
      break;
    case TaskSendLightMode:
      SendLightMode(m_profile);
      break;
    case TaskSendCustomModeColors:
      SendCustomModeColors(m_profile);
      break;
    case TaskSendSystemSettings:
      SendSystemSettings(m_profile);
      break;
    case TaskSaveLcdGif:
      m_lcdBusy.store(1);
      SaveLcdGif();
      EndWaitDialog(false);
      m_lcdBusy.store(0);
      break;
    case TaskSendLcdAnimation:
      m_lcdBusy.store(1);
      DownloadLcdAnimation();
      EndWaitDialog(true);
      EndWaitDialog(false);
      m_lcdBusy.store(0);
      break;
    case TaskImportLcdGif:
      m_lcdBusy.store(1);
      ImportLcdGif();
      EndWaitDialog(false);
      m_lcdBusy.store(0);
      break;
    case TaskSetClockAndLcdSlot:
      SendClockAndLcdSlot();
      break;
    default:  // TaskControlsOnly and every unknown code: the bracket alone
      break;
  }
}

// Ends a published wait window through the thread-safe end of its loop. The pointer is copied
// under the lock, so the window lives while it is ended; an end that comes before its loop runs
// ends the loop at once.
void KeyboardDlg::EndWaitDialog(bool second) {
  std::shared_ptr<MDialog> dialog;
  {
    std::lock_guard guard(m_waitDlgLock);
    dialog = second ? m_waitDlg2 : m_waitDlg;
  }
  if (dialog) dialog->DoOK();
}

void KeyboardDlg::NoteTransferFailed(const char* what) {
  KeyboardLog("%s: the keyboard did not receive every packet", what);
  m_transferFailed.store(true);
}

void KeyboardDlg::ReportTransferFailure() {
  if (!m_transferFailed.exchange(false) || StopRequested()) return;
  HidDeviceManager* manager = DeviceManager();
  const int index = m_deviceIndex.load();
  if (!manager || !manager->IsConnected(index)) {
    KeyboardLog("the keyboard at index %d has gone away; no prompt", index);
    return;
  }
  // Nothing stored is undone: the store keeps what the user set, so trying again sends it again.
  PostMessage(GetSafeHwnd(), kMsgTransferFailed, 0, 0);
}

void KeyboardDlg::ShowTransferFailedPrompt() {
  std::wstring text;
  GetLangText(&text, kTextTransferFailed, L"KB.DIALOG");
  m_transferPrompts.fetch_add(1);
  ShowMessageBox(GetSafeHwnd(), text, m_deviceName, CUIMessageBox::ButtonsOk);
}

void KeyboardDlg::TellNotSaved(const char* what) {
  KeyboardLog("%s: the store refused the change; nothing of it was stored", what);
  std::wstring text;
  GetLangText(&text, kTextNotSaved, L"KB.DIALOG");
  ShowMessageBox(GetSafeHwnd(), text, m_deviceName, CUIMessageBox::ButtonsOk);
}

void KeyboardDlg::RunIdleJob() {
  switch (m_curTab.load()) {
    case TabLighting:
      ReadDeviceLedColors();
      break;
    case TabCustomLight:
      UpdateCustomLightEffect();
      SendCustomLightPreview();
      break;
    case TabMusic:
      UpdateMusicKeyLevels();
      break;
    default:
      break;
  }
}

void KeyboardDlg::SyncPages(int profile) {
  RefreshKeyAssign(m_keyProfileId);
  m_configDB.InitProfileLightData(profile);
  const int selected = m_configDB.GetSelectedLightMode(profile);
  if (auto* modes = GetControlAs<QelListBox>(kb_ids::kLightModeList)) modes->SetCurData(selected);
  int expected = selected;
  m_curLightMode.compare_exchange_strong(expected, -1);
  if (m_hasCustomLightMode) LoadCustomLightModeList(profile);
  LoadLightMode(profile);
  if (m_hasCustomLight) LoadCustomLightList(profile);
  if (m_hasMusic) LoadMusicModeList();
  LoadSystemSettings(profile);
  LoadLcdPalette();  // the settings rows with the default colours exist by now
}

void KeyboardDlg::EnableDialogControls(bool on) {
  for (int id : {kb_ids::kLightPageButton1, kb_ids::kLightPageButton2, kb_ids::kClose, kb_ids::kHome})
    if (MControl* control = GetControl(id)) control->SetEnabledEx(on);
  if (MControl* tabs = GetControl(kb_ids::kTabs)) tabs->SetEnabled(on);
  for (int id = kb_ids::kPageKeyAssign; id <= kb_ids::kPageCustomLightMode; ++id)
    if (MControl* page = GetControl(id)) page->SetEnabledEx(on);
  if (MControl* screen = GetControl(kb_ids::kPageScreen)) screen->SetEnabled(on);
  // On the screen page the editing tools follow the slot selection, not the argument.
  if (m_curTab.load() == TabScreen) EnableLcdEditControls(SelectedScreenSlot() >= 1);
}

int KeyboardDlg::SelectedScreenSlot() const {
  auto* slots = GetControlAs<QelListBox>(kb_ids::kScreenSlotList);
  return slots ? slots->GetCurSel() : -1;
}

void KeyboardDlg::EnableLcdEditControls(bool on) {
  const bool editing = m_lcdEditMode.load();
  for (int id : kLcdEditControls)
    if (MControl* control = GetControl(id)) control->SetEnabled(on && !(editing && LockedWhileEditing(id)));
}
