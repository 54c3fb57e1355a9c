// Synthesised keyboard input: key presses and typed characters sent to whichever window has the
// focus, in the shape of the Windows input records the keyboard window builds. No Qt.
#pragma once

#include <cstdint>
#include <span>

namespace platform::input {

// Flags of a KeyInput.
inline constexpr uint32_t KEYEVENTF_KEYUP = 0x2;    // a release; without it a press
inline constexpr uint32_t KEYEVENTF_UNICODE = 0x4;  // `scan` holds a UTF-16 unit to type; `vk` is 0

// The virtual keys the typing code presses itself.
inline constexpr uint16_t VK_SHIFT = 0x10;

// One key press or release: a virtual key, or with KEYEVENTF_UNICODE a UTF-16 unit in `scan`.
struct KeyInput {
  uint16_t vk = 0;
  uint16_t scan = 0;
  uint32_t flags = 0;
  bool operator==(const KeyInput&) const = default;
};

class InputSynth {
 public:
  virtual ~InputSynth() = default;
  // Delivers `inputs` in order, as one batch (nothing of another batch comes between them). True
  // when every input was delivered; false when there is nothing to deliver to (no display, no
  // XTest) or an input could not be typed (an unknown virtual key, a lone surrogate). A high
  // surrogate followed, in this or the next batch, by a low one types the one character they
  // make.
  virtual bool Send(std::span<const KeyInput> inputs) = 0;
  // The key that types `ch` in the current keyboard layout: low byte the virtual key, 0x100 set
  // when Shift is needed (0x200 Ctrl, as for a line feed). -1 when no key gives it.
  virtual int VkKeyScan(char16_t ch) = 0;
};

// The synthesis the program uses: the X11 one (on $DISPLAY) unless a test has set another with
// SetInputSynth (not owned; nullptr restores the X11 one). UI thread only.
InputSynth& CurrentInputSynth();
void SetInputSynth(InputSynth* synth);

}  // namespace platform::input
