// What the window benchmarks run in: a program folder with the shipped data files, a documents
// folder for the store, the simulated keyboard behind a real device manager on `ClockType`, and one
// opened keyboard window (worker driven by hand) whose start tasks have run.
#pragma once

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
#include "zuvi/manager.h"

namespace bench_support {

inline std::string ReadSource(const std::string& name) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

template <typename ClockType>
class KeyboardWorld {
 public:
  static constexpr int kVid = 0x7C3A;
  static constexpr int kPid = 0xB108;

  explicit KeyboardWorld(const std::string& name) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    root_ =
        (std::filesystem::temp_directory_path() / ("kelvane-bench-" + name + "-" + std::to_string(getpid())))
            .string() +
        "/";
    std::filesystem::create_directories(root_ + "app/language");
    for (const char* file : {"device.xml", "KeyboardLayout.xml", "language/1033.lan", "language/2052.lan"})
      std::ofstream(root_ + "app/" + file, std::ios::binary) << ReadSource(std::string("data/") + file);
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
    Drain();
  }
  ~KeyboardWorld() {
    CloseWindow();
    platform::SetAppDirOverride("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  KeyboardWorld(const KeyboardWorld&) = delete;
  KeyboardWorld& operator=(const KeyboardWorld&) = delete;

  KeyboardDlg& dlg() { return *dlg_; }
  platform::hid::sim::SimHidBackend& sim() { return sim_; }
  ClockType& clock() { return clock_; }
  // Ends the keyboard window and the main window; a world with fakes of its own closes them first.
  void CloseWindow() {
    dlg_.reset();
    main_.DestroyWindow();
  }
  // Runs the queued tasks (at most 20 passes).
  void Drain() {
    for (int i = 0; i < 20 && !dlg_->QueuedTasks().empty(); ++i) dlg_->Run();
  }

 private:
  std::string root_;
  ClockType clock_;
  platform::hid::sim::SimHidBackend sim_{clock_};
  std::unique_ptr<HidDeviceManager> manager_;
  MDialog main_;
  std::unique_ptr<KeyboardDlg> dlg_;
};

}  // namespace bench_support
