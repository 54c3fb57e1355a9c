// Macros with their events (t_macro_data, t_macrorecord) and screen animation slots with their
// frames (t_ledlayer_data, t_ledframe_data).
#include "storage/config_internal.h"

namespace {

constexpr const char* kInsertMacroRecord =
    "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value) VALUES (?, ?, ?, ?, ?);";
constexpr const char* kInsertLedFrame =
    "INSERT INTO t_ledframe_data(led_id, name, delay_time, frame_index, file_name) VALUES (?, ?, ?, ?, ?);";
constexpr const char* kInsertMacro =
    "INSERT INTO t_macro_data(play_times, delay_type, delay_time, name) VALUES (?, ?, ?, ?);";

// The record's fields are not in column order; columns are mapped by name.
void ReadMacro(SQLiteStatement& row, MacroDataRow& macro) {
  macro.macro_id = row.GetInt(0);
  macro.play_times = row.GetInt(1);
  macro.delay_type = row.GetInt(2);
  macro.delay_time = row.GetInt(3);
  macro.name = Utf8ToWide(row.GetText(4));
}

void ReadLedLayer(SQLiteStatement& row, LedLayerRow& layer) {
  layer.led_id = row.GetInt(0);
  layer.profile = row.GetInt(1);
  layer.type = row.GetInt(2);
  layer.name = Utf8ToWide(row.GetText(3));
  layer.frame_size = row.GetInt(4);
  layer.file_dir = Utf8ToWide(row.GetText(5));
  layer.first_file = Utf8ToWide(row.GetText(6));
}

}  // namespace

int ConfigDB::NewMacro(const std::wstring& name) { return Insert(kInsertMacro, {1, 1, 0, name}); }

int ConfigDB::InsertMacro(MacroDataRow row) {
  return Insert(kInsertMacro, {row.play_times, row.delay_type, row.delay_time, row.name});
}

bool ConfigDB::RenameMacro(int macro_id, const std::wstring& name) {
  return Write("UPDATE t_macro_data SET name = ? WHERE macro_id = ?", {name, macro_id});
}

bool ConfigDB::UpdateMacroSettings(const MacroDataRow* row) {
  return Write("UPDATE t_macro_data SET play_times = ?, delay_type = ?, delay_time = ? WHERE macro_id = ?",
               {row->play_times, row->delay_type, row->delay_time, row->macro_id});
}

bool ConfigDB::DeleteMacro(int macro_id) {
  return Atomically([&] {
    return Write("DELETE FROM t_macro_data WHERE macro_id = ?", {macro_id}) && DeleteMacroRecords(macro_id);
  });
}

bool ConfigDB::GetMacro(int macro_id, MacroDataRow* out) {
  return ReadFirst("SELECT * FROM t_macro_data WHERE macro_id = ?", {macro_id},
                   [&](SQLiteStatement& row) { ReadMacro(row, *out); });
}

int ConfigDB::GetAllMacros(std::vector<MacroDataRow*>& out) {
  return ReadList("SELECT * FROM t_macro_data", {}, out, ReadMacro);
}

bool ConfigDB::SaveMacroRecords(std::vector<MacroRecordRow> rows) {
  return InsertEach(kInsertMacroRecord, rows, [](SQLiteStatement& statement, const MacroRecordRow& row) {
    Bind(statement, {row.macro_id, row.type, row.record_index, row.desc, row.value});
  });
}

// A process killed during the save leaves the old events: the delete, every insert and the play
// options are one transaction.
bool ConfigDB::ReplaceMacroRecords(const MacroDataRow& macro, const std::vector<MacroRecordRow>& rows) {
  const int id = macro.macro_id;
  return Atomically([&] {
    return DeleteMacroRecords(id) &&
           InsertEach(kInsertMacroRecord, rows,
                      [id](SQLiteStatement& statement, const MacroRecordRow& row) {
                        Bind(statement, {id, row.type, row.record_index, row.desc, row.value});
                      }) &&
           UpdateMacroSettings(&macro);
  });
}

int ConfigDB::GetMacroRecords(int macro_id, std::vector<MacroRecordRow*>& out) {
  return ReadList("SELECT * FROM t_macrorecord WHERE macro_id = ? ORDER BY record_index ASC", {macro_id}, out,
                  [](SQLiteStatement& row, MacroRecordRow& record) {
                    record.record_id = row.GetInt(0);
                    record.macro_id = row.GetInt(1);
                    record.type = row.GetInt(2);
                    record.record_index = row.GetInt(3);
                    record.desc = Utf8ToWide(row.GetText(4));
                    record.value = row.GetInt(5);
                  });
}

