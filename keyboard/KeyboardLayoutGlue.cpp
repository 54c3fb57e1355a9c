// The keyboard window's side of the two data files: the capability set from device.xml, and the
// key layout from KeyboardLayout.xml given to the key views and published as the index maps.
#include "common/folders.h"
#include "common/strings.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"

namespace {

std::wstring DataFile(const wchar_t* name) { return GetAppDir() + name; }

// Reads the program's KeyboardLayout.xml; a file that gives no model is logged with `outcome`.
bool ReadLayoutFile(bool isRgb, KeyboardLayout& layout, const char* outcome) {
  const std::wstring path = DataFile(L"KeyboardLayout.xml");
  const DataFileStatus status = ReadKeyboardLayout(path, isRgb, layout);
  if (status != DataFileStatus::kOk) {
    KeyboardLog("%s: %s; %s", WideToUtf8(path).c_str(), DataFileStatusName(status), outcome);
    return false;
  }
  for (const std::string& warning : layout.warnings)
    KeyboardLog("%s: %s", WideToUtf8(path).c_str(), warning.c_str());
  return true;
}

}  // namespace

void KeyboardDlg::LoadDeviceConfig() {
  DeviceCapabilities caps;
  caps.hasCustomLight = m_hasCustomLight;
  caps.hasLighting = m_hasLighting;
  caps.hasMusic = m_hasMusic;
  caps.hasCustomLightMode = m_hasCustomLightMode;
  caps.isRgb = m_isRgb;
  caps.canUpdateFirmware = m_canUpdateFirmware;
  caps.lightOption = m_lightOption;
  caps.keyLayoutOption = m_keyLayoutOption;
  caps.firmwareVersion = m_firmwareVersion;
  caps.updaterFile = m_updaterFile;
  caps.readColorsEnabled = m_readColorsEnabled;
  caps.musicOutputEnabled = m_musicOutputEnabled;
  caps.packetDelay = m_packetDelay;

  const std::wstring path = DataFile(L"device.xml");
  const DataFileStatus status = LoadDeviceCapabilities(path, caps);
  if (status != DataFileStatus::kOk)
    KeyboardLog("%s: %s; the window keeps its built-in capabilities", WideToUtf8(path).c_str(),
                DataFileStatusName(status));

  m_hasCustomLight = static_cast<std::uint8_t>(caps.hasCustomLight);
  m_hasLighting = static_cast<std::uint8_t>(caps.hasLighting);
  m_hasMusic = static_cast<std::uint8_t>(caps.hasMusic);
  m_hasCustomLightMode = static_cast<std::uint8_t>(caps.hasCustomLightMode);
  m_isRgb = static_cast<std::uint8_t>(caps.isRgb);
  m_canUpdateFirmware = static_cast<std::uint8_t>(caps.canUpdateFirmware);
  m_lightOption = static_cast<std::uint8_t>(caps.lightOption);
  m_keyLayoutOption = static_cast<std::uint8_t>(caps.keyLayoutOption);
  m_firmwareVersion = caps.firmwareVersion;
  m_updaterFile = caps.updaterFile;
  m_readColorsEnabled = static_cast<std::uint8_t>(caps.readColorsEnabled);
  m_musicOutputEnabled = static_cast<std::uint8_t>(caps.musicOutputEnabled);
  m_packetDelay = caps.packetDelay;
}

void KeyboardDlg::LoadKeyboardLayout() {
  // Every view that was built shows the layout; the views of pages that were not built are absent.
  std::vector<KeyboardCtrl*> keyViews;
  for (int id : {kb_ids::kKeyAssignView, kb_ids::kLightingView, kb_ids::kMusicView})
    if (KeyboardCtrl* view = GetKeyView(id)) keyViews.push_back(view);
  std::vector<CustomLightMode*> lightViews;
  for (int id : {kb_ids::kSettingsView, kb_ids::kCustomLightView, kb_ids::kCustomLightModeView})
    if (CustomLightMode* view = GetCustomLightView(id)) lightViews.push_back(view);
  for (KeyboardCtrl* view : keyViews) view->ClearItem();
  for (CustomLightMode* view : lightViews) view->ClearItem();
  {
    std::lock_guard guard(m_layoutLock);
    m_layoutMaps = std::make_shared<const KeyLayoutMaps>();
  }

  KeyboardLayout layout;
  if (!ReadLayoutFile(m_isRgb != 0, layout, "the key views stay empty")) return;
  m_layoutName = layout.modelName;

  for (KeyboardCtrl* view : keyViews) {
    view->SetKeyboardImage(layout.image);
    view->SetWidthAndHeight(layout.width, layout.height);
  }
  for (CustomLightMode* view : lightViews) {
    view->SetKeyboardImage(layout.image);
    view->SetWidthAndHeight(layout.width, layout.height);
  }
  if (CustomLightMode* customLight = GetCustomLightView(kb_ids::kCustomLightView))
    customLight->SetKeyboardType(layout.type);

  for (const LayoutKey& key : layout.keys) {
    const RECT rect{key.left, key.top, key.right, key.bottom};
    for (KeyboardCtrl* view : keyViews) view->AddKeyItem(key.name, key.desc, key.code, rect, key.icon);
    for (CustomLightMode* view : lightViews) view->AddKeyItem(key.name, key.desc, key.code, rect, key.icon);
  }
  {
    std::lock_guard guard(m_layoutLock);
    m_layoutMaps = std::make_shared<const KeyLayoutMaps>(std::move(layout.maps));
  }

  if (CustomLightMode* settings = GetCustomLightView(kb_ids::kSettingsView)) {
    if (m_isRgb)
      settings->LoadColorFulEffect();
    else
      settings->SetColorEffect(0xFFFFFF);
  }
}

void KeyboardDlg::LoadKeyboardLayoutKeys() {
  KeyboardCtrl* view = GetKeyView(kb_ids::kKeyAssignView);
  if (!view) return;
  view->ClearItem();
  KeyboardLayout layout;
  if (!ReadLayoutFile(m_isRgb != 0, layout, "the key view stays empty")) return;
  view->SetWidthAndHeight(layout.width, layout.height);
  for (const LayoutKey& key : layout.keys)
    view->AddKeyItem(key.name, key.desc, key.code, RECT{key.left, key.top, key.right, key.bottom}, key.icon);
}
