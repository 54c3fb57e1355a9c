#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

using testing_support::ReadFile;

using testing_support::WaitFor;

// "Z" for a zombie, "" when the process is gone.
std::string StateOf(int pid) {
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return "";
  return stat.substr(close + 2, 1);
}

bool Gone(int pid) { return StateOf(pid).empty(); }

}  // namespace

TEST(ProgramStart, PassesArgumentsVerbatimWithoutAShell) {
  TempDir dir;
  const std::string out = dir.path() + "args";
  const std::vector<std::string> args = {"a b", "q\"uote'", "x;y", "$HOME", "", "*"};
  std::vector<std::string> argv = {"/bin/sh", "-c", "for a; do printf '%s|' \"$a\"; done > \"$0\"", out};
  argv.insert(argv.end(), args.begin(), args.end());
  auto child = platform::StartProgram(argv);
  ASSERT_TRUE(child);
  ASSERT_TRUE(WaitFor([&] { return !child->IsRunning(); }));
  EXPECT_EQ(ReadFile(out), "a b|q\"uote'|x;y|$HOME||*|");
}

TEST(ProgramStart, ChildHasOnlyTheThreeStandardDescriptors) {
  TempDir dir;
  const std::string out = dir.path() + "fds";
  const int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(leaked, 3);
  auto child = platform::StartProgram({"/bin/sh", "-c", "exec > \"$0\"; ls /proc/$$/fd", out});
  close(leaked);
  ASSERT_TRUE(child);
  ASSERT_TRUE(WaitFor([&] { return !child->IsRunning(); }));
  EXPECT_EQ(ReadFile(out), "0\n1\n2\n");
}

TEST(ProgramStart, ReportsRunningThenEndedAndLeavesNoZombie) {
  auto sleeper = platform::StartProgram({"sleep", "30"});
  ASSERT_TRUE(sleeper);
  EXPECT_GT(sleeper->pid(), 0);
  EXPECT_TRUE(sleeper->IsRunning());
  EXPECT_FALSE(Gone(sleeper->pid()));
  ASSERT_EQ(kill(sleeper->pid(), SIGTERM), 0);
  EXPECT_TRUE(WaitFor([&] { return !sleeper->IsRunning(); }));
  EXPECT_TRUE(Gone(sleeper->pid()));

  // The handle is dropped at once: the child is still reaped when it ends.
  int pid = 0;
  {
    auto quick = platform::StartProgram({"/bin/sh", "-c", "sleep 0.1"});
    ASSERT_TRUE(quick);
    pid = quick->pid();
  }
  EXPECT_TRUE(WaitFor([&] { return Gone(pid); })) << "state " << StateOf(pid);
}

TEST(ProgramStart, FailsClearlyForMissingOrEmptyPrograms) {
  std::string error;
  EXPECT_FALSE(platform::StartProgram({"/nonexistent/kelvane-no-such-program"}, &error));
  EXPECT_NE(error.find("kelvane-no-such-program"), std::string::npos) << error;
  EXPECT_FALSE(platform::StartProgram({}, &error));
  EXPECT_FALSE(platform::StartProgram({""}, &error));
}

TEST(DesktopOpener, StartsXdgOpenWithTheTargetAndRefusesOptions) {
  TempDir dir;
  const std::string record = dir.path() + "opened";
  const std::string script =
      dir.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s|' \"$@\" >> \"" + record + "\"\n");
  chmod(script.c_str(), 0755);
  ScopedEnv path("PATH", dir.path() + "bin:/usr/bin:/bin");

  platform::XdgOpener opener;
  EXPECT_TRUE(opener.Open("https://example.com/a b?x=1;y"));
  EXPECT_TRUE(WaitFor([&] { return ReadFile(record) == "https://example.com/a b?x=1;y|"; }))
      << ReadFile(record);
  EXPECT_FALSE(opener.Open(""));
  EXPECT_FALSE(opener.Open("-x"));
  EXPECT_FALSE(opener.Open("--help"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReadFile(record), "https://example.com/a b?x=1;y|");

  ScopedEnv nothing("PATH", dir.path() + "empty");
  EXPECT_FALSE(opener.Open("https://example.com/"));
}

TEST(DesktopOpener, TheCurrentOpenerCanBeReplacedForTests) {
  platform::RecordingOpener recording;
  platform::SetDesktopOpener(&recording);
  EXPECT_TRUE(platform::CurrentDesktopOpener().Open("https://example.com/"));
  platform::SetDesktopOpener(nullptr);
  EXPECT_EQ(recording.targets, std::vector<std::string>{"https://example.com/"});
  EXPECT_NE(dynamic_cast<platform::XdgOpener*>(&platform::CurrentDesktopOpener()), nullptr);
}
