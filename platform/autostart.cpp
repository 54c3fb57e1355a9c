#include "platform/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/folders.h"

namespace platform {
namespace {

constexpr const char* kEntryName = "varnel-keyboard.desktop";
constexpr const char* kProductName = "Varnel Keyboard";

// True for well-formed UTF-8 without control characters (C0, DEL, C1).
bool IsAcceptableText(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7f) return false;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    unsigned int cp = 0;
    if ((lead & 0xe0) == 0xc0) {
      extra = 1;
      cp = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
      extra = 2;
      cp = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3f);
    }
    static constexpr unsigned int kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
    if (cp >= 0x80 && cp < 0xa0) return false;  // C1 controls
    i += extra + 1;
  }
  return true;
}

void LogFailure(const char* what, const std::string& path) {
  std::fprintf(stderr, "[autostart] %s %s: %s\n", what, path.c_str(), std::strerror(errno));
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

Autostart* g_override = nullptr;

}  // namespace

std::optional<std::string> DesktopExecValue(const std::string& exePath) {
  if (!IsAcceptableText(exePath)) return std::nullopt;
  std::string quoted = "\"";
  for (char c : exePath) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\')
      value += "\\\\";
    else if (c == '%')
      value += "%%";
    else
      value += c;
  }
  return value;
}

XdgAutostart::XdgAutostart(std::string displayName) : displayName_(std::move(displayName)) {}

std::string XdgAutostart::EntryPath() {
  const std::string config = ConfigDir();
  if (config.empty()) return "";
  return config + "autostart/" + kEntryName;
}

bool XdgAutostart::IsEnabled() const {
  const std::string path = EntryPath();
  if (path.empty()) return false;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return access(path.c_str(), R_OK) == 0;
}

bool XdgAutostart::Enable(const std::string& exePath) {
  const std::string path = EntryPath();
  if (path.empty()) return false;
  const std::optional<std::string> exec = DesktopExecValue(exePath);
  if (!exec || !IsAcceptableText(displayName_)) return false;

  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    std::fprintf(stderr, "[autostart] cannot make %s\n", folder.c_str());
    return false;
  }

  const std::string body = "[Desktop Entry]\nType=Application\nName=" + displayName_ + "\nExec=" + *exec + "\n";
  std::string temp = folder + ".varnel-keyboard.desktop.XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    LogFailure("cannot create a file in", folder);
    return false;
  }
  const bool written = WriteAll(fd, body) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    LogFailure("cannot write", path);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool XdgAutostart::Disable() {
  const std::string path = EntryPath();
  if (path.empty()) return false;
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  LogFailure("cannot remove", path);
  return false;
}

bool FakeAutostart::Enable(const std::string& path) {
  ++enableCalls;
  if (failEnable) return false;
  enabled = true;
  exePath = path;
  return true;
}

bool FakeAutostart::Disable() {
  ++disableCalls;
  if (failDisable) return false;
  enabled = false;
  return true;
}

Autostart& CurrentAutostart() {
  static XdgAutostart system(kProductName);
  return g_override ? *g_override : system;
}

void SetAutostart(Autostart* autostart) { g_override = autostart; }

}  // namespace platform
