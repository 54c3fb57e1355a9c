// Key profiles (t_keyprofile), key assignments (t_key_data) and the texts of software key actions
// (t_key_otherdata).
#include <algorithm>

#include "storage/config_internal.h"

namespace {

// The key map sends one byte of a software action's id to the keyboard.
constexpr int kMaxActionId = 255;
// Key assignments of these types name a t_key_otherdata id in their macrovalue.
constexpr int kFirstActionType = 8;
constexpr int kLastActionType = 11;

constexpr const char* kInsertKeyOtherData =
    "INSERT INTO t_key_otherdata(macro_desc, param, type) VALUES (?, ?, ?);";

void ReadKeyData(SQLiteStatement& row, KeyDataRow& key) {
  key.key_id = row.GetInt(0);
  key.profile = row.GetInt(1);
  key.keyvalue = row.GetInt(2);
  key.fnlayer = row.GetInt(3);
  key.layoutkeyvalue = row.GetInt(4);
  key.layoutkeydesc = Utf8ToWide(row.GetText(5));
  key.macrotype = row.GetInt(6);
  key.macrovalue = row.GetInt(7);
  key.macro2value = row.GetInt(8);
  key.macro3value = row.GetInt(9);
  key.macrodesc = Utf8ToWide(row.GetText(10));
}

}  // namespace

int ConfigDB::NewKeyProfile(const KeyProfileRow* row) {
  constexpr int kUserProfile = 2;
  return InsertKeyProfile(row->name, row->app, kUserProfile);
}

bool ConfigDB::DeleteKeyProfile(int profile_id) {
  return Write("DELETE FROM t_keyprofile WHERE profile_id = ?", {profile_id});
}

bool ConfigDB::RenameKeyProfile(int profile_id, const std::wstring& name) {
  return Write("UPDATE t_keyprofile SET name = ? WHERE profile_id = ?", {name, profile_id});
}

bool ConfigDB::GetKeyProfileName(int profile_id, std::wstring* out) {
  ReadFirst("SELECT name FROM t_keyprofile WHERE profile_id = ?", {profile_id},
            [&](SQLiteStatement& row) { *out = Utf8ToWide(row.GetText(0)); });
  return true;
}

int ConfigDB::GetKeyProfiles(int type, std::vector<KeyProfileRow*>& out) {
  return ReadList("SELECT * FROM t_keyprofile WHERE type = ?", {type}, out,
                  [](SQLiteStatement& row, KeyProfileRow& profile) {
                    profile.profile_id = row.GetInt(0);
                    profile.name = Utf8ToWide(row.GetText(1));
                    profile.app = Utf8ToWide(row.GetText(2));
                    profile.type = row.GetInt(3);
                  });
}

bool ConfigDB::StoreKeyRow(const KeyDataRow& row, int* id) {
  *id = 0;
  if (row.keyvalue == 0) return true;
  // A key has a row only while it does something other than its own function.
  const bool assigned = row.macrovalue != 0 || row.macro2value != 0;
  return DeleteThenInsert("DELETE FROM t_key_data WHERE profile = ? and keyvalue = ? and fnlayer = ?",
                          {row.profile, row.keyvalue, row.fnlayer}, assigned,
                          "INSERT INTO t_key_data(profile, keyvalue, fnlayer, layoutkeyvalue,layoutkeydesc, "
                          "macrotype, macrovalue, macro2value, macro3value, macrodesc) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
                          {row.profile, row.keyvalue, row.fnlayer, row.layoutkeyvalue, row.layoutkeydesc,
                           row.macrotype, row.macrovalue, row.macro2value, row.macro3value, row.macrodesc},
                          id);
}

int ConfigDB::SetKeyData(KeyDataRow row) {
  int id = 0;
  return Atomically([&] { return StoreKeyRow(row, &id); }) ? id : 0;
}

