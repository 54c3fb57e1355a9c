// Building documents, escaping and unescaping: what is set reads back unchanged, and what is
// written parses back into the same tree.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "common/xml_document.h"
#include "common/xml_entities.h"
#include "fuzz/xml_harness.h"
#include "support/temp_dir.h"

namespace {

const wchar_t kDeclaration[] = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::wstring Attr(const XmlDocument& doc, const wchar_t* name) {
  std::wstring value;
  doc.GetAttribute(value, name);
  return value;
}

}  // namespace

TEST(XmlEscape, ValuesRoundTripThroughAttributesAndFiles) {
  const std::wstring value = L"<a href=\"x\">it's & &amp; \U0001F600</a>";
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"root"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"v", value));
  EXPECT_EQ(Attr(doc, L"v"), value);
  // Set again over the quoted value: still exact.
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"v", value + L"!"));
  EXPECT_EQ(Attr(doc, L"v"), value + L"!");

  testing_support::TempDir dir;
  const std::wstring path = dir.wpath() + L"values.xml";
  ASSERT_TRUE(XmlDocument::WriteTextFile(doc.GetText(), doc.Result(), path, doc.GetFlags()));
  XmlDocument back;
  int flags = 0;
  ASSERT_TRUE(XmlDocument::ReadTextFile(back.Text(), back.Result(), path, &flags));
  ASSERT_TRUE(back.ParseDocument());
  ASSERT_TRUE(back.FindElement(L"root"));
  EXPECT_EQ(Attr(back, L"v"), value + L"!");
}

TEST(XmlEscape, NumericReferencesAndTheOnesThatNameNoCharacter) {
  EXPECT_EQ(XmlDocument::UnescapeText(u"&#65;&#x42;&#X43;&#x1F600;&#128512;"), u"ABC\U0001F600\U0001F600");
  // Kept as written: they would put a NUL or an unwritable unit into the text.
  for (const char16_t* kept : {u"&#0;", u"&#x0;", u"&#;", u"&#x;", u"&#xD800;", u"&#56320;", u"&#x110000;",
                               u"&#12a;", u"&#-1;", u"&#99999999;"}) {
    EXPECT_EQ(XmlDocument::UnescapeText(kept), kept);
  }
}

TEST(XmlEscape, NamedReferencesAreCaseSensitiveAndBounded) {
  EXPECT_EQ(XmlDocument::UnescapeText(u"&Oslash;&oslash;&lt;&gt;&amp;&quot;&apos;"), u"\u00d8\u00f8<>&\"'");
  EXPECT_EQ(XmlDocument::UnescapeText(u"&thetasym;&weierp;"), u"\u03d1\u2118");
  for (const char16_t* kept : {u"&AMP;", u"&nosuch;", u"&amp", u"&abcdefghij;", u"&;", u"a & b", u"&&lt;"}) {
    const std::u16string expected = std::u16string(kept) == u"&&lt;" ? u"&<" : kept;
    EXPECT_EQ(XmlDocument::UnescapeText(kept), expected);
  }
}

TEST(XmlEscape, TheNamedTableHoldsTheHtmlNamesAndApos) {
  using xml_detail::kNamedReferenceCount;
  using xml_detail::kNamedReferences;
  EXPECT_EQ(kNamedReferenceCount, 253u);
  for (size_t i = 0; i < kNamedReferenceCount; ++i) {
    const auto& entry = kNamedReferences[i];
    if (i) {
      EXPECT_LT(kNamedReferences[i - 1].name, entry.name);  // sorted, no name twice
    }
    const std::u16string reference = u"&" + std::u16string(entry.name) + u";";
    EXPECT_EQ(XmlDocument::UnescapeText(reference), std::u16string(1, entry.codePoint)) << i;
  }
}

TEST(XmlEscape, ElementTextAndReferenceKeeping) {
  EXPECT_EQ(XmlDocument::EscapeText(0, u"<a b=\"c\" d='e'> & f"), u"&lt;a b=\"c\" d='e'&gt; &amp; f");
  EXPECT_EQ(XmlDocument::EscapeText(XmlDocument::kEscapeAttribute, u"\"'"), u"&quot;&apos;");
  EXPECT_EQ(XmlDocument::EscapeText(XmlDocument::kEscapeKeepReferences, u"&amp; &#38; & &x"),
            u"&amp; &#38; &amp; &amp;x");
}

TEST(XmlEscape, CDataHoldingItsOwnTerminatorRoundTrips) {
  const std::wstring value = L"a]]>b]]]>c <x/> &amp;";
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"root") && doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"code", value, XmlDocument::kAddCData));
  ASSERT_TRUE(doc.ParseDocument());
  ASSERT_TRUE(doc.FindElement(L"root") && doc.EnterElement() && doc.FindElement(L"code"));
  std::wstring data;
  ASSERT_TRUE(doc.GetData(data));
  EXPECT_EQ(data, value);
  // As element text the same value is escaped and comes back too; child elements are skipped.
  XmlDocument text(L"<t>one &lt;two&gt; <child>no</child><![CDATA[<three>]]><!-- no --></t>");
  ASSERT_TRUE(text.FindElement(L"t"));
  ASSERT_TRUE(text.GetData(data));
  EXPECT_EQ(data, L"one <two> <three>");
}

