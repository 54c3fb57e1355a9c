// Building the element table from the text. One pass, no recursion: a stack of open elements. An
// end tag that closes the innermost element, the case of every well-formed document, costs one
// name comparison. The first end tag that does not turns on a count of the open elements per name
// (from then on kept up to date), so that a lone end tag is known as one at once and a search down
// the stack only happens when it will find its element, which it closes with all above it: hostile
// input stays linear.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "common/xml_detail.h"
#include "common/xml_document.h"

using namespace xml_detail;

namespace {

struct OpenElement {
  uint32_t index;
  size_t nameStart;
  size_t nameLength;
};

}  // namespace

void XmlDocument::ResetTable() {
  m_elements.clear();
  // A small document's elements fit at once, also when the room was taken for an empty document
  // that is about to be read or built.
  m_elements.reserve(m_text.size() / 64 + 8);
  m_elements.emplace_back();
  m_elements[0].length = m_text.size();
  m_inDocumentOrder = true;  // the parse adds elements in the order of their starts
  m_attributesOf = 0;
  m_parent = m_current = m_child = 0;
  m_nodeType = 0;
}

size_t XmlDocument::NameEnd(size_t from, size_t limit) const {
  while (from < limit && !EndsName(m_text[from])) ++from;
  return from;
}

namespace {

// A hash that names equal under ASCII case folding share (so do some other names: it only picks
// the names worth comparing). Reads the first and the last four units, not every one.
uint64_t NameHash(std::u16string_view name) {
  constexpr uint64_t kCaseBits = 0x0020002000200020ull;
  const size_t n = name.size();
  uint64_t head, tail;
  if (n >= 4) {
    std::memcpy(&head, name.data(), sizeof head);
    std::memcpy(&tail, name.data() + n - 4, sizeof tail);
  } else {
    head = name[0] | uint64_t{name[n / 2]} << 16;
    tail = name[n - 1];
  }
  return ((head | kCaseBits) * 0x9E3779B97F4A7C15ull) ^ ((tail | kCaseBits) * 0xC2B2AE3D27D4EB4Full) ^ n;
}

}  // namespace

std::vector<XmlDocument::NameKey>& XmlDocument::AttributeNames() {
  thread_local std::vector<NameKey> names;
  return names;
}

bool XmlDocument::ReadPlainStartTag(size_t pos, size_t& end, size_t& nameEnd, bool& empty) {
  const std::u16string_view text(m_text);
  const char16_t* data = text.data();  // followed by a zero unit, as every string is
  const size_t n = text.size();
  // The end of the name at `from`: a unit that ends names or a zero unit (at the latest the one
  // after the text), which then fails the checks that follow.
  auto nameEndAt = [data](size_t from) {
    while (!EndsNameOrZero(data[from])) ++from;
    return from;
  };
  std::vector<NameKey>& names = AttributeNames();
  names.clear();
  size_t i = nameEnd = nameEndAt(pos + 1);
  for (;;) {
    if (i >= n) return false;
    if (data[i] == u'>' || data[i] == u'/') {
      empty = data[i] == u'/';
      if (empty && (i + 1 >= n || data[i + 1] != u'>')) return false;
      end = i + 1 + empty;
      return true;
    }
    if (!IsBlank(data[i])) return false;
    while (++i < n && IsBlank(data[i])) {
    }
    if (i >= n) return false;
    if (data[i] == u'>' || data[i] == u'/') continue;
    const size_t nameStart = i;
    i = nameEndAt(i);
    const std::u16string_view name = text.substr(nameStart, i - nameStart);
    while (i < n && IsBlank(data[i])) ++i;
    if (name.empty() || i >= n || data[i] != u'=') return false;
    while (++i < n && IsBlank(data[i])) {
    }
    if (i >= n || (data[i] != u'"' && data[i] != u'\'')) return false;
    i = FindUnit(text, i + 1, data[i]);
    if (i >= n) return false;
    names.push_back({name, NameHash(name)});
    ++i;
  }
}

void XmlDocument::NamesBeforeValues(size_t nameEnd, const std::vector<size_t>& valueQuotes) {
  const std::u16string_view text(m_text);
  std::vector<NameKey>& names = AttributeNames();
  names.clear();
  for (size_t quote : valueQuotes) {
    size_t j = quote;
    while (j > nameEnd && IsBlank(text[j - 1])) --j;
    if (j == nameEnd || text[j - 1] != u'=') continue;  // a quote that opens no value
    --j;
    while (j > nameEnd && IsBlank(text[j - 1])) --j;
    const size_t end = j;
    while (j > nameEnd && !IsBlank(text[j - 1]) && text[j - 1] != u'"' && text[j - 1] != u'\'' &&
           text[j - 1] != u'=')
      --j;
    if (j == end) continue;
    const std::u16string_view name = text.substr(j, end - j);
    names.push_back({name, NameHash(name)});
  }
}

