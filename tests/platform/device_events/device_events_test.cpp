// Device events: interface names from devpaths, the fake source and the udev monitor's life.
#include "platform/device_events/device_events.h"

#include <gtest/gtest.h>

using platform::device_events::InterfaceNameFromDevpath;

TEST(DeviceEventNames, BuiltFromTheDevpathAlone) {
  struct Case {
    const char* devpath;
    std::optional<std::string> name;
  } cases[] = {
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.2/0003:7C3A:B108.0005/hidraw/hidraw3",
       "HID#VID_7C3A&PID_B108&MI_02#hidraw3"},
      {"/devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1.4/3-1.4.2/3-1.4.2:1.10/0003:7c3a:b108.001A/hidraw/"
       "hidraw12",
       "HID#VID_7C3A&PID_B108&MI_0A#hidraw12"},
      {"/devices/virtual/misc/uhid/0005:046D:B33A.0007/hidraw/hidraw9", "HID#VID_046D&PID_B33A#hidraw9"},
      {"/devices/pci0000:00/i2c-1/i2c-ELAN0001:00/0018:04F3:3098.0001/hidraw/hidraw0",
       "HID#VID_04F3&PID_3098#hidraw0"},
      {"/devices/pci0000:00/usb1/1-2/1-2:1.0/input/input7", std::nullopt},
      {"/devices/pci0000:00/usb1/1-2/1-2:1.0/0003:7C3A:B108.0005", std::nullopt},
      {"/devices/0003:7C3A:B10.0005/hidraw/hidraw1", std::nullopt},
      {"/devices/0003:7C3A:B1G8.0005/hidraw/hidraw1", std::nullopt},
      {"", std::nullopt},
      {"////", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(InterfaceNameFromDevpath(c.devpath), c.name) << c.devpath;
}

TEST(UdevMonitor, StartsAndStopsPromptly) {
  // The monitor thread waits without a time-out: a Stop that did not wake it would never return,
  // and the test's time-out would fail it.
  auto source = platform::device_events::MakeUdevSource();
  if (!source->Start([](const platform::device_events::DeviceEvent&) {}))
    GTEST_SKIP() << "no udev monitor here";
  source->Stop();
  source->Stop();
}

TEST(FakeDeviceEvents, DeliverOnlyWhileStarted) {
  platform::device_events::FakeSource source;
  std::vector<std::string> seen;
  EXPECT_FALSE(source.Inject({true, "x"}));
  ASSERT_TRUE(source.Start([&](const platform::device_events::DeviceEvent& e) { seen.push_back(e.name); }));
  EXPECT_TRUE(source.Inject({true, "a"}));
  source.Stop();
  EXPECT_FALSE(source.Inject({false, "b"}));
  EXPECT_EQ(seen, std::vector<std::string>{"a"});
  source.failStart = true;
  EXPECT_FALSE(source.Start([](const platform::device_events::DeviceEvent&) {}));
}
