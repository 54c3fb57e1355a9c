// Task 4 as the window runs it: both Fn layers of the current key profile from the store to the
// simulated keyboard, with the shipped layout's key indexes, the window's pacing, the busy flag
// and the keyboard shared with the macro download.
#include <future>

#include "keyboard_fixture.h"

namespace kb_test {
namespace {

// Key indexes of the shipped layout (data/KeyboardLayout.xml).
constexpr int kIndexA = 56;       // usage 4
constexpr int kIndexSpace = 94;   // usage 0x2C
constexpr int kIndexFn = 96;      // usage 0xAF, barred from layer 1
constexpr int kIndexExtra1 = 14;  // usage 0xD1, which the built-in table does not know
constexpr int kIndexB = 78;       // usage 5

// I/O calls of one layer on the command interface: four commands sent and read back, ten block
// packets.
constexpr int kLayerIo = 4 * 2 + 10;

class KeyMapUploadTest : public KeyboardTest {
 protected:
  void Assign(KeyboardDlg& dlg, int profile, int layer, int key, int type, int value, int value2 = 0,
              int value3 = 0) {
    KeyDataRow row;
    row.profile = profile;
    row.fnlayer = layer;
    row.keyvalue = key;
    row.macrotype = type;
    row.macrovalue = value;
    row.macro2value = value2;
    row.macro3value = value3;
    ASSERT_GT(dlg.m_configDB.SetKeyData(row), 0);
  }
  // The 640 bytes the keyboard should hold: the given entries and the trailer.
  static Packet Table(const std::map<int, std::array<uint8_t, 4>>& entries) {
    Packet table(640, 0);
    for (const auto& [index, entry] : entries)
      std::copy(entry.begin(), entry.end(), table.begin() + index * 4);
    table[574] = 0xAA;
    table[575] = 0x55;
    return table;
  }
  static Packet Command(uint8_t command, uint8_t count = 0) {
    Packet p(kPacketSize, 0);
    p[0] = CMD_MARKER;
    p[1] = command;
    p[8] = count;
    return p;
  }
  // A whole layer's transaction: begin, command, ten packets, end, save.
  static void ExpectWholeLayer(const std::vector<Packet>& t, uint8_t command) {
    ASSERT_EQ(t.size(), 14u);
    EXPECT_EQ(t[0], Command(CMD_BEGIN));
    EXPECT_EQ(t[1], Command(command, 9));
    EXPECT_EQ(t[12], Command(CMD_END));
    EXPECT_EQ(t[13], Command(CMD_SAVE));
  }
  std::vector<bool> ReadBackFlags() {
    std::vector<bool> flags;
    for (const SimIo& io : sim_.log()) {
      if (io.node != NodeRole::kCommand || io.keyboard != 0) continue;
      if (io.kind == SimIo::Kind::kSend) flags.push_back(false);
      if (io.kind == SimIo::Kind::kGet && !flags.empty()) flags.back() = true;
    }
    return flags;
  }
  size_t CommandIo() {
    size_t n = 0;
    for (const SimIo& io : sim_.log()) n += io.node == NodeRole::kCommand && io.keyboard == 0;
    return n;
  }
  std::vector<int> SleepsOf(std::thread::id thread) {
    std::vector<int> out;
    for (const auto& s : clock_.sleeps())
      if (s.thread == thread) out.push_back(s.ms);
    return out;
  }
  // Runs task 4 on a thread of its own, as the worker does.
  std::thread RunTask4(KeyboardDlg& dlg) {
    dlg.PostTask(TaskSendKeyMap);
    return std::thread([&dlg] { dlg.Run(); });
  }

