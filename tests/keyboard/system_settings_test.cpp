// The system-settings and clock transactions as the window sends them: inputs from the store and
// the screen slot list, every byte, read-back and pacing, and no interleaving between senders.
#include "keyboard_fixture.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

class SettingsTest : public KeyboardTest {
 protected:
  KeyboardDlg& Ready() {
    KeyboardDlg& dlg = OpenWindow();
    Drain(dlg);  // the page sync writes the profile's settings rows
    sim_.clearLog();
    clock_.clearSleeps();
    return dlg;
  }
  void Store(const std::string& key, const std::string& value) {
    ASSERT_TRUE(Exec(StorePath(),
                     "UPDATE t_configdata SET value='" + value + "' WHERE profile=1 AND key='" + key + "'"));
  }
  // Pauses taken by this thread, in order.
  std::vector<int> MySleeps() {
    std::vector<int> out;
    for (const auto& s : clock_.sleeps())
      if (s.thread == std::this_thread::get_id()) out.push_back(s.ms);
    return out;
  }
  // For each packet sent on the command interface: whether a reply read followed it.
  std::vector<bool> ReadBackFlags() {
    std::vector<bool> flags;
    for (const SimIo& io : sim_.log()) {
      if (io.node != NodeRole::kCommand || io.keyboard != 0) continue;
      if (io.kind == SimIo::Kind::kSend) flags.push_back(false);
      if (io.kind == SimIo::Kind::kGet && !flags.empty()) flags.back() = true;
    }
    return flags;
  }
  static Packet Command(uint8_t command, uint8_t param = 0, uint8_t count = 0) {
    Packet p(kPacketSize, 0);
    p[0] = CMD_MARKER;
    p[1] = command;
    p[2] = param;
    p[8] = count;
    return p;
  }
  static Packet Record(std::initializer_list<uint8_t> head) {
    Packet p(kPacketSize, 0);
    size_t i = 0;
    for (uint8_t b : head) p[i++] = b;
    p[62] = 0xAA;
    p[63] = 0x55;
    return p;
  }
};

TEST_F(SettingsTest, TheSettingsGoOutFromTheStoreInOneTransaction) {
  KeyboardDlg& dlg = Ready();
  Store("gamemode", "1");
  Store("disable_alttab", "1");
  Store("disable_altf4", "0");
  Store("disable_win", "1");
  Store("fn_switchfunction", "1");
  Store("sleep_light", "300");  // sent as its low byte
  Store("button_respondtime", "4");
  dlg.LoadSystemSettings(1);  // the settings page shows them, and its controls are sent
  EXPECT_EQ(Sent(), (std::vector<Packet>{Command(CMD_BEGIN), Command(CMD_SYSTEM_SETTINGS, 1, 1),
                                         Record({0, 1, 1, 0, 1, 1, 300 & 0xFF, 0, 4}), Command(CMD_END)}));
  EXPECT_EQ(ReadBackFlags(), std::vector<bool>(4, true));
  EXPECT_EQ(MySleeps(), std::vector<int>(8, 35)) << "the window's pacing before each packet and each read";
}

