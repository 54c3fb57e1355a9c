// Builds without X11 or XTest cannot type: every Send fails and no key gives a character.
#include <cstdio>

#include "platform/input/input_synth_x11.h"

namespace platform::input {

struct X11InputSynth::Connection {};

X11InputSynth::X11InputSynth(std::string display) : displayName_(std::move(display)) {}

X11InputSynth::~X11InputSynth() = default;

X11InputSynth::Connection* X11InputSynth::Connect() {
  if (!tried_) std::fprintf(stderr, "[input] built without X11 and XTest: keys and texts are not typed\n");
  tried_ = true;
  return nullptr;
}

bool X11InputSynth::Send(std::span<const KeyInput>) {
  std::lock_guard lock(mutex_);
  return Connect() != nullptr;
}

int X11InputSynth::VkKeyScan(char16_t) { return -1; }

}  // namespace platform::input
