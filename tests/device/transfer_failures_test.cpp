// Every sending transfer under a keyboard that stops taking packets or is unplugged part-way:
// the result says so, and CMD_END still goes out where the keyboard is there to take it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device/LcdAnimation.h"
#include "device/LightingPackets.h"
#include "device/MacroImage.h"
#include "device/SystemPackets.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

struct Transfer {
  const char* name;
  std::function<bool(const DeviceLink&)> run;
};

std::vector<Transfer> Transfers() {
  return {
      {"light mode", [](const DeviceLink& l) { return SendLightMode(l, 3, nullptr); }},
      {"custom settings", [](const DeviceLink& l) { return SendCustomModeSettings(l, nullptr); }},
      {"custom colours",
       [](const DeviceLink& l) {
         const std::vector<CustomRgbRow> rows(1);
         return SendCustomModeColors(l, rows, {}, true, nullptr);
       }},
      {"macros",
       [](const DeviceLink& l) {
         MacroImageInput in;
         MacroRecordRow down;
         down.type = MACRO_EVENT_KEY_DOWN;
         down.value = 0x41;
         in.macros = {{down}};
         in.storedRecords = 1;
         in.listedMacros = 1;
         return DownloadMacros(l, in).status == MacroDownloadStatus::kSent;
       }},
      {"screen",
       [](const DeviceLink& l) {
         LcdDownloadInput in;
         in.frames = {LedFrameRow{0, 1, L"f", 100, 0, L"a.png"}};
         in.workingFolder = "/nowhere/";
         in.slotFolder = L"slot";
         in.selectedSlot = 0;
         return DownloadLcdAnimation(
             l, in, [](const std::string&) { return std::nullopt; }, nullptr, nullptr);
       }},
      {"system settings", [](const DeviceLink& l) { return SendSystemSettingsTransaction(l, 1, {}); }},
      {"clock",
       [](const DeviceLink& l) {
         return SendClockTransaction(l, 0, [] { return std::optional<LocalTime>(LocalTime{}); });
       }},
  };
}

class TransferFailureTest : public TransferTest {
 protected:
  int CommandSends() { return static_cast<int>(Io(NodeRole::kCommand, SimIo::Kind::kSend).size()); }
  // Plugged in, nothing failing, freshly numbered.
  void Restore() {
    Keyboard().failSendsFrom(0);
    Keyboard().replug();
    Rescan();
  }
};

TEST_F(TransferFailureTest, APacketNotTakenOrAnUnplugMakesTheTransferFail) {
  for (const Transfer& t : Transfers()) {
    SCOPED_TRACE(t.name);
    Restore();
    ASSERT_TRUE(t.run(Link())) << "a clean run succeeds";
    const int sends = CommandSends();
    ASSERT_GE(sends, 3);
    for (int n : {1, 2, sends / 2, sends - 1, sends}) {
      SCOPED_TRACE("from send " + std::to_string(n));
      Restore();
      Keyboard().failSendsFrom(n);
      EXPECT_FALSE(t.run(Link())) << "refused packets";
      // The closing packet was still tried.
      bool endTried = false;
      for (const SimIo& io : Io(NodeRole::kCommand, SimIo::Kind::kSend))
        endTried = endTried || (io.bytes.size() > kPacketCommandOffset + 1 &&
                                io.bytes[1 + kPacketMarkerOffset] == CMD_MARKER &&
                                io.bytes[1 + kPacketCommandOffset] == CMD_END);
      EXPECT_TRUE(endTried);

      Restore();
      Keyboard().unplugAfterSends(n);
      EXPECT_FALSE(t.run(Link())) << "unplugged";
    }
  }
}

TEST_F(TransferFailureTest, ALostScreenBlockFailsTheDownloadButTheRestStillGoesOut) {
  const Transfer screen = Transfers()[4];
  for (int lost : {0, 7, 15}) {
    SCOPED_TRACE(lost);
    Restore();
    std::vector<platform::hid::sim::BulkWriteResult> writes(static_cast<size_t>(lost),
                                                            platform::hid::sim::BulkWriteResult::kFull);
    writes.push_back(platform::hid::sim::BulkWriteResult::kFail);
    Keyboard().queueBulkWrites(writes);
    EXPECT_FALSE(screen.run(Link()));
    EXPECT_EQ(Keyboard().bulkBlocks(), 15) << "every other block of the 16 was written";
    EXPECT_EQ(Commands().back(), CMD_END);
  }
}

}  // namespace
}  // namespace hid_test
