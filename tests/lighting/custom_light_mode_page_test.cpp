// The custom light mode editor through the window: the scheme in use through select, new and
// restart, delete then store, the rows of every key, white on a single-colour keyboard, the black
// preset, the brightness, renames and the exchange files.
#include <filesystem>

#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard_fixture.h"
#include "platform/qt/dialogs.h"
#include "shell/ui_message_box.h"
#include "tests/support/temp_dir.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"

namespace kb_test {
namespace {

class CustomLightModePageTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    platform::SetDialogsOverride(&dialogs_);
  }
  void TearDown() override {
    platform::SetDialogsOverride(nullptr);
    KeyboardTest::TearDown();
  }
  static QelListBox& List(KeyboardDlg& dlg) { return *dlg.GetControlAs<QelListBox>(kb_ids::kCustomLightModeList); }
  static CustomLightMode& View(KeyboardDlg& dlg) { return *dlg.GetCustomLightView(kb_ids::kCustomLightModeView); }
  static int CurrentId(KeyboardDlg& dlg) { return static_cast<int>(List(dlg).GetItemData(List(dlg).GetCurSel())); }
  std::string Count(int id, const std::string& where = "1") {
    return QueryText(StorePath(), "SELECT count(*) FROM t_custommodergb_data WHERE customlight_id=" +
                                      std::to_string(id) + " AND " + where);
  }
  std::string InUse() {
    return QueryText(StorePath(), "SELECT value FROM t_configdata WHERE key='cur_customlightmode'");
  }
  static int Sends(KeyboardDlg& dlg) {
    int sends = 0;
    for (int task : dlg.QueuedTasks()) sends += task == TaskSendCustomModeColors;
    return sends;
  }
  std::string Rows(int id) {
    return QueryText(StorePath(), "SELECT group_concat(keycode || ':' || rgbvalue || ':' || light_mode || ':' || "
                                  "colortype, ',') FROM t_custommodergb_data WHERE customlight_id=" +
                                      std::to_string(id));
  }
  std::string Brightness(int id) {
    return QueryText(StorePath(), "SELECT brightness FROM t_customlightmode_data WHERE customlight_id=" +
                                      std::to_string(id));
  }

  platform::ScriptedDialogs dialogs_;
  testing_support::TempDir exports_;
};

TEST_F(CustomLightModePageTest, TheSchemeInUseFollowsSelectAndNewAndSurvivesARestart) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ClearQueue(dlg);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int first = CurrentId(dlg);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(dlg.m_curCustomLightMode.load(), first);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int second = CurrentId(dlg);
  EXPECT_EQ(Sends(dlg), 2);
  List(dlg).SetCurData(first);
  dlg.OnCustomLightModeListNotify(NOTIFY_SELCHANGE);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(Sends(dlg), 3);

  // Deleting the selected scheme selects the one before; the scheme in use stays and nothing is sent.
  List(dlg).SetCurData(second);
  ASSERT_EQ(dlg.OnDeleteCustomLightMode(), 1);
  EXPECT_EQ(CurrentId(dlg), first);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(Sends(dlg), 3);

  dlg_.reset();
  KeyboardDlg& again = OpenIdleWindow();
  EXPECT_EQ(again.m_curCustomLightMode.load(), first);
  EXPECT_EQ(CurrentId(again), first);
}

