#include "platform/settings_store.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/folders.h"

namespace platform {
namespace {

const char kSection[] = "[Settings]";

std::string LastComponent(const std::string& key) {
  size_t cut = key.find_last_of("\\/");
  return cut == std::string::npos ? key : key.substr(cut + 1);
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

bool ReadLines(const std::string& file, std::vector<std::string>& lines) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return !in.bad();
}

// Writes the whole file next to itself and renames it into place, so a failed write never leaves
// half a file behind.
bool WriteLines(const std::string& file, const std::vector<std::string>& lines) {
  std::string temp = file + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::atomic<SettingsStore*> g_override{nullptr};

}  // namespace

IniSettingsStore::IniSettingsStore(std::string root) : root_(std::move(root)) {
  if (!root_.empty() && root_.back() != '/') root_ += '/';
}

std::string IniSettingsStore::FileOf(const std::string& key) const {
  if (root_.empty()) return {};
  return root_ + LastComponent(key) + "/settings.ini";
}

SettingsStore::OpenResult IniSettingsStore::OpenKey(const std::string& key) {
  std::string file = FileOf(key);
  if (file.empty()) return OpenResult::Failed;
  if (access(file.c_str(), R_OK | W_OK) == 0) return OpenResult::Opened;
  return errno == ENOENT ? OpenResult::NotFound : OpenResult::Failed;
}

bool IniSettingsStore::CreateKey(const std::string& key) {
  std::string file = FileOf(key);
  if (file.empty()) return false;
  if (access(file.c_str(), F_OK) == 0) return true;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
  if (error) return false;
  return WriteLines(file, {kSection});
}

std::optional<std::string> IniSettingsStore::ReadValue(const std::string& key, const std::string& name) {
  std::vector<std::string> lines;
  if (!ReadLines(FileOf(key), lines)) return std::nullopt;
  bool inSection = false;
  for (const std::string& raw : lines) {
    std::string line = Trim(raw);
    if (!line.empty() && line.front() == '[') {
      inSection = line == kSection;
      continue;
    }
    size_t equals = line.find('=');
    if (inSection && equals != std::string::npos && Trim(line.substr(0, equals)) == name)
      return Trim(line.substr(equals + 1));
  }
  return std::nullopt;
}

bool IniSettingsStore::WriteValue(const std::string& key, const std::string& name, const std::string& value) {
  if (OpenKey(key) != OpenResult::Opened) return false;
  std::vector<std::string> lines;
  if (!ReadLines(FileOf(key), lines)) return false;
  bool inSection = false;
  bool written = false;
  std::vector<std::string> out;
  for (const std::string& raw : lines) {
    std::string line = Trim(raw);
    if (!line.empty() && line.front() == '[') {
      if (inSection && !written) {
        out.push_back(name + "=" + value);
        written = true;
      }
      inSection = line == kSection;
    } else if (inSection && !written) {
      size_t equals = line.find('=');
      if (equals != std::string::npos && Trim(line.substr(0, equals)) == name) {
        out.push_back(name + "=" + value);
        written = true;
        continue;
      }
    }
    out.push_back(raw);
  }
  if (!written) {
    if (!inSection) out.push_back(kSection);
    out.push_back(name + "=" + value);
  }
  return WriteLines(FileOf(key), out);
}

SettingsStore& UserSettings() {
  if (SettingsStore* store = g_override.load()) return *store;
  static IniSettingsStore userStore(ConfigDir());
  return userStore;
}

void SetUserSettingsOverride(SettingsStore* store) { g_override.store(store); }

SettingsStore::OpenResult MemorySettingsStore::OpenKey(const std::string& key) {
  if (openFails) return OpenResult::Failed;
  return keys.count(key) ? OpenResult::Opened : OpenResult::NotFound;
}

bool MemorySettingsStore::CreateKey(const std::string& key) {
  ++createCalls;
  if (createFails) return false;
  keys[key];
  return true;
}

std::optional<std::string> MemorySettingsStore::ReadValue(const std::string& key, const std::string& name) {
  if (readFails) return std::nullopt;
  auto found = keys.find(key);
  if (found == keys.end()) return std::nullopt;
  auto value = found->second.find(name);
  if (value == found->second.end()) return std::nullopt;
  return value->second;
}

bool MemorySettingsStore::WriteValue(const std::string& key, const std::string& name, const std::string& value) {
  ++writeCalls;
  auto found = keys.find(key);
  if (openFails || found == keys.end()) return false;
  found->second[name] = value;
  return true;
}

}  // namespace platform
