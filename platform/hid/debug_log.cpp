#include "platform/hid/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace platform::hid {

bool HidDebugValueEnables(const char* value) {
  return value != nullptr && value[0] != '\0' && !(value[0] == '0' && value[1] == '\0');
}

bool HidDebugEnabled() {
  static const bool enabled = HidDebugValueEnables(std::getenv("KELVANE_DEBUG_HID"));
  return enabled;
}

void HidDebugLog(const char* format, ...) {
  if (!HidDebugEnabled()) return;
  va_list args;
  va_start(args, format);
  std::fputs("[hid] ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
}

}  // namespace platform::hid
