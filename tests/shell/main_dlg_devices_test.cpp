// The main window's device list: slots, rescans, device events and the permission prompt.
#include <gtest/gtest.h>

#include "platform/device_events/device_events.h"
#include "tests/shell/main_dlg_support.h"

using main_dlg_testing::MainDlgTest;
using zuvi_testing::Driver;

namespace {

const std::string kArrival = "HID#VID_7C3A&PID_B108&MI_02#hidraw3";
const std::string kArrivalBeta = "hid#vid_7c3a&pid_b109&mi_02#hidraw7";

}  // namespace

TEST(DeviceEventMatching, InterfaceFilterCaseAndVidOnlyRemoval) {
  std::vector<DeviceEntry> entries(3);
  entries[0].vid = 0x1234;
  entries[0].pid = 0x0001;
  entries[1].vid = 0x7C3A;
  entries[1].pid = 0xB108;
  entries[2].vid = 0x7c3a;
  entries[2].pid = 0xB108;
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_7C3A&PID_B108&MI_02#hidraw3", true), 1);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"hid#vid_7c3a&pid_b108&mi_02#hidraw3", true), 1);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_7C3A&PID_B108&MI_00#hidraw1", true), -1);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_7C3A&PID_B108#hidraw1", true), -1);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_7C3A&PID_0000&MI_02#hidraw1", true), -1);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_7C3A&PID_0000&MI_00#hidraw1", false), 1);  // vid only
  EXPECT_EQ(MatchDeviceEvent(entries, 2, L"HID#VID_7C3A&PID_B108&MI_02#hidraw3", true), 2);
  EXPECT_EQ(MatchDeviceEvent(entries, 0, L"HID#VID_0000&PID_1234&MI_02#hidraw3", false), 0)
      << "a plain substring test: the pid field holds the vid text";
}

TEST_F(MainDlgTest, SlotsShowConnectedEntriesFirstAndAtMostFour) {
  WriteConfig(R"(<device.config><Singledevice.info>
<device name="A" type="1" vid="7C3A" pid="A001" image="a1.png" image_none="a0.png"/>
<device name="B" type="1" vid="7C3A" pid="A002" image="b1.png" image_none="b0.png"/>
<device name="C" type="1" vid="7C3A" pid="B108" image="c1.png" image_none="c0.png"/>
<device name="D" type="2" vid="7C3A" pid="A004" image="d1.png" image_none="d0.png"/>
<device name="E" type="1" vid="7C3A" pid="A005" image="e1.png" image_none="e0.png"/>
</Singledevice.info></device.config>)");
  Plug(0xB108);
  Plug(0xA005);
  Open();
  EXPECT_EQ(main->Devices().size(), 5u);
  EXPECT_EQ(VisibleSlots(), (std::vector<std::wstring>{L"C:device/c1.png:1", L"E:device/e1.png:1",
                                                       L"A:device/a0.png:0", L"B:device/b0.png:0"}));
  // The start-up rescan opened the first slot's keyboard window.
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->name(), L"C");
  EXPECT_GE(windows[0]->index(), 0);
  EXPECT_TRUE(main->RescanOnRemoval());

  // D (not connected, fifth) shows in no slot: its stale slot must not open anything.
  EXPECT_EQ(main->Devices()[3].slot, nullptr);
  EXPECT_EQ(main->OpenDevice(47), 1);
  EXPECT_EQ(windows.size(), 1u);
  // Clicking a connected slot opens its own entry.
  GoHome();
  EXPECT_TRUE(Driver::Click(*main, 45));
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[1]->name(), L"E");
}

TEST_F(MainDlgTest, TwoEntriesOfOneVidPidAreToldApartByProductName) {
  WriteConfig(R"(<device.config><Singledevice.info>
<device name="Other" type="1" vid="7C3A" pid="B108" product_name="Other Board" image="o.png"/>
<device name="Mine" type="1" vid="7C3A" pid="B108" product_name="Varnel V108 RGB" image="m.png"/>
</Singledevice.info></device.config>)");
  Plug(0xB108);
  Open();
  EXPECT_EQ(main->Devices()[0].connected, 0);
  EXPECT_EQ(main->Devices()[1].connected, 1);
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->name(), L"Mine");
}