int ConfigDB::SetKeyDataList(const std::vector<KeyDataRow>& rows, std::vector<int>* results) {
  std::vector<int> ids(rows.size(), 0);
  const bool stored = Atomically([&] {
    for (size_t i = 0; i < rows.size(); ++i)
      if (!StoreKeyRow(rows[i], &ids[i])) return false;
    return true;
  });
  if (!stored) ids.assign(rows.size(), 0);
  const int count =
      stored ? static_cast<int>(std::count_if(ids.begin(), ids.end(), [](int id) { return id != 0; })) : -1;
  if (results) *results = std::move(ids);
  return count;
}

bool ConfigDB::GetKeyData(int profile, int fnlayer, int keyvalue, KeyDataRow* out) {
  return ReadFirst("SELECT * FROM t_key_data WHERE profile = ? and keyvalue = ? and fnlayer = ?",
                   {profile, keyvalue, fnlayer}, [&](SQLiteStatement& row) { ReadKeyData(row, *out); });
}

void ConfigDB::DeleteProfileKeyData(int profile) {
  Write("DELETE FROM t_key_data WHERE profile = ?", {profile});
}

int ConfigDB::GetLayerKeyData(int profile, int fnlayer, std::vector<KeyDataRow*>& out) {
  return ReadList("SELECT * FROM t_key_data WHERE profile = ? and fnlayer = ?", {profile, fnlayer}, out,
                  ReadKeyData);
}

int ConfigDB::InsertKeyOtherData(const std::wstring& macro_desc, const std::wstring& param, int type) {
  std::lock_guard guard(lock);
  int last = 0;
  {
    SQLiteStatement statement;
    int code = Prepare(statement, "SELECT seq FROM sqlite_sequence WHERE name = 't_key_otherdata'", {});
    if (code == SQLITE_OK) code = statement.Step();
    if (code == SQLITE_ROW)
      last = statement.GetInt(0);
    else if (code != SQLITE_DONE)
      return 0;  // the next id is unknown and might not fit in a byte
  }
  if (last < kMaxActionId) return Insert(kInsertKeyOtherData, {macro_desc, param, type});
  return ReuseKeyOtherDataId(macro_desc, param, type);
}

int ConfigDB::ReuseKeyOtherDataId(const std::wstring& macro_desc, const std::wstring& param, int type) {
  std::lock_guard guard(lock);
  std::vector<bool> used(kMaxActionId + 1, false);
  {
    SQLiteStatement statement;
    int code = Prepare(statement, "SELECT macrovalue FROM t_key_data WHERE macrotype >= ? AND macrotype <= ?",
                       {kFirstActionType, kLastActionType});
    while (code == SQLITE_OK || code == SQLITE_ROW) {
      code = statement.Step();
      const int id = code == SQLITE_ROW ? statement.GetInt(0) : 0;
      if (id >= 1 && id <= kMaxActionId) used[id] = true;
    }
    if (code != SQLITE_DONE) return 0;  // which ids are free is unknown
  }
  int id = 1;
  while (id <= kMaxActionId && used[id]) ++id;
  if (id > kMaxActionId) return 0;  // every id is named by a key

  const bool stored = Atomically([&] {
    return Write("DELETE FROM t_key_otherdata WHERE macro_value = ?", {id}) &&
           Write(
               "INSERT INTO t_key_otherdata(macro_value, macro_desc, param, type) "
               "VALUES (?, ?, ?, ?);",
               {id, macro_desc, param, type});
  });
  return stored ? id : 0;
}

bool ConfigDB::GetKeyOtherData(int macro_value, std::wstring* macro_desc, std::wstring* param, int* type) {
  ReadFirst("SELECT macro_desc, param, type FROM t_key_otherdata WHERE macro_value = ?", {macro_value},
            [&](SQLiteStatement& row) {
              *macro_desc = Utf8ToWide(row.GetText(0));
              *param = Utf8ToWide(row.GetText(1));
              *type = row.GetInt(2);
            });
  return true;
}