// The tags of real files have a dozen names at most: one bit per hash tells at once whether an
// earlier name could be the same, and only then are names compared. A hostile tag with many names
// is sorted instead, which stays n log n.
bool XmlDocument::AttributeNamesRepeat() {
  std::vector<NameKey>& names = AttributeNames();
  if (names.size() < 2) return false;
  const bool fold = m_flags & kFoldCase;
  auto same = [fold](const NameKey& x, const NameKey& y) {
    if (x.hash != y.hash || x.name.size() != y.name.size()) return false;
    if (!fold) return x.name == y.name;
    for (size_t k = 0; k < x.name.size(); ++k)
      if (FoldAscii(x.name[k]) != FoldAscii(y.name[k])) return false;
    return true;
  };
  if (names.size() <= 64) {
    uint64_t seen = 0;
    for (size_t i = 0; i < names.size(); ++i) {
      const uint64_t bit = uint64_t{1} << (names[i].hash >> 58);
      if (seen & bit) {
        for (size_t j = 0; j < i; ++j)
          if (same(names[j], names[i])) return true;
      }
      seen |= bit;
    }
    return false;
  }
  std::sort(names.begin(), names.end(), [fold](const NameKey& x, const NameKey& y) {
    if (x.hash != y.hash) return x.hash < y.hash;
    return std::lexicographical_compare(
        x.name.begin(), x.name.end(), y.name.begin(), y.name.end(),
        [fold](char16_t c, char16_t d) { return fold ? FoldAscii(c) < FoldAscii(d) : c < d; });
  });
  return std::adjacent_find(names.begin(), names.end(), same) != names.end();
}

bool XmlDocument::ParseDocument() {
  ResetTable();
  AdviseHugePages(m_elements.data(), m_elements.capacity() * sizeof(XmlElement));
  ParseElements();
  const uint32_t root = m_elements[0].firstChild;
  if (root == 0) {
    AddResult({.name = L"no_root_element"});
    return false;
  }
  if (const uint32_t sibling = m_elements[root].nextSibling) {
    AddResult({.name = L"root_has_sibling",
               .tagname = GetElementName(sibling),
               .offset = static_cast<long long>(m_elements[sibling].start)});
    return false;
  }
  return !(m_elements[0].flags & kDocumentParseError);
}

