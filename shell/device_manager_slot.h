// The place of the process's one HID device manager: start-up creates it before the main window
// runs and destroys it after every window is gone.
#pragma once

#include <functional>
#include <memory>

#include "device/HidDeviceManager.h"

class DeviceManagerSlot {
 public:
  using Factory = std::function<std::unique_ptr<HidDeviceManager>()>;

  // The program's slot makes the manager on the system's HID back end; tests pass one on the
  // simulated keyboard.
  DeviceManagerSlot() : factory_([] { return std::make_unique<HidDeviceManager>(); }) {}
  explicit DeviceManagerSlot(Factory factory) : factory_(std::move(factory)) {}

  // Makes the one device manager; a second call keeps the first.
  void Create() {
    if (!manager_) manager_ = factory_();
  }
  // Destroys it; afterwards IsCreated() is false.
  void Destroy() { manager_.reset(); }
  bool IsCreated() const { return manager_ != nullptr; }
  HidDeviceManager* Get() const { return manager_.get(); }

 private:
  Factory factory_;
  std::unique_ptr<HidDeviceManager> manager_;
};
