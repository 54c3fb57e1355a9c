#include "device/KeyMap.h"

#include <algorithm>

#include "device/KeyCodes.h"
#include "device/TransferSteps.h"
#include "platform/hid/debug_log.h"

using platform::hid::HidDebugLog;

namespace {

// e0 of each kind of entry.
constexpr uint8_t kEntryMouse = 0x01;
constexpr uint8_t kEntryKey = 0x02;
constexpr uint8_t kEntryConsumer = 0x03;
constexpr uint8_t kEntryAction = 0x05;
constexpr uint8_t kEntryMacro = 0x06;
constexpr uint8_t kEntrySequence = 0x07;
// e1 of an action entry: the key is disabled, or it asks the program to run a software action.
constexpr uint8_t kActionDisabled = 0x03;
constexpr uint8_t kActionSoftware = 0x02;

// Type-2 values the keyboard handles itself rather than as a usage.
constexpr int kOwnUsageFirst = 0xF1;  // 241-243: sent with the key's own usage
constexpr int kOwnUsageLast = 0xF3;
constexpr int kStandaloneUsage = 0xD3;
constexpr int kFirstModifierUsage = 0xE0;
constexpr int kLastModifierUsage = 0xE7;

constexpr int kFirstActionId = 1;
constexpr int kLastActionId = 255;  // the entry carries one byte of it

constexpr int kFirstSpecialCode = 500;

// Data bytes e1, e2 of the numbered functions (index = function number - 1).
struct Pair {
  uint8_t e1;
  uint8_t e2;
};
constexpr Pair kMouse[] = {{0x01, 0x01}, {0x01, 0x04}, {0x01, 0x02}, {0x01, 0x03},
                           {0x03, 0x01}, {0x03, 0xFF}, {0x01, 0x08}, {0x01, 0x10}};
// Consumer-page usages (low byte) of the media functions.
constexpr uint8_t kMedia[] = {0xCD, 0xB7, 0xB6, 0xB5, 0xE9, 0xEA, 0xE2};
// Modifier mask and usage: Win+D, Win+E, Win+L, Ctrl+W, Alt+Tab, Ctrl+C, Ctrl+V, Ctrl+X, (none),
// Shift alone, Ctrl alone.
constexpr Pair kShortcuts[] = {{0x08, 0x07}, {0x08, 0x08}, {0x08, 0x0F}, {0x01, 0x1A},
                               {0x04, 0x2B}, {0x01, 0x06}, {0x01, 0x19}, {0x01, 0x1B},
                               {0x00, 0x00}, {0x02, 0x00}, {0x01, 0x00}};
// Device code and flag of the special functions from code 500 on.
constexpr Pair kSpecial[] = {{0x94, 1}, {0x92, 1}, {0x8A, 1}, {0x83, 1}, {0xCD, 0}, {0xB7, 0},
                             {0xB6, 0}, {0xB5, 0}, {0xE9, 0}, {0xEA, 0}, {0xE2, 0}, {0x23, 2},
                             {0x27, 2}, {0x26, 2}, {0x24, 2}, {0x25, 2}, {0x2A, 2}, {0x21, 2}};

uint8_t LowByte(int value) { return static_cast<uint8_t>(value & 0xFF); }

// The element of `table` for function number `number` (1-based), or `none`.
template <typename T, size_t N>
T Numbered(const T (&table)[N], int number, T none) {
  return number >= 1 && static_cast<size_t>(number) <= N ? table[number - 1] : none;
}

bool IsModifierUsage(int usage) { return usage >= kFirstModifierUsage && usage <= kLastModifierUsage; }

std::array<uint8_t, 4> KeyEntry(const KeyMapRow& row) {
  const int usage = row.macrovalue;
  if (usage >= kOwnUsageFirst && usage <= kOwnUsageLast)
    return {kEntryKey, 0, LowByte(row.keyvalue), LowByte(usage)};
  if (usage == kStandaloneUsage) return {kEntryKey, 0, LowByte(kStandaloneUsage), 0};
  // A modifier as the main key joins the other modifiers: Ctrl with left Windows is Ctrl+Win, not
  // Ctrl with usage 8 (E).
  if (IsModifierUsage(usage))
    return {kEntryKey, LowByte(ModifierUsageToMask(row.macro2value) | ModifierUsageToMask(usage)), 0, 0};
  return {kEntryKey, LowByte(ModifierUsageToMask(row.macro2value)), LowByte(usage), 0};
}

std::array<uint8_t, 4> MacroEntry(const KeyMapRow& row, std::span<const int> macroIds) {
  const auto found = std::find(macroIds.begin(), macroIds.end(), row.macrovalue);
  if (found == macroIds.end()) return {};
  const auto position = found - macroIds.begin();
  if (position >= kKeyMapMacroSlots) return {};  // the download left it out of the keyboard
  return {kEntryMacro, static_cast<uint8_t>(position), LowByte(row.macro2value), LowByte(row.macro3value)};
}

}  // namespace

