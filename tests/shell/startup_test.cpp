// Start-up and shutdown: the order of the steps, the language default, the working folders, a
// second instance, and the ways the program ends.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/folders.h"
#include "common/lang_text.h"
#include "platform/qt/single_instance.h"
#include "platform/settings_store.h"
#include "shell/window_messages.h"
#include "tests/support/temp_dir.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"

using platform::SingleInstanceGuard;
using zuvi_testing::Driver;

namespace {

const std::string kLanguageKey = "SOFTWARE\\Varnel Keyboard";

// A keyboard window stand-in: a child of the main window whose worker sends a slow transfer;
// like the keyboard window, its DestroyWindow waits for the worker.
class BusyChild : public MDialog {
 public:
  std::atomic<bool> transferDone{false};
  std::thread worker;
  bool DestroyWindow() override {
    if (worker.joinable()) worker.join();
    return MDialog::DestroyWindow();
  }
};

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    services.acquireInstance = [](std::function<void()>) { return SingleInstanceGuard::Result::First; };
    services.killProcess = [this](const std::wstring& name) {
      killed.push_back(name);
      return true;
    };
    services.settings = &settings;
    services.userDataFolder = [this] { return dir.wpath(); };
    services.deviceManager = &deviceManager;
    services.trace = [this](const std::string& step) {
      steps.push_back(step);
      if (step == "main-window") deviceManagerAtMainWindow = deviceManager.IsCreated();
    };
  }
  void TearDown() override {
    Manager::ResetQuit();
    g_languageId = 1033;
  }

  Driver driver;
  testing_support::TempDir dir;
  platform::MemorySettingsStore settings;
  DeviceManagerSlot deviceManager;
  StartupServices services;
  std::vector<std::string> steps;
  std::vector<std::wstring> killed;
  bool deviceManagerAtMainWindow = false;
};

}  // namespace

TEST_F(StartupTest, StepsRunInOrderAndANormalEndReturnsOne) {
  services.runMainWindow = [] { return 2; };
  EXPECT_EQ(RunKelvane(services), 1);
  EXPECT_EQ(steps, (std::vector<std::string>{"single-instance", "end-blocker", "language", "ui-library",
                                             "db-folder", "edit-folder", "device-manager", "main-window",
                                             "device-manager-destroyed"}));
  EXPECT_EQ(killed, (std::vector<std::wstring>{L"halvorn"}));
  EXPECT_TRUE(deviceManagerAtMainWindow);
  EXPECT_FALSE(deviceManager.IsCreated());
}

TEST_F(StartupTest, NoStoredLanguageBecomesEnglishAndIsStored) {
  services.runMainWindow = [] { return 0; };
  RunKelvane(services);
  EXPECT_EQ(g_languageId, 1033);
  EXPECT_EQ(settings.keys[kLanguageKey]["LCID"], "1033");

  settings.keys[kLanguageKey]["LCID"] = "2052";
  int seen = 0;
  services.runMainWindow = [&] { return seen = g_languageId; };
  RunKelvane(services);
  EXPECT_EQ(seen, 2052) << "the language is set before any window exists";
}

TEST_F(StartupTest, TheEditFolderIsEmptiedAndTheDatabaseFolderKept) {
  dir.Write("edit/old/frame.bin", "x");
  dir.Write("edit/leftover.gif", "x");
  dir.Write("db/Kb_data.db", "keep");
  services.runMainWindow = [] { return 0; };
  RunKelvane(services);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "edit"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "edit"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "db/Kb_data.db"));
}

TEST_F(StartupTest, WithoutAUserFolderNothingIsCreatedOrDeleted) {
  testing_support::TempDir cwd;
  cwd.Write("edit/mine.txt", "user data");
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  services.userDataFolder = [] { return std::wstring(); };
  services.runMainWindow = [] { return 0; };
  EXPECT_EQ(RunKelvane(services), 1);
  std::filesystem::current_path(old);
  EXPECT_TRUE(std::filesystem::exists(cwd.path() + "edit/mine.txt"));
  EXPECT_FALSE(std::filesystem::exists(cwd.path() + "db"));
}

TEST_F(StartupTest, ASecondInstanceLeavesWithZeroBeforeTouchingAnything) {
  services.acquireInstance = [](std::function<void()>) {
    return SingleInstanceGuard::Result::AlreadyRunning;
  };
  bool ran = false;
  services.runMainWindow = [&] { return ran = true; };
  EXPECT_EQ(RunKelvane(services), 0);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(killed.empty());
  EXPECT_TRUE(settings.keys.empty());
}