  // The profile on show: two layers with a macro, keys the layouts index differently and an
  // Fn-barred key; a new profile (otherProfile_) a different map. Returns the tables of the first.
  std::array<Packet, 2> StoreTwoProfiles(KeyboardDlg& dlg) {
    KeyProfileRow other;
    other.name = L"other";
    otherProfile_ = dlg.m_configDB.NewKeyProfile(&other);
    EXPECT_GT(otherProfile_, 3) << "after the built-in layouts";
    const int shown = dlg.m_keyProfileId.load();
    dlg.m_configDB.NewMacro(L"first");
    const int macro = dlg.m_configDB.NewMacro(L"second");
    Assign(dlg, shown, 0, 0x04, 2, 0x05, 0x03);  // A sends Ctrl+Shift+B
    Assign(dlg, shown, 0, 0xD1, 3, macro, 1, 4);
    Assign(dlg, shown, 0, 0xAF, 2, 0xAF);
    Assign(dlg, shown, 1, 0x04, 6, 1);     // play/pause
    Assign(dlg, shown, 1, 0xAF, 2, 0xAF);  // stored, but the keyboard gets no Fn-layer Fn key
    Assign(dlg, shown, 1, 0x2C, 8, 3);
    Assign(dlg, otherProfile_, 0, 0x05, 1, 1);
    Assign(dlg, otherProfile_, 1, 0x05, 1, 1);
    return {Table({{kIndexA, {0x02, 0x03, 0x05, 0}},
                   {kIndexExtra1, {0x06, 1, 1, 4}},
                   {kIndexFn, {0x02, 0, 0xAF, 0}}}),
            Table({{kIndexA, {0x03, 0xCD, 0, 0}}, {kIndexSpace, {0x05, 0x02, 0x03, 0}}})};
  }
  int otherProfile_ = 0;
};

TEST_F(KeyMapUploadTest, BothLayersOfTheCurrentProfileReachTheKeyboard) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const std::array<Packet, 2> expected = StoreTwoProfiles(dlg);
  const int savesBefore = sim_.keyboard(0).received().saves;
  dlg.PostTask(TaskSendKeyMap);
  dlg.Run();

  const auto transactions = Transactions();
  ASSERT_EQ(transactions.size(), 2u);
  ExpectWholeLayer(transactions[0], CMD_KEYMAP);
  ExpectWholeLayer(transactions[1], CMD_KEYMAP_FN);
  const auto received = sim_.keyboard(0).received();
  EXPECT_EQ(received.keyMap[0], expected[0]);
  EXPECT_EQ(received.keyMap[1], expected[1]);
  EXPECT_EQ(received.keyMapCount, (std::array<int, 2>{1, 1}));
  EXPECT_EQ(received.saves - savesBefore, 2);
  std::vector<bool> layer(14, false);
  layer[0] = layer[1] = layer[12] = layer[13] = true;
  std::vector<bool> both = layer;
  both.insert(both.end(), layer.begin(), layer.end());
  EXPECT_EQ(ReadBackFlags(), both);
  EXPECT_EQ(SleepsOf(std::this_thread::get_id()), std::vector<int>(36, 35)) << "the window's packet delay";
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);

  // The other profile's map, once it is the current one.
  sim_.clearLog();
  dlg.m_keyProfileId = otherProfile_;
  dlg.PostTask(TaskSendKeyMap);
  dlg.Run();
  EXPECT_EQ(sim_.keyboard(0).received().keyMap[0], Table({{kIndexB, {0x05, 0x03, 0, 0}}}));
  EXPECT_EQ(sim_.keyboard(0).received().keyMap[1], Table({{kIndexB, {0x05, 0x03, 0, 0}}}));
}

