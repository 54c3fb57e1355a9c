// Building the element table from the text. One pass, no recursion: a stack of open elements. An
// end tag that closes the innermost element, the case of every well-formed document, costs one
// name comparison. The first end tag that does not turns on a count of the open elements per name
// (from then on kept up to date), so that a lone end tag is known as one at once and a search down
// the stack only happens when it will find its element, which it closes with all above it: hostile
// input stays linear.
#include <algorithm>
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
  m_elements.reserve(m_text.size() / 64 + 64);  // a small document's elements fit at once
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

// An attribute named twice in one start tag makes the document not well-formed. Each name is the
// word before the '=' of a quoted value (the tag scan already found the quotes), compared where it
// stands: pairwise for the tags that real files have, sorted for a hostile tag with many names.
void XmlDocument::CheckAttributeNames(uint32_t index, const std::vector<size_t>& valueQuotes) {
  if (valueQuotes.size() < 2) return;
  const XmlElement& e = m_elements[index];
  const std::u16string_view text(m_text);
  const size_t nameEnd = NameEnd(e.start + 1, e.start + e.startTagLength);
  m_attributeNames.clear();
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
    if (j < end) m_attributeNames.push_back(text.substr(j, end - j));
  }
  const bool fold = m_flags & kFoldCase;
  auto unit = [fold](char16_t c) { return fold ? FoldAscii(c) : c; };
  auto same = [&](std::u16string_view x, std::u16string_view y) {
    if (x.size() != y.size() || unit(x.back()) != unit(y.back())) return false;
    for (size_t k = 0; k < x.size(); ++k)
      if (unit(x[k]) != unit(y[k])) return false;
    return true;
  };
  std::vector<std::u16string_view>& names = m_attributeNames;
  const size_t count = names.size();
  bool twice = false;
  constexpr size_t kPairwise = 32;
  if (count <= kPairwise) {
    for (size_t i = 0; i < count && !twice; ++i)
      for (size_t j = i + 1; j < count && !twice; ++j) twice = same(names[i], names[j]);
  } else {
    std::sort(names.begin(), names.end(), [&](std::u16string_view x, std::u16string_view y) {
      return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                          [&](char16_t c, char16_t d) { return unit(c) < unit(d); });
    });
    twice = std::adjacent_find(names.begin(), names.end(), same) != names.end();
  }
  if (!twice) return;
  AddResult({.name = L"duplicate_attribute",
             .tagname = FromUtf16(text.substr(e.start + 1, nameEnd - e.start - 1)),
             .offset = static_cast<long long>(e.start)});
  MarkParseError();
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
    if (!fold) return text.substr(a, aLength) == text.substr(b, bLength);
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

  NodeScanner scanner(m_text);
  size_t pos = 0;
  for (;;) {
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
      const size_t nameEnd = NameEnd(nameStart, node.end);
      const size_t depth = findOpen(nameStart, nameEnd - nameStart);
      if (depth == std::u16string_view::npos) {
        const std::wstring name = FromUtf16(text.substr(nameStart, nameEnd - nameStart));
        AddResult({.name = L"lone_end_tag", .tagname = name, .offset = static_cast<long long>(pos)});
        MarkParseError();
      } else {
        while (open.size() > depth + 1) closeInnermost(pos, 0);
        closeInnermost(node.end, node.end - pos);
      }
    } else if (node.type == kNodeElement) {
      const uint32_t index = static_cast<uint32_t>(m_elements.size());
      const uint32_t parent = open.empty() ? 0 : open.back().index;
      // Filled where it stays: a record built aside and copied in stalls on its own stores.
      XmlElement& e = m_elements.emplace_back();
      e.start = pos;
      e.length = node.end - pos;
      e.startTagLength = node.end - pos;
      e.parent = parent;
      if (node.empty) e.flags |= kElementEmpty;
      LinkChild(index, parent, 0);
      CheckAttributeNames(index, scanner.ValueQuotes());
      if (!node.empty) {
        const size_t nameEnd = NameEnd(pos + 1, node.end);
        open.push_back({index, pos + 1, nameEnd - pos - 1});
        if (counting) countOpen(open.back(), +1);
      }
    }
    pos = node.end;
  }
  while (!open.empty()) closeInnermost(m_text.size(), 0);
}
