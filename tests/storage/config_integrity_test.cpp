// What keeps the user's rows whole: operations of several statements that take effect whole or not
// at all, rows left without their parent by older files, counts that ignore such rows, reads of a
// damaged table, and stores that are moved aside instead of deleted.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

class IntegrityTest : public StoreTest {
 protected:
  // Makes every delete from `table` fail, as a process killed between two statements would leave
  // the first one done and the second not.
  void FailDeletesFrom(const std::string& table) {
    ASSERT_EQ(Raw().Exec("CREATE TRIGGER faildel_" + table + " BEFORE DELETE ON " + table +
                         " BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }
  void MakeCurrent() { store_.InitProfileLightData(1); }
};

TEST_F(IntegrityTest, AFailingSecondStatementLeavesNothingHalfDone) {
  struct Case {
    const char* childTable;
    std::function<int(ConfigDB&)> makeParent;  // with one child row
    std::function<bool(ConfigDB&, int)> remove;
    const char* parentCount;
    const char* childCount;
  };
  const Case cases[] = {
      {"t_macrorecord",
       [](ConfigDB& s) {
         const int id = s.NewMacro(L"m");
         s.SaveMacroRecords({MacroRecordRow{0, id, 2, 0, 65, L"A"}});
         return id;
       },
       [](ConfigDB& s, int id) { return s.DeleteMacro(id); }, "SELECT count(*) FROM t_macro_data",
       "SELECT count(*) FROM t_macrorecord"},
      {"t_ledframe_data",
       [](ConfigDB& s) {
         const int id = s.NewLedLayer(1, L"slot");
         s.SaveLedFrames({LedFrameRow{0, id, L"f", 20, 0, L"f.png"}});
         return id;
       },
       [](ConfigDB& s, int id) { return s.DeleteLedLayer(id); }, "SELECT count(*) FROM t_ledlayer_data",
       "SELECT count(*) FROM t_ledframe_data"},
      {"t_customrgb_data",
       [](ConfigDB& s) {
         const int id = s.NewCustomLight(1, L"fx");
         CustomRgbRow row;
         row.customlight_id = id;
         row.keycode = 4;
         row.light_mode = 1;
         s.SetCustomRgb(&row);
         return id;
       },
       [](ConfigDB& s, int id) { return s.DeleteCustomLight(id); }, "SELECT count(*) FROM t_customlight_data",
       "SELECT count(*) FROM t_customrgb_data"},
      {"t_custommodergb_data",
       [](ConfigDB& s) {
         const int id = s.NewCustomLightMode(1, L"mode");
         CustomRgbRow row;
         row.customlight_id = id;
         row.keycode = 4;
         row.light_mode = 1;
         s.SetCustomModeRgb(&row);
         return id;
       },
       [](ConfigDB& s, int id) { return s.DeleteCustomLightMode(id); },
       "SELECT count(*) FROM t_customlightmode_data", "SELECT count(*) FROM t_custommodergb_data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.childTable);
    const int id = c.makeParent(store_);
    ASSERT_GT(id, 0);
    const int parents = Raw().Int(c.parentCount);
    const int children = Raw().Int(c.childCount);
    FailDeletesFrom(c.childTable);
    EXPECT_FALSE(c.remove(store_, id));
    EXPECT_EQ(Raw().Int(c.parentCount), parents) << "the first delete was undone";
    EXPECT_EQ(Raw().Int(c.childCount), children);
    ASSERT_EQ(Raw().Exec(std::string("DROP TRIGGER faildel_") + c.childTable), SQLITE_OK);
    EXPECT_TRUE(c.remove(store_, id));
    EXPECT_EQ(Raw().Int(c.parentCount), parents - 1);
    EXPECT_EQ(Raw().Int(c.childCount), children - 1);
  }
}

TEST_F(IntegrityTest, AReplaceWhoseInsertFailsKeepsTheOldRow) {
  KeyDataRow key;
  key.profile = 1;
  key.keyvalue = 4;
  key.macrovalue = 7;
  ASSERT_GT(store_.SetKeyData(key), 0);
  FailInsertsInto("t_key_data");
  key.macrovalue = 9;
  EXPECT_EQ(store_.SetKeyData(key), 0);
  EXPECT_EQ(Raw().Rows("SELECT macrovalue FROM t_key_data WHERE profile=1 AND keyvalue=4 AND fnlayer=0"),
            std::vector<std::string>{"7"});
}

TEST_F(IntegrityTest, OpeningAnOlderFileRemovesOrphansAndCountsIgnoreThem) {
  MakeCurrent();
  const int macro = store_.NewMacro(L"kept");
  store_.SaveMacroRecords(
      {MacroRecordRow{0, macro, 2, 0, 65, L"A"}, MacroRecordRow{0, macro, 3, 1, 65, L"A"}});
  const int slot = store_.NewLedLayer(1, L"slot");
  store_.SaveLedFrames({LedFrameRow{0, slot, L"f", 20, 0, L"f.png"}});
  // What a delete killed half-way left behind: 700 events, frames and colours without parents.
  std::string orphans = "BEGIN;";
  for (int i = 0; i < 700; ++i)
    orphans += "INSERT INTO t_macrorecord(macro_id, type, value) VALUES (999, 2, 65);";
  orphans += "INSERT INTO t_ledframe_data(led_id, frame_index) VALUES (999, 0);";
  orphans += "INSERT INTO t_customrgb_data(customlight_id, keycode) VALUES (999, 4);";
  orphans += "INSERT INTO t_custommodergb_data(customlight_id, keycode) VALUES (999, 4);COMMIT;";
  ASSERT_EQ(Raw().Exec(orphans), SQLITE_OK);
  EXPECT_EQ(store_.CountMacroRecords(), 2) << "only events of existing macros count";
  EXPECT_EQ(store_.CountLedFrames(999), 0);
  EXPECT_EQ(store_.CountLedFrames(slot), 1);

  store_.db.Close();
  ConfigDB reopened;
  ASSERT_TRUE(reopened.Open(folder_.wpath(), L"", L"kb"));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_macrorecord"), 2);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_ledframe_data"), 1);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_customrgb_data"), 0);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_custommodergb_data"), 0);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_macro_data"), 1);
}

