// End to end: the built program under the offscreen platform, with its own home, configuration
// and runtime folders and no keyboard.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t StartProgram() {
  std::vector<std::string> args = {KELVANE_PROGRAM};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// The exit status, or -1 when it did not end within `ms`.
int WaitForExit(pid_t pid, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

bool FolderHasEntries(const std::string& folder) {
  std::error_code ignored;
  return std::filesystem::exists(folder, ignored) && !std::filesystem::is_empty(folder, ignored);
}

}  // namespace

TEST(Program, StartsOnceAndEndsOnSigterm) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir.path() + "runtime");
  std::filesystem::permissions(dir.path() + "runtime", std::filesystem::perms::owner_all);
  testing_support::ScopedEnv home("HOME", dir.path() + "home");
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", dir.path() + "config");
  testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path() + "runtime");
  testing_support::ScopedEnv documents("XDG_DOCUMENTS_DIR", dir.path() + "documents");
  testing_support::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");

  const pid_t first = StartProgram();
  ASSERT_GT(first, 0);
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (!FolderHasEntries(dir.path() + "runtime") && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(FolderHasEntries(dir.path() + "runtime")) << "the first instance took no lock";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first instance ended early";

  const pid_t second = StartProgram();
  ASSERT_GT(second, 0);
  const int secondStatus = WaitForExit(second, 30000);
  EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first instance keeps running";

  ASSERT_EQ(kill(first, SIGTERM), 0);
  const int firstStatus = WaitForExit(first, 10000);
  if (firstStatus == -1) {
    kill(first, SIGKILL);
    WaitForExit(first, 5000);
  }
  EXPECT_NE(firstStatus, -1) << "SIGTERM did not end the program";
}
