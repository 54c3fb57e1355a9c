// Opening, start-up and teardown of the keyboard window.
#include <signal.h>
#include <sys/wait.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <atomic>

#include "common/lang_text.h"
#include "keyboard_fixture.h"
#include "zuvi/tab.h"

namespace kb_test {
namespace {

TEST_F(KeyboardTest, FreshStartCreatesTheStoreQueuesTheStartTasksAndListensToItsKeyboard) {
  KeyboardDlg& dlg = OpenWindow();
  EXPECT_TRUE(std::filesystem::exists(StorePath()));
  EXPECT_TRUE(dlg.m_configDB.opened);
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskReloadAll, TaskInitMusic, TaskSyncPages}));
  EXPECT_FALSE(dlg.IsWorkerRunning()) << "manual mode starts no thread";
  // Capabilities of a valid device.xml, then the parent remembered before the window existed.
  EXPECT_EQ(dlg.m_packetDelay, 35);
  EXPECT_EQ(dlg.m_firmwareVersion, L"0100");
  EXPECT_EQ(dlg.m_updaterFile, L"kelvane-fwupdate");
  EXPECT_EQ(dlg.m_hwndMain, main_.GetSafeHwnd());
  EXPECT_EQ(dlg.m_layoutName, L"V108");
  // The listener reads the vendor collection of keyboard 0, found by its ids.
  EXPECT_EQ(listenersMade_, 1);
  EXPECT_TRUE(zuvi_testing::Driver::RunUntil([&] { return sim_.keyboard(0).activeReaders() == 1; }));
  EXPECT_EQ(sim_.keyboard(0).openHandles(NodeRole::kVendor), 1);

  // The first start: the new file has no version row yet, so it is made once more; the first
  // page sync writes the rows, after which a restart keeps the file.
  Drain(dlg);
  EXPECT_EQ(QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='version'"),
            "1.0.1");
  dlg_.reset();
  EXPECT_EQ(sim_.keyboard(0).openHandles(NodeRole::kVendor), 0) << "the listener closed its node";
  ASSERT_TRUE(Exec(StorePath(), "UPDATE t_configdata SET value='kept' WHERE key='sleep_light'"));
  OpenWindow();
  EXPECT_EQ(QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='sleep_light'"),
            "kept");
}

TEST_F(KeyboardTest, ARescanGivesTheWindowItsNewIndexAndARestartedListener) {
  KeyboardDlg& dlg = OpenWindow();
  ASSERT_TRUE(zuvi_testing::Driver::RunUntil([&] { return sim_.keyboard(0).activeReaders() == 1; }));
  sim_.keyboard(0).unplug();
  manager_->Reopen();
  dlg.SetDeviceIndex(-1);
  sim_.keyboard(0).replug();
  manager_->Reopen();
  dlg.SetDeviceIndex(manager_->Find(kVid, kPid, L""));
  dlg.RestartListener();
  EXPECT_EQ(dlg.GetDeviceIndex(), 0);
  EXPECT_TRUE(zuvi_testing::Driver::RunUntil([&] { return sim_.keyboard(0).activeReaders() == 1; }));
  EXPECT_EQ(sim_.keyboard(0).openHandles(NodeRole::kVendor), 1) << "the node of the old plug-in was closed";
}

// The copies that replaced stores left in the db folder, oldest first.
std::vector<std::string> StoreCopies(const std::string& storePath) {
  std::vector<std::string> copies;
  const std::filesystem::path store(storePath);
  for (const auto& entry : std::filesystem::directory_iterator(store.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(store.filename().string() + ".") && name.ends_with(".bak"))
      copies.push_back(entry.path().string());
  }
  std::sort(copies.begin(), copies.end());
  return copies;
}

// Overwrites `length` bytes at `offset` of a file.
void Overwrite(const std::string& path, std::streamoff offset, size_t length) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(offset);
  file << std::string(length, '\x5A');
}

