#include "device/DeviceModel.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <map>
#include <optional>
#include <string>

#include "common/strings.h"
#include "common/xml_document.h"
#include "platform/hid/debug_log.h"

using platform::hid::HidDebugLog;

namespace {

// Reads and parses `path`; kOk when the document is well formed.
DataFileStatus LoadDocument(const std::wstring& path, XmlDocument& doc) {
  if (!XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path)) return DataFileStatus::kUnreadable;
  return doc.ParseDocument() ? DataFileStatus::kOk : DataFileStatus::kMalformed;
}

void LogStatus(const char* what, const std::wstring& path, DataFileStatus status) {
  HidDebugLog("%s %s: %s", what, WideToUtf8(path).c_str(), DataFileStatusName(status));
}

std::wstring Attribute(const XmlDocument& doc, std::wstring_view name) {
  std::wstring value;
  doc.GetAttribute(value, name);  // a missing attribute leaves the value empty
  return value;
}

int DecimalAttribute(const XmlDocument& doc, std::wstring_view name) { return WToI(Attribute(doc, name)); }

// wcstol with base 16, as a 32-bit long would give it: out-of-range values saturate.
int HexAttribute(const XmlDocument& doc, std::wstring_view name) {
  const std::wstring text = Attribute(doc, name);
  long value = std::wcstol(text.c_str(), nullptr, 16);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

int SaturatedSum(int a, int b) {
  return static_cast<int>(std::clamp<int64_t>(int64_t{a} + b, INT_MIN, INT_MAX));
}

LayoutKey ReadKey(const XmlDocument& doc) {
  LayoutKey key;
  key.code = HexAttribute(doc, L"code");
  key.keyIndex = DecimalAttribute(doc, L"key_index");
  key.lightIndex = DecimalAttribute(doc, L"light_index");
  key.fnLayerDisabled = Attribute(doc, L"fnlayer_disable") == L"1";
  key.name = Attribute(doc, L"name");
  key.desc = Attribute(doc, L"desc");
  key.icon = Attribute(doc, L"icon");
  key.left = DecimalAttribute(doc, L"rect_left");
  key.top = DecimalAttribute(doc, L"rect_top");
  key.right = SaturatedSum(key.left, DecimalAttribute(doc, L"rect_width"));
  key.bottom = SaturatedSum(key.top, DecimalAttribute(doc, L"rect_height"));
  return key;
}

std::string KeyWarning(size_t position, const LayoutKey& key, const char* what) {
  return "key " + std::to_string(position) + " (code " + std::to_string(key.code) + ", key index " +
         std::to_string(key.keyIndex) + ", LED index " + std::to_string(key.lightIndex) + "): " + what;
}

// Adds `key` (the position-th key of the file) to the maps.
// The code that an index is mapped for: two codes on one key index or one LED would send one
// key's settings to the other's place.
struct IndexOwners {
  std::map<int, int> keyIndex;  // key index -> code
  std::map<int, int> ledIndex;  // LED index -> code
};

// The owner of `index` in `owners` when it is another code than `code`.
std::optional<int> OtherOwner(const std::map<int, int>& owners, int index, int code) {
  auto it = owners.find(index);
  if (it == owners.end() || it->second == code) return std::nullopt;
  return it->second;
}

void MapKey(const LayoutKey& key, size_t position, int maxLedIndex, KeyboardLayout& layout,
            IndexOwners& owners) {
  KeyLayoutMaps& maps = layout.maps;
  if (key.fnLayerDisabled) maps.fnLayerDisabled.insert(key.code);
  // The packet builders write at these indexes: a key outside their tables is drawn but unmapped.
  if (key.keyIndex < 1 || key.keyIndex > kMaxKeyIndex || key.lightIndex < 1 || key.lightIndex > maxLedIndex) {
    layout.warnings.push_back(KeyWarning(position, key, "index 0 or out of range, not mapped"));
    return;
  }
  // The first key of an index keeps it; the later one is drawn but not mapped.
  if (std::optional<int> other = OtherOwner(owners.keyIndex, key.keyIndex, key.code)) {
    layout.warnings.push_back(
        KeyWarning(position, key,
                   ("key index already taken by code " + std::to_string(*other) + ", not mapped").c_str()));
    return;
  }
  if (std::optional<int> other = OtherOwner(owners.ledIndex, key.lightIndex, key.code)) {
    layout.warnings.push_back(
        KeyWarning(position, key,
                   ("LED index already taken by code " + std::to_string(*other) + ", not mapped").c_str()));
    return;
  }
  // A later key of the same code replaces the earlier one and frees its indexes.
  if (auto old = maps.keyIndex.find(key.code); old != maps.keyIndex.end()) owners.keyIndex.erase(old->second);
  if (auto old = maps.ledIndex.find(key.code); old != maps.ledIndex.end()) owners.ledIndex.erase(old->second);
  maps.keyIndex[key.code] = key.keyIndex;
  maps.ledIndex[key.code] = key.lightIndex;
  owners.keyIndex[key.keyIndex] = key.code;
  owners.ledIndex[key.lightIndex] = key.code;
}

// Whether the key's rectangle lies inside the keyboard window.
bool FitsTheWindow(const LayoutKey& key) {
  return key.left >= 0 && key.top >= 0 && key.right >= key.left && key.bottom >= key.top &&
         key.right <= kLayoutWindowWidth && key.bottom <= kLayoutWindowHeight;
}

// Keeps the first kMaxLayoutWarnings lines and sums up the rest in one.
void CapWarnings(std::vector<std::string>& warnings) {
  if (warnings.size() <= kMaxLayoutWarnings) return;
  const size_t more = warnings.size() - kMaxLayoutWarnings;
  warnings.resize(kMaxLayoutWarnings);
  warnings.push_back("and " + std::to_string(more) + " more");
}

}  // namespace

