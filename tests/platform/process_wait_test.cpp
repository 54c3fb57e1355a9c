#include "platform/process_wait.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

extern char** environ;

namespace {

using platform::ProcessWaitResult;
using platform::WaitForProcessExit;
using Clock = std::chrono::steady_clock;

// Starts "sleep <seconds>" as a child of this process.
pid_t SpawnSleep(const char* seconds) {
  pid_t pid = 0;
  char arg0[] = "sleep";
  std::string arg1 = seconds;
  char* argv[] = {arg0, arg1.data(), nullptr};
  if (posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) != 0) return -1;
  return pid;
}

// True when `pid` is no longer a child waiting to be reaped.
bool Reaped(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }

TEST(ProcessWait, WaitsForAChildToEndAndReapsIt) {
  pid_t child = SpawnSleep("0.3");
  ASSERT_GT(child, 0);
  EXPECT_EQ(WaitForProcessExit(
                child, [] { return false; }, 20),
            ProcessWaitResult::kEnded);
  EXPECT_TRUE(Reaped(child)) << "no zombie may be left behind";
}

TEST(ProcessWait, AnEndedButUnreapedChildCountsAsEnded) {
  pid_t child = SpawnSleep("0");
  ASSERT_GT(child, 0);
  // Let it become a zombie: it has ended but nobody has collected it.
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
  EXPECT_EQ(WaitForProcessExit(child, nullptr, 20), ProcessWaitResult::kEnded);
  EXPECT_TRUE(Reaped(child));
}

TEST(ProcessWait, GoneOrInvalidProcessesAreNotWaitedFor) {
  pid_t child = SpawnSleep("0");
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_EQ(WaitForProcessExit(child, nullptr), ProcessWaitResult::kNotFound);
  EXPECT_EQ(WaitForProcessExit(0, nullptr), ProcessWaitResult::kNotFound);
  EXPECT_EQ(WaitForProcessExit(-1, nullptr), ProcessWaitResult::kNotFound);
}

TEST(ProcessWait, AStopRequestEndsTheWaitWithinASliceAndLeavesTheProcessRunning) {
  pid_t child = SpawnSleep("30");
  ASSERT_GT(child, 0);
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop = true;
  });
  int asksAfterStop = 0;
  const ProcessWaitResult result = WaitForProcessExit(
      child,
      [&] {
        const bool stopped = stop.load();
        asksAfterStop += stopped ? 1 : 0;
        return stopped;
      },
      25);
  stopper.join();
  EXPECT_EQ(result, ProcessWaitResult::kStopped);
  EXPECT_EQ(asksAfterStop, 1) << "the wait ends at the first ask after the stop";
  EXPECT_EQ(kill(child, 0), 0) << "the process was not touched";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

TEST(ProcessWait, WatchesAProcessThatIsNotOurChild) {
  // A grandchild: our child starts "sleep", prints its pid and exits at once, so we are not
  // the parent of the process we wait for.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t middle = fork();
  ASSERT_GE(middle, 0);
  if (middle == 0) {
    pid_t grandchild = SpawnSleep("0.3");
    dprintf(pipeFds[1], "%d\n", static_cast<int>(grandchild));
    _exit(0);
  }
  close(pipeFds[1]);
  char buffer[32] = {};
  ssize_t got = read(pipeFds[0], buffer, sizeof buffer - 1);
  close(pipeFds[0]);
  waitpid(middle, nullptr, 0);
  ASSERT_GT(got, 0);
  const int grandchild = atoi(buffer);
  ASSERT_GT(grandchild, 0);
  // A generous limit: a wait that never sees the end gives kStopped.
  const auto giveUp = Clock::now() + std::chrono::seconds(60);
  EXPECT_EQ(WaitForProcessExit(
                grandchild, [&] { return Clock::now() > giveUp; }, 20),
            ProcessWaitResult::kEnded);
}

}  // namespace
