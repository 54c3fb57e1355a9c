// Private helpers of ConfigDB's source files: the bound-parameter type and the statement loops
// that every table operation shares. Not for users of the store.
#pragma once

#include <memory>

#include "common/strings.h"
#include "storage/config_db.h"

// One parameter to bind: a number, or a text converted to UTF-8 here.
struct ConfigDB::Arg {
  Arg(int value) : number(value) {}  // NOLINT: implicit on purpose, args are written as lists
  Arg(const std::wstring& value) : isText(true), text(WideToUtf8(value)) {}  // NOLINT
  Arg(const wchar_t* value) : isText(true), text(WideToUtf8(value)) {}       // NOLINT

  bool isText = false;
  int number = 0;
  std::string text;
};

// The schema statements in creation order (schema.cpp).
const std::vector<std::string>& ConfigSchemaStatements();
// The lookup indexes (schema.cpp), created after the tables and on every open.
const std::vector<std::string>& ConfigLookupIndexStatements();

// A write succeeded when its step gave SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
inline bool IsWriteOk(int code) { return code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE; }

template <class Read>
bool ConfigDB::ReadFirst(const char* sql, std::initializer_list<Arg> args, Read read) {
  std::lock_guard guard(lock);
  SQLiteStatement statement;
  if (Prepare(statement, sql, args) != SQLITE_OK || statement.Step() != SQLITE_ROW) return false;
  read(statement);
  return true;
}

template <class Row, class Read>
int ConfigDB::ReadList(const char* sql, std::initializer_list<Arg> args, std::vector<Row*>& out, Read read) {
  std::lock_guard guard(lock);
  FreeRows(out);
  SQLiteStatement statement;
  int code = Prepare(statement, sql, args);
  if (code == SQLITE_OK) {
    while ((code = statement.Step()) == SQLITE_ROW) {
      auto row = std::make_unique<Row>();
      read(statement, *row);
      out.push_back(row.get());
      row.release();
    }
  }
  if (code != SQLITE_DONE) {
    FreeRows(out);
    return -1;
  }
  return static_cast<int>(out.size());
}

// One transaction around the whole list; the statement is prepared once and re-bound per element.
template <class Row, class BindRow>
void ConfigDB::InsertEach(const char* sql, const std::vector<Row>& rows, BindRow bind) {
  std::lock_guard guard(lock);
  SQLiteAutoTransaction transaction(&db);
  transaction.Begin();
  SQLiteStatement statement;
  if (db.Prepare(statement, sql, -1) == SQLITE_OK) {
    for (const Row& row : rows) {
      statement.Reset();
      bind(statement, row);
      statement.Step();
    }
  }
  statement.Finalize();
  transaction.Commit();
}
