// The macro download as the macro page starts it: every stored macro reaches the keyboard's macro
// memory, a store that does not fit is refused untouched, and the download shares the keyboard
// with the worker.
#include <future>

#include "device/MacroImage.h"
#include "keyboard_fixture.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

constexpr int kVkA = 0x41;  // HID usage 4

class MacroDownloadTest : public KeyboardTest {
 protected:
  KeyboardDlg& Ready() { return OpenIdleWindow(); }
  // A macro of `count` key records, down and up in turn, without stored delays.
  static int AddMacro(KeyboardDlg& dlg, const std::wstring& name, int count) {
    const int id = dlg.m_configDB.NewMacro(name);
    std::vector<MacroRecordRow> rows;
    for (int i = 0; i < count; ++i)
      rows.push_back(
          MacroRecordRow{0, id, i % 2 == 0 ? MACRO_EVENT_KEY_DOWN : MACRO_EVENT_KEY_UP, i, kVkA, L""});
    dlg.m_configDB.SaveMacroRecords(rows);
    return id;
  }
  std::vector<uint8_t> MacroMemory() { return sim_.keyboard(0).received().macroMemory; }
};

TEST_F(MacroDownloadTest, EveryStoredMacroReachesTheMacroMemory) {
  KeyboardDlg& dlg = Ready();
  AddMacro(dlg, L"a", 2);
  dlg.m_configDB.NewMacro(L"empty");
  AddMacro(dlg, L"b", 1);
  const MacroDownloadResult result = dlg.DownloadMacros();
  EXPECT_EQ(result.status, MacroDownloadStatus::kSent);
  EXPECT_EQ(result.leftOut, 0);
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);

  // Blocks at 400 (3 events: down, inserted 10 ms, up) and 420 (1 event); end 432, n = 8.
  std::vector<uint8_t> expected(9 * kPacketSize, 0);
  const uint8_t directory[] = {0x90, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xA4, 0x01, 0, 0};
  std::copy(std::begin(directory), std::end(directory), expected.begin());
  const uint8_t blocks[] = {3, 0, 0, 0,    0, 0, 0, 0, 0, 0, 4, 0xB0, 10, 0, 0, 0x50,
                            0, 0, 4, 0x30, 1, 0, 0, 0, 0, 0, 0, 0,    0,  0, 4, 0xB0};
  std::copy(std::begin(blocks), std::end(blocks), expected.begin() + 400);
  expected[510] = 0xAA;
  expected[511] = 0x55;
  EXPECT_EQ(MacroMemory(), expected);
  EXPECT_EQ(sim_.keyboard(0).received().macroPacketCount, 8);
}

TEST_F(MacroDownloadTest, AStoreThatDoesNotFitIsRefusedWithNothingSentAndTheStoreUntouched) {
  KeyboardDlg& dlg = Ready();
  // 600 records pass the estimate (4 x 602 <= 2700) but need 1199 events with the inserted delays.
  AddMacro(dlg, L"long", 600);
  dlg.PostTask(TaskReloadAll);  // the macro page lists what the store holds
  Drain(dlg);
  sim_.clearLog();
  const std::string before =
      QueryText(StorePath(), "SELECT group_concat(value || type, ',') FROM t_macrorecord");
  MacroDownloadResult result = dlg.DownloadMacros();
  EXPECT_EQ(result.status, MacroDownloadStatus::kDoesNotFit);
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);
  EXPECT_EQ(dlg.m_configDB.CountMacroRecords(), 600);
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(value || type, ',') FROM t_macrorecord"), before);

  // The estimate counts the entries of the macro list when the page has one.
  ASSERT_TRUE(dlg.m_configDB.DeleteMacroRecords(dlg.m_configDB.NewMacro(L"unused")));
  ASSERT_TRUE(Exec(StorePath(), "DELETE FROM t_macrorecord WHERE record_index >= 4"));
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kSent);
  auto* list = dlg.GetControlAs<QelListBox>(kb_ids::kMacroList);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetItemCount(), 1);
  for (int i = 0; i < 336; ++i) list->AddString(L"macro", i);  // 4 x (4 + 2 x 337) = 2712
  sim_.clearLog();
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kDoesNotFit);
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(MacroDownloadTest, BusyWhileTheTransferRunsAndRefusedWhileAnotherHoldsTheKeyboard) {
  KeyboardDlg& dlg = Ready();
  AddMacro(dlg, L"a", 2);
  // The flag is set for the length of the transfer.
  sim_.keyboard(0).gateNextIo(NodeRole::kCommand);
  auto download = std::async(std::launch::async, [&] { return dlg.DownloadMacros(); });
  ASSERT_TRUE(sim_.keyboard(0).waitUntilGated(3000));
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 1);
  sim_.keyboard(0).releaseGate();
  ASSERT_EQ(download.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(download.get().status, MacroDownloadStatus::kSent);
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);

  // Another thread's transaction holds the keyboard for longer than the download waits.
  sim_.clearLog();
  std::promise<void> held;
  std::promise<void> release;
  std::thread holder([&] {
    TransferGuard guard = manager_->LockTransfer(0);
    held.set_value();
    release.get_future().wait_for(std::chrono::seconds(5));
  });
  held.get_future().wait();
  const MacroDownloadResult result = dlg.DownloadMacros(std::chrono::milliseconds(20));
  release.set_value();
  holder.join();
  EXPECT_EQ(result.status, MacroDownloadStatus::kBusy);
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);

  dlg.SetDeviceIndex(-1);
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kNoKeyboard);
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);
}

TEST_F(MacroDownloadTest, TheMacroDownloadAndAWorkerTransferNeverInterleave) {
  KeyboardDlg& dlg = Ready();
  AddMacro(dlg, L"a", 40);
  dlg.m_curLightMode = 2;
  const int savesBefore = sim_.keyboard(0).received().saves;
  sim_.keyboard(0).setSendLatencyMs(1);
  constexpr int kRounds = 5;
  std::thread worker([&] {
    for (int i = 0; i < kRounds; ++i) {
      dlg.PostTask(TaskSendLightMode);
      dlg.Run();
    }
  });
  for (int i = 0; i < kRounds; ++i) EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kSent);
  worker.join();
  const auto transactions = Transactions();
  ASSERT_EQ(transactions.size(), 2u * kRounds);
  for (const auto& t : transactions) {
    if (t[0][kPacketCommandOffset] == CMD_MACRO_BEGIN) {
      // Begin, data command, the block's n + 1 packets, end.
      ASSERT_GE(t.size(), 3u);
      EXPECT_EQ(t[1][kPacketCommandOffset], CMD_MACRO_DATA);
      EXPECT_EQ(t.size(), 3u + t[1][8] + 1u);
    } else {
      ASSERT_EQ(t.size(), 5u);
      EXPECT_EQ(t[1][kPacketCommandOffset], CMD_LIGHT_MODE);
      EXPECT_EQ(t[4][kPacketCommandOffset], CMD_SAVE);
    }
  }
  EXPECT_EQ(sim_.keyboard(0).received().saves - savesBefore, kRounds);
}

}  // namespace
}  // namespace kb_test
