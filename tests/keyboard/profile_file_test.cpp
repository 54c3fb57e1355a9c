// The key profile exchange file: a store's profile written and imported back, the written form,
// the ways a file may be arranged or broken, the item cap, failed writes and stores, and the names
// of exported files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "common/strings.h"
#include "keyboard/ProfileFile.h"
#include "storage/store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

KeyDataRow Key(int keyvalue, int fnlayer, int macrovalue, std::wstring desc = L"",
               std::wstring layoutDesc = L"") {
  KeyDataRow row;
  row.keyvalue = keyvalue;
  row.fnlayer = fnlayer;
  row.layoutkeyvalue = keyvalue + 100;
  row.layoutkeydesc = std::move(layoutDesc);
  row.macrotype = 2;
  row.macrovalue = macrovalue;
  row.macro2value = keyvalue % 3;
  row.macro3value = -keyvalue;
  row.macrodesc = std::move(desc);
  return row;
}

// The nine fields a file carries.
auto Fields(const KeyDataRow& r) {
  return std::tuple(r.keyvalue, r.fnlayer, r.layoutkeyvalue, r.layoutkeydesc, r.macrotype, r.macrovalue,
                    r.macro2value, r.macro3value, r.macrodesc);
}
auto Fields(const std::vector<KeyDataRow>& rows) {
  std::vector<decltype(Fields(KeyDataRow{}))> out;
  for (const KeyDataRow& row : rows) out.push_back(Fields(row));
  return out;
}

std::vector<KeyDataRow> Layer(ConfigDB& db, int profile, int fnlayer) {
  std::vector<KeyDataRow*> stored;
  EXPECT_GE(db.GetLayerKeyData(profile, fnlayer, stored), 0);
  std::vector<KeyDataRow> rows;
  for (const KeyDataRow* row : stored) rows.push_back(*row);
  FreeRows(stored);
  return rows;
}

