// Building the element table from the text. One pass, no recursion: a stack of open elements
// and, per name, the stack depths where that name is open, so that an end tag finds its element
// without scanning the whole stack.
#include <unordered_map>

#include "common/xml_detail.h"
#include "common/xml_document.h"

using namespace xml_detail;

namespace {

struct OpenElement {
  uint32_t index;
  std::u16string key;
};

}  // namespace

void XmlDocument::ResetTable() {
  m_elements.clear();
  m_elements.emplace_back();
  m_elements[0].length = m_text.size();
  m_inDocumentOrder = true;  // the parse adds elements in the order of their starts
  m_parent = m_current = m_child = 0;
  m_nodeType = 0;
}

size_t XmlDocument::NameEnd(size_t from, size_t limit) const {
  while (from < limit && !EndsName(m_text[from])) ++from;
  return from;
}

bool XmlDocument::ParseDocument() {
  ResetTable();
  m_elements.reserve(m_text.size() / 64 + 8);
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
  auto keyOf = [&](size_t from, size_t to) {
    std::u16string key = m_text.substr(from, to - from);
    if (fold)
      for (char16_t& c : key) c = FoldAscii(c);
    return key;
  };
  auto nameOf = [&](const XmlElement& e) {
    return FromUtf16(std::u16string_view(m_text).substr(
        e.start + 1, NameEnd(e.start + 1, e.start + e.length) - e.start - 1));
  };

  std::vector<OpenElement> open;
  std::unordered_map<std::u16string, std::vector<size_t>> openDepths;

  // Closes the innermost open element at `end`; an element without its own end tag is logged.
  auto closeInnermost = [&](size_t end, size_t endTagLength) {
    OpenElement& top = open.back();
    XmlElement& e = m_elements[top.index];
    e.length = end - e.start;
    e.endTagLength = endTagLength;
    if (endTagLength == 0) {
      const std::wstring name = nameOf(e);
      AddResult({.name = L"unended_start_tag", .tagname = name, .offset = static_cast<long long>(e.start)});
      MarkParseError();
    }
    std::vector<size_t>& depths = openDepths[top.key];
    depths.pop_back();
    if (depths.empty()) openDepths.erase(top.key);
    open.pop_back();
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
        name = FromUtf16(
            std::u16string_view(m_text).substr(nameStart, NameEnd(nameStart, node.end) - nameStart));
      }
      AddResult({.name = node.error, .tagname = name, .offset = static_cast<long long>(pos)});
      MarkParseError();
    } else if (node.type == kNodeElement && node.endTag) {
      size_t nameStart = pos + 2;
      while (nameStart < node.end && IsBlank(m_text[nameStart])) ++nameStart;
      const size_t nameEnd = NameEnd(nameStart, node.end);
      auto found = openDepths.find(keyOf(nameStart, nameEnd));
      if (found == openDepths.end()) {
        const std::wstring name =
            FromUtf16(std::u16string_view(m_text).substr(nameStart, nameEnd - nameStart));
        AddResult({.name = L"lone_end_tag", .tagname = name, .offset = static_cast<long long>(pos)});
        MarkParseError();
      } else {
        const size_t depth = found->second.back();
        while (open.size() > depth + 1) closeInnermost(pos, 0);
        closeInnermost(node.end, node.end - pos);
      }
    } else if (node.type == kNodeElement) {
      const uint32_t index = static_cast<uint32_t>(m_elements.size());
      const uint32_t parent = open.empty() ? 0 : open.back().index;
      XmlElement e;
      e.start = pos;
      e.length = node.end - pos;
      e.startTagLength = node.end - pos;
      e.parent = parent;
      if (node.empty) e.flags |= kElementEmpty;
      m_elements.push_back(e);
      LinkChild(index, parent, 0);
      if (!node.empty) {
        const size_t nameEnd = NameEnd(pos + 1, node.end);
        std::u16string key = keyOf(pos + 1, nameEnd);
        openDepths[key].push_back(open.size());
        open.push_back({index, std::move(key)});
      }
    }
    pos = node.end;
  }
  while (!open.empty()) closeInnermost(m_text.size(), 0);
}
