#include "common/lang_text.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "common/folders.h"
#include "common/strings.h"
#include "platform/settings_store.h"

std::atomic<int> g_languageId{1033};

namespace {

constexpr size_t kMaxTextLength = 259;

std::string RegistryKey(const std::wstring& product) { return "SOFTWARE\\" + WideToUtf8(product); }

std::wstring Trim(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L" \t\r\n");
  if (begin == std::wstring::npos) return {};
  size_t end = text.find_last_not_of(L" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// UTF-16 code units from `bytes` after its byte-order mark; a lone surrogate becomes U+FFFD and
// an odd last byte is dropped.
std::wstring DecodeUtf16(const std::string& bytes, bool bigEndian) {
  auto unitAt = [&](size_t i) -> char32_t {
    const char32_t first = static_cast<unsigned char>(bytes[i]);
    const char32_t second = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
  };
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    text += static_cast<wchar_t>(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
  }
  return text;
}

std::wstring DecodeFile(const std::string& bytes) {
  if (bytes.size() >= 2) {
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    const unsigned char second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFF && second == 0xFE) return DecodeUtf16(bytes, false);
    if (first == 0xFE && second == 0xFF) return DecodeUtf16(bytes, true);
  }
  std::string_view body(bytes);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  return Utf8ToWideLenient(body);
}

// The parsed language file with its look-up table, as long as the file stays the same.
struct CachedLanguage {
  std::wstring path;
  long long size = -1;
  long long modifiedNs = -1;
  // "<section>\x1F<key>", both lower-cased, to the first value.
  std::unordered_map<std::wstring, std::wstring> texts;
};

std::wstring LookupKey(const std::wstring& section, const std::wstring& key) {
  return AsciiLower(Trim(section)) + L'\x1F' + AsciiLower(Trim(key));
}

std::shared_ptr<const CachedLanguage> BuildCache(const std::wstring& path, long long size,
                                                 long long modifiedNs) {
  auto cache = std::make_shared<CachedLanguage>();
  cache->path = path;
  cache->size = size;
  cache->modifiedNs = modifiedNs;
  if (std::optional<IniFile> ini = ReadIniFile(path))
    for (const IniFile::Section& section : ini->sections)
      for (const auto& [name, value] : section.entries)
        cache->texts.emplace(LookupKey(section.name, name), value);
  return cache;
}

std::mutex g_cacheLock;
std::shared_ptr<const CachedLanguage> g_cache;

// The language file `path` parsed once: kept until another file is asked for or this one's size
// or modification time changes.
std::shared_ptr<const CachedLanguage> LanguageFile(const std::wstring& path) {
  struct stat info {};
  long long size = -1;
  long long modifiedNs = -1;
  if (stat(WideToUtf8(path).c_str(), &info) == 0) {
    size = static_cast<long long>(info.st_size);
    modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  }
  std::lock_guard guard(g_cacheLock);
  if (!g_cache || g_cache->path != path || g_cache->size != size || g_cache->modifiedNs != modifiedNs)
    g_cache = BuildCache(path, size, modifiedNs);
  return g_cache;
}

}  // namespace

int ReadLanguageLcid(const std::wstring& product) { return ReadLanguageLcid(product, platform::UserSettings()); }

int ReadLanguageLcid(const std::wstring& product, platform::SettingsStore& store) {
  const std::string key = RegistryKey(product);
  switch (store.OpenKey(key)) {
    case platform::SettingsStore::OpenResult::Opened: {
      std::optional<std::string> value = store.ReadValue(key, "LCID");
      return value ? WToI(Utf8ToWideLenient(*value)) : 0;
    }
    case platform::SettingsStore::OpenResult::NotFound:
      return store.CreateKey(key) ? 0 : 2052;
    case platform::SettingsStore::OpenResult::Failed:
      break;
  }
  return 2052;
}

void WriteLanguageLcid(int lcid, const std::wstring& product) {
  WriteLanguageLcid(lcid, product, platform::UserSettings());
}

void WriteLanguageLcid(int lcid, const std::wstring& product, platform::SettingsStore& store) {
  const std::string key = RegistryKey(product);
  if (store.OpenKey(key) != platform::SettingsStore::OpenResult::Opened) return;
  store.WriteValue(key, "LCID", std::to_string(lcid));
}

std::optional<std::wstring> IniFile::Find(const std::wstring& section, const std::wstring& key) const {
  const std::wstring wantedSection = AsciiLower(Trim(section));
  const std::wstring wantedKey = AsciiLower(Trim(key));
  for (const Section& candidate : sections) {
    if (AsciiLower(candidate.name) != wantedSection) continue;
    for (const auto& [name, value] : candidate.entries)
      if (AsciiLower(name) == wantedKey) return value;
  }
  return std::nullopt;
}

namespace {
std::atomic<std::size_t> g_iniParses{0};
std::atomic<std::size_t> g_iniBytesRead{0};
}  // namespace

IniReadCounts GetIniReadCounts() { return IniReadCounts{g_iniParses.load(), g_iniBytesRead.load()}; }

std::optional<IniFile> ReadIniFile(const std::wstring& file) {
  const std::string path = WideToUtf8(file);
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && info.st_size > static_cast<off_t>(kMaxIniFileBytes)) {
    std::fprintf(stderr, "[lang] %s is %lld bytes, over the %zu-byte limit of a text file; it is not read\n",
                 path.c_str(), static_cast<long long>(info.st_size), kMaxIniFileBytes);
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // Read at most one byte past the limit: a file that grew since the check is refused as well.
  std::string bytes(kMaxIniFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<size_t>(in.gcount()));
  g_iniBytesRead += bytes.size();
  if (bytes.size() > kMaxIniFileBytes) {
    std::fprintf(stderr, "[lang] %s is over the %zu-byte limit of a text file; it is not read\n",
                 path.c_str(), kMaxIniFileBytes);
    return std::nullopt;
  }
  ++g_iniParses;
  const std::wstring text = DecodeFile(bytes);

  IniFile ini;
  IniFile::Section* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    // A line ends at LF, CR LF or a lone CR.
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (end < text.size() && text[end] == L'\r' && start < text.size() && text[start] == L'\n') ++start;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      size_t close = line.find(L']');
      if (close == std::wstring::npos) continue;
      ini.sections.push_back({Trim(line.substr(1, close - 1)), {}});
      current = &ini.sections.back();
      continue;
    }
    size_t equals = line.find(L'=');
    if (!current || equals == std::wstring::npos) continue;
    std::wstring value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxTextLength) value.resize(kMaxTextLength);
    current->entries.emplace_back(Trim(line.substr(0, equals)), value);
  }
  return ini;
}

std::wstring ReadIniString(const std::wstring& section, const std::wstring& key, const std::wstring& file) {
  std::optional<IniFile> ini = ReadIniFile(file);
  if (!ini) return {};
  return ini->Find(section, key).value_or(std::wstring());
}

std::wstring* GetLangText(std::wstring* out, int id, const std::wstring& section) {
  if (!out) return out;
  const std::wstring file = GetAppDir() + L"language/" + std::to_wstring(g_languageId.load()) + L".lan";
  const std::shared_ptr<const CachedLanguage> language = LanguageFile(file);
  auto it = language->texts.find(LookupKey(section, std::to_wstring(id)));
  *out = it == language->texts.end() ? std::wstring() : it->second;
  return out;
}