void MapSpecialFunctionCode(int code, uint32_t* deviceCode, uint32_t* flag) {
  const Pair none{0, 0};
  const Pair mapped =
      code >= kFirstSpecialCode ? Numbered(kSpecial, code - kFirstSpecialCode + 1, none) : none;
  if (deviceCode) *deviceCode = mapped.e1;
  if (flag) *flag = mapped.e2;
}

std::array<uint8_t, 4> KeyMapEntry(const KeyMapRow& row, std::span<const int> macroIds) {
  switch (row.macrotype) {
    case KeyFuncDisabled:
      return {kEntryAction, kActionDisabled, 0, 0};
    case KeyFuncKey:
      return KeyEntry(row);
    case KeyFuncMacro:
      return MacroEntry(row, macroIds);
    case KeyFuncMouse: {
      const Pair p = Numbered(kMouse, row.macrovalue, Pair{0, 0});
      return {kEntryMouse, p.e1, p.e2, 0};
    }
    case KeyFuncMedia:
      return {kEntryConsumer, Numbered(kMedia, row.macrovalue, uint8_t{0}), 0, 0};
    case KeyFuncShortcut: {
      const Pair p = Numbered(kShortcuts, row.macrovalue, Pair{0, 0});
      return {kEntryKey, p.e1, p.e2, 0};
    }
    case KeyFuncProgram:
    case KeyFuncWebAddress:
    case KeyFuncText:
    case KeyFuncProfileSwitch:
      // A larger id would go out as its low byte and name another action.
      if (row.macrovalue < kFirstActionId || row.macrovalue > kLastActionId) return {};
      return {kEntryAction, kActionSoftware, LowByte(row.macrovalue), 0};
    case KeyFuncSpecial: {
      uint32_t deviceCode = 0;
      uint32_t flag = 0;
      MapSpecialFunctionCode(row.macrovalue, &deviceCode, &flag);
      return {kEntryConsumer, static_cast<uint8_t>(deviceCode), static_cast<uint8_t>(flag), 0};
    }
    case KeyFuncKeySequence:
      return {kEntrySequence, LowByte(row.macrovalue), LowByte(row.macro2value), LowByte(row.macro3value)};
    default:  // KeyFuncNone, 4, and types no keyboard knows
      return {};
  }
}

int KeyMapIndex(int usage, const KeyLayoutMaps* maps) {
  if (maps && !maps->keyIndex.empty()) {
    const auto found = maps->keyIndex.find(usage);
    if (found != maps->keyIndex.end() && found->second != 0) return found->second;
  }
  return HidUsageToKeyIndexCompact(usage);
}

KeyMapTable BuildKeyMapTable(int layer, std::span<const KeyMapRow> rows, std::span<const int> macroIds,
                             const KeyLayoutMaps* maps) {
  KeyMapTable table{};
  for (const KeyMapRow& row : rows) {
    if (row.macrotype == KeyFuncNone) continue;
    const int index = KeyMapIndex(row.keyvalue, maps);
    if (index < 1 || index >= kKeyMapEntries) continue;  // entry 0 is no key; nothing past the end
    if (layer == 1 && maps && maps->fnLayerDisabled.contains(row.keyvalue)) continue;
    const std::array<uint8_t, 4> entry = KeyMapEntry(row, macroIds);
    std::copy(entry.begin(), entry.end(), table.begin() + static_cast<std::ptrdiff_t>(index) * 4);
  }
  PutTrailer(table, kKeyMapTrailerOffset);
  return table;
}

bool SendKeyMapTransaction(const DeviceLink& link, int layer, const KeyMapTable& table) {
  if (layer != 0 && layer != 1) {
    HidDebugLog("key map: there is no Fn layer %d; nothing sent", layer);
    return false;
  }
  Transaction transaction(link, layer == 0 ? "key map" : "Fn-layer key map", link.packetDelayMs);
  if (!transaction.open()) return false;
  transaction.Send(MakeCommandPacket(CMD_BEGIN));
  // Byte 8 counts the packets after the first, as the keyboard's firmware reads it: 9 for ten.
  transaction.Send(
      MakeCommandPacket(layer == 0 ? CMD_KEYMAP : CMD_KEYMAP_FN, 0, kKeyMapSentBytes / kPacketSize - 1));
  transaction.SendBlock(std::span<const uint8_t>(table.data(), kKeyMapSentBytes));
  transaction.Send(MakeCommandPacket(CMD_END));
  transaction.Send(MakeCommandPacket(CMD_SAVE));
  return transaction.ok();
}
