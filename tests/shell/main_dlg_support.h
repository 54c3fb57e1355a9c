// Shared set-up of the main window tests: a program folder with device.xml and the language
// files, the simulated keyboards on one virtual clock, a recording tray, injected device events
// and keyboard-window doubles that record their calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/lang_text.h"
#include "common/strings.h"
#include "device/HidDeviceManager.h"
#include "platform/clock/clock.h"
#include "platform/device_events/device_events.h"
#include "platform/folders.h"
#include "platform/hid/sim/sim_hid.h"
#include "platform/settings_store.h"
#include "shell/main_dlg.h"
#include "tests/support/temp_dir.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"
#include "zuvi/tray_icon.h"
#include "zuvi/views.h"

namespace main_dlg_testing {

// A keyboard window double: a child window that records every call in a shared log. Show runs
// no loop unless `modal` is set, so a test keeps control.
class FakeKeyboardWindow : public MDialog, public KeyboardWindow {
 public:
  FakeKeyboardWindow(std::wstring name, int index, std::vector<std::string>& log, bool modal)
      : name_(std::move(name)), index_(index), log_(log), modal_(modal) {
    Log("make " + std::to_string(index));
  }
  ~FakeKeyboardWindow() override { Log("free"); }

  int Show(HWND parent) override {
    Log("show");
    if (!Create(parent, L"KeyboardDlg", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1200, 720})) return 0;
    if (!modal_) return 1;
    const int result = ShowModal(SW_SHOW);
    Log("show returned");
    return result;
  }
  MWindow& Window() override { return *this; }
  void SetDeviceIndex(int index) override {
    index_ = index;
    Log("index " + std::to_string(index));
  }
  void RestartListener() override { Log("listener"); }
  int OnDeviceLcdSlotKey(int action, int value) override {
    Log("slot key " + std::to_string(action) + "," + std::to_string(value));
    return 0;
  }
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == 2022) Log("language " + std::to_string(wParam) + "," + std::to_string(lParam));
    return MDialog::OnWindowMessage(message, wParam, lParam);
  }
  bool DestroyWindow() override {
    Log("destroy");
    return MDialog::DestroyWindow();
  }
  const std::wstring& name() const { return name_; }
  int index() const { return index_; }

 private:
  void Log(const std::string& what) { log_.push_back(WideToUtf8(name_) + ": " + what); }
  std::wstring name_;
  int index_;
  std::vector<std::string>& log_;
  bool modal_;
};

// A fake event source that clears the test's pointer when the window frees it.
class TrackedSource : public platform::device_events::FakeSource {
 public:
  explicit TrackedSource(platform::device_events::FakeSource** holder) : holder_(holder) {}
  ~TrackedSource() override {
    if (*holder_ == this) *holder_ = nullptr;
  }

 private:
  platform::device_events::FakeSource** holder_;
};

// A device-event source driven by the simulated keyboards' plugging: each add, unplug and replug
// reports every interface of that keyboard with the name the real name builder makes from the
// devpath udev would give.
class SimHotplugSource : public platform::device_events::Source {
 public:
  struct Keyboard {
    uint16_t vid, pid;
    std::vector<int> interfaces;
  };
  explicit SimHotplugSource(platform::hid::sim::SimHidBackend& sim, std::map<int, Keyboard>& keyboards)
      : sim_(sim), keyboards_(keyboards) {}
  ~SimHotplugSource() override { Stop(); }
  bool Start(platform::device_events::Sink sink) override {
    sink_ = std::move(sink);
    sim_.setHotplugHook([this](int id, bool arrived) {
      auto found = keyboards_.find(id);
      if (found == keyboards_.end() || !sink_) return;
      for (int ifc : found->second.interfaces) {
        char devpath[160];
        std::snprintf(
            devpath, sizeof devpath,
            "/devices/pci0000:00/0000:00:14.0/usb1/1-%d/1-%d:1.%d/0003:%04X:%04X.%04X/hidraw/hidraw%d",
            id + 1, id + 1, ifc, found->second.vid, found->second.pid, ++sequence_, id * 4 + ifc);
        if (auto name = platform::device_events::InterfaceNameFromDevpath(devpath)) sink_({arrived, *name});
      }
    });
    return true;
  }
  void Stop() override {
    sim_.setHotplugHook(nullptr);
    sink_ = nullptr;
  }

 private:
  platform::hid::sim::SimHidBackend& sim_;
  std::map<int, Keyboard>& keyboards_;
  platform::device_events::Sink sink_;
  int sequence_ = 0;
};

