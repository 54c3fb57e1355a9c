#include "platform/launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

namespace platform {

bool OpenPathOrProgram(const std::string& path) {
  if (path.empty()) {
    std::fprintf(stderr, "[open] no program named\n");
    return false;
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    std::fprintf(stderr, "[open] cannot open \"%s\": %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  if (S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0) {
    // Without a '/' the start would search PATH instead of taking this file.
    const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
    std::string error;
    if (!StartProgram({program}, &error)) {
      std::fprintf(stderr, "[open] %s\n", error.c_str());
      return false;
    }
    return true;
  }
  return CurrentDesktopOpener().Open(path);
}

}  // namespace platform
