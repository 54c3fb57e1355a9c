// The macro memory download of the keyboard window: every stored macro is gathered here, the
// image is built and sent by the device layer.
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "zuvi/list_box.h"

namespace {

// Clears the flag however the download ends.
class BusyFlag {
 public:
  explicit BusyFlag(std::atomic<std::uint8_t>& flag) : flag_(flag) { flag_.store(1); }
  ~BusyFlag() { flag_.store(0); }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

 private:
  std::atomic<std::uint8_t>& flag_;
};

// The records of every macro of the store, in the store's order; positions past the directory
// are counted but not read. Nullopt when a read failed: part of the macros would overwrite the
// keyboard's whole macro memory.
std::optional<MacroImageInput> GatherMacros(ConfigDB& store) {
  MacroImageInput input;
  std::vector<MacroDataRow*> macros;
  if (store.GetAllMacros(macros) < 0) return std::nullopt;
  input.macros.resize(macros.size());
  for (size_t i = 0; i < macros.size() && i < static_cast<size_t>(kMacroDirectoryEntries); ++i) {
    std::vector<MacroRecordRow*> records;
    const bool read = store.GetMacroRecords(macros[i]->macro_id, records) >= 0;
    for (const MacroRecordRow* record : records) input.macros[i].push_back(*record);
    FreeRows(records);
    if (!read) {
      FreeRows(macros);
      return std::nullopt;
    }
  }
  input.storedRecords = store.CountMacroRecords();
  input.listedMacros = static_cast<int>(macros.size());
  FreeRows(macros);
  return input;
}

}  // namespace

MacroDownloadResult KeyboardDlg::DownloadMacros(std::chrono::milliseconds lockWait) {
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("macros: no device manager; nothing sent");
    return {MacroDownloadStatus::kNoKeyboard, 0};
  }
  BusyFlag busy(m_keyMapBusy);
  std::optional<MacroImageInput> gathered = GatherMacros(m_configDB);
  if (!gathered) {
    KeyboardLog("macros: the store could not be read; nothing sent");
    return {MacroDownloadStatus::kFailed, 0};
  }
  MacroImageInput& input = *gathered;
  // The estimate counts the macros the macro page lists when it is there.
  if (auto* list = GetControlAs<QelListBox>(kb_ids::kMacroList)) input.listedMacros = list->GetItemCount();
  const MacroDownloadResult result = ::DownloadMacros(*link, input, lockWait);
  switch (result.status) {
    case MacroDownloadStatus::kSent:
      if (result.leftOut > 0)
        KeyboardLog("macros: the keyboard holds 100 macros; %d later ones were left out", result.leftOut);
      break;
    case MacroDownloadStatus::kDoesNotFit:
      KeyboardLog("macros: the macros do not fit the keyboard's memory; nothing sent");
      break;
    case MacroDownloadStatus::kNoKeyboard:
      KeyboardLog("macros: no keyboard at index %d; nothing sent", link->deviceIndex);
      break;
    case MacroDownloadStatus::kBusy:
      KeyboardLog("macros: the keyboard stayed busy; nothing sent");
      break;
    case MacroDownloadStatus::kFailed:
      NoteTransferFailed("macros");
      ReportTransferFailure();
      break;
  }
  return result;
}