TEST_F(SettingsTest, GameModeOffMasksTheLocksAndMissingValuesSendZero) {
  KeyboardDlg& dlg = Ready();
  Store("gamemode", "0");
  Store("disable_alttab", "1");
  Store("disable_altf4", "1");
  Store("disable_win", "1");
  Store("fn_switchfunction", "yes");  // only "1" counts
  Store("button_respondtime", "fast");
  ASSERT_TRUE(Exec(StorePath(), "DELETE FROM t_configdata WHERE key='sleep_light'"));
  dlg.LoadSystemSettings(1);
  const auto transactions = Transactions();
  ASSERT_EQ(transactions.size(), 1u);
  ASSERT_EQ(transactions[0].size(), 4u);
  EXPECT_EQ(transactions[0][2], Record({0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsTest, ARefusedPacketIsFollowedByTheRestAndTheStatusIsReadFromByteThree) {
  KeyboardDlg& dlg = Ready();
  // The command packet is answered "retry": it goes once more. Then the record's send fails.
  sim_.keyboard(0).queueStatus(STATUS_OK);
  sim_.keyboard(0).queueStatus(STATUS_RETRY);
  sim_.keyboard(0).failSendNumber(4);
  dlg.SendSystemSettings(1);
  const std::vector<Packet> sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], Command(CMD_BEGIN));
  EXPECT_EQ(sent[1], Command(CMD_SYSTEM_SETTINGS, 1, 1));
  EXPECT_EQ(sent[2], Command(CMD_SYSTEM_SETTINGS, 1, 1)) << "sent again after the retry status";
  EXPECT_EQ(sent[3], Command(CMD_END)) << "the failed record does not stop the end";
}

TEST_F(SettingsTest, TheClockCarriesTheLocalTimeAndTheSelectedSlotAtItsOwnPace) {
  KeyboardDlg& dlg = Ready();
  // The page's slot list, read as a list box; without a slot the record names none.
  auto* list = dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
  ASSERT_NE(list, nullptr);
  list->ResetContent();
  dlg.PostTask(TaskSetClockAndLcdSlot);
  dlg.Run();
  const Packet noSlot = Record({0, 0, 0x5A, 26, 3, 5, 7, 8, 9});
  EXPECT_EQ(Sent(),
            (std::vector<Packet>{Command(CMD_BEGIN), Command(CMD_CLOCK, 0, 1), noSlot, Command(CMD_END)}));
  EXPECT_EQ(MySleeps(), std::vector<int>(8, 10)) << "10 ms whatever the window's pacing (35)";

  for (int i = 0; i < 4; ++i) list->AddItem(L"", L"", 0, 10 + i);
  QelListBox* slots = list;
  struct Case {
    int selection;
    LocalTime time;
    Packet record;
  };
  const Case cases[] = {
      {2, {2026, 3, 5, 7, 8, 9}, Record({0, 3, 0x5A, 26, 3, 5, 7, 8, 9})},
      {-1, {2026, 12, 31, 23, 59, 59}, Record({0, 0, 0x5A, 26, 12, 31, 23, 59, 59})},
      {0, {2100, 1, 1, 0, 0, 0}, Record({0, 1, 0x5A, 100, 1, 1, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    sim_.clearLog();
    slots->SetCurSel(c.selection);
    now_ = c.time;
    dlg.SendClockAndLcdSlot();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], c.record) << c.selection;
  }
  // A clock that gives no time: the record is left out, the transaction still ends.
  sim_.clearLog();
  now_.reset();
  dlg.SendClockAndLcdSlot();
  EXPECT_EQ(Sent(), (std::vector<Packet>{Command(CMD_BEGIN), Command(CMD_CLOCK, 0, 1), Command(CMD_END)}));
}

TEST_F(SettingsTest, TwoSendersOnTwoThreadsNeverInterleave) {
  KeyboardDlg& dlg = Ready();
  sim_.keyboard(0).setSendLatencyMs(1);
  constexpr int kRounds = 15;
  std::thread settings([&] {
    for (int i = 0; i < kRounds; ++i) dlg.SendSystemSettings(1);
  });
  std::thread clock([&] {
    for (int i = 0; i < kRounds; ++i) dlg.SendClockAndLcdSlot();
  });
  settings.join();
  clock.join();
  const auto transactions = Transactions();
  ASSERT_EQ(transactions.size(), 2u * kRounds);
  int settingsCount = 0;
  for (const auto& t : transactions) {
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], Command(CMD_BEGIN));
    EXPECT_EQ(t[3], Command(CMD_END));
    const uint8_t command = t[1][kPacketCommandOffset];
    EXPECT_TRUE(command == CMD_SYSTEM_SETTINGS || command == CMD_CLOCK);
    if (command == CMD_SYSTEM_SETTINGS) ++settingsCount;
    EXPECT_EQ(t[2][2] == 0x5A, command == CMD_CLOCK) << "each record follows its own command";
  }
  EXPECT_EQ(settingsCount, kRounds);
}

TEST_F(SettingsTest, AWindowWithoutItsKeyboardSendsNothing) {
  KeyboardDlg& dlg = Ready();
  manager_->CloseAll();
  dlg.SendSystemSettings(1);
  dlg.SendClockAndLcdSlot();
  EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace kb_test
