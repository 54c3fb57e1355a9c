#include "device/SystemPackets.h"

#include <time.h>

#include "device/TransferSteps.h"

namespace {

// Offsets inside the system-settings record.
constexpr size_t kGameModeOffset = 1;
constexpr size_t kBlockAltTabOffset = 2;
constexpr size_t kBlockAltF4Offset = 3;
constexpr size_t kBlockWindowsKeysOffset = 4;
constexpr size_t kFnLayerSwitchOffset = 5;
constexpr size_t kSleepLightOffset = 6;
constexpr size_t kResponseTimeOffset = 8;

// Offsets inside the clock record.
constexpr size_t kSlotOffset = 1;
constexpr size_t kClockMarkerOffset = 2;
constexpr uint8_t kClockMarker = 0x5A;
constexpr size_t kYearOffset = 3;  // then month, day, hour, minute, second

// Both records end with the trailer in their last two bytes.
constexpr size_t kTrailerOffset = kPacketSize - REPORT_TRAILER.size();
static_assert(kResponseTimeOffset < kTrailerOffset && kYearOffset + 6 <= kTrailerOffset,
              "record fields must not reach the trailer");

uint8_t LowByte(int value) { return static_cast<uint8_t>(value & 0xFF); }

}  // namespace

std::optional<LocalTime> LocalTimeAt(std::time_t when) {
  std::tm fields{};
  if (!localtime_r(&when, &fields)) return std::nullopt;
  return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                   fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

std::optional<LocalTime> CurrentLocalTime() {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return std::nullopt;
  std::optional<LocalTime> local = LocalTimeAt(now.tv_sec);
  if (local) local->millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return local;
}

DevicePacket BuildSystemSettingsCommand(int profile) {
  return MakeCommandPacket(CMD_SYSTEM_SETTINGS, LowByte(profile), 1);
}

DevicePacket BuildSystemSettingsRecord(const SystemSettings& settings) {
  DevicePacket record;
  auto& b = record.bytes;
  b[kGameModeOffset] = settings.gameMode ? 1 : 0;
  // The blocked keys only mean something in game mode; outside it the keyboard gets zeros.
  if (settings.gameMode) {
    b[kBlockAltTabOffset] = settings.blockAltTab ? 1 : 0;
    b[kBlockAltF4Offset] = settings.blockAltF4 ? 1 : 0;
    b[kBlockWindowsKeysOffset] = settings.blockWindowsKeys ? 1 : 0;
  }
  b[kFnLayerSwitchOffset] = settings.fnLayerSwitch ? 1 : 0;
  b[kSleepLightOffset] = LowByte(settings.sleepLight);
  b[kResponseTimeOffset] = LowByte(settings.responseTime);
  PutTrailer(record.bytes, kTrailerOffset);
  return record;
}

DevicePacket BuildClockCommand() { return MakeCommandPacket(CMD_CLOCK, 0, 1); }

DevicePacket BuildClockRecord(const LocalTime& now, int selectedSlot) {
  DevicePacket record;
  auto& b = record.bytes;
  b[kSlotOffset] = selectedSlot < 0 ? 0 : LowByte(selectedSlot + 1);
  b[kClockMarkerOffset] = kClockMarker;
  const int fields[] = {now.year % 2000, now.month, now.day, now.hour, now.minute, now.second};
  for (size_t i = 0; i < std::size(fields); ++i) b[kYearOffset + i] = LowByte(fields[i]);
  PutTrailer(record.bytes, kTrailerOffset);
  return record;
}

bool SendSystemSettingsTransaction(const DeviceLink& link, int profile, const SystemSettings& settings) {
  Transaction transaction(link, "system settings", link.packetDelayMs);
  if (!transaction.open()) return false;
  transaction.Send(MakeCommandPacket(CMD_BEGIN));
  transaction.Send(BuildSystemSettingsCommand(profile));
  transaction.Send(BuildSystemSettingsRecord(settings));
  transaction.Send(MakeCommandPacket(CMD_END));
  return transaction.ok();
}

bool SendClockTransaction(const DeviceLink& link, int selectedSlot, const LocalTimeSource& clock) {
  Transaction transaction(link, "clock", kClockPacketDelayMs);
  if (!transaction.open()) return false;
  transaction.Send(MakeCommandPacket(CMD_BEGIN));
  transaction.Send(BuildClockCommand());
  if (std::optional<LocalTime> now = clock ? clock() : std::nullopt)
    transaction.Send(BuildClockRecord(*now, selectedSlot));
  else
    transaction.Fail("no local time, the clock record is left out");
  transaction.Send(MakeCommandPacket(CMD_END));
  return transaction.ok();
}
