#include <gtest/gtest.h>

#include <array>

#include "hid_test_support.h"

namespace hid_test {
namespace {

using platform::hid::sim::AckMode;
using platform::hid::sim::BulkWriteResult;
using platform::hid::sim::Packet;
using platform::hid::sim::PacketsAfterCommand;
using platform::hid::sim::SentPackets;
using platform::hid::sim::SplitTransactions;

class TransferTest : public HidTest {
 protected:
  void SetUp() override {
    HidTest::SetUp();
    OpenKeyboards(1);
  }
  SimKeyboard& kb() { return sim_.keyboard(0); }
  size_t Sends() { return Io(NodeRole::kCommand, SimIo::Kind::kSend).size(); }
  size_t Gets() { return Io(NodeRole::kCommand, SimIo::Kind::kGet).size(); }
};

// ---- Single packets

TEST_F(TransferTest, SinglePacketGoesOutFramedAndPacedWithItsReadBack) {
  Bytes packet = CommandPacket(CMD_KEYMAP, 0, 9);
  packet.push_back(0x77);  // the 65th byte a caller passes is not part of the packet
  ASSERT_TRUE(manager_->Send(packet, 0, 35, true));

  auto log = sim_.log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].kind, SimIo::Kind::kSend);
  EXPECT_EQ(log[0].timeMs, 35);
  Bytes wire = {0};
  wire.insert(wire.end(), packet.begin(), packet.begin() + 64);
  EXPECT_EQ(log[0].bytes, wire);
  EXPECT_EQ(log[1].kind, SimIo::Kind::kGet);
  EXPECT_EQ(log[1].timeMs, 70);
  EXPECT_EQ(SleepMs(), (std::vector<int>{35, 35}));

  // Without read-back: one sleep, one send; a short packet is zero-filled.
  sim_.clearLog();
  clock_.clearSleeps();
  ASSERT_TRUE(manager_->Send(Bytes{0x04, 0x02}, 0, 10, false));
  EXPECT_EQ(SleepMs(), std::vector<int>{10});
  ASSERT_EQ(sim_.log().size(), 1u);
  Bytes shortWire(kFeatureReportSize, 0);
  shortWire[1] = 0x04;
  shortWire[2] = 0x02;
  EXPECT_EQ(sim_.log()[0].bytes, shortWire);
  EXPECT_FALSE(manager_->IsBusy());
}

TEST_F(TransferTest, StatusIsReadFromReplyByteThreeAndOnlyRetryStatusResends) {
  Bytes packet = CommandPacket(CMD_BEGIN);
  struct Case {
    std::vector<uint8_t> statuses;
    bool result;
    size_t sends;
  };
  // The simulated reply fills every other byte with a value that is neither 1 nor 0xFF.
  std::vector<Case> cases = {{{0x01}, true, 1},       {{0x00}, false, 1},       {{0x02}, false, 1},
                             {{0xFF, 0x01}, true, 2}, {{0xFF, 0x00}, false, 2}, {{0xFF, 0xFF}, false, 2}};
  for (const Case& c : cases) {
    sim_.clearLog();
    clock_.clearSleeps();
    for (uint8_t s : c.statuses) kb().queueStatus(s);
    EXPECT_EQ(manager_->Send(packet, 0, 10, true), c.result) << int(c.statuses[0]);
    EXPECT_EQ(Sends(), c.sends);
    EXPECT_EQ(Gets(), c.sends);
    EXPECT_EQ(SleepMs().size(), c.sends + 1);  // no sleep before the resend itself
  }
}

TEST_F(TransferTest, FailedSendOrReplyReadFailsWithoutResend) {
  Bytes packet = CommandPacket(CMD_END);
  kb().failNextSends(1);
  EXPECT_FALSE(manager_->Send(packet, 0, 10, true));
  EXPECT_EQ(Gets(), 0u);

  // A failed or short reply read is never taken for a status, and nothing is sent again.
  sim_.clearLog();
  kb().failNextReads(1);
  EXPECT_FALSE(manager_->Send(packet, 0, 10, true));
  EXPECT_EQ(Sends(), 1u);
  sim_.clearLog();
  kb().shortNextReads(1, 4);  // report id and packet bytes 0..2: no status byte
  EXPECT_FALSE(manager_->Send(packet, 0, 10, true));
  EXPECT_EQ(Sends(), 1u);
  // The resend after 0xFF fails: false, and no reply is read for it.
  sim_.clearLog();
  kb().queueStatus(STATUS_RETRY);
  kb().failSendNumber(2);
  EXPECT_FALSE(manager_->Send(packet, 0, 10, true));
  EXPECT_EQ(Gets(), 1u);
  EXPECT_FALSE(manager_->IsBusy());
}

// ---- Data blocks

