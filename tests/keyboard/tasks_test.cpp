// The task list and the worker pass, driven one pass at a time.
#include <signal.h>
#include <sys/wait.h>

#include <atomic>

#include "keyboard_fixture.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

// A pass on a thread of its own, so that the test can look at the window while it runs.
class PassThread {
 public:
  explicit PassThread(KeyboardDlg& dlg)
      : thread_([this, &dlg] {
          dlg.Run();
          done_ = true;
        }) {}
  ~PassThread() {
    if (thread_.joinable()) thread_.join();
  }
  // Joins when the pass ends within `timeoutMs` (real time); false otherwise.
  bool JoinWithin(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done_ && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!done_) return false;
    thread_.join();
    return true;
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

class TaskTest : public KeyboardTest {
 protected:
  KeyboardDlg& Ready() {
    KeyboardDlg& dlg = OpenWindow();
    Drain(dlg);
    sim_.clearLog();
    clock_.clearSleeps();
    return dlg;
  }
};

// The controls the bracket touches, and the two it leaves alone.
const int kBracketIds[] = {40, 41, 44, 48, 50, 51, 52, 53, 54, 55, 56, 57, 58};

TEST_F(TaskTest, TasksRunInOrderOnePerPassWithDuplicatesAndUnknownCodesOnlyBracketed) {
  KeyboardDlg& dlg = Ready();
  for (int code :
       std::initializer_list<int>{TaskSendSystemSettings, 0, TaskSetClockAndLcdSlot, 13,
                                  TaskSendSystemSettings, TaskControlsOnly, TaskSendSystemSettings})
    dlg.PostTask(code);
  std::vector<std::vector<uint8_t>> perPass;
  for (int pass = 0; pass < 8; ++pass) {
    sim_.clearLog();
    dlg.Run();
    perPass.push_back(TransactionCommands());
  }
  using C = std::vector<uint8_t>;
  EXPECT_EQ(perPass, (std::vector<C>{C{CMD_SYSTEM_SETTINGS}, C{}, C{CMD_CLOCK}, C{}, C{CMD_SYSTEM_SETTINGS},
                                     C{}, C{CMD_SYSTEM_SETTINGS}, C{}}));
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  for (int id : kBracketIds) EXPECT_TRUE(dlg.GetControl(id)->IsEnabled()) << id;
}

TEST_F(TaskTest, ControlsAreDisabledWhileATaskRunsAndQueueingStaysOpen) {
  KeyboardDlg& dlg = Ready();
  sim_.keyboard(0).gateNextIo(NodeRole::kCommand);
  dlg.PostTask(TaskSendSystemSettings);
  PassThread pass(dlg);
  ASSERT_TRUE(sim_.keyboard(0).waitUntilGated(3000));
  for (int id : kBracketIds) EXPECT_FALSE(dlg.GetControl(id)->IsEnabled()) << id;
  EXPECT_TRUE(dlg.GetControl(45)->IsEnabled());
  EXPECT_TRUE(dlg.GetControl(46)->IsEnabled());
  // The list is not locked while the task runs: queueing from here does not wait for it.
  dlg.PostTask(TaskSetClockAndLcdSlot);
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSetClockAndLcdSlot});
  sim_.keyboard(0).releaseGate();
  ASSERT_TRUE(pass.JoinWithin(3000));
  for (int id : kBracketIds) EXPECT_TRUE(dlg.GetControl(id)->IsEnabled()) << id;
}

