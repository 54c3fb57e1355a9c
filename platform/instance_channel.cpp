#include "platform/instance_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/folders.h"

namespace platform {
namespace {

constexpr std::string_view kPostWord = "post";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    std::uint32_t min = 0, code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) return std::nullopt;  // a raw control byte is never sent
    if (c != '%') {
      out += static_cast<char>(c);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  // One spelling per number: no leading zeros, no "-0". from_chars takes '-' only for signed
  // types and never '+' or spaces.
  if (text.empty() || (text.size() > 1 && text[0] == '0') || text.starts_with("-0")) return std::nullopt;
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> FormatPostRequest(const PostRequest& request) {
  if (request.title.size() > kMaxPostTitleBytes || !IsValidUtf8(request.title)) return std::nullopt;
  std::string line(kPostWord);
  line += '\t';
  for (char ch : request.title) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      line += escaped;
    } else {
      line += ch;
    }
  }
  line += '\t' + std::to_string(request.message) + '\t' + std::to_string(request.wParam) + '\t' +
          std::to_string(request.lParam) + '\n';
  return line;
}

std::optional<PostRequest> ParsePostRequest(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.size() >= kMaxRequestLineBytes) return std::nullopt;
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  if (fields.size() != 5 || fields[0] != kPostWord) return std::nullopt;
  std::optional<std::string> title = Unescape(fields[1]);
  if (!title || title->size() > kMaxPostTitleBytes || !IsValidUtf8(*title)) return std::nullopt;
  const auto message = ParseNumber<std::uint32_t>(fields[2]);
  const auto wParam = ParseNumber<std::uint64_t>(fields[3]);
  const auto lParam = ParseNumber<std::int64_t>(fields[4]);
  if (!message || !wParam || !lParam) return std::nullopt;
  return PostRequest{std::move(*title), *message, *wParam, *lParam};
}

std::string InstanceSocketPath(const std::string& name) {
  const std::string folder = RuntimeDir();
  return folder.empty() ? std::string() : folder + name + ".socket";
}

InstanceChannelClient::InstanceChannelClient(std::string socketPath) : path_(std::move(socketPath)) {}

InstanceChannelClient::~InstanceChannelClient() { Close(); }

bool InstanceChannelClient::Open() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A local connect does not wait: it succeeds, or fails with no listener (ENOENT,
  // ECONNREFUSED) or a full backlog (EAGAIN). Waiting for a busy server is no option here.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceChannelClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int InstanceChannelClient::SendLine(const std::string& line) {
  ssize_t sent;
  do {
    sent = send(fd_, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent == static_cast<ssize_t>(line.size())) return 1;
  return sent > 0 ? -1 : 0;
}

bool InstanceChannelClient::PostToTitledWindow(const std::string& title, std::uint32_t message,
                                               std::uint64_t wParam, std::int64_t lParam) {
  const std::optional<std::string> line = FormatPostRequest(PostRequest{title, message, wParam, lParam});
  if (!line) return false;
  const bool reused = fd_ >= 0;
  if (!reused && !Open()) return false;
  int result = SendLine(*line);
  if (result == 0 && reused) {
    // The server may have gone and come back since the last post: one fresh connection.
    Close();
    if (!Open()) return false;
    result = SendLine(*line);
  }
  if (result == 1) return true;
  // Nothing or a cut line went out: the server drops a line cut by the end of its connection.
  Close();
  return false;
}

}  // namespace platform
