// The lookup indexes (on new and on older files) and the batch write of an effect's keys, checked
// against the row-by-row statements it replaced.
#include <chrono>
#include <random>
#include <thread>

#include "common/strings.h"
#include "store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

const char* const kLookupIndexes[] = {
    "configprofileindex",          "lightprofileindex",     "keyrgblightindex",
    "keydataprofileindex",         "macrorecordmacroindex", "customlightprofileindex",
    "customlightmodeprofileindex", "customrgblightindex",   "custommodergblightindex",
    "musiclayerprofileindex",      "ledlayerprofileindex",  "ledframeledindex"};

// Every row of every table of the store, in row-id order, and the id counters.
Rows Dump(RawDb& raw) {
  Rows all;
  for (const std::string& table :
       raw.Rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
    const std::string order = table == "sqlite_sequence" ? "name" : "rowid";
    for (const std::string& row : raw.Rows("SELECT * FROM " + table + " ORDER BY " + order))
      all.push_back(table + ":" + row);
  }
  return all;
}

Rows LookupIndexesIn(RawDb& raw) {
  Rows found;
  for (const char* name : kLookupIndexes)
    if (raw.Int(std::string("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = '") + name +
                "'") == 1)
      found.push_back(name);
  return found;
}

TEST_F(StoreTest, AnOlderFileGainsTheLookupIndexesOnOpenWithRowsAndVersionUntouched) {
  store_.InitProfileLightData(1);
  const int effect = store_.NewCustomLight(1, L"effect");
  ASSERT_GT(effect, 0);
  store_.SetCustomRgbList({{0, effect, 4, 0xFF, 1, 0, 0}, {0, effect, 5, 0xEE, 1, 0, 0}});
  const int slot = store_.NewLedLayer(1, L"slot");
  ASSERT_GT(slot, 0);
  store_.SaveLedFrames({{0, slot, L"a", 40, 0, L"a.bin"}});
  ASSERT_EQ(LookupIndexesIn(Raw()).size(), std::size(kLookupIndexes));
  // The file as an earlier build made it: the same tables and rows, none of the lookup indexes.
  for (const char* name : kLookupIndexes) ASSERT_EQ(Raw().Exec(std::string("DROP INDEX ") + name), SQLITE_OK);
  ASSERT_TRUE(store_.db.Close());
  const Rows before = Dump(Raw());
  ASSERT_TRUE(LookupIndexesIn(Raw()).empty());

  ConfigDB reopened;
  ASSERT_TRUE(reopened.Open(folder_.wpath(), L"", L"kb"));
  EXPECT_EQ(LookupIndexesIn(Raw()).size(), std::size(kLookupIndexes));
  EXPECT_EQ(Dump(Raw()), before);
  EXPECT_EQ(reopened.CheckVersion(1), ConfigDB::VersionState::Current);
  EXPECT_EQ(Raw().Int("PRAGMA user_version"), 0);
}

TEST_F(StoreTest, AnOpenWhileAnotherConnectionHoldsTheFileDoesNotWaitForTheIndexes) {
  for (const char* name : kLookupIndexes) ASSERT_EQ(Raw().Exec(std::string("DROP INDEX ") + name), SQLITE_OK);
  ASSERT_TRUE(store_.db.Close());
  RawDb& holder = Raw();
  ASSERT_EQ(holder.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  // The lock ends well within the busy timeout: an open that waited for it would add the indexes.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(holder.Exec("COMMIT"), SQLITE_OK);
  });
  ConfigDB second;
  EXPECT_TRUE(second.Open(folder_.wpath(), L"", L"kb"));
  release.join();
  EXPECT_TRUE(LookupIndexesIn(Raw()).empty());
  // The next open of the free file adds them, and the connection waits for others again.
  ASSERT_TRUE(second.db.Close());
  ConfigDB third;
  ASSERT_TRUE(third.Open(folder_.wpath(), L"", L"kb"));
  EXPECT_EQ(LookupIndexesIn(Raw()).size(), std::size(kLookupIndexes));
  EXPECT_EQ(third.NewMacro(L"m"), 1);
}