TEST_F(TaskTest, OnTheScreenPageTheEditingToolsFollowTheSlotSelection) {
  KeyboardDlg& dlg = Ready();
  // The page's slot list, read as a list box.
  auto* list = dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
  MControl* tool = dlg.GetControl(326);
  MControl* lastTool = dlg.GetControl(366);
  ASSERT_TRUE(list && tool && lastTool);
  list->ResetContent();
  for (int i = 0; i < 3; ++i) list->AddItem(L"", L"", 0, 10 + i);
  QelListBox* slots = list;
  dlg.m_curTab = TabScreen;

  slots->SetCurSel(0);
  dlg.PostTask(TaskControlsOnly);
  dlg.Run();
  EXPECT_FALSE(tool->IsEnabled()) << "the first slot cannot be edited, also after the bracket's enable";
  EXPECT_FALSE(lastTool->IsEnabled());

  slots->SetCurSel(1);
  dlg.EnableDialogControls(false);
  EXPECT_TRUE(tool->IsEnabled()) << "the tools follow the selection, not the argument";
  EXPECT_TRUE(lastTool->IsEnabled());

  // On another page the tools are left as they are.
  dlg.m_curTab = TabSettings;
  dlg.EnableLcdEditControls(false);
  dlg.PostTask(TaskControlsOnly);
  dlg.Run();
  EXPECT_FALSE(tool->IsEnabled());
}

TEST_F(TaskTest, WithoutADeviceNothingRunsAndTheQueueWaitsForTheNextIndex) {
  KeyboardDlg& dlg = Ready();
  // An updater that has already ended and was collected: the pass would reopen at once.
  const pid_t gone = SpawnSleep("0");
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  dlg.SetDeviceIndex(-1);
  dlg.m_updaterProcessId = static_cast<unsigned int>(gone);
  dlg.EnableDialogControls(false);  // as the updater's launcher leaves them
  dlg.PostTask(TaskSendSystemSettings);
  dlg.PostTask(TaskSetClockAndLcdSlot);
  for (int i = 0; i < 3; ++i) dlg.Run();
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSendSystemSettings, TaskSetClockAndLcdSlot}));
  EXPECT_EQ(dlg.m_updaterProcessId.load(), static_cast<unsigned int>(gone)) << "the updater step is skipped";
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(dlg.GetControl(44)->IsEnabled());

  // A rescan gives the window its keyboard again: the updater step finds its process gone,
  // reopens, and the first task runs in the same pass.
  dlg.SetDeviceIndex(0);
  dlg.Run();
  EXPECT_EQ(dlg.m_updaterProcessId.load(), 0u);
  EXPECT_EQ(TransactionCommands(), std::vector<uint8_t>{CMD_SYSTEM_SETTINGS});
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSetClockAndLcdSlot});
  EXPECT_TRUE(dlg.GetControl(44)->IsEnabled());
}

TEST_F(TaskTest, AfterTheUpdaterEndsTheKeyboardIsReopenedBeforeTheFirstTask) {
  KeyboardDlg& dlg = Ready();
  dlg.EnableDialogControls(false);
  main_.ShowWindow(SW_HIDE);
  zuvi_testing::Driver::RunFor(10);
  const int showsBefore = main_.shows;
  const pid_t updater = SpawnSleep("0.3");
  ASSERT_GT(updater, 0);
  dlg.m_updaterProcessId = static_cast<unsigned int>(updater);
  dlg.PostTask(TaskSendSystemSettings);
  // The firmware update re-enumerates the keyboard: its old handles are dead.
  sim_.keyboard(0).unplug();
  sim_.keyboard(0).replug();

  const auto start = std::chrono::steady_clock::now();
  PassThread pass(dlg);
  ASSERT_TRUE(pass.JoinWithin(5000)) << "the pass needs nothing of the UI thread";
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(waitpid(updater, nullptr, WNOHANG), -1) << "the updater was reaped";
  EXPECT_EQ(dlg.m_updaterProcessId.load(), 0u);
  EXPECT_TRUE(dlg.GetControl(44)->IsEnabled());
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  // Sent on the new handles, so the reopen came first.
  EXPECT_EQ(TransactionCommands(), std::vector<uint8_t>{CMD_SYSTEM_SETTINGS});
  // The main window is shown once the UI thread runs again.
  EXPECT_TRUE(zuvi_testing::Driver::RunUntil([&] { return main_.shows > showsBefore; }));
}

