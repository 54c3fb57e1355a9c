// The built halvorn against a private Xvfb: XTest plays the user's keyboard, a mapped and focused
// window reads its key events as any program would, and a recording server in a temporary
// runtime folder takes the place of Kelvane's single-instance socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/instance_channel.h"
#include "support/temp_dir.h"
#include "support/xvfb_server.h"

// Xlib's macros clash with names in the test framework: last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Kelvane's socket as halvorn sees it: every line received, in order, over any connection.
class RecordingServer {
 public:
  explicit RecordingServer(const std::string& folder) : path_(folder + "Varnel Keyboard.socket") {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 4), 0);
    thread_ = std::thread([this] { Run(); });
  }
  ~RecordingServer() {
    stop_ = true;
    thread_.join();
    for (int peer : peers_) close(peer);
    close(fd_);
    unlink(path_.c_str());
  }
  std::vector<std::string> Lines() {
    std::lock_guard guard(lock_);
    return lines_;
  }
  // Waits (bounded) for `count` lines, then briefly for any extra one.
  std::vector<std::string> WaitFor(size_t count) {
    WaitUntil([&] { return Lines().size() >= count; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return Lines();
  }

 private:
  void Run() {
    std::vector<std::string> partial;
    while (!stop_) {
      std::vector<pollfd> fds{{fd_, POLLIN, 0}};
      for (int peer : peers_) fds.push_back({peer, POLLIN, 0});
      if (poll(fds.data(), fds.size(), 20) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        peers_.push_back(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
        partial.emplace_back();
      }
      for (size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[1024];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        std::string& text = partial[i - 1];
        text.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
          std::lock_guard guard(lock_);
          lines_.push_back(text.substr(0, end + 1));
        }
      }
    }
  }

  std::string path_;
  int fd_ = -1;
  std::vector<int> peers_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::string> lines_;
};

// A started halvorn with its standard output and error read through pipes.
class Halvorn {
 public:
  Halvorn(const std::string& display, const std::string& runtimeDir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("XDG_RUNTIME_DIR=", 0) != 0) env.push_back(entry);
    }
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    char arg0[] = KELVANE_HALVORN;
    char* argv[] = {arg0, nullptr};
    if (posix_spawn(&pid_, KELVANE_HALVORN, &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Halvorn() {
    if (pid_ > 0 && !exitCode_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
  }
  pid_t Pid() const { return pid_; }
  // Reads standard output until `line` appeared (bounded).
  bool WaitForOutput(const std::string& line) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (output_.find(line) == std::string::npos && Clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output_.append(buffer, static_cast<size_t>(n));
    }
    return output_.find(line) != std::string::npos;
  }
  // The exit code once it ended (bounded wait); nullopt when it still runs or died of a signal.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    int status = 0;
    if (WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit) && WIFEXITED(status))
      exitCode_ = WEXITSTATUS(status);
    return exitCode_;
  }
  std::string Errors() {
    std::string text;
    char buffer[512];
    for (pollfd p{err_, POLLIN, 0}; poll(&p, 1, 0) > 0;) {
      const ssize_t n = read(err_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  std::string output_;
  std::optional<int> exitCode_;
};

// A process that ended: gone, or a zombie its new parent has not reaped yet.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t close = text.rfind(')');
  return close == std::string::npos || text.compare(close + 1, 3, " Z ") == 0;
}

std::string Post(unsigned vk) { return *platform::FormatPostRequest({"CustomKeyDlg", 0x1639, vk, 0}); }

class HalvornTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xvfb_.Running()) GTEST_SKIP() << "no private X server: " << xvfb_.Error();
    x_ = XOpenDisplay(xvfb_.Display().c_str());
    ASSERT_NE(x_, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(x_, &event, &error, &major, &minor));
    superL_ = XKeysymToKeycode(x_, XK_Super_L);
    superR_ = XKeysymToKeycode(x_, XK_Super_R);
    letterA_ = XKeysymToKeycode(x_, XK_a);
    ASSERT_NE(superL_, 0);
    ASSERT_NE(superR_, 0);
    window_ = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(x_, window_, KeyPressMask | KeyReleaseMask);
    XMapWindow(x_, window_);
    XSync(x_, False);
    XSetInputFocus(x_, window_, RevertToParent, CurrentTime);
    XSync(x_, False);
  }
  void TearDown() override {
    if (x_) XCloseDisplay(x_);
  }
  void Key(unsigned keycode, bool press) {
    XTestFakeKeyEvent(x_, keycode, press, CurrentTime);
    XSync(x_, False);
  }
  void Tap(unsigned keycode) {
    Key(keycode, true);
    Key(keycode, false);
  }
  struct KeyEvent {
    bool press = false;
    unsigned keycode = 0;
    bool operator==(const KeyEvent&) const = default;
  };
  // Taps `marker` and reads the focused window's key events up to and including its release
  // (bounded): what arrived before it arrived in order, so nothing else is on its way.
  std::vector<KeyEvent> EventsUpTo(unsigned marker) {
    Tap(marker);
    std::vector<KeyEvent> events;
    WaitUntil([&] {
      XSync(x_, False);
      while (XPending(x_) > 0) {
        XEvent event;
        XNextEvent(x_, &event);
        if (event.type == KeyPress || event.type == KeyRelease)
          events.push_back(KeyEvent{event.type == KeyPress, event.xkey.keycode});
      }
      return !events.empty() && events.back() == KeyEvent{false, marker};
    });
    return events;
  }
  // The same, the presses only.
  std::vector<unsigned> PressesUpTo(unsigned marker) {
    std::vector<unsigned> presses;
    for (const KeyEvent& event : EventsUpTo(marker))
      if (event.press) presses.push_back(event.keycode);
    return presses;
  }

  testing_support::XvfbServer xvfb_;
  testing_support::TempDir runtime_;
  Display* x_ = nullptr;
  Window window_ = 0;
  unsigned superL_ = 0, superR_ = 0, letterA_ = 0;
};

