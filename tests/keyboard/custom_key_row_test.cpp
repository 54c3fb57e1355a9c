// What the custom key dialog's OK stores for each function type, and when it stores nothing.
#include <gtest/gtest.h>

#include "keyboard/CustomKeyRow.h"

namespace {

CustomKeyState Key(int mainKey, const std::wstring& text) {
  CustomKeyState s;
  s.profile = 4;
  s.key = 0x29;
  s.fnLayer = 1;
  s.type = 2;
  s.mainKey = mainKey;
  s.keyText = text;
  s.captureMode = 1;
  return s;
}

TEST(CustomKeyRowTest, ACapturedKeyStoresItsUsageTheBoxMaskAndTheModifierText) {
  CustomKeyState s = Key('A', L"A");
  CustomKeyResult r = BuildCustomKeyRow(s);
  ASSERT_FALSE(r.stayOpen);
  EXPECT_EQ(r.row.profile, 4);
  EXPECT_EQ(r.row.keyvalue, 0x29);
  EXPECT_EQ(r.row.fnlayer, 1);
  EXPECT_EQ(r.row.macrotype, 2);
  EXPECT_EQ(r.row.macrovalue, 4);
  EXPECT_EQ(r.row.macro2value, 0);
  EXPECT_EQ(r.row.macrodesc, L"A");
  EXPECT_FALSE(r.action);

  s.ctrl = s.shift = true;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macro2value, 3);
  EXPECT_EQ(r.row.macrodesc, L"Shift+ Ctrl + A");
  s.win = s.alt = true;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macro2value, 15);
  EXPECT_EQ(r.row.macrodesc, L"Shift+ Ctrl+ Win+ Alt + A");
  s = Key(0, L"");
  s.alt = true;
  r = BuildCustomKeyRow(s);
  EXPECT_FALSE(r.stayOpen) << "a modifier alone";
  EXPECT_EQ(r.row.macro2value, 4);
  EXPECT_EQ(r.row.macrodesc, L"Alt");
}

TEST(CustomKeyRowTest, AWindowsKeyFromTheBlockerIsStoredAloneOrAsTheWinBit) {
  CustomKeyState s = Key(0, L"Windows");
  s.modifierKey = 0x5B;
  CustomKeyResult r = BuildCustomKeyRow(s);
  ASSERT_FALSE(r.stayOpen);
  EXPECT_EQ(r.row.macrovalue, 227);
  EXPECT_EQ(r.row.macro2value, 0);
  EXPECT_EQ(r.row.macrodesc, L"Windows");
  s.modifierKey = 0x5C;
  s.keyText = L"RWindows";
  s.shift = true;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macrovalue, 231);
  EXPECT_EQ(r.row.macro2value, 2) << "the boxes stay as ticked";
  EXPECT_EQ(r.row.macrodesc, L"Shift + RWindows");

  s = Key('E', L"Windows + E");
  s.modifierKey = 0x5B;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macrovalue, 8);
  EXPECT_EQ(r.row.macro2value, 8);
  s.ctrl = true;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macro2value, 9);
  EXPECT_EQ(r.row.macrodesc, L"Ctrl + Windows + E");
}

TEST(CustomKeyRowTest, MacroRepeatCountsFollowThePlayOption) {
  CustomKeyState s;
  s.type = 3;
  s.hasListItem = true;
  s.listData = 7;
  s.listText = L"New Macro 2";
  s.playOption = 1;
  const std::pair<const wchar_t*, int> counts[] = {
      {L"", 1}, {L"0", 1}, {L"-5", 1}, {L"300", 255}, {L"99999999999", 255}, {L"abc", 1}, {L"12x", 12}, {L" 42", 42}};
  for (const auto& [text, count] : counts) {
    s.repeatText = text;
    const CustomKeyResult r = BuildCustomKeyRow(s);
    ASSERT_FALSE(r.stayOpen);
    EXPECT_EQ(r.row.macro3value, count) << "\"" << text << "\"";
    EXPECT_EQ(r.row.macrovalue, 7);
    EXPECT_EQ(r.row.macro2value, 1);
    EXPECT_EQ(r.row.macrodesc, L"New Macro 2");
  }
  s.repeatText = L"9";
  for (int option : {0, 2}) {
    s.playOption = option;
    const CustomKeyResult r = BuildCustomKeyRow(s);
    EXPECT_EQ(r.row.macro2value, option);
    EXPECT_EQ(r.row.macro3value, 0);
  }
}

