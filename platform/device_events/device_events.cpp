#include "platform/device_events/device_events.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace platform::device_events {
namespace {

bool IsHex(const std::string& text, size_t from, size_t count) {
  if (from + count > text.size()) return false;
  for (size_t i = from; i < from + count; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// "BBBB:VVVV:PPPP.NNNN"
bool IsHidComponent(const std::string& part) {
  return part.size() == 19 && IsHex(part, 0, 4) && part[4] == ':' && IsHex(part, 5, 4) && part[9] == ':' &&
         IsHex(part, 10, 4) && part[14] == '.' && IsHex(part, 15, 4);
}

// "<bus>-<ports>:<cfg>.<ifc>": gives the interface number.
std::optional<int> UsbInterfaceOf(const std::string& part) {
  const size_t dash = part.find('-');
  const size_t colon = part.find(':');
  if (dash == std::string::npos || dash == 0 || colon == std::string::npos || colon < dash + 2)
    return std::nullopt;
  const size_t dot = part.find('.', colon);
  if (dot == std::string::npos || dot == colon + 1 || dot + 1 >= part.size()) return std::nullopt;
  for (size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (i == dash || i == colon || i == dot) continue;
    if (!std::isdigit(static_cast<unsigned char>(c)) && !(c == '.' && i > dash && i < colon))
      return std::nullopt;
  }
  const std::string ifc = part.substr(dot + 1);
  if (ifc.size() > 3) return std::nullopt;
  return std::stoi(ifc);
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

class UdevSource : public Source {
 public:
  ~UdevSource() override { Stop(); }

  bool Start(Sink sink) override {
    if (thread_.joinable()) return false;
    udev_ = udev_new();
    if (!udev_) return Fail("udev_new failed");
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_) return Fail("cannot create the udev monitor");
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0)
      return Fail("cannot start the udev monitor");
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) return Fail("eventfd failed");
    thread_ = std::thread([this, sink = std::move(sink)] { Run(sink); });
    return true;
  }

  void Stop() override {
    if (thread_.joinable()) {
      const uint64_t one = 1;
      while (write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
      }
      thread_.join();
    }
    Release();
  }

 private:
  bool Fail(const char* what) {
    std::fprintf(stderr, "[device events] %s: %s\n", what, std::strerror(errno));
    Release();
    return false;
  }
  void Release() {
    if (stopFd_ >= 0) close(stopFd_);
    stopFd_ = -1;
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
  }

  void Run(const Sink& sink) {
    const int monitorFd = udev_monitor_get_fd(monitor_);
    while (true) {
      pollfd fds[2] = {{monitorFd, POLLIN, 0}, {stopFd_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        std::fprintf(stderr, "[device events] poll failed: %s\n", std::strerror(errno));
        return;
      }
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      udev_device* device = udev_monitor_receive_device(monitor_);
      if (!device) continue;
      const char* action = udev_device_get_action(device);
      const char* devpath = udev_device_get_devpath(device);
      const bool add = action && std::strcmp(action, "add") == 0;
      const bool remove = action && std::strcmp(action, "remove") == 0;
      if ((add || remove) && devpath) {
        if (auto name = InterfaceNameFromDevpath(devpath)) sink(DeviceEvent{add, *name});
      }
      udev_device_unref(device);
    }
  }

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  int stopFd_ = -1;
  std::thread thread_;
};

std::function<std::unique_ptr<Source>()>& Factory() {
  static std::function<std::unique_ptr<Source>()> factory;
  return factory;
}

}  // namespace

std::optional<std::string> InterfaceNameFromDevpath(const std::string& devpath) {
  const std::vector<std::string> parts = Components(devpath);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!IsHidComponent(parts[i])) continue;
    if (i + 1 >= parts.size()) return std::nullopt;  // no node below the HID device
    const std::string& hid = parts[i];
    const unsigned vid = std::stoul(hid.substr(5, 4), nullptr, 16);
    const unsigned pid = std::stoul(hid.substr(10, 4), nullptr, 16);
    char head[64];
    std::optional<int> ifc = i > 0 ? UsbInterfaceOf(parts[i - 1]) : std::nullopt;
    if (ifc)
      std::snprintf(head, sizeof head, "HID#VID_%04X&PID_%04X&MI_%02X#", vid, pid,
                    static_cast<unsigned>(*ifc));
    else
      std::snprintf(head, sizeof head, "HID#VID_%04X&PID_%04X#", vid, pid);
    return std::string(head) + parts.back();
  }
  return std::nullopt;
}

bool FakeSource::Start(Sink sink) {
  if (failStart) return false;
  sink_ = std::move(sink);
  return true;
}

void FakeSource::Stop() {
  ++stopCalls;
  sink_ = nullptr;
}

bool FakeSource::Inject(const DeviceEvent& event) {
  if (!sink_) return false;
  sink_(event);
  return true;
}

std::unique_ptr<Source> MakeUdevSource() { return std::make_unique<UdevSource>(); }

std::unique_ptr<Source> MakeSource() { return Factory() ? Factory()() : MakeUdevSource(); }

void SetSourceFactory(std::function<std::unique_ptr<Source>()> factory) { Factory() = std::move(factory); }

}  // namespace platform::device_events
