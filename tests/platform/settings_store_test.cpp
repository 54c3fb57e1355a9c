#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

using platform::IniSettingsStore;
using platform::SettingsStore;

namespace {
const std::string kKey = "SOFTWARE\\Varnel Keyboard";

std::string Contents(const std::string& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

TEST(IniSettingsStore, KeepsWhatElseTheFileHolds) {
  testing_support::TempDir root;
  const std::string file = root.Write("Varnel Keyboard/settings.ini",
                                      "; kept\n[Other]\nLCID=1\n[Settings]\nAutostart=1\nLCID=1033\n");
  IniSettingsStore store(root.path());
  ASSERT_EQ(store.OpenKey(kKey), SettingsStore::OpenResult::Opened);
  EXPECT_EQ(store.ReadValue(kKey, "LCID"), "1033");
  EXPECT_TRUE(store.WriteValue(kKey, "LCID", "2052"));
  EXPECT_TRUE(store.WriteValue(kKey, "New", "x"));
  EXPECT_EQ(Contents(file), "; kept\n[Other]\nLCID=1\n[Settings]\nAutostart=1\nLCID=2052\nNew=x\n");
  EXPECT_EQ(store.ReadValue(kKey, "Missing"), std::nullopt);
}

TEST(IniSettingsStore, TellsAMissingKeyFromOneThatCannotBeUsed) {
  testing_support::TempDir root;
  IniSettingsStore store(root.path());
  EXPECT_EQ(store.OpenKey(kKey), SettingsStore::OpenResult::NotFound);
  EXPECT_FALSE(store.WriteValue(kKey, "LCID", "1"));
  EXPECT_TRUE(store.CreateKey(kKey));
  EXPECT_EQ(store.OpenKey(kKey), SettingsStore::OpenResult::Opened);

  // A file where the folder should be cannot become a key.
  testing_support::TempDir blocked;
  blocked.Write("Varnel Keyboard", "not a folder");
  IniSettingsStore blockedStore(blocked.path());
  EXPECT_FALSE(blockedStore.CreateKey(kKey));
  EXPECT_NE(blockedStore.OpenKey(kKey), SettingsStore::OpenResult::Opened);

  if (geteuid() != 0) {  // root reads and writes everything
    chmod(store.FileOf(kKey).c_str(), 0);
    EXPECT_EQ(store.OpenKey(kKey), SettingsStore::OpenResult::Failed);
  }
  EXPECT_EQ(IniSettingsStore("").OpenKey(kKey), SettingsStore::OpenResult::Failed);
  EXPECT_FALSE(IniSettingsStore("").CreateKey(kKey));
}
