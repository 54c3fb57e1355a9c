// The named character references that unescaping knows: the 252 of HTML 4 and "apos".
#pragma once

#include <cstddef>
#include <string_view>

namespace xml_detail {

struct NamedReference {
  std::u16string_view name;
  char16_t codePoint;  // every HTML 4 name lies in the BMP
};

constexpr size_t kNamedReferenceCount = 253;
// Sorted by name in code-unit order (xml_entities.cpp, generated).
extern const NamedReference kNamedReferences[kNamedReferenceCount];

}  // namespace xml_detail
