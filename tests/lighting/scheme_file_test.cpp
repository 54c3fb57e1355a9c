// The custom light editors' exchange files: the written bytes, the file names an export makes, what
// an import reads from edge files, and the rows an import stores.
#include "lighting/SchemeFile.h"

#include <gtest/gtest.h>

#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "tests/support/temp_dir.h"

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

// A file as an import reads it from disk; false when it cannot be read.
bool ReadScheme(Kind kind, const std::string& path, scheme_file::Scheme* out) {
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, std::wstring(path.begin(), path.end()))) return false;
  return scheme_file::ParseSchemeFile(kind, text, out);
}

TEST(SchemeFileTest, AUtf16FileWithItsMarkReadsAsItsUtf8Form) {
  testing_support::TempDir dir;
  // "Näht ✓" in both encodings: the name carries characters outside ASCII and the BMP's upper half.
  const std::string utf8 = "<?xml version=\"1.0\"?>\r\n<customlightmode><lightinfo name=\"N\xC3\xA4ht \xE2\x9C\x93\" "
                           "brightness=\"6\"/><keyinfo><item keycode=\"4\" rgbvalue=\"16711680\" type=\"2\"/>"
                           "<item keycode=\"26\" rgbvalue=\"255\" type=\"0\"/></keyinfo></customlightmode>";
  const std::u16string units = xml_detail::ToUtf16(L"<?xml version=\"1.0\"?>\r\n<customlightmode><lightinfo "
                                                   L"name=\"N\u00E4ht \u2713\" brightness=\"6\"/><keyinfo><item "
                                                   L"keycode=\"4\" rgbvalue=\"16711680\" type=\"2\"/><item "
                                                   L"keycode=\"26\" rgbvalue=\"255\" type=\"0\"/></keyinfo>"
                                                   L"</customlightmode>");
  std::string utf16 = "\xFF\xFE";
  for (char16_t unit : units) {
    utf16.push_back(static_cast<char>(unit & 0xFF));
    utf16.push_back(static_cast<char>(unit >> 8));
  }
  scheme_file::Scheme a, b;
  ASSERT_TRUE(ReadScheme(Kind::kColors, dir.Write("a.xml", utf8), &a));
  ASSERT_TRUE(ReadScheme(Kind::kColors, dir.Write("b.xml", utf16), &b));
  EXPECT_EQ(a.name, L"N\u00E4ht \u2713");
  EXPECT_EQ(b.name, a.name);
  EXPECT_EQ(b.value, 6);
  EXPECT_EQ(a.value, 6);
  ASSERT_EQ(a.rows.size(), 2u);
  ASSERT_EQ(b.rows.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(b.rows[i].keycode, a.rows[i].keycode);
    EXPECT_EQ(b.rows[i].rgbvalue, a.rows[i].rgbvalue);
    EXPECT_EQ(b.rows[i].light_type, a.rows[i].light_type);
    EXPECT_EQ(b.rows[i].light_mode, a.rows[i].light_mode);
  }
  EXPECT_EQ(a.rows[1].keycode, 26);
  EXPECT_EQ(a.rows[0].rgbvalue, 16711680);
}

// The parser's growth with such input is measured by the XML benchmark (Hostile*).
TEST(SchemeFileTest, HostileFilesGiveAResult) {
  testing_support::TempDir dir;
  scheme_file::Scheme scheme;

  // 200000 nested elements after the scheme's own: either refused or read without keys.
  std::string deep = "<?xml version=\"1.0\"?><customlight><lightinfo name=\"d\" speed=\"3\"/>";
  constexpr int kDepth = 200000;
  for (int i = 0; i < kDepth; ++i) deep += "<a>";
  for (int i = 0; i < kDepth; ++i) deep += "</a>";
  deep += "</customlight>";
  if (ReadScheme(Kind::kEffects, dir.Write("deep.xml", deep), &scheme)) {
    EXPECT_EQ(scheme.name, L"d");
    EXPECT_TRUE(scheme.rows.empty());
  }
  // Unclosed nesting is not a document.
  std::string open = "<?xml version=\"1.0\"?><customlight>";
  for (int i = 0; i < kDepth; ++i) open += "<keyinfo>";
  EXPECT_FALSE(ReadScheme(Kind::kEffects, dir.Write("open.xml", open), &scheme));

  // About 10 MB of items: every one is read.
  std::string big = "<?xml version=\"1.0\"?><customlight><lightinfo name=\"big\" speed=\"1\"/><keyinfo>";
  const std::string item = "<item keycode=\"4\" lightmode=\"7\" rgbvalue=\"255\" type=\"1\"/>";
  const size_t items = (10u << 20) / item.size();
  big.reserve(big.size() + items * item.size() + 32);
  for (size_t i = 0; i < items; ++i) big += item;
  big += "</keyinfo></customlight>";
  ASSERT_TRUE(ReadScheme(Kind::kEffects, dir.Write("big.xml", big), &scheme));
  EXPECT_EQ(scheme.name, L"big");
  ASSERT_EQ(scheme.rows.size(), items);
  EXPECT_EQ(scheme.rows.back().light_mode, 7);
  // All of them name one key: the store ends with one row.
  EXPECT_EQ(scheme_file::ImportedRows(std::move(scheme.rows), 3).size(), 1u);
}

}  // namespace
