// Starting what a "start a program" key names, with real child processes and a recording opener.
#include "platform/launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
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

// A script that writes its own name, its argument count and its pid to `out`.
std::string Script(const TempDir& dir, const std::string& name, const std::string& out) {
  const std::string path =
      dir.Write(name, "#!/bin/sh\nprintf '%s|%s|%s' \"$0\" \"$#\" \"$$\" > \"" + out + "\"\n");
  chmod(path.c_str(), 0755);
  return path;
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetDesktopOpener(&opener_); }
  void TearDown() override { platform::SetDesktopOpener(nullptr); }

  TempDir dir_;
  platform::RecordingOpener opener_;
};

TEST_F(LaunchTest, ProgramsStartDirectlyWithTheirPathAndLeaveNoZombie) {
  const std::string out = dir_.path() + "out";
  const std::string program = Script(dir_, "my \"tools\"/run it; rm -rf x 'now'.sh", out);
  ASSERT_TRUE(platform::OpenPathOrProgram(program));
  std::string written;
  ASSERT_TRUE(WaitFor([&] {
    written = ReadFile(out);
    return written.size() > program.size() + 3;
  }));
  ASSERT_EQ(written.substr(0, program.size() + 3), program + "|0|") << written;
  const std::string pid = written.substr(program.size() + 3);
  EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists("/proc/" + pid); }))
      << "the ended child is still in /proc: " << ReadFile("/proc/" + pid + "/stat");
  EXPECT_TRUE(opener_.targets.empty());

  // A bare file name is the file in the current folder, not a program of that name on PATH.
  const std::string decoyOut = dir_.path() + "decoy-out";
  Script(dir_, "bin/tool", decoyOut);
  Script(dir_, "here/tool", out);
  std::filesystem::remove(out);
  ScopedEnv path("PATH", dir_.path() + "bin:/usr/bin:/bin");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path() + "here");
  const bool started = platform::OpenPathOrProgram("tool");
  std::filesystem::current_path(previous);
  ASSERT_TRUE(started);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(out).starts_with("./tool|0|"); })) << ReadFile(out);
  EXPECT_FALSE(std::filesystem::exists(decoyOut));
}

TEST_F(LaunchTest, OtherPathsGoToTheDesktopOpenerAndMissingOnesNowhere) {
  const std::string document = dir_.Write("notes; \"a\" b.txt", "text");
  const std::string folder = dir_.path() + "folder";
  std::filesystem::create_directories(folder);
  const std::string notAProgram = dir_.Write("broken", "no program\n");
  chmod(notAProgram.c_str(), 0755);

  EXPECT_TRUE(platform::OpenPathOrProgram(document));
  EXPECT_TRUE(platform::OpenPathOrProgram(folder)) << "folders carry the x bit, but are no programs";
  opener_.result = false;
  EXPECT_FALSE(platform::OpenPathOrProgram(document)) << "the opener's failure is passed on";
  EXPECT_EQ(opener_.targets, (std::vector<std::string>{document, folder, document}));

  opener_.targets.clear();
  EXPECT_FALSE(platform::OpenPathOrProgram(dir_.path() + "missing"));
  EXPECT_FALSE(platform::OpenPathOrProgram(""));
  EXPECT_FALSE(platform::OpenPathOrProgram(notAProgram)) << "an executable file the system cannot run";
  EXPECT_TRUE(opener_.targets.empty());
}

}  // namespace
