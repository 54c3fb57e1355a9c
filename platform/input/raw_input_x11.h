// The X11 back end of raw input: XInput 2 raw key and button events of the whole desktop, read on
// a connection and a thread of the subscription's own.
#pragma once

#include <string>

#include "platform/input/raw_input.h"

namespace platform::input {

class X11RawInput final : public RawInputService {
 public:
  // `display` names the X server; empty takes $DISPLAY.
  explicit X11RawInput(std::string display = {}) : display_(std::move(display)) {}
  // Null, with the reason on stderr, when the server cannot be reached or has no XInput 2.2.
  std::unique_ptr<Subscription> Subscribe(RawInputCallback callback) override;

 private:
  std::string display_;
};

// What one raw event of X gives: a record, or false for events without one (wheel, keys without a
// virtual key). `key` is true for key events; `detail` the X key code or button number.
bool RecordForRawEvent(bool key, bool press, int detail, RawInputRecord* out);

}  // namespace platform::input
