// Recording and editing the events of the macro on show: raw input of the desktop recorded with
// its delays or captured into the key field, events inserted by hand, moved, deleted and delays
// edited in place. Edits change the list and m_macroRecords; a save stores what the list shows.
#include "keyboard/KeyboardLog.h"
#include "keyboard/MacroEvents.h"
#include "keyboard/MacroPageControls.h"
#include "keyboard/RawInput.h"

using namespace macro_page;
namespace me = macro_events;

namespace {

CRecordList* Events(const KeyboardDlg& dlg) { return dlg.GetControlAs<CRecordList>(kEvents); }

MacroRecordRow Event(int type, int value, const std::wstring& desc) {
  MacroRecordRow row;
  row.type = type;
  row.value = value;
  row.desc = desc;
  return row;
}

}  // namespace

int KeyboardDlg::OnRawInput(LPARAM rawInput) {
  if (!m_rawInputActive) return 0;
  RawInputEvent event;
  ParseRawInput(rawInput, &event);
  if (event.name.empty()) return 0;
  if (m_recordState == 1) {
    AddRecordedMacroEvent(event);
    return 1;
  }
  if (m_recordState == 2 && event.kind == 2) {
    m_capturedKey = event.code;
    m_capturedKeyName = event.name;
    SetEditText(*this, kKeyEdit, event.name);
    return 1;
  }
  return 0;
}

void KeyboardDlg::AddRecordedMacroEvent(const RawInputEvent& event) {
  if (event.kind != 2) return;  // the mouse is not recorded
  CRecordList* events = Events(*this);
  if (!events) return;
  const auto tick = static_cast<std::uint32_t>(PacingClock().now() / std::chrono::milliseconds(1));
  bool full = false;
  {
    std::lock_guard guard(m_macroLock);
    auto append = [&](MacroRecordRow row) {
      row.record_index = static_cast<int>(m_macroRecords.size());
      const int added = events->AddString(row.desc, static_cast<std::intptr_t>(m_macroRecords.size()));
      events->SetItemEditable(added, row.type == me::kDelay);
      m_macroRecords.push_back(std::move(row));
    };
    if (m_delayMode == 1) {
      if (m_hasLastEventTick) {
        const int delay = me::RecordedDelay(tick, m_lastEventTick);
        append(Event(me::kDelay, delay, std::to_wstring(delay)));
      }
      m_lastEventTick = tick;
      m_hasLastEventTick = true;
    } else if (m_delayMode == 3 && !m_macroRecords.empty()) {
      append(Event(me::kDelay, m_fixedDelay, std::to_wstring(m_fixedDelay)));
    }
    append(Event(event.up ? me::kKeyUp : me::kKeyDown, event.code, event.name));
    full = events->GetItemCount() > m_macroCapacityLeft;
  }
  if (full) {
    StopMacroRecording();
    ShowMessageBox(m_hwndMain, KbText(562), KbText(523), 0);
  }
}

int KeyboardDlg::StartMacroRecording() {
  CRecordList* events = Events(*this);
  QelListBox* list = GetControlAs<QelListBox>(kList);
  if (!events || !list) return 0;
  const int capacity = me::RecordingCapacity(list->GetItemCount(), m_configDB.CountMacroRecords());
  m_macroCapacityLeft = capacity;
  if (capacity < 10) {
    ShowMessageBox(m_hwndMain, KbText(560), KbText(523), 0);
    return 0;
  }
  if (capacity < 20) ShowMessageBox(m_hwndMain, KbText(561), KbText(523), 0);

  ReadDelayChoice(*this);
  ShowCtl(*this, kStart, false);
  ShowCtl(*this, kStop, true);
  EnableMacroEditControls(false);
  {
    std::lock_guard guard(m_macroLock);
    events->ResetContent();
    m_macroRecords.clear();  // the recording replaces the events on show
    m_hasLastEventTick = false;
    m_lastEventTick = 0;
    m_recordState = 1;
    m_rawInputActive = true;
  }
  RegisterRawInput(GetSafeHwnd());
  return 1;
}

int KeyboardDlg::StopMacroRecording() {
  ShowCtl(*this, kStop, false);
  ShowCtl(*this, kStart, true);
  m_rawInputActive = false;
  ApplyMacro();  // the stop button is hidden, so this saves instead of stopping again
  EnableMacroEditControls(true);
  std::lock_guard guard(m_macroLock);
  m_recordState = 0;
  m_lastEventTick = 0;
  m_hasLastEventTick = false;
  return 1;
}

int KeyboardDlg::OnMacroKeyEditNotify(int code) {
  if (code == 30) {  // the field took the focus: capture one key
    SetEditText(*this, kKeyEdit, L"");
    m_capturedKey = 0;
    m_capturedKeyName.clear();
    m_rawInputActive = true;
    RegisterRawInput(GetSafeHwnd());
    m_recordState = 2;
    return 1;
  }
  if (code == 29 && m_recordState == 2) {
    m_rawInputActive = false;
    m_recordState = 0;
    return 1;
  }
  return 0;
}

int KeyboardDlg::OnMacroEventKeyRadio() {
  SetEditText(*this, kKeyEdit, L"");
  m_capturedKeyName.clear();
  ShowCtl(*this, kKeyEdit, true);
  ShowCtl(*this, kDelayEdit, false);
  ShowCtl(*this, kButtonCombo, false);
  return 1;
}

