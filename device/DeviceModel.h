// The keyboard as the two read-only data files beside the program describe it: device.xml decides
// the keyboard window's capability set, KeyboardLayout.xml gives the keyboard picture, its key
// items and the maps from key code to key index, to LED index and to the keys barred from the Fn
// layer. Pure readers: they touch no window and no device, and what they return is the caller's.
// Diagnostics go to the HID debug log.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Feature flags and device parameters of a keyboard window. A default-constructed set holds the
// values a window has before device.xml is read.
struct DeviceCapabilities {
  int hasCustomLight = 1;
  int hasLighting = 1;
  int hasMusic = 1;
  int hasCustomLightMode = 1;
  int isRgb = 1;  // per-key RGB (1) or single colour (0); never read from the file
  int canUpdateFirmware = 0;
  int lightOption = 0;
  int keyLayoutOption = 0;
  std::wstring firmwareVersion;
  std::wstring updaterFile;
  int readColorsEnabled = 1;
  int musicOutputEnabled = 1;
  int packetDelay = 10;  // ms of pacing around each packet of a write transaction

  bool operator==(const DeviceCapabilities&) const = default;
};

// The firmware updater program, a bare file name that the launcher joins with the program folder.
inline constexpr wchar_t kFirmwareUpdaterFile[] = L"kelvane-fwupdate";

enum class DataFileStatus {
  kOk,
  kUnreadable,  // missing, not a regular file, or unreadable
  kMalformed,   // not well-formed XML
  kNoRoot,      // the expected root element is absent (names are case-sensitive)
  kNoModel,     // KeyboardLayout.xml: the root has no child element
};
const char* DataFileStatusName(DataFileStatus status);

// Reads device.xml at `path`. Only its root is looked at: a readable, well-formed file whose root
// is exactly "device.config" sets every parameter to the values of a supported keyboard (35 ms
// pacing, all pages on, firmware update off). Any other file changes nothing. Either way,
// hasCustomLight ends clear when isRgb is clear. Returns what was found.
DataFileStatus LoadDeviceCapabilities(const std::wstring& path, DeviceCapabilities& caps);

// Index ranges a key must meet to enter the index maps: the key-map table has entries 0-194, the
// per-key colour table 144 entries on an RGB keyboard and 190 on a single-colour one; index 0
// means "none".
inline constexpr int kMaxKeyIndex = 194;
inline constexpr int kMaxLedIndexRgb = 143;
inline constexpr int kMaxLedIndexSingleColor = 189;

// One `key` element of the layout, as drawn by the key views.
struct LayoutKey {
  int code = 0;  // HID usage, from hexadecimal text
  int keyIndex = 0;
  int lightIndex = 0;
  bool fnLayerDisabled = false;  // the attribute is exactly "1"
  std::wstring name;             // caption
  std::wstring desc;
  std::wstring icon;
  // Rectangle in picture pixels; right = left + width and bottom = top + height, kept within int.
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool operator==(const LayoutKey&) const = default;
};

// The three maps keyed by key code that the packet builders and pages use. Replaced as a whole
// when the layout is reloaded.
struct KeyLayoutMaps {
  std::map<int, int> keyIndex;    // code -> key index (1..kMaxKeyIndex)
  std::map<int, int> ledIndex;    // code -> LED index (1..the LED limit of the keyboard)
  std::set<int> fnLayerDisabled;  // codes that get no Fn-layer function

  bool operator==(const KeyLayoutMaps&) const = default;
};

struct KeyboardLayout {
  std::wstring modelName;  // name of the model element, e.g. "V108"
  int width = 0;
  int height = 0;
  int type = 0;
  std::wstring image;           // keyboard picture, relative to the skin folder
  bool hasKeyItems = false;     // false: the model has no KeyItems child, so no keys
  std::vector<LayoutKey> keys;  // every key in document order; all of them are drawn
  KeyLayoutMaps maps;
  // One line per key that was drawn but left out of the index maps (an index out of range or
  // taken by an earlier key), whose code came twice, or that was refused for a rectangle outside
  // the window; one for a picture size outside it. At most kMaxLayoutWarnings lines, then one
  // "and N more"; a layout without any key ends with a line that says so.
  std::vector<std::string> warnings;
};

// The keyboard window every key rectangle and the picture size must fit in.
inline constexpr int kLayoutWindowWidth = 1200;
inline constexpr int kLayoutWindowHeight = 720;
inline constexpr size_t kMaxLayoutWarnings = 100;

// Reads KeyboardLayout.xml at `path` (any encoding XmlDocument reads). Root "KeyboardLayout"; the
// model is its first child element (later ones are ignored); KeyItems is found by name among the
// model's children and its `key` children are taken in order. A key enters the index maps when its
// key index is 1..kMaxKeyIndex and its LED index is 1..kMaxLedIndexRgb (`isRgb`) or
// 1..kMaxLedIndexSingleColor and no earlier key of another code holds either index (the first
// wins); a later key with the same code replaces an earlier one there. A key whose rectangle
// leaves the 1200 x 720 window is refused (neither drawn nor mapped); a picture size outside it
// reads as 0 x 0. The Fn
// set takes every key marked "1". Numbers read as _wtoi does, `code` as hexadecimal (wcstol base
// 16, saturated to int); a missing attribute reads as "".
// Returns kOk with `out` replaced as soon as the model element is found (also without KeyItems);
// any other status leaves `out` as it was.
DataFileStatus ReadKeyboardLayout(const std::wstring& path, bool isRgb, KeyboardLayout& out);
