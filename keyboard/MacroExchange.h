// The macro exchange file: one macro a file, a `macro` root holding `macroinfo` (name, times,
// type, delaytime) and `macroitems` (one `item` per event with desc, type and value), written in
// the XML document's own form (UTF-8 without a mark, the declaration and CR LF first, one element
// a line). Pure functions; the page reads and writes the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/config_rows.h"

namespace macro_exchange {

// The document text of `macro` with `events` in the order given.
std::u16string BuildMacroFile(const MacroDataRow& macro, const std::vector<MacroRecordRow>& events);

// What a file holds: the macro's row (macro_id 0) and its events in file order, record_index
// their position from 0 (macro_id 0). `hasItems` tells whether `macroitems` was there.
struct ParsedMacro {
  MacroDataRow macro;
  std::vector<MacroRecordRow> events;
  bool hasItems = false;
};

// False when the text is not a well-formed document, its root is not `macro` or it has no
// `macroinfo`. `macroinfo` and `macroitems` are found among the root's children in either order;
// missing numbers read as 0.
bool ParseMacroFile(const std::u16string& text, ParsedMacro* out);

// A macro file larger than this is refused before it is read (4 MiB holds far more events than
// the keyboard's macro memory).
inline constexpr std::uintmax_t kMaxMacroFileBytes = std::uintmax_t{4} << 20;

// True when `events` alone fit the keyboard's whole macro memory by the download's own capacity
// rule: a macro that does not can never be downloaded.
bool FitsMacroMemory(const std::vector<MacroRecordRow>& events);

// The file an export writes: "<folder><name>-<tick>.xml". `folder` ends in '/'. A name that could
// leave the folder or make an unusable file name is made safe: '/', '\', control characters and
// the names "." and ".." become "_", and an empty name becomes "_".
std::wstring ExportFileName(const std::wstring& folder, const std::wstring& shownName, std::uint32_t tick);

}  // namespace macro_exchange