TEST_F(IntegrityTest, AFileOfAnotherVersionIsNotCleanedOnOpen) {
  MakeCurrent();
  ASSERT_EQ(Raw().Exec("UPDATE t_configdata SET value='1.0.0' WHERE key='version';"
                       "INSERT INTO t_macrorecord(macro_id, type, value) VALUES (999, 2, 65);"),
            SQLITE_OK);
  store_.db.Close();
  ConfigDB reopened;
  ASSERT_TRUE(reopened.Open(folder_.wpath(), L"", L"kb"));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_macrorecord"), 1);
}

TEST_F(IntegrityTest, ADamagedTableFailsItsReadAndTheVersionCheckSaysDamaged) {
  MakeCurrent();
  const int macro = store_.NewMacro(L"m");
  std::vector<MacroRecordRow> records;
  for (int i = 0; i < 400; ++i) records.push_back(MacroRecordRow{0, macro, 2, i, 65, L"event text"});
  store_.SaveMacroRecords(records);
  EXPECT_EQ(store_.CheckVersion(1), ConfigDB::VersionState::Current);
  const int page = Raw().Int("PRAGMA page_size");
  const int root = Raw().Int("SELECT rootpage FROM sqlite_master WHERE name='t_macrorecord'");
  raw_.reset();
  store_.db.Close();
  {
    std::fstream file(DbFile(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(root - 1) * page);
    file << std::string(static_cast<size_t>(page), '\x5A');
  }
  ConfigDB damaged;
  ASSERT_TRUE(damaged.Open(folder_.wpath(), L"", L"kb"));
  std::vector<MacroRecordRow*> out{new MacroRecordRow};
  EXPECT_EQ(damaged.GetMacroRecords(macro, out), -1) << "no partial list that would be saved back";
  EXPECT_TRUE(out.empty());
  int code = 0;
  EXPECT_EQ(damaged.CheckVersion(1, &code), ConfigDB::VersionState::Damaged);
  EXPECT_EQ(code & 0xFF, SQLITE_CORRUPT);
}

// A writer process killed at varying points of its macro saves: each save is one transaction, so
// the macro always holds all of one save's events, never none of them nor a mix.
TEST_F(IntegrityTest, AMacroSaveKilledAnywhereLeavesOneWholeSave) {
  constexpr int kEvents = 300;
  const auto events = [](int value) {
    std::vector<MacroRecordRow> rows;
    for (int i = 0; i < kEvents; ++i) rows.push_back({0, 0, 2, i, value, L"key"});
    return rows;
  };
  const int macro = store_.NewMacro(L"m");
  ASSERT_TRUE(store_.ReplaceMacroRecords({macro, L"m", 1, 1, 0}, events(1)));
  store_.db.Close();
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ConfigDB writer;
      if (!writer.Open(folder_.wpath(), L"", L"kb")) _exit(1);
      const char byte = 1;
      if (write(ready[1], &byte, 1) != 1) _exit(1);
      for (int save = 0; save < 1000; ++save)
        writer.ReplaceMacroRecords({macro, L"m", 1, 1, 0}, events(save + 2));
      _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    usleep(static_cast<useconds_t>(1000 + 1700 * round));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ran to its end before the kill";
    RawDb after(DbFile());  // a new connection rolls back what the killed one left
    EXPECT_EQ(after.Rows("PRAGMA quick_check"), Rows{"ok"});
    EXPECT_EQ(
        after.Rows("SELECT count(*) || ',' || count(DISTINCT value) FROM t_macrorecord WHERE macro_id = " +
                   std::to_string(macro)),
        Rows{std::to_string(kEvents) + ",1"});
  }
}

