// Building: adding elements and setting attributes, editing the text in place and keeping every
// record's extent in step with it.
#include <algorithm>
#include <cstdint>

#include "common/xml_detail.h"
#include "common/xml_document.h"

using namespace xml_detail;

namespace {

constexpr size_t kLargeText = 256 * 1024;  // units

// True when escaping `value` as an attribute changes nothing and it has no character outside the
// basic plane (no surrogate pair, nothing to replace).
bool PlainAttributeValue(std::wstring_view value) {
  return std::none_of(value.begin(), value.end(), [](wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return c == L'<' || c == L'>' || c == L'&' || c == L'"' || c == L'\'' || (u >= 0xD800 && u <= 0xDFFF) ||
           u > 0xFFFF;
  });
}

}  // namespace

void XmlDocument::ReplaceText(size_t pos, size_t removed, std::u16string_view inserted, uint32_t owner) {
  const size_t needed = m_text.size() - removed + inserted.size();
  if (needed > m_text.capacity() && needed >= kLargeText) {
    // A large document being built grows four times at once: fewer copies of it, and room that
    // is advised for huge pages before anything touches it.
    std::u16string grown;
    ReserveText(grown, std::max(needed, 4 * m_text.capacity()));
    grown = m_text;
    m_text.swap(grown);
  }
  m_text.replace(pos, removed, inserted);
  m_attributesOf = 0;
  const ptrdiff_t delta = static_cast<ptrdiff_t>(inserted.size()) - static_cast<ptrdiff_t>(removed);
  // The element edited and every element around it grow; everything after the edit moves.
  for (uint32_t i = owner;; i = m_elements[i].parent) {
    m_elements[i].length += delta;
    if (i == 0) break;
  }
  size_t first = 1;
  if (m_inDocumentOrder && m_elements.back().start < pos + removed) {
    first = m_elements.size();  // an edit after the last start, as building at the end makes
  } else if (m_inDocumentOrder) {
    const auto moved = std::lower_bound(m_elements.begin() + 1, m_elements.end(), pos + removed,
                                        [](const XmlElement& e, size_t at) { return e.start < at; });
    first = static_cast<size_t>(moved - m_elements.begin());
  }
  for (size_t i = first; i < m_elements.size(); ++i) {
    if (m_elements[i].start >= pos + removed) m_elements[i].start += delta;
  }
}

bool XmlDocument::OpenEmptyParent(uint32_t parent) {
  XmlElement& p = m_elements[parent];
  const size_t tagEnd = p.start + p.startTagLength;
  if (p.startTagLength < 3 || m_text.compare(tagEnd - 2, 2, u"/>") != 0) return false;
  const size_t nameEnd = NameEnd(p.start + 1, tagEnd);
  size_t slash = tagEnd - 2;
  while (slash > nameEnd && IsBlank(m_text[slash - 1])) --slash;
  const std::u16string name = m_text.substr(p.start + 1, nameEnd - p.start - 1);
  const std::u16string replacement = u">\r\n</" + name + u">";
  const size_t newStartTag = slash - p.start + 1;
  ReplaceText(slash, tagEnd - slash, replacement, parent);
  XmlElement& opened = m_elements[parent];
  opened.startTagLength = newStartTag;
  opened.endTagLength = name.size() + 3;
  opened.flags &= ~kElementEmpty;
  return true;
}

