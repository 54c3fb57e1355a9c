// The X11 side of halvorn: finds the key codes of both Super keys, grabs them on the root window
// so that no other client sees them (nor, while one is held, any other key), and tells which
// events of the grabbed keys to report.
//
// A key grab alone ends with the release of the key that started it: with both Super keys held,
// the release of the second would reach the focused window. So the first Super press turns the
// grab into a grab of the whole keyboard, kept until no Super key is held. Both grabs freeze the
// keyboard after each event until this client has seen it, so the hand-back happens exactly at
// the last Super release and no later key goes astray.
#pragma once

#include <optional>
#include <set>
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
  // owner events off, the pointer asynchronous and the keyboard synchronous (frozen after each
  // event until OnKeyEvent). Waits for the server's answer. Key codes grabbed before and no longer
  // Super are released. Anything but Grabbed releases every grab.
  Outcome Grab();
  // Releases every grab this object holds, the keyboard's too.
  void Release();

  // For a MappingNotify event: updates Xlib's map and, when the keyboard map changed, grabs again
  // (Grab's result). Other events: Grabbed, nothing done.
  Outcome OnMappingNotify(_XEvent& event);
  // The virtual key to post for a key event of a grabbed key code; nothing otherwise.
  std::optional<unsigned> VirtualKeyToPost(const _XEvent& event) const;
  // For every key event received (each came through a grab and left the keyboard frozen): keeps
  // the keyboard while a Super key is held and lets the next event come, or gives the keyboard
  // back after the last Super release. Flushes its requests, so call it before anything that may
  // wait: the user's keyboard waits meanwhile.
  void OnKeyEvent(const _XEvent& event);

  const std::vector<GrabbedKey>& Keys() const { return keys_; }

 private:
  std::vector<GrabbedKey> ReadSuperKeys() const;
  void ReleaseKeyboard();

  _XDisplay* display_;
  std::vector<GrabbedKey> keys_;
  std::set<unsigned> held_;       // grabbed key codes pressed and not yet released
  bool keyboardGrabbed_ = false;  // the whole keyboard is held until held_ empties
};

}  // namespace blocker
