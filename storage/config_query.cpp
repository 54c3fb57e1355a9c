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

int ConfigDB::ReplaceByKey(const char* deleteSql, std::initializer_list<Arg> keyArgs, bool insert,
                           const char* insertSql, std::initializer_list<Arg> rowArgs) {
  std::lock_guard guard(lock);
  // When the old row could not be removed, a new one would give the key two rows.
  if (!Write(deleteSql, keyArgs) || !insert) return 0;
  return Insert(insertSql, rowArgs);
}