bool XmlDocument::AddElement(std::wstring_view name, std::wstring_view value, int flags) {
  if (flags & (kAddBefore | kAddChild)) return false;
  if ((flags & kAddNoValue) && !value.empty()) return false;
  // Built in buffers kept between calls, as the attributes are.
  thread_local std::u16string tag, element, inserted;
  AssignUtf16(tag, name);
  if (!IsNameToken(tag)) return false;

  element.clear();
  element += u'<';
  element += tag;
  size_t startTag, endTag = 0;
  if (value.empty()) {
    element += (flags & kAddSpacedEnd) ? u" />" : u"/>";
    startTag = element.size();
  } else {
    element += u'>';
    startTag = element.size();
    const std::u16string text = ToUtf16(value);
    element += (flags & kAddCData) ? EncodeCData(text) : EscapeText(0, text);
    element += u"</";
    element += tag;
    element += u'>';
    endTag = tag.size() + 3;
  }

  const uint32_t parent = m_parent;
  uint32_t after = m_current ? m_current : LastChild(parent);
  size_t pos;
  if (after) {
    pos = m_elements[after].start + m_elements[after].length;
  } else if (parent == 0) {
    pos = m_text.size();
  } else {
    if ((m_elements[parent].flags & kElementEmpty) && !OpenEmptyParent(parent)) return false;
    const XmlElement& p = m_elements[parent];
    pos = p.start + p.length - p.endTagLength;
    // The first child goes before the line break that precedes the end tag.
    if (pos >= p.start + p.startTagLength + 2 && m_text.compare(pos - 2, 2, u"\r\n") == 0) pos -= 2;
  }
  const bool lineStart = pos == 0 || (pos >= 2 && m_text.compare(pos - 2, 2, u"\r\n") == 0);
  inserted.clear();
  if (!lineStart) inserted += u"\r\n";
  inserted += element;
  ReplaceText(pos, 0, inserted, parent);

  XmlElement record;
  record.start = pos + inserted.size() - element.size();
  record.length = element.size();
  record.startTagLength = startTag;
  record.endTagLength = endTag;
  if (value.empty()) record.flags |= kElementEmpty;
  const uint32_t index = static_cast<uint32_t>(m_elements.size());
  if (index > 1 && m_elements.back().start >= record.start) m_inDocumentOrder = false;
  m_elements.push_back(record);
  LinkChild(index, parent, after);
  m_current = index;
  m_child = 0;
  m_nodeType = 1;
  return true;
}

bool XmlDocument::SetAttributeAt(uint32_t index, std::wstring_view name, std::wstring_view value, int) {
  if (index == 0 || index >= m_elements.size()) return false;
  // Exports set thousands of attributes: the pieces are put together in buffers kept between calls.
  thread_local std::u16string attribute, escaped, inserted;
  AssignUtf16(attribute, name);
  if (!IsNameToken(attribute)) return false;
  if (PlainAttributeValue(value))
    AssignUtf16(escaped, value);
  else
    escaped = EscapeText(kEscapeAttribute, ToUtf16(value));
  auto quotedPair = [&](bool blankFirst) -> const std::u16string& {
    inserted.clear();
    if (blankFirst) inserted += u' ';
    inserted += attribute;
    inserted += u"=\"";
    inserted += escaped;
    inserted += u'"';
    return inserted;
  };
  const size_t before = m_text.size();
  size_t attrStart, valueStart, valueEnd, attrEnd;
  bool quoted;
  if (FindAttribute(index, attribute, attrStart, valueStart, valueEnd, attrEnd, quoted)) {
    if (quoted) {
      // The new value holds no quote, so the tag reads as before with this value moved: the
      // attributes read from it stay valid once shifted.
      ReplaceText(valueStart, valueEnd - valueStart, escaped, index);
      const size_t delta = escaped.size() - (valueEnd - valueStart);  // modulo, as the sums are
      for (AttributeSpan& a : m_attributes) {
        if (a.nameStart > attrStart) {
          a.nameStart += delta, a.nameEnd += delta, a.valueStart += delta, a.valueEnd += delta;
          a.attrEnd += delta;
        } else if (a.nameStart == attrStart) {
          a.valueEnd += delta, a.attrEnd += delta;
        }
      }
      m_attributesOf = index;
    } else {
      ReplaceText(attrStart, attrEnd - attrStart, quotedPair(false), index);
    }
  } else {
    const XmlElement& e = m_elements[index];
    const size_t nameEnd = NameEnd(e.start + 1, e.start + e.startTagLength);
    size_t pos = e.start + e.startTagLength - 1;  // the '>'
    if (pos > nameEnd && m_text[pos - 1] == u'/') --pos;
    while (pos > nameEnd && IsBlank(m_text[pos - 1])) --pos;
    // Only delimiters follow the last attribute read from this tag. When that one is quoted (or
    // there is none), the tag reads as before plus the new attribute, which is then the last.
    const bool keep =
        m_attributesOf == index &&
        (m_attributes.empty() || (m_attributes.back().quoted && m_attributes.back().attrEnd <= pos));
    ReplaceText(pos, 0, quotedPair(true), index);
    if (keep) {
      const size_t nameStart = pos + 1, valueStart = nameStart + attribute.size() + 2;
      m_attributes.push_back({nameStart, nameStart + attribute.size(), valueStart,
                              valueStart + escaped.size(), valueStart + escaped.size() + 1, true});
      m_attributesOf = index;
    }
  }
  m_elements[index].startTagLength += m_text.size() - before;
  return true;
}
