// The names of keys by Windows virtual-key code. They are stored in macro texts and exchange
// files, so they are fixed and English whatever the keyboard layout or the UI language.
#pragma once

#include <string>

namespace platform::input {

// "A", "F5", "Page Up", "Num 7", ... ; empty for a code that has no name here.
std::wstring KeyName(int virtualKey);

}  // namespace platform::input