TEST_F(MainDlgTest, RemovalHidesEveryWindowAndTheNextArrivalReconnects) {
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  auto& alpha = Plug(0xB108);
  Plug(0xB109);
  Open();
  GoHome();
  ASSERT_TRUE(Driver::Click(*main, 45));  // Beta's window too
  ASSERT_EQ(windows.size(), 2u);
  log.clear();

  alpha.unplug();
  clock.clearSleeps();
  Inject(false, "HID#VID_7C3A&PID_B108&MI_00#hidraw1");  // any interface: the vid decides
  EXPECT_EQ(clock.totalSleptMs(), 0) << "no wait on removal";
  EXPECT_EQ(main->Devices()[0].connected, 0);
  EXPECT_EQ(main->Devices()[1].connected, 0) << "still plugged in, but disconnected too";
  EXPECT_FALSE(windows[0]->IsWindowVisible());
  EXPECT_FALSE(windows[1]->IsWindowVisible());
  EXPECT_FALSE(main->RescanOnRemoval());
  // Open windows get their new index before their listener restarts.
  EXPECT_EQ(log, (std::vector<std::string>{"Alpha: index -1", "Alpha: listener", "Beta: index 0",
                                           "Beta: listener"}));

  // With the flag clear a removal does nothing.
  log.clear();
  Inject(false, "HID#VID_7C3A&PID_B109&MI_02#hidraw7");
  EXPECT_TRUE(log.empty());

  // An arrival of another interface does nothing; the one with MI_02 waits, then reconnects.
  Inject(true, "HID#VID_7C3A&PID_B109&MI_01#hidraw6");
  EXPECT_EQ(clock.totalSleptMs(), 0);
  Inject(true, kArrivalBeta);
  EXPECT_EQ(clock.totalSleptMs(), MainDlg::kArrivalWaitMs);
  ASSERT_EQ(clock.sleeps().size(), 1u);
  EXPECT_EQ(main->Devices()[1].connected, 1);
  EXPECT_TRUE(windows[1]->IsWindowVisible()) << "slot 44 now shows Beta and is shown again";
  EXPECT_TRUE(main->RescanOnRemoval());
  EXPECT_EQ(windows.size(), 2u) << "no second window for an entry";
}

TEST_F(MainDlgTest, ARescanWaitsForARunningTransferInsteadOfClosingItsHandle) {
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  auto& alpha = Plug(0xB108);
  Open();
  const int index = main->Devices()[0].deviceIndex;
  ASSERT_GE(index, 0);
  alpha.gateNextIo(platform::hid::sim::NodeRole::kCommand);
  std::thread transfer([&] {
    std::vector<uint8_t> packet(64, 0);
    manager.Send(packet, index, 0, false);
  });
  ASSERT_TRUE(alpha.waitUntilGated(2000));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    alpha.releaseGate();
  });
  main->RescanDevices(true);  // returns only once the transfer let go
  transfer.join();
  release.join();
  EXPECT_FALSE(sim.closedDuringIo());
  EXPECT_EQ(main->Devices()[0].connected, 1);
}

TEST_F(MainDlgTest, AKeyboardThatMayNotBeOpenedIsExplainedOncePerRun) {
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  auto nodes = platform::hid::sim::DefaultKeyboardNodes();
  for (auto& node : nodes) node.permissionDenied = true;
  Plug(0xB108, nodes);
  int prompts = 0;
  std::wstring title;
  driver.AnswerNextModal([&](MDialog& box) {
    ++prompts;
    title = box.GetWindowText();
    box.DoOK();
  });
  Open();
  Driver::RunFor(50);
  main->RescanDevices(true);
  Driver::RunFor(50);
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(main->Devices()[0].connected, 0);
}

TEST_F(MainDlgTest, EventPayloadsAreFreedAlsoWhenTheWindowIsGone) {
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  Open();
  ASSERT_TRUE(events->running());
  auto record = std::make_shared<DeviceInterfaceRecord>();
  std::weak_ptr<DeviceInterfaceRecord> watch = record;
  ASSERT_TRUE(
      PostMessageWithPayload(main->GetSafeHwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, std::move(record)));
  main->DestroyWindow();
  EXPECT_EQ(events, nullptr) << "the event source is stopped and freed with the window";
  Driver::RunFor(30);
  EXPECT_TRUE(watch.expired());
  auto late = std::make_shared<DeviceInterfaceRecord>();
  watch = late;
  EXPECT_FALSE(
      PostMessageWithPayload(main->GetSafeHwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, std::move(late)));
  EXPECT_TRUE(watch.expired());
}

TEST_F(MainDlgTest, PluggingTheSimulatedKeyboardReachesTheWindowThroughTheNameBuilder) {
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  hotplugEvents = true;
  auto& alpha = Plug(0xB108);
  Open();
  ASSERT_EQ(windows.size(), 1u);
  alpha.unplug();  // one event per interface; the first removal rescans
  Driver::RunFor(30);
  EXPECT_EQ(main->Devices()[0].connected, 0);
  EXPECT_FALSE(windows[0]->IsWindowVisible());
  clock.clearSleeps();
  alpha.replug();  // only the MI_02 arrival waits and rescans
  Driver::RunFor(30);
  EXPECT_EQ(clock.totalSleptMs(), MainDlg::kArrivalWaitMs);
  EXPECT_EQ(main->Devices()[0].connected, 1);
  EXPECT_TRUE(windows[0]->IsWindowVisible());
  EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_RESCAN_DEVICES, 0, 0), 0);
  EXPECT_EQ(main->Devices()[0].connected, 1);
}
