// Builds without the X11 libraries have no raw input of the desktop.
#include "platform/input/raw_input.h"

namespace platform::input {

RawInputService* SystemRawInput() { return nullptr; }

}  // namespace platform::input