TEST_F(KeyboardTest, AStoreThatIsReplacedIsRenamedAsideWithTheUsersRows) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> damage;
  };
  const Case cases[] = {
      {"another version",
       [](const std::string& p) { Exec(p, "UPDATE t_configdata SET value='1.0.0' WHERE key='version'"); }},
      {"no version row",
       [](const std::string& p) { Exec(p, "DELETE FROM t_configdata WHERE key='version'"); }},
      {"no settings table", [](const std::string& p) { Exec(p, "DROP TABLE t_configdata"); }},
      {"settings root page overwritten",
       [](const std::string& p) {
         const int page = std::stoi(QueryText(p, "PRAGMA page_size"));
         const int root =
             std::stoi(QueryText(p, "SELECT rootpage FROM sqlite_master WHERE name='t_configdata'"));
         Overwrite(p, static_cast<std::streamoff>(root - 1) * page + 8, 32);
       }},
      {"cut to half its size",
       [](const std::string& p) { std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(UserFolder() + "db");
    std::filesystem::create_directories(UserFolder() + "db");
    KeyboardDlg& dlg = OpenWindow();
    Drain(dlg);
    dlg_.reset();
    // 20 macros, 56 key rows and 100 frames of the user's.
    std::string fill = "BEGIN;";
    for (int i = 0; i < 20; ++i)
      fill += "INSERT INTO t_macro_data(name) VALUES ('mine" + std::to_string(i) + "');";
    for (int i = 0; i < 56; ++i)
      fill += "INSERT INTO t_key_data(profile, keyvalue, fnlayer, macrovalue) VALUES (1, " +
              std::to_string(i + 4) + ", 0, 7);";
    fill += "INSERT INTO t_ledlayer_data(profile, name) VALUES (1, 'slot');";
    for (int i = 0; i < 100; ++i)
      fill += "INSERT INTO t_ledframe_data(led_id, frame_index, file_name) SELECT max(led_id), " +
              std::to_string(i) + ", 'f" + std::to_string(i) + ".png' FROM t_ledlayer_data;";
    ASSERT_TRUE(Exec(StorePath(), fill + "COMMIT;"));
    const std::string before = QueryText(StorePath(), "SELECT count(*) FROM t_macro_data");
    std::filesystem::copy_file(StorePath(), UserFolder() + "db/intact.db");
    c.damage(StorePath());

    KeyboardDlg& reopened = OpenWindow();
    EXPECT_TRUE(reopened.m_configDB.opened);
    EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data"), "0");
    EXPECT_NE(QueryText(StorePath(), "SELECT count(*) FROM t_keyprofile"), "0")
        << "default rows of a new store";
    const std::vector<std::string> copies = StoreCopies(StorePath());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(Logged(copies[0])) << "the log names the copy";
    // The copy is the file as it was, damage included: byte for byte what the user had.
    const std::string intact = ReadFile(UserFolder() + "db/intact.db");
    std::string copied = ReadFile(copies[0]);
    EXPECT_EQ(copied.size(),
              std::string(c.what) == "cut to half its size" ? intact.size() / 2 : intact.size());
    if (std::string(c.what) != "cut to half its size" &&
        std::string(c.what).find("overwritten") == std::string::npos) {
      EXPECT_EQ(QueryText(copies[0], "SELECT count(*) FROM t_macro_data"), before);
    }
    dlg_.reset();
  }
  // A file that is not a database at all.
  std::ofstream(StorePath(), std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
  KeyboardDlg& dlg = OpenWindow();
  EXPECT_TRUE(dlg.m_configDB.opened);
  EXPECT_NE(QueryText(StorePath(), "SELECT count(*) FROM t_keyprofile"), "0");
  EXPECT_EQ(StoreCopies(StorePath()).size(), 2u);
}

TEST_F(KeyboardTest, OversizedAndLongLanguageFilesDoNotHoldTheWindowUp) {
  const std::string lan = app_.path() + "language/1033.lan";
  struct Case {
    const char* what;
    std::function<void()> write;
    const wchar_t* profileName;
  };
  const Case cases[] = {
      {"100 MB", [&] { std::filesystem::resize_file(lan, 100u << 20); }, L""},
      {"300,000 lines",
       [&] {
         std::string text = "[KB.DIALOG]\n150=Long file\n";
         for (int i = 0; i < 300000; ++i) text += "9" + std::to_string(i) + "=x\n";
         app_.Write("language/1033.lan", text);
       },
       L"Long file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteShippedDataFiles();
    c.write();
    const IniReadCounts before = GetIniReadCounts();
    KeyboardDlg& dlg = OpenWindow();
    const IniReadCounts after = GetIniReadCounts();
    // The oversized file is never read; the long one is parsed once for every text the window shows.
    EXPECT_LE(after.parses - before.parses, 1u);
    EXPECT_LE(after.bytesRead - before.bytesRead, kMaxIniFileBytes + 1);
    EXPECT_EQ(dlg.m_configDB.defaultProfileName, c.profileName);
    dlg_.reset();
    std::filesystem::remove(lan);
    std::filesystem::remove_all(UserFolder() + "db");
    std::filesystem::create_directories(UserFolder() + "db");
  }
}

TEST_F(KeyboardTest, AStoreThatCannotBeReadNowIsKeptWithItsRows) {
  KeyboardDlg& first = OpenWindow();
  Drain(first);
  dlg_.reset();
  ASSERT_TRUE(Exec(StorePath(), "INSERT INTO t_macro_data(name) VALUES ('mine')"));
  // Another connection holds the file exclusively while the window starts.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(StorePath().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  // It lets go once the window's version read has given up waiting for it (however long the
  // window takes to get there).
  std::thread release([&] {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Logged("the file is kept") && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  });
  KeyboardDlg& dlg = OpenWindow();
  release.join();
  sqlite3_close(holder);
  EXPECT_TRUE(Logged("the file is kept"));
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data WHERE name='mine'"), "1");
  EXPECT_EQ(dlg.QueuedTasks().size(), 3u) << "the window goes on";
}

TEST_F(KeyboardTest, AnIdentifyThatLeavesTheDbFolderOpensNoStore) {
  const std::string outside = docs_.path() + "Varnel Keyboard Files/victim_data.db";
  std::ofstream(outside) << "not a store";
  KeyboardDlg& dlg = OpenWindow(KeyboardDlg::WorkerMode::kManual, L"../victim");
  EXPECT_FALSE(dlg.m_configDB.opened);
  EXPECT_TRUE(Logged("cannot name a store file"));
  EXPECT_EQ(ReadFile(outside), "not a store");
  Drain(dlg);  // the tasks run on a closed store without harm
}

TEST_F(KeyboardTest, TheLastTabIsRestoredAndBadPositionsSelectTheFirst) {
  KeyboardDlg& prepared = OpenWindow();
  Drain(prepared);
  dlg_.reset();
  struct Case {
    const char* stored;
    int position;
    int tab;
  };
  // Positions with every capability on: 1 keys, 2 macros, 3 lighting, 8 screen, 7, 4, 5, 6.
  for (const Case& c :
       {Case{"3", 3, TabScreen}, Case{"7", 7, TabSettings}, Case{"abc", 0, TabKeyAssign},
        Case{"-2", 0, TabKeyAssign}, Case{"8", 0, TabKeyAssign}, Case{"2x", 2, TabLighting}}) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(Exec(StorePath(),
                     std::string("UPDATE t_configdata SET value='") + c.stored + "' WHERE key='tab_item'"));
    KeyboardDlg& dlg = OpenWindow();
    auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetItemCount(), 8);
    EXPECT_EQ(tabs->GetSelectItem(), c.position);
    EXPECT_EQ(dlg.m_curTab.load(), c.tab);
    EXPECT_EQ(QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='tab_item'"),
              std::to_string(c.position));
    dlg_.reset();
  }
}

TEST_F(KeyboardTest, TabPositionsFollowTheCapabilities) {
  KeyboardDlg& dlg = MakeWindow();
  dlg.m_isRgb = 0;  // single colour: no custom light effect page
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  ASSERT_NE(tabs, nullptr);
  std::vector<int> ids;
  for (int i = 0; i < tabs->GetItemCount(); ++i) ids.push_back(tabs->GetItemID(i));
  EXPECT_EQ(ids, (std::vector<int>{TabKeyAssign, TabMacro, TabLighting, TabScreen, TabCustomLightMode,
                                   TabMusic, TabSettings}));
  EXPECT_EQ(dlg.m_hasCustomLight, 0);
  EXPECT_EQ(dlg.GetCustomLightView(kb_ids::kCustomLightView), nullptr);
  EXPECT_NE(dlg.GetCustomLightView(kb_ids::kCustomLightModeView), nullptr);
}

TEST_F(KeyboardTest, TheFirmwareTimerFiresOnce) {
  KeyboardDlg& dlg = OpenWindow();
  EXPECT_TRUE(dlg.IsTimerActive(KeyboardDlg::kTimerFirmwareCheck));
  EXPECT_TRUE(zuvi_testing::Driver::FireTimer(dlg, KeyboardDlg::kTimerFirmwareCheck));
  zuvi_testing::Driver::RunFor(10);
  EXPECT_FALSE(dlg.IsTimerActive(KeyboardDlg::kTimerFirmwareCheck));
  EXPECT_FALSE(zuvi_testing::Driver::FireTimer(dlg, KeyboardDlg::kTimerFirmwareCheck));
}

// Qt keeps a record per widget that accessibility has seen (a widget whose enabled state changed,
// for one) and drops it when the widget goes; a window that cut that connection left every record
// behind on each opening. Counted: the records of the window's widgets left after it closed.
TEST_F(KeyboardTest, OpeningAndClosingTheWindowLeavesNoRecordOfItsWidgets) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    KeyboardDlg& dlg = OpenIdleWindow();
    ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, 1));  // controls change state
    std::vector<std::pair<QPointer<QObject>, QAccessible::Id>> records;
    for (MControl* control : dlg.Controls()) {
      QObject* widget = control->GetWidget();
      if (QAccessibleInterface* record = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr)
        records.emplace_back(widget, QAccessible::uniqueId(record));
    }
    ASSERT_GT(records.size(), 50u);
    EXPECT_TRUE(dlg.DestroyWindow());
    dlg_.reset();
    // The window's widget goes with its controls' widgets once deferred deletes run.
    const auto gone = [&] {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return std::none_of(records.begin(), records.end(), [](const auto& record) { return record.first; });
    };
    ASSERT_TRUE(zuvi_testing::Driver::RunUntil(gone, 5000));
    size_t left = 0;
    for (const auto& [widget, id] : records) left += QAccessible::accessibleInterface(id) ? 1 : 0;
    EXPECT_EQ(left, 0u) << "of " << records.size();
  }
}

