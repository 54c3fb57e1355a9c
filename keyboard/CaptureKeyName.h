// The name a key capture field shows for a key: the key's own name, joined after the names of the
// modifier keys held at that moment ("Ctrl + X"). Pure; the held-key map is the caller's.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Held modifier keys: virtual key (160-165) to the name shown for it.
using HeldModifierMap = std::map<int, std::wstring>;

// The key record of a low-level keyboard event as message 1654 carries it (lParam points at it).
struct CaptureKeyRecord {
  std::uint32_t virtualKey = 0;
};

// The display name of `virtualKey` with the modifiers of `held`. When modifiers are held,
// `*modifierKey` (may be null) becomes the lowest held one; otherwise it is left as it is.
// Print Screen, Pause, Num Lock, the Windows and the Application keys always show their own
// name alone.
std::wstring GetKeyName(int virtualKey, const HeldModifierMap& held, int* modifierKey);

// The fixed name of modifier key 160-165 ("Shift", "RShift", "Ctrl", "RCtrl", "Alt", "RAlt");
// empty for any other key.
std::wstring ModifierKeyName(int virtualKey);
