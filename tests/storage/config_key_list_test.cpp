// Storing a list of key rows at once: the same outcome as one SetKeyData per row, in one commit,
// and nothing kept when a row fails.
#include <sqlite3.h>

#include "store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

KeyDataRow Key(int profile, int keyvalue, int fnlayer, int macrovalue, int macro2value = 0,
               const wchar_t* desc = L"") {
  KeyDataRow row;
  row.profile = profile;
  row.keyvalue = keyvalue;
  row.fnlayer = fnlayer;
  row.layoutkeyvalue = keyvalue + 100;
  row.layoutkeydesc = L"key " + std::to_wstring(keyvalue);
  row.macrotype = 2;
  row.macrovalue = macrovalue;
  row.macro2value = macro2value;
  row.macro3value = 3;
  row.macrodesc = desc;
  return row;
}

constexpr const char* kAllKeyRows = "SELECT * FROM t_key_data ORDER BY key_id";

TEST_F(StoreTest, AKeyListEndsAsOneSetKeyDataPerRowWould) {
  // Cleared and replaced keys, key 0, a row of the other layer, a row with only macro2value.
  const std::vector<KeyDataRow> rows = {
      Key(7, 4, 0, 10),
      Key(7, 5, 0, 11, 0, L"b"),
      Key(7, 0, 0, 12),
      Key(7, 4, 1, 13),
      Key(7, 4, 0, 14, 0, L"later"),
      Key(7, 6, 0, 0, 15),
      Key(7, 5, 0, 0),
      Key(8, 4, 0, 16),
  };
  testing_support::TempDir otherFolder;
  std::filesystem::create_directories(otherFolder.path() + "db");
  ConfigDB other;
  ASSERT_TRUE(other.Open(otherFolder.wpath(), L"", L"kb"));
  std::vector<int> oneByOne;
  for (const KeyDataRow& row : rows) oneByOne.push_back(other.SetKeyData(row));

  std::vector<int> results = {99};  // replaced, not appended to
  EXPECT_EQ(store_.SetKeyDataList(rows, &results), 6);
  EXPECT_EQ(results, oneByOne);
  EXPECT_EQ(results[2], 0) << "key 0 stores nothing";
  EXPECT_EQ(results[6], 0) << "both values 0 only clear the key";
  RawDb otherRaw(otherFolder.path() + "db/kb_data.db");
  EXPECT_EQ(Raw().Rows(kAllKeyRows), otherRaw.Rows(kAllKeyRows));
  EXPECT_EQ(Raw().Rows("SELECT keyvalue, fnlayer, macrovalue, macro2value, macrodesc FROM t_key_data "
                       "WHERE profile = 7 ORDER BY key_id"),
            (Rows{"4|1|13|0|", "4|0|14|0|later", "6|0|0|15|"}));

  EXPECT_EQ(store_.SetKeyDataList({}, &results), 0);
  EXPECT_TRUE(results.empty());
}

TEST_F(StoreTest, AKeyListIsOneCommitAndAFailingRowLeavesNothing) {
  int commits = 0;
  sqlite3_commit_hook(
      store_.db.Handle(),
      [](void* count) {
        ++*static_cast<int*>(count);
        return 0;
      },
      &commits);
  std::vector<KeyDataRow> rows;
  for (int key = 4; key < 40; ++key) rows.push_back(Key(3, key, key % 2, key));
  EXPECT_EQ(store_.SetKeyDataList(rows), 36);
  EXPECT_EQ(commits, 1);
  sqlite3_commit_hook(store_.db.Handle(), nullptr, nullptr);
  const Rows before = Raw().Rows(kAllKeyRows);

  // Key 20 is replaced midway and refused: the rows before it, the deletes of the keys it and
  // the others would replace, and the rows after it must all be undone.
  ASSERT_EQ(Raw().Exec("CREATE TRIGGER refuse_key BEFORE INSERT ON t_key_data WHEN NEW.keyvalue = 20 "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
            SQLITE_OK);
  for (KeyDataRow& row : rows) row.macrovalue += 100;
  rows.push_back(Key(9, 4, 0, 1));
  std::vector<int> results;
  EXPECT_EQ(store_.SetKeyDataList(rows, &results), -1);
  EXPECT_EQ(results, std::vector<int>(rows.size(), 0));
  EXPECT_EQ(Raw().Rows(kAllKeyRows), before);
}

}  // namespace
