// Diagnostics of the HID layer: written to stderr only when KELVANE_DEBUG_HID is set. Never shown
// to the user.
#pragma once

namespace platform::hid {

bool HidDebugEnabled();
// printf-style; a newline is added.
void HidDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform::hid
