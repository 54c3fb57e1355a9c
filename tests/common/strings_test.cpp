#include "common/strings.h"

#include <gtest/gtest.h>

#include <climits>

TEST(WideUtf8, RoundTripsEveryPlane) {
  const std::wstring text = L"a\u00e9\u4e2d\U0001F600z";
  const std::string bytes = WideToUtf8(text);
  EXPECT_EQ(bytes, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z");
  EXPECT_EQ(Utf8ToWide(bytes), text);
}

TEST(WideUtf8, EncodingStopsAtNulAndReplacesWhatIsNoCharacter) {
  EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(WideUtf8, StrictDecodingRejectsTheWholeTextOnAnyFault) {
  EXPECT_EQ(Utf8ToWide(static_cast<const char*>(nullptr)), L"");
  EXPECT_EQ(Utf8ToWide(""), L"");
  const char* invalid[] = {
      "ok\x80",             // stray continuation byte
      "ok\xC3",             // missing continuation byte
      "\xE4\xB8",           // truncated three-byte form
      "\xC0\xAF",           // overlong '/'
      "\xE0\x80\xAF",       // overlong three-byte form
      "\xED\xA0\x80",       // encoded surrogate
      "\xF4\x90\x80\x80",   // above U+10FFFF
      "\xFF",               // no lead byte at all
  };
  for (const char* bytes : invalid) EXPECT_EQ(Utf8ToWide(bytes), L"") << bytes;
}

TEST(WideUtf8, LenientDecodingReplacesOnlyTheBadBytes) {
  EXPECT_EQ(Utf8ToWideLenient("a\x80" "b\xC3\xA9"), L"a\uFFFDb\u00e9");
}

TEST(FormatW, FormatsWideAndNarrowArgumentsOfAnyLength) {
  EXPECT_EQ(FormatW(L"%ls/%d.lan", L"language", 2052), L"language/2052.lan");
  EXPECT_EQ(FormatW(L"%04d%02d", 2026, 7), L"202607");
  const std::wstring longText(5000, L'x');
  EXPECT_EQ(FormatW(L"[%ls]", longText.c_str()).size(), 5002u);
  EXPECT_EQ(FormatW(nullptr), L"");
}

TEST(WToI, ReadsLikeTheCRuntime) {
  EXPECT_EQ(WToI(L"2052"), 2052);
  EXPECT_EQ(WToI(L"  -17abc"), -17);
  EXPECT_EQ(WToI(L"+8"), 8);
  EXPECT_EQ(WToI(L"abc"), 0);
  EXPECT_EQ(WToI(L""), 0);
  EXPECT_EQ(WToI(static_cast<const wchar_t*>(nullptr)), 0);
  EXPECT_EQ(WToI(L"99999999999999999999"), INT_MAX);
  EXPECT_EQ(WToI(L"-99999999999999999999"), INT_MIN);
  EXPECT_EQ(WToI(L"-2147483648"), INT_MIN);
}
