// XmlDocument: construction, the cursor, attribute and content reads, and the result log.
#include "common/xml_document.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/xml_detail.h"

using namespace xml_detail;

XmlDocument::XmlDocument() {
  // What parsing the empty text gives, without the parse, and room for a small document.
  m_elements.reserve(16);
  ResetTable();
  AddResult({.name = L"no_root_element"});
}

XmlDocument::XmlDocument(const wchar_t* text) { SetDocumentText(text); }

bool XmlDocument::SetDocumentText(const wchar_t* text) {
  return SetDocumentText(text ? ToUtf16(text) : std::u16string());
}

bool XmlDocument::SetDocumentText(std::u16string text) {
  m_text = std::move(text);
  m_result.clear();
  return ParseDocument();
}

bool XmlDocument::NameMatches(size_t tokenStart, size_t tokenEnd, std::u16string_view name) const {
  const size_t length = tokenEnd - tokenStart;
  if (length == 0 || length > name.size()) return false;
  if (length < name.size()) {
    const char16_t next = name[length];
    if (next != u' ' && next != u'=' && next != u'/' && next != u'[' && next != u']') return false;
  }
  if (!(m_flags & kFoldCase))
    return std::u16string_view(m_text).substr(tokenStart, length) == name.substr(0, length);
  for (size_t i = 0; i < length; ++i) {
    if (FoldAscii(m_text[tokenStart + i]) != FoldAscii(name[i])) return false;
  }
  return true;
}

uint32_t XmlDocument::LastChild(uint32_t parent) const {
  const uint32_t first = m_elements[parent].firstChild;
  return first ? m_elements[first].prevSibling : 0;
}

void XmlDocument::LinkChild(uint32_t index, uint32_t parent, uint32_t after) {
  XmlElement& e = m_elements[index];
  e.parent = parent;
  const uint32_t first = m_elements[parent].firstChild;
  if (first == 0) {
    m_elements[parent].firstChild = index;
    e.flags |= kElementFirst;
    e.prevSibling = index;
    e.nextSibling = 0;
    return;
  }
  if (after == 0) after = m_elements[first].prevSibling;
  const uint32_t next = m_elements[after].nextSibling;
  e.flags &= ~kElementFirst;
  e.prevSibling = after;
  e.nextSibling = next;
  m_elements[after].nextSibling = index;
  if (next == 0)
    m_elements[first].prevSibling = index;
  else
    m_elements[next].prevSibling = index;
}

bool XmlDocument::FindElement(std::wstring_view name) {
  if (m_elements.size() <= 1) return false;
  thread_local std::u16string wanted;
  AssignUtf16(wanted, name);
  uint32_t candidate = m_current ? m_elements[m_current].nextSibling : m_elements[m_parent].firstChild;
  for (; candidate; candidate = m_elements[candidate].nextSibling) {
    const XmlElement& e = m_elements[candidate];
    if (wanted.empty() || NameMatches(e.start + 1, NameEnd(e.start + 1, e.start + e.length), wanted)) {
      m_current = candidate;
      m_child = 0;
      m_nodeType = 1;
      return true;
    }
  }
  return false;
}

bool XmlDocument::EnterElement() {
  if (m_current == 0 || m_nodeType != 1) return false;
  m_parent = m_current;
  m_current = m_child;
  m_child = 0;
  m_nodeType = m_current ? 1 : 0;
  return true;
}

bool XmlDocument::LeaveElement() {
  if (m_parent == 0) return false;
  m_child = m_current;
  m_current = m_parent;
  m_parent = m_elements[m_parent].parent;
  m_nodeType = 1;
  return true;
}

std::wstring XmlDocument::GetElementName(uint32_t index) const {
  if (index == 0 || index >= m_elements.size()) return {};
  const XmlElement& e = m_elements[index];
  const size_t end = NameEnd(e.start + 1, e.start + e.startTagLength);
  return FromUtf16(std::u16string_view(m_text).substr(e.start + 1, end - e.start - 1));
}

