// Charset names, code pages and the conversions between UTF-16 and a code page. UTF-8, UTF-16,
// UTF-32 and Windows-1252 are our own codecs; every other code page goes through glibc's iconv
// with a descriptor per call, so that threads never share one.
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "common/xml_encoding_table.h"

using namespace xml_detail;

namespace xml_detail {

// Only names of the same character set: where glibc lacks one, the code page stays unmapped.
const IconvCodePage kIconvCodePages[] = {
    {154, "PT154"},          {437, "CP437"},         {708, "ISO-8859-6"},
    {737, "CP737"},          {775, "CP775"},         {850, "CP850"},
    {852, "CP852"},          {855, "CP855"},         {857, "CP857"},
    {858, "CP858"},          {860, "CP860"},         {861, "CP861"},
    {862, "CP862"},          {863, "CP863"},         {864, "CP864"},
    {865, "CP865"},          {866, "CP866"},         {869, "CP869"},
    {874, "CP874"},          {932, "CP932"},         {936, "CP936"},
    {949, "CP949"},          {950, "CP950"},         {1125, "CP1125"},
    {1133, "CP1133"},        {1201, "UTF-16BE"},     {1250, "CP1250"},
    {1251, "CP1251"},        {1253, "CP1253"},       {1254, "CP1254"},
    {1255, "CP1255"},        {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},        {1361, "JOHAB"},        {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"}, {10017, "MAC-UK"},      {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},       {12000, "UTF-32LE"},    {12001, "UTF-32BE"},
    {20106, "ISO646-DE"},    {20107, "ISO646-SE"},   {20108, "ISO646-NO"},
    {20127, "ASCII"},        {20261, "T.61-8BIT"},   {20269, "ISO_6937"},
    {20866, "KOI8-R"},       {20932, "EUC-JP"},      {20936, "GB2312"},
    {20949, "EUC-KR"},       {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},   {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},   {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},   {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},  {38598, "ISO-8859-8"},  {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},  {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},  {51932, "EUC-JP"},      {51936, "EUC-CN"},
    {51949, "EUC-KR"},       {54936, "GB18030"},     {65000, "UTF-7"},
};
const size_t kIconvCodePageCount = std::size(kIconvCodePages);

const char* IconvNameOfCodePage(int codePage) {
  for (const IconvCodePage& entry : kIconvCodePages) {
    if (entry.codePage == codePage) return entry.iconvName;
  }
  return nullptr;
}

int CodePageOfName(std::wstring_view name) {
  if (name == L"UTF-8") return 65001;  // nearly every file: no look-up in the table
  return name == L"ANSI" ? 1252 : XmlDocument::GetEncodingCodePage(name);
}

}  // namespace xml_detail

namespace {

constexpr int kUtf8 = 65001, kUtf16 = 1200, kUtf32 = 65005, kWestern = 1252;

// Windows-1252 at 0x80-0x9F. The five bytes that 1252 leaves undefined map to the C1 control of
// the same value, as the Windows converter does, so every byte decodes and encodes back.
constexpr char16_t kWestern80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t WesternToUnicode(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kWestern80[byte - 0x80] : byte;
}

// The 1252 byte of `c`, or -1 when 1252 has none.
int UnicodeToWestern(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i) {
    if (kWestern80[i] == c) return 0x80 + i;
  }
  return -1;
}

// Calls `emit` with each code point of `text`; a lone surrogate becomes U+FFFD and sets `lost`.
template <typename Emit>
void ForEachCodePoint(std::u16string_view text, bool& lost, Emit emit) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c < 0xD800 || c > 0xDFFF) {
      emit(c);
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      emit(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      lost = true;
      emit(kReplacement);
    }
  }
}

// Writes `c` as UTF-8 at `at` (room for four bytes) and returns the position after it.
char* PutUtf8(char* at, char32_t c) {
  if (c < 0x80) {
    *at++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *at++ = static_cast<char>(0xC0 | (c >> 6));
    *at++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *at++ = static_cast<char>(0xE0 | (c >> 12));
    *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *at++ = static_cast<char>(0xF0 | (c >> 18));
    *at++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return at;
}

}  // namespace

namespace xml_detail {

char* EncodeUtf8(char* at, std::u16string_view text, bool& lost) {
  const char16_t* units = text.data();
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    // Runs of ASCII eight units at a time.
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    while (n - i >= 8) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(block, nonAscii), _mm_setzero_si128());
      if (_mm_movemask_epi8(ascii) != 0xFFFF) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(block, block));
      at += 8;
      i += 8;
    }
    if (i >= n) break;
#endif
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(c)) {
      lost = true;
      c = kReplacement;
    }
    at = PutUtf8(at, c);
    ++i;
  }
  return at;
}

bool HasLoneSurrogate(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsSurrogate(text[i])) continue;
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
      ++i;
    else
      return true;
  }
  return false;
}

}  // namespace xml_detail

namespace {

void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t ReadLittleEndian(std::string_view bytes, size_t pos, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
  return value;
}

// Runs iconv over all of `in`, calling `onInvalid` at each input it cannot convert; `onInvalid`
// returns how many input bytes to skip. Output is appended to `out`.
template <typename OnInvalid>
void RunIconv(iconv_t cd, std::string_view in, std::string& out, OnInvalid onInvalid) {
  char buffer[4096];
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  for (;;) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = inLeft ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft)
                                 : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // closing shift
    const int error = errno;
    out.append(buffer, outPtr);
    if (result != static_cast<size_t>(-1)) {
      if (inLeft == 0 && outPtr == buffer) return;
      continue;
    }
    if (error == E2BIG) continue;
    if (error != EILSEQ && error != EINVAL) return;
    const size_t skip = std::min(inLeft, onInvalid(std::string_view(inPtr, inLeft), out));
    inPtr += skip;
    inLeft -= skip;
  }
}