TEST(StoreCopies, ARenamedStoreTakesItsCompanionsAndOnlyTheNewestThreeStay) {
  testing_support::TempDir dir;
  const std::string path = dir.path() + "db/kb_data.db";
  const std::time_t base = 1'800'000'000;
  std::vector<std::string> made;
  for (int round = 0; round < 5; ++round) {
    dir.Write("db/kb_data.db", "store " + std::to_string(round));
    dir.Write("db/kb_data.db-journal", "journal " + std::to_string(round));
    // Two copies within one second: the second takes the first free name.
    const std::string copy = SetAsideDatabaseFile(path, base + (round / 2), 3);
    ASSERT_FALSE(copy.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << "nothing left to roll into a new file";
    EXPECT_TRUE(std::filesystem::exists(copy + "-journal"));
    made.push_back(copy);
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() + "db"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 6u) << "three copies with their journals";
  for (size_t i = 2; i < made.size(); ++i) {
    EXPECT_TRUE(std::filesystem::exists(made[i]));
    std::ifstream in(made[i]);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "store " + std::to_string(i));
  }
  EXPECT_FALSE(std::filesystem::exists(made[0]));
  EXPECT_FALSE(std::filesystem::exists(made[0] + "-journal"));
  EXPECT_NE(made[0], made[1]);
  for (const std::string& name : names) EXPECT_TRUE(name.starts_with("kb_data.db.")) << name;
  EXPECT_EQ(made[0].size(), path.size() + 1 + 14 + 4) << made[0];

  // Nothing to move, or no name: nothing happens.
  EXPECT_EQ(SetAsideDatabaseFile(path, base, 3), "");
  EXPECT_EQ(SetAsideDatabaseFile("", base, 3), "");
  // Copies of another store are not this store's to prune.
  dir.Write("db/other_data.db.20000101000000.bak", "x");
  dir.Write("db/kb_data.db", "again");
  SetAsideDatabaseFile(path, base + 100, 3);
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "db/other_data.db.20000101000000.bak"));
}

}  // namespace

TEST_F(IntegrityTest, AStoreThatLacksATableIsDamaged) {
  MakeCurrent();
  EXPECT_EQ(store_.CheckVersion(1), ConfigDB::VersionState::Current);
  ASSERT_EQ(Raw().Exec("DROP TABLE t_ledframe_data"), SQLITE_OK);
  int code = 0;
  EXPECT_EQ(store_.CheckVersion(1, &code), ConfigDB::VersionState::Damaged);
  EXPECT_EQ(code, SQLITE_CORRUPT);
}
