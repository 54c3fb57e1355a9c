#include "common/lang_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "common/folders.h"
#include "common/strings.h"
#include "platform/folders.h"
#include "platform/settings_store.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

namespace {

// Points the program folder at a temporary one and restores the language afterwards.
class LanguageFolder : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetAppDirOverride(dir_.path()); }
  void TearDown() override {
    platform::SetAppDirOverride("");
    g_languageId = 1033;
  }
  TempDir dir_;
};

std::wstring Text(int id, const std::wstring& section) {
  std::wstring out = L"unchanged";
  EXPECT_EQ(GetLangText(&out, id, section), &out);
  return out;
}

}  // namespace

TEST_F(LanguageFolder, LooksUpTheCurrentLanguageOnly) {
  dir_.Write("language/2052.lan", "[KB.DIALOG]\n150=\xE9\xBB\x98\xE8\xAE\xA4\xE9\x85\x8D\xE7\xBD\xAE\n");
  dir_.Write("language/1033.lan", "[KB.DIALOG]\n150=New Configuration\n151=Only in English\n");
  g_languageId = 2052;
  EXPECT_EQ(Text(150, L"KB.DIALOG"), L"\u9ed8\u8ba4\u914d\u7f6e");
  EXPECT_EQ(Text(151, L"KB.DIALOG"), L"");  // no fallback to another language
  g_languageId = 1033;
  EXPECT_EQ(Text(150, L"KB.DIALOG"), L"New Configuration");
  g_languageId = 1031;  // no such file
  EXPECT_EQ(Text(150, L"KB.DIALOG"), L"");
}

TEST_F(LanguageFolder, FollowsProfileFileRules) {
  const std::string longValue(300, 'v');
  dir_.Write("language/1033.lan",
             "; a comment=not a key\n"
             "[Main.Dialog]\r\n"
             "  7  =  padded text  \r\n"
             "8=\"quoted \"\n"
             "9='single'\n"
             "10=\"unbalanced\n"
             "no equals sign here\n"
             "11=first\n"
             "11=second\n"
             "12=" + longValue + "\n"
             "[other]\n"
             "7=other section\n"
             "[MAIN.DIALOG]\n"
             "13=second section of the same name\n");
  EXPECT_EQ(Text(7, L"main.dialog"), L"padded text");
  EXPECT_EQ(Text(8, L"MAIN.DIALOG"), L"quoted ");
  EXPECT_EQ(Text(9, L"MAIN.DIALOG"), L"single");
  EXPECT_EQ(Text(10, L"MAIN.DIALOG"), L"\"unbalanced");
  EXPECT_EQ(Text(11, L"MAIN.DIALOG"), L"first");
  EXPECT_EQ(Text(12, L"MAIN.DIALOG").size(), 259u);
  EXPECT_EQ(Text(7, L"other"), L"other section");
  EXPECT_EQ(Text(13, L"main.dialog"), L"second section of the same name");
  EXPECT_EQ(Text(7, L"missing"), L"");
}

TEST_F(LanguageFolder, ReadsEveryEncodingTheFilesComeIn) {
  dir_.Write("language/1033.lan", "\xEF\xBB\xBF[S]\n1=mark\n");
  EXPECT_EQ(Text(1, L"S"), L"mark");
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[S]\r\n2=wide \xA9\r\n")) utf16 += {c, '\0'};
  utf16 += std::string("\x3D\xD8\x00\xDE", 4);  // U+1F600 after the value line ends
  dir_.Write("language/1033.lan", utf16);
  EXPECT_EQ(Text(2, L"S"), L"wide \u00a9");
}