TEST_F(HalvornTest, SuperKeysArePostedAndSwallowedOtherKeysPass) {
  RecordingServer server(runtime_.path());
  Halvorn halvorn(xvfb_.Display(), runtime_.path());
  ASSERT_TRUE(halvorn.WaitForOutput("halvorn: blocking\n")) << halvorn.Errors();

  const unsigned letterB = XKeysymToKeycode(x_, XK_b), shift = XKeysymToKeycode(x_, XK_Shift_L);
  const unsigned ret = XKeysymToKeycode(x_, XK_Return), alt = XKeysymToKeycode(x_, XK_Alt_L);
  const unsigned tab = XKeysymToKeycode(x_, XK_Tab), ctrl = XKeysymToKeycode(x_, XK_Control_L);
  Tap(letterA_);
  Tap(ret);
  Key(alt, true);
  Tap(tab);
  Key(alt, false);
  EXPECT_EQ(PressesUpTo(letterB), (std::vector<unsigned>{letterA_, ret, alt, tab, letterB}))
      << "ordinary keys and Alt+Tab reach the focused window";

  Tap(superL_);
  Tap(superR_);
  Key(shift, true);
  Tap(superL_);
  Key(shift, false);
  Key(ctrl, true);
  Tap(superR_);
  Key(ctrl, false);
  // Keys pressed while Super is held belong to halvorn's grab: they reach no one.
  Key(superL_, true);
  Tap(letterA_);
  Key(superL_, false);
  EXPECT_EQ(PressesUpTo(letterB), (std::vector<unsigned>{shift, ctrl, letterB})) << "Super never arrives";
  const std::vector<std::string> expected = {Post(0x5B), Post(0x5B), Post(0x5C), Post(0x5C), Post(0x5B),
                                             Post(0x5B), Post(0x5C), Post(0x5C), Post(0x5B), Post(0x5B)};
  EXPECT_EQ(server.WaitFor(expected.size()), expected)
      << "a press and a release each, nothing for other keys";
}

// Both Super keys in every order of their presses and releases, and a hold that passes from one
// key to the other and back with an ordinary key typed meanwhile: each Super event is posted once,
// none reaches the focused window, the ordinary key is held back, and the next key arrives.
TEST_F(HalvornTest, EveryOrderOfBothSuperKeysIsPostedOnceAndSwallowed) {
  RecordingServer server(runtime_.path());
  Halvorn halvorn(xvfb_.Display(), runtime_.path());
  ASSERT_TRUE(halvorn.WaitForOutput("halvorn: blocking\n")) << halvorn.Errors();
  const unsigned L = superL_, R = superR_, a = letterA_, letterB = XKeysymToKeycode(x_, XK_b);
  const std::vector<std::vector<KeyEvent>> orders = {
      {{true, L}, {false, L}, {true, R}, {false, R}},
      {{true, L}, {true, R}, {false, L}, {false, R}},
      {{true, L}, {true, R}, {false, R}, {false, L}},
      {{true, R}, {false, R}, {true, L}, {false, L}},
      {{true, R}, {true, L}, {false, R}, {false, L}},
      {{true, R}, {true, L}, {false, L}, {false, R}},
      {{true, L}, {true, R}, {false, L}, {true, a}, {false, a}, {true, L}, {false, R}, {false, L}},
  };
  std::vector<std::string> expected;
  for (size_t i = 0; i < orders.size(); ++i) {
    SCOPED_TRACE("order " + std::to_string(i));
    for (const KeyEvent& step : orders[i]) {
      Key(step.keycode, step.press);
      if (step.keycode != a) expected.push_back(Post(step.keycode == L ? 0x5B : 0x5C));
    }
    EXPECT_EQ(EventsUpTo(letterB), (std::vector<KeyEvent>{{true, letterB}, {false, letterB}}));
    EXPECT_EQ(server.WaitFor(expected.size()), expected);
  }
}

