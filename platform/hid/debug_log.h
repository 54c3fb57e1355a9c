// Diagnostics of the HID layer: written to stderr only when KELVANE_DEBUG_HID is set to a value
// other than "0" (unset or empty is off as well). Never shown to the user.
#pragma once

namespace platform::hid {

bool HidDebugEnabled();
// Whether a value of KELVANE_DEBUG_HID (null when unset) turns the log on.
bool HidDebugValueEnables(const char* value);
// printf-style; a newline is added.
void HidDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform::hid
