#include "fuzz/xml_harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/xml_document.h"

namespace xml_fuzz {

namespace {

#define FUZZ_CHECK(condition, ...)                                \
  do {                                                            \
    if (!(condition)) {                                           \
      std::fprintf(stderr, "invariant broken: %s: ", #condition); \
      std::fprintf(stderr, __VA_ARGS__);                          \
      std::fprintf(stderr, "\n");                                 \
      std::abort();                                               \
    }                                                             \
  } while (0)

size_t Utf16Units(std::wstring_view text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

size_t LoneSurrogates(std::u16string_view text) {
  size_t lone = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      ++lone;
  }
  return lone;
}

void CheckUnescape(std::u16string_view text) {
  const std::u16string out = XmlDocument::UnescapeText(text);
  FUZZ_CHECK(std::count(out.begin(), out.end(), u'\0') <= std::count(text.begin(), text.end(), u'\0'),
             "unescaping added a zero");
  FUZZ_CHECK(LoneSurrogates(out) <= LoneSurrogates(text), "unescaping added a lone surrogate");
}

// Reads every element in document order through the cursor, without recursion.
void WalkAll(XmlDocument& doc) {
  std::wstring value;
  for (;;) {
    if (doc.FindElement(L"")) {
      doc.GetAttribute(value, L"name");
      doc.GetAttribute(value, L"a");
      doc.GetData(value);
      doc.EnterElement();
    } else if (!doc.LeaveElement()) {
      break;
    }
  }
}

std::u16string Units(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  return text;
}

// Values and names from a palette that holds every character escaping cares about.
const wchar_t* const kPalette[] = {L"a",          L"<", L">", L"&", L"\"", L"'",   L" ", L"\u00e9",
                                   L"\U0001F600", L";", L"#", L"]", L"\n", L"amp", L"x", L"]]>"};
const wchar_t* const kNames[] = {L"a", L"ab", L"abc", L"item", L"items", L"\u00e9l"};

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool more() const { return pos < size; }
  uint8_t next() { return pos < size ? data[pos++] : 0; }
  std::wstring value() {
    std::wstring out;
    for (int n = next() % 8; n > 0; --n) out += kPalette[next() % std::size(kPalette)];
    return out;
  }
};

}  // namespace

void CheckInvariants(const XmlDocument& doc) {
  const std::u16string& text = doc.GetText();
  const std::vector<XmlElement>& elements = doc.Elements();
  FUZZ_CHECK(!elements.empty(), "no document record");
  FUZZ_CHECK(elements[0].length == text.size(), "document length %zu, text %zu", elements[0].length,
             text.size());
  for (uint32_t i = 0; i < elements.size(); ++i) {
    const XmlElement& e = elements[i];
    if (i != 0) {
      FUZZ_CHECK(e.start < text.size() && text[e.start] == u'<', "element %u does not start at '<'", i);
      FUZZ_CHECK(e.start + e.length <= text.size(), "element %u ends outside the text", i);
      FUZZ_CHECK(e.startTagLength + e.endTagLength <= e.length, "element %u tags exceed it", i);
      FUZZ_CHECK(e.parent < elements.size(), "element %u has a bad parent", i);
      const XmlElement& p = elements[e.parent];
      FUZZ_CHECK(p.start <= e.start && e.start + e.length <= p.start + p.length, "element %u outside parent",
                 i);
    }
    size_t end = e.start + e.startTagLength;
    uint32_t last = 0;
    size_t count = 0;
    for (uint32_t c = e.firstChild; c; c = elements[c].nextSibling) {
      FUZZ_CHECK(c < elements.size() && ++count <= elements.size(), "element %u: broken sibling chain", i);
      FUZZ_CHECK(elements[c].parent == i, "child %u of %u names another parent", c, i);
      FUZZ_CHECK(elements[c].start >= end, "child %u of %u overlaps what precedes it", c, i);
      FUZZ_CHECK(last == 0 || elements[c].prevSibling == last, "child %u: previous link", c);
      end = elements[c].start + elements[c].length;
      last = c;
    }
    if (e.firstChild)
      FUZZ_CHECK(elements[e.firstChild].prevSibling == last, "element %u: last-child link", i);
  }
  // The log takes no entry once it has reached the cap, so all but its last entry lie below it.
  const std::wstring& log = doc.GetResult();
  const size_t lastEntry = log.rfind(L'<');
  FUZZ_CHECK(lastEntry == std::wstring::npos ||
                 Utf16Units(std::wstring_view(log).substr(0, lastEntry)) < XmlDocument::kResultCap,
             "log of %zu units", Utf16Units(log));
}

std::string CompareWithFreshParse(const XmlDocument& doc) {
  XmlDocument fresh;
  fresh.SetFlags(doc.GetFlags());
  fresh.SetDocumentText(doc.GetText());
  const std::vector<XmlElement>& a = doc.Elements();
  const std::vector<XmlElement>& b = fresh.Elements();
  if (a.size() != b.size())
    return "element count " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
  std::vector<std::pair<uint32_t, uint32_t>> pending = {{0, 0}};
  while (!pending.empty()) {
    const auto [x, y] = pending.back();
    pending.pop_back();
    const XmlElement& ex = a[x];
    const XmlElement& ey = b[y];
    if (ex.start != ey.start || ex.length != ey.length || ex.startTagLength != ey.startTagLength ||
        ex.endTagLength != ey.endTagLength ||
        (ex.flags & XmlDocument::kElementEmpty) != (ey.flags & XmlDocument::kElementEmpty))
      return "element at " + std::to_string(ex.start) + " differs from the fresh one at " +
             std::to_string(ey.start);
    uint32_t cx = ex.firstChild, cy = ey.firstChild;
    for (; cx && cy; cx = a[cx].nextSibling, cy = b[cy].nextSibling) pending.push_back({cx, cy});
    if (cx || cy) return "children of the element at " + std::to_string(ex.start) + " differ";
  }
  return {};
}

// Reads attribute `name` of element `index` in `doc` and of the element at the same place in a
// fresh parse of its text (whose element table must match); empty when both reads agree.
std::string CompareAttributeWithFreshParse(const XmlDocument& doc, const XmlDocument& fresh, uint32_t index,
                                           const wchar_t* name) {
  const std::vector<XmlElement>& elements = fresh.Elements();
  const auto at = std::lower_bound(elements.begin() + 1, elements.end(), doc.Elements()[index].start,
                                   [](const XmlElement& e, size_t start) { return e.start < start; });
  if (at == elements.end() || at->start != doc.Elements()[index].start) return "no fresh element";
  std::wstring ours, theirs;
  const bool found = doc.GetAttributeAt(ours, index, name);
  if (found != fresh.GetAttributeAt(theirs, static_cast<uint32_t>(at - elements.begin()), name) ||
      ours != theirs)
    return "attribute of element " + std::to_string(index) + " reads otherwise after a fresh parse";
  return {};
}

// Every attribute name the harnesses use, read from element `index` of `doc` and of a fresh parse.
void CheckAttributesAgainstFreshParse(const XmlDocument& doc, uint32_t index) {
  XmlDocument fresh;
  fresh.SetFlags(doc.GetFlags());
  fresh.SetDocumentText(doc.GetText());
  for (const wchar_t* name : kNames) {
    const std::string difference = CompareAttributeWithFreshParse(doc, fresh, index, name);
    FUZZ_CHECK(difference.empty(), "%s", difference.c_str());
  }
  const std::string difference = CompareAttributeWithFreshParse(doc, fresh, index, L"name");
  FUZZ_CHECK(difference.empty(), "%s", difference.c_str());
}

void FuzzParse(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::u16string text;
  if (data[0] & 1) {
    FUZZ_CHECK(XmlDocument::ConvertText(
                   text, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), 65001),
               "UTF-8 conversion failed");
  } else {
    text = Units(data + 1, size - 1);
  }
  CheckUnescape(text);
  XmlDocument doc;
  doc.SetFlags((data[0] & 2) ? XmlDocument::kFoldCase : 0);
  doc.SetDocumentText(text);
  CheckInvariants(doc);
  WalkAll(doc);
  const uint32_t target = doc.GetCurrentElement() ? doc.GetCurrentElement() : 1;
  doc.SetAttributeAt(target, L"a", L"<&\"'>\U0001F600");
  CheckInvariants(doc);
  // Set again and add one after it, on whatever tag the input made: the reads of the edited tag
  // must be the ones a fresh parse gives, as long as the edits left the structure as it was.
  if (target < doc.Elements().size()) {
    std::wstring value;
    doc.GetAttributeAt(value, target, L"name");
    doc.SetAttributeAt(target, L"a", L"x");
    doc.SetAttributeAt(target, L"ab", L"\u00e9");
    if (CompareWithFreshParse(doc).empty()) CheckAttributesAgainstFreshParse(doc, target);
  }
  doc.AddElement(L"added");
  CheckInvariants(doc);
  doc.ParseDocument();
  CheckInvariants(doc);
}