const char* DataFileStatusName(DataFileStatus status) {
  switch (status) {
    case DataFileStatus::kOk:
      return "ok";
    case DataFileStatus::kUnreadable:
      return "cannot be read";
    case DataFileStatus::kMalformed:
      return "not well-formed XML";
    case DataFileStatus::kNoRoot:
      return "wrong or missing root element";
    case DataFileStatus::kNoModel:
      return "no model element";
  }
  return "unknown";
}

DataFileStatus LoadDeviceCapabilities(const std::wstring& path, DeviceCapabilities& caps) {
  XmlDocument doc;
  DataFileStatus status = LoadDocument(path, doc);
  if (status == DataFileStatus::kOk && !doc.FindElement(L"device.config")) status = DataFileStatus::kNoRoot;
  if (status == DataFileStatus::kOk) {
    caps.hasCustomLight = 1;
    caps.hasLighting = 1;
    caps.hasMusic = 1;
    caps.hasCustomLightMode = 1;
    caps.canUpdateFirmware = 0;
    caps.lightOption = 1;
    caps.keyLayoutOption = 1;
    caps.firmwareVersion = L"0100";
    caps.updaterFile = kFirmwareUpdaterFile;
    caps.readColorsEnabled = 1;
    caps.musicOutputEnabled = 1;
    caps.packetDelay = 35;
  } else {
    LogStatus("device list", path, status);
  }
  // A single-colour keyboard has no per-key colours to edit, whatever the file says.
  if (!caps.isRgb) caps.hasCustomLight = 0;
  return status;
}

DataFileStatus ReadKeyboardLayout(const std::wstring& path, bool isRgb, KeyboardLayout& out) {
  XmlDocument doc;
  DataFileStatus status = LoadDocument(path, doc);
  if (status == DataFileStatus::kOk && !(doc.FindElement(L"KeyboardLayout") && doc.EnterElement()))
    status = DataFileStatus::kNoRoot;
  if (status == DataFileStatus::kOk && !doc.FindElement(L"")) status = DataFileStatus::kNoModel;
  if (status != DataFileStatus::kOk) {
    LogStatus("key layout", path, status);
    return status;
  }

  KeyboardLayout layout;
  layout.modelName = doc.GetElementName(doc.GetCurrentElement());
  layout.width = DecimalAttribute(doc, L"width");
  layout.height = DecimalAttribute(doc, L"height");
  layout.type = DecimalAttribute(doc, L"type");
  layout.image = Attribute(doc, L"image");
  if (layout.width < 0 || layout.width > kLayoutWindowWidth || layout.height < 0 ||
      layout.height > kLayoutWindowHeight) {
    layout.warnings.push_back("picture size " + std::to_string(layout.width) + " x " +
                              std::to_string(layout.height) + " does not fit the window; refused");
    layout.width = 0;
    layout.height = 0;
  }

  layout.hasKeyItems = doc.EnterElement() && doc.FindElement(L"KeyItems") && doc.EnterElement();
  if (layout.hasKeyItems) {
    const int maxLedIndex = isRgb ? kMaxLedIndexRgb : kMaxLedIndexSingleColor;
    std::set<int> codes;
    IndexOwners owners;
    size_t position = 0;
    while (doc.FindElement(L"key")) {
      const LayoutKey key = ReadKey(doc);
      ++position;
      if (!FitsTheWindow(key)) {
        layout.warnings.push_back(KeyWarning(position, key, "rectangle outside the window, refused"));
        continue;
      }
      layout.keys.push_back(key);
      if (!codes.insert(key.code).second)
        layout.warnings.push_back(KeyWarning(position, key, "code given twice"));
      MapKey(key, position, maxLedIndex, layout, owners);
    }
  }
  CapWarnings(layout.warnings);
  // A layout without a single key leaves every key view empty: never without a word.
  if (layout.keys.empty())
    layout.warnings.push_back(layout.hasKeyItems ? "no usable key item: the key views stay empty"
                                                 : "no KeyItems: the key views stay empty");
  for (const std::string& warning : layout.warnings)
    HidDebugLog("key layout %s: %s", WideToUtf8(path).c_str(), warning.c_str());
  out = std::move(layout);
  return DataFileStatus::kOk;
}
