// The macro exchange file: its written form, reading it back in either child order, and the
// names of exported files.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "keyboard/MacroExchange.h"

namespace {

using namespace macro_exchange;

MacroRecordRow Row(int type, int value, const std::wstring& desc) {
  MacroRecordRow row;
  row.type = type;
  row.value = value;
  row.desc = desc;
  return row;
}

TEST(MacroExchangeTest, TheWrittenFormReadsBackWithEscapedNames) {
  MacroDataRow macro;
  macro.name = L"Fish & <Chips> \"2\"";
  macro.play_times = 3;
  macro.delay_type = 3;
  macro.delay_time = 25;
  const std::vector<MacroRecordRow> events = {Row(2, 65, L"A"), Row(1, 25, L"25"), Row(3, 65, L"A&<")};
  const std::u16string text = BuildMacroFile(macro, events);
  ASSERT_EQ(text.rfind(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<macro>\r\n<macroinfo ", 0), 0u);
  EXPECT_NE(text.find(u"name=\"Fish &amp; &lt;Chips&gt; &quot;2&quot;\""), std::u16string::npos);
  EXPECT_NE(text.find(u"\r\n<item desc=\"A\" type=\"2\" value=\"65\"/>\r\n"), std::u16string::npos);

  ParsedMacro parsed;
  ASSERT_TRUE(ParseMacroFile(text, &parsed));
  EXPECT_EQ(parsed.macro.name, macro.name);
  EXPECT_EQ(parsed.macro.play_times, 3);
  EXPECT_EQ(parsed.macro.delay_type, 3);
  EXPECT_EQ(parsed.macro.delay_time, 25);
  ASSERT_TRUE(parsed.hasItems);
  ASSERT_EQ(parsed.events.size(), 3u);
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(parsed.events[i].type, events[i].type);
    EXPECT_EQ(parsed.events[i].value, events[i].value);
    EXPECT_EQ(parsed.events[i].desc, events[i].desc);
    EXPECT_EQ(parsed.events[i].record_index, static_cast<int>(i));
  }
}

TEST(MacroExchangeTest, ChildrenInEitherOrderAndMissingPartsOrNumbers) {
  ParsedMacro parsed;
  ASSERT_TRUE(ParseMacroFile(u"<macro><macroitems><item desc=\"B\" type=\"2\" value=\"66\"/></macroitems>"
                             u"<macroinfo name=\"late\" times=\"1\" type=\"2\" delaytime=\"0\"/></macro>",
                             &parsed));
  EXPECT_EQ(parsed.macro.name, L"late");
  EXPECT_EQ(parsed.macro.delay_type, 2);
  ASSERT_EQ(parsed.events.size(), 1u);
  EXPECT_EQ(parsed.events[0].desc, L"B");

  ASSERT_TRUE(ParseMacroFile(u"<macro><macroinfo name=\"bare\"/></macro>", &parsed));
  EXPECT_FALSE(parsed.hasItems);
  EXPECT_TRUE(parsed.events.empty());
  EXPECT_EQ(parsed.macro.play_times, 0) << "missing numbers read as 0";
  EXPECT_EQ(parsed.macro.delay_time, 0);
}

TEST(MacroExchangeTest, TheBrokenCorpusIsRefused) {
  const std::filesystem::path folder = std::filesystem::path(KELVANE_SOURCE_DIR) / "tests/data/broken/macro";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    ++files;
    std::u16string text;
    std::wstring log;
    XmlDocument::ReadTextFile(text, log, entry.path().wstring());
    ParsedMacro parsed;
    EXPECT_FALSE(ParseMacroFile(text, &parsed)) << entry.path();
  }
  EXPECT_GE(files, 5);
}

TEST(MacroExchangeTest, ExportNamesStayInTheirFolder) {
  struct Case {
    const wchar_t* name;
    const wchar_t* file;
  };
  for (const Case& c : {Case{L"New Macro 2", L"/d/New Macro 2-77.xml"}, Case{L"a/b", L"/d/a_b-77.xml"},
                        Case{L"..", L"/d/_-77.xml"}, Case{L".", L"/d/_-77.xml"}, Case{L"", L"/d/_-77.xml"},
                        Case{L"tab\there", L"/d/tab_here-77.xml"}, Case{L"..x", L"/d/..x-77.xml"}})
    EXPECT_EQ(ExportFileName(L"/d/", c.name, 77), c.file);
}

}  // namespace
