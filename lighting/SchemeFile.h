// The exchange files of the custom light editors: a "customlight" file holds one effect scheme
// (name, speed, per key code, effect, colour and type value), a "customlightmode" file one colour
// scheme (name, brightness, per key code, colour and type value). Both are written in the XML
// document's own form (UTF-8 without a mark, the declaration and CR LF first, one element a
// line). Pure functions; the pages read and write the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/config_rows.h"

namespace scheme_file {

enum class Kind { kEffects, kColors };

// What a file holds. `value` is the speed of an effect scheme or the brightness of a colour
// scheme. The rows are in file order with customrgb_id and customlight_id 0, colortype 1, and
// for colour schemes light_mode 1.
struct Scheme {
  std::wstring name;
  int value = 0;
  std::vector<CustomRgbRow> rows;
};

// The document text: the root, "lightinfo" (name, then speed or brightness) and "keyinfo" with one
// "item" per row in the order given (keycode, lightmode for effects, rgbvalue, type), numbers as
// "%d"; no rows give an empty "keyinfo".
std::u16string BuildSchemeFile(Kind kind, const std::wstring& name, int value, const std::vector<CustomRgbRow>& rows);

// False when the text is not a well-formed document or its root is not "customlight" (effects) or
// "customlightmode" (colours). A missing "lightinfo" gives the name "" and 0; "keyinfo" counts only
// after "lightinfo" (when there is one); numbers are read as _wtoi reads them.
bool ParseSchemeFile(Kind kind, const std::u16string& text, Scheme* out);

// The rows an import stores, in the order the store ends with after writing the rows one by one:
// a later row of a key code replaces the earlier one; an effect row with light_mode 0 clears its
// key instead of being stored.
std::vector<CustomRgbRow> ImportedRows(std::vector<CustomRgbRow> rows, int customlightId);

// The file an export writes: "<folder><name>-<tick>.xml", `folder` ending in '/', the tick as a
// signed 32-bit decimal. In the name / \ : * ? " < > | and control characters become "_", a
// leading "." becomes "_", an empty name "_", and the name is cut to at most 200 bytes of UTF-8
// on a character boundary.
std::wstring ExportFileName(const std::wstring& folder, const std::wstring& shownName, std::uint32_t tick);

}  // namespace scheme_file