bool IconvDecode(std::u16string& out, std::string_view bytes, const char* name) {
  iconv_t cd = iconv_open("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string units;
  units.reserve(bytes.size() * 2);
  RunIconv(cd, bytes, units, [](std::string_view, std::string& sink) {
    AppendLittleEndian(sink, kReplacement, 2);
    return size_t{1};
  });
  iconv_close(cd);
  out.reserve(units.size() / 2);
  for (size_t i = 0; i + 1 < units.size(); i += 2)
    out += static_cast<char16_t>(ReadLittleEndian(units, i, 2));
  return true;
}

bool IconvEncode(std::string& out, const std::u32string& text, const char* name, bool& lost) {
  iconv_t cd = iconv_open(name, "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string units;
  units.reserve(text.size() * 4);
  for (char32_t c : text) AppendLittleEndian(units, c, 4);
  RunIconv(cd, units, out, [&](std::string_view, std::string& sink) {
    lost = true;
    // The replacement goes through the same descriptor, so a shifting encoding stays in step.
    char question[4] = {'?', 0, 0, 0};
    char* inPtr = question;
    size_t inLeft = sizeof question;
    char buffer[16];
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    sink.append(buffer, outPtr);
    return size_t{4};
  });
  iconv_close(cd);
  return true;
}

}  // namespace

int XmlDocument::GetEncodingCodePage(std::wstring_view name) {
  if (name.empty()) return 0;
  if (Utf16Length(name) >= 100) return -1;
  if (name.starts_with(L"UTF-32")) return kUtf32;
  std::u16string key = ToUtf16(name);
  for (char16_t& c : key) c = FoldAscii(c);
  const CharsetName* end = kCharsetNames + kCharsetNameCount;
  const CharsetName* it =
      std::lower_bound(kCharsetNames, end, std::u16string_view(key),
                       [](const CharsetName& entry, std::u16string_view n) { return entry.name < n; });
  return (it != end && it->name == key) ? it->codePage : -1;
}

bool XmlDocument::IsCodePageSupported(int codePage) {
  return codePage == kUtf8 || codePage == kUtf16 || codePage == kUtf32 || codePage == kWestern ||
         IconvNameOfCodePage(codePage) != nullptr;
}

bool XmlDocument::ConvertText(std::u16string& out, std::string_view bytes, int codePage) {
  out.clear();
  switch (codePage) {
    case kUtf8:
      DecodeUtf8(out, bytes);
      return true;
    case kUtf16:
      out.reserve(bytes.size() / 2 + 1);
      for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(ReadLittleEndian(bytes, i, 2));
      if (bytes.size() % 2) out += kReplacement;
      return true;
    case kUtf32:
      out.reserve(bytes.size() / 4 + 1);
      for (size_t i = 0; i + 3 < bytes.size(); i += 4) AppendUtf16(out, ReadLittleEndian(bytes, i, 4));
      if (bytes.size() % 4) out += kReplacement;
      return true;
    case kWestern:
      out.reserve(bytes.size());
      for (char byte : bytes) out += WesternToUnicode(static_cast<unsigned char>(byte));
      return true;
    default:
      if (const char* name = IconvNameOfCodePage(codePage)) return IconvDecode(out, bytes, name);
      return false;
  }
}

bool XmlDocument::ConvertText(std::string& out, std::u16string_view text, int codePage, bool* lost) {
  out.clear();
  bool lossy = false;
  bool known = true;
  switch (codePage) {
    case kUtf8: {
      // No unit gives more than three bytes (a pair gives four for its two), so the output is sized
      // once and trimmed.
      const size_t start = out.size();
      out.resize(start + 3 * text.size());
      char* at = out.data() + start;
      at = EncodeUtf8(at, text, lossy);
      out.resize(static_cast<size_t>(at - out.data()));
      break;
    }
    case kUtf16:
      out.reserve(text.size() * 2);
      ForEachCodePoint(text, lossy, [&](char32_t c) {
        std::u16string units;
        AppendUtf16(units, c);
        for (char16_t unit : units) AppendLittleEndian(out, unit, 2);
      });
      break;
    case kUtf32:
      out.reserve(text.size() * 4);
      ForEachCodePoint(text, lossy, [&](char32_t c) { AppendLittleEndian(out, c, 4); });
      break;
    case kWestern:
      out.reserve(text.size());
      ForEachCodePoint(text, lossy, [&](char32_t c) {
        const int byte = c > 0xFFFF ? -1 : UnicodeToWestern(static_cast<char16_t>(c));
        if (byte < 0) lossy = true;
        out += byte < 0 ? '?' : static_cast<char>(byte);
      });
      break;
    default: {
      const char* name = IconvNameOfCodePage(codePage);
      std::u32string points;
      if (name) ForEachCodePoint(text, lossy, [&](char32_t c) { points += c; });
      known = name && IconvEncode(out, points, name, lossy);
      if (!known) out.clear();
    }
  }
  if (lost) *lost = known && lossy;
  return known;
}
