#include "platform/input/input_synth.h"

#include "platform/input/input_synth_x11.h"

namespace platform::input {

namespace {
InputSynth* g_synthOverride = nullptr;
}

InputSynth& CurrentInputSynth() {
  static X11InputSynth system;
  return g_synthOverride ? *g_synthOverride : system;
}

void SetInputSynth(InputSynth* synth) { g_synthOverride = synth; }

}  // namespace platform::input
