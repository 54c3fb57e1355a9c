// Encodings: detection on read, the codecs, the charset table and iconv behind it.
#include <gtest/gtest.h>
#include <iconv.h>

#include <set>

#include "common/xml_document.h"
#include "common/xml_encoding_table.h"
#include "support/temp_dir.h"

namespace {

struct Read {
  bool ok;
  std::u16string text;
  std::wstring log;
  int flags;
};

Read ReadBytes(const std::string& bytes) {
  Read r{};
  r.ok = XmlDocument::DecodeFileBytes(r.text, r.log, bytes, &r.flags);
  return r;
}

bool Logged(const std::wstring& log, const std::wstring& entry) {
  return log.find(entry) != std::wstring::npos;
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
  std::string out;
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

const char16_t kSample[] = u"<r v=\"\u00e9\u4e2d\U0001F600\">caf\u00e9 \U0001F600</r>";
const char kSampleUtf8[] = "<r v=\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\">caf\xC3\xA9 \xF0\x9F\x98\x80</r>";

}  // namespace

TEST(XmlEncodingRead, MarksAndUtf8GiveTheSameText) {
  const Read plain = ReadBytes(kSampleUtf8);
  const Read marked = ReadBytes(std::string("\xEF\xBB\xBF") + kSampleUtf8);
  const Read little = ReadBytes("\xFF\xFE" + Utf16Bytes(kSample, false));
  const Read big = ReadBytes("\xFE\xFF" + Utf16Bytes(kSample, true));
  for (const Read* r : {&plain, &marked, &little, &big}) {
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->text, kSample);
  }
  EXPECT_EQ(plain.flags, XmlDocument::kFileRead);
  EXPECT_EQ(marked.flags, XmlDocument::kFileRead | XmlDocument::kFileUtf8Mark);
  EXPECT_EQ(little.flags, XmlDocument::kFileRead | XmlDocument::kFileUtf16LeMark);
  EXPECT_EQ(big.flags, XmlDocument::kFileRead | XmlDocument::kFileUtf16BeMark);
  EXPECT_TRUE(Logged(big.log, L"<endian_swap"));
  EXPECT_FALSE(Logged(plain.log, L"converted_to"));
}

TEST(XmlEncodingRead, DeclaredLegacyCodePagesGoThroughIconv) {
  const Read cyrillic = ReadBytes("<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\xCF\xF0\xE8</r>");
  EXPECT_EQ(cyrillic.text, u"<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\u041f\u0440\u0438</r>");
  EXPECT_TRUE(Logged(cyrillic.log, L"<converted_to encoding=\"windows-1251\""));
  const Read japanese = ReadBytes("<?xml version='1.0' encoding='Shift_JIS'?><r>\x93\xfa\x96\x7b</r>");
  EXPECT_EQ(japanese.text, u"<?xml version='1.0' encoding='Shift_JIS'?><r>\u65e5\u672c</r>");
  // An undecodable byte becomes U+FFFD and reading goes on.
  const Read broken = ReadBytes("<?xml version='1.0' encoding='Shift_JIS'?><r>\x81</r>");
  EXPECT_EQ(broken.text.substr(broken.text.size() - 5), u"\uFFFD</r>");
}

TEST(XmlEncodingRead, UndeclaredBytesAreUtf8OnlyWhenTheyDecodeCleanly) {
  const Read utf8 = ReadBytes("caf\xC3\xA9");
  EXPECT_EQ(utf8.text, u"caf\u00e9");
  EXPECT_TRUE(Logged(utf8.log, L"<utf8_detection"));
  const Read ansi = ReadBytes("caf\xE9 \x80");
  EXPECT_EQ(ansi.text, u"caf\u00e9 \u20ac");
  EXPECT_TRUE(Logged(ansi.log, L"<converted_to encoding=\"ANSI\""));
  // UTF-8 only assumed from the first '<' falls back to ANSI too.
  const Read assumed = ReadBytes("<r>caf\xE9</r>");
  EXPECT_EQ(assumed.text, u"<r>caf\u00e9</r>");
  // A declared UTF-8 stays UTF-8: failing, cut and out-of-range sequences become U+FFFD.
  const Read declared =
      ReadBytes("<?xml encoding=\"UTF-8\"?>\xFF|\xC3|\xF4\x90\x80\x80|\xC0\x80|\xED\xA0\x80|\xB8|\xE4\xB8");
  EXPECT_EQ(declared.text,
            u"<?xml encoding=\"UTF-8\"?>\uFFFD|\uFFFD|\uFFFD|\uFFFD|\uFFFD|\uFFFD|\uFFFD\uFFFD");
}

