// Shared by the store tests: a temporary user folder with its db/ subfolder, a store opened there,
// and a second, raw sqlite3 connection that looks at the file independently of the code under
// test.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "storage/config_db.h"
#include "support/temp_dir.h"

// A plain sqlite3 connection on a file. Every call fails the test on an SQLite error.
class RawDb {
 public:
  explicit RawDb(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db_, 2000);
  }
  ~RawDb() { sqlite3_close_v2(db_); }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  // Every row as its columns joined by '|' (NULL as "NULL").
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row += (i ? "|" : "") + (text ? std::string(reinterpret_cast<const char*>(text)) : "NULL");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
  }
  int Int(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() ? -1 : std::stoi(rows[0]);
  }
  sqlite3* handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// A user folder with db/ and a store "kb" opened there.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_.path() + "db");
    ASSERT_TRUE(store_.Open(folder_.wpath(), L"", L"kb"));
  }
  std::string DbFile() const { return folder_.path() + "db/kb_data.db"; }
  RawDb& Raw() {
    if (!raw_) raw_ = std::make_unique<RawDb>(DbFile());
    return *raw_;
  }
  // Makes every insert into `table` fail, as a full disk or a broken file would.
  void FailInsertsInto(const std::string& table) {
    ASSERT_EQ(Raw().Exec("CREATE TRIGGER fail_" + table + " BEFORE INSERT ON " + table +
                         " BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }

  testing_support::TempDir folder_;
  ConfigDB store_;
  std::unique_ptr<RawDb> raw_;
};