TEST(CustomKeyRowTest, ListTypesActionTypesAndSequences) {
  CustomKeyState s;
  s.type = 6;
  s.hasListItem = true;
  s.listData = 5;
  s.listText = L"Volume Up";
  CustomKeyResult r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macrovalue, 5);
  EXPECT_EQ(r.row.macrodesc, L"Volume Up");
  EXPECT_FALSE(r.action);

  s = {};
  s.type = 8;
  s.keyText = L"gimp";
  s.programPath = L"/usr/bin/gimp";
  r = BuildCustomKeyRow(s);
  ASSERT_TRUE(r.action);
  EXPECT_EQ(r.action->desc, L"gimp");
  EXPECT_EQ(r.action->param, L"/usr/bin/gimp");
  EXPECT_EQ(r.action->type, 8);
  EXPECT_EQ(r.row.macrodesc, L"gimp");
  s.type = 9;
  s.keyText = L"https://example.org";
  r = BuildCustomKeyRow(s);
  ASSERT_TRUE(r.action);
  EXPECT_EQ(r.action->param, L"") << "only a program carries a path";
  EXPECT_EQ(r.action->type, 9);
  s = {};
  s.type = 11;
  s.hasListItem = true;
  s.listData = 12;
  s.listText = L"Games";
  r = BuildCustomKeyRow(s);
  ASSERT_TRUE(r.action);
  EXPECT_EQ(r.action->param, L"12");
  EXPECT_EQ(r.action->desc, L"Games");
  EXPECT_EQ(r.row.macrotype, 11);

  s = {};
  s.type = 13;
  s.mainKey = 'A';
  s.sequenceKey2 = 'B';
  s.sequenceTexts[0] = L"A";
  s.sequenceTexts[1] = L"B";
  s.sequenceTexts[2] = L"";
  s.captureMode = 7;
  r = BuildCustomKeyRow(s);
  EXPECT_EQ(r.row.macrovalue, 4);
  EXPECT_EQ(r.row.macro2value, 5);
  EXPECT_EQ(r.row.macro3value, 0);
  EXPECT_EQ(r.row.macrodesc, L"A + B");
  s.sequenceKey3 = 'C';
  s.sequenceTexts[2] = L"C";
  EXPECT_EQ(BuildCustomKeyRow(s).row.macrodesc, L"A + B + C");
  s.sequenceKey2 = s.sequenceKey3 = 0;
  s.captureMode = 6;
  EXPECT_EQ(BuildCustomKeyRow(s).row.macrodesc, L"A");
  s.captureMode = 0;
  EXPECT_EQ(BuildCustomKeyRow(s).row.macrodesc, L"") << "the text only comes from a sequence capture";
}

TEST(CustomKeyRowTest, NothingToStoreKeepsTheDialogOpen) {
  CustomKeyState s = Key(0, L"");
  EXPECT_TRUE(BuildCustomKeyRow(s).stayOpen);
  s.keyText = L"Ctrl";  // a name without a stored key
  EXPECT_TRUE(BuildCustomKeyRow(s).stayOpen);
  s = {};
  s.type = 13;
  s.sequenceKey3 = 'C';
  EXPECT_TRUE(BuildCustomKeyRow(s).stayOpen) << "a sequence without its first two keys";
  for (int type : {3, 5, 6, 7, 11}) {
    s = {};
    s.type = type;
    EXPECT_TRUE(BuildCustomKeyRow(s).stayOpen) << type;
  }
  for (int type : {8, 9, 10}) {
    s = {};
    s.type = type;
    s.programPath = L"/usr/bin/gimp";
    const CustomKeyResult r = BuildCustomKeyRow(s);
    EXPECT_TRUE(r.stayOpen) << type;
    EXPECT_FALSE(r.action) << type;
  }
  s = {};
  s.type = 8;
  s.keyText = L"gimp";
  EXPECT_TRUE(BuildCustomKeyRow(s).stayOpen) << "a program name without its path";
}

}  // namespace
