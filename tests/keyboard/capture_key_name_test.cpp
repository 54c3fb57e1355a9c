// The names a key capture field shows, with and without held modifiers.
#include <gtest/gtest.h>

#include "keyboard/CaptureKeyName.h"

namespace {

TEST(CaptureKeyNameTest, HeldModifiersJoinInKeyOrderAndTheLowestBecomesTheModifierKey) {
  int modifier = 0;
  EXPECT_EQ(GetKeyName('X', {}, &modifier), L"X");
  EXPECT_EQ(modifier, 0) << "nothing held leaves it";
  const HeldModifierMap held{{164, L"Alt"}, {162, L"Ctrl"}};
  EXPECT_EQ(GetKeyName('X', held, &modifier), L"Ctrl + Alt + X");
  EXPECT_EQ(modifier, 162);
  EXPECT_EQ(GetKeyName(160, held, nullptr), L"Ctrl + Alt") << "a modifier as the key shows the held ones";
  EXPECT_EQ(GetKeyName(163, {}, nullptr), L"RCtrl");
  EXPECT_EQ(GetKeyName(165, {}, nullptr), L"RAlt");
  // Print Screen and the other own names win over held modifiers.
  EXPECT_EQ(GetKeyName(0x2C, {{162, L"Ctrl"}}, nullptr), L"Print Screen");
  EXPECT_EQ(GetKeyName(0x5B, {{160, L"Shift"}}, nullptr), L"Windows");
  EXPECT_EQ(GetKeyName(0x5C, {}, nullptr), L"RWindows");
  EXPECT_EQ(GetKeyName(0x90, {}, nullptr), L"Num Lock");
  EXPECT_EQ(GetKeyName(0x13, {}, nullptr), L"Pause");
}

TEST(CaptureKeyNameTest, FunctionKeysAboveF12AndPunctuationHaveFixedNames) {
  EXPECT_EQ(GetKeyName(0x7C, {}, nullptr), L"F13");
  EXPECT_EQ(GetKeyName(0x87, {}, nullptr), L"F24");
  EXPECT_NE(GetKeyName(0x88, {}, nullptr), L"F25");
  EXPECT_EQ(GetKeyName(0xDC, {}, nullptr), L"\\|");
  EXPECT_EQ(GetKeyName(0xDE, {}, nullptr), L"'\"");
  EXPECT_EQ(GetKeyName(0xC0, {}, nullptr), L"`~");
  EXPECT_EQ(GetKeyName(0xBF, {}, nullptr), L"?/");
  EXPECT_EQ(GetKeyName(0xBA, {{160, L"Shift"}}, nullptr), L"Shift + ;:");
}

}  // namespace
