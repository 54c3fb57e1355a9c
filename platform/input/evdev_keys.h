// The fixed table between the Linux input codes of the keys (evdev; an X key code is the evdev
// code + 8) and Windows virtual keys, by the key's position on a US keyboard. Read both ways:
// raw input turns codes into virtual keys, typing turns virtual keys into codes.
#pragma once

namespace platform::input {

// The virtual key of evdev code `code`; 0 for a key without one. Shift, Ctrl and Alt of either
// side give 16, 17 and 18, as Windows raw input reports them; the keypad always gives its own keys.
int EvdevToVirtualKey(int code);
// The evdev code of the first key that gives `virtualKey` (the left one of a pair); 0 for none.
int VirtualKeyToEvdev(int virtualKey);

}  // namespace platform::input
