// The X11 side of halvorn: finds the key codes of both Super keys, grabs them on the root window
// so that no other client sees them (nor, while one is held, any other key), and tells which
// events of the grabbed keys to report.
#pragma once

#include <optional>
#include <vector>

#include "blocker/win_key_event.h"

struct _XDisplay;
union _XEvent;

namespace blocker {

class SuperKeyGrab {
 public:
  enum class Outcome {
    Grabbed,     // every Super key code is held by this client
    NoSuperKey,  // the keyboard map has no key code whose first keysym is a Super key
    Refused,     // another client holds one of them; nothing stays grabbed
  };

  // `display` stays owned by the caller and must outlive the grab.
  explicit SuperKeyGrab(_XDisplay* display);
  ~SuperKeyGrab();  // releases the grabs
  SuperKeyGrab(const SuperKeyGrab&) = delete;
  SuperKeyGrab& operator=(const SuperKeyGrab&) = delete;

  // Reads the keyboard map and grabs each Super key code on the root window with any modifiers,
  // owner events off, pointer and keyboard asynchronous. Waits for the server's answer. Key codes
  // grabbed before and no longer Super are released. Anything but Grabbed releases every grab.
  Outcome Grab();
  // Releases every grab this object holds.
  void Release();

  // For a MappingNotify event: updates Xlib's map and, when the keyboard map changed, grabs again
  // (Grab's result). Other events: Grabbed, nothing done.
  Outcome OnMappingNotify(_XEvent& event);
  // The virtual key to post for a key event of a grabbed key code; nothing otherwise.
  std::optional<unsigned> VirtualKeyToPost(const _XEvent& event) const;

  const std::vector<GrabbedKey>& Keys() const { return keys_; }

 private:
  std::vector<GrabbedKey> ReadSuperKeys() const;

  _XDisplay* display_;
  std::vector<GrabbedKey> keys_;
};

}  // namespace blocker
