#include "common/xml_detail.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace xml_detail {

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

void AssignUtf16(std::u16string& out, std::wstring_view text) {
  out.resize(text.size());
  char16_t* to = out.data();
  for (const wchar_t c : text) {
    if (static_cast<std::uint32_t>(c) >= 0x80) {
      out = ToUtf16(text);
      return;
    }
    *to++ = static_cast<char16_t>(c);
  }
}

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf16(out, static_cast<char32_t>(c));
  return out;
}

std::wstring FromUtf16(std::u16string_view text) {
  std::wstring out;
  AppendFromUtf16(out, text);
  return out;
}

void AppendFromUtf16(std::wstring& out, std::u16string_view text) {
  // No unit gives more than one character: sized once, trimmed where pairs joined.
  const size_t base = out.size();
  out.resize(base + text.size());
  wchar_t* to = out.data() + base;
  const char16_t* from = text.data();
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    // Blocks without a surrogate convert unit for unit.
    if (n - i >= 8) {
      bool surrogate = false;
      for (size_t k = 0; k < 8; ++k) surrogate |= IsSurrogate(from[i + k]);
      if (!surrogate) {
        for (size_t k = 0; k < 8; ++k) to[k] = static_cast<wchar_t>(from[i + k]);
        to += 8;
        i += 8;
        continue;
      }
    }
    char32_t c = from[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(from[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (from[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(c)) {
      c = kReplacement;
    }
    *to++ = static_cast<wchar_t>(c);
    ++i;
  }
  out.resize(static_cast<size_t>(to - out.data()));
}

size_t Utf16Length(std::wstring_view text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

bool IsNameToken(std::u16string_view name) {
  if (name.empty()) return false;
  for (char16_t c : name) {
    if (EndsName(c) || c == 0) return false;
  }
  return true;
}

size_t DecodeUtf8Lenient(std::string_view bytes, size_t pos, char32_t& out, bool& failed) {
  const unsigned char lead = static_cast<unsigned char>(bytes[pos]);
  failed = false;
  if (lead < 0x80) {
    out = lead;
    return 1;
  }
  // Byte classes by the high nibble/bits of the lead; bit 6 is not tested, so 80-B7 lead too.
  size_t more;
  char32_t value;
  if (lead <= 0x9F || (lead >= 0xC0 && lead <= 0xDF)) {
    more = 1, value = lead & 0x1F;
  } else if (lead <= 0xAF || (lead >= 0xE0 && lead <= 0xEF)) {
    more = 2, value = lead & 0x0F;
  } else if (lead <= 0xB7 || (lead >= 0xF0 && lead <= 0xF7)) {
    more = 3, value = lead & 0x07;
  } else {
    failed = true;
    out = kReplacement;
    return 1;
  }
  if (bytes.size() - pos - 1 < more) {
    failed = true;
    out = kReplacement;
    return 1;
  }
  for (size_t i = 1; i <= more; ++i) {
    const unsigned char next = static_cast<unsigned char>(bytes[pos + i]);
    if (next < 0x80) {
      failed = true;
      out = kReplacement;
      return 1;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value == 0 || value > 0x10FFFF || IsSurrogate(value)) {
    failed = true;
    value = kReplacement;
  }
  out = value;
  return more + 1;
}

// A large buffer is fresh memory that every first touch faults in page by page; huge pages keep
// the cost of a big file in proportion to its size (the kernel may decline the advice).
void AdviseHugePages(const void* data, size_t bytes) {
  constexpr uintptr_t kHugePage = 2 << 20;
  if (bytes < 4 * kHugePage) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void ReserveText(std::u16string& text, size_t units) {
  text.reserve(units);
  AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
}

void ReserveBytes(std::string& bytes, size_t count) {
  bytes.reserve(count);
  AdviseHugePages(bytes.data(), bytes.capacity());
}

bool DecodeUtf8(std::u16string& out, std::string_view bytes) {
  // No sequence gives more units than it has bytes: room for all of them at once.
  out.clear();
  ReserveText(out, bytes.size());
  bool clean = true;
  DecodeUtf8Piece(out, bytes, true, clean);
  return clean;
}

size_t DecodeUtf8Piece(std::u16string& out, std::string_view bytes, bool last, bool& clean) {
  // The units are put together in a piece on the stack and appended, so the text is written
  // once, not cleared first.
  constexpr size_t kPiece = 4096;
  char16_t units[kPiece + 32];  // a piece, then at most one block of sixteen and one pair
  size_t count = 0;
  const char* in = bytes.data();
  const size_t size = bytes.size();
  size_t pos = 0;
  while (pos < size) {
    // Before the last piece, a sequence is decoded only with all the bytes it may take.
    if (!last && size - pos < 4) break;
    if (count >= kPiece) {
      out.append(units, count);
      count = 0;
    }
    // Runs of ASCII, the bulk of most files, sixteen or eight bytes at a time.
#if defined(__SSE2__)
    while (size - pos >= 16 && count < kPiece) {
      // Only the ASCII before the first other byte is kept.
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + pos));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(units + count), _mm_unpacklo_epi8(chunk, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(units + count + 8), _mm_unpackhi_epi8(chunk, zero));
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
      const size_t ascii = high ? static_cast<size_t>(__builtin_ctz(high)) : 16;
      count += ascii;
      pos += ascii;
      if (high) break;
    }
#endif
    while (size - pos >= 8 && count < kPiece) {
      uint64_t word;
      std::memcpy(&word, in + pos, 8);
      if (word & 0x8080808080808080ull) break;
      for (size_t k = 0; k < 8; ++k) units[count + k] = static_cast<unsigned char>(in[pos + k]);
      count += 8;
      pos += 8;
    }
    if (pos >= size || (!last && size - pos < 4)) break;
    const unsigned char byte = static_cast<unsigned char>(in[pos]);
    if (byte < 0x80) {  // the common case, without the decoder
      units[count++] = byte;
      ++pos;
      continue;
    }
    char32_t c;
    bool failed;
    pos += DecodeUtf8Lenient(bytes, pos, c, failed);
    clean = clean && !failed;
    if (c < 0x10000) {
      units[count++] = static_cast<char16_t>(c);
    } else {
      units[count++] = static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
      units[count++] = static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF));
    }
  }
  out.append(units, count);
  return pos;
}

}  // namespace xml_detail