TEST(XmlBuild, TheSaveSequenceWritesTheExchangeForm) {
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"root"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"info"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"name", L"x"));
  ASSERT_TRUE(doc.AddElement(L"items"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"item"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"a", L"1"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"b", L"2"));

  testing_support::TempDir dir;
  ASSERT_TRUE(
      XmlDocument::WriteTextFile(doc.GetText(), doc.Result(), dir.wpath() + L"out.xml", doc.GetFlags()));
  EXPECT_EQ(ReadBytes(dir.path() + "out.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<root>\r\n<info name=\"x\"/>\r\n<items>\r\n"
            "<item a=\"1\" b=\"2\"/>\r\n</items>\r\n</root>");
  EXPECT_EQ(xml_fuzz::CompareWithFreshParse(doc), "");
}

TEST(XmlBuild, AttributeEditsKeepTheTagWellFormed) {
  XmlDocument doc(L"<r><a/><b x=1 flag y='q'/><c k=\"v\" /></r>");
  ASSERT_TRUE(doc.FindElement(L"r") && doc.EnterElement() && doc.FindElement(L"a"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"n", L"1"));
  ASSERT_TRUE(doc.FindElement(L"b"));
  const uint32_t b = doc.GetCurrentElement();
  ASSERT_TRUE(doc.SetAttributeAt(b, L"x", L"two words"));
  ASSERT_TRUE(doc.SetAttributeAt(b, L"flag", L"on"));
  ASSERT_TRUE(doc.SetAttributeAt(b, L"y", L"it's"));
  ASSERT_TRUE(doc.FindElement(L"c"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"m", L"3"));
  EXPECT_EQ(doc.GetText(),
            u"<r><a n=\"1\"/><b x=\"two words\" flag=\"on\" y='it&apos;s'/><c k=\"v\" m=\"3\" /></r>");
  EXPECT_EQ(xml_fuzz::CompareWithFreshParse(doc), "");
  std::wstring value;
  EXPECT_TRUE(doc.GetAttributeAt(value, b, L"y"));
  EXPECT_EQ(value, L"it's");
}

TEST(XmlBuild, EditsInsideNestedElementsGrowEveryEnclosingElement) {
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"root") && doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"items") && doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"item") && doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"deep"));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"long", std::wstring(100, L'x')));
  ASSERT_TRUE(doc.LeaveElement() && doc.LeaveElement());
  // The next child of root must land inside root, after items.
  ASSERT_TRUE(doc.AddElement(L"after"));
  EXPECT_EQ(xml_fuzz::CompareWithFreshParse(doc), "");
  XmlDocument fresh;
  fresh.SetDocumentText(doc.GetText());
  ASSERT_TRUE(fresh.FindElement(L"root") && fresh.EnterElement() && fresh.FindElement(L"items") &&
              fresh.FindElement(L"after"));
  // Grown well past the size where the text is moved to larger room several times, then edited
  // near its start: every element still lies where a fresh parse puts it.
  const uint32_t deep = 4;
  for (int i = 0; i < 6000; ++i) ASSERT_TRUE(doc.AddElement(L"more", std::wstring(100, L'm')));
  ASSERT_TRUE(doc.SetAttributeAt(deep, L"long", L"short"));
  EXPECT_EQ(xml_fuzz::CompareWithFreshParse(doc), "");
  std::wstring value;
  EXPECT_TRUE(doc.GetAttributeAt(value, deep, L"long") && value == L"short");
  EXPECT_EQ(doc.GetText().substr(doc.GetText().size() - 9), u"\r\n</root>");
}

TEST(XmlBuild, RandomEditSequencesMatchAFreshParse) {
  // The harness aborts on any difference between the live table and a fresh parse, and on any
  // attribute that does not read back as set.
  std::mt19937 random(20261208);
  for (int run = 0; run < 2000; ++run) {
    std::vector<uint8_t> input(random() % 300);
    for (uint8_t& byte : input) byte = static_cast<uint8_t>(random());
    xml_fuzz::FuzzBuild(input.data(), input.size());
  }
}

TEST(XmlBuild, NamesThatCannotBeReadBackAreRefused) {
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"root"));
  const std::u16string before = doc.GetText();
  for (const wchar_t* name :
       {L"", L"a b", L"a\tb", L"a<", L"a>", L"a=b", L"a/b", L"a?", L"a!", L"a\\", L"a\"", L"a'", L"a;"}) {
    EXPECT_FALSE(doc.AddElement(name)) << name;
    EXPECT_FALSE(doc.SetAttributeAt(doc.GetCurrentElement(), name, L"v")) << name;
  }
  EXPECT_FALSE(doc.SetAttributeAt(0, L"a", L"v"));
  EXPECT_FALSE(doc.SetAttributeAt(99, L"a", L"v"));
  EXPECT_FALSE(doc.AddElement(L"x", L"", XmlDocument::kAddBefore));
  EXPECT_FALSE(doc.AddElement(L"x", L"", XmlDocument::kAddChild));
  EXPECT_FALSE(doc.AddElement(L"x", L"value", XmlDocument::kAddNoValue));
  EXPECT_EQ(doc.GetText(), before);
}

TEST(XmlBuild, LongNamesAndTagsKeepTheirFullLengths) {
  const std::wstring name(5000, L'n');
  XmlDocument doc(kDeclaration);
  ASSERT_TRUE(doc.AddElement(name));
  ASSERT_TRUE(doc.SetAttributeAt(doc.GetCurrentElement(), L"v", std::wstring(5000000, L'v')));
  ASSERT_TRUE(doc.EnterElement() && doc.AddElement(L"child"));
  EXPECT_EQ(xml_fuzz::CompareWithFreshParse(doc), "");
  EXPECT_EQ(doc.Elements()[1].endTagLength, name.size() + 3);
}