TEST_F(KeyboardTest, DestroyingWithoutAListenerSkipsItAndTheObjectCanGoAtOnce) {
  KeyboardDlg& dlg = MakeWindow();
  KeyboardDlg::Services services = TestServices();
  services.makeListener = [](PostMessageFn) { return std::unique_ptr<HidReportListener>(); };
  dlg.SetServices(services);
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  EXPECT_EQ(dlg.m_listener, nullptr);
  EXPECT_TRUE(dlg.DestroyWindow());
  EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
  dlg.Run();  // no pass after the end
  EXPECT_EQ(dlg.QueuedTasks().size(), 3u);
  dlg_.reset();
}

TEST_F(KeyboardTest, ShowRunsTheModalLoopUntilTheWindowIsDestroyed) {
  KeyboardDlg& dlg = MakeWindow(KeyboardDlg::WorkerMode::kThread);
  // Once the loop runs, the main window ends the keyboard window, as its home list would.
  main_.onMessage = [&](UINT message) {
    if (message == WM_USER + 1) dlg.DestroyWindow();
  };
  driver_.AnswerNextModal([&](MDialog&) { PostMessage(main_.GetSafeHwnd(), WM_USER + 1, 0, 0); });
  EXPECT_EQ(dlg.Show(main_.GetSafeHwnd()), 0);
  EXPECT_FALSE(dlg.IsWorkerRunning());
  EXPECT_EQ(dlg.m_listener, nullptr);
  EXPECT_EQ(sim_.keyboard(0).openHandles(NodeRole::kVendor), 0);
}

