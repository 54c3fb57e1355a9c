// Posts from other programs over the single-instance socket: the guard's server reads them line
// by line and start-up lets through only a Windows key for the front-most window with the title.
#include "platform/instance_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/qt/single_instance.h"
#include "shell/startup.h"
#include "shell/window_messages.h"
#include "tests/support/temp_dir.h"
#include "zuvi/dialog.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"

using platform::SingleInstanceGuard;
using zuvi_testing::Driver;

namespace {

class MessageLog : public MDialog {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> winKeys;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WIN_KEY) winKeys.emplace_back(wParam, lParam);
    return MDialog::OnWindowMessage(message, wParam, lParam);
  }
};

// A connection of a plain client that writes `bytes` and stays open until the end of the scope.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RawClient() { close(fd_); }
  void Send(const std::string& bytes) {
    EXPECT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  // True once the server has closed the connection (nothing more to read, end of stream).
  bool Closed() {
    char byte;
    return recv(fd_, &byte, 1, MSG_DONTWAIT) == 0;
  }

 private:
  int fd_ = -1;
};

std::string Post(const std::string& title, unsigned message, unsigned long long wParam, long long lParam) {
  return *platform::FormatPostRequest({title, message, wParam, lParam});
}

class InstanceChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guard.SetPostHandler([this](const platform::PostRequest& request) {
      ++requests;
      DeliverPostRequest(request);
    });
    ASSERT_EQ(guard.Acquire([this] { ++activations; }), SingleInstanceGuard::Result::First);
    ASSERT_TRUE(owner.Create(nullptr, L"Varnel Keyboard", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}));
    ASSERT_TRUE(
        dialog.Create(owner.GetSafeHwnd(), L"CustomKeyDlg", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}));
  }
  void WaitForRequests(int count) {
    Driver::RunUntil([&] { return requests >= count; }, 5000);
    Driver::RunFor(50);  // queued posts are delivered
  }
  using Keys = std::vector<std::pair<WPARAM, LPARAM>>;

  Driver driver;
  testing_support::TempDir dir;
  const std::string path = dir.path() + "Varnel Keyboard.socket";
  SingleInstanceGuard guard{"Varnel Keyboard", dir.path()};
  int requests = 0;
  int activations = 0;
  MessageLog owner, dialog;
};

TEST_F(InstanceChannelTest, AWindowsKeyReachesTheFrontMostWindowWithTheTitleInOrder) {
  platform::InstanceChannelClient client(path);
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5B, 0));
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5C, 0));
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5B, 0));
  WaitForRequests(3);
  EXPECT_EQ(dialog.winKeys, (Keys{{0x5B, 0}, {0x5C, 0}, {0x5B, 0}})) << "many requests on one connection";

  MessageLog update;  // the update dialog has the same title
  ASSERT_TRUE(update.Create(owner.GetSafeHwnd(), L"CustomKeyDlg", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}));
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5C, 0));
  WaitForRequests(4);
  EXPECT_EQ(update.winKeys, (Keys{{0x5C, 0}})) << "the front one only";
  dialog.BringToFront();
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5B, 0));
  WaitForRequests(5);
  EXPECT_EQ(dialog.winKeys.size(), 4u) << "activation brought it back to the front";
  EXPECT_EQ(update.winKeys.size(), 1u);
  update.DestroyWindow();
  dialog.DestroyWindow();
  EXPECT_TRUE(client.PostToTitledWindow("CustomKeyDlg", WM_WIN_KEY, 0x5B, 0));
  WaitForRequests(6);
  EXPECT_TRUE(owner.winKeys.empty()) << "no window with the title: nothing";
}

