// The macro page's work on the UI thread, in a real keyboard window over the simulated keyboard:
//
//   build/bin/bench_macro_bench --benchmark_format=json > macro.json
//   bench/check_macro_bench.py macro.json
//
// BM_RecordEvent: one raw key event recorded (600 per round, 20 macros stored); at most 50 us each.
// BM_ShowMacroRecords: a macro of 650 events shown in list 262; at most twice its anchor,
// BM_ShowMacroRecordsAnchor, which reads the same rows and fills a bare CRecordList.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "keyboard_world.h"
#include "keyboard/KeyboardDlg.h"
#include "platform/input/raw_input.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"

namespace {

// The window world with the raw input of the recording faked.
class World : public bench_support::KeyboardWorld<platform::VirtualClock> {
 public:
  World() : KeyboardWorld("macro") { platform::input::SetRawInputOverride(&rawInput_); }
  ~World() {
    CloseWindow();  // it still holds a subscription of the fake
    platform::input::SetRawInputOverride(nullptr);
  }
  int AddMacro(int events) {
    const int id = dlg().m_configDB.NewMacro(L"bench");
    std::vector<MacroRecordRow> rows;
    for (int i = 0; i < events; ++i) {
      MacroRecordRow row;
      row.macro_id = id;
      row.type = i % 3 == 1 ? 1 : (i % 3 == 0 ? 2 : 3);
      row.value = 65 + i % 26;
      row.record_index = i;
      row.desc = std::to_wstring(row.value);
      rows.push_back(row);
    }
    if (!rows.empty()) dlg().m_configDB.SaveMacroRecords(rows);
    return id;
  }

 private:
  platform::input::FakeRawInputService rawInput_;
};

void BM_RecordEvent(benchmark::State& state) {
  World world;
  KeyboardDlg& dlg = world.dlg();
  for (int i = 0; i < 20; ++i) world.AddMacro(0);
  dlg.PostTask(TaskReloadAll);
  world.Drain();
  if (auto* none = dlg.GetControlAs<CCheckButton>(250)) none->SetCheck(true);  // no delays: 600 rows
  std::int64_t events = 0;
  for (auto _ : state) {
    state.PauseTiming();
    dlg.StartMacroRecording();
    state.ResumeTiming();
    for (int i = 0; i < 600; ++i) {
      const bool up = i % 2 == 1;
      dlg.OnRawInput(platform::input::PackRecord(
          {platform::input::kKindKeyboard, 0, 'A' + (i / 2) % 26,
           up ? platform::input::kKeyUpMessage : platform::input::kKeyDownMessage}));
    }
    events += 600;
    state.PauseTiming();
    if (dlg.GetControlAs<CRecordList>(262)->GetItemCount() != 600) {
      state.SkipWithError("the recording did not take every event");
      break;
    }
    // The stop saves what the list shows: an empty list, so every round starts alike.
    dlg.GetControlAs<CRecordList>(262)->ResetContent();
    dlg.SetDeviceIndex(-1);
    dlg.StopMacroRecording();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(events);
}
BENCHMARK(BM_RecordEvent)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowMacroRecords(benchmark::State& state) {
  World world;
  const int id = world.AddMacro(650);
  for (auto _ : state) world.dlg().ShowMacroRecords(id);
}
BENCHMARK(BM_ShowMacroRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowMacroRecordsAnchor(benchmark::State& state) {
  World world;
  const int id = world.AddMacro(650);
  auto* bare = dynamic_cast<CRecordList*>(world.dlg().CreateControl(L"CRecordList", 9999, RECT{}));
  for (auto _ : state) {
    std::vector<MacroRecordRow*> rows;
    world.dlg().m_configDB.GetMacroRecords(id, rows);
    bare->ResetContent();
    int index = 0;
    for (const MacroRecordRow* row : rows) bare->AddString(row->desc, index++);
    FreeRows(rows);
  }
}
BENCHMARK(BM_ShowMacroRecordsAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
