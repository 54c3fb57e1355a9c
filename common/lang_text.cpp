#include "common/lang_text.h"

#include <fstream>
#include <iterator>

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

std::wstring DecodeFile(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        char32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
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
  std::string_view body(bytes);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  return Utf8ToWideLenient(body);
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

std::optional<IniFile> ReadIniFile(const std::wstring& file) {
  std::ifstream in(WideToUtf8(file), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  const std::wstring text = DecodeFile(bytes);

  IniFile ini;
  IniFile::Section* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
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
  *out = ReadIniString(section, std::to_wstring(id), file);
  return out;
}
