// The keyboard window's test world: a program folder with the data files, a user data folder with
// its db folder, the UI library, the simulated keyboard behind a real device manager, a main
// window to parent the keyboard window, and a fixed local time.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/DevicePacket.h"
#include "device/HidDeviceManager.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "platform/audio/fake/fake_audio_backend.h"
#include "platform/clock/clock.h"
#include "platform/folders.h"
#include "platform/hid/sim/sim_hid.h"
#include "support/temp_dir.h"
#include "zuvi/manager.h"
#include "zuvi/menu.h"
#include "zuvi/testing/driver.h"

extern char** environ;

namespace kb_test {

using platform::hid::sim::NodeRole;
using platform::hid::sim::Packet;
using platform::hid::sim::SimIo;

inline constexpr int kVid = 0x7C3A;
inline constexpr int kPid = 0xB108;
inline constexpr const wchar_t* kIdentify = L"3180245320";

// Starts "sleep <seconds>" as a child of this process (a stand-in for the firmware updater).
inline pid_t SpawnSleep(const char* seconds) {
  pid_t pid = 0;
  char arg0[] = "sleep";
  std::string arg1 = seconds;
  char* argv[] = {arg0, arg1.data(), nullptr};
  return posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The main window the keyboard window sits in.
class MainStandIn : public MDialog {
 public:
  struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<UINT> messages;
  std::vector<Received> received;
  std::function<void(UINT)> onMessage;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    received.push_back({message, wParam, lParam});
    if (onMessage) onMessage(message);
    return 0;
  }
  // The keyboard window shows the main window again after the firmware updater.
  int shows = 0;
  bool ShowWindow(int command) override {
    if (command != SW_HIDE) ++shows;
    return MDialog::ShowWindow(command);
  }
};

// Answers every popup menu with one item id (0 dismisses) and keeps the ids each menu offered.
class MenuLog {
 public:
  ~MenuLog() { MenuWnd::SetChooser({}); }
  void AnswerWith(int answer) {
    MenuWnd::SetChooser([this, answer](const std::vector<MenuWnd::Item>& items) {
      std::vector<int> ids;
      for (const auto& item : items) ids.push_back(item.id);
      menus.push_back(ids);
      return answer;
    });
  }
  std::vector<std::vector<int>> menus;
};

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAppDirOverride(app_.path());
    WriteShippedDataFiles();
    std::filesystem::create_directories(UserFolder() + "db");
    SetKeyboardLogSink([this](const std::string& line) {
      std::lock_guard guard(logLock_);
      log_.push_back(line);
    });
    manager_ = std::make_unique<HidDeviceManager>(sim_, clock_);
    manager_->AddWanted(kVid, kPid, L"");
    sim_.addKeyboard();
    manager_->Reopen();
    sim_.clearLog();
    clock_.clearSleeps();
    ASSERT_TRUE(main_.Create(nullptr, L"Varnel Keyboard", WS_POPUP, RECT{0, 0, 1200, 720}));
    // Shown as the program's main window is, so that the keyboard window inside it takes input
    // (not counted among the shows the keyboard window asks for).
    main_.MDialog::ShowWindow(SW_SHOW);
  }

  void TearDown() override {
    dlg_.reset();
    main_.DestroyWindow();
    SetKeyboardLogSink(nullptr);
    platform::SetAppDirOverride("");
  }

  // The data files of the program, copied from the source tree.
  void WriteShippedDataFiles() {
    for (const char* name : {"device.xml", "KeyboardLayout.xml", "language/1033.lan", "language/2052.lan"})
      app_.Write(name, ReadFile(std::string(KELVANE_SOURCE_DIR) + "data/" + name));
  }

  std::string UserFolder() const { return docs_.path() + "Varnel Keyboard Files/"; }
  std::string StorePath(const std::wstring& identify = kIdentify) const {
    return UserFolder() + "db/" + std::string(identify.begin(), identify.end()) + "_data.db";
  }

  KeyboardDlg::Services TestServices() {
    KeyboardDlg::Services services;
    services.manager = manager_.get();
    services.clock = &clock_;
    services.makeListener = [this](PostMessageFn post) {
      ++listenersMade_;
      return std::make_unique<HidReportListener>(sim_, listenerClock_, std::move(post));
    };
    services.localTime = [this] { return now_; };
    services.makeAudio = [this] {
      auto audio = std::make_unique<platform::audio::FakeAudioBackend>();
      audio_ = audio.get();
      return audio;
    };
    return services;
  }

  // A keyboard window on keyboard 0, not yet opened; `prepare` may change it before Open.
  KeyboardDlg& MakeWindow(KeyboardDlg::WorkerMode mode = KeyboardDlg::WorkerMode::kManual,
                          const std::wstring& identify = kIdentify) {
    return MakeWindowAs<KeyboardDlg>(mode, identify);
  }
  // The same with a window class derived from KeyboardDlg.
  template <typename Window>
  Window& MakeWindowAs(KeyboardDlg::WorkerMode mode = KeyboardDlg::WorkerMode::kManual,
                       const std::wstring& identify = kIdentify) {
    dlg_.reset();
    auto window = std::make_unique<Window>(L"Varnel V108 RGB", 0, identify);
    Window& result = *window;
    result.SetServices(TestServices());
    result.SetWorkerMode(mode);
    dlg_ = std::move(window);
    return result;
  }
  // The messages the main window received since the last call.
  std::vector<MainStandIn::Received> TakeMainMessages() {
    zuvi_testing::Driver::RunFor(1);  // posted messages arrive
    main_.messages.clear();
    return std::exchange(main_.received, {});
  }
  KeyboardDlg& OpenWindow(KeyboardDlg::WorkerMode mode = KeyboardDlg::WorkerMode::kManual,
                          const std::wstring& identify = kIdentify) {
    KeyboardDlg& dlg = MakeWindow(mode, identify);
    EXPECT_TRUE(dlg.Open(main_.GetSafeHwnd()));
    return dlg;
  }
  // An opened window whose start tasks have run, with the transcript and the pauses cleared;
  // `prepare` may change the window before it opens.
  KeyboardDlg& OpenIdleWindow(const std::function<void(KeyboardDlg&)>& prepare = {}) {
    KeyboardDlg& dlg = MakeWindow();
    if (prepare) prepare(dlg);
    EXPECT_TRUE(dlg.Open(main_.GetSafeHwnd()));
    Drain(dlg);
    sim_.clearLog();
    clock_.clearSleeps();
    return dlg;
  }
  // Drops the queued tasks without running them.
  static void ClearQueue(KeyboardDlg& dlg) {
    while (dlg.m_taskList.PopFront()) {
    }
  }
  // Runs passes by hand until the queue is empty (at most `limit`).
  void Drain(KeyboardDlg& dlg, int limit = 20) {
    for (int i = 0; i < limit && !dlg.QueuedTasks().empty(); ++i) dlg.Run();
  }

  std::vector<Packet> Sent() { return platform::hid::sim::SentPackets(sim_.log(), 0); }
  std::vector<std::vector<Packet>> Transactions() { return platform::hid::sim::SplitTransactions(Sent()); }
  // The command byte of each transaction's second packet (the one after CMD_BEGIN).
  std::vector<uint8_t> TransactionCommands() {
    std::vector<uint8_t> out;
    for (const auto& t : Transactions())
      if (t.size() > 1) out.push_back(t[1][kPacketCommandOffset]);
    return out;
  }
  bool Logged(const std::string& part) {
    std::lock_guard guard(logLock_);
    for (const auto& line : log_)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  // Direct SQL on a store file, outside the window's connection.
  static std::string QueryText(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string result = "<none>";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
          sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        result = text ? reinterpret_cast<const char*>(text) : "<null>";
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
  }
  static bool Exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
                  SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
  }

  zuvi_testing::Driver driver_{5000};
  testing_support::TempDir app_;
  testing_support::TempDir docs_;
  testing_support::ScopedEnv documentsEnv_{"XDG_DOCUMENTS_DIR", docs_.path()};
  platform::VirtualClock clock_;
  platform::SteadyClock listenerClock_;
  platform::hid::sim::SimHidBackend sim_{clock_};
  std::unique_ptr<HidDeviceManager> manager_;
  MainStandIn main_;
  std::unique_ptr<KeyboardDlg> dlg_;
  int listenersMade_ = 0;
  platform::audio::FakeAudioBackend* audio_ = nullptr;  // the window's, once its music page started
  std::optional<LocalTime> now_ = LocalTime{2026, 3, 5, 7, 8, 9};
  std::mutex logLock_;
  std::vector<std::string> log_;
};

}  // namespace kb_test