TEST_F(TaskTest, ScreenTasksEndTheirWaitWindowsWithoutTheUiThread) {
  KeyboardDlg& dlg = Ready();
  auto wait1 = std::make_shared<MainStandIn>();
  auto wait2 = std::make_shared<MainStandIn>();
  ASSERT_TRUE(wait1->Create(main_.GetSafeHwnd(), L"LEDWaitDlg", WS_POPUP, RECT{0, 0, 200, 100}));
  ASSERT_TRUE(wait2->Create(main_.GetSafeHwnd(), L"LEDWaitDlg2", WS_POPUP, RECT{0, 0, 200, 100}));
  dlg.SetWaitDlg(wait1);
  dlg.SetWaitDlg2(wait2);
  dlg.PostTask(TaskSendLcdAnimation);
  {
    PassThread pass(dlg);
    ASSERT_TRUE(pass.JoinWithin(3000));
  }
  EXPECT_EQ(dlg.m_lcdBusy.load(), 0);
  // Both ends were requested before the loops ran: the loops end at once.
  EXPECT_EQ(wait1->ShowModal(SW_SHOW), IDOK);
  EXPECT_EQ(wait2->ShowModal(SW_SHOW), IDOK);

  // Export and import end only the first; a published dialog may be ended twice.
  dlg.PostTask(TaskSaveLcdGif);
  dlg.PostTask(TaskImportLcdGif);
  dlg.Run();
  EXPECT_EQ(wait1->ShowModal(SW_SHOW), IDOK);
  dlg.Run();
  EXPECT_EQ(wait1->ShowModal(SW_SHOW), IDOK);
  // With nothing published the task runs all the same.
  dlg.SetWaitDlg(nullptr);
  dlg.SetWaitDlg2(nullptr);
  wait1->DestroyWindow();
  wait2->DestroyWindow();
  dlg.PostTask(TaskSendLcdAnimation);
  dlg.Run();
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(TaskTest, QueueingFromSeveralThreadsLosesNothing) {
  KeyboardDlg& dlg = Ready();
  constexpr int kPerThread = 400;
  std::atomic<bool> go{false};
  auto poster = [&](int code) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kPerThread; ++i) dlg.PostTask(code);
  };
  constexpr int kPasses = 50;
  for (int i = 0; i < kPasses; ++i) dlg.PostTask(TaskControlsOnly);  // every pass finds a task
  std::thread a(poster, 100);
  std::thread b(poster, 200);
  go = true;
  for (int i = 0; i < kPasses; ++i) dlg.Run();  // the passes take codes while the others add them
  a.join();
  b.join();
  const std::vector<int> left = dlg.QueuedTasks();
  EXPECT_EQ(left.size(), 2u * kPerThread);
  EXPECT_EQ(std::count(left.begin(), left.end(), 100), kPerThread);
  EXPECT_EQ(std::count(left.begin(), left.end(), 200), kPerThread);
  EXPECT_TRUE(Sent().empty()) << "unknown codes send nothing";
}

TEST_F(TaskTest, TheFirstPageSyncLeavesTheProfileRowsAndSendsTheSettings) {
  KeyboardDlg& dlg = OpenWindow();
  dlg.m_curLightMode = 11;  // the selected default mode: the page will load it afresh
  dlg.Run();                // 1
  dlg.Run();                // 2
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_light_data WHERE profile=1"), "0");
  dlg.Run();  // 3
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_light_data WHERE profile=1"), "20");
  EXPECT_EQ(QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='version'"),
            "1.0.1");
  EXPECT_EQ(dlg.m_curLightMode.load(), 11) << "reloaded and queued";
  EXPECT_EQ(TransactionCommands(), std::vector<uint8_t>{CMD_SYSTEM_SETTINGS});
}

// The lighting and custom light pages talk to the keyboard when idle (lighting_test.cpp).
TEST_F(TaskTest, AnIdlePassOnAPageWithoutIdleTransfersTouchesNothing) {
  KeyboardDlg& dlg = Ready();
  const auto before = std::filesystem::last_write_time(StorePath());
  for (int tab : std::initializer_list<int>{0, TabKeyAssign, TabMusic, TabScreen}) {
    dlg.m_curTab = tab;
    dlg.Run();
  }
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(std::filesystem::last_write_time(StorePath()), before);
}

}  // namespace
}  // namespace kb_test
