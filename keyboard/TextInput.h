// Typing a text into whichever window has the focus, as the software "type a text" key does:
// letters, digits and the characters beyond Latin-1 are typed as characters (Unicode presses), the
// blank, the control characters and the punctuation keys by pressing their keys.
#pragma once

#include <string>

#include "platform/input/input_synth.h"

// Types `text` (UTF-32) one UTF-16 unit at a time: a character above U+FFFF goes as its two
// surrogate units. A unit above 0xFF is one Unicode press and release; every other unit goes
// through SendCharInput. Stops at the first Send that fails and returns false; also false, with
// the rest still typed, for a code point that is no character (above U+10FFFF), which is skipped.
bool SendTextInput(platform::input::InputSynth& synth, const std::wstring& text);

// Types one character of code 0-0xFF (a unit above is typed as a Unicode press). Its key from
// VkKeyScan decides: a virtual key in 0x21-0x7E, or no key at all, types the character as a
// Unicode press and release in one batch; any other key is pressed and released (one batch),
// inside a Shift press and release of their own when the key needs Shift. The Ctrl and Alt bits
// are not pressed. False when a Send failed.
bool SendCharInput(platform::input::InputSynth& synth, char16_t ch);
