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
  EXPECT_TRUE(DeleteDirectoryTree((temp.wpath() + L"edit").c_str(), temp.wpath()));
  EXPECT_FALSE(fs::exists(temp.path() + "edit"));
  EXPECT_TRUE(fs::exists(temp.path() + "keep.txt"));
  EXPECT_FALSE(DeleteDirectoryTree((temp.wpath() + L"edit").c_str(), temp.wpath()));
  EXPECT_FALSE(DeleteDirectoryTree(L"/", L"/"));
  EXPECT_FALSE(DeleteDirectoryTree(L"//", L"/"));
  EXPECT_FALSE(DeleteDirectoryTree(L"", temp.wpath()));
  EXPECT_FALSE(DeleteDirectoryTree(nullptr, temp.wpath()));
  EXPECT_FALSE(DeleteDirectoryTree(temp.wpath().c_str(), temp.wpath())) << "the working folder itself";
  EXPECT_FALSE(DeleteDirectoryTree((temp.wpath() + L"keep.txt").c_str(), L"")) << "no working folder";
  EXPECT_TRUE(fs::exists(temp.path() + "keep.txt"));
}

TEST(DeleteDirectoryTree, NeverFollowsALinkNorLeavesTheWorkingFolder) {
  TempDir temp;
  temp.Write("outside/precious.txt", "keep");
  temp.Write("work/led/real/0.png", "png");
  const std::string work = temp.path() + "work/";
  fs::create_directory_symlink(temp.path() + "outside", work + "led/slot");
  fs::create_directory_symlink(temp.path() + "outside", work + "led/real/inner");
  const std::wstring within = Utf8ToWide(work);
  // A slot folder that is a link, named with its trailing '/': the link goes, its target stays.
  EXPECT_TRUE(DeleteDirectoryTree(Utf8ToWide(work + "led/slot/").c_str(), within));
  EXPECT_FALSE(fs::exists(fs::symlink_status(work + "led/slot")));
  // A tree holding a link: the link is removed as a link.
  EXPECT_TRUE(DeleteDirectoryTree(Utf8ToWide(work + "led/real/").c_str(), within));
  EXPECT_FALSE(fs::exists(work + "led/real"));
  EXPECT_TRUE(fs::exists(temp.path() + "outside/precious.txt"));
  // `led/` itself a link: a folder below it lies outside the working folder and stays.
  fs::remove_all(work + "led");
  fs::create_directory_symlink(temp.path() + "outside", work + "led");
  temp.Write("outside/slot2/0.png", "png");
  EXPECT_FALSE(DeleteDirectoryTree(Utf8ToWide(work + "led/slot2/").c_str(), within));
  EXPECT_TRUE(fs::exists(temp.path() + "outside/slot2/0.png"));
  EXPECT_FALSE(DeleteDirectoryTree(Utf8ToWide(work + "../outside/").c_str(), within));
  EXPECT_FALSE(DeleteDirectoryTree(Utf8ToWide(temp.path() + "outside").c_str(), within));
  EXPECT_TRUE(fs::exists(temp.path() + "outside/precious.txt"));
  EXPECT_TRUE(DeleteDirectoryTree(Utf8ToWide(work + "led/").c_str(), within)) << "the link itself goes";
  EXPECT_FALSE(fs::exists(fs::symlink_status(work + "led")));
  EXPECT_TRUE(fs::exists(temp.path() + "outside/precious.txt"));
}
