#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace platform {
namespace {

std::mutex g_overrideLock;
std::string g_appDirOverride;

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// Reads XDG_DOCUMENTS_DIR="..." from a user-dirs.dirs file; "$HOME" is the only expansion the
// format allows.
std::string DocumentsFromUserDirs(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) {
      if (home.empty()) return {};
      value = home + value.substr(5);
    }
    return IsAbsolute(value) ? value : std::string();
  }
  return {};
}

}  // namespace

std::string AppDir() {
  {
    std::lock_guard<std::mutex> guard(g_overrideLock);
    if (!g_appDirOverride.empty()) return g_appDirOverride;
  }
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  std::string exe(buffer, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1);
}

void SetAppDirOverride(const std::string& folder) {
  std::lock_guard<std::mutex> guard(g_overrideLock);
  g_appDirOverride = WithSlash(folder);
}

std::string HomeDir() {
  std::string home = Env("HOME");
  if (IsAbsolute(home) && home != "/") return WithSlash(home);
  if (!home.empty()) return {};
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      IsAbsolute(found->pw_dir) && std::string(found->pw_dir) != "/")
    return WithSlash(found->pw_dir);
  return {};
}

std::string ConfigDir() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (IsAbsolute(config)) return WithSlash(config);
  std::string home = HomeDir();
  return home.empty() ? std::string() : home + ".config/";
}

std::string DocumentsDir() {
  std::string documents = Env("XDG_DOCUMENTS_DIR");
  if (IsAbsolute(documents)) return WithSlash(documents);
  std::string home = HomeDir();
  std::string config = ConfigDir();
  if (!config.empty()) {
    documents = DocumentsFromUserDirs(config + "user-dirs.dirs", home.empty() ? home : home.substr(0, home.size() - 1));
    if (!documents.empty() && documents != "/") return WithSlash(documents);
  }
  return home.empty() ? std::string() : home + "Documents/";
}

std::string RuntimeDir() {
  struct stat info {};
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR");
      dir && dir[0] == '/' && stat(dir, &info) == 0 && S_ISDIR(info.st_mode)) {
    return WithSlash(dir);
  }
  std::string folder = "/tmp/kelvane-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  // Someone else's folder, or a file in the way, must not be used.
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return {};
  return folder + "/";
}

}  // namespace platform
