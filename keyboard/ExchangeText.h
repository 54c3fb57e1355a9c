// What the exchange files of the keyboard window (macros, profiles, light schemes) share: writing
// an attribute into a document text and reading a number attribute as the files have always been
// read (missing or not a number: 0).
#pragma once

#include <string>
#include <string_view>

#include "common/strings.h"
#include "common/xml_detail.h"
#include "common/xml_document.h"

namespace exchange_text {

// ` name="value"` with the value escaped for an attribute.
inline std::u16string Attr(std::u16string_view name, const std::wstring& value) {
  std::u16string out = u" ";
  out += name;
  out += u"=\"";
  out += XmlDocument::EscapeText(XmlDocument::kEscapeAttribute, xml_detail::ToUtf16(value));
  out += u"\"";
  return out;
}
inline std::u16string Attr(std::u16string_view name, int value) { return Attr(name, std::to_wstring(value)); }

// The current element's attribute `name` as a number.
inline int NumberAttr(const XmlDocument& doc, std::wstring_view name) {
  std::wstring text;
  doc.GetAttribute(text, name);
  return WToI(text);
}

}  // namespace exchange_text
