#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

std::string BaseName(std::string path) {
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() &&
      path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The bytes of a small /proc file; empty when it cannot be read. A process can end between the
// listing and the read, which makes the read fail (ESRCH): plain system calls report that as a
// short read, where a stream would throw.
std::string ReadProcFile(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  close(fd);
  return bytes;
}

// The state letter of /proc/<pid>/stat, found after the last ')' (the name may hold parentheses).
char StateOf(const std::string& folder) {
  const std::string stat = ReadProcFile(folder + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return '?';
  return stat[close + 2];
}

std::string ExeNameOf(const std::string& folder) {
  char buffer[4096];
  ssize_t length = readlink((folder + "/exe").c_str(), buffer, sizeof buffer - 1);
  if (length > 0) return BaseName(std::string(buffer, static_cast<size_t>(length)));
  const std::string cmdline = ReadProcFile(folder + "/cmdline");
  return BaseName(cmdline.substr(0, cmdline.find('\0')));
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
  std::sort(list.begin(), list.end(),
            [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
  return list;
}

bool TerminateProcess(int pid) {
  if (pid <= 0 || pid == getpid()) return false;
  return kill(pid, SIGKILL) == 0;
}

}  // namespace platform
