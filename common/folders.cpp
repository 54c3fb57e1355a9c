#include "common/folders.h"

#include <algorithm>
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

bool DeleteDirectoryTree(const wchar_t* path, const std::wstring& within) {
  if (!path || !*path || within.empty()) return false;
  // Without its trailing '/' the path names the entry itself, so a link is seen as a link.
  std::string text = WideToUtf8(path);
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  const fs::path target = fs::path(text).lexically_normal();
  std::error_code error;
  if (target.relative_path().empty() || !target.has_filename() || target.filename() == "." ||
      target.filename() == "..")
    return false;
  if (!fs::exists(fs::symlink_status(target, error))) return false;
  // Where the entry really lies: its parent with every link resolved, then its own name.
  const fs::path parent =
      fs::canonical(target.parent_path().empty() ? fs::path(".") : target.parent_path(), error);
  if (error) return false;
  const fs::path root = fs::canonical(fs::path(WideToUtf8(within)), error);
  if (error) return false;
  const fs::path resolved = parent / target.filename();
  const auto [rootEnd, at] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
  if (rootEnd != root.end() || at == resolved.end()) return false;  // outside, or the folder itself
  fs::remove_all(target, error);  // a link itself, or a tree whose links are removed as links
  return !error && !fs::exists(fs::symlink_status(target, error));
}