TEST_F(CustomLightModePageTest, StoresWriteEveryKeyOfOnlyTheSelectedScheme) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int kept = CurrentId(dlg);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(206);  // red for A
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  const size_t keys = View(dlg).GetKeyItems().size();
  ASSERT_EQ(keys, 108u);
  EXPECT_EQ(Count(kept), "108") << "checked or not";
  EXPECT_EQ(Count(kept, "keycode=4 AND rgbvalue=255 AND light_mode=1 AND colortype=0"), "1");
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int gone = CurrentId(dlg);
  ASSERT_EQ(dlg.OnDeleteCustomLightMode(), 1);
  EXPECT_EQ(CurrentId(dlg), kept);
  ClearQueue(dlg);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColor(), 1);  // clear: colour 0, light mode 0, colour type 1
  EXPECT_EQ(Count(kept, "rgbvalue=0 AND light_mode=0 AND colortype=1"), "108");
  EXPECT_EQ(Count(gone), "0");
  EXPECT_EQ(Sends(dlg), 1);
  // The black preset stores the whole scheme at once.
  ClearQueue(dlg);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(219);
  EXPECT_EQ(Count(kept, "light_mode=1 AND colortype=0"), "108");
  EXPECT_EQ(Sends(dlg), 1);

  // Brightness is stored for the scheme and sent by nothing.
  ClearQueue(dlg);
  dlg.GetControlAs<MSlider>(223)->SetPos(9);
  ASSERT_EQ(dlg.OnCustomLightModeBrightnessSlider(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT brightness FROM t_customlightmode_data WHERE customlight_id=" +
                                       std::to_string(kept)),
            "9");
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(CustomLightModePageTest, ASingleColourKeyboardStoresTheCheckedKeysWhite) {
  KeyboardDlg& dlg = MakeWindow();
  dlg.m_isRgb = 0;
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  Drain(dlg);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int id = CurrentId(dlg);
  View(dlg).SetKeyCheck(26, true);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  EXPECT_EQ(Count(id, "keycode=26 AND rgbvalue=16777215"), "1");
  EXPECT_EQ(Count(id, "rgbvalue=0"), "107");
}

TEST_F(CustomLightModePageTest, RenamesAreStoredAndAnEmptyNameComesBack) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int id = CurrentId(dlg);
  const int row = List(dlg).GetCurSel();
  List(dlg).ModifyItemString(row, L"Night \"2\"");
  EXPECT_EQ(dlg.OnCustomLightModeListNotify(NOTIFY_EDIT_END), 1);
  const std::string name = "SELECT name FROM t_customlightmode_data WHERE customlight_id=" + std::to_string(id);
  EXPECT_EQ(QueryText(StorePath(), name), "Night \"2\"");
  List(dlg).ModifyItemString(row, L"");
  EXPECT_EQ(dlg.OnCustomLightModeListNotify(NOTIFY_EDIT_END), 0);
  EXPECT_EQ(List(dlg).GetItemText(row), L"Night \"2\"");
  EXPECT_EQ(QueryText(StorePath(), name), "Night \"2\"");
  EXPECT_TRUE(dialogs_.asked.empty()) << "no message";
}

TEST_F(CustomLightModePageTest, AnExportedSchemeImportsWithItsNameBrightnessAndRows) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int id = CurrentId(dlg);
  List(dlg).ModifyItemString(List(dlg).GetCurSel(), L"Desk & <lamp>");
  ASSERT_EQ(dlg.OnCustomLightModeListNotify(NOTIFY_EDIT_END), 1);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(206);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  dlg.GetControlAs<MSlider>(223)->SetPos(7);
  ASSERT_EQ(dlg.OnCustomLightModeBrightnessSlider(), 1);
  ClearQueue(dlg);

  dialogs_.answers.push_back({Utf8ToWide(exports_.path())});
  ASSERT_EQ(dlg.OnExportCustomLightMode(), 1);
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(exports_.path())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);

  const int before = List(dlg).GetCount();
  dialogs_.answers.push_back({files[0].wstring()});
  ASSERT_EQ(dlg.OnImportCustomLightMode(), 1);
  ASSERT_EQ(List(dlg).GetCount(), before + 1);
  const int imported = static_cast<int>(List(dlg).GetItemData(before));
  EXPECT_NE(imported, id);
  EXPECT_EQ(CurrentId(dlg), id) << "not selected";
  EXPECT_EQ(List(dlg).GetItemText(before), L"Desk & <lamp>");
  EXPECT_EQ(QueryText(StorePath(), "SELECT name FROM t_customlightmode_data WHERE customlight_id=" +
                                       std::to_string(imported)),
            "Desk & <lamp>");
  EXPECT_EQ(Brightness(imported), "7");
  // The same keys and colours in the same order; an import marks its rows light mode 1, colour type 1.
  const std::string keys = "SELECT group_concat(keycode || ':' || rgbvalue, ',') FROM t_custommodergb_data "
                           "WHERE customlight_id=";
  const std::string exported = QueryText(StorePath(), keys + std::to_string(id));
  EXPECT_EQ(Count(id), "108");
  EXPECT_EQ(QueryText(StorePath(), keys + std::to_string(imported)), exported);
  EXPECT_EQ(Count(imported, "light_mode=1 AND colortype=1"), "108");
  EXPECT_EQ(Count(imported, "keycode=4 AND rgbvalue=255"), "1");
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

