// Diagnostics of the keyboard window: one line each on stderr, never shown to the user. Tests
// may catch the lines instead.
#pragma once

#include <functional>
#include <string>

void KeyboardLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Every line goes to `sink` instead of stderr while one is set; an empty function restores stderr.
void SetKeyboardLogSink(std::function<void(const std::string&)> sink);
