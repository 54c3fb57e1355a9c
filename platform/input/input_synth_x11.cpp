#include "platform/input/input_synth_x11.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/input/evdev_keys.h"

namespace platform::input {

struct X11InputSynth::Connection {
  Display* display = nullptr;
  int minKeycode = 0;
  int maxKeycode = 0;
  // Each kind of refusal is logged once per connection, not once per character.
  bool loggedNoSpare = false;
  bool loggedSurrogate = false;
  bool loggedUnknownKey = false;

  ~Connection() {
    if (display) XCloseDisplay(display);
  }
};

namespace {

// X key codes are the kernel's input codes moved up by 8.
constexpr int kKeycodeOffset = 8;
// How long a temporary binding outlives the release of its key. The receiving client looks the
// key code up when it handles the press, which can be well after the server delivered it; the
// binding must still be there then, or the client reads the key as unbound.
constexpr auto kSettleTime = std::chrono::milliseconds(50);

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The keysym of a character: Latin-1 keysyms are the character's code, every other character
// has the Unicode keysym.
KeySym KeysymFor(char32_t ch) {
  if ((ch >= 0x20 && ch <= 0x7E) || (ch >= 0xA0 && ch <= 0xFF)) return ch;
  return 0x01000000 | ch;
}

// True when the key type reaches level 1 (the second) with Shift alone, as two-level and
// alphabetic keys do (a keypad key needs Num Lock instead).
bool ShiftGivesLevelOne(const XkbKeyTypeRec& type) {
  for (int i = 0; i < type.map_count; ++i) {
    const XkbKTMapEntryRec& entry = type.map[i];
    if (entry.active && entry.level == 1 && entry.mods.mask == ShiftMask) return true;
  }
  return false;
}

// The group key `keycode` uses while the keyboard is in `group`, by the key's own rule for groups
// it does not have; -1 for a key without symbols.
int EffectiveGroup(XkbDescPtr xkb, int keycode, int group) {
  const int groups = XkbKeyNumGroups(xkb, keycode);
  if (groups <= 0) return -1;
  if (group < groups) return group;
  const unsigned char info = XkbKeyGroupInfo(xkb, keycode);
  switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
      return groups - 1;
    case XkbRedirectIntoRange: {
      const int target = XkbOutOfRangeGroupNumber(info);
      return target < groups ? target : 0;
    }
    default:
      return group % groups;
  }
}

// Key codes without any keysym, highest first: free to bind for a moment.
std::vector<int> SpareKeycodes(Display* display, int minKeycode, int maxKeycode) {
  std::vector<int> spare;
  int perKeycode = 0;
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1,
                                    &perKeycode);
  if (!map) return spare;
  for (int keycode = maxKeycode; keycode >= minKeycode; --keycode) {
    const KeySym* syms = map + static_cast<size_t>(keycode - minKeycode) * static_cast<size_t>(perKeycode);
    bool empty = true;
    for (int i = 0; i < perKeycode && empty; ++i) empty = syms[i] == NoSymbol;
    if (empty) spare.push_back(keycode);
  }
  XFree(map);
  return spare;
}

void BindKeycode(Display* display, int keycode, KeySym sym) {
  // The same keysym on both levels, so that a Shift the user holds does not change it.
  KeySym syms[2] = {sym, sym};
  XChangeKeyboardMapping(display, keycode, 2, syms, 1);
}

}  // namespace

X11InputSynth::X11InputSynth(std::string display) : displayName_(std::move(display)) {}

X11InputSynth::~X11InputSynth() = default;

X11InputSynth::Connection* X11InputSynth::Connect() {
  if (connection_) return connection_.get();
  if (tried_) return nullptr;
  tried_ = true;
  const char* name = displayName_.empty() ? nullptr : displayName_.c_str();
  Display* display = XOpenDisplay(name);
  if (!display) {
    std::fprintf(stderr, "[input] no X display %scould be opened: keys and texts are not typed\n",
                 name ? (std::string("\"") + name + "\" ").c_str() : "");
    return nullptr;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "[input] the X server has no XTest extension: keys and texts are not typed\n");
    XCloseDisplay(display);
    return nullptr;
  }
  int opcode = 0;
  major = XkbMajorVersion;
  minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "[input] the X server has no XKB extension: keys and texts are not typed\n");
    XCloseDisplay(display);
    return nullptr;
  }
  connection_ = std::make_unique<Connection>();
  connection_->display = display;
  XDisplayKeycodes(display, &connection_->minKeycode, &connection_->maxKeycode);
  return connection_.get();
}