TEST_F(InstanceChannelTest, OtherPostsAndBadLinesAreDroppedAndTheServerServesOn) {
  {
    RawClient raw(path);
    raw.Send(Post("CustomKeyDlg", WM_WIN_KEY + 1, 0x5B, 0));
    raw.Send(Post("CustomKeyDlg", WM_WIN_KEY, 0x41, 0));
    raw.Send(Post("CustomKeyDlg", WM_WIN_KEY, 0x5B, 1));
    raw.Send(Post("CustomKeyDlg", WM_WIN_KEY, 0x5B, -1));
    raw.Send(Post("Varnel Keyboard", WM_APP_QUIT, 0, kQuitRequestKey));
    raw.Send("post\tCustomKeyDlg\t5689\t91\n");
    raw.Send("post\tCustomKeyDlg\t5689\t0x5B\t0\n");
    raw.Send("hello\n");
    raw.Send("post\t" + std::string(2000, 'x') + "\t5689\t91\t0\n");
    raw.Send(Post("CustomKeyDlg", WM_WIN_KEY, 0x5C, 0));  // the connection still works
    WaitForRequests(6);
  }
  EXPECT_EQ(requests, 6) << "well-formed posts reach the handler, which refuses five";
  EXPECT_EQ(dialog.winKeys, (Keys{{0x5C, 0}}));
  EXPECT_TRUE(owner.winKeys.empty());
  EXPECT_FALSE(Manager::QuitRequested());

  {
    RawClient raw(path);
    raw.Send("post\tCustomKeyDlg\t5689\t92");  // cut off by the end of the connection
  }
  Driver::RunFor(100);
  RawClient next(path);
  next.Send("activate\n");
  next.Send(Post("CustomKeyDlg", WM_WIN_KEY, 0x5B, 0));
  WaitForRequests(7);
  EXPECT_EQ(activations, 1) << "\"activate\" still brings the program forward";
  EXPECT_EQ(dialog.winKeys, (Keys{{0x5C, 0}, {0x5B, 0}})) << "the cut line posted nothing";
}

TEST_F(InstanceChannelTest, ConnectionsAreCappedAndIdleOrFloodingOnesAreClosed) {
  std::vector<std::unique_ptr<RawClient>> held;
  for (int i = 0; i < 40; ++i) held.push_back(std::make_unique<RawClient>(path));
  EXPECT_TRUE(Driver::RunUntil(
      [&] { return std::count_if(held.begin(), held.end(), [](auto& c) { return c->Closed(); }) == 24; },
      5000));
  EXPECT_EQ(guard.ConnectionCount(), SingleInstanceGuard::kMaxConnections);
  held.clear();
  EXPECT_TRUE(Driver::RunUntil([&] { return guard.ConnectionCount() == 0; }, 5000));

  // With an idle limit of an hour only the long line can close the flooding peer.
  guard.SetIdleLimit(3600 * 1000);
  RawClient flooding(path);
  flooding.Send(std::string(SingleInstanceGuard::kMaxPeerLineBytes + 1, 'x'));
  EXPECT_TRUE(Driver::RunUntil([&] { return flooding.Closed(); }, 10000)) << "closed for its line";
  guard.SetIdleLimit(100);
  RawClient idle(path);
  EXPECT_TRUE(Driver::RunUntil([&] { return idle.Closed(); }, 5000)) << "nothing sent for the idle limit";
  EXPECT_TRUE(Driver::RunUntil([&] { return guard.ConnectionCount() == 0; }, 5000));
  guard.SetIdleLimit(SingleInstanceGuard::kIdleLimitMs);
  RawClient next(path);
  next.Send("activate\n");
  EXPECT_TRUE(Driver::RunUntil([&] { return activations == 1; }, 5000)) << "the server serves on";
}

TEST_F(InstanceChannelTest, ALostSocketIsMadeAgain) {
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_TRUE(Driver::RunUntil([&] { return access(path.c_str(), F_OK) == 0; }, 10000));
  RawClient client(path);
  client.Send("activate\n");
  EXPECT_TRUE(Driver::RunUntil([&] { return activations == 1; }, 5000));
}

}  // namespace