inline const char* kTwoKeyboards = R"(<device.config><Singledevice.info>
<device name="Alpha" type="1" vid="7C3A" pid="B108" identify="1" image="a_on.png" image_none="a_off.png"/>
<device name="Beta" type="1" vid="7C3A" pid="B109" identify="2" image="b_on.png" image_none="b_off.png"/>
</Singledevice.info>
<main.button><website show="1" data="https://example.com/"/><store show="0" data="https://shop.example.com/"/></main.button>
<upgrade.url><software url="http://127.0.0.1:9/"/></upgrade.url></device.config>)";

class MainDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAppDirOverride(app.path());
    for (const char* name : {"language/1033.lan", "language/2052.lan"}) {
      std::filesystem::create_directories(app.path() + "language");
      std::filesystem::copy_file(std::string(KELVANE_SOURCE_DIR) + "data/" + name, app.path() + name,
                                 std::filesystem::copy_options::overwrite_existing);
    }
    settings.CreateKey("SOFTWARE\\Varnel Keyboard");
    SetTrayIconFactory([this] {
      auto icon = std::make_unique<RecordingTrayIcon>();
      tray = icon.get();
      icon->failAdd = !trayAvailable;
      return icon;
    });
    platform::device_events::SetSourceFactory([this]() -> std::unique_ptr<platform::device_events::Source> {
      if (hotplugEvents) return std::make_unique<SimHotplugSource>(sim, simKeyboards);
      auto source = std::make_unique<TrackedSource>(&events);
      events = source.get();
      return source;
    });
  }
  void TearDown() override {
    if (main) main->DestroyWindow();
    main.reset();
    SetTrayIconFactory(nullptr);
    platform::device_events::SetSourceFactory(nullptr);
    platform::SetAppDirOverride("");
    Manager::ResetQuit();
    g_languageId = 1033;
  }

  void WriteConfig(const std::string& xml) { app.Write("device.xml", xml); }

  platform::hid::sim::SimKeyboard& Plug(uint16_t pid,
                                        std::vector<platform::hid::sim::SimNodeConfig> nodes = {}) {
    platform::hid::sim::SimKeyboardConfig config;
    config.productId = pid;
    if (!nodes.empty()) config.nodes = nodes;
    std::vector<int> interfaces;
    for (const auto& node : config.nodes) interfaces.push_back(node.interfaceNumber);
    auto& keyboard = sim.addKeyboard(config);
    simKeyboards[keyboard.id()] = {0x7C3A, pid, interfaces};
    return keyboard;
  }

  // Creates the main window visible; its start-up rescan runs inside.
  void Open() {
    MainDlg::Services services;
    services.devices = &manager;
    services.clock = &clock;
    services.settings = &settings;
    services.makeKeyboardWindow = [this](const std::wstring& name, int index, const std::wstring&) {
      auto window = std::make_unique<FakeKeyboardWindow>(name, index, log, modalKeyboards);
      windows.push_back(window.get());
      return window;
    };
    main = std::make_unique<MainDlg>(services);
    ASSERT_TRUE(main->Create(nullptr, L"Varnel Keyboard", WS_POPUP | WS_VISIBLE, 0, RECT{0, 0, 1200, 720}));
  }

  // The user goes back to the device list: every keyboard window hides, as its home button does,
  // and uncovers the main window's controls.
  void GoHome() {
    for (FakeKeyboardWindow* window : windows)
      if (window->GetSafeHwnd()) window->ShowWindow(SW_HIDE);
  }

  // Delivers a device event as the source thread would, and runs the queue until it is handled.
  void Inject(bool arrival, const std::string& name) {
    ASSERT_TRUE(events && events->Inject({arrival, name}));
    zuvi_testing::Driver::RunFor(30);
  }

  // "title:picture:status" of each visible slot, in slot order.
  std::vector<std::wstring> VisibleSlots() const {
    std::vector<std::wstring> shown;
    for (int id = MainDlg::IdSlot1; id <= MainDlg::IdSlot4; ++id) {
      auto* slot = main->GetControlAs<CDeviceCtrl>(id);
      if (slot && slot->IsVisible())
        shown.push_back(slot->GetTitle() + L":" + slot->GetImage() + L":" +
                        std::to_wstring(slot->GetDeviceStatus()));
    }
    return shown;
  }

  zuvi_testing::Driver driver;
  testing_support::TempDir app;
  platform::MemorySettingsStore settings;
  platform::VirtualClock clock;
  platform::hid::sim::SimHidBackend sim{clock};
  HidDeviceManager manager{sim, clock};
  RecordingTrayIcon* tray = nullptr;
  bool trayAvailable = true;
  platform::device_events::FakeSource* events = nullptr;
  bool hotplugEvents = false;  // the window's events come from the simulated plugging
  std::map<int, SimHotplugSource::Keyboard> simKeyboards;
  bool modalKeyboards = false;
  std::vector<std::string> log;
  std::vector<FakeKeyboardWindow*> windows;
  std::unique_ptr<MainDlg> main;
};

}  // namespace main_dlg_testing
