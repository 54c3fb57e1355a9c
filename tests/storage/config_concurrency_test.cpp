// One store shared by two threads, and two stores on one file.
#include <future>
#include <thread>

#include "store_fixture.h"

namespace {

TEST_F(StoreTest, TwoThreadsOnOneStoreEndWithConsistentCounts) {
  constexpr int kRounds = 40;
  const int macro = store_.NewMacro(L"shared");
  std::thread writer([&] {
    for (int i = 0; i < kRounds; ++i) {
      store_.SaveMacroRecords({{0, macro, 1, i, 0, L"a"}, {0, macro, 1, i, 1, L"b"}});
      store_.NewLedLayer(1, L"slot");
    }
  });
  int lastSeen = 0;
  bool evenAlways = true;
  for (int i = 0; i < kRounds; ++i) {
    std::vector<MacroRecordRow*> records;
    const int count = store_.GetMacroRecords(macro, records);
    evenAlways = evenAlways && count % 2 == 0 && count >= lastSeen;  // batches are whole
    lastSeen = count;
    FreeRows(records);
  }
  writer.join();
  EXPECT_TRUE(evenAlways);
  EXPECT_EQ(store_.CountMacroRecords(), 2 * kRounds);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_ledlayer_data"), kRounds);
}

TEST_F(StoreTest, AWriteOfASecondStoreWaitsForTheFirstStoresBatch) {
  ConfigDB dialog;
  ASSERT_TRUE(dialog.Open(folder_.wpath(), L"", L"kb"));
  // The batch's commit pauses while it holds the write lock; the dialog writes meanwhile.
  struct Gate {
    std::promise<void> locked;
    bool fired = false;
  } gate;
  sqlite3_commit_hook(
      store_.db.Handle(),
      [](void* arg) {
        auto* gate = static_cast<Gate*>(arg);
        if (!gate->fired) {
          gate->fired = true;
          gate->locked.set_value();
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        return 0;
      },
      &gate);
  int dialogMacro = 0;
  std::thread single([&] {
    if (gate.locked.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready)
      dialogMacro = dialog.NewMacro(L"from the dialog");
  });
  store_.SaveLedFrames({{0, 1, L"a", 40, 0, L"a.bin"}, {0, 1, L"b", 40, 1, L"b.bin"}});
  single.join();
  sqlite3_commit_hook(store_.db.Handle(), nullptr, nullptr);
  EXPECT_EQ(dialogMacro, 1);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_ledframe_data"), 2);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_macro_data"), 1);
}

}  // namespace
