#include "storage/config_internal.h"

void ConfigDB::Bind(SQLiteStatement& statement, std::initializer_list<Arg> args) {
  int index = 1;
  for (const Arg& arg : args) {
    if (arg.isText)
      statement.BindText(index, arg.text.c_str(), static_cast<int>(arg.text.size()));
    else
      statement.BindInt(index, arg.number);
    ++index;
  }
}

int ConfigDB::Prepare(SQLiteStatement& statement, const char* sql, std::initializer_list<Arg> args) {
  const int code = db.Prepare(statement, sql, -1);
  if (code == SQLITE_OK) Bind(statement, args);
  return code;
}

int ConfigDB::PrepareCached(SQLiteStatement& statement, const char* sql, std::initializer_list<Arg> args) {
  const int code = db.PrepareCached(statement, sql);
  if (code == SQLITE_OK) Bind(statement, args);
  return code;
}

bool ConfigDB::Write(const char* sql, std::initializer_list<Arg> args) {
  std::lock_guard guard(lock);
  SQLiteStatement statement;
  int code = Prepare(statement, sql, args);
  if (code == SQLITE_OK) code = statement.Step();
  return IsWriteOk(code);
}

int ConfigDB::Insert(const char* sql, std::initializer_list<Arg> args) {
  std::lock_guard guard(lock);
  SQLiteStatement statement;
  int code = Prepare(statement, sql, args);
  if (code == SQLITE_OK) code = statement.Step();
  // A failure is never reported as a number: a code such as SQLITE_BUSY would read as another
  // row's id and callers would attach children to that row.
  return IsWriteOk(code) ? static_cast<int>(db.LastInsertRowId()) : 0;
}

int ConfigDB::FirstInt(const char* sql, std::initializer_list<Arg> args) {
  int count = 0;
  ReadFirst(sql, args, [&](SQLiteStatement& row) { count = row.GetInt(0); });
  return count;
}

bool ConfigDB::Atomically(const std::function<bool()>& steps) {
  std::lock_guard guard(lock);
  if (!db.IsOpen()) return false;
  if (!sqlite3_get_autocommit(db.Handle())) return steps();  // an outer transaction decides
  SQLiteAutoTransaction transaction(&db);
  if (sqlite3_get_autocommit(db.Handle())) return false;  // BEGIN failed
  if (!steps()) {
    transaction.Rollback();
    return false;
  }
  return transaction.Commit();
}

bool ConfigDB::DeleteThenInsert(const char* deleteSql, std::initializer_list<Arg> keyArgs, bool insert,
                                const char* insertSql, std::initializer_list<Arg> rowArgs, int* id) {
  *id = 0;
  if (!Write(deleteSql, keyArgs)) return false;
  if (!insert) return true;
  *id = Insert(insertSql, rowArgs);
  return *id != 0;
}

int ConfigDB::ReplaceByKey(const char* deleteSql, std::initializer_list<Arg> keyArgs, bool insert,
                           const char* insertSql, std::initializer_list<Arg> rowArgs) {
  // When the old row could not be removed, a new one would give the key two rows; when the new
  // one cannot be stored, the old one is kept. An id is only reported once it is committed.
  int id = 0;
  const bool stored =
      Atomically([&] { return DeleteThenInsert(deleteSql, keyArgs, insert, insertSql, rowArgs, &id); });
  return stored ? id : 0;
}