TEST_F(LanguageFolder, ReadsOldMacLineEndsAndBigEndianUtf16) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string bigEndian = "\xFE\xFF";
  for (char c : std::string("[S]\r1=big \xA9\r2=two\n")) bigEndian += {'\0', c};
  std::string littleEndianCr = "\xFF\xFE";
  for (char c : std::string("[S]\r1=big \xA9\r2=two\r")) littleEndianCr += {c, '\0'};
  const Case cases[] = {
      {"CR only", "[S]\r1=big \xC2\xA9\r2=two\r"},
      {"mixed", "[S]\r\n1=big \xC2\xA9\r2=two\n"},
      {"UTF-16 BE", bigEndian},
      {"UTF-16 LE with CR", littleEndianCr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir_.Write("language/1033.lan", c.bytes);
    std::filesystem::last_write_time(
        dir_.path() + "language/1033.lan",
        std::filesystem::file_time_type::clock::now() + std::chrono::hours(&c - cases + 1));
    EXPECT_EQ(Text(1, L"S"), L"big \u00a9");
    EXPECT_EQ(Text(2, L"S"), L"two");
  }
}

TEST_F(LanguageFolder, AFileIsParsedOnceAndReadAgainWhenItChanges) {
  // 300,000 lines: every look-up reading the file again would take minutes.
  std::string big = "[KB.DIALOG]\n";
  for (int i = 0; i < 300000; ++i) big += std::to_string(i) + "=t\n";
  const std::string path = dir_.Write("language/1033.lan", big);
  const IniReadCounts before = GetIniReadCounts();
  for (int i = 0; i < 2000; ++i) EXPECT_EQ(Text(i, L"KB.DIALOG"), L"t");
  EXPECT_EQ(GetIniReadCounts().parses - before.parses, 1u);

  dir_.Write("language/1033.lan", "[KB.DIALOG]\n1=changed\n");
  std::filesystem::last_write_time(path,
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  EXPECT_EQ(Text(1, L"KB.DIALOG"), L"changed");
  dir_.Write("language/2052.lan", "[KB.DIALOG]\n1=other language\n");
  g_languageId = 2052;
  EXPECT_EQ(Text(1, L"KB.DIALOG"), L"other language");
}

TEST_F(LanguageFolder, AFileOverFourMebibytesIsRefused) {
  const std::string path = dir_.Write("language/1033.lan", "[S]\n1=kept out\n");
  std::filesystem::resize_file(path, kMaxIniFileBytes + 1);  // the rest reads as zero bytes
  EXPECT_EQ(Text(1, L"S"), L"");
  EXPECT_FALSE(ReadIniFile(Utf8ToWide(path)).has_value());
  std::filesystem::resize_file(path, kMaxIniFileBytes);
  EXPECT_TRUE(ReadIniFile(Utf8ToWide(path)).has_value()) << "the limit itself is allowed";
  std::filesystem::resize_file(path, 100u << 20);
  const IniReadCounts before = GetIniReadCounts();
  EXPECT_EQ(Text(1, L"S"), L"");
  EXPECT_EQ(GetIniReadCounts().bytesRead, before.bytesRead) << "not read at all";
}

TEST_F(LanguageFolder, BrokenFilesGiveEmptyTextsAndNeverCrash) {
  const std::string broken[] = {
      "",
      "\xFF\xFE",
      "\xFF\xFE[",
      "[S",
      "[S]\n1",
      "=\n[]\n=1\n",
      std::string("[S]\n1=a\0b\n", 10),
      "[S]\n1=\xC3(\xFF\n",
      std::string(70000, '['),
  };
  for (const std::string& bytes : broken) {
    dir_.Write("language/1033.lan", bytes);
    std::wstring text = Text(1, L"S");
    EXPECT_LE(text.size(), 259u);
  }
  dir_.Write("language/1033.lan", "[S]\n1=\xC3(ok\n");
  EXPECT_EQ(Text(1, L"S"), L"\uFFFD(ok");
}

TEST(ShippedLanguageFiles, DefineTheSameTextsInEveryLanguage) {
  const std::string folder = platform::AppDir() + "language/";
  std::map<std::string, std::set<std::pair<std::wstring, std::wstring>>> idsByFile;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".lan") continue;
    auto ini = ReadIniFile(Utf8ToWide(entry.path().string()));
    ASSERT_TRUE(ini) << entry.path();
    auto& ids = idsByFile[entry.path().filename().string()];
    for (const auto& section : ini->sections) {
      for (const auto& [key, value] : section.entries) {
        EXPECT_FALSE(value.empty()) << entry.path() << " [" << WideToUtf8(section.name) << "] " << WideToUtf8(key);
        EXPECT_TRUE(ids.insert({AsciiLower(section.name), key}).second)
            << entry.path() << " defines " << WideToUtf8(key) << " twice in " << WideToUtf8(section.name);
      }
    }
  }
  ASSERT_TRUE(idsByFile.count("1033.lan"));
  ASSERT_TRUE(idsByFile.count("2052.lan"));
  for (const auto& [file, ids] : idsByFile) {
    for (const auto& id : ids)
      EXPECT_TRUE(idsByFile["1033.lan"].count(id)) << file << " has [" << WideToUtf8(id.first) << "] "
                                                   << WideToUtf8(id.second) << " that English lacks";
    for (const auto& id : idsByFile["1033.lan"])
      EXPECT_TRUE(ids.count(id)) << file << " lacks [" << WideToUtf8(id.first) << "] " << WideToUtf8(id.second);
  }
}