bool ConfigDB::DeleteMacroRecords(int macro_id) {
  return Write("DELETE FROM t_macrorecord WHERE macro_id = ?", {macro_id});
}

// Events whose macro is gone are not counted: they are never sent and must not fill the memory.
int ConfigDB::CountMacroRecords() {
  return FirstInt("select count(*) FROM t_macrorecord WHERE macro_id IN (SELECT macro_id FROM t_macro_data)",
                  {});
}

int ConfigDB::NewLedLayer(int profile, const std::wstring& name) {
  return Insert(
      "INSERT INTO t_ledlayer_data(profile, type, name, frame_size, file_dir, "
      "first_file) VALUES (?, ?, ?, ?, ?, ?);",
      {profile, 0, name, 0, name, name});
}

bool ConfigDB::SetLedLayerFrameSize(int led_id, int frame_size) {
  return Write("UPDATE t_ledlayer_data SET frame_size = ? WHERE led_id = ?", {frame_size, led_id});
}

bool ConfigDB::SetLedLayerFirstFile(int led_id, const std::wstring& first_file) {
  return Write("UPDATE t_ledlayer_data SET first_file = ? WHERE led_id = ?", {first_file, led_id});
}

bool ConfigDB::DeleteLedLayer(int led_id) {
  return Atomically([&] {
    return Write("DELETE FROM t_ledlayer_data WHERE led_id = ?", {led_id}) && DeleteLedFrames(led_id);
  });
}

bool ConfigDB::GetLedLayer(int led_id, LedLayerRow* out) {
  return ReadFirst("SELECT * FROM t_ledlayer_data WHERE led_id = ?", {led_id},
                   [&](SQLiteStatement& row) { ReadLedLayer(row, *out); });
}

int ConfigDB::GetLedLayers(int profile, std::vector<LedLayerRow*>& out) {
  return ReadList("SELECT * FROM t_ledlayer_data WHERE profile = ?", {profile}, out, ReadLedLayer);
}

int ConfigDB::SaveLedFrames(std::vector<LedFrameRow> rows) {
  const bool stored =
      InsertEach(kInsertLedFrame, rows, [](SQLiteStatement& statement, const LedFrameRow& row) {
        Bind(statement, {row.led_id, row.name, row.delay_time, row.frame_index, row.file_name});
      });
  return stored ? static_cast<int>(rows.size()) : -1;
}

// The old rows stay when any statement fails: the delete and every insert are one transaction.
bool ConfigDB::ReplaceLedFrames(int led_id, const std::vector<LedFrameRow>& rows) {
  return Atomically([&] {
    return DeleteLedFrames(led_id) &&
           InsertEach(kInsertLedFrame, rows, [led_id](SQLiteStatement& statement, const LedFrameRow& row) {
             Bind(statement, {led_id, row.name, row.delay_time, row.frame_index, row.file_name});
           });
  });
}

bool ConfigDB::DeleteLedFrames(int led_id) {
  return Write("DELETE FROM t_ledframe_data WHERE led_id = ?", {led_id});
}

int ConfigDB::GetLedFrames(int led_id, std::vector<LedFrameRow*>& out) {
  return ReadList("SELECT * FROM t_ledframe_data WHERE led_id = ? ORDER BY frame_index ASC", {led_id}, out,
                  [](SQLiteStatement& row, LedFrameRow& frame) {
                    frame.frame_id = row.GetInt(0);
                    frame.led_id = row.GetInt(1);
                    ReadText(row, 2, frame.name);
                    frame.delay_time = row.GetInt(3);
                    frame.frame_index = row.GetInt(4);
                    ReadText(row, 5, frame.file_name);
                  });
}

int ConfigDB::CountLedFrames(int led_id) {
  return FirstInt(
      "select count(*) FROM t_ledframe_data WHERE led_id = ? AND led_id IN (SELECT led_id FROM "
      "t_ledlayer_data)",
      {led_id});
}

void ConfigDB::DeleteAllLedData() {
  Atomically([&] {
    return db.Exec("DELETE FROM t_ledlayer_data") == SQLITE_OK &&
           db.Exec("DELETE FROM t_ledframe_data") == SQLITE_OK;
  });
}
