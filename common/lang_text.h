// The user-interface language: the process-wide current LCID, the persisted choice and the lookup
// of a text in "<program folder>language/<LCID>.lan".
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class SettingsStore;
}

// LCID of the current UI language; 1033 until start-up sets it. Written on the UI thread, read by
// every thread that looks up a text.
extern std::atomic<int> g_languageId;

// The stored LCID under the key "SOFTWARE\<product>": its decimal value (0 when the value is
// missing or not a number); 0 after creating a missing key; 2052 when the key can be neither
// opened nor created. The overload without a store uses the user's store.
int ReadLanguageLcid(const std::wstring& product);
int ReadLanguageLcid(const std::wstring& product, platform::SettingsStore& store);

// Stores the LCID as text when the key exists; never creates the key.
void WriteLanguageLcid(int lcid, const std::wstring& product);
void WriteLanguageLcid(int lcid, const std::wstring& product, platform::SettingsStore& store);

// A language file as read: sections in file order with their entries in file order. Section and
// key names are kept as written (trimmed); values are trimmed, unquoted and cut to 259 characters.
struct IniFile {
  struct Section {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;
  };
  std::vector<Section> sections;

  // The first value of `key` in a section named `section`, both compared case-insensitively.
  std::optional<std::wstring> Find(const std::wstring& section, const std::wstring& key) const;
};

// Files larger than this are refused (with a line on stderr), so that a damaged or hostile file
// cannot hold the program up.
inline constexpr size_t kMaxIniFileBytes = 4u << 20;

// Reads a profile file in UTF-8 (with or without byte-order mark) or UTF-16 LE or BE with a mark.
// Lines end at LF, CR LF or a lone CR. Lines starting with ';' and lines without '=' are ignored.
// nullopt when the file cannot be read or is larger than kMaxIniFileBytes.
std::optional<IniFile> ReadIniFile(const std::wstring& file);

// What ReadIniFile has done since the program started: files it parsed and bytes it read. A file
// refused for its size adds nothing. Any thread.
struct IniReadCounts {
  std::size_t parses = 0;
  std::size_t bytesRead = 0;
};
IniReadCounts GetIniReadCounts();

// The value of `key` in `section` of `file`; empty when the file, the section or the key is
// missing.
std::wstring ReadIniString(const std::wstring& section, const std::wstring& key, const std::wstring& file);

// *out = text `id` of `section` in the current language's file (empty when missing; no other
// language is tried). Returns out. The file is parsed once and kept until the language changes or
// the file's size or modification time does. Any thread.
std::wstring* GetLangText(std::wstring* out, int id, const std::wstring& section);
