// Lighting to and from the keyboard: the light-mode and custom-mode settings records, the per-key
// custom colour block, the live colour frame and the LED colour read-back, each for per-key RGB
// keyboards and for single-colour keyboards.
//
// Layouts (unlisted bytes 0):
//   light-mode record      0 mode, 1-3 red green blue, 8 colour type, 9 brightness, 10 speed,
//                          11 direction, 14-15 AA 55 (the keyboard reads only these 16 bytes)
//   custom settings record 0 0x80, 1-3 colour, 8 colour type, 9 5, 10 5, 11 direction, 14-15 AA 55
//   custom colour block    RGB: 576 bytes, entry at 4 x LED: LED, red, green, blue; AA 55 at 574
//                          (over the last two bytes of LED 143). Single colour: 192 bytes, byte at
//                          the LED: 253 (index from the layout) or 255 (from the key table) when
//                          lit; AA 55 at 190.
//   live colour block      positional by key item: RGB 128 entries of LED, red, green, blue;
//                          single colour 192 bytes of LED index or level. No trailer.
//   music colour block     RGB: 512 bytes of up to 128 appended records LED, red, green, blue;
//                          single colour: 192 bytes, 253 at the LED of every lit key. No trailer.
//   colour replies         576 bytes; RGB: LED i at 4i+1..4i+3; single colour: level at byte i.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "device/DeviceLink.h"
#include "device/DevicePacket.h"
#include "storage/config_rows.h"

// Key code (HID usage) -> LED index, as the keyboard layout gives them.
using LedIndexMap = std::map<int, int>;

// The light mode whose row holds the custom mode's settings.
inline constexpr int LIGHT_MODE_CUSTOM = 20;

inline constexpr size_t kRgbColorBlockSize = 576;
inline constexpr size_t kSingleColorBlockSize = 192;
inline constexpr size_t kRgbLiveBlockSize = 512;
inline constexpr size_t kSingleLiveBlockSize = 192;
inline constexpr size_t kLightRecordTrailerOffset = 14;
inline constexpr uint8_t kCustomSettingsMarker = 0x80;
inline constexpr uint8_t kCustomSettingsFixed = 5;  // bytes 9 and 10 of the settings record
inline constexpr uint8_t kSingleLitFromLayout = 253;
inline constexpr uint8_t kSingleLitFromTable = 255;
// Highest LED index that has an entry before a block's trailer.
inline constexpr int kRgbLastLed = 143;
inline constexpr int kSingleLastLed = 189;
inline constexpr int kLivePacingMs = 5;
inline constexpr int kKeyStateOff = 0;
inline constexpr int kKeyStateScaled = 7;

// What the live preview and the read-back use of a key item of the editor controls.
struct LightKeyItem {
  int keyCode = 0;
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  int state = kKeyStateOff;  // 0 off, 7 scaled by level, anything else the plain colour
  int level = 0;             // 0..255
};

struct LedLookup {
  int index = 0;
  bool fromLayout = false;
};

// The usable LED of `keyCode`: from `layout` whenever it holds any entry (a key missing from it
// has none), else from the built-in key table. Index 0 and indexes past the block (RGB 143,
// single colour 189) mean "no LED".
std::optional<LedLookup> FindLedIndex(int keyCode, const LedIndexMap& layout, bool rgb);

// The light-mode record for `mode` (sent as a byte) from its stored row; without a row every byte
// but the mode and the trailer is 0.
DevicePacket BuildLightModeRecord(uint8_t mode, const LightDataRow* row);
// The custom mode's settings record from the mode-20 row (colour fields 0 without a row).
DevicePacket BuildCustomModeSettingsRecord(const LightDataRow* customRow);
// The per-key colour block of a custom light mode's colour rows (only the low 24 bits of a
// colour are used). Keys without a usable LED are skipped.
std::vector<uint8_t> BuildCustomColorBlock(std::span<const CustomRgbRow> rows, const LedIndexMap& layout,
                                           bool rgb);
// One live preview frame of the editor's key items, in their order; items past the block's
// entries are not sent, and an item without a usable LED keeps its entry all zero.
std::vector<uint8_t> BuildLiveColorBlock(std::span<const LightKeyItem> items, const LedIndexMap& layout,
                                         bool rgb);
// A key of the music page's keyboard picture and the colour it shows, 0x00BBGGRR.
struct MusicKeyColor {
  int keyCode = 0;
  uint32_t color = 0;
};

// One frame of the music lighting, from the keys in their order. RGB: one record per key with a
// usable LED, appended, 128 at most; single colour: 253 at the LED of every key whose colour is not
// 0. Keys without a usable LED take nothing.
std::vector<uint8_t> BuildMusicColorBlock(std::span<const MusicKeyColor> keys, const LedIndexMap& layout,
                                          bool rgb);
// Colours (0x00BBGGRR) read back for `keyCodes` from the 576-byte reply area, one per key code:
// nullopt for keys the layout gives no usable LED (they keep their colour) and for every key when
// the layout is empty. Single colour: grey = level x 255 / 256.
std::vector<std::optional<uint32_t>> DecodeLedColors(std::span<const uint8_t, kColorReplyBytes> replies,
                                                     std::span<const int> keyCodes, const LedIndexMap& layout,
                                                     bool rgb);

// ---- Transfers. Each holds the keyboard's transfer lock from its first packet to its last. A
// packet that fails does not stop the ones after it; the sending transfers give true only when
// the keyboard accepted every packet (after the manager's attempts).

// CMD_BEGIN, CMD_LIGHT_MODE (1), the light-mode record (no read-back), CMD_END, CMD_SAVE. A mode
// outside 0..255 (none selected is -1) or no keyboard at the index sends nothing and gives false;
// so does a packet that was not accepted.
bool SendLightMode(const DeviceLink& link, int mode, const LightDataRow* row);
// The same transaction with the custom mode's settings record.
bool SendCustomModeSettings(const DeviceLink& link, const LightDataRow* customRow);
// CMD_BEGIN, CMD_CUSTOM_COLORS (9 or 3), the colour block, CMD_END, CMD_SAVE; then the settings
// transaction, under the same hold of the lock.
bool SendCustomModeColors(const DeviceLink& link, std::span<const CustomRgbRow> rows,
                          const LedIndexMap& layout, bool rgb, const LightDataRow* customRow);
// Queries the keyboard's LED colours and, when the query succeeded, sends CMD_END. Nullopt when
// the query failed (no CMD_END then); else DecodeLedColors of the replies.
std::optional<std::vector<std::optional<uint32_t>>> ReadDeviceLedColors(const DeviceLink& link,
                                                                        std::span<const int> keyCodes,
                                                                        const LedIndexMap& layout, bool rgb);
// One live preview frame at 5 ms pacing: CMD_LIVE_COLORS (8 or 3), the block streamed, CMD_END.
// A refused command or a frame over its time budget ends the frame without CMD_END; false then.
bool SendLiveColorFrame(const DeviceLink& link, std::span<const LightKeyItem> items,
                        const LedIndexMap& layout, bool rgb);
// One music lighting frame, sent as the live preview's frames are.
bool SendMusicColorFrame(const DeviceLink& link, std::span<const MusicKeyColor> keys,
                         const LedIndexMap& layout, bool rgb);
