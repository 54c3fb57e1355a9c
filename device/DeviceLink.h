// What a transfer sequence needs to reach one keyboard: the manager, the clock that paces the
// sequence's own pauses (the manager's clock: real in the program, virtual in tests), the device
// index and the window's packet delay. Not owned; the referenced objects outlive the call.
#pragma once

#include "device/HidDeviceManager.h"
#include "platform/clock/clock.h"

struct DeviceLink {
  HidDeviceManager& manager;
  platform::Clock& clock;
  int deviceIndex = -1;
  int packetDelayMs = 10;
};