int X11InputSynth::VkKeyScan(char16_t ch) {
  // Control characters come from fixed keys on every layout.
  switch (ch) {
    case 8:
      return 0x08;
    case 9:
      return 0x09;
    case 10:
      return 0x20D;  // Ctrl + Enter
    case 13:
      return 0x0D;
    case 27:
      return 0x1B;
    default:
      break;
  }
  if (ch < 0x20 || ch == 0x7F || IsHighSurrogate(ch) || IsLowSurrogate(ch)) return -1;

  std::lock_guard lock(mutex_);
  Connection* connection = Connect();
  if (!connection) return -1;
  Display* display = connection->display;
  XkbStateRec state;
  if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return -1;
  XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
  if (!xkb) return -1;
  const KeySym wanted = KeysymFor(ch);
  int result = -1;
  // A key giving the character without Shift wins over one giving it with Shift.
  for (int level = 0; level < 2 && result < 0; ++level) {
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code && result < 0; ++keycode) {
      const int vk = EvdevToVirtualKey(keycode - kKeycodeOffset);
      if (vk == 0) continue;
      const int group = EffectiveGroup(xkb, keycode, state.group);
      if (group < 0 || level >= XkbKeyGroupWidth(xkb, keycode, group)) continue;
      if (level == 1 && !ShiftGivesLevelOne(*XkbKeyKeyType(xkb, keycode, group))) continue;
      if (XkbKeySymEntry(xkb, keycode, level, group) == wanted) result = vk | (level == 1 ? 0x100 : 0);
    }
  }
  XkbFreeKeyboard(xkb, 0, True);
  return result;
}

bool X11InputSynth::Send(std::span<const KeyInput> inputs) {
  std::lock_guard lock(mutex_);
  Connection* connection = Connect();
  if (!connection) return false;
  Display* display = connection->display;

  // Spare key codes bound in this batch: which UTF-16 unit pressed each, and whether it is down.
  struct Binding {
    KeySym sym;
    int keycode;
    char16_t unit;
    bool down;
  };
  std::vector<Binding> bindings;
  std::vector<int> spare;
  bool spareRead = false;
  bool ok = true;

  auto logLoneSurrogate = [&] {
    if (!connection->loggedSurrogate) std::fprintf(stderr, "[input] a lone UTF-16 surrogate was not typed\n");
    connection->loggedSurrogate = true;
  };
  // A high surrogate followed by anything but a low one stands alone and types nothing.
  auto dropPendingHigh = [&] {
    if (!pendingHigh_) return;
    pendingHigh_ = 0;
    logLoneSurrogate();
  };

  for (const KeyInput& input : inputs) {
    const bool up = (input.flags & KEYEVENTF_KEYUP) != 0;
    if (!(input.flags & KEYEVENTF_UNICODE)) {
      dropPendingHigh();
      const int evdev = VirtualKeyToEvdev(input.vk);
      const int keycode = evdev + kKeycodeOffset;
      if (evdev == 0 || keycode < connection->minKeycode || keycode > connection->maxKeycode) {
        if (!connection->loggedUnknownKey)
          std::fprintf(stderr, "[input] virtual key %u has no key here and was not pressed\n", input.vk);
        connection->loggedUnknownKey = true;
        ok = false;
        continue;
      }
      XTestFakeKeyEvent(display, static_cast<unsigned>(keycode), up ? False : True, CurrentTime);
      continue;
    }

    const char16_t unit = input.scan;
    if (up) {
      // A release lets go of the key its unit pressed; the high half of a pair pressed nothing.
      for (Binding& binding : bindings)
        if (binding.unit == unit && binding.down) {
          XTestFakeKeyEvent(display, static_cast<unsigned>(binding.keycode), False, CurrentTime);
          binding.down = false;
        }
      continue;
    }
    char32_t ch = unit;
    if (IsHighSurrogate(unit)) {
      dropPendingHigh();
      pendingHigh_ = unit;
      continue;
    }
    if (IsLowSurrogate(unit)) {
      if (!pendingHigh_) {
        logLoneSurrogate();
        ok = false;
        continue;
      }
      ch = 0x10000 + ((static_cast<char32_t>(pendingHigh_) - 0xD800) << 10) + (unit - 0xDC00);
      pendingHigh_ = 0;
    } else {
      dropPendingHigh();
    }

    const KeySym sym = KeysymFor(ch);
    Binding* binding = nullptr;
    for (Binding& b : bindings)
      if (b.sym == sym) binding = &b;
    if (!binding) {
      if (!spareRead) spare = SpareKeycodes(display, connection->minKeycode, connection->maxKeycode);
      spareRead = true;
      if (spare.empty()) {
        if (!connection->loggedNoSpare)
          std::fprintf(stderr, "[input] no spare key code is free: a character was not typed\n");
        connection->loggedNoSpare = true;
        ok = false;
        continue;
      }
      bindings.push_back({sym, spare.front(), unit, false});
      spare.erase(spare.begin());
      binding = &bindings.back();
      BindKeycode(display, binding->keycode, sym);
    }
    binding->unit = unit;
    XTestFakeKeyEvent(display, static_cast<unsigned>(binding->keycode), True, CurrentTime);
    binding->down = true;
  }

  // No key stays down past its batch (the server would repeat it), and every binding goes again.
  for (const Binding& binding : bindings)
    if (binding.down) XTestFakeKeyEvent(display, static_cast<unsigned>(binding.keycode), False, CurrentTime);
  XSync(display, False);
  if (!bindings.empty()) {
    std::this_thread::sleep_for(kSettleTime);
    for (const Binding& binding : bindings) BindKeycode(display, binding.keycode, NoSymbol);
    XSync(display, False);
  }
  // The mapping changes come back to this connection as notifications too: drop them, so the queue
  // does not grow, after Xlib has seen them.
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
  }
  return ok;
}

}  // namespace platform::input
