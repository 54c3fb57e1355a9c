// The lighting transactions of the keyboard window: light mode, custom mode colours and
// settings, the LED colour read-back of the lighting page and the live preview of the custom
// light effect editor. The inputs are gathered here; the device layer builds and sends.
#include "device/HidDeviceManager.h"
#include "device/LightingPackets.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"

namespace {

std::optional<LightDataRow> StoredLightMode(ConfigDB& store, int profile, int mode) {
  LightDataRow row;
  if (!store.GetLightData(profile, mode, &row)) return std::nullopt;
  return row;
}

// Nullopt when the rows could not be read: sending none would paint every key black.
std::optional<std::vector<CustomRgbRow>> StoredCustomModeColors(ConfigDB& store, int customMode) {
  std::vector<CustomRgbRow*> rows;
  if (store.GetCustomModeRgbList(customMode, rows) < 0) return std::nullopt;
  std::vector<CustomRgbRow> out;
  out.reserve(rows.size());
  for (const CustomRgbRow* row : rows) out.push_back(*row);
  FreeRows(rows);
  return out;
}

const LightDataRow* OrNull(const std::optional<LightDataRow>& row) { return row ? &*row : nullptr; }

}  // namespace

std::optional<DeviceLink> KeyboardDlg::Link() const {
  HidDeviceManager* manager = DeviceManager();
  if (!manager) return std::nullopt;
  return DeviceLink{*manager, PacingClock(), m_deviceIndex.load(), m_packetDelay};
}

void KeyboardDlg::SendLightMode(int profile) {
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("light mode: no device manager; nothing sent");
    return;
  }
  const int mode = m_curLightMode.load();
  if (mode < 0) {
    KeyboardLog("light mode: none selected; nothing sent");
    return;
  }
  const std::optional<LightDataRow> row = StoredLightMode(m_configDB, profile, mode);
  if (!::SendLightMode(*link, mode, OrNull(row))) NoteTransferFailed("light mode");
}

void KeyboardDlg::SendCustomModeSettings(int profile) {
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("custom mode settings: no device manager; nothing sent");
    return;
  }
  const std::optional<LightDataRow> row = StoredLightMode(m_configDB, profile, LIGHT_MODE_CUSTOM);
  if (!::SendCustomModeSettings(*link, OrNull(row))) NoteTransferFailed("custom mode settings");
}

void KeyboardDlg::SendCustomModeColors(int profile) {
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("custom mode colours: no device manager; nothing sent");
    return;
  }
  const std::optional<std::vector<CustomRgbRow>> colors =
      StoredCustomModeColors(m_configDB, m_curCustomLightMode);
  if (!colors) {
    KeyboardLog("custom mode colours: the store could not be read; nothing sent");
    return;
  }
  const std::optional<LightDataRow> settings = StoredLightMode(m_configDB, profile, LIGHT_MODE_CUSTOM);
  const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
  if (!::SendCustomModeColors(*link, *colors, maps->ledIndex, m_isRgb != 0, OrNull(settings)))
    NoteTransferFailed("custom mode colours");
}

void KeyboardDlg::ReadDeviceLedColors() {
  if (!m_readColorsEnabled || m_colorPollSuspended.load()) return;
  const std::optional<DeviceLink> link = Link();
  if (!link) return;
  m_colorPollBusy.store(1);
  KeyboardCtrl* view = GetKeyView(kb_ids::kLightingView);
  std::vector<int> codes;
  if (view)
    for (const KeyItem& item : view->Items()) codes.push_back(item.code);
  const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
  const auto colors = ::ReadDeviceLedColors(*link, codes, maps->ledIndex, m_isRgb != 0);
  if (colors && view) {
    view->SetItemColors(codes, *colors);
    view->Redraw();
  }
  m_colorPollBusy.store(0);
}

void KeyboardDlg::SendCustomLightPreview() {
  CustomLightMode* editor = GetCustomLightView(kb_ids::kCustomLightView);
  if (!editor) return;  // no editor on this keyboard: nothing to preview
  const std::optional<DeviceLink> link = Link();
  if (!link) return;
  // A copy taken under the view's lock: the UI thread may be editing the view meanwhile.
  std::vector<LightKeyItem> items;
  for (const CustomLightItem& key : editor->GetKeyItems()) {
    LightKeyItem item;
    item.keyCode = key.code;
    item.red = static_cast<uint8_t>(key.frame.color & 0xFF);
    item.green = static_cast<uint8_t>((key.frame.color >> 8) & 0xFF);
    item.blue = static_cast<uint8_t>((key.frame.color >> 16) & 0xFF);
    item.state = key.frame.state;
    item.level = key.frame.level;
    items.push_back(item);
  }
  const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
  ::SendLiveColorFrame(*link, items, maps->ledIndex, m_isRgb != 0);  // a dropped frame is not repeated
}
