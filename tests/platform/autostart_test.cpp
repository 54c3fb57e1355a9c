#include "platform/autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

using testing_support::ReadFile;

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class AutostartTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.path() + "config"};
  std::string entry = dir.path() + "config/autostart/varnel-keyboard.desktop";
  platform::XdgAutostart autostart{"Varnel Keyboard"};
};

}  // namespace

TEST(AutostartExec, QuotesAndEscapesThePath) {
  struct Case {
    std::string path;
    std::string exec;
  } cases[] = {
      {"/opt/kelvane/kelvane", "\"/opt/kelvane/kelvane\""}, {"/home/a b/kelvane", "\"/home/a b/kelvane\""},
      {"/x\"y/kelvane", "\"/x\\\\\"y/kelvane\""},           {"/x`y$z/kelvane", "\"/x\\\\`y\\\\$z/kelvane\""},
      {"/x\\y/kelvane", "\"/x\\\\\\\\y/kelvane\""},         {"/100%/kelvane", "\"/100%%/kelvane\""},
      {"/caf\xc3\xa9/kelvane", "\"/caf\xc3\xa9/kelvane\""},
  };
  for (const Case& c : cases) {
    auto exec = platform::DesktopExecValue(c.path);
    ASSERT_TRUE(exec) << c.path;
    EXPECT_EQ(*exec, c.exec) << c.path;
  }
  for (const std::string& bad : {std::string("/a\nb"), std::string("/a\tb"), std::string("/a\x7f"),
                                 std::string("/a\xc3"), std::string("/a\xff"), std::string("/a\xc2\x85"),
                                 std::string("/a\xed\xa0\x80"), std::string("/a\xc0\xaf")}) {
    EXPECT_FALSE(platform::DesktopExecValue(bad)) << bad;
  }
}

TEST_F(AutostartTest, EnableWritesExactlyOurEntryAndDisableRemovesOnlyIt) {
  EXPECT_FALSE(autostart.IsEnabled());
  EXPECT_TRUE(autostart.Disable()) << "nothing to remove is success";

  ASSERT_TRUE(autostart.Enable("/home/a b/100% \"$x\"/kelvane"));
  EXPECT_TRUE(autostart.IsEnabled());
  EXPECT_EQ(ReadFile(entry),
            "[Desktop Entry]\nType=Application\nName=Varnel Keyboard\n"
            "Exec=\"/home/a b/100%% \\\\\"\\\\$x\\\\\"/kelvane\"\n");
  EXPECT_EQ(Listing(dir.path() + "config/autostart"), std::vector<std::string>{"varnel-keyboard.desktop"});

  ASSERT_TRUE(autostart.Enable("/opt/kelvane"));  // replaces the entry
  EXPECT_NE(ReadFile(entry).find("Exec=\"/opt/kelvane\"\n"), std::string::npos);

  dir.Write("config/autostart/other.desktop", "[Desktop Entry]\n");
  ASSERT_TRUE(autostart.Disable());
  EXPECT_FALSE(autostart.IsEnabled());
  EXPECT_EQ(Listing(dir.path() + "config/autostart"), std::vector<std::string>{"other.desktop"});
}

TEST_F(AutostartTest, RefusedPathWritesNothing) {
  EXPECT_FALSE(autostart.Enable("/a\nExec=/bin/evil"));
  EXPECT_FALSE(autostart.Enable("/a\xff"));
  EXPECT_FALSE(autostart.IsEnabled());
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "config"));
}

TEST_F(AutostartTest, FailedWriteLeavesItOffAndTouchesNothingElse) {
  dir.Write("config/autostart", "not a folder");
  EXPECT_FALSE(autostart.Enable("/opt/kelvane"));
  EXPECT_FALSE(autostart.IsEnabled());
  EXPECT_EQ(ReadFile(dir.path() + "config/autostart"), "not a folder");
  EXPECT_EQ(Listing(dir.path() + "config"), std::vector<std::string>{"autostart"});
  EXPECT_FALSE(autostart.Disable());
}

TEST_F(AutostartTest, OnlyAReadableRegularFileCountsAsEnabled) {
  std::filesystem::create_directories(entry);  // a folder under our name
  EXPECT_FALSE(autostart.IsEnabled());
  std::filesystem::remove(entry);
  dir.Write("config/autostart/varnel-keyboard.desktop", "[Desktop Entry]\n");
  EXPECT_TRUE(autostart.IsEnabled());
  if (geteuid() != 0) {  // root reads everything
    chmod(entry.c_str(), 0);
    EXPECT_FALSE(autostart.IsEnabled());
  }
}

TEST(FakeAutostart, FollowsCallsAndFailsOnRequest) {
  platform::FakeAutostart fake;
  platform::SetAutostart(&fake);
  EXPECT_TRUE(platform::CurrentAutostart().Enable("/opt/kelvane"));
  EXPECT_TRUE(fake.enabled);
  fake.failDisable = true;
  EXPECT_FALSE(platform::CurrentAutostart().Disable());
  EXPECT_TRUE(fake.IsEnabled());
  platform::SetAutostart(nullptr);
  EXPECT_EQ(fake.exePath, "/opt/kelvane");
  EXPECT_EQ(fake.enableCalls, 1);
  EXPECT_EQ(fake.disableCalls, 1);
}
