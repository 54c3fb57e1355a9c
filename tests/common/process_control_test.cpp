#include "common/process_control.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "common/strings.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

// Runs copies of `sleep` under a name of the test's own, so that no other process can match.
class NamedChildren : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "kvsleeper" + std::to_string(getpid());
    exe_ = dir_.path() + name_;
    std::filesystem::copy_file("/bin/sleep", exe_);
    std::filesystem::permissions(exe_, std::filesystem::perms::owner_all);
  }
  void TearDown() override {
    for (pid_t pid : children_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  pid_t Start(const char* seconds = "30") {
    pid_t pid = 0;
    char* argv[] = {exe_.data(), const_cast<char*>(seconds), nullptr};
    EXPECT_EQ(posix_spawn(&pid, exe_.c_str(), nullptr, nullptr, argv, environ), 0);
    children_.push_back(pid);
    // The child is ours from the spawn on, but its /proc entry names our binary until it has
    // called exec: wait until it shows the copy's name.
    for (int i = 0; i < 400; ++i) {
      std::error_code error;
      auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
      if (!error && target.filename() == name_) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pid;
  }
  // The signal that ended the child, 0 while it still runs after `waitMs`.
  int EndSignal(pid_t pid, int waitMs = 2000) {
    for (int waited = 0; waited <= waitMs; waited += 5) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(children_, pid);
        return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }
  std::wstring WideName() const { return Utf8ToWide(name_); }

  testing_support::TempDir dir_;
  std::string name_;
  std::string exe_;
  std::vector<pid_t> children_;
};

}  // namespace

TEST_F(NamedChildren, EndsOnlyTheFirstMatchingProcess) {
  // The scan walks the pids in ascending order; pids can wrap round between two starts on a busy
  // machine, so the lower one is the first.
  const pid_t a = Start();
  const pid_t b = Start();
  const pid_t first = std::min(a, b);
  const pid_t second = std::max(a, b);
  EXPECT_TRUE(KillProcessByName(WideName()));
  EXPECT_EQ(EndSignal(first), SIGKILL);
  EXPECT_EQ(EndSignal(second, 100), 0);
  EXPECT_TRUE(KillProcessByName(WideName()));
  EXPECT_EQ(EndSignal(second), SIGKILL);
}

TEST_F(NamedChildren, NeedsTheNameInLowerCase) {
  pid_t child = Start();
  std::wstring mixed = WideName();
  mixed[0] = L'K';
  EXPECT_TRUE(KillProcessByName(mixed));
  EXPECT_EQ(EndSignal(child, 100), 0);
}

TEST_F(NamedChildren, PassesOverZombiesAndFindsNothingToEndWithoutAMatch) {
  pid_t zombie = Start("0");
  // Let it exit without reaping it: it stays a zombie under its name.
  for (int i = 0; i < 400; ++i) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == zombie)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_t live = Start();
  EXPECT_TRUE(KillProcessByName(WideName()));
  EXPECT_EQ(EndSignal(live), SIGKILL);
  EXPECT_TRUE(KillProcessByName(L"no-such-program-anywhere"));
  EXPECT_TRUE(KillProcessByName(L""));
}
