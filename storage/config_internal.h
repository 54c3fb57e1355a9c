// Private helpers of ConfigDB's source files: the bound-parameter type and the statement loops
// that every table operation shares. Not for users of the store.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

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
  if (PrepareCached(statement, sql, args) != SQLITE_OK || statement.Step() != SQLITE_ROW) return false;
  read(statement);
  return true;
}

// Reads text `column` of the current row into `out` as Utf8ToWide of the text up to its first zero
// would give it (empty for NULL or bad UTF-8), reusing the capacity `out` has.
inline void ReadText(const SQLiteStatement& row, int column, std::wstring& out) {
  const char* text = row.GetText(column);
  if (!text) {
    out.clear();
    return;
  }
  const size_t size = static_cast<size_t>(row.GetBytes(column));
  out.resize(size);
  for (size_t i = 0; i < size; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte == 0) {
      out.resize(i);
      return;
    }
    if (byte >= 0x80) {
      out = Utf8ToWide(std::string_view(text + i, strnlen(text + i, size - i)));
      if (!out.empty()) out.insert(out.begin(), text, text + i);
      return;
    }
    out[i] = static_cast<wchar_t>(byte);
  }
}

// The records `out` holds already are filled again (reset first) instead of being freed and
// allocated anew, so that reloading a page into the same list costs no allocation per row.
template <class Row, class Read>
int ConfigDB::ReadList(const char* sql, std::initializer_list<Arg> args, std::vector<Row*>& out, Read read) {
  std::lock_guard guard(lock);
  SQLiteStatement statement;
  int code = PrepareCached(statement, sql, args);
  size_t count = 0;
  if (code == SQLITE_OK) {
    while ((code = statement.Step()) == SQLITE_ROW) {
      if (count == out.size()) {
        auto row = std::make_unique<Row>();
        read(statement, *row);
        out.push_back(row.get());
        row.release();
      } else {
        Row& row = *out[count];
        row = Row{};
        read(statement, row);
      }
      ++count;
    }
  }
  if (code != SQLITE_DONE) {
    FreeRows(out);
    return -1;
  }
  for (size_t i = count; i < out.size(); ++i) delete out[i];
  out.resize(count);
  return static_cast<int>(count);
}

// One transaction around the whole list; the statement is prepared once and re-bound per element.
// The first element whose statement fails ends the batch and rolls all of it back.
template <class Row, class BindRow>
bool ConfigDB::InsertEach(const char* sql, const std::vector<Row>& rows, BindRow bind) {
  return Atomically([&] {
    SQLiteStatement statement;
    if (db.Prepare(statement, sql, -1) != SQLITE_OK) return false;
    for (const Row& row : rows) {
      statement.Reset();
      bind(statement, row);
      if (!IsWriteOk(statement.Step())) return false;
    }
    return true;
  });
}
