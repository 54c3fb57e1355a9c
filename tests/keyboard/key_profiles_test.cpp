// The key profiles of the key assignment page: the lists in both languages, new, delete, rename,
// the list menus, and export and import through the page with the user's dialogs scripted.
#include <unistd.h>

#include <filesystem>

#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard_fixture.h"
#include "platform/qt/dialogs.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;
namespace fs = std::filesystem;

constexpr int kUserProfile = 4;  // the store's own first profile
constexpr int kEnglish = 0x409;
constexpr int kChinese = 0x804;

class KeyProfilesTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    platform::SetDialogsOverride(&dialogs_);
  }
  void TearDown() override {
    platform::SetDialogsOverride(nullptr);
    g_languageId.store(kEnglish);
    KeyboardTest::TearDown();
  }

  KeyboardDlg& Page() {
    KeyboardDlg& dlg = OpenIdleWindow();
    main_.ShowWindow(SW_SHOW);
    Driver::RunFor(1);
    return dlg;
  }
  static QelListBox& List(KeyboardDlg& dlg) { return *dlg.GetControlAs<QelListBox>(kb_ids::kProfileList); }
  static std::vector<std::wstring> Rows(QelListBox& list) {
    std::vector<std::wstring> rows;
    for (int i = 0; i < list.GetItemCount(); ++i) rows.push_back(list.GetItemText(i));
    return rows;
  }
  static int AddProfile(KeyboardDlg& dlg, const std::wstring& name) {
    KeyProfileRow row;
    row.name = name;
    return dlg.m_configDB.NewKeyProfile(&row);
  }
  static void Reload(KeyboardDlg& dlg) {
    dlg.PostTask(TaskReloadAll);
    for (int i = 0; i < 20 && !dlg.QueuedTasks().empty(); ++i) dlg.Run();
  }
  static std::wstring Text(int id) {
    std::wstring text;
    GetLangText(&text, id, L"KB.DIALOG");
    return text;
  }
  std::string Rows(int profile) {
    return QueryText(StorePath(),
                     "SELECT group_concat(keyvalue || ':' || fnlayer || ':' || layoutkeyvalue || ':' || "
                     "layoutkeydesc || ':' || macrotype || ':' || macrovalue || ':' || macro2value || "
                     "':' || macro3value || ':' || macrodesc, ',') FROM (SELECT * FROM t_key_data "
                     "WHERE profile=" +
                         std::to_string(profile) + " ORDER BY fnlayer, keyvalue)");
  }
  std::string ProfileCount() { return QueryText(StorePath(), "SELECT count(*) FROM t_keyprofile"); }
  MenuLog menuLog_;

  platform::ScriptedDialogs dialogs_;
  testing_support::TempDir exports_;
};

TEST_F(KeyProfilesTest, ListsShowDefaultNamesInTheUiLanguageAndTheStoreKeepsItsOwn) {
  KeyboardDlg& dlg = Page();
  AddProfile(dlg, L"默认配置");
  AddProfile(dlg, L"New Configuration Scheme");
  AddProfile(dlg, L"Mine");
  Reload(dlg);
  EXPECT_EQ(Rows(List(dlg)),
            (std::vector<std::wstring>{Text(150), Text(150), L"New Configuration Scheme", L"Mine"}));
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_EQ(dlg.m_keyProfileId.load(), kUserProfile);
  QelListBox& presets = *dlg.GetControlAs<QelListBox>(69);
  EXPECT_EQ(Rows(presets), (std::vector<std::wstring>{L"QWERTY", L"MAC"}));

  g_languageId.store(kChinese);
  Reload(dlg);
  EXPECT_EQ(Rows(List(dlg)), (std::vector<std::wstring>{L"默认配置", L"默认配置", Text(150), L"Mine"}));
  EXPECT_EQ(QueryText(StorePath(), "SELECT name FROM t_keyprofile WHERE profile_id=5"), "默认配置");
}

