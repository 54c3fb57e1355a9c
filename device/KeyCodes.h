// Key-code tables: translations between USB HID keyboard usages (the key codes of the store, the
// layout file and the packets), built-in key and LED indexes, Windows virtual-key codes, modifier
// bits and short key names. Plain functions over constant tables: no state, safe on any thread,
// and any int is accepted (values outside a table give its "none" result).
#pragma once

#include <cstdint>
#include <string>

// Key index of `usage` on the keyboard without keypad; 0 for usages outside 4-239 or not listed.
uint8_t HidUsageToKeyIndexCompact(int usage);

// Key index of `usage` on the keyboard with keypad (also the LED index when the layout file gives
// none); 0 for usages outside 4-239 or not listed.
uint8_t HidUsageToKeyIndexFull(int usage);

// HID usage of a Windows virtual-key code (as the store and the exchange files hold them),
// including the program's pseudo codes 254 (Fn), 666, 301 and 302; 0 for codes not listed.
int VirtualKeyToHidUsage(int virtualKey);

// Modifier bit of a modifier usage: 1 << (usage - 224) for 224-231 (left Ctrl, Shift, Alt,
// Windows, then the right ones). Any other value is returned unchanged, as callers combine the
// result into a byte.
int ModifierUsageToMask(int usage);

// Sets `out` to the short display name of `usage`, or to "" for usages outside 4-230 or without
// a name.
void HidUsageToKeyName(std::wstring& out, int usage);
