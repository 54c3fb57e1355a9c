// Exporting and importing a key profile file with every key of a 108-key layout assigned in both
// Fn layers (216 rows), against a store on disk. The export reads the profile from the store and
// writes the file; the import reads and parses the file and stores a new profile with its rows.
// Run a Release build without sanitizers; bench/check_profile_bench.py states the bounds.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "common/strings.h"
#include "keyboard/ProfileFile.h"
#include "storage/config_db.h"

namespace {

constexpr int kKeys = 108;
constexpr std::uint32_t kTick = 123456789;

// A store with one user profile whose every key does something in both layers.
struct FilledStore {
  FilledStore() {
    const std::string& folder = bench_support::ScratchFolder();
    std::filesystem::create_directories(folder + "db");
    if (!store.Open(Utf8ToWide(folder), L"", L"bench")) std::abort();
    KeyProfileRow profile;
    profile.name = L"Büro 默认 & <gaming>";
    profileId = store.NewKeyProfile(&profile);
    std::vector<KeyDataRow> rows;
    for (int layer = 0; layer < 2; ++layer) {
      for (int key = 4; key < 4 + kKeys; ++key) {
        KeyDataRow row;
        row.profile = profileId;
        row.keyvalue = key;
        row.fnlayer = layer;
        row.layoutkeyvalue = key;
        row.layoutkeydesc = L"Key " + std::to_wstring(key);
        row.macrotype = 1 + key % 12;
        row.macrovalue = key * 3 + layer;
        row.macro2value = key % 5;
        row.macro3value = layer;
        row.macrodesc = L"Makro \"" + std::to_wstring(key) + L"\" 默认";
        rows.push_back(row);
      }
    }
    if (profileId <= 0 || store.SetKeyDataList(rows) != 2 * kKeys) std::abort();
    folderPath = Utf8ToWide(folder);
  }

  ConfigDB store;
  int profileId = 0;
  std::wstring folderPath;
};

FilledStore& Store() {
  static FilledStore store;
  return store;
}

std::vector<KeyDataRow> Layer(ConfigDB& db, int profile, int fnlayer) {
  std::vector<KeyDataRow*> stored;
  if (db.GetLayerKeyData(profile, fnlayer, stored) != kKeys) std::abort();
  std::vector<KeyDataRow> rows;
  rows.reserve(stored.size());
  for (const KeyDataRow* row : stored) rows.push_back(*row);
  FreeRows(stored);
  return rows;
}

// What an export does once a folder is chosen.
std::wstring Export(FilledStore& s) {
  std::wstring name;
  s.store.GetKeyProfileName(s.profileId, &name);
  const std::vector<KeyDataRow> layer0 = Layer(s.store, s.profileId, 0);
  const std::vector<KeyDataRow> layer1 = Layer(s.store, s.profileId, 1);
  const std::wstring path = ProfileExportFileName(s.folderPath, name, kTick);
  if (!WriteProfileFile(path, name, layer0, layer1)) std::abort();
  return path;
}

void BM_ProfileExport(benchmark::State& state) {
  FilledStore& s = Store();
  for (auto _ : state) benchmark::DoNotOptimize(Export(s));
  state.SetItemsProcessed(state.iterations() * 2 * kKeys);
}
BENCHMARK(BM_ProfileExport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProfileImport(benchmark::State& state) {
  FilledStore& s = Store();
  const std::wstring path = Export(s);
  for (auto _ : state) {
    ProfileFileContents contents;
    if (ReadProfileFile(path, &contents) != ProfileReadStatus::kOk || contents.rows.size() != 2 * kKeys)
      std::abort();
    const int id = StoreImportedProfile(s.store, contents);
    if (id <= 0) std::abort();
    // Each round starts from the same store.
    state.PauseTiming();
    s.store.DeleteProfileKeyData(id);
    s.store.DeleteKeyProfile(id);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 2 * kKeys);
}
BENCHMARK(BM_ProfileImport)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
