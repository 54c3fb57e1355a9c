// Settings rows (t_configdata): one text value per (profile, key).
#include "storage/config_internal.h"

namespace {

// The only keys that are given a value (and a row) when they are read before they exist.
const wchar_t* ReadDefault(const std::wstring& key) {
  if (key == L"keyboard_layout") return L"1";
  if (key == L"tab_item") return L"0";
  if (key == L"button_respondtime") return L"2";
  return nullptr;
}

}  // namespace

bool ConfigDB::SetConfigValue(int profile, const std::wstring& key, const std::wstring& value) {
  return Write("UPDATE t_configdata SET value = ? WHERE profile = ? and key = ?", {value, profile, key});
}

bool ConfigDB::GetConfigValue(int profile, const std::wstring& key, std::wstring* out) {
  std::lock_guard guard(lock);
  out->clear();
  int code;
  {
    SQLiteStatement statement;
    code = Prepare(statement, "SELECT value FROM t_configdata WHERE profile = ? and key = ?", {profile, key});
    if (code == SQLITE_OK) code = statement.Step();
    if (code == SQLITE_ROW) {
      *out = Utf8ToWide(statement.GetText(0));
      return true;
    }
  }
  // Only a query that ran and found nothing gets the default: after a failed step the row may
  // well exist, and inserting would give the key a second row.
  const wchar_t* fallback = code == SQLITE_DONE ? ReadDefault(key) : nullptr;
  if (!fallback) return false;
  *out = fallback;
  Write("INSERT INTO t_configdata(profile, key, value) VALUES (?, ?, ?);", {profile, key, fallback});
  return false;
}