TEST_F(KeyboardTest, DestroyWaitsForAPassBlockedInATransferThenJoinsIt) {
  KeyboardDlg& dlg = OpenWindow(KeyboardDlg::WorkerMode::kThread);
  EXPECT_TRUE(dlg.IsWorkerRunning());
  // Let the start tasks finish, then hold the next transfer inside the keyboard.
  ASSERT_TRUE(zuvi_testing::Driver::RunUntil([&] { return dlg.QueuedTasks().empty(); }, 30000));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  sim_.keyboard(0).gateNextIo(NodeRole::kCommand);
  dlg.PostTask(TaskSendSystemSettings);
  ASSERT_TRUE(sim_.keyboard(0).waitUntilGated(3000));
  std::atomic<bool> released{false};
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    released = true;
    sim_.keyboard(0).releaseGate();
  });
  EXPECT_TRUE(dlg.DestroyWindow());
  // The bounded wait ran out, then the join waited for the transfer to end.
  EXPECT_TRUE(released) << "the window ended while a transfer was still held";
  releaser.join();
  EXPECT_FALSE(dlg.IsWorkerRunning());
  const size_t packets = Sent().size();
  dlg.PostTask(TaskSendSystemSettings);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Sent().size(), packets) << "no pass after the window ended";
  EXPECT_EQ(dlg.m_listener, nullptr);
  dlg_.reset();
}

