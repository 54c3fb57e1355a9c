// The keyboard's key map: what each key does in one Fn layer, as the 195-entry table the keyboard
// stores, and the transaction that sends one layer of it.
//
// An entry is 4 bytes (e0..e3). e0 names the kind of function (01 mouse, 02 key or shortcut,
// 03 consumer control, 05 disabled or a program action, 06 macro, 07 key sequence); the rest is
// its data. A key whose entry is zero keeps its default function. Every number enters its byte as
// its low byte, and values no table lists give zero bytes, so any stored row (stale, imported or
// damaged) encodes to something the keyboard accepts.
//
// Pure functions of plain inputs; the transaction works on a DeviceLink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/DeviceLink.h"
#include "device/DeviceModel.h"

// The function type of a key assignment (`macrotype` of a stored row). 4 is not used.
enum KeyFunctionType {
  KeyFuncNone = 0,            // the key's default function
  KeyFuncDisabled = 1,        // the key does nothing
  KeyFuncKey = 2,             // macrovalue: HID usage; macro2value: modifier mask
  KeyFuncMacro = 3,           // macrovalue: macro id; macro2value: play mode; macro3value: repeats
  KeyFuncMouse = 5,           // macrovalue: mouse function 1-8
  KeyFuncMedia = 6,           // macrovalue: media function 1-7
  KeyFuncShortcut = 7,        // macrovalue: shortcut 1-11
  KeyFuncProgram = 8,         // macrovalue: id of the software action (1-255)
  KeyFuncWebAddress = 9,      // the same
  KeyFuncText = 10,           // the same
  KeyFuncProfileSwitch = 11,  // the same
  KeyFuncSpecial = 12,        // macrovalue: special function code 500-517
  KeyFuncKeySequence = 13,    // up to three HID usages
};

// Device code and flag of special function `code` (500-517): the consumer-page usage
// flag * 256 + device code. Any other code sets both to 0. Null pointers are left alone.
void MapSpecialFunctionCode(int code, uint32_t* deviceCode, uint32_t* flag);

// The fields of a stored key assignment that the key map needs.
struct KeyMapRow {
  int keyvalue = 0;  // HID usage of the physical key
  int macrotype = 0;
  int macrovalue = 0;
  int macro2value = 0;
  int macro3value = 0;
};

inline constexpr int kKeyMapEntries = 195;  // key indexes 0-194; 0 is no key
inline constexpr size_t kKeyMapBytes = 780;
inline constexpr size_t kKeyMapSentBytes = 640;      // ten packets; the rest of the table stays home
inline constexpr size_t kKeyMapTrailerOffset = 574;  // the end of the ninth 64-byte block
static_assert(kKeyMapBytes == kKeyMapEntries * 4, "a key map entry is 4 bytes");
static_assert(kKeyMapSentBytes % 64 == 0 && kKeyMapTrailerOffset + 2 <= kKeyMapSentBytes,
              "the trailer lies inside the packets sent");

using KeyMapTable = std::array<uint8_t, kKeyMapBytes>;

// The keyboard holds this many macros; a macro further down the store's list has no place there.
inline constexpr int kKeyMapMacroSlots = 100;

// The entry of `row`. `macroIds` are the ids of every stored macro in the store's order; a macro
// key names the macro by its position there. Gives zeros for types 0, 4 and unknown ones, for a
// program action id outside 1-255 and for a macro that is missing or at position 100 or later.
std::array<uint8_t, 4> KeyMapEntry(const KeyMapRow& row, std::span<const int> macroIds);

// The table position of key `usage`: the layout's index when its map is not empty and gives the
// usage a non-zero index, else the built-in index of the keyboard without keypad. `maps` may be
// null (no layout). A result outside 1-194 means the key has no entry.
int KeyMapIndex(int usage, const KeyLayoutMaps* maps);

// The table of Fn layer `layer` (0 or 1) from that layer's rows. Rows of type 0 and rows whose key
// has no entry are skipped; in layer 1 so are keys the layout bars from the Fn layer. A later row
// of the same index wins. REPORT_TRAILER goes to bytes 574-575, over whatever entry 143 held.
KeyMapTable BuildKeyMapTable(int layer, std::span<const KeyMapRow> rows, std::span<const int> macroIds,
                             const KeyLayoutMaps* maps);

// Sends one layer under the keyboard's transfer lock: CMD_BEGIN, CMD_KEYMAP (layer 0) or
// CMD_KEYMAP_FN (layer 1) with byte 8 = 9, table bytes 0-639 as a block of ten packets, CMD_END
// and CMD_SAVE; each command with read-back, everything paced by link.packetDelayMs. A packet
// that fails does not stop the ones after it. True when every packet was accepted; false when any
// was not, when the keyboard is not open, or for a layer other than 0 and 1 (then nothing is
// sent). Failures are logged.
bool SendKeyMapTransaction(const DeviceLink& link, int layer, const KeyMapTable& table);