TEST_F(HalvornTest, WithoutAServerTheKeysAreSwallowedAndALaterServerIsFound) {
  Halvorn halvorn(xvfb_.Display(), runtime_.path());
  ASSERT_TRUE(halvorn.WaitForOutput("halvorn: blocking\n")) << halvorn.Errors();
  Tap(superL_);
  EXPECT_EQ(PressesUpTo(letterA_), std::vector<unsigned>{letterA_});
  // halvorn reads its events on its own time: give it a moment to meet the missing server, or the
  // server started next would take these posts.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    RecordingServer server(runtime_.path());
    Tap(superR_);
    EXPECT_EQ(server.WaitFor(2), (std::vector<std::string>{Post(0x5C), Post(0x5C)}));
  }
  Tap(superL_);  // the server closed: halvorn carries on
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RecordingServer again(runtime_.path());
  Tap(superL_);
  EXPECT_EQ(again.WaitFor(2), (std::vector<std::string>{Post(0x5B), Post(0x5B)}));
  EXPECT_EQ(PressesUpTo(letterA_), std::vector<unsigned>{letterA_});
  EXPECT_EQ(halvorn.WaitForExit(std::chrono::milliseconds(50)), std::nullopt) << "still running";

  kill(halvorn.Pid(), SIGKILL);
  halvorn.WaitForExit();
  // The server dropped the grabs of the ended client: Super reaches the window again.
  EXPECT_EQ(PressesUpTo(letterA_), std::vector<unsigned>{letterA_});
  Tap(superL_);
  EXPECT_EQ(PressesUpTo(letterA_), (std::vector<unsigned>{superL_, letterA_}));
}

TEST_F(HalvornTest, ASuperKeyHeldByAnotherClientEndsItWithTwo) {
  XGrabKey(x_, static_cast<int>(superL_), AnyModifier, DefaultRootWindow(x_), False, GrabModeAsync,
           GrabModeAsync);
  XSync(x_, False);
  Halvorn halvorn(xvfb_.Display(), runtime_.path());
  EXPECT_EQ(halvorn.WaitForExit(), 2);
  const std::string errors = halvorn.Errors();
  EXPECT_NE(errors.find("another program holds a Super key"), std::string::npos) << errors;
  XUngrabKey(x_, static_cast<int>(superL_), AnyModifier, DefaultRootWindow(x_));
  XSync(x_, False);
  Tap(superR_);
  EXPECT_EQ(PressesUpTo(letterA_), (std::vector<unsigned>{superR_, letterA_})) << "Super_R was released too";
}

TEST_F(HalvornTest, ItEndsWithItsParent) {
  // A shell plays Kelvane: it starts halvorn, says its pid and ends when its input closes.
  int input[2], output[2];
  ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  std::string display = "DISPLAY=" + xvfb_.Display(), runtime = "XDG_RUNTIME_DIR=" + runtime_.path();
  char sh[] = "/bin/sh", c[] = "-c", script[] = "\"$0\" </dev/null >/dev/null 2>&1 & echo $!; read line";
  char program[] = KELVANE_HALVORN;
  char* argv[] = {sh, c, script, program, nullptr};
  char* envp[] = {display.data(), runtime.data(), nullptr};
  pid_t shell = -1;
  ASSERT_EQ(posix_spawn(&shell, "/bin/sh", &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  std::string pidText;
  WaitUntil([&] {
    char ch = 0;
    pollfd p{output[0], POLLIN, 0};
    if (poll(&p, 1, 10) > 0 && read(output[0], &ch, 1) == 1) pidText += ch;
    return pidText.find('\n') != std::string::npos;
  });
  close(output[0]);
  const pid_t blocker = static_cast<pid_t>(std::atoi(pidText.c_str()));
  ASSERT_GT(blocker, 0);
  // Blocking once the Super key no longer reaches the window.
  EXPECT_TRUE(WaitUntil([&] {
    Tap(superL_);
    return PressesUpTo(letterA_) == std::vector<unsigned>{letterA_};
  })) << "halvorn never started blocking";

  close(input[1]);  // the shell ends
  waitpid(shell, nullptr, 0);
  EXPECT_TRUE(WaitUntil([&] { return Ended(blocker); })) << "halvorn outlived its parent";
  Tap(superL_);
  EXPECT_EQ(PressesUpTo(letterA_), (std::vector<unsigned>{superL_, letterA_}));
}

TEST(HalvornWithoutX, NoDisplayEndsItWithOne) {
  testing_support::TempDir runtime;
  Halvorn halvorn("", runtime.path());
  EXPECT_EQ(halvorn.WaitForExit(), 1);
  EXPECT_NE(halvorn.Errors().find("no X display"), std::string::npos);
}

}  // namespace
