// Reads one keyboard's requests (input report id 5 on its vendor collection, usage page 0xFFFF,
// usage 1) on a thread of its own and posts each as a window message through a callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/clock/clock.h"
#include "platform/hid/hid_backend.h"

inline constexpr unsigned int WM_DEVICE_REPORT = 0x444;
inline constexpr unsigned int WM_DEVICE_SLOT_KEY = 0x445;

// Posts (message, wParam, lParam) to the owner's window. Called on the reading thread; must be
// thread-safe and must not wait for the UI thread.
using PostMessageFn = std::function<void(unsigned int message, uintptr_t wParam, intptr_t lParam)>;

// The table that turns a report into a message: byte 0 must be the request id 5; "05 A5 a b" is
// (WM_DEVICE_SLOT_KEY, a, b); "05 x n .." with x other than 0xA5 is (messageId, 0, n). False when
// nothing is to be posted (another id, or no byte read). `report` holds at least 4 bytes, zero past
// what was read.
struct ListenerMessage {
  unsigned int message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  bool operator==(const ListenerMessage&) const = default;
};
bool MapInputReport(const uint8_t* report, int bytesRead, unsigned int messageId, ListenerMessage& out);

// Reads the vendor and product ids from a Windows device interface path, searching anywhere in
// it (case-sensitively) for "hid#vid_XXXX&pid_XXXX" with optional "&rev_", "&mi_" and "&col"
// parts; each 4-character id is read as hexadecimal the way wcstol reads it. False
// when the pattern does not occur. Linux node paths carry no ids, so nothing here uses it.
bool ParseHidDevicePath(std::wstring_view path, int& vid, int& pid);

// Opens the first node, in enumeration order, with these ids, a top-level collection 0xFFFF/1 and,
// when `physicalKey` is not empty, that physical key. A node that fails to open is passed over.
// Null when none opens.
std::unique_ptr<platform::hid::HidInputReader> OpenHidInterface(platform::hid::HidBackend& backend, int vid,
                                                                int pid, const std::string& physicalKey);

class HidReportListener {
 public:
  // `backend` and `clock` must outlive the listener. `post` receives the messages.
  HidReportListener(platform::hid::HidBackend& backend, platform::Clock& clock, PostMessageFn post);
  // Stops (and joins) the reading thread.
  ~HidReportListener();
  HidReportListener(const HidReportListener&) = delete;
  HidReportListener& operator=(const HidReportListener&) = delete;

  // The keyboard to listen to; set before Start. With an empty physical key the first vendor
  // collection of the ids is taken (two keyboards of one model then cannot be told apart).
  void SetDevice(int vid, int pid, const std::string& physicalKey);
  // The message posted for a plain request (WM_DEVICE_REPORT unless changed).
  void SetMessageId(unsigned int messageId);

  // Stops a running reader (closing its node), then opens the keyboard's vendor collection and
  // starts reading. Ends stopped when no collection opens. A Start that comes while another Start
  // runs returns at once. Any thread.
  void Start();
  // Ends the reading thread (waking a blocked read), joins it, then closes the node. Nothing is
  // posted after it returns. Any thread.
  void Stop();
  bool IsRunning() const;

 private:
  void StopLocked();
  void ReadLoop();

  platform::hid::HidBackend& backend_;
  platform::Clock& clock_;
  PostMessageFn post_;

  std::mutex controlMutex_;  // serialises Start and Stop
  std::atomic<bool> restartGuard_{false};
  std::atomic<bool> run_{false};
  std::thread thread_;
  std::unique_ptr<platform::hid::HidInputReader> reader_;

  std::mutex settingsMutex_;
  int vid_ = 0;
  int pid_ = 0;
  std::string physicalKey_;
  unsigned int messageId_ = WM_DEVICE_REPORT;

  // After a hang-up the thread waits here, not in a read, until it is told to stop.
  std::mutex idleMutex_;
  std::condition_variable idleWake_;
};