void XmlDocument::ScanAttributes(uint32_t index) const {
  m_attributes.clear();
  m_attributesOf = index;
  const XmlElement& e = m_elements[index];
  const size_t end = e.start + e.startTagLength;
  // The closing '>' is not part of any value.
  const size_t limit = (end > e.start && m_text[end - 1] == u'>') ? end - 1 : end;
  const std::u16string_view tag = std::u16string_view(m_text).substr(0, limit);
  size_t i = NameEnd(e.start + 1, limit);
  while (i < limit) {
    const size_t nameStart = i;
    const size_t nameEnd = NameEnd(i, limit);
    if (nameEnd == nameStart) {  // a blank or a stray delimiter
      ++i;
      continue;
    }
    AttributeSpan a{nameStart, nameEnd, nameEnd, nameEnd, nameEnd, false};
    size_t j = nameEnd;
    while (j < limit && IsBlank(m_text[j])) ++j;
    if (j < limit && m_text[j] == u'=') {
      ++j;
      while (j < limit && IsBlank(m_text[j])) ++j;
      const char16_t q = j < limit ? m_text[j] : 0;
      const size_t close = (q == u'"' || q == u'\'') ? FindUnit(tag, j + 1, q) : limit;
      if (close < limit) {
        a.quoted = true;
        a.valueStart = j + 1;
        a.valueEnd = close;
        a.attrEnd = close + 1;
      } else {
        // Unquoted, or a quote that is never closed: the value runs to the next delimiter.
        a.valueStart = j;
        a.valueEnd = j;
        if (q == u'"' || q == u'\'') a.valueEnd = limit;
        while (a.valueEnd < limit &&
               std::u16string_view(u"= \t\n\r>/?").find(m_text[a.valueEnd]) == std::u16string_view::npos)
          ++a.valueEnd;
        a.attrEnd = a.valueEnd;
      }
    }
    m_attributes.push_back(a);
    i = a.attrEnd > nameEnd ? a.attrEnd : nameEnd;
  }
}

bool XmlDocument::FindAttribute(uint32_t index, std::u16string_view name, size_t& attrStart,
                                size_t& valueStart, size_t& valueEnd, size_t& attrEnd, bool& quoted) const {
  if (m_attributesOf != index) ScanAttributes(index);
  for (const AttributeSpan& a : m_attributes) {
    if (NameMatches(a.nameStart, a.nameEnd, name)) {
      attrStart = a.nameStart;
      valueStart = a.valueStart;
      valueEnd = a.valueEnd;
      attrEnd = a.attrEnd;
      quoted = a.quoted;
      return true;
    }
  }
  return false;
}

bool XmlDocument::GetAttributeAt(std::wstring& out, uint32_t index, std::wstring_view name) const {
  out.clear();
  if (index == 0 || index >= m_elements.size() || name.empty()) return false;
  size_t attrStart, valueStart, valueEnd, attrEnd;
  bool quoted;
  thread_local std::u16string wanted;  // attribute reads come in the thousands
  AssignUtf16(wanted, name);
  if (!FindAttribute(index, wanted, attrStart, valueStart, valueEnd, attrEnd, quoted)) return false;
  const std::u16string_view value = std::u16string_view(m_text).substr(valueStart, valueEnd - valueStart);
  // Without a reference unescaping gives the value as it is: convert it once, into out's room.
  if (value.find(u'&') == std::u16string_view::npos)
    AppendFromUtf16(out, value);
  else
    AppendFromUtf16(out, UnescapeText(value));
  return true;
}

bool XmlDocument::GetAttribute(std::wstring& out, std::wstring_view name) const {
  return GetAttributeAt(out, m_current, name);
}

