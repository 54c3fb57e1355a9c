#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

std::string BaseName(std::string path) {
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The state letter of /proc/<pid>/stat, found after the last ')' (the name may hold parentheses).
char StateOf(const std::string& folder) {
  std::ifstream in(folder + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return '?';
  return stat[close + 2];
}

std::string ExeNameOf(const std::string& folder) {
  char buffer[4096];
  ssize_t length = readlink((folder + "/exe").c_str(), buffer, sizeof buffer - 1);
  if (length > 0) return BaseName(std::string(buffer, static_cast<size_t>(length)));
  std::ifstream in(folder + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  return BaseName(first);
}

}  // namespace

std::optional<std::vector<ProcessInfo>> ListProcesses() {
  DIR* proc = opendir("/proc");
  if (!proc) return std::nullopt;
  const int self = getpid();
  std::vector<ProcessInfo> list;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    std::string folder = std::string("/proc/") + entry->d_name;
    char state = StateOf(folder);
    if (state == 'Z' || state == 'X' || state == '?') continue;
    std::string name = ExeNameOf(folder);
    if (!name.empty()) list.push_back({static_cast<int>(pid), name});
  }
  closedir(proc);
  std::sort(list.begin(), list.end(), [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
  return list;
}

bool TerminateProcess(int pid) {
  if (pid <= 0 || pid == getpid()) return false;
  return kill(pid, SIGKILL) == 0;
}

}  // namespace platform
