// Helpers shared by the XmlDocument source files: the boundary between wide strings and the
// UTF-16 document text, character classes of the parser, and the lenient UTF-8 decoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml_detail {

constexpr char16_t kReplacement = 0xFFFD;

inline bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
inline bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Appends `c` as one unit or a surrogate pair; a value that is no character becomes U+FFFD.
void AppendUtf16(std::u16string& out, char32_t c);
// Wide string -> UTF-16 and back. Pairs are joined on the way back; a lone surrogate becomes
// U+FFFD both ways.
std::u16string ToUtf16(std::wstring_view text);
std::wstring FromUtf16(std::u16string_view text);
// ToUtf16 into `out`, reusing its room; ASCII without the general conversion.
void AssignUtf16(std::u16string& out, std::wstring_view text);
// FromUtf16 appended to `out`, using the room `out` has.
void AppendFromUtf16(std::wstring& out, std::u16string_view text);
// The number of UTF-16 units `text` takes.
size_t Utf16Length(std::wstring_view text);

inline bool IsBlank(char16_t c) {
  constexpr uint64_t kBlanks =
      uint64_t{1} << u' ' | uint64_t{1} << u'\t' | uint64_t{1} << u'\n' | uint64_t{1} << u'\r';
  return c <= u' ' && ((kBlanks >> c) & 1);
}
// Characters that may start a tag's name.
inline bool StartsName(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= 0x80;
}
// Characters that end a name token: a few ASCII ones, looked up in a table (names are scanned
// character by character on every parse and attribute read). EndsNameOrZero also ends a name at a
// zero unit, such as the one that follows every string's text.
constexpr std::array<bool, 128> NameEnds(bool zero) {
  std::array<bool, 128> ends{};
  for (char e : std::string_view(" \t\n\r<>=\\/?!\"';")) ends[static_cast<unsigned char>(e)] = true;
  ends[0] = zero;
  return ends;
}
inline bool EndsName(char16_t c) {
  static constexpr std::array<bool, 128> kEnds = NameEnds(false);
  return c < 128 && kEnds[c];
}
inline bool EndsNameOrZero(char16_t c) {
  static constexpr std::array<bool, 128> kEnds = NameEnds(true);
  return c < 128 && kEnds[c];
}
// ASCII letters fold to lower case; everything else stays.
inline char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
// True when `name` is exactly one name token, i.e. one that can be written and read back.
bool IsNameToken(std::u16string_view name);

// Searches that the parser runs over every unit of a text, eight units at a time where the
// processor allows. FindUnit: the first `c` at or after `from`; FindAnyOf4: the first of four
// units. Both give text.size() when there is none (also for `from` past the end).
inline size_t FindUnit(std::u16string_view text, size_t from, char16_t c) {
  const size_t n = text.size();
  const char16_t* data = text.data();
  size_t i = from;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted)))
      return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i < n; ++i)
    if (data[i] == c) return i;
  return n;
}

inline size_t FindAnyOf4(std::u16string_view text, size_t from, char16_t a, char16_t b, char16_t c,
                         char16_t d) {
  const size_t n = text.size();
  const char16_t* data = text.data();
  size_t i = from;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(static_cast<short>(a)), vb = _mm_set1_epi16(static_cast<short>(b));
  const __m128i vc = _mm_set1_epi16(static_cast<short>(c)), vd = _mm_set1_epi16(static_cast<short>(d));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, va), _mm_cmpeq_epi16(units, vb)),
                                      _mm_or_si128(_mm_cmpeq_epi16(units, vc), _mm_cmpeq_epi16(units, vd)));
    if (const int mask = _mm_movemask_epi8(hits))
      return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i < n; ++i) {
    const char16_t u = data[i];
    if (u == a || u == b || u == c || u == d) return i;
  }
  return n;
}

