#include "keyboard/KeyboardLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex g_sinkLock;
std::function<void(const std::string&)> g_sink;

}  // namespace

void KeyboardLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    line.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  std::lock_guard guard(g_sinkLock);
  if (g_sink)
    g_sink(line);
  else
    std::fprintf(stderr, "[keyboard] %s\n", line.c_str());
}

void SetKeyboardLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard guard(g_sinkLock);
  g_sink = std::move(sink);
}