TEST_F(TransferTest, DataBlockIsCutIntoWholePacketsEachFollowedByItsSleep) {
  Bytes block = DataBlock(10, 0x30, 54);  // 694 bytes
  ASSERT_TRUE(manager_->Send(block, 0, 10, true));
  auto packets = SentPackets(sim_.log(), 0);
  ASSERT_EQ(packets.size(), 10u);
  for (size_t i = 0; i < packets.size(); ++i)
    EXPECT_EQ(packets[i], Bytes(block.begin() + i * 64, block.begin() + (i + 1) * 64));
  EXPECT_EQ(Gets(), 0u);  // read-back has no effect on blocks
  EXPECT_EQ(SleepMs(), std::vector<int>(10, 10));
  EXPECT_EQ(sim_.log()[1].timeMs, 10);  // the sleep comes after each packet
}

TEST_F(TransferTest, DataBlockPacketIsTriedElevenTimesThenTheBlockStops) {
  Bytes block = DataBlock(6, 0x40);
  kb().failNextSends(10);  // the first packet gets through at its 11th attempt
  EXPECT_TRUE(manager_->Send(block, 0, 5, false));
  EXPECT_EQ(SentPackets(sim_.log(), 0).size(), 6u);
  EXPECT_EQ(Sends(), 16u);

  sim_.clearLog();
  clock_.clearSleeps();
  kb().failSendsOfPacket(Bytes(block.begin() + 128, block.begin() + 192));  // third packet
  EXPECT_FALSE(manager_->Send(block, 0, 5, false));
  EXPECT_EQ(SentPackets(sim_.log(), 0).size(), 2u);  // packets 4 to 6 never go out
  EXPECT_EQ(Sends(), 13u);
  EXPECT_EQ(SleepMs(), std::vector<int>(13, 5));
  EXPECT_FALSE(manager_->IsBusy());
}

// ---- Live-colour frames

TEST_F(TransferTest, LiveFrameIsPacedWithoutRetriesAndCutAfterItsBudget) {
  Bytes frame = DataBlock(8, 0x50);
  ASSERT_TRUE(manager_->SendFast(frame, 0));
  EXPECT_EQ(SentPackets(sim_.log(), 0).size(), 8u);
  EXPECT_EQ(SleepMs(), std::vector<int>(8, 2));
  EXPECT_EQ(Gets(), 0u);
  EXPECT_TRUE(manager_->SendFast(Bytes(63, 1), 0));  // under one packet: nothing to send
  EXPECT_EQ(Sends(), 8u);

  // 20 ms per send: after packet 5 the clock stands at 110 ms, past the 100 ms budget.
  sim_.clearLog();
  kb().setSendLatencyMs(20);
  EXPECT_FALSE(manager_->SendFast(frame, 0));
  EXPECT_EQ(SentPackets(sim_.log(), 0).size(), 5u);

  sim_.clearLog();
  kb().setSendLatencyMs(0);
  kb().failSendNumber(2);
  EXPECT_FALSE(manager_->SendFast(frame, 0));
  EXPECT_EQ(Sends(), 2u);  // no retry
  EXPECT_FALSE(manager_->IsBusy());
}

// ---- Bulk blocks

TEST_F(TransferTest, BulkBlocksReachOnlyTheKeyboardOfTheirIndex) {
  sim_.addKeyboard();
  Rescan();
  SimKeyboard& second = sim_.keyboard(1);
  Bytes header = CommandPacket(CMD_LCD_ANIMATION, 2, 2);
  ASSERT_TRUE(manager_->Send(header, 1, 10, true));
  Bytes block1 = DataBlock(64, 1), block2 = DataBlock(64, 9);
  ASSERT_TRUE(manager_->Write(block1, 1));
  ASSERT_TRUE(manager_->Write(block2, 1));

  Bytes image = block1;
  image.insert(image.end(), block2.begin(), block2.end());
  EXPECT_EQ(second.animationImage(), image);
  EXPECT_EQ(kb().bulkBlocks(), 0);
  auto writes = Io(NodeRole::kBulk, SimIo::Kind::kWrite, 1);
  ASSERT_EQ(writes.size(), 2u);
  ASSERT_EQ(writes[0].bytes.size(), kBulkReportSize);
  EXPECT_EQ(writes[0].bytes[0], 0);
  EXPECT_EQ(Bytes(writes[0].bytes.begin() + 1, writes[0].bytes.end()), block1);
}

