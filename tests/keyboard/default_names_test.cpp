// The default-name rules of the lists, per language.
#include <gtest/gtest.h>

#include "keyboard/DefaultNames.h"

namespace {

constexpr int kEnglish = 0x409;
constexpr int kChinese = 0x804;
constexpr int kTaiwan = 0x404;
constexpr int kJapanese = 0x411;

struct Case {
  const wchar_t* text;
  int language;
  const wchar_t* expected;
};

using Rule = std::wstring (*)(const std::wstring&, int, const std::wstring&);

void Check(Rule rule, const wchar_t* replacement, std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "language " << c.language << " row "
                                    << std::string(c.text, c.text + wcslen(c.text)).size() << " chars");
    EXPECT_EQ(rule(c.text, c.language, replacement), c.expected);
  }
}

TEST(DefaultNamesTest, ProfileNamesAreReplacedOnlyWhole) {
  Check(DefaultNameRuleA, L"New Configuration",
        {{L"默认配置", kEnglish, L"New Configuration"},
         {L"新配置方案", kEnglish, L"New Configuration"},
         {L"默认配置 1", kEnglish, L"默认配置 1"},
         {L"默认配", kEnglish, L"默认配"},
         {L"New Configuration", kEnglish, L"New Configuration"},
         {L"", kEnglish, L""}});
  Check(DefaultNameRuleA, L"默认配置",
        {{L"New Configuration", kChinese, L"默认配置"},
         {L"New Configuration Scheme", kTaiwan, L"默认配置"},
         {L"New Configuration 2", kChinese, L"New Configuration 2"},
         {L"默认配置", kChinese, L"默认配置"},
         {L"New Configuration", kJapanese, L"New Configuration"},
         {L"默认配置", kJapanese, L"默认配置"}});
}

TEST(DefaultNamesTest, CustomLightNamesKeepTheChineseDefaultInEnglish) {
  Check(DefaultNameRuleB, L"New Configuration",
        {{L"默认配置", kEnglish, L"默认配置"}, {L"新配置方案", kEnglish, L"New Configuration"}});
  Check(DefaultNameRuleB, L"默认配置",
        {{L"New Configuration", kChinese, L"默认配置"}, {L"New Configuration Scheme", kTaiwan, L"默认配置"}});
}

TEST(DefaultNamesTest, MacroNamesKeepTheirNumber) {
  Check(DefaultNameRuleC, L"New Macro",
        {{L"新建宏 3", kEnglish, L"New Macro 3"},
         {L"新建宏12", kEnglish, L"New Macro 2"},  // the character after the name is its separator
         {L"新建宏", kEnglish, L"New Macro "},     // nothing behind the name: no negative count
         {L"新建", kEnglish, L"新建"},
         {L"New Macro 3", kEnglish, L"New Macro 3"},
         {L"新建宏 3", kJapanese, L"新建宏 3"}});
  Check(DefaultNameRuleC, L"新建宏",
        {{L"New Macro 3", kChinese, L"新建宏 3"},
         {L"New Macro", kTaiwan, L"新建宏 "},
         {L"New Macro 10", kTaiwan, L"新建宏 10"},
         {L"New Mac", kChinese, L"New Mac"},
         {L"My New Macro", kChinese, L"My New Macro"}});
}

TEST(DefaultNamesTest, MusicModeNamesArePrefixesAndTheShorterEnglishOneWins) {
  Check(DefaultNameRuleD, L"New Configuration",
        {{L"默认配置 1", kEnglish, L"New Configuration 1"},
         {L"新配置方案 2", kEnglish, L"New Configuration 2"},
         {L"默认配置", kEnglish, L"New Configuration "},
         {L"新配置方案", kEnglish, L"New Configuration "},
         {L"默认", kEnglish, L"默认"}});
  Check(DefaultNameRuleD, L"默认配置",
        {{L"New Configuration 1", kChinese, L"默认配置 1"},
         {L"New Configuration Scheme 2", kTaiwan, L"默认配置 Scheme 2"},
         {L"New Configuration", kChinese, L"默认配置 "},
         {L"New Config", kChinese, L"New Config"},
         {L"New Configuration 1", kJapanese, L"New Configuration 1"}});
}

}  // namespace
