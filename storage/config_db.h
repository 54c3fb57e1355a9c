// ConfigDB: the configuration store of one keyboard, one SQLite file per device.
//
// Conventions shared by every table operation (unless its comment says otherwise):
// - Each call holds the object's lock for its whole run, so the UI thread and the worker may use
//   one ConfigDB at once. Two ConfigDB objects on one file wait for each other's locks (busy
//   timeout) instead of failing.
// - Text goes in and out as std::wstring and is stored as UTF-8. Stored text that is not valid
//   UTF-8 reads as an empty text.
// - A write returns true when its statement ran (also when it matched no row).
// - An inserter returns the new row's id, or 0 when nothing was inserted.
// - A single-row getter fills its outputs from the first matching row and returns true; without
//   a row it returns false and leaves the outputs untouched.
// - A list getter fills the vector with one record per row (the caller owns them, see
//   FreeRows): the records it held already are reset and refilled, those left over are freed,
//   missing ones are made with `new`. It returns how many it now holds. When the read fails
//   (a damaged page, no connection) the vector is left empty and the result is -1, so that a
//   caller never takes part of a list for all of it.
// - An operation that runs several statements runs them in one transaction: it takes effect
//   whole or not at all.
// - A batch writer stores its whole list in one transaction: the first element whose statement
//   fails ends it, nothing of the list is kept and the result is false.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "storage/config_rows.h"
#include "storage/sqlite_db.h"

class ConfigDB {
 public:
  // The only version this program reads; a store of any other version is discarded.
  static constexpr const wchar_t* kVersion = L"1.0.1";

  enum class VersionState {
    Current,     // the "version" row reads kVersion
    Other,       // not this version, or not a store at all: discard the file and create it anew
    Unreadable,  // could not be read right now (busy, locked, I/O, not open): keep the file
    Damaged,     // the version is current but pages or tables of the file are damaged or missing
  };

  ConfigDB();
  ~ConfigDB();
  ConfigDB(const ConfigDB&) = delete;
  ConfigDB& operator=(const ConfigDB&) = delete;

  // --- File and connection -----------------------------------------------------------------

  // Opens "<folder>db/<stem>_data.db" (folder ends in '/'; `unused` is ignored). A missing file
  // is created with the schema and the default rows; an existing one is opened as it is, gaining
  // only the lookup indexes it lacks (no row, table or version changes). When a
  // connection is open already nothing is reopened and the result is true, whatever the stem.
  // No folder is ever created. The result is also kept in `opened`.
  bool Open(const std::wstring& folder, const std::wstring& unused, const std::wstring& stem);
  // Opens "<folder>db/<sub>/<stem>_data.db" as Open does, then ResetAll on whatever is open.
  void OpenAndReset(const std::wstring& folder, const std::wstring& sub, const std::wstring& stem);
  // Creates `dbPath` with the full schema and the default key profiles and music layer. True when
  // a connection was open already, or when the open and every schema statement succeeded; a
  // failing schema statement does not stop the others nor the default rows.
  bool CreateDatabase();
  // Reads the "version" row of `profile` without inserting anything; a current store then gets
  // SQLite's quick check of its pages and must hold every table of the schema (Damaged
  // otherwise). `code` (optional) receives the SQLite code for the
  // caller's log (SQLITE_CORRUPT when the check found damage).
  VersionState CheckVersion(int profile, int* code = nullptr);

  // --- Default rows (config_defaults.cpp) --------------------------------------------------

  // When `profile` has no light row yet: adds its settings rows and the twenty default light
  // modes. Always true.
  bool InitProfileLightData(int profile);
  // Empties every table but the screen slots', restarts the ids and adds the defaults that a new
  // file gets. The screen slots are cleared separately with DeleteAllLedData.
  void ResetAll();

  // --- Settings (t_configdata) -------------------------------------------------------------

  // Updates every row of `key`; never inserts, so a key without a row stays absent (still true).
  bool SetConfigValue(int profile, const std::wstring& key, const std::wstring& value);
  // *out = the first row's value, true. Without a row: false with *out empty, except for
  // keyboard_layout, tab_item and button_respondtime, whose default ("1", "0", "2") is handed
  // back and stored (the result is still false).
  bool GetConfigValue(int profile, const std::wstring& key, std::wstring* out);

  // --- Light modes and key colours (t_light_data, t_key_rgb_data) ---------------------------

