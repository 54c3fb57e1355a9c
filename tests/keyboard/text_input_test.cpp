// Typing texts through the recording input synthesis with a US keyboard's VkKeyScan table.
#include <gtest/gtest.h>

#include <vector>

#include "keyboard/TextInput.h"
#include "tests/support/recording_input_synth.h"

namespace {

using platform::input::KeyInput;
using testing_support::RecordingInputSynth;
using Batch = std::vector<KeyInput>;

constexpr uint32_t kUp = platform::input::KEYEVENTF_KEYUP;
constexpr uint32_t kUnicode = platform::input::KEYEVENTF_UNICODE;

Batch Unicode(char16_t unit) { return {{0, unit, kUnicode}, {0, unit, kUnicode | kUp}}; }
Batch Key(uint16_t vk) { return {{vk, 0, 0}, {vk, 0, kUp}}; }
const Batch kShiftDown = {{0x10, 0, 0}};
const Batch kShiftUp = {{0x10, 0, kUp}};

TEST(TextInputTest, CharactersAndKeysGoAsTheirOwnBatches) {
  RecordingInputSynth synth;
  // Letters (also capitals, which need Shift), digits and shifted digits are typed as characters;
  // the blank, the punctuation keys and the line break press their keys, Shift around the key for
  // ':' and '?'; the Ctrl bit of the line feed is not pressed.
  ASSERT_TRUE(SendTextInput(synth, L"aZ9! ;:?\n\r\t"));
  const std::vector<Batch> expected = {Unicode('a'), Unicode('Z'), Unicode('9'), Unicode('!'), Key(0x20),
                                       Key(0xBA),    kShiftDown,   Key(0xBA),    kShiftUp,     kShiftDown,
                                       Key(0xBF),    kShiftUp,     Key(0x0D),    Key(0x0D),    Key(0x09)};
  EXPECT_EQ(synth.batches, expected);
}

TEST(TextInputTest, CharactersBeyondTheLayoutAreTypedAsThemselves) {
  RecordingInputSynth synth;
  // Above U+00FF always a Unicode press; a Latin-1 character the US layout lacks (-1) likewise,
  // not Shift with virtual key 0xFF; a character above U+FFFF as its two surrogate units.
  ASSERT_TRUE(SendTextInput(synth, L"\u4E2D\u00E9\u20AC\U0001F600"));
  const std::vector<Batch> expected = {Unicode(0x4E2D), Unicode(0xE9), Unicode(0x20AC), Unicode(0xD83D),
                                       Unicode(0xDE00)};
  EXPECT_EQ(synth.batches, expected);

  // A layout's key decides only for codes up to 0xFF.
  synth.batches.clear();
  synth.keys[0xE9] = 0x1BA;
  synth.keys[0x20AC] = 0xBA;
  ASSERT_TRUE(SendCharInput(synth, 0xE9));
  ASSERT_TRUE(SendCharInput(synth, 0x20AC));
  const std::vector<Batch> scripted = {kShiftDown, Key(0xBA), kShiftUp, Unicode(0x20AC)};
  EXPECT_EQ(synth.batches, scripted);
}

TEST(TextInputTest, FailuresAreReported) {
  RecordingInputSynth synth;
  EXPECT_TRUE(SendTextInput(synth, L""));
  EXPECT_TRUE(synth.batches.empty());

  synth.failSends = true;
  EXPECT_FALSE(SendTextInput(synth, L"ab"));
  EXPECT_EQ(synth.batches.size(), 1u) << "typing stops at the first failure";
  synth.batches.clear();
  EXPECT_FALSE(SendCharInput(synth, ':'));
  EXPECT_EQ(synth.batches, std::vector<Batch>{kShiftDown}) << "no key after a failed Shift";
  synth.batches.clear();
  EXPECT_FALSE(SendTextInput(synth, L"\U0001F600"));
  EXPECT_EQ(synth.batches.size(), 1u);

  // A code point that is no character is skipped and reported; the rest is typed.
  synth.failSends = false;
  synth.batches.clear();
  std::wstring text = L"a";
  text += static_cast<wchar_t>(0x110000);
  text += L"b";
  EXPECT_FALSE(SendTextInput(synth, text));
  EXPECT_EQ(synth.batches, (std::vector<Batch>{Unicode('a'), Unicode('b')}));
}

}  // namespace
