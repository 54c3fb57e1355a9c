// Raw keyboard and mouse input of the whole desktop, as the macro recorder and the key capture
// fields need it: every key press and release and every button press and release, whichever
// window has the focus. A subscriber gets records on the service's own thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::input {

// One raw event. kind 1 mouse: `buttonFlags` is one of the button bits below. kind 2 keyboard:
// `virtualKey` (1..255) and `keyMessage` 256 (pressed) or 257 (released).
struct RawInputRecord {
  int kind = 0;
  int buttonFlags = 0;
  int virtualKey = 0;
  int keyMessage = 0;
};

inline constexpr int kKindMouse = 1;
inline constexpr int kKindKeyboard = 2;
inline constexpr int kKeyDownMessage = 256;
inline constexpr int kKeyUpMessage = 257;
inline constexpr int kSysKeyDownMessage = 260;
inline constexpr int kSysKeyUpMessage = 261;
// Button bits of a mouse record.
inline constexpr int kLeftDown = 0x0001;
inline constexpr int kLeftUp = 0x0002;
inline constexpr int kRightDown = 0x0004;
inline constexpr int kRightUp = 0x0008;
inline constexpr int kMiddleDown = 0x0010;
inline constexpr int kMiddleUp = 0x0020;
inline constexpr int kButton4Down = 0x0040;
inline constexpr int kButton4Up = 0x0080;
inline constexpr int kButton5Down = 0x0100;
inline constexpr int kButton5Up = 0x0200;

// A record packed into one non-zero message parameter, and back. Unpack is false for 0 and for a
// value that no record packs into.
std::intptr_t PackRecord(const RawInputRecord& record);
bool UnpackRecord(std::intptr_t packed, RawInputRecord* out);

// Held by a subscriber; destroying it ends the subscription and waits for a callback that is
// running at that moment.
class Subscription {
 public:
  virtual ~Subscription() = default;
};

using RawInputCallback = std::function<void(const RawInputRecord&)>;

class RawInputService {
 public:
  virtual ~RawInputService() = default;
  // Null when raw input cannot be had (no display, no XInput 2).
  virtual std::unique_ptr<Subscription> Subscribe(RawInputCallback callback) = 0;
};

// The program's service: the X11 back end when it was built, else one that always fails; or the
// override. Never null.
RawInputService& UserRawInput();
// Tests replace the service; nullptr restores. The caller keeps ownership.
void SetRawInputOverride(RawInputService* service);

// Tests: records handed to Inject reach every live subscriber on the caller's thread.
class FakeRawInputService final : public RawInputService {
 public:
  std::unique_ptr<Subscription> Subscribe(RawInputCallback callback) override;
  void Inject(const RawInputRecord& record);
  int Subscribers();
  int subscribeCalls = 0;
  bool failSubscribe = false;

 private:
  struct Entry {
    int id;
    RawInputCallback callback;
  };
  class FakeSubscription;
  void Remove(int id);
  std::recursive_mutex lock_;
  std::vector<Entry> entries_;
  int nextId_ = 1;
};

}  // namespace platform::input
