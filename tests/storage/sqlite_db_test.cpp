#include "storage/sqlite_db.h"

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "store_fixture.h"

namespace {

constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;

class WrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.path() + "w.db";
    ASSERT_TRUE(db_.Open(path_.c_str(), "", kCreate));
    ASSERT_EQ(db_.Exec("CREATE TABLE t(a INTEGER, b TEXT)"), SQLITE_OK);
  }
  int LiveStatements() {
    int count = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_.Handle(), nullptr); s;
         s = sqlite3_next_stmt(db_.Handle(), s))
      ++count;
    return count;
  }

  testing_support::TempDir dir_;
  std::string path_;
  SQLiteDB db_;
};

TEST(SQLiteWrapper, EveryCallWithoutAHandleGivesTheMissingHandleResult) {
  SQLiteDB db;
  SQLiteStatement statement;
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.Close());
  EXPECT_EQ(db.Prepare(statement, "SELECT 1", -1), SQLITE_MISUSE);
  EXPECT_EQ(db.Exec("SELECT 1"), SQLITE_MISUSE);
  EXPECT_EQ(db.LastInsertRowId(), -1);
  EXPECT_EQ(db.SetBusyTimeout(5), SQLITE_MISUSE);
  EXPECT_EQ(statement.BindInt(1, 1), SQLITE_MISUSE);
  EXPECT_EQ(statement.BindText(1, "x", 1), SQLITE_MISUSE);
  EXPECT_EQ(statement.Step(), SQLITE_MISUSE);
  EXPECT_EQ(statement.GetInt(0), 0);
  EXPECT_EQ(statement.GetText(0), nullptr);

  SQLiteAutoTransaction none(nullptr);
  EXPECT_FALSE(none.Begin());
  EXPECT_FALSE(none.Commit());
  SQLiteAutoTransaction closed(&db);
  EXPECT_FALSE(closed.Begin());
  EXPECT_FALSE(closed.Commit());
}

TEST_F(WrapperTest, FailedOrRefusedOpensLeaveNothingOpenAndCreateNothing) {
  SQLiteDB other;
  EXPECT_FALSE(other.Open((dir_.path() + "missing/x.db").c_str(), "", kCreate));
  EXPECT_FALSE(other.IsOpen());

  // This build cannot apply a key: refused before any file is made.
  const std::string keyed = dir_.path() + "keyed.db";
  EXPECT_FALSE(other.Open(keyed.c_str(), "secret", kCreate));
  EXPECT_FALSE(other.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(keyed));

  // A null path closes the connection held before.
  EXPECT_FALSE(db_.Open(nullptr, "", kCreate));
  EXPECT_FALSE(db_.IsOpen());
}

TEST_F(WrapperTest, ConnectionIsSerializedAndCannotBeClosedUnderALiveStatement) {
  EXPECT_NE(sqlite3_db_mutex(db_.Handle()), nullptr);
  {
    SQLiteStatement statement;
    ASSERT_EQ(db_.Prepare(statement, "SELECT 1", -1), SQLITE_OK);
    EXPECT_FALSE(db_.Close());
    EXPECT_TRUE(db_.IsOpen());
    // Reopening must keep the connection it cannot close rather than leak it.
    EXPECT_FALSE(db_.Open(path_.c_str(), "", kCreate));
    EXPECT_TRUE(db_.IsOpen());
  }
  EXPECT_TRUE(db_.Close());
}

TEST_F(WrapperTest, PreparingAgainLeavesOneLiveStatementThatStepsTheNewQuery) {
  SQLiteStatement statement;
  ASSERT_EQ(db_.Prepare(statement, "SELECT 1", -1), SQLITE_OK);
  ASSERT_EQ(db_.Prepare(statement, "SELECT 'two', NULL", -1), SQLITE_OK);
  EXPECT_EQ(LiveStatements(), 1);
  ASSERT_EQ(statement.Step(), SQLITE_ROW);
  EXPECT_STREQ(statement.GetText(0), "two");
  EXPECT_EQ(statement.GetText(1), nullptr);
  // A failed preparation still frees the old statement.
  EXPECT_NE(db_.Prepare(statement, "SELEC nonsense", -1), SQLITE_OK);
  EXPECT_EQ(LiveStatements(), 0);
  EXPECT_EQ(db_.Prepare(statement, nullptr, -1), SQLITE_MISUSE);
}