TEST_F(KeyProfilesTest, NewSelectsAndSendsDeleteKeepsTheLastAndFollowsTheCurrentProfile) {
  KeyboardDlg& dlg = Page();
  ClearQueue(dlg);
  EXPECT_EQ(dlg.DeleteProfile(), 0);  // the only profile stays
  EXPECT_EQ(ProfileCount(), "4");

  ASSERT_TRUE(Driver::Click(dlg, 60));
  ASSERT_EQ(List(dlg).GetItemCount(), 2);
  EXPECT_EQ(List(dlg).GetCurSel(), 1);
  const int added = static_cast<int>(List(dlg).GetItemData(1));
  EXPECT_EQ(dlg.m_keyProfileId.load(), added);
  EXPECT_EQ(List(dlg).GetItemText(1), Text(150));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  // Deleting the profile on show shows the row above, as if the user had picked it.
  ClearQueue(dlg);
  ASSERT_TRUE(Driver::Click(dlg, 61));
  EXPECT_EQ(Rows(List(dlg)).size(), 1u);
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_EQ(dlg.m_keyProfileId.load(), kUserProfile);
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  // A profile that is not on show goes without touching the view; the first row's delete selects
  // the new first row.
  const int second = AddProfile(dlg, L"Second");
  Reload(dlg);
  ClearQueue(dlg);
  ASSERT_TRUE(List(dlg).SetCurSel(1));
  EXPECT_EQ(dlg.DeleteProfile(), 1);
  EXPECT_EQ(dlg.m_keyProfileId.load(), kUserProfile);
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  EXPECT_EQ(
      QueryText(StorePath(), "SELECT count(*) FROM t_keyprofile WHERE profile_id=" + std::to_string(second)),
      "0");

  AddProfile(dlg, L"Third");
  Reload(dlg);
  ASSERT_TRUE(List(dlg).SetCurSel(0));
  EXPECT_EQ(dlg.DeleteProfile(), 1);
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_EQ(List(dlg).GetItemText(0), L"Third");
  EXPECT_EQ(dlg.m_keyProfileId.load(), static_cast<int>(List(dlg).GetItemData(0)));

  // No selection, and a store that refuses: nothing changes.
  AddProfile(dlg, L"Fourth");
  Reload(dlg);
  List(dlg).SetCurSel(-1);
  EXPECT_EQ(dlg.DeleteProfile(), 0);
  ASSERT_TRUE(
      Exec(StorePath(),
           "CREATE TRIGGER no_delete BEFORE DELETE ON t_keyprofile BEGIN SELECT RAISE(ABORT, 'no'); END"));
  List(dlg).SetCurSel(1);
  EXPECT_EQ(dlg.DeleteProfile(), 1);
  EXPECT_EQ(List(dlg).GetItemCount(), 2);
}

TEST_F(KeyProfilesTest, RenameStoresWhatWasTypedAndAnEmptyNameBringsTheOldOneBack) {
  KeyboardDlg& dlg = Page();
  ClearQueue(dlg);
  ASSERT_TRUE(Driver::Click(dlg, 62));
  ASSERT_TRUE(Driver::FinishEdit(dlg, kb_ids::kProfileList, L"Gaming & <Work>"));
  EXPECT_EQ(QueryText(StorePath(), "SELECT name FROM t_keyprofile WHERE profile_id=4"), "Gaming & <Work>");
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  List(dlg).ModifyItemString(0, L"");
  EXPECT_EQ(dlg.OnProfileListNotify(29), 0);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0], Text(153));
  EXPECT_EQ(List(dlg).GetItemText(0), L"Gaming & <Work>");
}

TEST_F(KeyProfilesTest, MenusOfTheListDependOnTheSelection) {
  KeyboardDlg& dlg = Page();
  menuLog_.AnswerWith(0);
  ASSERT_TRUE(Driver::RightClick(dlg, kb_ids::kProfileList));
  List(dlg).SetCurSel(-1);
  dlg.OnProfileListNotify(5);
  ASSERT_EQ(menuLog_.menus.size(), 2u);
  EXPECT_EQ(menuLog_.menus[0], (std::vector<int>{605, 606, 608}));
  EXPECT_EQ(menuLog_.menus[1], std::vector<int>{607});
  EXPECT_EQ(dlg.OnProfileCommand(600), 1);  // not a command of this menu
  // A user deselecting the list switches the key view off.
  EXPECT_EQ(dlg.OnProfileListNotify(1), 1);
  EXPECT_FALSE(dlg.GetControl(kb_ids::kKeyAssignView)->IsEnabled());
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kProfileList, 0));
  EXPECT_TRUE(dlg.GetControl(kb_ids::kKeyAssignView)->IsEnabled());
}