// Decodes one character of lenient UTF-8 at `pos`: returns the bytes used (at least 1) and
// stores the character in `out` (U+FFFD for a failing sequence, which uses only its first byte).
// Sets `failed` for a failing sequence. Never reads past `bytes`.
size_t DecodeUtf8Lenient(std::string_view bytes, size_t pos, char32_t& out, bool& failed);
// Asks for huge pages under a buffer of several MiB that is about to be filled.
void AdviseHugePages(const void* data, size_t bytes);
// Reserve room for `units` in `text` or `count` in `bytes`; large buffers go on huge pages where
// the system allows, so that filling them does not fault in every 4 KiB page.
void ReserveText(std::u16string& text, size_t units);
void ReserveBytes(std::string& bytes, size_t count);
// Decodes all of `bytes`; returns false when some sequence failed (each became U+FFFD).
bool DecodeUtf8(std::u16string& out, std::string_view bytes);
// Decodes `bytes` as one piece of a longer input, appending to `out`, and returns the bytes used:
// all of them when `last`, else all but the final three or fewer, which go at the start of the
// next piece (a sequence is decoded only with all its bytes at hand). Clears `clean` where a
// sequence failed. The pieces together decode as DecodeUtf8 decodes their concatenation.
size_t DecodeUtf8Piece(std::u16string& out, std::string_view bytes, bool last, bool& clean);
// Encodes `text` as UTF-8 at `at`, which has room for three bytes per unit, and returns the end.
// A lone surrogate becomes U+FFFD and sets `lost`.
char* EncodeUtf8(char* at, std::u16string_view text, bool& lost);
// True when `text` holds a surrogate that is not part of a pair.
bool HasLoneSurrogate(std::u16string_view text);

}  // namespace xml_detail

namespace xml_detail {

// Node types that NodeScanner::ParseNode reports.
enum NodeType : int {
  kNodeEnd = -2,    // end of the text
  kNodeError = -1,  // a syntax error; the node runs to the next '<' and is taken as text
  kNodeElement = 1,
  kNodeText = 2,
  kNodeBlank = 4,
  kNodeCData = 8,
  kNodeProcessing = 16,
  kNodeComment = 32,
  kNodeDocType = 64,
};

struct XmlNode {
  int type = kNodeEnd;
  size_t end = 0;                  // one past the node
  bool endTag = false;             // kNodeElement: "</name>"
  bool empty = false;              // kNodeElement: "<name/>"
  const wchar_t* error = nullptr;  // kNodeError: the log entry's name
};

// Reads one node after another from a text. Positions passed to ParseNode should not decrease: the
// scanner remembers where terminators were (not) found, so that hostile input stays linear.
class NodeScanner {
 public:
  // With `valueQuotes`, each tag that ParseNode reads leaves there the opening quotes of its values.
  explicit NodeScanner(std::u16string_view text, std::vector<size_t>* valueQuotes = nullptr)
      : text_(text), valueQuotes_(valueQuotes) {}
  XmlNode ParseNode(size_t pos);

 private:
  struct Memo {
    size_t from = std::u16string_view::npos;
    size_t found = 0;
  };
  size_t FindFrom(Memo& memo, std::u16string_view what, size_t pos);
  XmlNode Bad(size_t pos, const wchar_t* error);
  XmlNode Enclosed(size_t pos, size_t openLength, Memo& memo, std::u16string_view close, int type);
  size_t TagEnd(size_t pos);
  // Position of the last `quote` (a quote or an apostrophe) in the text; 0 when there is none.
  size_t LastOf(char16_t quote);
  size_t DocTypeEnd(size_t pos);

  std::u16string_view text_;
  Memo lessThan_, commentEnd_, cdataEnd_, processingEnd_;
  size_t docTypeRunsOutFrom_ = std::u16string_view::npos;
  static constexpr size_t kNotLookedUp = std::u16string_view::npos;
  size_t lastQuote_ = kNotLookedUp;
  size_t lastApostrophe_ = kNotLookedUp;
  std::vector<size_t>* valueQuotes_;
};

}  // namespace xml_detail

namespace xml_detail {

// The code page of an encoding name as the file reader and writer use it: "ANSI" is
// Windows-1252 (files of Western Windows systems), anything else goes through the charset table.
int CodePageOfName(std::wstring_view name);

}  // namespace xml_detail
