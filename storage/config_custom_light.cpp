// Custom light effects (t_customlight_data with t_customrgb_data) and custom light modes
// (t_customlightmode_data with t_custommodergb_data).
#include <cstdint>
#include <map>
#include <set>

#include "storage/config_internal.h"

namespace {

void ReadCustomRgb(SQLiteStatement& row, CustomRgbRow& rgb) {
  rgb.customrgb_id = row.GetInt(0);
  rgb.customlight_id = row.GetInt(1);
  rgb.keycode = row.GetInt(2);
  rgb.rgbvalue = row.GetInt(3);
  rgb.light_mode = row.GetInt(4);
  rgb.colortype = row.GetInt(5);
  rgb.light_type = row.GetInt(6);
}

// Effects and modes are listed with their id, profile and name only.
template <class Row>
void ReadNamedRow(SQLiteStatement& row, Row& named) {
  named.customlight_id = row.GetInt(0);
  named.profile = row.GetInt(1);
  named.name = Utf8ToWide(row.GetText(2));
}

constexpr const char* kDeleteCustomRgbKey =
    "DELETE FROM t_customrgb_data WHERE customlight_id = ? AND keycode = ?";
constexpr const char* kInsertCustomRgb =
    "INSERT INTO t_customrgb_data(customlight_id, keycode, rgbvalue, light_mode, colortype, "
    "light_type) VALUES (?, ?, ?, ?, ?, ?);";
constexpr const char* kInsertNumberedCustomRgb =
    "INSERT INTO t_customrgb_data(customlight_id, keycode, rgbvalue, light_mode, colortype, "
    "light_type, customrgb_id) VALUES (?, ?, ?, ?, ?, ?, ?);";
constexpr const char* kInsertCustomModeRgb =
    "INSERT INTO t_custommodergb_data(customlight_id, keycode, rgbvalue, light_mode, colortype, "
    "light_type) VALUES (?, ?, ?, ?, ?, ?);";

}  // namespace

// The six stored columns of a key row, in insert order.
void ConfigDB::BindCustomRgb(SQLiteStatement& statement, const CustomRgbRow& row) {
  Bind(statement,
       {row.customlight_id, row.keycode, row.rgbvalue, row.light_mode, row.colortype, row.light_type});
}

int ConfigDB::ReplaceCustomRgb(const char* deleteSql, const char* insertSql, const CustomRgbRow& row) {
  return ReplaceByKey(
      deleteSql, {row.customlight_id, row.keycode}, row.light_mode != 0, insertSql,
      {row.customlight_id, row.keycode, row.rgbvalue, row.light_mode, row.colortype, row.light_type});
}

int ConfigDB::NewCustomLight(int profile, const std::wstring& name) {
  return Insert(
      "INSERT INTO t_customlight_data(profile, name, speed, brightness) "
      "VALUES (?, ?, ?, ?);",
      {profile, name, 15, 15});
}

bool ConfigDB::RenameCustomLight(int customlight_id, const std::wstring& name) {
  return Write("UPDATE t_customlight_data SET name = ? WHERE customlight_id = ?", {name, customlight_id});
}

bool ConfigDB::SetCustomLightSpeed(int customlight_id, int speed) {
  return Write("UPDATE t_customlight_data SET speed = ? WHERE customlight_id = ?", {speed, customlight_id});
}

bool ConfigDB::GetCustomLightSpeed(int customlight_id, int* out) {
  ReadFirst("SELECT speed FROM t_customlight_data WHERE customlight_id = ?", {customlight_id},
            [&](SQLiteStatement& row) { *out = row.GetInt(0); });
  return true;
}

bool ConfigDB::DeleteCustomLight(int customlight_id) {
  return Atomically([&] {
    return Write("DELETE FROM t_customlight_data WHERE customlight_id = ?", {customlight_id}) &&
           Write("DELETE FROM t_customrgb_data WHERE customlight_id = ?", {customlight_id});
  });
}

int ConfigDB::GetCustomLights(int profile, std::vector<CustomLightRow*>& out) {
  return ReadList("SELECT * FROM t_customlight_data WHERE profile = ?", {profile}, out,
                  ReadNamedRow<CustomLightRow>);
}

int ConfigDB::SetCustomRgb(const CustomRgbRow* row) {
  return ReplaceCustomRgb(kDeleteCustomRgbKey, kInsertCustomRgb, *row);
}

