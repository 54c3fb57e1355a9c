// A thin object layer over SQLite: one connection, one prepared statement, one scoped transaction.
// Every call passes SQLite's integer result codes through unchanged; the only code of our own is
// SQLITE_MISUSE (21) for a call on an object without a connection, a statement or an SQL text.
// Nothing here throws, logs or takes a lock: the connection runs in SQLite's serialized mode and
// ConfigDB serialises its own sequences of statements.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class SQLiteStatement;

// One database connection. Not copyable.
class SQLiteDB {
 public:
  // Busy timeout given to every connection that Open opens: a second connection on the same file
  // (another dialog's store) is waited for instead of failing at once.
  static constexpr int kDefaultBusyTimeoutMs = 2000;

  SQLiteDB() = default;
  // Interrupts and closes a held connection; when the close fails (statements still alive) the
  // handle is handed to sqlite3_close_v2, which frees it once they are gone.
  virtual ~SQLiteDB();
  SQLiteDB(const SQLiteDB&) = delete;
  SQLiteDB& operator=(const SQLiteDB&) = delete;

  // Opens `path` (UTF-8) with `flags` (SQLITE_OPEN_*). A connection already held is interrupted
  // and closed first; when that close fails, false is returned and the old connection stays held.
  // A null path then gives false. A failed open leaves no connection. `key` must be empty unless
  // the build has KELVANE_SQLITE_CIPHER; without it a non-empty key gives false and nothing is
  // opened or created. The new connection gets the default busy timeout.
  bool Open(const char* path, const std::string& key, int flags);
  // Closes the connection: true when none is held or the close succeeded; false (connection
  // kept) while statements of it are alive.
  bool Close();
  bool IsOpen() const { return db != nullptr; }

  // Finalizes whatever `statement` held (it is then empty in any case), then prepares `sql` into
  // it. nBytes < 0 means the whole text including its terminating zero. Returns
  // sqlite3_prepare_v2's code, or SQLITE_MISUSE without a connection or text.
  int Prepare(SQLiteStatement& statement, const char* sql, int nBytes);
  // Like Prepare, but the compiled statement stays with the connection: the next PrepareCached of
  // the same text lends it out again, reset, instead of compiling it anew. It comes back when
  // `statement` is finalized (or destroyed); while it is lent, the same text is prepared afresh.
  // Close and Open finalize what is kept; the destructor also releases what is still lent.
  int PrepareCached(SQLiteStatement& statement, const char* sql);
  // Runs `sql` (one or more statements) with an optional row callback. SQLITE_MISUSE without a
  // connection or text.
  int Exec(const char* sql, int (*callback)(void*, int, char**, char**) = nullptr, void* argument = nullptr);
  // Row id of the last successful insert on this connection; -1 without a connection.
  std::int64_t LastInsertRowId() const;
  // Sets the time a statement waits for another connection's lock. SQLITE_MISUSE without a
  // connection.
  int SetBusyTimeout(int ms);
  // The raw handle (owned by this object; null while closed), for inspection and hooks.
  sqlite3* Handle() const { return db; }

 private:
  friend class SQLiteStatement;
  struct Cached {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    SQLiteStatement* borrower = nullptr;  // null while kept
  };

  // Takes back a lent statement, reset and unbound.
  void GiveBack(sqlite3_stmt* stmt);
  // Finalizes every kept statement; false, finalizing nothing, while one is lent (unless `force`,
  // which leaves lent ones to their borrowers).
  bool DropCached(bool force);

  sqlite3* db = nullptr;
  std::unordered_map<std::string_view, std::unique_ptr<Cached>> cached;  // keys view Cached::sql
};

// One prepared statement; lives on the stack of one operation. Not copyable.
class SQLiteStatement {
 public:
  SQLiteStatement() = default;
  virtual ~SQLiteStatement();  // finalizes a held statement
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;

  // Parameters count from 1. Text is copied by SQLite (the caller's buffer may go at once);
  // nBytes < 0 means up to the first zero. SQLITE_MISUSE without a statement.
  int BindInt(int index, int value);
  int BindText(int index, const char* utf8, int nBytes);
  // sqlite3_step: SQLITE_ROW, SQLITE_DONE or an error; SQLITE_MISUSE without a statement.
  int Step();
  // Rewinds the statement so that it can be bound and stepped again (bindings stay).
  int Reset();
  // Columns count from 0. GetInt: 0 without a statement. GetText: null without a statement or for
  // an SQL NULL; the text belongs to the statement and lives until the next Step/Reset.
  int GetInt(int column) const;
  const char* GetText(int column) const;
  // Size in bytes of the column's text (call after GetText); 0 without a statement.
  int GetBytes(int column) const;
  bool IsPrepared() const { return stmt != nullptr; }

  // Frees the statement, if any; the object is empty afterwards.
  void Finalize();

 private:
  friend class SQLiteDB;
  sqlite3_stmt* stmt = nullptr;
  SQLiteDB* lender = nullptr;  // set while `stmt` is lent by the connection's cache
};

// A scoped transaction: the constructor begins it ("BEGIN"), Commit or the destructor ends it
// ("END"). When "END" fails (another connection holds a lock) it is tried once more and then
// rolled back, so the connection never stays inside a transaction that would block others and
// later be committed by accident. Statements that fail inside are simply skipped by the caller.
class SQLiteAutoTransaction {
 public:
  // `connection` is not owned; null makes every call a no-op that returns false.
  explicit SQLiteAutoTransaction(SQLiteDB* connection);
  virtual ~SQLiteAutoTransaction();  // ends a transaction that was not committed
  SQLiteAutoTransaction(const SQLiteAutoTransaction&) = delete;
  SQLiteAutoTransaction& operator=(const SQLiteAutoTransaction&) = delete;

  // Begins when not begun yet (after the constructor it does nothing and returns false).
  bool Begin();
  // Ends the transaction; true when it was committed, false when it was rolled back or there is
  // no connection.
  bool Commit();
  // Undoes everything since the begin and ends the transaction; false when there was none to
  // undo or the rollback failed.
  bool Rollback();

 private:
  bool End();

  SQLiteDB* db;
  bool active = false;
};
