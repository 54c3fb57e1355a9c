#include "device/LightingPackets.h"

#include <algorithm>
#include <array>

#include "device/KeyCodes.h"
#include "device/TransferSteps.h"
#include "platform/hid/debug_log.h"

namespace {

constexpr uint8_t kRgbColorPackets = 9;
constexpr uint8_t kSingleColorPackets = 3;
constexpr uint8_t kRgbLivePackets = 8;
constexpr size_t kRgbEntrySize = 4;
constexpr size_t kRgbLiveEntries = kRgbLiveBlockSize / kRgbEntrySize;  // 128
constexpr size_t kRequestBufferSize = 600;

void PutRecordColors(DevicePacket& p, const LightDataRow& row) {
  p.bytes[1] = row.byte2;
  p.bytes[2] = row.byte3;
  p.bytes[3] = row.byte4;
  p.bytes[8] = row.colortype;
}

uint8_t Channel(int color, int shift) {
  return static_cast<uint8_t>((static_cast<unsigned>(color) >> shift) & 0xFF);
}

// The record transaction both light-mode senders share; the caller holds the lock. Every packet
// goes out whatever the one before gave; true when the keyboard took each of them.
bool SendRecordTransaction(const DeviceLink& link, const DevicePacket& record) {
  bool ok = SendCommand(link, CMD_BEGIN);
  ok = SendCommand(link, CMD_LIGHT_MODE, 0, 1) && ok;
  ok = SendPacket(link, record, link.packetDelayMs, false) && ok;
  ok = SendCommand(link, CMD_END) && ok;
  ok = SendCommand(link, CMD_SAVE) && ok;
  if (!ok) platform::hid::HidDebugLog("keyboard %d: a lighting packet was not accepted", link.deviceIndex);
  return ok;
}

}  // namespace

std::optional<LedLookup> FindLedIndex(int keyCode, const LedIndexMap& layout, bool rgb) {
  LedLookup found;
  if (!layout.empty()) {
    auto it = layout.find(keyCode);
    if (it == layout.end()) return std::nullopt;
    found = {it->second, true};
  } else {
    found = {HidUsageToKeyIndexFull(keyCode), false};
  }
  const int last = rgb ? kRgbLastLed : kSingleLastLed;
  if (found.index < 1 || found.index > last) return std::nullopt;
  return found;
}

DevicePacket BuildLightModeRecord(uint8_t mode, const LightDataRow* row) {
  DevicePacket p;
  p.bytes[0] = mode;
  if (row) {
    PutRecordColors(p, *row);
    p.bytes[9] = row->byte6;
    p.bytes[10] = row->byte7;
    p.bytes[11] = row->byte5;
  }
  PutTrailer(p.bytes, kLightRecordTrailerOffset);
  return p;
}

DevicePacket BuildCustomModeSettingsRecord(const LightDataRow* customRow) {
  DevicePacket p;
  p.bytes[0] = kCustomSettingsMarker;
  if (customRow) {
    PutRecordColors(p, *customRow);
    p.bytes[11] = customRow->byte5;
  }
  p.bytes[9] = kCustomSettingsFixed;
  p.bytes[10] = kCustomSettingsFixed;
  PutTrailer(p.bytes, kLightRecordTrailerOffset);
  return p;
}

std::vector<uint8_t> BuildCustomColorBlock(std::span<const CustomRgbRow> rows, const LedIndexMap& layout,
                                           bool rgb) {
  std::vector<uint8_t> block(rgb ? kRgbColorBlockSize : kSingleColorBlockSize, 0);
  for (const CustomRgbRow& row : rows) {
    std::optional<LedLookup> led = FindLedIndex(row.keycode, layout, rgb);
    if (!led) continue;
    const size_t index = static_cast<size_t>(led->index);
    if (rgb) {
      uint8_t* entry = &block[kRgbEntrySize * index];
      entry[0] = static_cast<uint8_t>(index);
      entry[1] = Channel(row.rgbvalue, 0);
      entry[2] = Channel(row.rgbvalue, 8);
      entry[3] = Channel(row.rgbvalue, 16);
    } else if ((static_cast<unsigned>(row.rgbvalue) & 0xFFFFFFu) != 0) {
      block[index] = led->fromLayout ? kSingleLitFromLayout : kSingleLitFromTable;
    }
  }
  PutTrailer(block, block.size() - REPORT_TRAILER.size());
  return block;
}

std::vector<uint8_t> BuildLiveColorBlock(std::span<const LightKeyItem> items, const LedIndexMap& layout,
                                         bool rgb) {
  std::vector<uint8_t> block(rgb ? kRgbLiveBlockSize : kSingleLiveBlockSize, 0);
  const size_t entries = rgb ? kRgbLiveEntries : kSingleLiveBlockSize;
  const size_t count = std::min(items.size(), entries);
  for (size_t k = 0; k < count; ++k) {
    const LightKeyItem& item = items[k];
    std::optional<LedLookup> led = FindLedIndex(item.keyCode, layout, rgb);
    if (!led) continue;  // the entry stays zero; later items keep their places
    const uint8_t index = static_cast<uint8_t>(led->index);
    const int level = std::clamp(item.level, 0, 255);
    if (rgb) {
      uint8_t* entry = &block[kRgbEntrySize * k];
      entry[0] = index;
      if (item.state == kKeyStateOff) continue;
      auto scale = [&](uint8_t c) {
        return item.state == kKeyStateScaled ? static_cast<uint8_t>(c * level / 256) : c;
      };
      entry[1] = scale(item.red);
      entry[2] = scale(item.green);
      entry[3] = scale(item.blue);
    } else {
      block[k] = item.state == kKeyStateOff ? index : static_cast<uint8_t>(level);
    }
  }
  return block;
}

