// The macro page's work on the UI thread, in a real keyboard window over the simulated keyboard:
//
//   build/bin/bench_macro_bench --benchmark_format=json > macro.json
//   bench/check_macro_bench.py macro.json
//
// BM_RecordEvent: one raw key event recorded (600 per round, 20 macros stored); at most 50 us each.
// BM_ShowMacroRecords: a macro of 650 events shown in list 262; at most twice its anchor,
// BM_ShowMacroRecordsAnchor, which reads the same rows and fills a bare CRecordList.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "platform/clock/clock.h"
#include "platform/folders.h"
#include "platform/hid/sim/sim_hid.h"
#include "platform/input/raw_input.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"
#include "zuvi/manager.h"

namespace {

constexpr int kVid = 0x7C3A;
constexpr int kPid = 0xB108;

std::string ReadSource(const std::string& name) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A program folder, a documents folder, the simulated keyboard and one opened keyboard window.
class World {
 public:
  World() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    root_ = (std::filesystem::temp_directory_path() / ("kelvane-bench-" + std::to_string(getpid()))).string() + "/";
    std::filesystem::create_directories(root_ + "app/language");
    for (const char* name : {"device.xml", "KeyboardLayout.xml", "language/1033.lan", "language/2052.lan"})
      std::ofstream(root_ + "app/" + name, std::ios::binary) << ReadSource(std::string("data/") + name);
    std::filesystem::create_directories(root_ + "docs/Varnel Keyboard Files/db");
    setenv("XDG_DOCUMENTS_DIR", (root_ + "docs").c_str(), 1);
    platform::SetAppDirOverride(root_ + "app");
    Manager::Startup();
    manager_ = std::make_unique<HidDeviceManager>(sim_, clock_);
    manager_->AddWanted(kVid, kPid, L"");
    sim_.addKeyboard();
    manager_->Reopen();
    main_.Create(nullptr, L"Varnel Keyboard", WS_POPUP, RECT{0, 0, 1200, 720});
    dlg_ = std::make_unique<KeyboardDlg>(L"Varnel V108 RGB", 0, L"3180245320");
    KeyboardDlg::Services services;
    services.manager = manager_.get();
    services.clock = &clock_;
    dlg_->SetServices(services);
    dlg_->SetWorkerMode(KeyboardDlg::WorkerMode::kManual);
    dlg_->Open(main_.GetSafeHwnd());
    platform::input::SetRawInputOverride(&rawInput_);
  }
  ~World() {
    platform::input::SetRawInputOverride(nullptr);
    dlg_.reset();
    main_.DestroyWindow();
    platform::SetAppDirOverride("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  KeyboardDlg& dlg() { return *dlg_; }
  void Drain() {
    for (int i = 0; i < 20 && !dlg_->QueuedTasks().empty(); ++i) dlg_->Run();
  }
  int AddMacro(int events) {
    const int id = dlg_->m_configDB.NewMacro(L"bench");
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
    if (!rows.empty()) dlg_->m_configDB.SaveMacroRecords(rows);
    return id;
  }

 private:
  std::string root_;
  platform::VirtualClock clock_;
  platform::hid::sim::SimHidBackend sim_{clock_};
  std::unique_ptr<HidDeviceManager> manager_;
  MDialog main_;
  std::unique_ptr<KeyboardDlg> dlg_;
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