  // Writes block[1..7] (colortype, byte2..byte7) of `mode`; block[0] is not written.
  bool UpdateLightData(int profile, int mode, const std::uint8_t block[8]);
  // Clears every selection of the profile, then selects `mode`; result of the second write.
  bool SelectLightMode(int profile, int mode);
  int GetSelectedLightMode(int profile);  // 0 when none is selected
  bool GetLightData(int profile, int mode, LightDataRow* out);
  // Replaces the colour of (light_id, keycode); rgbvalue 0 only clears it. Returns the new
  // rgb_id; 0 when cleared or on failure (a failed delete inserts nothing).
  int SetKeyRgb(KeyRgbRow row);
  int GetKeyRgbList(int light_id, std::vector<KeyRgbRow*>& out);

  // --- Custom light effects (t_customlight_data, t_customrgb_data) ---------------------------

  int NewCustomLight(int profile, const std::wstring& name);  // speed 15, brightness 15
  bool RenameCustomLight(int customlight_id, const std::wstring& name);
  bool SetCustomLightSpeed(int customlight_id, int speed);
  bool GetCustomLightSpeed(int customlight_id, int* out);  // always true
  // Deletes the effect, then (only when that succeeded) its key rows.
  bool DeleteCustomLight(int customlight_id);
  // Fills customlight_id, profile and name only.
  int GetCustomLights(int profile, std::vector<CustomLightRow*>& out);
  // Replaces the row of (customlight_id, keycode); light_mode 0 only clears it. As SetKeyRgb.
  int SetCustomRgb(const CustomRgbRow* row);
  // For each element: the same delete, then the insert whatever light_mode is.
  bool SetCustomRgbList(std::vector<CustomRgbRow> rows);
  int GetCustomRgbList(int customlight_id, std::vector<CustomRgbRow*>& out);

  // --- Custom light modes (t_customlightmode_data, t_custommodergb_data) ---------------------

  int NewCustomLightMode(int profile, const std::wstring& name);  // brightness 15
  bool RenameCustomLightMode(int customlight_id, const std::wstring& name);
  bool SetCustomLightModeBrightness(int customlight_id, int brightness);
  bool GetCustomLightModeBrightness(int customlight_id, int* out);  // always true
  bool DeleteCustomLightMode(int customlight_id);                   // with its key rows, as DeleteCustomLight
  int GetCustomLightModes(int profile, std::vector<CustomLightModeRow*>& out);
  int SetCustomModeRgb(const CustomRgbRow* row);  // as SetCustomRgb
  // Inserts every element without deleting first; callers empty the mode with
  // DeleteCustomModeRgb.
  bool SetCustomModeRgbList(std::vector<CustomRgbRow> rows);
  bool DeleteCustomModeRgb(int customlight_id);
  int GetCustomModeRgbList(int customlight_id, std::vector<CustomRgbRow*>& out);

  // --- Music layers (t_musiclayer_data) -------------------------------------------------------

  // deviceindex 0, foremode 19, fore_amplitude 300, backmode 0, backb_right 100, not selected.
  int NewMusicLayer(int profile, const std::wstring& name);
  bool DeleteMusicLayer(int layer_id);
  bool RenameMusicLayer(int layer_id, const std::wstring& name);
  int GetMusicLayers(int profile, std::vector<MusicLayerRow*>& out);  // id, profile, name only
  bool GetMusicLayer(int layer_id, MusicLayerRow* out);
  // Writes the record's five settings to `layer_id` (the record's own id is ignored).
  bool UpdateMusicLayer(int layer_id, const MusicLayerRow* row);
  bool SelectMusicLayer(int profile, int layer_id);  // as SelectLightMode
  int GetSelectedMusicLayer(int profile);            // 0 when none is selected

  // --- Key profiles and key assignments (t_keyprofile, t_key_data) --------------------------