TEST_F(TransferTest, BulkWriteFailuresAreReportedAndLateAcksDrained) {
  Bytes block = DataBlock(64, 3);
  kb().queueBulkWrites({BulkWriteResult::kFail, BulkWriteResult::kZero});
  EXPECT_FALSE(manager_->Write(block, 0));
  EXPECT_FALSE(manager_->Write(block, 0));
  auto reads = Io(NodeRole::kBulk, SimIo::Kind::kRead);
  for (const auto& r : reads) EXPECT_EQ(r.result, 0) << "only drains, no ack wait after a failed write";
  EXPECT_EQ(clock_.nowMs(), 0);

  // A late ack: the first block's wait runs out (300 ms, not a failure); the next block first
  // drops that ack, then waits for its own.
  sim_.clearLog();
  kb().setAckMode(AckMode::kLate);
  EXPECT_TRUE(manager_->Write(block, 0));
  EXPECT_EQ(clock_.nowMs(), 300);
  kb().setAckMode(AckMode::kImmediate);
  EXPECT_TRUE(manager_->Write(block, 0));
  auto log = sim_.log();
  ASSERT_GE(log.size(), 6u);
  // write, ack wait (timed out) | drain hit (late ack), drain empty, write, ack
  std::vector<std::pair<SimIo::Kind, bool>> expected = {
      {SimIo::Kind::kRead, false}, {SimIo::Kind::kWrite, true}, {SimIo::Kind::kRead, false},
      {SimIo::Kind::kRead, true},  {SimIo::Kind::kRead, false}, {SimIo::Kind::kWrite, true},
      {SimIo::Kind::kRead, true}};
  ASSERT_EQ(log.size(), expected.size());
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].kind, expected[i].first) << i;
    EXPECT_EQ(log[i].result > 0, expected[i].second) << i;
  }
  EXPECT_EQ(clock_.nowMs(), 300);
}

TEST_F(TransferTest, BusyLastsFromABlockUntilTheNextSendEnds) {
  Bytes block = DataBlock(64, 3);
  EXPECT_FALSE(manager_->Write(block, 5));  // no keyboard there: false, busy all the same
  EXPECT_TRUE(manager_->IsBusy());
  Bytes buffer(kColorReplyBytes);
  EXPECT_FALSE(manager_->Query(buffer, 9, 0));
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_TRUE(manager_->Send(CommandPacket(CMD_END), 0, 10, true));
  EXPECT_FALSE(manager_->IsBusy());
  ASSERT_TRUE(manager_->Write(block, 0));
  EXPECT_TRUE(manager_->IsBusy());
  EXPECT_TRUE(manager_->SendFast(DataBlock(1, 0), 0));
  EXPECT_TRUE(manager_->IsBusy());  // only a full send ends it
}

TEST_F(TransferTest, AReopenClearsTheBusyFlagLeftByABlock) {
  ASSERT_TRUE(manager_->Write(DataBlock(64, 3), 0));
  ASSERT_TRUE(manager_->IsBusy());
  manager_->Reopen();
  EXPECT_FALSE(manager_->IsBusy());
  Bytes buffer(kColorReplyBytes);
  EXPECT_TRUE(manager_->Query(buffer, 9, 0)) << "the colour query runs again at once";
}

// ---- Colour query

TEST_F(TransferTest, ColourQueryCopiesNineRepliesInOrder) {
  std::vector<std::array<uint8_t, 3>> colors;
  for (int i = 0; i < 144; ++i)
    colors.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3)});
  kb().setRgbColors(colors);
  Bytes buffer(kColorReplyBytes + 10, 0xEE);
  Bytes request = CommandPacket(CMD_READ_COLORS, 0, 9);
  std::copy(request.begin(), request.end(), buffer.begin());
  ASSERT_TRUE(manager_->Query(buffer, 9, 0));
  for (size_t i = 0; i < colors.size(); ++i) {
    EXPECT_EQ(buffer[4 * i], 0);
    EXPECT_EQ(buffer[4 * i + 1], colors[i][0]);
    EXPECT_EQ(buffer[4 * i + 2], colors[i][1]);
    EXPECT_EQ(buffer[4 * i + 3], colors[i][2]);
  }
  EXPECT_EQ(buffer[kColorReplyBytes], 0xEE);
  std::vector<int> sleeps = {3, 10};
  sleeps.insert(sleeps.end(), 9, 3);
  EXPECT_EQ(SleepMs(), sleeps);
  ASSERT_EQ(SentPackets(sim_.log(), 0), std::vector<Packet>{request});
}

TEST_F(TransferTest, ColourQueryRetriesTheStatusAndRejectsSlowOrShortReplies) {
  Bytes request = CommandPacket(CMD_READ_COLORS, 0, 9);
  auto query = [&] {
    Bytes buffer(kColorReplyBytes);
    std::copy(request.begin(), request.end(), buffer.begin());
    return manager_->Query(buffer, 9, 0);
  };
  kb().failNextReads(10);
  EXPECT_TRUE(query());  // the 11th status read succeeds
  EXPECT_EQ(Gets(), 11u + 9u);
  sim_.clearLog();
  kb().failNextReads(11);
  EXPECT_FALSE(query());
  EXPECT_EQ(Gets(), 11u);
  kb().failNextReads(0);
  kb().queueStatus(0);
  EXPECT_FALSE(query());
  kb().shortNextReads(2, 10);  // the status arrives, the first data reply is short
  EXPECT_FALSE(query());
  kb().setReadLatencyMs(361);
  EXPECT_FALSE(query());
  kb().setReadLatencyMs(360);
  EXPECT_TRUE(query());
}

