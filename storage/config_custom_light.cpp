// Custom light effects (t_customlight_data with t_customrgb_data) and custom light modes
// (t_customlightmode_data with t_custommodergb_data).
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

void ConfigDB::SetCustomRgbList(std::vector<CustomRgbRow> rows) {
  std::lock_guard guard(lock);
  SQLiteAutoTransaction transaction(&db);
  transaction.Begin();
  SQLiteStatement remove;
  SQLiteStatement insert;
  if (db.Prepare(remove, kDeleteCustomRgbKey, -1) == SQLITE_OK &&
      db.Prepare(insert, kInsertCustomRgb, -1) == SQLITE_OK) {
    for (const CustomRgbRow& row : rows) {
      remove.Reset();
      Bind(remove, {row.customlight_id, row.keycode});
      if (!IsWriteOk(remove.Step())) continue;  // the key would end up with two rows
      insert.Reset();
      BindCustomRgb(insert, row);
      insert.Step();
    }
  }
  remove.Finalize();
  insert.Finalize();
  transaction.Commit();
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

void ConfigDB::SetCustomModeRgbList(std::vector<CustomRgbRow> rows) {
  InsertEach(kInsertCustomModeRgb, rows, BindCustomRgb);
}

bool ConfigDB::DeleteCustomModeRgb(int customlight_id) {
  return Write("DELETE FROM t_custommodergb_data WHERE customlight_id = ?", {customlight_id});
}

int ConfigDB::GetCustomModeRgbList(int customlight_id, std::vector<CustomRgbRow*>& out) {
  return ReadList("SELECT * FROM t_custommodergb_data WHERE customlight_id = ?", {customlight_id}, out,
                  ReadCustomRgb);
}