  int NewKeyProfile(const KeyProfileRow* row);  // stores name and app with type 2
  bool DeleteKeyProfile(int profile_id);        // the profile's key rows stay
  bool RenameKeyProfile(int profile_id, const std::wstring& name);
  bool GetKeyProfileName(int profile_id, std::wstring* out);  // always true
  int GetKeyProfiles(int type, std::vector<KeyProfileRow*>& out);
  // Replaces the row of (profile, keyvalue, fnlayer). keyvalue 0 is refused (0, nothing done);
  // macrovalue and macro2value both 0 only remove the row (0). Otherwise the new key_id, or 0 on
  // failure (a failed delete inserts nothing).
  int SetKeyData(KeyDataRow row);
  // Stores every row as SetKeyData would, in order, in one transaction: a later row of the same
  // (profile, keyvalue, fnlayer) replaces an earlier one. `results` (may be null) gets what one
  // SetKeyData per row would have returned. Unlike the batch writers, a failing statement rolls
  // the whole list back: the result is then -1 and every element of `results` 0. Otherwise the
  // number of rows that got a key_id (a row replaced by a later one of the list counts too).
  int SetKeyDataList(const std::vector<KeyDataRow>& rows, std::vector<int>* results = nullptr);
  // Note the order: fnlayer before keyvalue.
  bool GetKeyData(int profile, int fnlayer, int keyvalue, KeyDataRow* out);
  void DeleteProfileKeyData(int profile);
  int GetLayerKeyData(int profile, int fnlayer, std::vector<KeyDataRow*>& out);

  // --- Software key actions (t_key_otherdata) -------------------------------------------------

  // Stores a software action and returns its id, which is always 1..255 because the key map
  // carries one byte of it. Past 255 the lowest id that no key assignment of type 8..11 names is
  // replaced; when every id is in use nothing is stored and the result is 0 (also on failure).
  int InsertKeyOtherData(const std::wstring& macro_desc, const std::wstring& param, int type);
  // Always true; the outputs are set only when the row exists.
  bool GetKeyOtherData(int macro_value, std::wstring* macro_desc, std::wstring* param, int* type);

  // --- Macros (t_macro_data, t_macrorecord); macros are global to the store ------------------

  int NewMacro(const std::wstring& name);  // play_times 1, delay_type 1, delay_time 0
  int InsertMacro(MacroDataRow row);       // the record's settings and name
  bool RenameMacro(int macro_id, const std::wstring& name);
  bool UpdateMacroSettings(const MacroDataRow* row);
  bool DeleteMacro(int macro_id);  // with its events, as DeleteCustomLight
  bool GetMacro(int macro_id, MacroDataRow* out);
  int GetAllMacros(std::vector<MacroDataRow*>& out);
  // Appends the events (nothing is deleted first; see DeleteMacroRecords).
  bool SaveMacroRecords(std::vector<MacroRecordRow> rows);
  // Replaces the events of macro.macro_id by `rows` (their macro_id ignored) and writes the
  // macro's play options as UpdateMacroSettings does, in one transaction; on any failure nothing
  // changes and the result is false.
  bool ReplaceMacroRecords(const MacroDataRow& macro, const std::vector<MacroRecordRow>& rows);
  int GetMacroRecords(int macro_id, std::vector<MacroRecordRow*>& out);  // by record_index
  bool DeleteMacroRecords(int macro_id);
  int CountMacroRecords();  // events of all macros together; 0 on failure

  // --- Screen animation slots (t_ledlayer_data, t_ledframe_data) ------------------------------

  int NewLedLayer(int profile, const std::wstring& name);  // name also as file_dir, first_file
  bool SetLedLayerFrameSize(int led_id, int frame_size);
  bool SetLedLayerFirstFile(int led_id, const std::wstring& first_file);
  // Deletes the slot, then always its frames; the result of the first delete.
  bool DeleteLedLayer(int led_id);
  bool GetLedLayer(int led_id, LedLayerRow* out);
  int GetLedLayers(int profile, std::vector<LedLayerRow*>& out);
  // Appends the frames (nothing is deleted first); returns the number handed in, -1 when the
  // batch failed.
  int SaveLedFrames(std::vector<LedFrameRow> rows);
  // Deletes the slot's frames and stores `rows` (their led_id ignored: all go to `led_id`) in one
  // transaction; on any failure nothing changes and the result is false.
  bool ReplaceLedFrames(int led_id, const std::vector<LedFrameRow>& rows);
  bool DeleteLedFrames(int led_id);
  int GetLedFrames(int led_id, std::vector<LedFrameRow*>& out);  // by frame_index
  int CountLedFrames(int led_id);                                // 0 on failure
  void DeleteAllLedData();

  // --- Several operations as one -------------------------------------------------------------

  // Runs `steps` under the lock in one transaction: committed when they return true, rolled back
  // (nothing of them kept) when they return false. Inside a transaction that is open already the
  // steps simply join it, so the operations above may be combined: an import creates its parent
  // row and stores its rows within one call. A step's id is only valid once the call returned
  // true. False when no transaction could be begun (nothing is run then).
  bool Atomically(const std::function<bool()>& steps);

