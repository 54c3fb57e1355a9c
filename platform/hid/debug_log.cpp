#include "platform/hid/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace platform::hid {

bool HidDebugEnabled() {
  static const bool enabled = std::getenv("KELVANE_DEBUG_HID") != nullptr;
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