TEST(XmlEncodingRead, EveryWesternByteDecodesAndEncodesBack) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  std::u16string text;
  ASSERT_TRUE(XmlDocument::ConvertText(text, bytes, 1252));
  EXPECT_EQ(text[0x80], u'\u20ac');
  EXPECT_EQ(text[0x81], u'\u0081');
  std::string back;
  bool lost = true;
  ASSERT_TRUE(XmlDocument::ConvertText(back, text, 1252, &lost));
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(lost);
}

TEST(XmlEncodingRead, ShortOddAndCutFiles) {
  EXPECT_EQ(ReadBytes("").text, u"");
  EXPECT_EQ(ReadBytes("<").text, u"<");
  EXPECT_EQ(ReadBytes("\xEF\xBB").text, u"\u00ef\u00bb");  // too short for a mark: ANSI
  const Read mark = ReadBytes("\xEF\xBB\xBF");
  EXPECT_EQ(mark.text, u"");
  EXPECT_EQ(mark.flags, XmlDocument::kFileRead | XmlDocument::kFileUtf8Mark);
  EXPECT_EQ(ReadBytes("\xFF\xFE").text, u"");
  // An odd last byte is no character: the file is refused instead of read without its end.
  for (const std::string& odd :
       {std::string("\xFF\xFE<\0a\0b", 7), std::string("\xFE\xFF\0<\0", 5), std::string("\xFF\xFE<", 3)}) {
    const auto result = ReadBytes(odd);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.text.empty());
    EXPECT_NE(result.log.find(L"<file_error type=\"odd byte count for UTF-16\""), std::wstring::npos)
        << result.log;
  }
  // The first KiB is only sniffed: a character across byte 1024 still decodes.
  std::string big = "<r>" + std::string(1020, 'x') + "\xC3\xA9</r>";
  EXPECT_EQ(ReadBytes(big).text, u"<r>" + std::u16string(1020, u'x') + u"\u00e9</r>");
  // Zero bytes go, and are counted.
  const Read nulls = ReadBytes(std::string("<r>a\0b\0</r>", 11));
  EXPECT_EQ(nulls.text, u"<r>ab</r>");
  EXPECT_TRUE(Logged(nulls.log, L"<nulls_removed count=\"2\"/>"));
  const Read wideNulls = ReadBytes(std::string("\xFF\xFE<\0\0\0r\0", 8));
  EXPECT_EQ(wideNulls.text, u"<r");
  EXPECT_TRUE(Logged(wideNulls.log, L"<nulls_removed count=\"1\"/>"));
}

TEST(XmlEncodingRead, UnsupportedAndUnknownDeclarationsFallBack) {
  for (const char* name : {"x-mac-japanese", "klingon"}) {
    const Read r = ReadBytes(std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?><r>caf\xE9</r>");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(Logged(
        r.log, L"<unsupported_encoding encoding=\"" + std::wstring(name, name + strlen(name)) + L"\"/>"))
        << r.log;
    EXPECT_EQ(r.text.substr(r.text.size() - 8), u"caf\u00e9</r>");
  }
}

TEST(XmlEncodingRead, DeclaredEncodingFromXmlOrHtml) {
  EXPECT_EQ(XmlDocument::GetDeclaredEncoding(u"<?xml version='1.0' encoding = 'ISO-8859-2'?><r/>"),
            L"ISO-8859-2");
  EXPECT_EQ(XmlDocument::GetDeclaredEncoding(u" <?xml version='1.0' encoding='ISO-8859-2'?><r/>"), L"");
  EXPECT_EQ(XmlDocument::GetDeclaredEncoding(u"<r/>"), L"");
  EXPECT_EQ(
      XmlDocument::GetDeclaredEncoding(u"<!DOCTYPE html><HTML><Head><title>t</title><META CHARSET=\"koi8-r\">"
                                       u"</head><body></body></html>"),
      L"koi8-r");
  EXPECT_EQ(
      XmlDocument::GetDeclaredEncoding(
          u"<html><head><meta name=x><meta HTTP-EQUIV=\"content-type\" content=\"text/html; CharSet=big5\">"),
      L"big5");
}

