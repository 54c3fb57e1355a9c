// The keyboard's wire protocol: the 64-byte packet, its command bytes and reply status values, and
// the sizes of the reports that carry packets and bulk blocks. Every command byte is named here and
// nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// One protocol packet. On the wire it is a 65-byte feature report: report id 0, then these bytes.
// A command packet is 0x04, the command byte, a parameter at byte 2 and a count at byte 8 (bytes 8
// and 9 little-endian for CMD_LCD_ANIMATION).
struct DevicePacket {
  std::array<uint8_t, 64> bytes{};
};
static_assert(sizeof(DevicePacket) == 64, "a protocol packet is exactly 64 bytes");

inline constexpr size_t kPacketSize = 64;
inline constexpr size_t kFeatureReportSize = kPacketSize + 1;  // report id 0 in front
inline constexpr size_t kBulkBlockSize = 4096;
inline constexpr size_t kBulkReportSize = kBulkBlockSize + 1;  // report id 0 in front
// Offsets inside a command packet.
inline constexpr size_t kPacketMarkerOffset = 0;
inline constexpr size_t kPacketCommandOffset = 1;
inline constexpr size_t kPacketParamOffset = 2;
inline constexpr size_t kPacketCountOffset = 8;
// The status is byte 3 of a reply packet, i.e. byte 4 of the feature report that carries it.
inline constexpr size_t kReplyStatusOffset = 3;
inline constexpr size_t kReplyStatusReportOffset = kReplyStatusOffset + 1;

inline constexpr uint8_t CMD_MARKER = 0x04;  // byte 0 of every command packet

inline constexpr uint8_t CMD_BEGIN = 0x18;
inline constexpr uint8_t CMD_END = 0x02;
inline constexpr uint8_t CMD_SAVE = 0xF0;
inline constexpr uint8_t CMD_KEYMAP = 0x11;
inline constexpr uint8_t CMD_KEYMAP_FN = 0x27;
inline constexpr uint8_t CMD_LIGHT_MODE = 0x13;
inline constexpr uint8_t CMD_CUSTOM_COLORS = 0x23;
inline constexpr uint8_t CMD_LIVE_COLORS = 0x20;
inline constexpr uint8_t CMD_READ_COLORS = 0xF5;
inline constexpr uint8_t CMD_MACRO_BEGIN = 0x19;
inline constexpr uint8_t CMD_MACRO_DATA = 0x15;
inline constexpr uint8_t CMD_SYSTEM_SETTINGS = 0x17;
inline constexpr uint8_t CMD_CLOCK = 0x28;
inline constexpr uint8_t CMD_LCD_ANIMATION = 0x72;

// Every command byte above, for code that must recognise command packets.
inline constexpr std::array<uint8_t, 14> kAllCommands = {
    CMD_BEGIN,       CMD_END,          CMD_SAVE,          CMD_KEYMAP,
    CMD_KEYMAP_FN,   CMD_LIGHT_MODE,   CMD_CUSTOM_COLORS, CMD_LIVE_COLORS,
    CMD_READ_COLORS, CMD_MACRO_BEGIN,  CMD_MACRO_DATA,    CMD_SYSTEM_SETTINGS,
    CMD_CLOCK,       CMD_LCD_ANIMATION};

// Records and data blocks end with these two bytes at the position their layout fixes.
inline constexpr std::array<uint8_t, 2> REPORT_TRAILER = {0xAA, 0x55};

// Reply status values.
inline constexpr uint8_t STATUS_OK = 0x01;
inline constexpr uint8_t STATUS_RETRY = 0xFF;  // not taken: send the packet once more

// The colour query always reads this many 64-byte data replies.
inline constexpr int kColorReplyCount = 9;
inline constexpr size_t kColorReplyBytes = kColorReplyCount * kPacketSize;  // 576

// Input report id of keyboard requests, and the marker of a screen-slot key in byte 1.
inline constexpr uint8_t kRequestReportId = 5;
inline constexpr uint8_t kSlotKeyMarker = 0xA5;

// True when `packet` (at least 2 bytes) is a command packet with a known command byte.
inline constexpr bool IsCommandPacket(const uint8_t* packet) {
  if (packet[kPacketMarkerOffset] != CMD_MARKER) return false;
  for (uint8_t c : kAllCommands)
    if (packet[kPacketCommandOffset] == c) return true;
  return false;
}
