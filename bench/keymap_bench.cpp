// Cost of the key map, which the keyboard window sends after every key change:
//
//   build/bin/bench_keymap_bench --benchmark_format=json > keymap.json
//   bench/check_keymap_bench.py keymap.json
//
// BM_KeyMapTable              one layer's table from 195 mixed rows with 100 macros stored
//                             (bound 20 us)
// BM_SendKeyMap/VirtualClock  task 4 (both layers of a profile with every key of the shipped
//                             layout assigned in both, read from the store on disk) in a keyboard
//                             window, through the real manager to the simulated keyboard at the
//                             packet delay of 35 ms; own_over_sleeps is the task's wall time over
//                             the sleeps it asked for, which the virtual clock does not sleep
//                             (bound 0.01)
// BM_SendKeyMap/SteadyClock   the same sleeping for real; wall_over_sleeps (bound 1.05)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "device/KeyMap.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard_world.h"
#include "platform/clock/clock.h"
#include "platform/folders.h"
#include "platform/hid/sim/sim_hid.h"
#include "zuvi/manager.h"

namespace {

constexpr int kPacketDelayMs = 35;
constexpr int kMacros = 100;

// Types of the mixed rows, in turn: disabled, key, macro, mouse, media, shortcut, program,
// special, key sequence.
constexpr int kMixedTypes[] = {1, 2, 3, 5, 6, 7, 8, 12, 13};

KeyMapRow MixedRow(int i, int key, int macroId) {
  const int type = kMixedTypes[i % std::size(kMixedTypes)];
  switch (type) {
    case 2:
      return {key, type, 4 + i % 100, i % 16, 0};
    case 3:
      return {key, type, macroId, 1, 3};
    case 12:
      return {key, type, 500 + i % 18, 0, 0};
    case 13:
      return {key, type, 4 + i % 50, 5 + i % 40, 6 + i % 30};
    default:
      return {key, type, 1 + i % 8, 0, 0};
  }
}

void BM_KeyMapTable(benchmark::State& state) {
  std::vector<int> macroIds;
  for (int i = 0; i < kMacros; ++i) macroIds.push_back(1000 + 3 * i);
  // A layout that indexes 195 usages, a few of them barred from the Fn layer.
  KeyLayoutMaps maps;
  std::vector<KeyMapRow> rows;
  for (int i = 0; i < kKeyMapEntries; ++i) {
    const int usage = 4 + i;
    maps.keyIndex[usage] = 1 + i % (kKeyMapEntries - 1);
    if (i % 20 == 0) maps.fnLayerDisabled.insert(usage);
    rows.push_back(MixedRow(i, usage, macroIds[static_cast<size_t>(kMacros - 1 - i % kMacros)]));
  }
  for (auto _ : state) {
    KeyMapTable table = BuildKeyMapTable(1, rows, macroIds, &maps);
    benchmark::DoNotOptimize(table);
  }
}
BENCHMARK(BM_KeyMapTable)->Unit(benchmark::kMicrosecond);

// Adds up the sleeps asked for, then sleeps for real.
class TallyingClock final : public platform::Clock {
 public:
  std::chrono::nanoseconds now() override { return real_.now(); }
  void sleep(int ms) override {
    tally_ += ms;
    real_.sleep(ms);
  }
  int64_t sleptMs() { return tally_; }

 private:
  platform::SteadyClock real_;
  std::atomic<int64_t> tally_{0};
};

int64_t SleptMs(platform::VirtualClock& clock) { return clock.totalSleptMs(); }
int64_t SleptMs(TallyingClock& clock) { return clock.sleptMs(); }

// The window world whose current profile assigns every key in both layers.
template <typename ClockType>
class World : public bench_support::KeyboardWorld<ClockType> {
 public:
  World() : bench_support::KeyboardWorld<ClockType>("keymap") { StoreAssignments(); }
  int assigned() const { return assigned_; }

 private:
  void StoreAssignments() {
    KeyboardDlg& dlg = this->dlg();
    std::vector<int> macroIds;
    for (int i = 0; i < kMacros; ++i) macroIds.push_back(dlg.m_configDB.NewMacro(L"bench"));
    const std::shared_ptr<const KeyLayoutMaps> maps = dlg.GetLayoutMaps();
    int i = 0;
    for (const auto& [usage, index] : maps->keyIndex) {
      for (int layer : {0, 1}) {
        const KeyMapRow r = MixedRow(i + layer, usage, macroIds[static_cast<size_t>(i) % macroIds.size()]);
        KeyDataRow row;
        row.profile = dlg.m_keyProfileId.load();
        row.keyvalue = usage;
        row.fnlayer = layer;
        row.macrotype = r.macrotype;
        row.macrovalue = r.macrovalue;
        row.macro2value = r.macro2value;
        row.macro3value = r.macro3value;
        if (dlg.m_configDB.SetKeyData(row) > 0) ++assigned_;
      }
      ++i;
    }
  }

  int assigned_ = 0;
};

// Runs task 4 once per iteration and reports its wall time against the sleeps it asked for.
template <typename ClockType>
void RunSendKeyMap(benchmark::State& state, const char* ratioName) {
  World<ClockType> world;
  KeyboardDlg& dlg = world.dlg();
  if (dlg.m_packetDelay != kPacketDelayMs || world.assigned() < 2 * 100) {
    state.SkipWithError("the window did not read the shipped device file or layout");
    return;
  }
  double wallMs = 0, sleptMs = 0;
  for (auto _ : state) {
    const int64_t slept = SleptMs(world.clock());
    const auto start = std::chrono::steady_clock::now();
    dlg.PostTask(TaskSendKeyMap);
    dlg.Run();
    wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sleptMs += static_cast<double>(SleptMs(world.clock()) - slept);
    state.PauseTiming();
    const auto received = world.sim().keyboard(0).received();
    if (received.keyMap[0].size() != kKeyMapSentBytes || received.keyMap[1].size() != kKeyMapSentBytes)
      state.SkipWithError("the keyboard did not receive both layers");
    world.sim().clearLog();
    if constexpr (std::is_same_v<ClockType, platform::VirtualClock>) world.clock().clearSleeps();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["wall_ms"] = wallMs / n;
  state.counters["sleeps_ms"] = sleptMs / n;
  if (sleptMs > 0) state.counters[ratioName] = wallMs / sleptMs;
}

void BM_SendKeyMapVirtual(benchmark::State& state) {
  RunSendKeyMap<platform::VirtualClock>(state, "own_over_sleeps");
}
BENCHMARK(BM_SendKeyMapVirtual)
    ->Name("BM_SendKeyMap/VirtualClock")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SendKeyMapSteady(benchmark::State& state) { RunSendKeyMap<TallyingClock>(state, "wall_over_sleeps"); }
BENCHMARK(BM_SendKeyMapSteady)
    ->Name("BM_SendKeyMap/SteadyClock")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Task 4's partner on every key change: the key view redrawn from the store with every key of the
// shipped layout assigned.
void BM_RefreshKeyAssign(benchmark::State& state) {
  World<platform::VirtualClock> world;
  KeyboardDlg& dlg = world.dlg();
  if (world.assigned() < 2 * 100) {
    state.SkipWithError("the window did not read the shipped layout");
    return;
  }
  const int profile = dlg.m_keyProfileId.load();
  for (auto _ : state) dlg.RefreshKeyAssign(profile);
}
BENCHMARK(BM_RefreshKeyAssign)->Unit(benchmark::kMillisecond);

}  // namespace