TEST_F(WrapperTest, KeptStatementsComeBackResetAndUnboundAndNeverHoldTheFile) {
  ASSERT_EQ(db_.Exec("INSERT INTO t VALUES (1, 'a'); INSERT INTO t VALUES (2, 'b')"), SQLITE_OK);
  const char* query = "SELECT a FROM t WHERE a >= ? ORDER BY a";
  {
    SQLiteStatement outer, inner;
    ASSERT_EQ(db_.PrepareCached(outer, query), SQLITE_OK);
    outer.BindInt(1, 1);
    ASSERT_EQ(outer.Step(), SQLITE_ROW);
    // The same text while it is lent: a statement of its own, not the one under way.
    ASSERT_EQ(db_.PrepareCached(inner, std::string(query).c_str()), SQLITE_OK);
    inner.BindInt(1, 2);
    ASSERT_EQ(inner.Step(), SQLITE_ROW);
    EXPECT_EQ(inner.GetInt(0), 2);
    ASSERT_EQ(outer.Step(), SQLITE_ROW);
    EXPECT_EQ(outer.GetInt(0), 2);
    EXPECT_FALSE(db_.Close()) << "a lent statement is still alive";
    inner.Finalize();
  }  // `outer` goes back in the middle of its rows
  EXPECT_EQ(LiveStatements(), 1);
  EXPECT_EQ(RawDb(path_).Exec("INSERT INTO t VALUES (3, 'c')"), SQLITE_OK) << "no read lock is left";
  {
    SQLiteStatement again;
    ASSERT_EQ(db_.PrepareCached(again, query), SQLITE_OK);
    EXPECT_EQ(again.Step(), SQLITE_DONE) << "bindings are cleared";
    again.Reset();
    again.BindInt(1, 3);
    ASSERT_EQ(again.Step(), SQLITE_ROW);
    EXPECT_EQ(again.GetInt(0), 3);
  }
  EXPECT_EQ(LiveStatements(), 1);
  EXPECT_NE(db_.PrepareCached(*std::make_unique<SQLiteStatement>(), "SELEC nonsense"), SQLITE_OK);
  EXPECT_EQ(LiveStatements(), 1);
  EXPECT_TRUE(db_.Close());

  // A statement still lent when its connection goes is finalized by its holder.
  SQLiteStatement outliving;
  {
    SQLiteDB local;
    ASSERT_TRUE(local.Open(path_.c_str(), "", kCreate));
    ASSERT_EQ(local.PrepareCached(outliving, query), SQLITE_OK);
  }
  outliving.Finalize();
  EXPECT_FALSE(outliving.IsPrepared());
}

TEST_F(WrapperTest, BoundTextIsCopiedAndRowIdsReported) {
  SQLiteStatement statement;
  ASSERT_EQ(db_.Prepare(statement, "INSERT INTO t VALUES (?, ?)", -1), SQLITE_OK);
  {
    std::string temporary = "gone before the step";
    statement.BindText(2, temporary.c_str(), static_cast<int>(temporary.size()));
    temporary.assign(temporary.size(), 'X');
  }
  statement.BindInt(1, 7);
  EXPECT_EQ(statement.Step(), SQLITE_DONE);
  EXPECT_EQ(db_.LastInsertRowId(), 1);
  statement.Finalize();
  EXPECT_EQ(RawDb(path_).Rows("SELECT a, b FROM t"), std::vector<std::string>{"7|gone before the step"});
}

TEST_F(WrapperTest, TransactionsAsSeenFromASecondConnection) {
  RawDb other(path_);
  {
    SQLiteAutoTransaction transaction(&db_);
    EXPECT_FALSE(transaction.Begin());  // the constructor has begun already
    EXPECT_EQ(sqlite3_get_autocommit(db_.Handle()), 0);
    db_.Exec("INSERT INTO t VALUES (1, 'a')");
    EXPECT_EQ(other.Int("SELECT count(*) FROM t"), 0);
  }  // no Commit: the destructor commits
  EXPECT_EQ(other.Int("SELECT count(*) FROM t"), 1);
  {
    SQLiteAutoTransaction transaction(&db_);
    db_.Exec("INSERT INTO t VALUES (2, 'b')");
    EXPECT_TRUE(transaction.Commit());
    EXPECT_EQ(other.Int("SELECT count(*) FROM t"), 2);
    db_.Exec("BEGIN");  // the destructor must not end this one
  }
  EXPECT_EQ(sqlite3_get_autocommit(db_.Handle()), 0);
  db_.Exec("END");
}

TEST_F(WrapperTest, AFailedCommitLeavesNoTransactionOpen) {
  RawDb reader(path_);
  db_.SetBusyTimeout(20);
  ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM t;"), SQLITE_OK);  // holds a read lock
  {
    SQLiteAutoTransaction transaction(&db_);
    ASSERT_EQ(db_.Exec("INSERT INTO t VALUES (1, 'a')"), SQLITE_OK);
    EXPECT_FALSE(transaction.Commit());
  }
  EXPECT_NE(sqlite3_get_autocommit(db_.Handle()), 0);
  reader.Exec("END");
  // The failed batch is not committed later by someone else's "END".
  EXPECT_EQ(db_.Exec("INSERT INTO t VALUES (2, 'b')"), SQLITE_OK);
  EXPECT_EQ(reader.Rows("SELECT a FROM t"), std::vector<std::string>{"2"});
}

TEST_F(WrapperTest, AWriteWaitsForAShortLockOfAnotherConnection) {
  RawDb other(path_);
  ASSERT_EQ(other.Exec("BEGIN IMMEDIATE; INSERT INTO t VALUES (1, 'other');"), SQLITE_OK);
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    other.Exec("END");
  });
  EXPECT_EQ(db_.Exec("INSERT INTO t VALUES (2, 'mine')"), SQLITE_OK);
  release.join();
  EXPECT_EQ(other.Int("SELECT count(*) FROM t"), 2);
}

}  // namespace
