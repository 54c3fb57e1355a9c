// Quitting from the tray with a real keyboard window whose worker is inside a transfer: the
// program ends only after the worker let go, and before the device manager is freed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/HidReportListener.h"
#include "keyboard/KeyboardDlg.h"
#include "platform/clock/clock.h"
#include "platform/device_events/device_events.h"
#include "platform/folders.h"
#include "platform/hid/sim/sim_hid.h"
#include "platform/settings_store.h"
#include "shell/main_dlg.h"
#include "shell/startup.h"
#include "shell/window_messages.h"
#include "tests/support/temp_dir.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"
#include "zuvi/tray_icon.h"

using platform::hid::sim::NodeRole;
using zuvi_testing::Driver;

namespace {

using testing_support::ReadFile;

}  // namespace

TEST(QuitFromTheTray, WaitsForTheKeyboardWorkerBeforeTheDeviceManagerGoes) {
  Driver driver(10000);
  testing_support::TempDir app, docs;
  testing_support::ScopedEnv documents("XDG_DOCUMENTS_DIR", docs.path());
  platform::SetAppDirOverride(app.path());
  for (const char* name : {"device.xml", "KeyboardLayout.xml", "language/1033.lan", "language/2052.lan"})
    app.Write(name, ReadFile(std::string(KELVANE_SOURCE_DIR) + "data/" + name));
  SetTrayIconFactory([] { return std::make_unique<RecordingTrayIcon>(); });
  platform::device_events::SetSourceFactory(
      [] { return std::make_unique<platform::device_events::FakeSource>(); });

  platform::VirtualClock clock, listenerClock;
  platform::hid::sim::SimHidBackend sim{clock};
  auto& keyboard = sim.addKeyboard();
  DeviceManagerSlot slot([&] { return std::make_unique<HidDeviceManager>(sim, clock); });
  platform::MemorySettingsStore settings;

  std::atomic<bool> released{false};
  bool releasedBeforeManagerWent = false;
  bool keyboardWindowShown = false;
  std::thread releaser;

  StartupServices services;
  services.acquireInstance = [](std::function<void()>) {
    return platform::SingleInstanceGuard::Result::First;
  };
  services.killProcess = [](const std::wstring&) { return true; };
  services.settings = &settings;
  services.userDataFolder = [&] { return docs.wpath() + L"Varnel Keyboard Files/"; };
  services.deviceManager = &slot;
  services.trace = [&](const std::string& step) {
    if (step == "device-manager-destroyed") releasedBeforeManagerWent = released.load();
  };
  services.runMainWindow = [&] {
    MainDlg::Services main;
    main.devices = slot.Get();
    main.clock = &clock;
    main.settings = &settings;
    main.makeKeyboardWindow = [&](const std::wstring& name, int index, const std::wstring& identify) {
      auto window = std::make_unique<KeyboardDlg>(name, index, identify);
      KeyboardDlg::Services kb;
      kb.manager = slot.Get();
      kb.clock = &clock;
      kb.makeListener = [&](PostMessageFn post) {
        return std::make_unique<HidReportListener>(sim, listenerClock, std::move(post));
      };
      window->SetServices(kb);
      window->SetWorkerMode(KeyboardDlg::WorkerMode::kThread);
      keyboard.gateNextIo(NodeRole::kCommand);  // the worker's first transfer waits here
      return window;
    };
    MainDlg window(main);
    const int result = window.Run();
    window.DestroyWindow();
    return result;
  };
  // The start-up rescan opens the keyboard window inside the main window's initialisation, so
  // the first loop to run is the keyboard window's.
  driver.AnswerNextModal([&](MDialog& kb) {
    keyboardWindowShown = dynamic_cast<KeyboardDlg*>(&kb) != nullptr;
    ASSERT_TRUE(keyboard.waitUntilGated(5000)) << "the worker never reached the keyboard";
    releaser = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      released = true;
      keyboard.releaseGate();
    });
    MWindow* main = Manager::FromHandle(Manager::FindWindowWithProp(L"Varnel Keyboard"));
    ASSERT_NE(main, nullptr);
    SendMessage(main->GetSafeHwnd(), WM_COMMAND, 0, IDM_TRAY_EXIT);
  });
  EXPECT_EQ(RunKelvane(services), 0);
  if (releaser.joinable()) releaser.join();
  EXPECT_TRUE(keyboardWindowShown);
  EXPECT_TRUE(releasedBeforeManagerWent);
  EXPECT_FALSE(sim.closedDuringIo());
  EXPECT_FALSE(slot.IsCreated());

  SetTrayIconFactory(nullptr);
  platform::device_events::SetSourceFactory(nullptr);
  platform::SetAppDirOverride("");
  Manager::ResetQuit();
}