TEST_F(KeyMapUploadTest, BusyWhileEachLayerIsSentAndClearAfterwardsAlsoOnFailure) {
  KeyboardDlg& dlg = OpenIdleWindow();
  StoreTwoProfiles(dlg);
  for (int io : {1, kLayerIo, kLayerIo + 1, 2 * kLayerIo}) {
    SCOPED_TRACE(io);
    sim_.clearLog();
    sim_.keyboard(0).gateIo(NodeRole::kCommand, io);
    std::thread worker = RunTask4(dlg);
    const bool gated = sim_.keyboard(0).waitUntilGated(5000);
    const uint8_t busy = dlg.m_keyMapBusy.load();
    const size_t before = CommandIo();
    sim_.keyboard(0).releaseGate();
    worker.join();
    ASSERT_TRUE(gated);
    EXPECT_EQ(before, static_cast<size_t>(io - 1));
    EXPECT_EQ(busy, 1);
    EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);
  }

  // Every packet fails: both layers are tried, each failure is noted, the user is told once, and
  // the flag is clear.
  sim_.clearLog();
  sim_.keyboard(0).failSendsFrom(1);
  driver_.AnswerNextModal([](MDialog& box) { box.DoOK(); });
  dlg.PostTask(TaskSendKeyMap);
  dlg.Run();
  sim_.keyboard(0).failSendsFrom(0);
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);
  EXPECT_TRUE(Logged("key map: the keyboard did not receive every packet"));
  EXPECT_TRUE(Logged("Fn-layer key map: the keyboard did not receive every packet"));
  EXPECT_EQ(TransactionCommands(), (std::vector<uint8_t>{})) << "no packet arrived";
  // Per layer the four commands, and the block's first packet with its retries.
  EXPECT_EQ(CommandIo(), 2u * (4 + 11));
  zuvi_testing::Driver::RunUntil([&] { return dlg.m_transferPrompts.load() >= 1; });
  zuvi_testing::Driver::RunFor(50);
  EXPECT_EQ(dlg.m_transferPrompts.load(), 1);
  EXPECT_EQ(sim_.keyboard(0).received().keyMapCount, (std::array<int, 2>{4, 4}));  // from the rounds above

  // The keyboard went away: nothing is sent and the flag is clear.
  sim_.clearLog();
  manager_->CloseAll();
  dlg.PostTask(TaskSendKeyMap);
  dlg.Run();
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(dlg.m_keyMapBusy.load(), 0);
}

TEST_F(KeyMapUploadTest, AProfileChosenDuringLayerZeroDoesNotReachLayerOne) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const std::array<Packet, 2> profile1 = StoreTwoProfiles(dlg);
  sim_.keyboard(0).gateNextIo(NodeRole::kCommand);
  std::thread worker = RunTask4(dlg);
  const bool gated = sim_.keyboard(0).waitUntilGated(5000);
  dlg.m_keyProfileId = otherProfile_;  // the user picks another profile while layer 0 is on its way
  sim_.keyboard(0).releaseGate();
  worker.join();
  ASSERT_TRUE(gated);
  const auto received = sim_.keyboard(0).received();
  EXPECT_EQ(received.keyMap[0], profile1[0]);
  EXPECT_EQ(received.keyMap[1], profile1[1]);
}

TEST_F(KeyMapUploadTest, AMacroDownloadDuringTheTaskLeavesBothLayersWhole) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const std::array<Packet, 2> expected = StoreTwoProfiles(dlg);
  // The worker is inside layer 0 when the macro page starts its download on the UI thread; the
  // gate opens while the download waits for the keyboard.
  sim_.keyboard(0).gateNextIo(NodeRole::kCommand);
  std::thread worker = RunTask4(dlg);
  ASSERT_TRUE(sim_.keyboard(0).waitUntilGated(5000));
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sim_.keyboard(0).releaseGate();
  });
  const MacroDownloadResult download = dlg.DownloadMacros();
  opener.join();
  worker.join();
  EXPECT_EQ(download.status, MacroDownloadStatus::kSent);

  const auto transactions = Transactions();
  ASSERT_EQ(transactions.size(), 3u);
  ExpectWholeLayer(transactions[0], CMD_KEYMAP);
  size_t fnLayer = transactions[1][0] == Command(CMD_BEGIN) ? 1 : 2;  // the download came before or after it
  ExpectWholeLayer(transactions[fnLayer], CMD_KEYMAP_FN);
  const auto& macro = transactions[3 - fnLayer];
  ASSERT_GE(macro.size(), 3u);
  EXPECT_EQ(macro[0][kPacketCommandOffset], CMD_MACRO_BEGIN);
  EXPECT_EQ(macro[1][kPacketCommandOffset], CMD_MACRO_DATA);
  EXPECT_EQ(macro.size(), 3u + macro[1][8] + 1u);
  const auto received = sim_.keyboard(0).received();
  EXPECT_EQ(received.keyMap[0], expected[0]);
  EXPECT_EQ(received.keyMap[1], expected[1]);
  EXPECT_FALSE(received.macroMemory.empty());
}

}  // namespace
}  // namespace kb_test
