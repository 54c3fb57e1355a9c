// Requests that programs of the same user send to the running Kelvane over the single-instance
// socket, one line of UTF-8 each. Besides "activate" (come to the front) there is one request:
// post a window message to a top-level window found by its title,
//
//   post<TAB><title><TAB><message><TAB><wParam><TAB><lParam><LF>
//
// with the numbers in decimal (lParam may be negative) and the title percent-escaped: '%', every
// byte below 0x20 and 0x7F are written as "%XX" (two upper-case hex digits). The title is valid
// UTF-8 of at most kMaxPostTitleBytes bytes before escaping. No Qt here: the key blocker links it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr size_t kMaxPostTitleBytes = 256;
// The longest request line a server reads, newline included; a longer one is dropped unread.
inline constexpr size_t kMaxRequestLineBytes = 1024;

struct PostRequest {
  std::string title;  // UTF-8, unescaped
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  bool operator==(const PostRequest&) const = default;
};

// The request line for `request`, newline included; nullopt when the title is longer than
// kMaxPostTitleBytes or not valid UTF-8.
std::optional<std::string> FormatPostRequest(const PostRequest& request);

// Reads one request line (with or without its newline). nullopt for anything that is not a
// well-formed post request: another word, a missing or extra field, a bad escape, a title that is
// too long or not UTF-8, a number with a sign, spaces, other characters or out of range.
std::optional<PostRequest> ParsePostRequest(std::string_view line);

// The single-instance socket of the program called `name` in RuntimeDir(); empty when there is
// no runtime folder.
std::string InstanceSocketPath(const std::string& name);

// The sending side, for a process that must never wait for Kelvane (the key blocker). One
// connection is kept: opened at the first post, reopened once when a send on it fails. Connect and
// send never block; a request that cannot be sent whole is dropped and the connection closed.
// Writing to a closed connection raises no SIGPIPE. One thread at a time.
class InstanceChannelClient {
 public:
  explicit InstanceChannelClient(std::string socketPath);
  ~InstanceChannelClient();
  InstanceChannelClient(const InstanceChannelClient&) = delete;
  InstanceChannelClient& operator=(const InstanceChannelClient&) = delete;

  // Sends a post request. True when the whole line was handed to the socket (not that a window
  // got it); false, at once, when no server listens, the title cannot be sent, or the send failed.
  bool PostToTitledWindow(const std::string& title, std::uint32_t message, std::uint64_t wParam,
                          std::int64_t lParam);
  bool Connected() const { return fd_ >= 0; }

 private:
  bool Open();
  void Close();
  // 1: sent whole; 0: nothing sent; -1: part of it sent.
  int SendLine(const std::string& line);

  std::string path_;
  int fd_ = -1;
};

}  // namespace platform
