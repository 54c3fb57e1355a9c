#include "lighting/SchemeFile.h"

#include <string_view>
#include <unordered_map>

#include "common/strings.h"
#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "keyboard/ExchangeText.h"

namespace scheme_file {

namespace {

constexpr size_t kMaxNameBytes = 200;

const wchar_t* RootName(Kind kind) { return kind == Kind::kEffects ? L"customlight" : L"customlightmode"; }
const wchar_t* ValueName(Kind kind) { return kind == Kind::kEffects ? L"speed" : L"brightness"; }

using exchange_text::Attr;
using exchange_text::NumberAttr;

size_t Utf8Bytes(wchar_t c) {
  const auto v = static_cast<std::uint32_t>(c);
  return v < 0x80 ? 1 : v < 0x800 ? 2 : v < 0x10000 ? 3 : 4;
}

}  // namespace

std::u16string BuildSchemeFile(Kind kind, const std::wstring& name, int value, const std::vector<CustomRgbRow>& rows) {
  const std::u16string root = xml_detail::ToUtf16(RootName(kind));
  std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<" + root + u">\r\n";
  text += u"<lightinfo" + Attr(u"name", name) + Attr(xml_detail::ToUtf16(ValueName(kind)), value) + u"/>\r\n";
  if (rows.empty()) {
    text += u"<keyinfo/>\r\n";
  } else {
    text += u"<keyinfo>\r\n";
    for (const CustomRgbRow& row : rows) {
      text += u"<item" + Attr(u"keycode", row.keycode);
      if (kind == Kind::kEffects) text += Attr(u"lightmode", row.light_mode);
      text += Attr(u"rgbvalue", row.rgbvalue) + Attr(u"type", row.light_type) + u"/>\r\n";
    }
    text += u"</keyinfo>\r\n";
  }
  text += u"</" + root + u">\r\n";
  return text;
}

bool ParseSchemeFile(Kind kind, const std::u16string& text, Scheme* out) {
  XmlDocument doc;
  if (!doc.SetDocumentText(text)) return false;
  if (!doc.FindElement(L"") || doc.GetElementName(doc.GetCurrentElement()) != RootName(kind)) return false;
  Scheme scheme;
  if (!doc.EnterElement()) {
    *out = std::move(scheme);
    return true;
  }
  bool seenInfo = false, seenKeysAfterInfo = false;
  bool seenKeysBefore = false;
  std::vector<CustomRgbRow> keysBefore;  // keyinfo met before any lightinfo: used only when there is none
  auto readKeys = [&](std::vector<CustomRgbRow>& rows) {
    if (!doc.EnterElement()) return;
    while (doc.FindElement(L"item")) {
      CustomRgbRow row;
      row.keycode = NumberAttr(doc, L"keycode");
      row.light_mode = kind == Kind::kEffects ? NumberAttr(doc, L"lightmode") : 1;
      row.rgbvalue = NumberAttr(doc, L"rgbvalue");
      row.light_type = NumberAttr(doc, L"type");
      row.colortype = 1;
      rows.push_back(row);
    }
    doc.LeaveElement();
  };
  while (doc.FindElement(L"")) {
    const std::wstring child = doc.GetElementName(doc.GetCurrentElement());
    if (child == L"lightinfo" && !seenInfo) {
      seenInfo = true;
      doc.GetAttribute(scheme.name, L"name");
      scheme.value = NumberAttr(doc, ValueName(kind));
    } else if (child == L"keyinfo" && seenInfo && !seenKeysAfterInfo) {
      seenKeysAfterInfo = true;
      readKeys(scheme.rows);
    } else if (child == L"keyinfo" && !seenInfo && !seenKeysBefore) {
      seenKeysBefore = true;
      readKeys(keysBefore);
    }
  }
  if (!seenInfo) scheme.rows = std::move(keysBefore);
  *out = std::move(scheme);
  return true;
}

std::vector<CustomRgbRow> ImportedRows(std::vector<CustomRgbRow> rows, int customlightId) {
  // The last row of each key code decides; the kept rows stand in the order of those last rows.
  std::unordered_map<int, size_t> last;
  for (size_t i = 0; i < rows.size(); ++i) last[rows[i].keycode] = i;
  std::vector<CustomRgbRow> kept;
  for (size_t i = 0; i < rows.size(); ++i) {
    CustomRgbRow& row = rows[i];
    if (last[row.keycode] != i || row.light_mode == 0) continue;
    row.customrgb_id = 0;
    row.customlight_id = customlightId;
    kept.push_back(row);
  }
  return kept;
}

std::wstring ExportFileName(const std::wstring& folder, const std::wstring& shownName, std::uint32_t tick) {
  std::wstring name;
  size_t bytes = 0;
  for (wchar_t c : shownName) {
    const bool unsafe = c < 0x20 || c == 0x7F || std::wstring_view(L"/\\:*?\"<>|").find(c) != std::wstring_view::npos;
    if (unsafe) c = L'_';
    if (bytes + Utf8Bytes(c) > kMaxNameBytes) break;
    bytes += Utf8Bytes(c);
    name += c;
  }
  if (name.empty()) name = L"_";
  if (name.front() == L'.') name.front() = L'_';
  return folder + name + L"-" + std::to_wstring(static_cast<std::int32_t>(tick)) + L".xml";
}

}  // namespace scheme_file
