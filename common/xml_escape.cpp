// Escaping and unescaping of element text and attribute values, and CDATA sections.
#include <algorithm>

#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "common/xml_entities.h"

using namespace xml_detail;

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Length of a well-formed reference "&name;" or "&#...;" at `pos` (which holds '&'), else 0.
size_t ReferenceLength(std::u16string_view text, size_t pos) {
  size_t i = pos + 1;
  if (i >= text.size()) return 0;
  const char16_t first = text[i];
  if (!(IsAsciiLetter(first) || first == u'#' || first == u'_' || first == u':' || first >= 0x80)) return 0;
  for (++i; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u';') return i + 1 - pos;
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == u'_' || c == u':' || c == u'-' || c == u'.' || c >= 0x80))
      return 0;
  }
  return 0;
}

// The character of a numeric reference body ("#65", "#x41"), or 0 when it names no character
// that a text may hold: no digits, other characters, 0, a surrogate or above U+10FFFF.
char32_t NumericReference(std::u16string_view body) {
  size_t i = 1;
  int base = 10;
  if (i < body.size() && (body[i] == u'x' || body[i] == u'X')) base = 16, ++i;
  if (i == body.size()) return 0;
  char32_t value = 0;
  for (; i < body.size(); ++i) {
    const char16_t c = body[i];
    int digit;
    if (IsDigit(c))
      digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return 0;
    value = value * base + digit;
    if (value > 0x10FFFF) return 0;  // at most 8 digits fit in 9 units, so no overflow before
  }
  if (value == 0 || IsSurrogate(value)) return 0;
  return value;
}

char32_t LookupNamedReference(std::u16string_view name) {
  const NamedReference* begin = kNamedReferences;
  const NamedReference* end = kNamedReferences + kNamedReferenceCount;
  const NamedReference* it = std::lower_bound(
      begin, end, name, [](const NamedReference& r, std::u16string_view n) { return r.name < n; });
  return (it != end && it->name == name) ? it->codePoint : 0;
}

}  // namespace

std::u16string XmlDocument::EscapeText(int flags, std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 5 + 7);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'&':
        if (flags & kEscapeKeepReferences) {
          if (size_t length = ReferenceLength(text, i)) {
            out.append(text.substr(i, length));
            i += length - 1;
            break;
          }
        }
        out += u"&amp;";
        break;
      case u'"':
        if (flags & kEscapeAttribute)
          out += u"&quot;";
        else
          out += c;
        break;
      case u'\'':
        if (flags & kEscapeAttribute)
          out += u"&apos;";
        else
          out += c;
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::u16string XmlDocument::UnescapeText(std::u16string_view text) {
  constexpr size_t kMaxReference = 9;
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'&') {
      out += c;
      continue;
    }
    size_t end = i + 1;
    while (end < text.size() && end - i - 1 <= kMaxReference && text[end] != u';' && text[end] < 0x80 &&
           text[end] != u'&')
      ++end;
    const size_t bodyLength = end - i - 1;
    if (end >= text.size() || text[end] != u';' || bodyLength == 0 || bodyLength > kMaxReference) {
      out += c;
      continue;
    }
    const std::u16string_view body = text.substr(i + 1, bodyLength);
    const char32_t value = body[0] == u'#' ? NumericReference(body) : LookupNamedReference(body);
    if (value == 0) {
      out += c;  // not a reference we know: the text stays as written
      continue;
    }
    AppendUtf16(out, value);
    i = end;
  }
  return out;
}

std::u16string XmlDocument::EncodeCData(std::u16string_view text) {
  std::u16string out = u"<![CDATA[";
  out.reserve(text.size() + 12);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 3) == u"]]>") {
      out += u"]]]]><![CDATA[>";
      i += 2;
    } else {
      out += text[i];
    }
  }
  out += u"]]>";
  return out;
}