// Leaves the rows that deleting each element's key and inserting the element, one after the
// other, would leave: per key the last element of the list, under the id that its turn would have
// given it (the ids of the elements it replaced stay unused, as before). Each stored row of an
// affected key is found through the parent index and deleted by id once, and each kept element
// is inserted once. Any failing statement rolls the whole list back.
bool ConfigDB::SetCustomRgbList(std::vector<CustomRgbRow> rows) {
  // Key (effect, key code) -> position of its last element in the list.
  std::map<std::pair<int, int>, std::size_t> lastOf;
  std::set<int> effects;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    lastOf[{rows[i].customlight_id, rows[i].keycode}] = i;
    effects.insert(rows[i].customlight_id);
  }
  return Atomically([&] {
    SQLiteStatement statement;
    for (int effect : effects) {
      std::vector<int> stored;  // ids of the affected rows
      if (Prepare(statement, "SELECT customrgb_id, keycode FROM t_customrgb_data WHERE customlight_id = ?",
                  {effect}) != SQLITE_OK)
        return false;
      int code;
      while ((code = statement.Step()) == SQLITE_ROW)
        if (lastOf.count({effect, statement.GetInt(1)})) stored.push_back(statement.GetInt(0));
      if (code != SQLITE_DONE) return false;  // not every row was seen
      if (stored.empty()) continue;
      if (db.Prepare(statement, "DELETE FROM t_customrgb_data WHERE customrgb_id = ?", -1) != SQLITE_OK)
        return false;
      for (int id : stored) {
        statement.Reset();
        statement.BindInt(1, id);
        if (!IsWriteOk(statement.Step())) return false;
      }
    }
    // The id the first element would have had: one above every id the table has handed out.
    std::int64_t base = -1;
    if (Prepare(statement,
                "SELECT max(ifnull((SELECT seq FROM sqlite_sequence WHERE name = 't_customrgb_data'), 0), "
                "ifnull((SELECT max(customrgb_id) FROM t_customrgb_data), 0))",
                {}) == SQLITE_OK &&
        statement.Step() == SQLITE_ROW)
      base = statement.GetInt(0);
    const bool numbered = base >= 0 && base + static_cast<std::int64_t>(rows.size()) <= INT32_MAX;
    if (db.Prepare(statement, numbered ? kInsertNumberedCustomRgb : kInsertCustomRgb, -1) != SQLITE_OK)
      return false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const CustomRgbRow& row = rows[i];
      if (lastOf[{row.customlight_id, row.keycode}] != i) continue;
      statement.Reset();
      BindCustomRgb(statement, row);
      if (numbered) statement.BindInt(7, static_cast<int>(base + static_cast<std::int64_t>(i) + 1));
      if (!IsWriteOk(statement.Step())) return false;
    }
    return true;
  });
}

int ConfigDB::GetCustomRgbList(int customlight_id, std::vector<CustomRgbRow*>& out) {
  return ReadList("SELECT * FROM t_customrgb_data WHERE customlight_id = ?", {customlight_id}, out,
                  ReadCustomRgb);
}

int ConfigDB::NewCustomLightMode(int profile, const std::wstring& name) {
  return Insert("INSERT INTO t_customlightmode_data(profile, name, brightness) VALUES (?, ?, ?);",
                {profile, name, 15});
}

bool ConfigDB::RenameCustomLightMode(int customlight_id, const std::wstring& name) {
  return Write("UPDATE t_customlightmode_data SET name = ? WHERE customlight_id = ?", {name, customlight_id});
}

bool ConfigDB::SetCustomLightModeBrightness(int customlight_id, int brightness) {
  return Write("UPDATE t_customlightmode_data SET brightness = ? WHERE customlight_id = ?",
               {brightness, customlight_id});
}

bool ConfigDB::GetCustomLightModeBrightness(int customlight_id, int* out) {
  ReadFirst("SELECT brightness FROM t_customlightmode_data WHERE customlight_id = ?", {customlight_id},
            [&](SQLiteStatement& row) { *out = row.GetInt(0); });
  return true;
}

bool ConfigDB::DeleteCustomLightMode(int customlight_id) {
  return Atomically([&] {
    return Write("DELETE FROM t_customlightmode_data WHERE customlight_id = ?", {customlight_id}) &&
           DeleteCustomModeRgb(customlight_id);
  });
}

int ConfigDB::GetCustomLightModes(int profile, std::vector<CustomLightModeRow*>& out) {
  return ReadList("SELECT * FROM t_customlightmode_data WHERE profile = ?", {profile}, out,
                  ReadNamedRow<CustomLightModeRow>);
}

int ConfigDB::SetCustomModeRgb(const CustomRgbRow* row) {
  return ReplaceCustomRgb("DELETE FROM t_custommodergb_data WHERE customlight_id = ? AND keycode = ?",
                          kInsertCustomModeRgb, *row);
}

bool ConfigDB::SetCustomModeRgbList(std::vector<CustomRgbRow> rows) {
  return InsertEach(kInsertCustomModeRgb, rows, BindCustomRgb);
}

bool ConfigDB::DeleteCustomModeRgb(int customlight_id) {
  return Write("DELETE FROM t_custommodergb_data WHERE customlight_id = ?", {customlight_id});
}

int ConfigDB::GetCustomModeRgbList(int customlight_id, std::vector<CustomRgbRow*>& out) {
  return ReadList("SELECT * FROM t_custommodergb_data WHERE customlight_id = ?", {customlight_id}, out,
                  ReadCustomRgb);
}
