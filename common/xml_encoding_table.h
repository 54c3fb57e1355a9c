// The charset names that XmlDocument::GetEncodingCodePage knows, with their Windows code pages.
#pragma once

#include <cstddef>
#include <string_view>

namespace xml_detail {

struct CharsetName {
  std::u16string_view name;  // lower case, as the lookup folds A-Z
  int codePage;
};

constexpr size_t kCharsetNameCount = 365;
// Sorted by name in code-unit order (xml_charsets.cpp, generated).
extern const CharsetName kCharsetNames[kCharsetNameCount];

// The iconv name of a code page that glibc converts, or null when the code page has no
// converter there or is one of our own codecs (65001, 1200, 65005, 1252).
const char* IconvNameOfCodePage(int codePage);

// Every code page that the charset table maps to iconv, for tests that open each one.
struct IconvCodePage {
  int codePage;
  const char* iconvName;
};
extern const IconvCodePage kIconvCodePages[];
extern const size_t kIconvCodePageCount;

}  // namespace xml_detail
