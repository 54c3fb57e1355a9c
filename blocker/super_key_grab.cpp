#include "blocker/super_key_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace blocker {
namespace {

// Set by the error handler while grabs are being checked: XGrabKey answers only with an error,
// BadAccess when another client holds the key.
bool g_grabFailed = false;

int RecordGrabError(Display*, XErrorEvent*) {
  g_grabFailed = true;
  return 0;
}

bool Holds(const std::vector<GrabbedKey>& keys, unsigned keycode) {
  return std::any_of(keys.begin(), keys.end(), [&](const GrabbedKey& key) { return key.keycode == keycode; });
}

}  // namespace

SuperKeyGrab::SuperKeyGrab(Display* display) : display_(display) {}

SuperKeyGrab::~SuperKeyGrab() { Release(); }

std::vector<GrabbedKey> SuperKeyGrab::ReadSuperKeys() const {
  int minKeycode = 0, maxKeycode = 0;
  XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
  const int count = maxKeycode - minKeycode + 1;
  int perKeycode = 0;
  KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(minKeycode), count, &perKeycode);
  std::vector<std::pair<unsigned, unsigned long>> first;
  if (map && perKeycode > 0) {
    for (int i = 0; i < count; ++i)
      first.emplace_back(static_cast<unsigned>(minKeycode + i), map[i * perKeycode]);
  }
  if (map) XFree(map);
  return KeysToGrab(first);
}

SuperKeyGrab::Outcome SuperKeyGrab::Grab() {
  std::vector<GrabbedKey> wanted = ReadSuperKeys();
  if (wanted.empty()) {
    Release();
    return Outcome::NoSuperKey;
  }
  const Window root = DefaultRootWindow(display_);
  XSync(display_, False);  // errors of earlier requests are not the grabs'
  g_grabFailed = false;
  auto* previous = XSetErrorHandler(RecordGrabError);
  for (const GrabbedKey& key : wanted)
    XGrabKey(display_, static_cast<int>(key.keycode), AnyModifier, root, False, GrabModeAsync, GrabModeSync);
  XSync(display_, False);
  XSetErrorHandler(previous);
  // Key codes that were Super before and are not now go back to the other clients.
  for (const GrabbedKey& key : keys_)
    if (!Holds(wanted, key.keycode)) XUngrabKey(display_, static_cast<int>(key.keycode), AnyModifier, root);
  keys_ = std::move(wanted);
  // A held key that is no Super key any more keeps the keyboard no longer.
  std::erase_if(held_, [this](unsigned keycode) { return !Holds(keys_, keycode); });
  if (held_.empty()) ReleaseKeyboard();
  if (g_grabFailed) {
    Release();
    return Outcome::Refused;
  }
  return Outcome::Grabbed;
}

void SuperKeyGrab::Release() {
  held_.clear();
  ReleaseKeyboard();
  XFlush(display_);
  if (keys_.empty()) return;
  const Window root = DefaultRootWindow(display_);
  for (const GrabbedKey& key : keys_) XUngrabKey(display_, static_cast<int>(key.keycode), AnyModifier, root);
  XSync(display_, False);
  keys_.clear();
}

SuperKeyGrab::Outcome SuperKeyGrab::OnMappingNotify(XEvent& event) {
  if (event.type != MappingNotify) return Outcome::Grabbed;
  XRefreshKeyboardMapping(&event.xmapping);
  if (event.xmapping.request != MappingKeyboard) return Outcome::Grabbed;
  return Grab();
}

std::optional<unsigned> SuperKeyGrab::VirtualKeyToPost(const XEvent& event) const {
  const KeyEventKind kind = event.type == KeyPress     ? KeyEventKind::Press
                            : event.type == KeyRelease ? KeyEventKind::Release
                                                       : KeyEventKind::Other;
  if (kind == KeyEventKind::Other) return std::nullopt;
  return blocker::VirtualKeyToPost(keys_, kind, event.xkey.keycode);
}

void SuperKeyGrab::OnKeyEvent(const XEvent& event) {
  if (event.type != KeyPress && event.type != KeyRelease) return;
  const unsigned keycode = event.xkey.keycode;
  if (Holds(keys_, keycode)) {
    if (event.type == KeyPress)
      held_.insert(keycode);
    else
      held_.erase(keycode);
  }
  if (!held_.empty()) {
    // The key grab becomes ours until we release it; it stays synchronous, so each event waits
    // for this client.
    if (!keyboardGrabbed_)
      keyboardGrabbed_ = XGrabKeyboard(display_, DefaultRootWindow(display_), False, GrabModeAsync,
                                       GrabModeSync, CurrentTime) == GrabSuccess;
    XAllowEvents(display_, SyncKeyboard, CurrentTime);
  } else if (keyboardGrabbed_) {
    ReleaseKeyboard();  // the events that wait go to their windows
  } else {
    XAllowEvents(display_, AsyncKeyboard, CurrentTime);  // a key grab not taken over goes on by itself
  }
  XFlush(display_);
}

void SuperKeyGrab::ReleaseKeyboard() {
  // Only a grab taken over: a key grab the server started, whose press is still on its way to
  // us, must stay.
  if (!keyboardGrabbed_) return;
  XUngrabKeyboard(display_, CurrentTime);
  keyboardGrabbed_ = false;
}

}  // namespace blocker