void XmlDocument::ParseElements() {
  const bool fold = m_flags & kFoldCase;
  const std::u16string_view text(m_text);
  auto sameName = [&](size_t a, size_t aLength, size_t b, size_t bLength) {
    if (aLength != bLength) return false;
    if (!fold) return std::memcmp(text.data() + a, text.data() + b, aLength * sizeof(char16_t)) == 0;
    for (size_t i = 0; i < aLength; ++i)
      if (FoldAscii(text[a + i]) != FoldAscii(text[b + i])) return false;
    return true;
  };
  auto hashOf = [&](size_t from, size_t length) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the (folded) units
    for (size_t i = 0; i < length; ++i) {
      const char16_t c = fold ? FoldAscii(text[from + i]) : text[from + i];
      h = (h ^ c) * 1099511628211ull;
    }
    return h;
  };
  auto nameOf = [&](const XmlElement& e) {
    return FromUtf16(text.substr(e.start + 1, NameEnd(e.start + 1, e.start + e.length) - e.start - 1));
  };

  thread_local std::vector<OpenElement> openStack;  // kept between parses: no allocation per document
  std::vector<OpenElement>& open = openStack;
  open.clear();
  bool counting = false;
  std::unordered_map<uint64_t, uint32_t> openNames;  // name hash -> open elements of it, while counting
  auto countOpen = [&](const OpenElement& o, int step) {
    uint32_t& n = openNames[hashOf(o.nameStart, o.nameLength)];
    n = static_cast<uint32_t>(static_cast<int>(n) + step);
  };

  // Closes the innermost open element at `end`; an element without its own end tag is logged.
  auto closeInnermost = [&](size_t end, size_t endTagLength) {
    const OpenElement top = open.back();
    XmlElement& e = m_elements[top.index];
    e.length = end - e.start;
    e.endTagLength = endTagLength;
    if (endTagLength == 0) {
      const std::wstring name = nameOf(e);
      AddResult({.name = L"unended_start_tag", .tagname = name, .offset = static_cast<long long>(e.start)});
      MarkParseError();
    }
    if (counting) countOpen(top, -1);
    open.pop_back();
  };
  // The depth of the innermost open element named like text[from, from + length); npos for none.
  auto findOpen = [&](size_t from, size_t length) -> size_t {
    if (open.empty()) return std::u16string_view::npos;
    const OpenElement& top = open.back();
    if (sameName(top.nameStart, top.nameLength, from, length)) return open.size() - 1;
    if (!counting) {
      counting = true;
      for (const OpenElement& o : open) countOpen(o, +1);
    }
    const auto found = openNames.find(hashOf(from, length));
    if (found == openNames.end() || found->second == 0) return std::u16string_view::npos;
    for (size_t depth = open.size() - 1; depth-- > 0;)
      if (sameName(open[depth].nameStart, open[depth].nameLength, from, length)) return depth;
    return std::u16string_view::npos;  // another name with the same hash
  };

  // An end tag at `pos` to `end` naming text[nameStart, nameEnd).
  auto endElement = [&](size_t pos, size_t end, size_t nameStart, size_t nameEnd) {
    const size_t depth = findOpen(nameStart, nameEnd - nameStart);
    if (depth == std::u16string_view::npos) {
      const std::wstring name = FromUtf16(text.substr(nameStart, nameEnd - nameStart));
      AddResult({.name = L"lone_end_tag", .tagname = name, .offset = static_cast<long long>(pos)});
      MarkParseError();
      return;
    }
    while (open.size() > depth + 1) closeInnermost(pos, 0);
    closeInnermost(end, end - pos);
  };
  // A start tag at `pos` to `end` whose attribute names are in AttributeNames().
  auto startElement = [&](size_t pos, size_t end, size_t nameEnd, bool empty) {
    const uint32_t index = static_cast<uint32_t>(m_elements.size());
    const uint32_t parent = open.empty() ? 0 : open.back().index;
    // Filled where it stays: a record built aside and copied in stalls on its own stores.
    XmlElement& e = m_elements.emplace_back();
    e.start = pos;
    e.length = end - pos;
    e.startTagLength = end - pos;
    e.parent = parent;
    // The new element comes after every child its parent has so far.
    XmlElement& p = m_elements[parent];
    if (p.firstChild == 0) {
      p.firstChild = index;
      e.flags |= kElementFirst;
      e.prevSibling = index;
    } else {
      XmlElement& first = m_elements[p.firstChild];
      m_elements[first.prevSibling].nextSibling = index;
      e.prevSibling = first.prevSibling;
      first.prevSibling = index;
    }
    if (empty) e.flags |= kElementEmpty;
    if (AttributeNamesRepeat()) {
      AddResult({.name = L"duplicate_attribute",
                 .tagname = FromUtf16(text.substr(pos + 1, nameEnd - pos - 1)),
                 .offset = static_cast<long long>(pos)});
      MarkParseError();
    }
    if (!empty) {
      open.push_back({index, pos + 1, nameEnd - pos - 1});
      if (counting) countOpen(open.back(), +1);
    }
  };

  thread_local std::vector<size_t> valueQuotes;
  NodeScanner scanner(m_text, &valueQuotes);
  const char16_t* data = text.data();
  const size_t n = text.size();
  size_t pos = 0;
  for (;;) {
    // Blanks before a tag and tags of the usual forms are read here; the scanner reads the rest.
    size_t at = pos;
    while (at < n && IsBlank(data[at])) ++at;
    if (at == n) break;
    if (data[at] == u'<' && at + 1 < n) {
      pos = at;
      if (data[pos + 1] == u'/') {
        // Nearly always the innermost element's end tag, as it was named.
        if (!open.empty()) {
          const OpenElement& top = open.back();
          const size_t close = pos + 2 + top.nameLength;
          if (close < n && data[close] == u'>' &&
              std::memcmp(data + pos + 2, data + top.nameStart, top.nameLength * sizeof(char16_t)) == 0) {
            closeInnermost(close + 1, close + 1 - pos);
            pos = close + 1;
            continue;
          }
        }
        const size_t nameEnd = NameEnd(pos + 2, n);
        size_t close = nameEnd;
        while (close < n && IsBlank(data[close])) ++close;
        if (nameEnd > pos + 2 && close < n && data[close] == u'>') {
          endElement(pos, close + 1, pos + 2, nameEnd);
          pos = close + 1;
          continue;
        }
      } else if (StartsName(data[pos + 1])) {
        size_t end, nameEnd;
        bool empty;
        if (ReadPlainStartTag(pos, end, nameEnd, empty)) {
          startElement(pos, end, nameEnd, empty);
          pos = end;
          continue;
        }
      }
    }
    const XmlNode node = scanner.ParseNode(pos);
    if (node.type == kNodeEnd) break;
    if (node.type == kNodeError) {
      // A tag cut off by the end of the text still tells its name.
      std::wstring name;
      if (std::wstring_view(node.error) == L"unterminated_tag_syntax") {
        const size_t nameStart = pos + 1 + (pos + 1 < node.end && m_text[pos + 1] == u'/');
        name = FromUtf16(text.substr(nameStart, NameEnd(nameStart, node.end) - nameStart));
      }
      AddResult({.name = node.error, .tagname = name, .offset = static_cast<long long>(pos)});
      MarkParseError();
    } else if (node.type == kNodeElement && node.endTag) {
      size_t nameStart = pos + 2;
      while (nameStart < node.end && IsBlank(m_text[nameStart])) ++nameStart;
      endElement(pos, node.end, nameStart, NameEnd(nameStart, node.end));
    } else if (node.type == kNodeElement) {
      const size_t nameEnd = NameEnd(pos + 1, node.end);
      NamesBeforeValues(nameEnd, valueQuotes);
      startElement(pos, node.end, nameEnd, node.empty);
    }
    pos = node.end;
  }
  while (!open.empty()) closeInnermost(m_text.size(), 0);
}
