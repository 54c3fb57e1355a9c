#include "platform/input/raw_input_x11.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/input/evdev_keys.h"

namespace platform::input {

namespace {

// X key codes are the kernel's input codes moved up by 8.
constexpr int kKeycodeOffset = 8;
// How long the reading thread sleeps between looks at its stop flag when nothing arrives.
constexpr int kPollMs = 100;

class X11Subscription final : public Subscription {
 public:
  X11Subscription(Display* display, int opcode, int wakeRead, int wakeWrite, RawInputCallback callback)
      : display_(display),
        opcode_(opcode),
        wakeRead_(wakeRead),
        wakeWrite_(wakeWrite),
        callback_(std::move(callback)),
        thread_([this] { Read(); }) {}

  ~X11Subscription() override {
    stop_.store(true);
    const char byte = 1;
    if (write(wakeWrite_, &byte, 1) < 0) {
      // The thread sees the flag on its next poll time-out.
    }
    thread_.join();  // a callback that is running ends first
    XCloseDisplay(display_);
    close(wakeRead_);
    close(wakeWrite_);
  }

 private:
  void Read() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    while (!stop_.load()) {
      while (XPending(display_) > 0 && !stop_.load()) Handle();
      if (stop_.load()) break;
      if (poll(fds, 2, kPollMs) < 0) break;
      if (fds[0].revents & (POLLERR | POLLHUP)) {
        std::fprintf(stderr, "raw input: the X server closed the connection\n");
        break;
      }
    }
  }

  void Handle() {
    XEvent event;
    XNextEvent(display_, &event);
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != opcode_ || !XGetEventData(display_, cookie))
      return;
    RawInputRecord record;
    bool known = false;
    const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
    switch (cookie->evtype) {
      case XI_RawKeyPress:
      case XI_RawKeyRelease:
        known = RecordForRawEvent(true, cookie->evtype == XI_RawKeyPress, raw->detail, &record);
        break;
      case XI_RawButtonPress:
      case XI_RawButtonRelease:
        known = RecordForRawEvent(false, cookie->evtype == XI_RawButtonPress, raw->detail, &record);
        break;
      default:
        break;
    }
    XFreeEventData(display_, cookie);
    if (known) callback_(record);
  }

  Display* display_;
  int opcode_;
  int wakeRead_;
  int wakeWrite_;
  RawInputCallback callback_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace

bool RecordForRawEvent(bool key, bool press, int detail, RawInputRecord* out) {
  RawInputRecord record;
  if (key) {
    const int vk = EvdevToVirtualKey(detail - kKeycodeOffset);
    if (vk == 0) return false;
    record.kind = kKindKeyboard;
    record.virtualKey = vk;
    record.keyMessage = press ? kKeyDownMessage : kKeyUpMessage;
  } else {
    switch (detail) {
      case 1:
        record.buttonFlags = press ? kLeftDown : kLeftUp;
        break;
      case 2:
        record.buttonFlags = press ? kMiddleDown : kMiddleUp;
        break;
      case 3:
        record.buttonFlags = press ? kRightDown : kRightUp;
        break;
      case 8:
        record.buttonFlags = press ? kButton4Down : kButton4Up;
        break;
      case 9:
        record.buttonFlags = press ? kButton5Down : kButton5Up;
        break;
      default:
        return false;  // the wheel (4-7) and buttons past 9
    }
    record.kind = kKindMouse;
  }
  *out = record;
  return true;
}

std::unique_ptr<Subscription> X11RawInput::Subscribe(RawInputCallback callback) {
  Display* display = XOpenDisplay(display_.empty() ? nullptr : display_.c_str());
  if (!display) {
    std::fprintf(stderr, "raw input: no X display could be opened; macro recording gets no input\n");
    return nullptr;
  }
  int opcode = 0, firstEvent = 0, firstError = 0;
  int major = 2, minor = 2;  // raw events arrive also while another client grabs the keys
  if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError) ||
      XIQueryVersion(display, &major, &minor) != Success) {
    std::fprintf(stderr, "raw input: the X server has no XInput 2.2; macro recording gets no input\n");
    XCloseDisplay(display);
    return nullptr;
  }
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
  XSync(display, False);
  int wake[2];
  if (pipe(wake) != 0) {
    std::perror("raw input: pipe");
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<X11Subscription>(display, opcode, wake[0], wake[1], std::move(callback));
}

RawInputService* SystemRawInput() {
  static X11RawInput service;
  return &service;
}

}  // namespace platform::input
