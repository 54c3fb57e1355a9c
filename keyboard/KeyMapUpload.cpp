// The key map upload of the keyboard window (task 4): the stored assignments of both Fn layers
// are gathered here; the table is built and sent by the device layer.
#include <vector>

#include "device/KeyMap.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"

namespace {

// Sets the window's key map flag for one layer and clears it however the layer ends.
class KeyMapBusy {
 public:
  explicit KeyMapBusy(std::atomic<std::uint8_t>& flag) : flag_(flag) { flag_.store(1); }
  ~KeyMapBusy() { flag_.store(0); }
  KeyMapBusy(const KeyMapBusy&) = delete;
  KeyMapBusy& operator=(const KeyMapBusy&) = delete;

 private:
  std::atomic<std::uint8_t>& flag_;
};

// The ids of every stored macro in the store's order; nullopt when the store cannot be read.
std::optional<std::vector<int>> StoredMacroIds(ConfigDB& store) {
  std::vector<MacroDataRow*> macros;
  if (store.GetAllMacros(macros) < 0) return std::nullopt;
  std::vector<int> ids;
  ids.reserve(macros.size());
  for (const MacroDataRow* macro : macros) ids.push_back(macro->macro_id);
  FreeRows(macros);
  return ids;
}

// The assignments of one layer; nullopt when the store cannot be read.
std::optional<std::vector<KeyMapRow>> StoredLayerRows(ConfigDB& store, int profile, int layer) {
  std::vector<KeyDataRow*> stored;
  if (store.GetLayerKeyData(profile, layer, stored) < 0) return std::nullopt;
  std::vector<KeyMapRow> rows;
  rows.reserve(stored.size());
  for (const KeyDataRow* row : stored)
    rows.push_back({row->keyvalue, row->macrotype, row->macrovalue, row->macro2value, row->macro3value});
  FreeRows(stored);
  return rows;
}

}  // namespace

// The profile is read once: a profile chosen while layer 0 is on its way is sent by the task that
// choice queues, and this task's layer 1 still belongs to its layer 0.
void KeyboardDlg::SendKeyMapLayers() {
  const int profile = m_keyProfileId.load();
  const std::optional<std::vector<int>> macroIds = StoredMacroIds(m_configDB);
  if (!macroIds) {
    // Without them every macro key would go out as no function.
    KeyboardLog("key map: the macros could not be read; nothing sent");
    return;
  }
  UploadKeyMap(profile, *macroIds);
  UploadKeyMapFn(profile, *macroIds);
}

void KeyboardDlg::UploadKeyMap(int profile, std::span<const int> macroIds) {
  UploadKeyMapLayer(0, profile, macroIds);
}

void KeyboardDlg::UploadKeyMapFn(int profile, std::span<const int> macroIds) {
  UploadKeyMapLayer(1, profile, macroIds);
}

void KeyboardDlg::UploadKeyMapLayer(int layer, int profile, std::span<const int> macroIds) {
  KeyMapBusy busy(m_keyMapBusy);
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("key map layer %d: no device manager; nothing sent", layer);
    return;
  }
  const std::optional<std::vector<KeyMapRow>> rows = StoredLayerRows(m_configDB, profile, layer);
  if (!rows) {
    // An empty table would clear every assignment the keyboard holds.
    KeyboardLog("key map layer %d: the assignments of profile %d could not be read; nothing sent", layer,
                profile);
    return;
  }
  const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
  const KeyMapTable table = BuildKeyMapTable(layer, *rows, macroIds, maps.get());
  if (!SendKeyMapTransaction(*link, layer, table))
    NoteTransferFailed(layer == 0 ? "key map" : "Fn-layer key map");
}
