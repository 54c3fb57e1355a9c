// The system-settings and clock transactions as the simulated keyboard receives them: every byte,
// order, read-back and pacing; failures that do not stop the rest; two senders kept apart.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <string>

#include "device/SystemPackets.h"
#include "support/temp_dir.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

using platform::hid::sim::Packet;
using platform::hid::sim::SentPackets;
using platform::hid::sim::SplitTransactions;

// A 64-byte packet holding `bytes` at their offsets and zeros elsewhere.
Packet PacketOf(const std::map<size_t, uint8_t>& bytes) {
  Packet p(kPacketSize, 0);
  for (const auto& [offset, value] : bytes) p[offset] = value;
  return p;
}

const Packet kBegin = PacketOf({{0, 0x04}, {1, 0x18}});
const Packet kEnd = PacketOf({{0, 0x04}, {1, 0x02}});

LocalTimeSource FixedTime(LocalTime time) {
  return [time] { return std::optional<LocalTime>(time); };
}

class SystemPacketsTest : public TransferTest {
 protected:
  // Each send on the command interface followed by its reply read, nothing else.
  void ExpectEverySendReadBack() {
    EXPECT_EQ(ReadBackFlags(), std::vector<bool>(Sent().size(), true));
    EXPECT_EQ(sim_.log().size(), 2 * Sent().size());
  }
};

TEST_F(SystemPacketsTest, SettingsGoOutAsOneReadBackTransactionPacedByTheWindow) {
  SystemSettings settings;
  settings.gameMode = true;
  settings.blockAltTab = true;
  settings.blockAltF4 = false;
  settings.blockWindowsKeys = true;
  settings.fnLayerSwitch = true;
  settings.sleepLight = 300;  // only the low byte reaches the keyboard
  settings.responseTime = 4;
  EXPECT_TRUE(SendSystemSettingsTransaction(Link(), 1, settings));

  const std::vector<Packet> expected = {
      kBegin,
      PacketOf({{0, 0x04}, {1, 0x17}, {2, 1}, {8, 1}}),
      PacketOf({{1, 1}, {2, 1}, {3, 0}, {4, 1}, {5, 1}, {6, 300 & 0xFF}, {8, 4}, {62, 0xAA}, {63, 0x55}}),
      kEnd,
  };
  EXPECT_EQ(Sent(), expected);  // and no CMD_SAVE after the end
  const auto received = Keyboard().received();
  EXPECT_EQ(received.systemProfile, 1);
  EXPECT_EQ(received.systemSettings, expected[2]);
  EXPECT_EQ(received.saves, 0);
  ExpectEverySendReadBack();
  EXPECT_EQ(SleepMs(), std::vector<int>(8, 35));
}

TEST_F(SystemPacketsTest, BlockedKeysAreSentOnlyInGameMode) {
  SystemSettings settings;
  settings.blockAltTab = settings.blockAltF4 = settings.blockWindowsKeys = true;
  settings.sleepLight = 5;
  settings.responseTime = 2;
  auto head = [](const DevicePacket& record) {
    return Packet(record.bytes.begin(), record.bytes.begin() + 9);
  };
  EXPECT_EQ(head(BuildSystemSettingsRecord(settings)), (Packet{0, 0, 0, 0, 0, 0, 5, 0, 2}));
  settings.gameMode = true;
  EXPECT_EQ(head(BuildSystemSettingsRecord(settings)), (Packet{0, 1, 1, 1, 1, 0, 5, 0, 2}));
}

TEST_F(SystemPacketsTest, ClockCarriesTheSlotAndTheTimeAtTenMilliseconds) {
  const LocalTime time{2026, 3, 5, 7, 8, 9};
  size_t sentWhenTimeWasRead = 0;
  LocalTimeSource clock = [&] {
    sentWhenTimeWasRead = Sent().size();
    return std::optional<LocalTime>(time);
  };
  EXPECT_TRUE(SendClockTransaction(Link(), 2, clock));  // the third slot of the list

  const std::vector<Packet> expected = {
      kBegin,
      PacketOf({{0, 0x04}, {1, 0x28}, {8, 1}}),
      PacketOf({{1, 3}, {2, 0x5A}, {3, 26}, {4, 3}, {5, 5}, {6, 7}, {7, 8}, {8, 9}, {62, 0xAA}, {63, 0x55}}),
      kEnd,
  };
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(Keyboard().received().clock, expected[2]);
  ExpectEverySendReadBack();
  EXPECT_EQ(SleepMs(), std::vector<int>(8, 10));
  EXPECT_EQ(sentWhenTimeWasRead, 2u);  // read when the record is built, not before the transaction

  // No selected slot (or no slot list) shows slot 0.
  for (int none : {-1, -5}) {
    sim_.clearLog();
    EXPECT_TRUE(SendClockTransaction(Link(), none, FixedTime(time)));
    ASSERT_EQ(Sent().size(), 4u);
    EXPECT_EQ(Sent()[2][1], 0);
  }
}

