// The X11 back end of input synthesis: presses keys with the XTest extension and reads the
// server's current key map (XKB) to find the key of a character. Characters no key gives are
// typed by binding their keysym to a spare key code for the press and release, and removing the
// binding again once they were delivered. Builds without X11 or XTest get a stand-in whose Send
// returns false and whose VkKeyScan returns -1.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/input/input_synth.h"

namespace platform::input {

class X11InputSynth final : public InputSynth {
 public:
  // `display` names the X server; empty takes $DISPLAY. The connection is opened on first use;
  // when that fails (or the server lacks XTest) the reason is logged once and every Send is false.
  explicit X11InputSynth(std::string display = {});
  ~X11InputSynth() override;
  X11InputSynth(const X11InputSynth&) = delete;
  X11InputSynth& operator=(const X11InputSynth&) = delete;

  bool Send(std::span<const KeyInput> inputs) override;
  int VkKeyScan(char16_t ch) override;

  struct Connection;

 private:
  // The open connection, or null when there is none (opened on the first call).
  Connection* Connect();

  std::mutex mutex_;  // one caller at a time on the connection
  std::string displayName_;
  bool tried_ = false;
  std::unique_ptr<Connection> connection_;
  char16_t pendingHigh_ = 0;  // a high surrogate whose low half has not come yet
};

}  // namespace platform::input