TEST_F(TransferTest, SingleColourKeyboardAnswersThreeReplies) {
  std::vector<uint8_t> levels(192);
  for (size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<uint8_t>(i + 1);
  kb().setSingleColorLevels(levels, false);
  Bytes buffer(kColorReplyBytes, 0xEE);
  Bytes request = CommandPacket(CMD_READ_COLORS, 0, 3);
  std::copy(request.begin(), request.end(), buffer.begin());
  ASSERT_TRUE(manager_->Query(buffer, 3, 0));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 192), levels);
  EXPECT_EQ(Bytes(buffer.begin() + 192, buffer.end()), Bytes(384, 0));

  kb().setSingleColorLevels(levels, true);  // replies 4 to 9 fail: the query fails (kept)
  std::copy(request.begin(), request.end(), buffer.begin());
  EXPECT_FALSE(manager_->Query(buffer, 3, 0));
}

// ---- Bad input

TEST_F(TransferTest, BadInputIsRefusedWithoutIoAndLeavesStateAlone) {
  Bytes shortBuffer(kColorReplyBytes - 1, 0x11);
  Bytes block(kBulkBlockSize - 1);
  EXPECT_FALSE(manager_->Send({}, 0, 10, true));
  EXPECT_FALSE(
      manager_->Send(std::span<const uint8_t>(static_cast<const uint8_t*>(nullptr), 0), 0, 10, true));
  EXPECT_FALSE(manager_->SendFast({}, 0));
  EXPECT_FALSE(manager_->Write(block, 0));
  EXPECT_FALSE(manager_->Query(shortBuffer, 9, 0));
  EXPECT_FALSE(manager_->Send(CommandPacket(CMD_END), -1, 10, true));
  EXPECT_FALSE(manager_->Send(CommandPacket(CMD_END), 1, 10, true));
  EXPECT_EQ(shortBuffer, Bytes(kColorReplyBytes - 1, 0x11));
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_TRUE(clock_.sleeps().empty());
  EXPECT_FALSE(manager_->IsBusy());

  // Not opened: every transfer fails at once.
  manager_->CloseAll();
  EXPECT_FALSE(manager_->Send(CommandPacket(CMD_END), 0, 10, true));
  EXPECT_FALSE(manager_->Write(Bytes(kBulkBlockSize), 0));
  EXPECT_FALSE(manager_->IsBusy());
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(TransferTest, UnpluggedKeyboardFailsItsTransfersUntilTheNextRescan) {
  kb().unplug();
  EXPECT_FALSE(manager_->Send(CommandPacket(CMD_END), 0, 10, true));
  EXPECT_FALSE(manager_->Write(DataBlock(64, 0), 0));
  EXPECT_FALSE(manager_->Send(DataBlock(2, 0), 0, 1, false));
  Rescan();
  EXPECT_EQ(manager_->DeviceCount(), 0);
}

// ---- Reading the traffic back

TEST_F(TransferTest, TranscriptSplitsTransactionsAndCollectsBlocks) {
  Bytes keymap = DataBlock(10, 0x60);
  for (const Bytes& p : {CommandPacket(CMD_BEGIN), CommandPacket(CMD_KEYMAP, 0, 9)})
    ASSERT_TRUE(manager_->Send(p, 0, 10, true));
  ASSERT_TRUE(manager_->Send(keymap, 0, 10, true));
  for (const Bytes& p : {CommandPacket(CMD_END), CommandPacket(CMD_SAVE), CommandPacket(CMD_MACRO_BEGIN),
                         CommandPacket(CMD_END), CommandPacket(CMD_END)})
    ASSERT_TRUE(manager_->Send(p, 0, 10, true));
  auto packets = SentPackets(sim_.log(), 0);
  auto transactions = SplitTransactions(packets);
  ASSERT_EQ(transactions.size(), 3u);
  EXPECT_EQ(transactions[0].size(), 14u);  // begin, command, 10 packets, end, save
  EXPECT_EQ(transactions[0].back()[1], CMD_SAVE);
  EXPECT_EQ(transactions[1].size(), 2u);
  EXPECT_EQ(transactions[2].size(), 1u);
  auto blocks = PacketsAfterCommand(packets, CMD_KEYMAP);
  ASSERT_EQ(blocks.size(), 1u);
  ASSERT_EQ(blocks[0].size(), 10u);
  EXPECT_EQ(blocks[0][9], Bytes(keymap.end() - 64, keymap.end()));
}

}  // namespace
}  // namespace hid_test