TEST_F(StartupTest, TheMainWindowHidesOnCloseAndEndsWithTheTrayExit) {
  services.runMainWindow = DefaultStartupServices(deviceManager).runMainWindow;
  driver.AnswerNextModal([](MDialog& main) {
    EXPECT_EQ(main.GetWindowText(), L"Varnel Keyboard");
    EXPECT_TRUE(Driver::Click(main, 34));  // no tray here: minimised, still running
    EXPECT_TRUE(main.IsInModalLoop());
    EXPECT_FALSE(Manager::QuitRequested());
    SendMessage(main.GetSafeHwnd(), WM_COMMAND, 0, IDM_TRAY_EXIT);
  });
  EXPECT_EQ(RunKelvane(services), 0);
}

TEST_F(StartupTest, AQuitRequestEndsInOrderWithZeroAndLetsATransferFinish) {
  auto standIn = DefaultStartupServices(deviceManager).runMainWindow;
  BusyChild child;
  bool transferDoneBeforeDeviceManagerWent = false;
  services.trace = [&](const std::string& step) {
    if (step == "device-manager-destroyed") transferDoneBeforeDeviceManagerWent = child.transferDone;
  };
  services.runMainWindow = standIn;
  driver.AnswerNextModal([&](MDialog& main) {
    ASSERT_TRUE(
        child.Create(main.GetSafeHwnd(), L"KeyboardDlg", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}));
    child.worker = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      child.transferDone = true;
    });
    PostMessage(main.GetSafeHwnd(), WM_APP_QUIT, 0, 7);  // not the quit key: ignored
    PostMessage(main.GetSafeHwnd(), WM_APP_QUIT, 0, kQuitRequestKey);
  });
  EXPECT_EQ(RunKelvane(services), 0);
  EXPECT_TRUE(transferDoneBeforeDeviceManagerWent);
  EXPECT_FALSE(Manager::IsWindow(child.GetSafeHwnd()));
}

TEST_F(StartupTest, AQuitRequestWithAnotherKeyIsIgnored) {
  services.runMainWindow = DefaultStartupServices(deviceManager).runMainWindow;
  driver.AnswerNextModal([](MDialog& main) {
    SendMessage(main.GetSafeHwnd(), WM_APP_QUIT, 0, 611);
    EXPECT_FALSE(Manager::QuitRequested());
    EXPECT_TRUE(main.IsInModalLoop());
    SendMessage(main.GetSafeHwnd(), WM_COMMAND, 0, IDM_TRAY_EXIT);
  });
  EXPECT_EQ(RunKelvane(services), 0);
}

TEST(SingleInstanceTest, ASecondGuardFindsTheFirstAndAsksItToComeForward) {
  Driver driver;
  testing_support::TempDir dir;
  SingleInstanceGuard first("Varnel Keyboard", dir.path());
  int activations = 0;
  ASSERT_EQ(first.Acquire([&] { ++activations; }), SingleInstanceGuard::Result::First);

  // The second process is played by a thread: the first must keep its event loop running.
  std::atomic<int> second{-1};
  std::thread other([&] {
    SingleInstanceGuard guard("Varnel Keyboard", dir.path());
    second = static_cast<int>(guard.Acquire(nullptr));
  });
  Driver::RunUntil([&] { return second >= 0 && activations > 0; }, 5000);
  other.join();
  EXPECT_EQ(second, static_cast<int>(SingleInstanceGuard::Result::AlreadyRunning));
  EXPECT_EQ(activations, 1);

  first.Release();
  SingleInstanceGuard next("Varnel Keyboard", dir.path());
  EXPECT_EQ(next.Acquire(nullptr), SingleInstanceGuard::Result::First)
      << "a released lock can be taken again";
  SingleInstanceGuard nowhere("Varnel Keyboard", "");
  EXPECT_EQ(nowhere.Acquire(nullptr), SingleInstanceGuard::Result::Failed);
}

TEST(SingleInstanceTest, ActivationBringsTheMarkedWindowBackFromTheTray) {
  Driver driver;
  MDialog main;
  ASSERT_TRUE(main.Create(nullptr, L"Varnel Keyboard", WS_POPUP, RECT{0, 0, 100, 100}));
  EXPECT_FALSE(ActivateMainWindow()) << "no window carries the marker yet";
  main.SetProp(GetProductName(), 1);
  EXPECT_FALSE(main.IsWindowVisible());
  EXPECT_TRUE(ActivateMainWindow());
  EXPECT_TRUE(main.IsWindowVisible());
}
