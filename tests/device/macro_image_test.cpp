// The macro memory image as the simulated keyboard receives it, and the refusals that keep an
// image from ever reaching past the keyboard's buffer.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "device/LightingPackets.h"
#include "device/MacroImage.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

using namespace std::chrono_literals;

constexpr int kVkA = 65;  // usage 4
constexpr int kVkB = 66;  // usage 5

MacroRecordRow Rec(int type, int value) {
  MacroRecordRow r;
  r.type = type;
  r.value = value;
  return r;
}
MacroRecordRow Down(int vk) { return Rec(MACRO_EVENT_KEY_DOWN, vk); }
MacroRecordRow Up(int vk) { return Rec(MACRO_EVENT_KEY_UP, vk); }
MacroRecordRow Delay(int ms) { return Rec(MACRO_EVENT_DELAY, ms); }

MacroImageInput Store(std::vector<std::vector<MacroRecordRow>> macros) {
  MacroImageInput in;
  for (const auto& m : macros) in.storedRecords += static_cast<int>(m.size());
  in.listedMacros = static_cast<int>(macros.size());
  in.macros = std::move(macros);
  return in;
}

Bytes EventsOf(const Bytes& memory, size_t blockOffset) {
  size_t count = memory[blockOffset] | memory[blockOffset + 1] << 8;
  size_t first = blockOffset + kMacroBlockHeaderSize;
  return Bytes(memory.begin() + static_cast<long>(first),
               memory.begin() + static_cast<long>(first + 4 * count));
}

class MacroImageTest : public TransferTest {};

TEST_F(MacroImageTest, DirectoryBlocksAndEveryEventKindReachTheKeyboard) {
  MacroImageInput in = Store({
      {Down(kVkA), Up(kVkA)},
      {},
      {Delay(20), Rec(MACRO_EVENT_MOUSE_DOWN, 1), Rec(MACRO_EVENT_MOUSE_UP, 1),
       Rec(MACRO_EVENT_MOUSE_DOWN, 2), Rec(MACRO_EVENT_MOUSE_UP, 3), Rec(MACRO_EVENT_MOUSE_DOWN, 9),
       Rec(42, 7), Down(300)},
  });
  ASSERT_EQ(DownloadMacros(Link(), in).status, MacroDownloadStatus::kSent);
  const Bytes memory = Keyboard().received().macroMemory;
  ASSERT_FALSE(memory.empty());

  // Entry 0: block at 400 (low byte first); entry 1: a macro without records; entry 2: the next
  // block right after the first; entry 3 on: no macro.
  EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 12),
            (Bytes{0x90, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xA4, 0x01, 0, 0}));
  EXPECT_EQ(Bytes(memory.begin() + 12, memory.begin() + 400), Bytes(388, 0));
  EXPECT_EQ(EventsOf(memory, 400), (Bytes{0, 0, 4, 0xB0, 10, 0, 0, 0x50, 0, 0, 4, 0x30}));
  EXPECT_EQ(Bytes(memory.begin() + 402, memory.begin() + 408), Bytes(6, 0));
  // 420 = 400 + 8 + 3 x 4. Mouse 1/2/3 (left/middle/right) are bits 1/4/2; an unknown button and
  // an unknown type give zero events, an unknown key usage 0; delays go between non-delay events.
  // clang-format off
  EXPECT_EQ(EventsOf(memory, 420), (Bytes{20, 0, 0, 0x50,  0, 0, 1, 0x90,  10, 0, 0, 0x50,  0, 0, 1, 0x10,
                                          10, 0, 0, 0x50,  0, 0, 4, 0x90,  10, 0, 0, 0x50,  0, 0, 2, 0x10,
                                          10, 0, 0, 0x50,  0, 0, 0, 0,     10, 0, 0, 0x50,  0, 0, 0, 0,
                                          10, 0, 0, 0x50,  0, 0, 0, 0xB0}));
  // clang-format on
}

TEST_F(MacroImageTest, InsertedDelaysFollowOnlyNonDelayRecords) {
  const MacroImage image = BuildMacroImage(Store({
      {Down(kVkA), Delay(20), Up(kVkA)},             // a stored delay: nothing inserted
      {Delay(5), Delay(6)},                          // delays only
      {Delay(5), Down(kVkA), Up(kVkA), Down(kVkB)},  // an inserted delay is not a stored one
  }));
  ASSERT_EQ(image.status, MacroImageStatus::kBuilt);
  Bytes memory(image.bytes.begin(), image.bytes.end());
  EXPECT_EQ(EventsOf(memory, 400), (Bytes{0, 0, 4, 0xB0, 20, 0, 0, 0x50, 0, 0, 4, 0x30}));
  EXPECT_EQ(EventsOf(memory, 420), (Bytes{5, 0, 0, 0x50, 6, 0, 0, 0x50}));
  EXPECT_EQ(EventsOf(memory, 436), (Bytes{5, 0, 0, 0x50, 0,  0, 4, 0xB0, 10, 0, 0, 0x50,
                                          0, 0, 4, 0x30, 10, 0, 0, 0x50, 0,  0, 5, 0xB0}));
}

