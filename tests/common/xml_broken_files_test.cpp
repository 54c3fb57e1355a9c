// The corpus of broken XML files: each reads without a crash, reports a clear result with the
// problem named in the log, and keeps what it holds before the damage.
#include <gtest/gtest.h>

#include "common/xml_document.h"

TEST(XmlBrokenFiles, EachReportsItsFaultAndKeepsTheElementsFound) {
  struct Case {
    const wchar_t* file;
    bool wellFormed;
    const wchar_t* entry;
  };
  const Case cases[] = {
      {L"truncated.xml", false, L"<unterminated_tag_syntax tagname=\"key\" offset=\"65\"/>"},
      {L"two-roots.xml", false, L"<root_has_sibling"},
      {L"unended.xml", false, L"<unended_start_tag tagname=\"key\""},
      {L"stray-end-tag.xml", false, L"<lone_end_tag tagname=\"keys\""},
      {L"bad-markup.xml", false, L"<exclamation_tag_syntax"},
      {L"binary.xml", false, L"<nulls_removed count=\"1\"/>"},
      {L"utf16-cut.xml", false, L"<unterminated_tag_syntax"},
      {L"unsupported-encoding.xml", true, L"<unsupported_encoding encoding=\"x-mac-japanese\"/>"},
  };
  const std::wstring folder = L"" KELVANE_TEST_DATA_DIR "broken/xml/";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    XmlDocument doc;
    ASSERT_TRUE(XmlDocument::ReadTextFile(doc.Text(), doc.Result(), folder + c.file));
    EXPECT_EQ(doc.ParseDocument(), c.wellFormed);
    EXPECT_NE(doc.GetResult().find(c.entry), std::wstring::npos) << doc.GetResult();
    // The first key is always there to be read.
    std::wstring code;
    ASSERT_TRUE(doc.FindElement(L"root") && doc.EnterElement());
    if (!doc.FindElement(L"key")) {
      ASSERT_TRUE(doc.FindElement(L"keys") && doc.EnterElement() && doc.FindElement(L"key"));
    }
    EXPECT_TRUE(doc.GetAttribute(code, L"code"));
    EXPECT_EQ(code, L"4");
  }

  // A UTF-16 file cut in the middle of a unit: an encoding error, not a silent truncation.
  XmlDocument odd;
  EXPECT_FALSE(XmlDocument::ReadTextFile(odd.Text(), odd.Result(), folder + L"utf16-odd.xml"));
  EXPECT_NE(odd.GetResult().find(L"<file_error type=\"odd byte count for UTF-16\""), std::wstring::npos)
      << odd.GetResult();
  EXPECT_TRUE(odd.GetText().empty());

  XmlDocument empty;
  ASSERT_TRUE(XmlDocument::ReadTextFile(empty.Text(), empty.Result(), folder + L"no-root.xml"));
  EXPECT_FALSE(empty.ParseDocument());
  EXPECT_NE(empty.GetResult().find(L"<no_root_element/>"), std::wstring::npos);
  EXPECT_FALSE(empty.FindElement(L""));
}
