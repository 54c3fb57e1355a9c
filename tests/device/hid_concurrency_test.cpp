// Several threads on one manager: rescans never close a handle under a transfer, and transfer
// guards keep one keyboard's transactions whole. Real threads, virtual time; every wait bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "hid_test_support.h"

namespace hid_test {
namespace {

using platform::hid::sim::SentPackets;
using platform::hid::sim::SplitTransactions;
using namespace std::chrono_literals;

constexpr auto kBound = 5s;           // nothing in these tests may take this long
constexpr auto kStillWaiting = 50ms;  // long enough to see that a thread is blocked

class ConcurrencyTest : public HidTest {
 protected:
  void SetUp() override {
    HidTest::SetUp();
    OpenKeyboards(2);
  }
};

TEST_F(ConcurrencyTest, RescanWaitsForARunningTransferAndClosesNothingUnderIt) {
  SimKeyboard& kb = sim_.keyboard(0);
  kb.gateNextIo(NodeRole::kCommand);
  auto sender =
      std::async(std::launch::async, [&] { return manager_->Send(CommandPacket(CMD_BEGIN), 0, 10, true); });
  ASSERT_TRUE(kb.waitUntilGated(5000));
  std::atomic<bool> reopened{false};
  auto rescan = std::async(std::launch::async, [&] {
    manager_->Reopen();
    reopened = true;
  });
  // A colour query that comes meanwhile is refused at once, without waiting for any lock.
  auto query = std::async(std::launch::async, [&] {
    Bytes buffer(kColorReplyBytes);
    return manager_->Query(buffer, 9, 1);
  });
  ASSERT_EQ(query.wait_for(kBound), std::future_status::ready);
  EXPECT_FALSE(query.get());
  std::this_thread::sleep_for(kStillWaiting);
  EXPECT_FALSE(reopened);
  kb.releaseGate();
  ASSERT_EQ(sender.wait_for(kBound), std::future_status::ready);
  EXPECT_TRUE(sender.get());
  ASSERT_EQ(rescan.wait_for(kBound), std::future_status::ready);
  EXPECT_TRUE(reopened);
  EXPECT_FALSE(sim_.closedDuringIo());
  EXPECT_EQ(manager_->DeviceCount(), 2);
}

TEST_F(ConcurrencyTest, GuardedTransactionsStayWholeWhileOtherKeyboardsGoOn) {
  constexpr int kRounds = 15;
  auto builder = [&](uint8_t tag) {
    for (int round = 0; round < kRounds; ++round) {
      TransferGuard guard = manager_->LockTransfer(0);
      if (!guard.valid()) return false;
      manager_->Send(CommandPacket(CMD_BEGIN, tag), 0, 1, true);
      manager_->Send(CommandPacket(CMD_CUSTOM_COLORS, tag, 3), 0, 1, true);
      manager_->Send(DataBlock(3, tag), 0, 1, false);
      manager_->Send(CommandPacket(CMD_END, tag), 0, 1, true);
    }
    return true;
  };
  auto a = std::async(std::launch::async, builder, uint8_t{0xA0});
  auto b = std::async(std::launch::async, builder, uint8_t{0xB0});
  auto other = std::async(std::launch::async, [&] {
    for (int i = 0; i < 30; ++i) manager_->Send(CommandPacket(CMD_CLOCK, 7), 1, 1, true);
  });
  ASSERT_EQ(a.wait_for(kBound), std::future_status::ready);
  ASSERT_EQ(b.wait_for(kBound), std::future_status::ready);
  ASSERT_EQ(other.wait_for(kBound), std::future_status::ready);
  EXPECT_TRUE(a.get());
  EXPECT_TRUE(b.get());

  auto transactions = SplitTransactions(SentPackets(sim_.log(), 0));
  ASSERT_EQ(transactions.size(), size_t{2 * kRounds});
  for (const auto& t : transactions) {
    ASSERT_EQ(t.size(), 6u);
    uint8_t tag = t[0][kPacketParamOffset];
    EXPECT_EQ(t[1][kPacketParamOffset], tag);
    for (int i = 2; i < 5; ++i) EXPECT_EQ(t[static_cast<size_t>(i)][0], tag + i - 2);  // the block's packets
    EXPECT_EQ(t[5][kPacketParamOffset], tag);
  }
  EXPECT_EQ(SentPackets(sim_.log(), 1).size(), 30u);

  // While one thread holds keyboard 0, another thread's keyboard-0 send waits and keyboard 1 is free.
  TransferGuard held = manager_->LockTransfer(0);
  auto blocked =
      std::async(std::launch::async, [&] { return manager_->Send(CommandPacket(CMD_END), 0, 1, true); });
  auto free =
      std::async(std::launch::async, [&] { return manager_->Send(CommandPacket(CMD_END), 1, 1, true); });
  ASSERT_EQ(free.wait_for(kBound), std::future_status::ready);
  EXPECT_TRUE(free.get());
  EXPECT_EQ(blocked.wait_for(kStillWaiting), std::future_status::timeout);
  held = TransferGuard();
  ASSERT_EQ(blocked.wait_for(kBound), std::future_status::ready);
  EXPECT_TRUE(blocked.get());
}

TEST_F(ConcurrencyTest, GuardHolderFailsWithoutIoOnceItsIndexNamesAnotherKeyboard) {
  TransferGuard guard = manager_->LockTransfer(0);
  ASSERT_TRUE(guard.valid());
  ASSERT_TRUE(manager_->Send(CommandPacket(CMD_BEGIN), 0, 1, true));
  // A rescan from another thread meanwhile: the first keyboard is gone, index 0 is the second.
  sim_.keyboard(0).unplug();
  std::async(std::launch::async, [&] { manager_->Reopen(); }).wait();
  ASSERT_EQ(manager_->DeviceCount(), 1);
  sim_.clearLog();
  EXPECT_FALSE(manager_->Send(CommandPacket(CMD_END), 0, 1, true));
  EXPECT_FALSE(manager_->Write(DataBlock(64, 0), 0));
  EXPECT_TRUE(sim_.log().empty());
  guard = TransferGuard();
  EXPECT_TRUE(manager_->Send(CommandPacket(CMD_END), 0, 1, true));
  EXPECT_EQ(SentPackets(sim_.log(), 1).size(), 1u);
  EXPECT_FALSE(manager_->LockTransfer(3).valid());
}

}  // namespace
}  // namespace hid_test