TEST_F(MacroImageTest, DelaysOutside16BitsAreClampedNotCut) {
  const MacroImage image = BuildMacroImage(Store({{Delay(-5), Delay(70000), Delay(65535), Delay(0x10010)}}));
  Bytes memory(image.bytes.begin(), image.bytes.end());
  EXPECT_EQ(EventsOf(memory, 400),
            (Bytes{0, 0, 0, 0x50, 0xFF, 0xFF, 0, 0x50, 0xFF, 0xFF, 0, 0x50, 0xFF, 0xFF, 0, 0x50}));
}

TEST_F(MacroImageTest, PacketCountAndTrailerIncludingAWholeMultipleOf64) {
  struct Case {
    std::vector<std::vector<MacroRecordRow>> macros;
    size_t end;
    int n;
  };
  std::vector<Case> cases = {
      {{}, 400, 8},                                           // directory only: 6.25 -> 7, + 1
      {{std::vector<MacroRecordRow>(10, Delay(1))}, 448, 8},  // 448 = 7 x 64: still one more packet
      {{std::vector<MacroRecordRow>(11, Delay(1))}, 452, 9},
  };
  for (const Case& c : cases) {
    sim_.clearLog();
    ASSERT_EQ(DownloadMacros(Link(), Store(c.macros)).status, MacroDownloadStatus::kSent);
    const auto got = Keyboard().received();
    EXPECT_EQ(got.macroPacketCount, c.n) << c.end;
    ASSERT_EQ(got.macroMemory.size(), static_cast<size_t>(c.n + 1) * kPacketSize) << c.end;
    EXPECT_EQ(got.macroMemory[64 * c.n - 2], 0xAA);
    EXPECT_EQ(got.macroMemory[64 * c.n - 1], 0x55);
    // Nothing but the trailer after the last block.
    for (size_t i = c.end; i < got.macroMemory.size(); ++i) {
      if (i != static_cast<size_t>(64 * c.n - 2) && i != static_cast<size_t>(64 * c.n - 1)) {
        ASSERT_EQ(got.macroMemory[i], 0) << i;
      }
    }
  }
}

TEST_F(MacroImageTest, WireSequenceReadBacksAndPauses) {
  ASSERT_EQ(DownloadMacros(Link(), Store({{Down(kVkA)}})).status, MacroDownloadStatus::kSent);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u + 9u + 1u);  // begin, data command, n + 1 = 9 packets, end
  EXPECT_EQ(sent[0], CommandPacket(CMD_MACRO_BEGIN));
  EXPECT_EQ(sent[1], CommandPacket(CMD_MACRO_DATA, 0, 8));
  EXPECT_EQ(sent.back(), CommandPacket(CMD_END));
  std::vector<bool> readBack = ReadBackFlags();
  std::vector<bool> expected(12, false);
  expected[0] = expected[1] = expected[11] = true;
  EXPECT_EQ(readBack, expected);
  const int d = kPacketDelay;
  std::vector<int> sleeps = {d, d, d, d, 30, d, d, d, d, d, d, d, d, d, 30, d, d};
  EXPECT_EQ(SleepMs(), sleeps);
  EXPECT_EQ(Keyboard().received().saves, 0);  // no CMD_SAVE for macros
}

TEST_F(MacroImageTest, EstimateBoundaryRefusesBeforeAnythingIsSent) {
  // 4 x (673 + 2 x 1) = 2700 passes; one record more does not.
  MacroImageInput fits = Store({std::vector<MacroRecordRow>(673, Delay(1))});
  EXPECT_EQ(BuildMacroImage(fits).status, MacroImageStatus::kBuilt);
  MacroImageInput over = Store({std::vector<MacroRecordRow>(674, Delay(1))});
  EXPECT_EQ(DownloadMacros(Link(), over).status, MacroDownloadStatus::kDoesNotFit);
  // The estimate counts what the page lists, whatever the image holds.
  fits.listedMacros = 2;
  EXPECT_EQ(BuildMacroImage(fits).status, MacroImageStatus::kOverEstimate);
  EXPECT_TRUE(sim_.log().empty());
}

// `keys` key records in a row (keys - 1 inserted delays), then delays up to 673 records.
MacroImageInput KeysThenDelays(int keys) {
  std::vector<MacroRecordRow> records;
  for (int i = 0; i < keys; ++i) records.push_back(i % 2 ? Up(kVkA) : Down(kVkA));
  while (records.size() < 673) records.push_back(Delay(1));
  return Store({records});
}

