#include "common/folders.h"

#include <filesystem>
#include <iostream>

#include "common/strings.h"
#include "platform/folders.h"

namespace fs = std::filesystem;

std::wstring GetProductName() { return L"Varnel Keyboard"; }

std::wstring GetAppDir() { return Utf8ToWideLenient(platform::AppDir()); }

std::wstring GetUserDataFolder() {
  std::string documents = platform::DocumentsDir();
  if (documents.empty()) {
    std::cerr << "kelvane: no home folder, so there is no working folder for the user's files\n";
    return {};
  }
  return Utf8ToWideLenient(documents) + GetProductName() + L" Files/";
}

bool CreateDirectoryRecursive(const wchar_t* path) {
  if (!path || !*path) return false;
  const std::string target = WideToUtf8(path);
  std::error_code error;
  if (fs::is_directory(target, error)) return true;
  // Every parent named before a '/', from the top down; the text before the first '/' (the root)
  // is never created. Failures here show in the final check.
  size_t slash = target.find('/');
  while (slash != std::string::npos) {
    size_t next = target.find('/', slash + 1);
    if (next == std::string::npos) break;
    if (next > slash + 1) fs::create_directory(target.substr(0, next), error);
    slash = next;
  }
  fs::create_directory(target, error);
  return fs::is_directory(target, error);
}

bool DeleteDirectoryTree(const wchar_t* path) {
  if (!path || !*path) return false;
  const fs::path target(WideToUtf8(path));
  std::error_code error;
  if (target.relative_path().empty() || target.lexically_normal() == target.root_path()) return false;
  if (!fs::exists(fs::symlink_status(target, error))) return false;
  fs::remove_all(target, error);
  return !error && !fs::exists(fs::symlink_status(target, error));
}
