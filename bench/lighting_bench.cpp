// Cost of the custom light editors' hot paths:
//
//   build/bin/bench_lighting_bench
//
// BM_LightEffectFrame      one animation step of a custom light view (UpdateLightEffect) and the copy
//                          the preview takes (GetKeyItems), 128 keys of mixed effects (bound 20 us;
//                          also the longest the view's lock is held)
// BM_StoreAllKeys          the colour scheme store of every key of a 108-key layout: the scheme's rows
//                          deleted, then one batch of 108 rows, store on disk (bound 15 ms)
// BM_ImportScheme          a customlight file of 195 items read, parsed and stored in one batch
//                          (bound 60 ms)
// BM_ImportSchemeRowByRow  the same file stored one row at a time, for comparison
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/xml_document.h"
#include "lighting/SchemeFile.h"
#include "scratch_folder.h"
#include "storage/config_db.h"
#include "zuvi/custom_light_mode.h"

namespace {

constexpr int kProfile = 1;

ConfigDB& Store() {
  static ConfigDB* store = [] {
    auto* db = new ConfigDB;
    const std::string folder = bench_support::ScratchFolder() + "store/";
    std::filesystem::create_directories(folder + "db");
    if (!db->Open(Utf8ToWide(folder), L"", L"bench")) std::abort();
    return db;
  }();
  return *store;
}

void BM_LightEffectFrame(benchmark::State& state) {
  CustomLightMode view;
  for (int i = 0; i < 128; ++i) {
    view.AddKeyItem(L"K", L"", i + 4, RECT{(i % 22) * 38, (i / 22) * 38, (i % 22) * 38 + 36, (i / 22) * 38 + 36},
                    L"");
    view.SetKeyInfo(i + 4, i % 13, 0x102030u * static_cast<std::uint32_t>(i), 0, i % 2);
  }
  view.SetSpeed(40);
  std::int64_t now = 0;
  for (auto _ : state) {
    view.UpdateLightEffect(now += 40);
    benchmark::DoNotOptimize(view.GetKeyItems());
  }
}
BENCHMARK(BM_LightEffectFrame)->Unit(benchmark::kMicrosecond);

void BM_StoreAllKeys(benchmark::State& state) {
  ConfigDB& store = Store();
  const int id = store.NewCustomLightMode(kProfile, L"all keys");
  std::vector<CustomRgbRow> rows;
  for (int k = 0; k < 108; ++k) rows.push_back(CustomRgbRow{0, id, k + 4, 0x00FF00 + k, 1, 0, 0});
  for (auto _ : state) {
    store.DeleteCustomModeRgb(id);
    store.SetCustomModeRgbList(rows);
  }
}
BENCHMARK(BM_StoreAllKeys)->Unit(benchmark::kMillisecond);

std::wstring SchemeFile() {
  std::vector<CustomRgbRow> rows;
  for (int k = 0; k < 195; ++k) rows.push_back(CustomRgbRow{0, 0, k + 4, 0x0000FF + k, 1 + k % 12, 1, k % 3});
  const std::string path = bench_support::ScratchFolder() + "scheme.xml";
  std::wstring log;
  if (!XmlDocument::WriteTextFile(scheme_file::BuildSchemeFile(scheme_file::Kind::kEffects, L"bench", 15, rows), log,
                                  Utf8ToWide(path)))
    std::abort();
  return Utf8ToWide(path);
}

template <bool kBatch>
void ImportScheme(benchmark::State& state) {
  ConfigDB& store = Store();
  const std::wstring path = SchemeFile();
  for (auto _ : state) {
    std::u16string text;
    std::wstring log;
    scheme_file::Scheme scheme;
    if (!XmlDocument::ReadTextFile(text, log, path) ||
        !scheme_file::ParseSchemeFile(scheme_file::Kind::kEffects, text, &scheme))
      std::abort();
    const int id = store.NewCustomLight(kProfile, scheme.name);
    store.SetCustomLightSpeed(id, scheme.value);
    if (kBatch) {
      store.SetCustomRgbList(scheme_file::ImportedRows(std::move(scheme.rows), id));
    } else {
      for (CustomRgbRow row : scheme.rows) {
        row.customlight_id = id;
        store.SetCustomRgb(&row);
      }
    }
    state.PauseTiming();
    store.DeleteCustomLight(id);
    state.ResumeTiming();
  }
}
void BM_ImportScheme(benchmark::State& state) { ImportScheme<true>(state); }
void BM_ImportSchemeRowByRow(benchmark::State& state) { ImportScheme<false>(state); }
BENCHMARK(BM_ImportScheme)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportSchemeRowByRow)->Unit(benchmark::kMillisecond);

}  // namespace