TEST(XmlEncodingWrite, MissingCharactersBecomeAQuestionMark) {
  const std::u16string text = u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\u20ac \u00e9</r>";
  testing_support::TempDir dir;
  std::wstring log;
  ASSERT_TRUE(XmlDocument::WriteTextFile(text, log, dir.wpath() + L"latin.xml"));
  EXPECT_TRUE(Logged(log, L"<converted_from encoding=\"ISO-8859-1\""));
  EXPECT_TRUE(Logged(log, L"<conversion_loss encoding=\"ISO-8859-1\"/>"));
  std::u16string back;
  ASSERT_TRUE(XmlDocument::ReadTextFile(back, log, dir.wpath() + L"latin.xml"));
  EXPECT_EQ(back, u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>? \u00e9</r>");

  // A lone surrogate has no encoding at all.
  log.clear();
  std::u16string lone = u"<r>x</r>";
  lone[3] = 0xD800;
  ASSERT_TRUE(XmlDocument::WriteTextFile(lone, log, dir.wpath() + L"lone.xml"));
  EXPECT_TRUE(Logged(log, L"<conversion_loss encoding=\"UTF-8\"/>"));
  ASSERT_TRUE(XmlDocument::ReadTextFile(back, log, dir.wpath() + L"lone.xml"));
  EXPECT_EQ(back, u"<r>\uFFFD</r>");
}

TEST(XmlEncodingWrite, MarksAreWrittenOnlyWhenAsked) {
  testing_support::TempDir dir;
  std::wstring log;
  for (int mark :
       {0, XmlDocument::kFileUtf8Mark, XmlDocument::kFileUtf16LeMark, XmlDocument::kFileUtf16BeMark}) {
    const std::wstring path = dir.wpath() + L"m" + std::to_wstring(mark) + L".xml";
    ASSERT_TRUE(XmlDocument::WriteTextFile(kSample, log, path, mark));
    std::u16string back;
    int flags = 0;
    ASSERT_TRUE(XmlDocument::ReadTextFile(back, log, path, &flags));
    EXPECT_EQ(back, kSample);
    EXPECT_EQ(flags, XmlDocument::kFileRead | mark);
  }
}

TEST(XmlCharsetTable, HoldsEveryNameOnceOverItsCodePages) {
  using namespace xml_detail;
  std::set<int> codePages;
  for (size_t i = 0; i < kCharsetNameCount; ++i) {
    const CharsetName& entry = kCharsetNames[i];
    codePages.insert(entry.codePage);
    const std::wstring name(entry.name.begin(), entry.name.end());
    if (name.starts_with(L"utf-32")) continue;  // "UTF-32..." is UTF-32 by its prefix
    std::wstring upper = name;
    for (wchar_t& c : upper) c = (c >= L'a' && c <= L'z') ? c - 32 : c;
    EXPECT_EQ(XmlDocument::GetEncodingCodePage(name), entry.codePage) << name;
    EXPECT_EQ(XmlDocument::GetEncodingCodePage(upper), entry.codePage) << upper;
  }
  EXPECT_EQ(kCharsetNameCount, 365u);
  EXPECT_EQ(codePages.size(), 110u);
}

TEST(XmlCharsetTable, NamesTheTableKeepsVerbatim) {
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L""), 0);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"utf-32"), 12000);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"UTF-32"), 65005);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"UTF-32BE"), 65005);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"cp1256 "), 1256);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"Shifft_JIS"), 932);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"cp500"), 775);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"ANSI"), -1);
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"\u00c9UC-KR"), -1);  // only A-Z fold
  EXPECT_EQ(XmlDocument::GetEncodingCodePage(L"utf-8" + std::wstring(95, L' ')), -1);
}

TEST(XmlCharsetTable, EveryCodePageIsOursIconvsOrKnownToBeMissing) {
  using namespace xml_detail;
  const std::set<int> missing = {720,   853,   10001, 10002, 10003, 10004, 10005, 10006, 10008, 10010, 10021,
                                 10081, 10082, 20000, 20001, 20002, 20003, 20004, 20005, 20105, 29001, 52936,
                                 57002, 57003, 57004, 57005, 57006, 57007, 57008, 57009, 57010, 57011};
  for (size_t i = 0; i < kIconvCodePageCount; ++i) {
    const IconvCodePage& entry = kIconvCodePages[i];
    for (auto [to, from] : {std::pair{"UTF-16LE", entry.iconvName}, std::pair{entry.iconvName, "UTF-16LE"}}) {
      iconv_t cd = iconv_open(to, from);
      EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << entry.codePage;
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  }
  for (size_t i = 0; i < kCharsetNameCount; ++i) {
    const int codePage = kCharsetNames[i].codePage;
    EXPECT_NE(XmlDocument::IsCodePageSupported(codePage), missing.count(codePage) == 1) << codePage;
    if (!XmlDocument::IsCodePageSupported(codePage)) continue;
    // Both ways, ASCII letters surviving.
    std::string bytes;
    std::u16string back;
    bool lost = true;
    ASSERT_TRUE(XmlDocument::ConvertText(bytes, u"Abc", codePage, &lost)) << codePage;
    EXPECT_FALSE(lost) << codePage;
    ASSERT_TRUE(XmlDocument::ConvertText(back, bytes, codePage)) << codePage;
    EXPECT_EQ(back, u"Abc") << codePage;
  }
  std::string bytes;
  EXPECT_FALSE(XmlDocument::ConvertText(bytes, u"x", 10001));
}