std::vector<uint8_t> BuildMusicColorBlock(std::span<const MusicKeyColor> keys, const LedIndexMap& layout,
                                          bool rgb) {
  std::vector<uint8_t> block(rgb ? kRgbLiveBlockSize : kSingleLiveBlockSize, 0);
  size_t records = 0;
  for (const MusicKeyColor& key : keys) {
    if (rgb && records == kRgbLiveEntries) break;
    const std::optional<LedLookup> led = FindLedIndex(key.keyCode, layout, rgb);
    if (!led) continue;
    const uint8_t index = static_cast<uint8_t>(led->index);
    if (rgb) {
      uint8_t* entry = &block[kRgbEntrySize * records++];
      entry[0] = index;
      entry[1] = static_cast<uint8_t>(key.color & 0xFF);
      entry[2] = static_cast<uint8_t>((key.color >> 8) & 0xFF);
      entry[3] = static_cast<uint8_t>((key.color >> 16) & 0xFF);
    } else if (key.color != 0) {
      block[index] = kSingleLitFromLayout;
    }
  }
  return block;
}

std::vector<std::optional<uint32_t>> DecodeLedColors(std::span<const uint8_t, kColorReplyBytes> replies,
                                                     std::span<const int> keyCodes, const LedIndexMap& layout,
                                                     bool rgb) {
  std::vector<std::optional<uint32_t>> colors(keyCodes.size());
  if (layout.empty()) return colors;  // the read-back follows the layout only
  for (size_t k = 0; k < keyCodes.size(); ++k) {
    std::optional<LedLookup> led = FindLedIndex(keyCodes[k], layout, rgb);
    if (!led) continue;
    const size_t i = static_cast<size_t>(led->index);
    if (rgb) {
      colors[k] = uint32_t{replies[4 * i + 1]} | uint32_t{replies[4 * i + 2]} << 8 |
                  uint32_t{replies[4 * i + 3]} << 16;
    } else {
      const uint32_t grey = uint32_t{replies[i]} * 255 / 256;
      colors[k] = grey | grey << 8 | grey << 16;
    }
  }
  return colors;
}

bool SendLightMode(const DeviceLink& link, int mode, const LightDataRow* row) {
  if (mode < 0 || mode > 0xFF) return false;  // no mode selected: nothing to save on the keyboard
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  if (!guard.valid()) return false;  // no keyboard at this index
  return SendRecordTransaction(link, BuildLightModeRecord(static_cast<uint8_t>(mode), row));
}

bool SendCustomModeSettings(const DeviceLink& link, const LightDataRow* customRow) {
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  return SendRecordTransaction(link, BuildCustomModeSettingsRecord(customRow));
}

bool SendCustomModeColors(const DeviceLink& link, std::span<const CustomRgbRow> rows,
                          const LedIndexMap& layout, bool rgb, const LightDataRow* customRow) {
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  const std::vector<uint8_t> block = BuildCustomColorBlock(rows, layout, rgb);
  bool ok = SendCommand(link, CMD_BEGIN);
  ok = SendCommand(link, CMD_CUSTOM_COLORS, 0, rgb ? kRgbColorPackets : kSingleColorPackets) && ok;
  ok = link.manager.Send(block, link.deviceIndex, link.packetDelayMs, true) && ok;
  ok = SendCommand(link, CMD_END) && ok;
  ok = SendCommand(link, CMD_SAVE) && ok;
  if (!ok)
    platform::hid::HidDebugLog("keyboard %d: a custom colour packet was not accepted", link.deviceIndex);
  return SendRecordTransaction(link, BuildCustomModeSettingsRecord(customRow)) && ok;
}

std::optional<std::vector<std::optional<uint32_t>>> ReadDeviceLedColors(const DeviceLink& link,
                                                                        std::span<const int> keyCodes,
                                                                        const LedIndexMap& layout, bool rgb) {
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  const uint8_t count = rgb ? kRgbColorPackets : kSingleColorPackets;
  std::array<uint8_t, kRequestBufferSize> buffer{};
  const DevicePacket request = MakeCommandPacket(CMD_READ_COLORS, 0, count);
  std::copy(request.bytes.begin(), request.bytes.end(), buffer.begin());
  if (!link.manager.Query(buffer, count, link.deviceIndex)) return std::nullopt;
  auto colors = DecodeLedColors(std::span<const uint8_t, kColorReplyBytes>(buffer.data(), kColorReplyBytes),
                                keyCodes, layout, rgb);
  SendCommand(link, CMD_END);
  return colors;
}

namespace {

// CMD_LIVE_COLORS, the block streamed, and CMD_END only when the block went through.
bool SendLiveBlock(const DeviceLink& link, const std::vector<uint8_t>& block, bool rgb) {
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  const DevicePacket command =
      MakeCommandPacket(CMD_LIVE_COLORS, 0, rgb ? kRgbLivePackets : kSingleColorPackets);
  if (!SendPacket(link, command, kLivePacingMs, true)) return false;
  if (!link.manager.SendFast(block, link.deviceIndex)) return false;
  SendPacket(link, MakeCommandPacket(CMD_END), kLivePacingMs, true);
  return true;
}

}  // namespace

bool SendLiveColorFrame(const DeviceLink& link, std::span<const LightKeyItem> items,
                        const LedIndexMap& layout, bool rgb) {
  return SendLiveBlock(link, BuildLiveColorBlock(items, layout, rgb), rgb);
}

bool SendMusicColorFrame(const DeviceLink& link, std::span<const MusicKeyColor> keys,
                         const LedIndexMap& layout, bool rgb) {
  return SendLiveBlock(link, BuildMusicColorBlock(keys, layout, rgb), rgb);
}