TEST_F(KeyboardTest, DestroyEndsAWaitForARunningUpdaterWithinTheBound) {
  KeyboardDlg& dlg = OpenWindow(KeyboardDlg::WorkerMode::kThread);
  ASSERT_TRUE(zuvi_testing::Driver::RunUntil([&] { return dlg.QueuedTasks().empty(); }, 30000));
  // Far longer than the test's time-out: a window that waits for the updater never ends.
  const pid_t updater = SpawnSleep("3600");
  ASSERT_GT(updater, 0);
  dlg.m_updaterProcessId = static_cast<unsigned int>(updater);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the worker is waiting now
  EXPECT_TRUE(dlg.DestroyWindow());
  EXPECT_EQ(waitpid(updater, nullptr, WNOHANG), 0) << "the updater still runs";
  EXPECT_EQ(dlg.m_updaterProcessId.load(), static_cast<unsigned int>(updater))
      << "a stopped wait keeps the id";
  EXPECT_EQ(kill(updater, 0), 0);
  kill(updater, SIGKILL);
  waitpid(updater, nullptr, 0);
  dlg_.reset();
}

TEST_F(KeyboardTest, TheThreadedWorkerRunsTheStartTasksOnePerPass) {
  KeyboardDlg& dlg = OpenWindow(KeyboardDlg::WorkerMode::kThread);
  ASSERT_TRUE(zuvi_testing::Driver::RunUntil([&] { return dlg.QueuedTasks().empty(); }, 30000));
  // The start tasks send one transfer; the page's idle job may follow it once the list is empty.
  ASSERT_TRUE(zuvi_testing::Driver::RunUntil([&] { return !TransactionCommands().empty(); }, 30000));
  EXPECT_EQ(TransactionCommands().front(), CMD_SYSTEM_SETTINGS);
  dlg_.reset();  // deleting a running window stops and joins its worker first
}

}  // namespace
}  // namespace kb_test