std::string FileBytes(const std::wstring& path) {
  std::ifstream file(WideToUtf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::u16string ItemsText(int count) {
  std::u16string text = u"<profile><profileinfo name=\"many\"/><keyitems>";
  for (int i = 0; i < count; ++i) {
    const std::string key = std::to_string(i + 1);
    text += u"<item key_value=\"" + std::u16string(key.begin(), key.end()) + u"\" macro_value=\"1\"/>";
  }
  return text + u"</keyitems></profile>";
}

class ProfileFileTest : public StoreTest {
 protected:
  int Profiles() { return Raw().Int("SELECT count(*) FROM t_keyprofile"); }
  int KeyRows() { return Raw().Int("SELECT count(*) FROM t_key_data"); }
  std::wstring FilePath(const std::string& name) const { return Utf8ToWide(files_.path() + name); }
  testing_support::TempDir files_;
};

TEST_F(ProfileFileTest, AnExportedProfileImportsWithEveryFieldAndTheWrittenForm) {
  KeyProfileRow profile;
  profile.name = L"Fish & <Chips> \"q\" 'a' 默认配置 \U0001F600";
  const int source = store_.NewKeyProfile(&profile);
  ASSERT_GT(source, 0);
  // Layer 1 is stored first: the file still starts with layer 0.
  for (const KeyDataRow& row :
       {Key(30, 1, 7, L"<&>", L"\U0001F600"), Key(4, 1, 8), Key(5, 0, 9, L"a&b<c", L"Ä\"'"),
        Key(6, 0, 0x7FFFFFFF, L"默认 \U00020000", L"x")}) {
    KeyDataRow stored = row;
    stored.profile = source;
    ASSERT_GT(store_.SetKeyData(stored), 0);
  }
  const std::vector<KeyDataRow> layer0 = Layer(store_, source, 0);
  const std::vector<KeyDataRow> layer1 = Layer(store_, source, 1);
  ASSERT_EQ(layer0.size(), 2u);
  ASSERT_EQ(layer1.size(), 2u);
  const std::wstring path = FilePath("out.xml");
  ASSERT_TRUE(WriteProfileFile(path, profile.name, layer0, layer1));

  const std::string bytes = FileBytes(path);
  EXPECT_EQ(
      bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<profile>\r\n<profileinfo name=\"Fish &amp; "
                  "&lt;Chips&gt; &quot;q&quot;",
                  0),
      0u)
      << "the declaration and CR LF first, no byte-order mark";
  EXPECT_NE(
      bytes.find(
          "\"/>\r\n<keyitems>\r\n<item key_value=\"5\" fnlayer=\"0\" layoutkeyvalue=\"105\" "
          "layoutkeydesc=\"\xC3\x84&quot;&apos;\" macro_type=\"2\" macro_value=\"9\" macro_2value=\"2\" "
          "macro_3value=\"-5\" macro_desc=\"a&amp;b&lt;c\"/>\r\n"),
      std::string::npos)
      << bytes;

  ProfileFileContents read;
  ASSERT_EQ(ReadProfileFile(path, &read), ProfileReadStatus::kOk);
  EXPECT_EQ(read.name, profile.name);
  std::vector<KeyDataRow> expected = layer0;
  expected.insert(expected.end(), layer1.begin(), layer1.end());
  EXPECT_EQ(Fields(read.rows), Fields(expected));
  for (const KeyDataRow& row : read.rows) EXPECT_EQ(row.profile, 0);

  const int imported = StoreImportedProfile(store_, read);
  ASSERT_GT(imported, source);
  EXPECT_EQ(Raw().Rows("SELECT app, type FROM t_keyprofile WHERE profile_id = " + std::to_string(imported)),
            Rows{"|2"});
  std::wstring storedName;
  store_.GetKeyProfileName(imported, &storedName);
  EXPECT_EQ(storedName, profile.name);
  EXPECT_EQ(Fields(Layer(store_, imported, 0)), Fields(layer0));
  EXPECT_EQ(Fields(Layer(store_, imported, 1)), Fields(layer1));

  // A profile without rows still writes its keyitems.
  ASSERT_TRUE(WriteProfileFile(FilePath("empty.xml"), L"", {}, {}));
  EXPECT_NE(FileBytes(FilePath("empty.xml")).find("<profileinfo name=\"\"/>\r\n<keyitems/>"),
            std::string::npos);
}

TEST_F(ProfileFileTest, PartsInAnyOrderMissingPartsAndMissingValues) {
  ProfileFileContents read;
  ASSERT_EQ(ParseProfileText(u"<profile><!-- note --><other><item key_value=\"9\"/></other>"
                             u"<keyitems><item key_value=\"4\" fnlayer=\"1\" macro_value=\" 12abc\"/><skip/>"
                             u"<item key_value=\"x\" layoutkeydesc=\"d\"/></keyitems>"
                             u"<profileinfo name=\"late\"/><profileinfo name=\"second\"/>"
                             u"<keyitems><item key_value=\"5\"/></keyitems></profile>",
                             &read),
            ProfileReadStatus::kOk);
  EXPECT_EQ(read.name, L"late") << "the first profileinfo counts";
  ASSERT_EQ(read.rows.size(), 2u) << "only the first keyitems' items";
  EXPECT_EQ(Fields(read.rows[0]), Fields(KeyDataRow{0, 0, 4, 1, 0, L"", 0, 12, 0, 0, L""}));
  EXPECT_EQ(Fields(read.rows[1]), Fields(KeyDataRow{0, 0, 0, 0, 0, L"d", 0, 0, 0, 0, L""}));

  ASSERT_EQ(ParseProfileText(
                u"<profile><keyitems><item key_value=\"4\" macro_value=\"1\"/></keyitems></profile>", &read),
            ProfileReadStatus::kOk);
  EXPECT_EQ(read.name, L"");
  EXPECT_EQ(read.rows.size(), 1u);

  // Without keyitems the import is an empty profile with the file's name; without a name, an
  // empty name.
  const int before = Profiles();
  ASSERT_EQ(ParseProfileText(u"<profile><profileinfo name=\"bare\"/></profile>", &read),
            ProfileReadStatus::kOk);
  const int bare = StoreImportedProfile(store_, read);
  ASSERT_GT(bare, 0);
  ASSERT_EQ(ParseProfileText(u"<profile><profileinfo/></profile>", &read), ProfileReadStatus::kOk);
  const int unnamed = StoreImportedProfile(store_, read);
  ASSERT_GT(unnamed, 0);
  EXPECT_EQ(Profiles(), before + 2);
  std::wstring name = L"?";
  store_.GetKeyProfileName(bare, &name);
  EXPECT_EQ(name, L"bare");
  store_.GetKeyProfileName(unnamed, &name);
  EXPECT_EQ(name, L"");
  EXPECT_TRUE(Layer(store_, bare, 0).empty());
}

TEST_F(ProfileFileTest, BrokenFilesAreRefusedAndLeaveTheOutputAlone) {
  struct Case {
    const char* file;
    ProfileReadStatus status;
  };
  const std::filesystem::path folder =
      std::filesystem::path(KELVANE_SOURCE_DIR) / "tests/data/broken/profile";
  const Case cases[] = {
      {"empty.xml", ProfileReadStatus::kMalformed},
      {"not-xml.xml", ProfileReadStatus::kMalformed},
      {"truncated.xml", ProfileReadStatus::kMalformed},
      {"two-roots.xml", ProfileReadStatus::kMalformed},
      {"unclosed-keyitems.xml", ProfileReadStatus::kMalformed},
      {"wrong-root.xml", ProfileReadStatus::kWrongRoot},
      {"odd-utf16.xml", ProfileReadStatus::kUnreadable},
      {"missing.xml", ProfileReadStatus::kUnreadable},
  };
  EXPECT_EQ(static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {})),
            std::size(cases) - 1)
      << "every file of the corpus has its case";
  for (const Case& c : cases) {
    ProfileFileContents out{L"untouched", {KeyDataRow{}}};
    EXPECT_EQ(ReadProfileFile((folder / c.file).wstring(), &out), c.status) << c.file;
    EXPECT_EQ(out.name, L"untouched") << c.file;
    EXPECT_EQ(out.rows.size(), 1u) << c.file;
  }
  ProfileFileContents out;
  EXPECT_EQ(ReadProfileFile(folder.wstring(), &out), ProfileReadStatus::kUnreadable) << "a folder";
}