TEST_F(SystemPacketsTest, LocalTimeFieldsAcrossMonthAndYearEnds) {
  // Zone 14 hours east of UTC, so the local date differs from the UTC date.
  struct ZoneBack {
    ~ZoneBack() { tzset(); }  // destroyed after `zone` has put TZ back
  } zoneBack;
  testing_support::ScopedEnv zone("TZ", "KLV-14");
  tzset();
  struct Case {
    std::time_t utc;
    LocalTime local;
  };
  const Case cases[] = {
      {1798711199, {2026, 12, 31, 23, 59, 59}},  // 2026-12-31 09:59:59 UTC
      {1798711200, {2027, 1, 1, 0, 0, 0}},
      {1835344799, {2028, 2, 28, 23, 59, 59}},  // leap year: February has 29 days
      {1835344800, {2028, 2, 29, 0, 0, 0}},
      {1835431200, {2028, 3, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utc);
    EXPECT_EQ(LocalTimeAt(c.utc), c.local);
  }
  EXPECT_EQ(BuildClockRecord(LocalTime{2027, 1, 1, 0, 0, 0}, 0).bytes[3], 27);
  EXPECT_EQ(BuildClockRecord(LocalTime{2100, 1, 1, 0, 0, 0}, 0).bytes[3], 100);
}

TEST_F(SystemPacketsTest, RefusedOrFailedPacketIsFollowedByTheRestAndReported) {
  // Status is byte 3 of the reply; a refusal of the command packet still lets the record and the
  // end go out.
  Keyboard().queueStatus(1);
  Keyboard().queueStatus(0);
  EXPECT_FALSE(SendSystemSettingsTransaction(Link(), 1, SystemSettings()));
  EXPECT_EQ(Sent().size(), 4u);

  // The begin packet cannot be sent at all: the rest still goes.
  sim_.clearLog();
  Keyboard().failSendNumber(1);
  EXPECT_FALSE(SendClockTransaction(Link(), 0, FixedTime({})));
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0][1], CMD_CLOCK);
  EXPECT_EQ(sent[2], kEnd);
}

TEST_F(SystemPacketsTest, NoKeyboardOrNoTimeSendsNothingUnclosed) {
  for (int index : {-1, 1, 1000}) {
    EXPECT_FALSE(SendSystemSettingsTransaction(DeviceLink{*manager_, clock_, index, 35}, 1, SystemSettings()))
        << index;
    EXPECT_FALSE(SendClockTransaction(DeviceLink{*manager_, clock_, index, 35}, 0, FixedTime({}))) << index;
  }
  EXPECT_TRUE(sim_.log().empty());

  // A clock that gives no time: the transaction is closed without a record.
  EXPECT_FALSE(SendClockTransaction(Link(), 0, [] { return std::optional<LocalTime>(); }));
  EXPECT_FALSE(SendClockTransaction(Link(), 0, LocalTimeSource()));
  auto transactions = SplitTransactions(Sent());
  ASSERT_EQ(transactions.size(), 2u);
  for (const auto& t : transactions)
    EXPECT_EQ(t, (std::vector<Packet>{kBegin, PacketOf({{0, 0x04}, {1, 0x28}, {8, 1}}), kEnd}));
}

TEST_F(SystemPacketsTest, TwoSendersOnTwoThreadsNeverInterleave) {
  // The clock sender is inside its transaction (its time is being read) when a second thread starts
  // sending the settings: that thread waits until the clock transaction has ended.
  std::future<bool> settingsSender;
  bool settingsWaited = false;
  auto clock = [&] {
    settingsSender = std::async(std::launch::async,
                                [&] { return SendSystemSettingsTransaction(Link(), 1, SystemSettings()); });
    settingsWaited = settingsSender.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout;
    return std::optional<LocalTime>(LocalTime{});
  };
  EXPECT_TRUE(SendClockTransaction(Link(), 0, clock));
  ASSERT_TRUE(settingsSender.valid());
  ASSERT_EQ(settingsSender.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(settingsSender.get());
  EXPECT_TRUE(settingsWaited);

  auto transactions = SplitTransactions(Sent());
  ASSERT_EQ(transactions.size(), 2u);
  for (const auto& t : transactions) {
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], kBegin);
    EXPECT_EQ(t[3], kEnd);
  }
  EXPECT_EQ(transactions[0][1][kPacketCommandOffset], CMD_CLOCK);
  EXPECT_EQ(transactions[1][1][kPacketCommandOffset], CMD_SYSTEM_SETTINGS);
}

}  // namespace
}  // namespace hid_test
