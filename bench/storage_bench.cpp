// Timings of the store's hot paths on a store filled like a heavy user's, each against a raw sqlite3
// anchor doing the same work on the same file in the same run: the batch writes that run on the UI
// thread on a click against a raw loop of the same deletes and inserts in one transaction, the page
// loads against the same indexed query stepped by hand, and the reads of one page synchronisation.
// The store lives on disk beside the program (not a tmpfs), where a commit costs a flush as in the
// program's own working folder. Batch writes report items_per_second (saves per second);
// bench/check_storage_bench.py states the bounds.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "bench/scratch_folder.h"
#include "common/strings.h"
#include "storage/config_db.h"

namespace {

constexpr int kKeys = 108;  // keys of an effect
constexpr int kEffects = 20;
constexpr int kMacros = 50;
constexpr int kMacroEvents = 60;
constexpr int kSlots = 8;
constexpr int kFrames = 141;
constexpr int kProfile = 1;

std::vector<CustomRgbRow> KeyRows(int parent) {
  std::vector<CustomRgbRow> rows;
  for (int key = 0; key < kKeys; ++key) rows.push_back({0, parent, key + 4, 0x00FF8000, 1, 1, 0});
  return rows;
}

std::vector<MacroRecordRow> MacroEvents(int macro) {
  std::vector<MacroRecordRow> rows;
  for (int i = 0; i < kMacroEvents; ++i)
    rows.push_back({0, macro, 1 + i % 2, i, 4 + i % 26, L"Key down " + std::to_wstring(i)});
  return rows;
}

std::vector<LedFrameRow> Frames(int slot) {
  std::vector<LedFrameRow> rows;
  for (int i = 0; i < kFrames; ++i)
    rows.push_back(
        {0, slot, L"frame" + std::to_wstring(i), 40, i, L"20261208120000" + std::to_wstring(i) + L".bin"});
  return rows;
}

// One filled store for the whole run; its folder is removed at exit.
struct HeavyStore {
  HeavyStore() {
    std::filesystem::create_directories(folder + "db");
    if (!store.Open(Utf8ToWide(folder), L"", L"bench")) std::abort();
    store.InitProfileLightData(kProfile);
    for (int i = 0; i < kEffects; ++i) {
      effect = store.NewCustomLight(kProfile, L"effect " + std::to_wstring(i));
      store.SetCustomRgbList(KeyRows(effect));
      mode = store.NewCustomLightMode(kProfile, L"mode " + std::to_wstring(i));
      store.SetCustomModeRgbList(KeyRows(mode));
    }
    LightDataRow light;
    store.GetLightData(kProfile, 20, &light);
    lightId = light.light_id;
    for (int key = 0; key < kKeys; ++key) store.SetKeyRgb({0, lightId, key + 4, 0x0000FF});
    for (int i = 0; i < kMacros; ++i) {
      macro = store.NewMacro(L"macro " + std::to_wstring(i));
      store.SaveMacroRecords(MacroEvents(macro));
    }
    for (int i = 0; i < kSlots; ++i) {
      slot = store.NewLedLayer(kProfile, L"slot" + std::to_wstring(i));
      store.SaveLedFrames(Frames(slot));
    }
    sqlite3_open_v2(store.dbPath.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open_v2(store.dbPath.c_str(), &rawWrite, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(rawWrite, 5000);
  }
  ~HeavyStore() {
    sqlite3_close_v2(rawWrite);
    sqlite3_close_v2(raw);
    store.db.Close();
  }

  const std::string& folder = bench_support::DiskScratchFolder();
  ConfigDB store;
  sqlite3* raw = nullptr;                                      // the load anchors'
  sqlite3* rawWrite = nullptr;                                 // the write anchors'
  int effect = 0, mode = 0, lightId = 0, macro = 0, slot = 0;  // the last of each
};

HeavyStore& Heavy() {
  static HeavyStore heavy;
  return heavy;
}

// Runs `write` on the filled store over and over; `write` gets the store and the rows made once.
template <class Make, class Write>
void RepeatWrite(benchmark::State& state, Make make, Write write) {
  HeavyStore& h = Heavy();
  const auto rows = make(h);
  for (auto _ : state) write(h, rows);
  state.SetItemsProcessed(state.iterations());
}

void BM_ClearModeAndSaveAllKeys(benchmark::State& state) {
  RepeatWrite(
      state, [](HeavyStore& h) { return KeyRows(h.mode); },
      [](HeavyStore& h, const auto& rows) {
        // As the custom light mode page stores an edit: both steps in one transaction.
        h.store.Atomically([&] { return h.store.DeleteCustomModeRgb(h.mode) && h.store.SetCustomModeRgbList(rows); });
      });
}
BENCHMARK(BM_ClearModeAndSaveAllKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetCustomRgbListAllKeys(benchmark::State& state) {
  RepeatWrite(
      state, [](HeavyStore& h) { return KeyRows(h.effect); },
      [](HeavyStore& h, const auto& rows) { h.store.SetCustomRgbList(rows); });
}
BENCHMARK(BM_SetCustomRgbListAllKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplaceMacroEvents(benchmark::State& state) {
  RepeatWrite(
      state, [](HeavyStore& h) { return MacroEvents(h.macro); },
      [](HeavyStore& h, const auto& rows) {
        // As the macro page saves: the events and the play options in one transaction.
        MacroDataRow macro;
        macro.macro_id = h.macro;
        h.store.ReplaceMacroRecords(macro, rows);
      });
}
BENCHMARK(BM_ReplaceMacroEvents)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplaceLedFrames(benchmark::State& state) {
  RepeatWrite(
      state, [](HeavyStore& h) { return Frames(h.slot); },
      [](HeavyStore& h, const auto& rows) { h.store.ReplaceLedFrames(h.slot, rows); });
}
BENCHMARK(BM_ReplaceLedFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The write anchors: a raw sqlite3 loop of `deleteSql` bound to each key of `deleteKeys`, then
// `insertSql` bound to each row, in one transaction on the store's file.
void Must(bool ok) {
  if (!ok) std::abort();
}
void BindValue(sqlite3_stmt* stmt, int column, int value) {
  Must(sqlite3_bind_int(stmt, column, value) == SQLITE_OK);
}
void BindValue(sqlite3_stmt* stmt, int column, const std::wstring& value) {
  const std::string text = WideToUtf8(value);
  Must(sqlite3_bind_text(stmt, column, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
       SQLITE_OK);
}
template <class... Values>
void Run(sqlite3_stmt* stmt, const Values&... values) {
  int column = 0;
  (BindValue(stmt, ++column, values), ...);
  Must(sqlite3_step(stmt) == SQLITE_DONE);
  sqlite3_reset(stmt);
}

template <class Rows, class DeleteEach, class InsertEach>
void RawWrite(benchmark::State& state, const Rows& rows, const char* deleteSql, DeleteEach deleteEach,
              const char* insertSql, InsertEach insertEach) {
  sqlite3* db = Heavy().rawWrite;
  for (auto _ : state) {
    Must(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_stmt* erase = nullptr;
    sqlite3_stmt* insert = nullptr;
    Must(sqlite3_prepare_v2(db, deleteSql, -1, &erase, nullptr) == SQLITE_OK);
    deleteEach(erase);
    Must(sqlite3_prepare_v2(db, insertSql, -1, &insert, nullptr) == SQLITE_OK);
    for (const auto& row : rows) insertEach(insert, row);
    sqlite3_finalize(erase);
    sqlite3_finalize(insert);
    Must(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK);
  }
  state.SetItemsProcessed(state.iterations());
}

constexpr const char* kInsertKeySql =
    "INSERT INTO %s(customlight_id, keycode, rgbvalue, light_mode, colortype, light_type) "
    "VALUES (?, ?, ?, ?, ?, ?);";
void InsertKey(sqlite3_stmt* stmt, const CustomRgbRow& r) {
  Run(stmt, r.customlight_id, r.keycode, r.rgbvalue, r.light_mode, r.colortype, r.light_type);
}
std::string KeySql(const char* table) {
  char sql[256];
  std::snprintf(sql, sizeof sql, kInsertKeySql, table);
  return sql;
}

void BM_ClearModeAndSaveAllKeysRaw(benchmark::State& state) {
  const HeavyStore& h = Heavy();
  RawWrite(
      state, KeyRows(h.mode), "DELETE FROM t_custommodergb_data WHERE customlight_id = ?",
      [&](sqlite3_stmt* stmt) { Run(stmt, h.mode); }, KeySql("t_custommodergb_data").c_str(), InsertKey);
}
BENCHMARK(BM_ClearModeAndSaveAllKeysRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetCustomRgbListAllKeysRaw(benchmark::State& state) {
  const HeavyStore& h = Heavy();
  const std::vector<CustomRgbRow> rows = KeyRows(h.effect);
  RawWrite(
      state, rows, "DELETE FROM t_customrgb_data WHERE customlight_id = ? AND keycode = ?",
      [&](sqlite3_stmt* stmt) {
        for (const CustomRgbRow& row : rows) Run(stmt, row.customlight_id, row.keycode);
      },
      KeySql("t_customrgb_data").c_str(), InsertKey);
}
BENCHMARK(BM_SetCustomRgbListAllKeysRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplaceMacroEventsRaw(benchmark::State& state) {
  const HeavyStore& h = Heavy();
  RawWrite(
      state, MacroEvents(h.macro), "DELETE FROM t_macrorecord WHERE macro_id = ?",
      [&](sqlite3_stmt* stmt) { Run(stmt, h.macro); },
      "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value) VALUES (?, ?, ?, ?, ?);",
      [](sqlite3_stmt* stmt, const MacroRecordRow& r) {
        Run(stmt, r.macro_id, r.type, r.record_index, r.desc, r.value);
      });
}
BENCHMARK(BM_ReplaceMacroEventsRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplaceLedFramesRaw(benchmark::State& state) {
  const HeavyStore& h = Heavy();
  RawWrite(
      state, Frames(h.slot), "DELETE FROM t_ledframe_data WHERE led_id = ?",
      [&](sqlite3_stmt* stmt) { Run(stmt, h.slot); },
      "INSERT INTO t_ledframe_data(led_id, name, delay_time, frame_index, file_name) VALUES (?, ?, ?, ?, ?);",
      [](sqlite3_stmt* stmt, const LedFrameRow& r) {
        Run(stmt, r.led_id, r.name, r.delay_time, r.frame_index, r.file_name);
      });
}
BENCHMARK(BM_ReplaceLedFramesRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

// The store's list getter against the least a caller could do without the indexes: prepare,
// bind, step through a scan of the table, read every column.
template <class Row>
void LoadThroughStore(benchmark::State& state, int (ConfigDB::*getter)(int, std::vector<Row*>&),
                      int (*parent)(HeavyStore&)) {
  HeavyStore& h = Heavy();
  std::vector<Row*> rows;
  for (auto _ : state) benchmark::DoNotOptimize((h.store.*getter)(parent(h), rows));
  FreeRows(rows);
}

void LoadRaw(benchmark::State& state, const char* sql, int (*parent)(HeavyStore&)) {
  HeavyStore& h = Heavy();
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h.raw, sql, -1, &stmt, nullptr);
    sqlite3_bind_int(stmt, 1, parent(h));
    long sum = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        if (sqlite3_column_type(stmt, i) == SQLITE_TEXT)
          sum += sqlite3_column_bytes(stmt, i) + *sqlite3_column_text(stmt, i);
        else
          sum += sqlite3_column_int(stmt, i);
      }
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(sum);
  }
}

int ModeOf(HeavyStore& h) { return h.mode; }
int MacroOf(HeavyStore& h) { return h.macro; }
int SlotOf(HeavyStore& h) { return h.slot; }

void BM_LoadModeKeys(benchmark::State& s) { LoadThroughStore(s, &ConfigDB::GetCustomModeRgbList, ModeOf); }
void BM_LoadModeKeysRaw(benchmark::State& s) {
  LoadRaw(s, "SELECT * FROM t_custommodergb_data WHERE customlight_id = ?", ModeOf);
}
void BM_LoadMacroEvents(benchmark::State& s) { LoadThroughStore(s, &ConfigDB::GetMacroRecords, MacroOf); }
void BM_LoadMacroEventsRaw(benchmark::State& s) {
  LoadRaw(s, "SELECT * FROM t_macrorecord WHERE macro_id = ? ORDER BY record_index ASC", MacroOf);
}
void BM_LoadLedFrames(benchmark::State& s) { LoadThroughStore(s, &ConfigDB::GetLedFrames, SlotOf); }
void BM_LoadLedFramesRaw(benchmark::State& s) {
  LoadRaw(s, "SELECT * FROM t_ledframe_data WHERE led_id = ? ORDER BY frame_index ASC", SlotOf);
}
BENCHMARK(BM_LoadModeKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadModeKeysRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadMacroEvents)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadMacroEventsRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLedFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLedFramesRaw)->Unit(benchmark::kMicrosecond);

// Everything one page synchronisation reads.
void BM_PageSyncReads(benchmark::State& state) {
  HeavyStore& h = Heavy();
  static const wchar_t* const kSettings[] = {
      L"gamemode",          L"disable_alttab",     L"disable_altf4",   L"disable_win",
      L"sleep_light",       L"keyboard_layout",    L"customlight_run", L"cur_customlightmode",
      L"fn_switchfunction", L"button_respondtime", L"default_color1",  L"default_color2",
      L"default_color3",    L"default_color4",     L"tab_item"};
  std::vector<KeyProfileRow*> profiles;
  std::vector<KeyDataRow*> keys;
  std::vector<MacroDataRow*> macros;
  std::vector<CustomLightRow*> effects;
  std::vector<CustomLightModeRow*> modes;
  std::vector<CustomRgbRow*> rgb;
  std::vector<MusicLayerRow*> layers;
  std::vector<LedLayerRow*> slots;
  std::vector<LedFrameRow*> frames;
  std::vector<KeyRgbRow*> keyColours;
  for (auto _ : state) {
    h.store.GetKeyProfiles(1, profiles);
    h.store.GetKeyProfiles(2, profiles);
    h.store.GetLayerKeyData(4, 0, keys);
    h.store.GetLayerKeyData(4, 1, keys);
    h.store.GetAllMacros(macros);
    h.store.GetCustomLights(kProfile, effects);
    h.store.GetCustomRgbList(h.effect, rgb);
    h.store.GetCustomLightModes(kProfile, modes);
    h.store.GetCustomModeRgbList(h.mode, rgb);
    h.store.GetMusicLayers(kProfile, layers);
    h.store.GetLedLayers(kProfile, slots);
    h.store.GetLedFrames(h.slot, frames);
    LightDataRow light;
    for (int mode = 1; mode <= 20; ++mode) h.store.GetLightData(kProfile, mode, &light);
    h.store.GetKeyRgbList(h.lightId, keyColours);
    std::wstring value;
    for (const wchar_t* key : kSettings) h.store.GetConfigValue(kProfile, key, &value);
  }
  FreeRows(profiles);
  FreeRows(keys);
  FreeRows(macros);
  FreeRows(effects);
  FreeRows(modes);
  FreeRows(rgb);
  FreeRows(layers);
  FreeRows(slots);
  FreeRows(frames);
  FreeRows(keyColours);
}
BENCHMARK(BM_PageSyncReads)->Unit(benchmark::kMillisecond);

}  // namespace