TEST_F(MacroImageTest, InsertedDelaysThatOverflowTheBufferAreRefusedWithNothingSent) {
  // 90 keys: 762 events, the block ends at 3456 exactly: the largest image, sent whole.
  ASSERT_EQ(DownloadMacros(Link(), KeysThenDelays(90)).status, MacroDownloadStatus::kSent);
  const auto got = Keyboard().received();
  EXPECT_EQ(got.macroPacketCount, 55);
  EXPECT_EQ(got.macroMemory.size(), kMacroImageSize);
  EXPECT_EQ(got.macroMemory[400] | got.macroMemory[401] << 8, 762);
  EXPECT_EQ(Bytes(got.macroMemory.begin() + 64 * 55 - 2, got.macroMemory.begin() + 64 * 55),
            (Bytes{0xAA, 0x55}));

  // One inserted delay more passes the estimate but would end past the buffer.
  sim_.clearLog();
  const MacroImageInput over = KeysThenDelays(91);
  EXPECT_EQ(BuildMacroImage(over).status, MacroImageStatus::kTooLarge);
  EXPECT_TRUE(BuildMacroImage(over).wire().empty());
  EXPECT_EQ(DownloadMacros(Link(), over).status, MacroDownloadStatus::kDoesNotFit);
  EXPECT_TRUE(sim_.log().empty());
  // A plain recording, key down / key up with no delays, is the case the estimate misses most.
  std::vector<MacroRecordRow> recording;
  for (int i = 0; i < 600; ++i) recording.push_back(i % 2 ? Up(kVkB) : Down(kVkB));
  EXPECT_EQ(DownloadMacros(Link(), Store({recording})).status, MacroDownloadStatus::kDoesNotFit);
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(MacroImageTest, MacrosPastTheHundredthAreLeftOutAndCounted) {
  std::vector<std::vector<MacroRecordRow>> macros(102, {Down(kVkA)});
  macros[99] = {Down(kVkB)};
  const MacroDownloadResult result = DownloadMacros(Link(), Store(macros));
  EXPECT_EQ(result.status, MacroDownloadStatus::kSent);
  EXPECT_EQ(result.leftOut, 2);
  const Bytes memory = Keyboard().received().macroMemory;
  // Block 99 is the last: it ends the image, no block of macro 100 or 101 follows.
  const size_t last = memory[396] | memory[397] << 8;
  EXPECT_EQ(last, 400u + 99u * 12u);
  EXPECT_EQ(EventsOf(memory, last), (Bytes{0, 0, 5, 0xB0}));
  EXPECT_EQ(Keyboard().received().macroPacketCount, static_cast<int>((last + 12 + 63) / 64 + 1));
}

TEST_F(MacroImageTest, NoKeyboardSendsNothing) {
  DeviceLink link{*manager_, clock_, 5, kPacketDelay};
  EXPECT_EQ(DownloadMacros(link, Store({{Down(kVkA)}})).status, MacroDownloadStatus::kNoKeyboard);
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(MacroImageTest, AKeyboardHeldPastTheWaitIsBusyAndGetsNothing) {
  std::promise<void> held;
  std::promise<void> release;
  std::thread worker([&] {
    TransferGuard guard = manager_->LockTransfer(0);
    held.set_value();
    release.get_future().wait_for(10s);
  });
  held.get_future().wait();
  const auto result = DownloadMacros(Link(), Store({{Down(kVkA)}}), 20ms);
  release.set_value();
  worker.join();
  EXPECT_EQ(result.status, MacroDownloadStatus::kBusy);
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(DownloadMacros(Link(), Store({{Down(kVkA)}}), 20ms).status, MacroDownloadStatus::kSent);
}

TEST_F(MacroImageTest, MacroDownloadAndWorkerTransferNeverInterleave) {
  // Whichever transfer starts first is held at its first packet while it owns the keyboard; the
  // other, started meanwhile, must wait for the whole of the first.
  // The macro download's own pauses are slept for real here, so that a transfer that did not
  // hold the keyboard for its whole length would let the other one in.
  platform::SteadyClock realPauses;
  const DeviceLink macroLink{*manager_, realPauses, 0, kPacketDelay};
  LightDataRow row;
  auto lightMode = [&] { return SendLightMode(Link(), 3, &row) ? 1 : 0; };
  auto macros = [&] {
    return DownloadMacros(macroLink, Store({{Down(kVkA)}})).status == MacroDownloadStatus::kSent;
  };
  for (bool macroFirst : {false, true}) {
    sim_.clearLog();
    Keyboard().gateNextIo(NodeRole::kCommand);
    auto first = std::async(std::launch::async, [&] { return macroFirst ? macros() : lightMode(); });
    ASSERT_TRUE(Keyboard().waitUntilGated(5000));
    auto second = std::async(std::launch::async, [&] { return macroFirst ? lightMode() : macros(); });
    std::this_thread::sleep_for(50ms);
    Keyboard().releaseGate();
    ASSERT_EQ(first.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());

    const auto transactions = platform::hid::sim::SplitTransactions(Sent());
    ASSERT_EQ(transactions.size(), 2u);
    const auto& light = transactions[macroFirst ? 1 : 0];
    const auto& macro = transactions[macroFirst ? 0 : 1];
    EXPECT_EQ(light.size(), 5u);
    EXPECT_EQ(light.front()[1], CMD_BEGIN);
    EXPECT_EQ(light.back()[1], CMD_SAVE);
    EXPECT_EQ(macro.size(), 12u);
    EXPECT_EQ(macro.front()[1], CMD_MACRO_BEGIN);
    EXPECT_EQ(macro.back()[1], CMD_END);
  }
}

}  // namespace
}  // namespace hid_test
