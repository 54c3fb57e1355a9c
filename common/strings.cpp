#include "common/strings.h"

#include <climits>
#include <cwchar>
#include <vector>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at `pos`; returns its length, or 0 when the bytes there
// are not one (stray continuation, truncation, overlong form, surrogate, above U+10FFFF).
size_t DecodeOne(std::string_view text, size_t pos, char32_t& out) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  size_t length;
  char32_t value;
  char32_t minimum;
  if (lead < 0x80) {
    out = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || IsSurrogate(value)) return 0;
  out = value;
  return length;
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c == L'\0') break;
    AppendUtf8(out, static_cast<char32_t>(c));
  }
  return out;
}

std::string WideToUtf8(const wchar_t* text) { return text ? WideToUtf8(std::wstring_view(text)) : std::string(); }

std::wstring Utf8ToWide(const char* text) { return text ? Utf8ToWide(std::string_view(text)) : std::wstring(); }

namespace {

// Strict decoding gives up on the first fault; lenient decoding replaces the byte and goes on.
// No character takes fewer bytes than wide units, so the output is sized once and trimmed; ASCII,
// the bulk of stored text, is copied without the decoder.
std::wstring DecodeUtf8(std::string_view text, bool lenient) {
  std::wstring out(text.size(), L'\0');
  wchar_t* units = out.data();
  size_t count = 0;
  for (size_t pos = 0; pos < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      units[count++] = static_cast<wchar_t>(byte);
      ++pos;
      continue;
    }
    char32_t c;
    size_t length = DecodeOne(text, pos, c);
    if (length == 0) {
      if (!lenient) return {};
      c = kReplacement;
      length = 1;
    }
    units[count++] = static_cast<wchar_t>(c);
    pos += length;
  }
  out.resize(count);
  return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return DecodeUtf8(text, false); }

std::wstring Utf8ToWideLenient(std::string_view text) { return DecodeUtf8(text, true); }

std::wstring FormatWV(const wchar_t* format, va_list args) {
  if (!format) return {};
  std::vector<wchar_t> buffer(256);
  // vswprintf reports -1 both for a short buffer and for a bad format; a text of a megabyte ends
  // the growth so that a bad format cannot grow it for ever.
  while (buffer.size() <= (1u << 20)) {
    va_list copy;
    va_copy(copy, args);
    int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (written >= 0) return std::wstring(buffer.data(), static_cast<size_t>(written));
    buffer.resize(buffer.size() * 4);
  }
  return {};
}

std::wstring FormatW(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatWV(format, args);
  va_end(args);
  return text;
}

int WToI(const wchar_t* text) {
  if (!text) return 0;
  while (*text == L' ' || (*text >= L'\t' && *text <= L'\r')) ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    value = value * 10 + (*text - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-value < INT_MIN ? INT_MIN : -value);
  return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return text;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}
