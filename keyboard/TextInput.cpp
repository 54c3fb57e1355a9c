#include "keyboard/TextInput.h"

#include "keyboard/KeyboardLog.h"

using platform::input::KEYEVENTF_KEYUP;
using platform::input::KEYEVENTF_UNICODE;
using platform::input::KeyInput;
using platform::input::VK_SHIFT;

namespace {

constexpr int kShiftBit = 0x100;

bool SendUnicodeUnit(platform::input::InputSynth& synth, char16_t unit) {
  const KeyInput inputs[] = {{0, unit, KEYEVENTF_UNICODE}, {0, unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}};
  return synth.Send(inputs);
}

bool SendUnit(platform::input::InputSynth& synth, char16_t unit) {
  return unit > 0xFF ? SendUnicodeUnit(synth, unit) : SendCharInput(synth, unit);
}

}  // namespace

bool SendCharInput(platform::input::InputSynth& synth, char16_t ch) {
  const int keys = synth.VkKeyScan(ch);
  const uint16_t vk = static_cast<uint16_t>(keys & 0xFF);
  // A character no key of the layout gives is typed as itself rather than as a made-up key.
  if (keys < 0 || (vk >= 0x21 && vk <= 0x7E) || ch > 0xFF) return SendUnicodeUnit(synth, ch);

  const bool shift = (keys & kShiftBit) != 0;
  if (shift) {
    const KeyInput down[] = {{VK_SHIFT, 0, 0}};
    if (!synth.Send(down)) return false;
  }
  const KeyInput press[] = {{vk, 0, 0}, {vk, 0, KEYEVENTF_KEYUP}};
  bool ok = synth.Send(press);
  if (shift) {
    // Shift is let go also when the key failed, so it does not stay held.
    const KeyInput up[] = {{VK_SHIFT, 0, KEYEVENTF_KEYUP}};
    ok = synth.Send(up) && ok;
  }
  return ok;
}

bool SendTextInput(platform::input::InputSynth& synth, const std::wstring& text) {
  bool ok = true;
  for (const wchar_t wide : text) {
    const auto ch = static_cast<char32_t>(wide);
    if (ch > 0x10FFFF) {
      KeyboardLog("SendTextInput: skipped U+%X, which is no character", static_cast<unsigned>(ch));
      ok = false;
      continue;
    }
    if (ch > 0xFFFF) {
      const char32_t offset = ch - 0x10000;
      if (!SendUnit(synth, static_cast<char16_t>(0xD800 + (offset >> 10))) ||
          !SendUnit(synth, static_cast<char16_t>(0xDC00 + (offset & 0x3FF))))
        return false;
      continue;
    }
    if (!SendUnit(synth, static_cast<char16_t>(ch))) return false;
  }
  return ok;
}