TEST_F(KeyProfilesTest, AnExportedProfileImportsWithEveryFieldAsItWas) {
  KeyboardDlg& dlg = Page();
  const std::wstring texts[] = {L"A & B", L"<tag>", L"\"quoted\" 'single'", L"中文按键", L"\U0001F3AE pad"};
  for (int i = 0; i < 5; ++i) {
    KeyDataRow row;
    row.profile = kUserProfile;
    row.keyvalue = 0x29 + i;
    row.fnlayer = i % 2;
    row.layoutkeyvalue = -i;
    row.layoutkeydesc = texts[4 - i];
    row.macrotype = 2 + i;
    row.macrovalue = 100 + i;
    row.macro2value = i;
    row.macro3value = 7 * i;
    row.macrodesc = texts[i];
    ASSERT_GT(dlg.m_configDB.SetKeyData(row), 0);
  }
  dlg.m_configDB.RenameKeyProfile(kUserProfile, L"Mine/Yours");
  Reload(dlg);
  dialogs_.answers.push_back({Utf8ToWide(exports_.path())});
  ASSERT_TRUE(Driver::Click(dlg, 64));
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(exports_.path())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().rfind("Mine_Yours-", 0), 0u) << files[0];
  const std::string bytes = ReadFile(files[0].string());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u);

  dialogs_.answers.push_back({files[0].wstring()});
  ClearQueue(dlg);
  ASSERT_TRUE(Driver::Click(dlg, 63));
  ASSERT_EQ(List(dlg).GetItemCount(), 2);
  EXPECT_EQ(List(dlg).GetItemText(1), L"Mine/Yours");
  EXPECT_EQ(List(dlg).GetCurSel(), 0);  // added unselected, and nothing is sent
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  const int imported = static_cast<int>(List(dlg).GetItemData(1));
  EXPECT_EQ(Rows(imported), Rows(kUserProfile));
  EXPECT_NE(Rows(imported), "<null>");
}

TEST_F(KeyProfilesTest, ExportAndImportFailuresChangeNothing) {
  KeyboardDlg& dlg = Page();
  // Nothing selected: the user is told.
  List(dlg).SetCurSel(-1);
  EXPECT_EQ(dlg.ExportProfile(), 0);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0], Text(151));

  // A folder that cannot be written: the user is told, nothing is left behind.
  List(dlg).SetCurSel(0);
  const std::string locked = exports_.path() + "locked";
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  dialogs_.answers.push_back({Utf8ToWide(locked)});
  if (::access(locked.c_str(), W_OK) != 0) {  // root can write anywhere
    EXPECT_EQ(dlg.ExportProfile(), 0);
    EXPECT_EQ(dialogs_.asked.back(), Text(157));
    EXPECT_TRUE(fs::is_empty(locked));
  } else {
    dialogs_.answers.clear();
  }
  fs::permissions(locked, fs::perms::owner_all);

  // Cancelled dialogs.
  dialogs_.answers.push_back({});
  EXPECT_EQ(dlg.ExportProfile(), 0);
  dialogs_.answers.push_back({});
  EXPECT_EQ(dlg.ImportProfile(), 0);

  // Files that are not profiles: passed over, nothing created or shown.
  const size_t asked = dialogs_.asked.size();
  const std::pair<const char*, std::string> broken[] = {
      {"empty.xml", ""},
      {"broken.xml", "<profile><profileinfo name=\"x\"></profile"},
      {"root.xml", "<?xml version=\"1.0\"?><macro><profileinfo name=\"x\"/></macro>"},
  };
  for (const auto& [name, text] : broken) {
    exports_.Write(name, text);
    dialogs_.answers.push_back({Utf8ToWide(exports_.path() + name)});
    EXPECT_EQ(dlg.ImportProfile(), 1) << name;
  }
  dialogs_.answers.push_back({Utf8ToWide(exports_.path() + "missing.xml")});
  EXPECT_EQ(dlg.ImportProfile(), 0);
  for (size_t i = asked; i < dialogs_.asked.size(); ++i)
    EXPECT_EQ(dialogs_.asked[i], Text(50)) << "only the open dialog";
  EXPECT_EQ(ProfileCount(), "4");
  EXPECT_EQ(List(dlg).GetItemCount(), 1);
}

}  // namespace
}  // namespace kb_test
