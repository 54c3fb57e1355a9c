// The request lines of the single-instance socket, and the client that never waits for the
// server.
#include "platform/instance_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "support/temp_dir.h"

namespace {

using platform::FormatPostRequest;
using platform::ParsePostRequest;
using platform::PostRequest;

TEST(InstanceChannelTest, PostRequestsReadBackAsWritten) {
  const PostRequest requests[] = {
      {"CustomKeyDlg", 5689, 0x5B, 0},
      {"", 0, 0, -1},
      {"100% \t tab\nline\x7f", 4294967295u, 18446744073709551615ull, -9223372036854775807ll - 1},
      {"键盘 Ωμέγα", 1, 2, 3},
      {std::string(256, 'x'), 7, 8, 9},
  };
  for (const PostRequest& request : requests) {
    const auto line = FormatPostRequest(request);
    ASSERT_TRUE(line) << request.title;
    EXPECT_EQ(line->back(), '\n');
    EXPECT_EQ(line->find('\n'), line->size() - 1) << "one line";
    EXPECT_EQ(ParsePostRequest(*line), request) << *line;
  }
  EXPECT_EQ(*FormatPostRequest({"A%B\tC", 5689, 92, 0}), "post\tA%25B%09C\t5689\t92\t0\n");
  EXPECT_EQ(ParsePostRequest("post\tCustomKeyDlg\t5689\t91\t0"), (PostRequest{"CustomKeyDlg", 5689, 91, 0}))
      << "the newline is optional";
  EXPECT_FALSE(FormatPostRequest({std::string(257, 'x'), 1, 1, 1})) << "title too long";
  EXPECT_FALSE(FormatPostRequest({"\xff\xfe", 1, 1, 1})) << "not UTF-8";
}

TEST(InstanceChannelTest, MalformedLinesAreRefused) {
  const std::string bad[] = {
      "",
      "activate",
      "post",
      "post\tT\t1\t2",
      "post\tT\t1\t2\t3\t4",
      "POST\tT\t1\t2\t3",
      "post T 1 2 3",
      "post\tT\t+1\t2\t3",
      "post\tT\t 1\t2\t3",
      "post\tT\t1 \t2\t3",
      "post\tT\t01\t2\t3",
      "post\tT\t-1\t2\t3",
      "post\tT\t1\t-2\t3",
      "post\tT\t1\t2\t-0",
      "post\tT\t4294967296\t2\t3",
      "post\tT\t1\t18446744073709551616\t3",
      "post\tT\t1\t2\t9223372036854775808",
      "post\tT\t0x10\t2\t3",
      "post\tT\t\t2\t3",
      "post\tT%\t1\t2\t3",
      "post\tT%4\t1\t2\t3",
      "post\tT%G0\t1\t2\t3",
      "post\tT\r\t1\t2\t3",
      "post\t\xc3\x28\t1\t2\t3",
      "post\t%C3%28\t1\t2\t3",
      "post\t\xed\xa0\x80\t1\t2\t3",
      "post\t\xc0\xaf\t1\t2\t3",
      "post\t" + std::string(257, 'x') + "\t1\t2\t3",
      "post\t" + std::string(300, 'x') + "\t1\t2\t3\n",
  };
  for (const std::string& line : bad) EXPECT_FALSE(ParsePostRequest(line)) << line;
}

// A listening socket in a temporary folder that reads what one connection at a time sends.
class PlainServer {
 public:
  explicit PlainServer(const std::string& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 4), 0);
  }
  ~PlainServer() {
    if (peer_ >= 0) close(peer_);
    close(fd_);
    unlink(path_.c_str());
  }
  // Accepts a connection (bounded) and reads until `bytes` arrived or the wait ends.
  std::string Read(size_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string got;
    while (got.size() < bytes && std::chrono::steady_clock::now() < deadline) {
      if (peer_ < 0) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) peer_ = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        continue;
      }
      pollfd p{peer_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(peer_, buffer, sizeof buffer);
      if (n <= 0) {
        close(peer_);
        peer_ = -1;
        continue;
      }
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  void DropConnection() {
    if (peer_ >= 0) close(peer_);
    peer_ = -1;
  }

 private:
  std::string path_;
  int fd_ = -1;
  int peer_ = -1;
};

TEST(InstanceChannelTest, TheClientKeepsOneConnectionAndReopensItOnce) {
  testing_support::TempDir dir;
  const std::string path = dir.path() + "Varnel Keyboard.socket";
  platform::InstanceChannelClient client(path);

  // No server: each post fails at its connect, which does not wait on a local socket.
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(client.PostToTitledWindow("CustomKeyDlg", 5689, 0x5B, 0));
  EXPECT_FALSE(client.Connected());

  const std::string first = *FormatPostRequest({"CustomKeyDlg", 5689, 0x5B, 0});
  const std::string second = *FormatPostRequest({"CustomKeyDlg", 5689, 0x5C, 0});
  {
    PlainServer server(path);
    EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", 5689, 0x5B, 0))
        << "a server started later is found";
    EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", 5689, 0x5C, 0));
    EXPECT_EQ(server.Read(first.size() + second.size()), first + second) << "one connection, in order";
    EXPECT_FALSE(client.PostToTitledWindow(std::string(300, 'x'), 5689, 0x5B, 0)) << "title too long";
    EXPECT_TRUE(client.Connected()) << "an unsendable title keeps the connection";

    server.DropConnection();
    EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", 5689, 0x5C, 0))
        << "reopened after the server closed it";
    EXPECT_EQ(server.Read(second.size()), second);
  }
  EXPECT_FALSE(client.PostToTitledWindow("CustomKeyDlg", 5689, 0x5B, 0)) << "the server is gone";
  EXPECT_FALSE(client.Connected());
}

}  // namespace