bool XmlDocument::GetData(std::wstring& out) const {
  out.clear();
  if (m_current == 0 || m_current >= m_elements.size()) return false;
  const XmlElement& e = m_elements[m_current];
  if (e.flags & kElementEmpty) return true;
  if (e.firstChild == 0) {
    // Plain text without markup or references is its own content.
    const size_t from = e.start + e.startTagLength;
    const std::u16string_view text =
        std::u16string_view(m_text).substr(from, e.start + e.length - e.endTagLength - from);
    if (text.find_first_of(u"<&") == std::u16string_view::npos) {
      AppendFromUtf16(out, text);
      return true;
    }
  }
  std::u16string data;
  auto takeGap = [&](size_t from, size_t to) {
    const std::u16string_view gap = std::u16string_view(m_text).substr(from, to - from);
    NodeScanner scanner(gap);
    for (size_t pos = 0; pos < gap.size();) {
      const XmlNode node = scanner.ParseNode(pos);
      if (node.type == kNodeText || node.type == kNodeBlank || node.type == kNodeError)
        data += UnescapeText(gap.substr(pos, node.end - pos));
      else if (node.type == kNodeCData)
        data += gap.substr(pos + 9, node.end - pos - 12);
      pos = node.end;
    }
  };
  size_t pos = e.start + e.startTagLength;
  for (uint32_t child = e.firstChild; child; child = m_elements[child].nextSibling) {
    takeGap(pos, m_elements[child].start);
    pos = m_elements[child].start + m_elements[child].length;
  }
  takeGap(pos, e.start + e.length - e.endTagLength);
  out = FromUtf16(data);
  return true;
}

void XmlDocument::AddResult(std::wstring& log, const XmlResultEntry& entry) {
  // No character takes more than two units: only a log near the cap needs counting.
  if (log.size() >= kResultCap || (2 * log.size() >= kResultCap && Utf16Length(log) >= kResultCap)) return;
  if (log.capacity() < 128) log.reserve(128);  // room for the few entries of a typical log at once
  // The fields are gathered and measured first; the entry is then written in one piece.
  struct Field {  // left uninitialised: only the first `count` are set and read
    const wchar_t* name;
    size_t nameLength;
    const wchar_t* value;
    size_t valueLength;
  };
  Field fields[7];
  size_t count = 0;
  std::wstring escaped[3];  // the text fields that need escaping (rare)
  auto text = [&](std::wstring_view name, std::wstring_view value) {
    if (value.empty()) return;
    // Most values hold nothing to escape and no character outside the basic plane: as they are.
    const bool plain = std::none_of(value.begin(), value.end(), [](wchar_t c) {
      return c == L'<' || c == L'>' || c == L'&' || c == L'"' || c == L'\'' || (c >= 0xD800 && c <= 0xDFFF) ||
             static_cast<std::uint32_t>(c) > 0xFFFF;
    });
    if (!plain) value = escaped[count] = FromUtf16(EscapeText(kEscapeAttribute, ToUtf16(value)));
    fields[count++] = {name.data(), name.size(), value.data(), value.size()};
  };
  wchar_t digits[4][24];
  size_t numbers = 0;
  auto number = [&](std::wstring_view name, long long value) {
    if (value == -1) return;
    wchar_t* end = std::end(digits[numbers++]);
    wchar_t* at = end;
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
    do {
      *--at = static_cast<wchar_t>(L'0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    if (value < 0) *--at = L'-';
    fields[count++] = {name.data(), name.size(), at, static_cast<size_t>(end - at)};
  };
  using namespace std::literals;
  text(L"type"sv, entry.type);
  text(L"encoding"sv, entry.encoding);
  text(L"tagname"sv, entry.tagname);
  number(L"count"sv, entry.count);
  number(L"length"sv, entry.length);
  number(L"offset"sv, entry.offset);
  number(L"offset2"sv, entry.offset2);

  // "<name/>", and ' field="value"' for each field.
  size_t length = entry.name.size() + 3;
  for (size_t i = 0; i < count; ++i) length += fields[i].nameLength + fields[i].valueLength + 4;
  const size_t at = log.size();
  log.resize(at + length);
  wchar_t* out = log.data() + at;
  auto put = [&out](std::wstring_view part) { out = std::copy(part.begin(), part.end(), out); };
  *out++ = L'<';
  put(entry.name);
  for (size_t i = 0; i < count; ++i) {
    *out++ = L' ';
    put({fields[i].name, fields[i].nameLength});
    *out++ = L'=';
    *out++ = L'"';
    put({fields[i].value, fields[i].valueLength});
    *out++ = L'"';
  }
  *out++ = L'/';
  *out = L'>';
}