TEST_F(StoreTest, PageLoadsUseTheLookupIndexesAndStillListInInsertOrder) {
  for (const char* sql : {"SELECT * FROM t_customrgb_data WHERE customlight_id = 1",
                          "SELECT * FROM t_custommodergb_data WHERE customlight_id = 1",
                          "SELECT * FROM t_macrorecord WHERE macro_id = 1 ORDER BY record_index ASC",
                          "SELECT * FROM t_ledframe_data WHERE led_id = 1 ORDER BY frame_index ASC",
                          "SELECT * FROM t_key_data WHERE profile = 1 and fnlayer = 0",
                          "SELECT * FROM t_key_rgb_data WHERE light_id = 1",
                          "SELECT value FROM t_configdata WHERE profile = 1 and key = 'version'"}) {
    const Rows plan = Raw().Rows(std::string("EXPLAIN QUERY PLAN ") + sql);
    ASSERT_FALSE(plan.empty()) << sql;
    EXPECT_NE(plan[0].find("USING INDEX"), std::string::npos) << sql << ": " << plan[0];
  }
  // Key codes stored high to low come back in that order, not sorted by the index.
  std::vector<CustomRgbRow> rows;
  for (int key = 9; key >= 1; --key) rows.push_back({0, 5, key, key, 1, 0, 0});
  store_.SetCustomRgbList(rows);
  store_.SetCustomModeRgbList(rows);
  // Frames and events of one position keep their insert order among themselves.
  store_.SaveLedFrames({{0, 6, L"b", 40, 1, L""},
                        {0, 6, L"a1", 40, 0, L""},
                        {0, 6, L"c", 40, 1, L""},
                        {0, 6, L"a2", 40, 0, L""}});
  std::vector<LedFrameRow*> frames;
  ASSERT_EQ(store_.GetLedFrames(6, frames), 4);
  EXPECT_EQ((std::vector<std::wstring>{frames[0]->name, frames[1]->name, frames[2]->name, frames[3]->name}),
            (std::vector<std::wstring>{L"a1", L"a2", L"b", L"c"}));
  FreeRows(frames);
  store_.SaveMacroRecords({{0, 6, 1, 2, 4, L"x"}, {0, 6, 1, 1, 4, L"y"}, {0, 6, 1, 2, 4, L"z"}});
  std::vector<MacroRecordRow*> events;
  ASSERT_EQ(store_.GetMacroRecords(6, events), 3);
  EXPECT_EQ((std::vector<std::wstring>{events[0]->desc, events[1]->desc, events[2]->desc}),
            (std::vector<std::wstring>{L"y", L"x", L"z"}));
  FreeRows(events);
  for (auto getter : {&ConfigDB::GetCustomRgbList, &ConfigDB::GetCustomModeRgbList}) {
    std::vector<CustomRgbRow*> out;
    ASSERT_EQ((store_.*getter)(5, out), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out[i]->keycode, 9 - i);
    FreeRows(out);
  }
}

// The statements SetCustomRgbList ran before, element by element, on a raw connection.
void OldSetCustomRgbList(RawDb& raw, const std::vector<CustomRgbRow>& rows) {
  ASSERT_EQ(raw.Exec("BEGIN"), SQLITE_OK);
  for (const CustomRgbRow& row : rows) {
    const std::string key = std::to_string(row.customlight_id) + ", " + std::to_string(row.keycode);
    if (raw.Exec("DELETE FROM t_customrgb_data WHERE (customlight_id, keycode) = (" + key + ")") != SQLITE_OK)
      continue;
    raw.Exec(
        "INSERT INTO t_customrgb_data(customlight_id, keycode, rgbvalue, light_mode, colortype, light_type) "
        "VALUES (" +
        key + ", " + std::to_string(row.rgbvalue) + ", " + std::to_string(row.light_mode) + ", " +
        std::to_string(row.colortype) + ", " + std::to_string(row.light_type) + ")");
  }
  ASSERT_EQ(raw.Exec("COMMIT"), SQLITE_OK);
}

TEST_F(StoreTest, SetCustomRgbListLeavesTheRowsOfTheRowByRowStatementsOnRandomLists) {
  testing_support::TempDir otherFolder;
  std::filesystem::create_directories(otherFolder.path() + "db");
  {
    ConfigDB other;  // creates the second file with the same schema and defaults
    ASSERT_TRUE(other.Open(otherFolder.wpath(), L"", L"kb"));
  }
  RawDb reference(otherFolder.path() + "db/kb_data.db");
  std::mt19937 random(20);
  for (int round = 0; round < 60; ++round) {
    // Few effects and key codes so that lists repeat keys and hit the stored rows; empty lists too.
    std::vector<CustomRgbRow> rows(random() % 40);
    for (CustomRgbRow& row : rows)
      row = {0,
             static_cast<int>(1 + random() % 3),
             static_cast<int>(random() % 12),
             static_cast<int>(random() % 0x1000000),
             static_cast<int>(random() % 3),
             static_cast<int>(random() % 2),
             static_cast<int>(random() % 4)};
    if (round % 7 == 6) {  // now and then other rows are removed or added in between
      const std::string clear = "DELETE FROM t_customrgb_data WHERE customlight_id = 2";
      Raw().Exec(clear);
      reference.Exec(clear);
      CustomRgbRow single{0, 3, 11, 7, 1, 0, 0};
      store_.SetCustomRgb(&single);
      reference.Exec(
          "DELETE FROM t_customrgb_data WHERE customlight_id = 3 AND keycode = 11;"
          "INSERT INTO t_customrgb_data(customlight_id, keycode, rgbvalue, light_mode, colortype, "
          "light_type) VALUES (3, 11, 7, 1, 0, 0)");
    }
    store_.SetCustomRgbList(rows);
    OldSetCustomRgbList(reference, rows);
    ASSERT_EQ(Raw().Rows("SELECT * FROM t_customrgb_data ORDER BY rowid"),
              reference.Rows("SELECT * FROM t_customrgb_data ORDER BY rowid"))
        << "round " << round;
    ASSERT_EQ(Raw().Rows("SELECT seq FROM sqlite_sequence WHERE name = 't_customrgb_data'"),
              reference.Rows("SELECT seq FROM sqlite_sequence WHERE name = 't_customrgb_data'"))
        << "round " << round;
  }
  EXPECT_GT(Raw().Int("SELECT count(*) FROM t_customrgb_data"), 20);
}

}  // namespace