TEST(ShippedLanguageFiles, KeepTheDefaultProfileNameThatStoredRowsAreComparedWith) {
  const std::wstring folder = GetAppDir() + L"language/";
  EXPECT_EQ(ReadIniString(L"KB.DIALOG", L"150", folder + L"1033.lan"), L"New Configuration");
  EXPECT_EQ(ReadIniString(L"KB.DIALOG", L"150", folder + L"2052.lan"), L"\u9ed8\u8ba4\u914d\u7f6e");
}

TEST(LanguageLcid, CoversEveryStateOfTheStoredKey) {
  const std::wstring product = L"Varnel Keyboard";
  const std::string key = "SOFTWARE\\Varnel Keyboard";
  platform::MemorySettingsStore store;

  EXPECT_EQ(ReadLanguageLcid(product, store), 0);  // missing key is created
  EXPECT_EQ(store.createCalls, 1);
  EXPECT_TRUE(store.keys.count(key));
  EXPECT_EQ(ReadLanguageLcid(product, store), 0);  // key without a value

  WriteLanguageLcid(2052, product, store);
  EXPECT_EQ(store.keys[key]["LCID"], "2052");
  EXPECT_EQ(ReadLanguageLcid(product, store), 2052);

  store.keys[key]["LCID"] = "chinese";
  EXPECT_EQ(ReadLanguageLcid(product, store), 0);
  store.readFails = true;
  EXPECT_EQ(ReadLanguageLcid(product, store), 0);
  store.readFails = false;

  store.openFails = true;  // neither missing nor usable
  EXPECT_EQ(ReadLanguageLcid(product, store), 2052);
  store.openFails = false;

  platform::MemorySettingsStore fresh;
  fresh.createFails = true;
  EXPECT_EQ(ReadLanguageLcid(product, fresh), 2052);
  WriteLanguageLcid(1033, product, fresh);  // never creates the key
  EXPECT_TRUE(fresh.keys.empty());
  EXPECT_EQ(fresh.writeCalls, 0);
}

TEST(LanguageLcid, PersistsInTheUsersConfigurationFolder) {
  TempDir config;
  platform::IniSettingsStore store(config.path());
  const std::wstring product = L"Varnel Keyboard";
  WriteLanguageLcid(2052, product, store);
  EXPECT_FALSE(std::filesystem::exists(config.path() + "Varnel Keyboard"));
  EXPECT_EQ(ReadLanguageLcid(product, store), 0);
  ASSERT_TRUE(std::filesystem::exists(config.path() + "Varnel Keyboard/settings.ini"));
  WriteLanguageLcid(2052, product, store);
  EXPECT_EQ(ReadLanguageLcid(product, store), 2052);
  WriteLanguageLcid(1033, product, store);
  platform::IniSettingsStore reopened(config.path());
  EXPECT_EQ(ReadLanguageLcid(product, reopened), 1033);

  platform::IniSettingsStore homeless("");
  EXPECT_EQ(ReadLanguageLcid(product, homeless), 2052);
}
