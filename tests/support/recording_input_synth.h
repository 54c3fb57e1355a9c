// An input synthesis for tests: records every batch it is given, answers VkKeyScan from a table
// (by default that of a US keyboard, as Windows gives it) and can be told to fail.
#pragma once

#include <map>
#include <span>
#include <vector>

#include "platform/input/input_synth.h"

namespace testing_support {

class RecordingInputSynth : public platform::input::InputSynth {
 public:
  // Every batch, also those it failed; `failSends` makes every Send return false.
  std::vector<std::vector<platform::input::KeyInput>> batches;
  bool failSends = false;
  // The VkKeyScan answers; a character not in it gives -1.
  std::map<char16_t, int> keys = UsKeys();

  bool Send(std::span<const platform::input::KeyInput> inputs) override {
    batches.emplace_back(inputs.begin(), inputs.end());
    return !failSends;
  }
  int VkKeyScan(char16_t ch) override {
    auto it = keys.find(ch);
    return it == keys.end() ? -1 : it->second;
  }

  // The US layout: letters on their keys (capitals with Shift, 0x100), digits, the punctuation
  // keys (0xBA-0xC0, 0xDB-0xDE) with and without Shift, the blank, and the control characters
  // that have keys (a line feed is Ctrl, 0x200, with Enter).
  static std::map<char16_t, int> UsKeys() {
    std::map<char16_t, int> keys;
    for (char16_t c = 'a'; c <= 'z'; ++c) keys[c] = 'A' + (c - 'a');
    for (char16_t c = 'A'; c <= 'Z'; ++c) keys[c] = 0x100 | c;
    for (char16_t c = '0'; c <= '9'; ++c) keys[c] = c;
    const char16_t shiftedDigits[] = u")!@#$%^&*(";
    for (int i = 0; i < 10; ++i) keys[shiftedDigits[i]] = 0x100 | ('0' + i);
    const struct {
      char16_t plain, shifted;
      int vk;
    } punctuation[] = {{';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC}, {'-', '_', 0xBD},
                       {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0}, {'[', '{', 0xDB},
                       {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const auto& p : punctuation) {
      keys[p.plain] = p.vk;
      keys[p.shifted] = 0x100 | p.vk;
    }
    keys[' '] = 0x20;
    keys['\b'] = 0x08;
    keys['\t'] = 0x09;
    keys['\n'] = 0x20D;
    keys['\r'] = 0x0D;
    keys[0x1B] = 0x1B;
    return keys;
  }
};

}  // namespace testing_support