TEST_F(ProfileFileTest, AtMost1024ItemsAreTaken) {
  ProfileFileContents read;
  EXPECT_EQ(ParseProfileText(ItemsText(1025), &read), ProfileReadStatus::kTooManyItems);
  EXPECT_TRUE(read.rows.empty());
  ASSERT_EQ(ParseProfileText(ItemsText(1024), &read), ProfileReadStatus::kOk);
  ASSERT_EQ(read.rows.size(), 1024u);
  const int keyRows = KeyRows();
  const int imported = StoreImportedProfile(store_, read);
  ASSERT_GT(imported, 0);
  EXPECT_EQ(KeyRows(), keyRows + 1024);
}

TEST_F(ProfileFileTest, ImportedDuplicatesEndAsTheLastAndFailedStoresLeaveNoProfile) {
  ProfileFileContents contents{L"dup", {Key(4, 0, 1), Key(0, 0, 2), Key(4, 1, 3), Key(4, 0, 4, L"last")}};
  const int id = StoreImportedProfile(store_, contents);
  ASSERT_GT(id, 0);
  EXPECT_EQ(Raw().Rows("SELECT keyvalue, fnlayer, macrovalue, macrodesc FROM t_key_data WHERE profile = " +
                       std::to_string(id) + " ORDER BY fnlayer"),
            (Rows{"4|0|4|last", "4|1|3|"}));

  const int profiles = Profiles();
  const int keyRows = KeyRows();
  FailInsertsInto("t_key_data");
  // The profile row would not go again either: only one transaction leaves no empty profile (as
  // when the process is killed between the two).
  ASSERT_EQ(Raw().Exec("CREATE TRIGGER keep_profile BEFORE DELETE ON t_keyprofile "
                       "BEGIN SELECT RAISE(ABORT, 'kept'); END"),
            SQLITE_OK);
  EXPECT_EQ(StoreImportedProfile(store_, contents), 0);
  EXPECT_EQ(Profiles(), profiles) << "no profile without its rows";
  FailInsertsInto("t_keyprofile");
  EXPECT_EQ(StoreImportedProfile(store_, contents), 0);
  EXPECT_EQ(Profiles(), profiles);
  EXPECT_EQ(KeyRows(), keyRows);
}

TEST_F(ProfileFileTest, AWriteThatCannotBeDoneFailsAndLeavesNothing) {
  const std::string plainFile = files_.Write("plain", "x");
  std::wstring log;
  EXPECT_FALSE(WriteProfileFile(Utf8ToWide(plainFile + "/p.xml"), L"p", {}, {}, &log)) << "a file as folder";
  EXPECT_NE(log.find(L"file_error"), std::wstring::npos);
  EXPECT_FALSE(WriteProfileFile(FilePath("missing/p.xml"), L"p", {}, {}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files_.path()), {}), 1);
}

TEST_F(ProfileFileTest, ExportNamesStayInTheirFolderAndFitAFileName) {
  struct Case {
    const wchar_t* name;
    const wchar_t* file;
  };
  for (const Case& c : {Case{L"Profile 2", L"/d/Profile 2-77.xml"}, Case{L"a/b\\c", L"/d/a_b_c-77.xml"},
                        Case{L"../../etc/x", L"/d/.._.._etc_x-77.xml"}, Case{L"..", L"/d/_-77.xml"},
                        Case{L".", L"/d/_-77.xml"}, Case{L"", L"/d/_-77.xml"},
                        Case{L"tab\there\n\x7F", L"/d/tab_here__-77.xml"}}) {
    EXPECT_EQ(ProfileExportFileName(L"/d", c.name, 77), c.file);
    EXPECT_EQ(ProfileExportFileName(L"/d/", c.name, 77), c.file);
  }
  EXPECT_EQ(ProfileExportFileName(L"/d", L"p", 4294967295u), L"/d/p-4294967295.xml");

  // The file name stays within 233 bytes, so that the temporary file of the safe write beside it
  // fits 255 as well: "-4294967295.xml" leaves 218 bytes, 72 three-byte characters, or one byte and
  // 54 four-byte ones.
  struct Long {
    std::wstring name;
    size_t kept;
  };
  for (const Long& c : {Long{std::wstring(100, L'默'), 72}, Long{L"a" + std::wstring(100, L'\U0001F600'), 55},
                        Long{std::wstring(300, L'a'), 218}}) {
    const std::wstring path = ProfileExportFileName(files_.wpath(), c.name, 4294967295u);
    const std::filesystem::path file(WideToUtf8(path));
    EXPECT_EQ(file.parent_path().string() + "/", files_.path());
    const std::wstring fileName = Utf8ToWide(file.filename().string());
    EXPECT_LE(file.filename().string().size(), 233u);
    EXPECT_EQ(fileName, c.name.substr(0, c.kept) + L"-4294967295.xml");
    EXPECT_TRUE(WriteProfileFile(path, c.name, {}, {})) << "the system takes the name";
  }
}

}  // namespace