void FuzzRead(const uint8_t* data, size_t size) {
  XmlDocument doc;
  int flags = 0;
  XmlDocument::DecodeFileBytes(doc.Text(), doc.Result(),
                               std::string_view(reinterpret_cast<const char*>(data), size), &flags);
  FUZZ_CHECK(doc.GetText().find(u'\0') == std::u16string::npos, "zero unit in read text");
  FUZZ_CHECK(flags & XmlDocument::kFileRead, "read flag missing");
  doc.ParseDocument();
  CheckInvariants(doc);
  WalkAll(doc);
}

void FuzzBuild(const uint8_t* data, size_t size) {
  Reader in{data, size};
  XmlDocument doc;
  doc.SetFlags((size && (data[0] & 0x80)) ? XmlDocument::kFoldCase : 0);
  doc.SetDocumentText(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  std::map<std::pair<uint32_t, std::wstring>, std::wstring> attributes;  // as set
  for (int steps = 0; in.more() && steps < 400; ++steps) {
    const uint8_t op = in.next();
    const std::wstring name = kNames[in.next() % std::size(kNames)];
    switch (op % 6) {
      case 0:
        doc.AddElement(name);
        break;
      case 1: {
        const std::wstring value = in.value();
        const int flags = (op & 8) ? XmlDocument::kAddCData : 0;
        doc.AddElement(name, value, flags);
        break;
      }
      case 2:
        doc.EnterElement();
        break;
      case 3:
        doc.LeaveElement();
        break;
      case 4:
        doc.FindElement((op & 8) ? std::wstring() : name);
        break;
      case 5: {
        const uint32_t index = doc.GetCurrentElement()
                                   ? doc.GetCurrentElement()
                                   : static_cast<uint32_t>(in.next() % doc.Elements().size());
        const std::wstring value = in.value();
        const bool set = doc.SetAttributeAt(index, name, value);
        FUZZ_CHECK(set == (index != 0), "SetAttributeAt(%u) gave %d", index, set);
        if (set) {
          const std::string difference = CompareWithFreshParse(doc);
          FUZZ_CHECK(difference.empty(), "%s", difference.c_str());
          CheckAttributesAgainstFreshParse(doc, index);
          // Under case folding a name differing only in case is the same attribute.
          std::wstring key = name;
          if (doc.GetFlags() & XmlDocument::kFoldCase)
            for (wchar_t& c : key) c = (c >= L'A' && c <= L'Z') ? c + 32 : c;
          attributes[{index, key}] = value;
        }
        break;
      }
    }
  }
  CheckInvariants(doc);
  const std::string difference = CompareWithFreshParse(doc);
  FUZZ_CHECK(difference.empty(), "%s", difference.c_str());
  std::wstring value;
  for (const auto& [key, expected] : attributes) {
    // Names in the set that are prefixes of others must still find their own attribute.
    FUZZ_CHECK(doc.GetAttributeAt(value, key.first, key.second) && value == expected,
               "attribute of element %u reads back changed", key.first);
  }
}

}  // namespace xml_fuzz
