// Device-interface arrival and removal, reported with the interface names the main window
// matches against its device list.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::device_events {

struct DeviceEvent {
  bool arrival = false;  // false: removal
  std::string name;      // "HID#VID_7C3A&PID_B108&MI_02#hidraw3"
};

// The interface name of a hidraw node from its devpath alone (removals carry no attributes).
// The component "BBBB:VVVV:PPPP.NNNN" gives vendor and product id; a USB interface component
// "<bus>-<ports>:<cfg>.<ifc>" before it gives "&MI_<ifc>", left out when there is none; the last
// component is the node's name. nullopt without a HID component.
std::optional<std::string> InterfaceNameFromDevpath(const std::string& devpath);

using Sink = std::function<void(const DeviceEvent&)>;

class Source {
 public:
  virtual ~Source() = default;
  // Starts reporting to `sink` (from a thread of the source). False when it cannot run; then
  // nothing is reported.
  virtual bool Start(Sink sink) = 0;
  // Stops and joins; no call of the sink runs or follows afterwards. Safe to call twice.
  virtual void Stop() = 0;
};

// hidraw add and remove events of the udev source (after the rules ran, so the permission tag
// is set), read by one thread that polls the monitor and a stop eventfd.
std::unique_ptr<Source> MakeUdevSource();

// For tests: events are handed to the sink by Inject, on the calling thread.
class FakeSource : public Source {
 public:
  bool Start(Sink sink) override;
  void Stop() override;
  // False when not started.
  bool Inject(const DeviceEvent& event);
  bool failStart = false;
  bool running() const { return static_cast<bool>(sink_); }
  int stopCalls = 0;

 private:
  Sink sink_;
};

// The factory new main windows use: the udev source unless a test sets another (empty restores).
std::unique_ptr<Source> MakeSource();
void SetSourceFactory(std::function<std::unique_ptr<Source>()> factory);

}  // namespace platform::device_events
