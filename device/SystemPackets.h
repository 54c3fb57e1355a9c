// The keyboard's system settings (game mode and the keys it blocks, the Fn-layer switch, the
// lighting's sleep time, the key response time) and its clock with the screen slot to show: the
// builders of their packets from plain values, and the two write transactions that send them.
//
// A transaction is CMD_BEGIN, the command packet, the record packet and CMD_END, each a single
// packet with read-back, sent while the keyboard's transfer lock is held so that no other sender's
// packets come between them. A packet that fails does not stop the ones after it; no CMD_SAVE
// follows. Pacing and retries are the device manager's (its clock is injectable).
#pragma once

#include <ctime>
#include <functional>
#include <optional>

#include "device/DeviceLink.h"
#include "device/DevicePacket.h"

// What the settings page shows. Numbers are sent as their low byte, unchanged otherwise.
struct SystemSettings {
  bool gameMode = false;
  bool blockAltTab = false;       // sent only while gameMode is on
  bool blockAltF4 = false;        // sent only while gameMode is on
  bool blockWindowsKeys = false;  // sent only while gameMode is on
  bool fnLayerSwitch = false;     // the Fn-layer switch button of the key-assignment page is checked
  int sleepLight = 0;    // the profile's stored "sleep_light" as _wtoi reads it; 0 when none is stored
  int responseTime = 0;  // item data of the chosen key response time; 0 when nothing is chosen
};

// A local calendar time as a person reads it: full year, month 1-12, day 1-31, 24-hour clock.
struct LocalTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;  // 0-999; the clock record has no field for it

  bool operator==(const LocalTime&) const = default;
};

// The local time of `when` in the process's time zone (localtime_r); nullopt when the system
// cannot convert it.
std::optional<LocalTime> LocalTimeAt(std::time_t when);
// The local time now: the clock of the program.
std::optional<LocalTime> CurrentLocalTime();
// Where a clock transaction takes its time from; tests give a fixed or stepping time.
using LocalTimeSource = std::function<std::optional<LocalTime>()>;

// ---- Builders: 64-byte packets, unlisted bytes 0.

// CMD_SYSTEM_SETTINGS: byte 2 = profile (low byte), byte 8 = 1 record.
DevicePacket BuildSystemSettingsCommand(int profile);
// Bytes 1-5: game mode, Alt+Tab, Alt+F4 and Windows keys blocked (0 unless game mode is on), the
// Fn-layer switch; byte 6 sleep time, byte 8 response time; REPORT_TRAILER at 62-63.
DevicePacket BuildSystemSettingsRecord(const SystemSettings& settings);
// CMD_CLOCK: byte 8 = 1 record.
DevicePacket BuildClockCommand();
// Byte 1 the screen slot to show: `selectedSlot` + 1 for a selected list entry (0-based), 0 when
// `selectedSlot` is negative (no selection, or no list); byte 2 0x5A; bytes 3-8 year modulo 2000,
// month, day, hour, minute, second (no weekday); REPORT_TRAILER at 62-63. Fields go out as their
// low byte.
DevicePacket BuildClockRecord(const LocalTime& now, int selectedSlot);

// ---- Transactions on link's keyboard.

// Every packet of the clock transaction is paced this many ms, whatever the window's pacing is.
inline constexpr int kClockPacketDelayMs = 10;

// Sends the system settings, each packet paced by link.packetDelayMs. `profile` goes into the
// command packet. True when every packet was accepted; false when any was not, or when the
// keyboard is not open (then nothing is sent). Failures are logged.
bool SendSystemSettingsTransaction(const DeviceLink& link, int profile, const SystemSettings& settings);

// Sends the clock and the screen slot (see BuildClockRecord for `selectedSlot`). The time is read
// from `clock` when the record is built, after the command packet went out. When the clock gives
// no time, no record is sent: the transaction is closed with CMD_END and the result is false.
// Otherwise as SendSystemSettingsTransaction.
bool SendClockTransaction(const DeviceLink& link, int selectedSlot,
                          const LocalTimeSource& clock = CurrentLocalTime);
