#include "common/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/strings.h"
#include "support/temp_dir.h"

using testing_support::ScopedEnv;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(UserDataFolder, FollowsTheXdgDocumentsFolder) {
  TempDir home;
  ScopedEnv homeEnv("HOME", home.path());
  ScopedEnv config("XDG_CONFIG_HOME", home.path() + "config");
  {
    ScopedEnv documents("XDG_DOCUMENTS_DIR", home.path() + "Docs");
    EXPECT_EQ(GetUserDataFolder(), home.wpath() + L"Docs/Varnel Keyboard Files/");
  }
  ScopedEnv documents("XDG_DOCUMENTS_DIR", std::nullopt);
  EXPECT_EQ(GetUserDataFolder(), home.wpath() + L"Documents/Varnel Keyboard Files/");
  home.Write("config/user-dirs.dirs", "# written by xdg-user-dirs\nXDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
  EXPECT_EQ(GetUserDataFolder(), home.wpath() + L"Papiere/Varnel Keyboard Files/");
}

TEST(UserDataFolder, IsEmptyRatherThanAtTheRootWithoutAHome) {
  ScopedEnv documents("XDG_DOCUMENTS_DIR", std::nullopt);
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  for (const char* home : {"/", "relative/home"}) {
    ScopedEnv homeEnv("HOME", std::string(home));
    EXPECT_EQ(GetUserDataFolder(), L"") << home;
  }
}

TEST(AppDir, IsTheProgramFolderWithATrailingSlash) {
  const std::wstring dir = GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), L'/');
  EXPECT_TRUE(fs::exists(WideToUtf8(dir) + "common_tests"));
}

TEST(CreateDirectoryRecursive, CreatesEveryLevelAndKnowsWhatIsThere) {
  TempDir temp;
  const std::wstring nested = temp.wpath() + L"a/b/c/";
  EXPECT_TRUE(CreateDirectoryRecursive(nested.c_str()));
  EXPECT_TRUE(fs::is_directory(temp.path() + "a/b/c"));
  EXPECT_TRUE(CreateDirectoryRecursive(nested.c_str()));
  const std::wstring noSlash = temp.wpath() + L"x/y";
  EXPECT_TRUE(CreateDirectoryRecursive(noSlash.c_str()));
  EXPECT_TRUE(fs::is_directory(temp.path() + "x/y"));
}

TEST(CreateDirectoryRecursive, FailsWhenAFileStandsInTheWay) {
  TempDir temp;
  temp.Write("file", "x");
  EXPECT_FALSE(CreateDirectoryRecursive((temp.wpath() + L"file").c_str()));
  EXPECT_FALSE(CreateDirectoryRecursive((temp.wpath() + L"file/below/").c_str()));
  EXPECT_FALSE(CreateDirectoryRecursive(nullptr));
  EXPECT_FALSE(CreateDirectoryRecursive(L""));
}

TEST(DeleteDirectoryTree, RemovesTheWholeTreeAndRefusesWhatMustStay) {
  TempDir temp;
  temp.Write("edit/one/frame.png", "png");
  temp.Write("edit/two.txt", "text");
  temp.Write("keep.txt", "keep");
  EXPECT_TRUE(DeleteDirectoryTree((temp.wpath() + L"edit").c_str()));
  EXPECT_FALSE(fs::exists(temp.path() + "edit"));
  EXPECT_TRUE(fs::exists(temp.path() + "keep.txt"));
  EXPECT_FALSE(DeleteDirectoryTree((temp.wpath() + L"edit").c_str()));
  EXPECT_FALSE(DeleteDirectoryTree(L"/"));
  EXPECT_FALSE(DeleteDirectoryTree(L"//"));
  EXPECT_FALSE(DeleteDirectoryTree(L""));
  EXPECT_FALSE(DeleteDirectoryTree(nullptr));
}