// One key row refused by the store: an import leaves no scheme and a store keeps the stored keys;
// each tells the user once.
TEST_F(CustomLightModePageTest, ARefusedKeyRowLeavesTheStoreAsItWasAndIsTold) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int id = CurrentId(dlg);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(206);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  dialogs_.answers.push_back({Utf8ToWide(exports_.path())});
  ASSERT_EQ(dlg.OnExportCustomLightMode(), 1);
  const std::filesystem::path file = std::filesystem::directory_iterator(exports_.path())->path();
  ClearQueue(dlg);

  ASSERT_TRUE(Exec(StorePath(),
                   "CREATE TRIGGER refuse BEFORE INSERT ON t_custommodergb_data WHEN NEW.keycode = 5 "
                   "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  const std::string stored = Rows(id);
  const std::string schemes = QueryText(StorePath(), "SELECT count(*) FROM t_customlightmode_data");
  std::vector<std::wstring> messages;
  const auto answer = [&] {
    driver_.AnswerNextModal([&](MDialog& box) {
      messages.push_back(static_cast<CUIMessageBox&>(box).m_message);
      zuvi_testing::Driver::Click(box, CUIMessageBox::IdOkOrYes);
    });
  };
  const int listed = List(dlg).GetCount();
  dialogs_.answers.push_back({file.wstring()});
  answer();
  EXPECT_EQ(dlg.OnImportCustomLightMode(), 0);
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_customlightmode_data"), schemes)
      << "no empty scheme";
  EXPECT_EQ(List(dlg).GetCount(), listed);
  answer();
  EXPECT_EQ(dlg.OnCustomLightModeApplyColor(), 0);
  EXPECT_EQ(Rows(id), stored) << "the old keys were not deleted";
  EXPECT_TRUE(dlg.QueuedTasks().empty()) << "nothing new to send";
  std::wstring text;
  GetLangText(&text, KeyboardDlg::kTextNotSaved, L"KB.DIALOG");
  EXPECT_EQ(messages, (std::vector<std::wstring>{text, text}));
}

// The brightness slider is stored only: the settings record the keyboard receives keeps 05 05 in
// bytes 9 and 10, and moving the slider queues nothing.
TEST_F(CustomLightModePageTest, TheBrightnessLeavesTheSettingsRecordAlone) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  Drain(dlg);
  dlg.GetControlAs<MSlider>(223)->SetPos(2);
  ASSERT_EQ(dlg.OnCustomLightModeBrightnessSlider(), 1);
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  const int savesBefore = sim_.keyboard(0).received().saves;
  dlg.PostTask(TaskSendCustomModeColors);
  Drain(dlg);
  const auto received = sim_.keyboard(0).received();
  ASSERT_GT(received.saves, savesBefore) << "the settings went out";
  ASSERT_GE(received.customSettings.size(), 11u);
  EXPECT_EQ(received.customSettings[0], 0x80);
  EXPECT_EQ(received.customSettings[9], 0x05);
  EXPECT_EQ(received.customSettings[10], 0x05);
}

}  // namespace
}  // namespace kb_test
