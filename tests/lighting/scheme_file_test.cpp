// The custom light editors' exchange files: the written bytes, the file names an export makes, what
// an import reads from edge files, and the rows an import stores.
#include "lighting/SchemeFile.h"

#include <gtest/gtest.h>

#include "common/xml_detail.h"

namespace {

using scheme_file::Kind;

CustomRgbRow Row(int keycode, int lightMode, int rgb, int type) {
  CustomRgbRow row;
  row.keycode = keycode;
  row.light_mode = lightMode;
  row.rgbvalue = rgb;
  row.light_type = type;
  return row;
}

std::u16string U16(const std::string& text) { return xml_detail::ToUtf16(std::wstring(text.begin(), text.end())); }

TEST(SchemeFileTest, BothFormatsAreWrittenInTheirAttributeOrderWithEscapesAndEmptyKeys) {
  const std::vector<CustomRgbRow> rows = {Row(4, 7, 255, 3), Row(41, 1, -1, 0)};
  EXPECT_EQ(scheme_file::BuildSchemeFile(Kind::kEffects, L"a<b>&\"c'", 15, rows),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<customlight>\r\n"
            u"<lightinfo name=\"a&lt;b&gt;&amp;&quot;c&apos;\" speed=\"15\"/>\r\n<keyinfo>\r\n"
            u"<item keycode=\"4\" lightmode=\"7\" rgbvalue=\"255\" type=\"3\"/>\r\n"
            u"<item keycode=\"41\" lightmode=\"1\" rgbvalue=\"-1\" type=\"0\"/>\r\n"
            u"</keyinfo>\r\n</customlight>\r\n");
  EXPECT_EQ(scheme_file::BuildSchemeFile(Kind::kColors, L"M", 10, {Row(4, 1, 65280, 2)}),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<customlightmode>\r\n"
            u"<lightinfo name=\"M\" brightness=\"10\"/>\r\n<keyinfo>\r\n"
            u"<item keycode=\"4\" rgbvalue=\"65280\" type=\"2\"/>\r\n"
            u"</keyinfo>\r\n</customlightmode>\r\n");
  EXPECT_EQ(scheme_file::BuildSchemeFile(Kind::kColors, L"", 10, {}),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<customlightmode>\r\n"
            u"<lightinfo name=\"\" brightness=\"10\"/>\r\n<keyinfo/>\r\n</customlightmode>\r\n");
}

TEST(SchemeFileTest, ExportNamesCarryTheTickAndAreMadeSafe) {
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"Game", 1234), L"/d/Game-1234.xml");
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"Game", 0xFFFFFFFFu), L"/d/Game--1.xml") << "signed tick";
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"../x", 1), L"/d/_._x-1.xml");
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"a/\\:*?\"<>|\x01z", 1), L"/d/a__________z-1.xml");
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"", 1), L"/d/_-1.xml");
  // 100 CJK characters are 300 bytes of UTF-8: 66 fit in 200 bytes, whole.
  const std::wstring cjk(100, L'\x914D');
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", cjk, 1), L"/d/" + std::wstring(66, L'\x914D') + L"-1.xml");
  EXPECT_EQ(scheme_file::ExportFileName(L"/d/", L"a" + cjk, 1), L"/d/a" + std::wstring(66, L'\x914D') + L"-1.xml");
}

TEST(SchemeFileTest, ImportsReadTheEdgeFilesAsTheFormatSays) {
  scheme_file::Scheme scheme;
  const std::string head = "<?xml version=\"1.0\"?>";
  // A written file reads back with colour type 1 (and light mode 1 for colour schemes).
  const std::vector<CustomRgbRow> rows = {Row(4, 7, 255, 3), Row(5, 0, 9, 1)};
  ASSERT_TRUE(scheme_file::ParseSchemeFile(Kind::kEffects,
                                           scheme_file::BuildSchemeFile(Kind::kEffects, L"N", 42, rows), &scheme));
  EXPECT_EQ(scheme.name, L"N");
  EXPECT_EQ(scheme.value, 42);
  ASSERT_EQ(scheme.rows.size(), 2u);
  EXPECT_EQ(scheme.rows[0].light_mode, 7);
  EXPECT_EQ(scheme.rows[0].rgbvalue, 255);
  EXPECT_EQ(scheme.rows[0].light_type, 3);
  EXPECT_EQ(scheme.rows[0].colortype, 1);
  ASSERT_TRUE(scheme_file::ParseSchemeFile(
      Kind::kColors, U16(head + "<customlightmode><lightinfo name='m' brightness='7x'/><keyinfo>"
                                "<item keycode='4' rgbvalue='99999999999' type='-3'/></keyinfo></customlightmode>"),
      &scheme));
  EXPECT_EQ(scheme.value, 7);
  ASSERT_EQ(scheme.rows.size(), 1u);
  EXPECT_EQ(scheme.rows[0].light_mode, 1);
  EXPECT_EQ(scheme.rows[0].light_type, -3);

  // Wrong root, either way round; a broken document.
  EXPECT_FALSE(scheme_file::ParseSchemeFile(Kind::kEffects, U16(head + "<customlightmode/>"), &scheme));
  EXPECT_FALSE(scheme_file::ParseSchemeFile(Kind::kColors, U16(head + "<customlight/>"), &scheme));
  EXPECT_FALSE(scheme_file::ParseSchemeFile(Kind::kEffects, U16(head + "<customlight><lightinfo"), &scheme));
  // keyinfo before lightinfo gives no keys; without lightinfo the name is empty and the value 0.
  ASSERT_TRUE(scheme_file::ParseSchemeFile(
      Kind::kEffects,
      U16(head + "<customlight><keyinfo><item keycode='4'/></keyinfo><lightinfo name='k' speed='3'/></customlight>"),
      &scheme));
  EXPECT_EQ(scheme.name, L"k");
  EXPECT_TRUE(scheme.rows.empty());
  ASSERT_TRUE(scheme_file::ParseSchemeFile(
      Kind::kEffects, U16(head + "<customlight><keyinfo><item keycode='4' lightmode='1'/></keyinfo></customlight>"),
      &scheme));
  EXPECT_EQ(scheme.name, L"");
  EXPECT_EQ(scheme.value, 0);
  EXPECT_EQ(scheme.rows.size(), 1u);
}

TEST(SchemeFileTest, ImportedRowsEndAsTheRowByRowWritesLeaveTheStore) {
  // Key 4 twice: the later row wins and stands where it was written; key 5's light mode 0 clears
  // its earlier row; key 6 only ever had light mode 0.
  const std::vector<CustomRgbRow> rows = {Row(4, 1, 1, 0), Row(5, 7, 2, 0), Row(6, 0, 3, 0),
                                          Row(7, 8, 4, 0), Row(4, 9, 5, 0), Row(5, 0, 6, 0)};
  const std::vector<CustomRgbRow> kept = scheme_file::ImportedRows(rows, 12);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].keycode, 7);
  EXPECT_EQ(kept[1].keycode, 4);
  EXPECT_EQ(kept[1].light_mode, 9);
  EXPECT_EQ(kept[1].rgbvalue, 5);
  EXPECT_EQ(kept[1].customlight_id, 12);
}

}  // namespace