  // The connection; owners may Close it directly (the version check does).
  SQLiteDB db;
  // UTF-8 path of the store's file, set by Open and OpenAndReset.
  std::string dbPath;
  // Name of the default user key profile; the default music layer is named after it with " 1".
  // Set before Open; the keyboard window puts its language text here.
  std::wstring defaultProfileName;
  // The result of the last Open or OpenAndReset.
  bool opened = false;

 private:
  struct Arg;  // one bound parameter (config_internal.h)

  bool OpenPath(const std::wstring& path);
  VersionState CheckPages(int* code);
  VersionState CheckTables(int* code);
  void InsertDefaultConfig(int profile);
  void InsertDefaultProfiles();
  void InsertMacLayoutKeys();
  void InsertDvorakLayoutKeys();
  int InsertKeyProfile(const std::wstring& name, const std::wstring& app, int type);
  int ReuseKeyOtherDataId(const std::wstring& macro_desc, const std::wstring& param, int type);

  // Adds the lookup indexes that files made before them lack; never waits for another connection.
  void AddLookupIndexes();
  // Removes rows whose parent row is gone (left by files written before every delete was one
  // transaction), in one transaction. Only on a store whose version row reads kVersion.
  void RemoveOrphanRows();

  // Helpers that run statements under the lock (config_internal.h, config_query.cpp).
  static void Bind(SQLiteStatement& statement, std::initializer_list<Arg> args);
  int Prepare(SQLiteStatement& statement, const char* sql, std::initializer_list<Arg> args);
  // The same with a statement the connection keeps for the next call of this text (reads).
  int PrepareCached(SQLiteStatement& statement, const char* sql, std::initializer_list<Arg> args);
  bool Write(const char* sql, std::initializer_list<Arg> args);
  int Insert(const char* sql, std::initializer_list<Arg> args);
  int FirstInt(const char* sql, std::initializer_list<Arg> args);  // column 0 of row 1, else 0
  int ReplaceByKey(const char* deleteSql, std::initializer_list<Arg> keyArgs, bool insert,
                   const char* insertSql, std::initializer_list<Arg> rowArgs);
  // ReplaceByKey's statements without a transaction of their own: `*id` gets the new row's id, or
  // 0 when nothing was inserted. False when a statement failed (the caller rolls back).
  bool DeleteThenInsert(const char* deleteSql, std::initializer_list<Arg> keyArgs, bool insert,
                        const char* insertSql, std::initializer_list<Arg> rowArgs, int* id);
  // One key row as SetKeyData stores it, inside the caller's transaction; `*id` as
  // DeleteThenInsert gives it. keyvalue 0 does nothing and succeeds.
  bool StoreKeyRow(const KeyDataRow& row, int* id);
  static void BindCustomRgb(SQLiteStatement& statement, const CustomRgbRow& row);
  int ReplaceCustomRgb(const char* deleteSql, const char* insertSql, const CustomRgbRow& row);
  template <class Read>
  bool ReadFirst(const char* sql, std::initializer_list<Arg> args, Read read);
  template <class Row, class Read>
  int ReadList(const char* sql, std::initializer_list<Arg> args, std::vector<Row*>& out, Read read);
  template <class Row, class BindRow>
  bool InsertEach(const char* sql, const std::vector<Row>& rows, BindRow bind);

  std::recursive_mutex lock;  // ResetAll and DeleteLedLayer enter it again
  std::string key1;           // never set: every store is a plain SQLite file
  std::string key2;           // the key handed to SQLiteDB::Open
};

// Removes a store file together with its "-journal", "-wal" and "-shm" companions (a journal left
// beside a new file of the same name would be rolled back into it). The companions go first; when
// one of them cannot be removed the file is kept and the result is false. True when none of them
// exists afterwards; false for an empty path.
bool DiscardDatabaseFile(const std::string& utf8Path);
// Moves a store file that is to be replaced out of the way instead of deleting it: renames it
// within its folder to "<file name>.<YYYYMMDDHHMMSS>.bak" (local time of `now`; when that name is
// taken, the next second's), its companions to the same name with their suffixes, then removes
// the oldest copies of this store beyond the newest `keep`. Returns the copy's path; empty (and
// the file left as it was) when the path is empty, there is no file, or a rename failed.
std::string SetAsideDatabaseFile(const std::string& utf8Path, std::time_t now, int keep = 3);
