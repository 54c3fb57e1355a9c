#include "storage/sqlite_db.h"

#include <cstring>

namespace {

// A handle that sqlite3_close refuses (statements still alive) is released by sqlite3_close_v2
// as soon as those statements are finalized, so it is never leaked.
void CloseForGood(sqlite3* handle) {
  if (sqlite3_close(handle) != SQLITE_OK) sqlite3_close_v2(handle);
}

}  // namespace

SQLiteDB::~SQLiteDB() {
  DropCached(true);
  if (!db) return;
  sqlite3_interrupt(db);
  CloseForGood(db);
  db = nullptr;
}

bool SQLiteDB::Open(const char* path, const std::string& key, int flags) {
  if (db) {
    sqlite3_interrupt(db);
    // Keep the connection when it cannot be closed: dropping the pointer would leak it and a
    // second handle would then exist beside it.
    if (!DropCached(false) || sqlite3_close(db) != SQLITE_OK) return false;
    db = nullptr;
  }
  if (!path) return false;
#ifndef KELVANE_SQLITE_CIPHER
  // This build's SQLite cannot apply a key; opening the file unkeyed would silently store the
  // user's data in plain text, so refuse before anything is created.
  if (!key.empty()) return false;
#endif
  int rc = sqlite3_open_v2(path, &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    if (db) CloseForGood(db);
    db = nullptr;
    return false;
  }
  sqlite3_busy_timeout(db, kDefaultBusyTimeoutMs);
#ifdef KELVANE_SQLITE_CIPHER
  if (!key.empty()) {
    const int length = static_cast<int>(key.size());
    rc = sqlite3_key(db, key.data(), length);
    if (rc != SQLITE_OK) rc = sqlite3_rekey(db, key.data(), length);
  }
#endif
  return rc == SQLITE_OK;
}

bool SQLiteDB::Close() {
  if (!db) return true;
  if (!DropCached(false) || sqlite3_close(db) != SQLITE_OK) return false;
  db = nullptr;
  return true;
}

int SQLiteDB::Prepare(SQLiteStatement& statement, const char* sql, int nBytes) {
  statement.Finalize();
  if (!db || !sql) return SQLITE_MISUSE;
  if (nBytes < 0) nBytes = static_cast<int>(std::strlen(sql)) + 1;
  return sqlite3_prepare_v2(db, sql, nBytes, &statement.stmt, nullptr);
}

int SQLiteDB::PrepareCached(SQLiteStatement& statement, const char* sql) {
  statement.Finalize();
  if (!db || !sql) return SQLITE_MISUSE;
  const auto found = cached.find(std::string_view(sql));
  if (found != cached.end()) {
    Cached& entry = *found->second;
    if (entry.borrower) return Prepare(statement, sql, -1);  // in use further up the stack
    entry.borrower = &statement;
    statement.stmt = entry.stmt;
    statement.lender = this;
    return SQLITE_OK;
  }
  auto entry = std::make_unique<Cached>();
  entry->sql = sql;
  const int code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &entry->stmt, nullptr);
  if (code != SQLITE_OK || !entry->stmt) {
    if (entry->stmt) sqlite3_finalize(entry->stmt);
    return code;
  }
  entry->borrower = &statement;
  statement.stmt = entry->stmt;
  statement.lender = this;
  const std::string_view key(entry->sql);
  cached.emplace(key, std::move(entry));
  return SQLITE_OK;
}

void SQLiteDB::GiveBack(sqlite3_stmt* stmt) {
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  // sqlite3_sql gives back the very text the statement was prepared from: its key.
  const auto found = cached.find(std::string_view(sqlite3_sql(stmt)));
  if (found != cached.end() && found->second->stmt == stmt) found->second->borrower = nullptr;
}

bool SQLiteDB::DropCached(bool force) {
  if (!force) {
    for (const auto& [sql, entry] : cached)
      if (entry->borrower) return false;
  }
  for (auto& [sql, entry] : cached) {
    if (entry->borrower) {
      entry->borrower->lender = nullptr;  // the borrower finalizes it itself
    } else {
      sqlite3_finalize(entry->stmt);
    }
  }
  cached.clear();
  return true;
}

int SQLiteDB::Exec(const char* sql, int (*callback)(void*, int, char**, char**), void* argument) {
  if (!db || !sql) return SQLITE_MISUSE;
  return sqlite3_exec(db, sql, callback, argument, nullptr);
}

std::int64_t SQLiteDB::LastInsertRowId() const { return db ? sqlite3_last_insert_rowid(db) : -1; }

int SQLiteDB::SetBusyTimeout(int ms) { return db ? sqlite3_busy_timeout(db, ms) : SQLITE_MISUSE; }

SQLiteStatement::~SQLiteStatement() { Finalize(); }

void SQLiteStatement::Finalize() {
  // sqlite3_finalize frees the statement whatever it returns (the code only repeats the last
  // step's error), so the handle must never be finalized a second time.
  if (stmt && lender)
    lender->GiveBack(stmt);
  else if (stmt)
    sqlite3_finalize(stmt);
  stmt = nullptr;
  lender = nullptr;
}

int SQLiteStatement::BindInt(int index, int value) {
  return stmt ? sqlite3_bind_int(stmt, index, value) : SQLITE_MISUSE;
}

int SQLiteStatement::BindText(int index, const char* utf8, int nBytes) {
  // SQLITE_TRANSIENT: callers bind converted temporaries that may be gone before the step.
  return stmt ? sqlite3_bind_text(stmt, index, utf8, nBytes, SQLITE_TRANSIENT) : SQLITE_MISUSE;
}

int SQLiteStatement::Step() { return stmt ? sqlite3_step(stmt) : SQLITE_MISUSE; }

int SQLiteStatement::Reset() { return stmt ? sqlite3_reset(stmt) : SQLITE_MISUSE; }

int SQLiteStatement::GetInt(int column) const { return stmt ? sqlite3_column_int(stmt, column) : 0; }

const char* SQLiteStatement::GetText(int column) const {
  return stmt ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)) : nullptr;
}

int SQLiteStatement::GetBytes(int column) const { return stmt ? sqlite3_column_bytes(stmt, column) : 0; }

SQLiteAutoTransaction::SQLiteAutoTransaction(SQLiteDB* connection) : db(connection) {
  if (!db) return;
  if (db->IsOpen()) db->Exec("BEGIN");
  active = true;
}

SQLiteAutoTransaction::~SQLiteAutoTransaction() {
  if (active && db && db->IsOpen()) End();
  active = false;
}

bool SQLiteAutoTransaction::Begin() {
  if (!db || active) return false;
  active = true;
  if (!db->IsOpen()) return false;
  return db->Exec("BEGIN") == SQLITE_OK;
}

bool SQLiteAutoTransaction::Commit() {
  if (!db) return false;
  if (!db->IsOpen()) {
    active = false;
    return false;
  }
  const bool committed = End();
  active = false;
  return committed;
}

bool SQLiteAutoTransaction::Rollback() {
  if (!db || !active) return false;
  active = false;
  return db->IsOpen() && db->Exec("ROLLBACK") == SQLITE_OK;
}

bool SQLiteAutoTransaction::End() {
  // A commit that meets another connection's lock even after the busy timeout is tried once
  // more; then the transaction is given up rather than left open.
  if (db->Exec("END") == SQLITE_OK || db->Exec("END") == SQLITE_OK) return true;
  db->Exec("ROLLBACK");
  return false;
}