int KeyboardDlg::OnMacroEventMouseRadio() {
  if (auto* combo = GetControlAs<MComboBox>(kButtonCombo)) combo->SetCurSel(0);
  ShowCtl(*this, kButtonCombo, true);
  ShowCtl(*this, kKeyEdit, false);
  ShowCtl(*this, kDelayEdit, false);
  return 1;
}

int KeyboardDlg::OnMacroEventDelayRadio() {
  SetEditText(*this, kDelayEdit, L"");
  ShowCtl(*this, kDelayEdit, true);
  ShowCtl(*this, kKeyEdit, false);
  ShowCtl(*this, kButtonCombo, false);
  return 1;
}

int KeyboardDlg::InsertMacroEvent() {
  CRecordList* events = Events(*this);
  if (!events) return 0;
  std::vector<MacroRecordRow> added;
  if (Checked(*this, kKindKey)) {
    // Only a key the field shows as captured; an emptied field inserts nothing.
    const std::wstring text = EditText(*this, kKeyEdit);
    if (m_capturedKeyName.empty() || text != m_capturedKeyName) return 0;
    added = {Event(me::kKeyDown, m_capturedKey, text), Event(me::kDelay, 10, L"10"),
             Event(me::kKeyUp, m_capturedKey, text)};
  } else if (Checked(*this, kKindMouse)) {
    auto* combo = GetControlAs<MComboBox>(kButtonCombo);
    if (!combo || combo->GetCurSel() < 0) return 0;
    const int button = static_cast<int>(combo->GetCurData());
    const std::wstring text = combo->GetItemText(combo->GetCurSel());
    added = {Event(me::kMouseDown, button, text), Event(me::kMouseUp, button, text)};
  } else if (Checked(*this, kKindDelay)) {
    const std::wstring text = EditText(*this, kDelayEdit);
    if (text.empty()) return 0;
    const int delay = me::ParseDelay(text);
    added = {Event(me::kDelay, delay, std::to_wstring(delay))};
  } else {
    return 0;
  }
  auto* where = GetControlAs<MComboBox>(kInsertWhere);
  const bool after = where && where->GetCurSel() == 1;
  std::lock_guard guard(m_macroLock);
  int position = me::InsertPosition(events->GetItemCount(), events->GetCurSel(), after);
  for (MacroRecordRow& row : added) {
    const auto index = static_cast<std::intptr_t>(m_macroRecords.size());
    row.record_index = static_cast<int>(index);
    events->InsertString(position, row.desc, index);
    events->SetItemEditable(position++, row.type == me::kDelay);  // delays are edited in place
    m_macroRecords.push_back(std::move(row));
  }
  m_macroSaved = 0;
  return 1;
}

namespace {

// The list's rows as the event rules see them; the caller holds the page's lock.
std::vector<me::EventKey> ListedEvents(const CRecordList& events,
                                       const std::vector<MacroRecordRow>& records) {
  std::vector<me::EventKey> keys;
  for (int i = 0; i < events.GetItemCount(); ++i) {
    const auto index = static_cast<size_t>(events.GetItemData(i));
    keys.push_back(index < records.size() ? me::EventKey{records[index].type, records[index].value}
                                          : me::EventKey{});
  }
  return keys;
}

}  // namespace

int KeyboardDlg::MoveMacroEventUp() {
  CRecordList* events = Events(*this);
  if (!events) return 0;
  const int row = events->GetCurSel();
  if (row <= 0) return 0;
  std::lock_guard guard(m_macroLock);
  m_macroSaved = 0;
  if (!me::CanMoveUp(ListedEvents(*events, m_macroRecords), row)) return 1;
  events->SwapItem(row, row - 1);
  return 1;
}

int KeyboardDlg::MoveMacroEventDown() {
  CRecordList* events = Events(*this);
  if (!events) return 0;
  const int row = events->GetCurSel();
  if (row < 0 || row + 1 >= events->GetItemCount()) return 0;
  std::lock_guard guard(m_macroLock);
  m_macroSaved = 0;
  if (!me::CanMoveDown(ListedEvents(*events, m_macroRecords), row)) return 1;
  events->SwapItem(row, row + 1);
  return 1;
}

int KeyboardDlg::DeleteMacroEvent() {
  CRecordList* events = Events(*this);
  if (!events) return 0;
  const int row = events->GetCurSel();
  if (row < 0) return 0;
  std::lock_guard guard(m_macroLock);
  m_macroSaved = 0;
  const me::EventKey removed = ListedEvents(*events, m_macroRecords)[static_cast<size_t>(row)];
  events->DeleteString(row);
  events->SetCurSel(row - 1);
  const int partner = me::FindPartner(ListedEvents(*events, m_macroRecords), removed, row);
  if (partner >= 0) events->DeleteString(partner);
  return 1;
}

int KeyboardDlg::OnRecordListNotify(int code) {
  CRecordList* events = Events(*this);
  if (code != 29 || !events) return 0;
  const int row = events->GetCurSel();
  if (row < 0) return 0;
  std::lock_guard guard(m_macroLock);
  const auto index = static_cast<size_t>(events->GetItemData(row));
  if (index >= m_macroRecords.size()) return 0;
  MacroRecordRow& event = m_macroRecords[index];
  if (event.type != me::kDelay) {  // only delays are edited; a key keeps its code
    events->ModifyItemString(row, event.desc);
    return 0;
  }
  event.value = me::ParseDelay(events->GetItemText(row));
  event.desc = std::to_wstring(event.value);
  events->ModifyItemString(row, event.desc);
  m_macroSaved = 0;
  return 1;
}
