// The custom light effect editor through the window: the scheme list with new, delete and rename,
// the key checks and the stores of the checked keys, the speed, and the exchange files with the
// user's dialogs scripted.
#include <filesystem>

#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard_fixture.h"
#include "platform/qt/dialogs.h"
#include "tests/support/temp_dir.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"

namespace kb_test {
namespace {

namespace fs = std::filesystem;
constexpr int kW = 26, kA = 4, kS = 22, kD = 7;

class CustomLightPageTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    platform::SetDialogsOverride(&dialogs_);
  }
  void TearDown() override {
    platform::SetDialogsOverride(nullptr);
    KeyboardTest::TearDown();
  }
  KeyboardDlg& Page() {
    KeyboardDlg& dlg = OpenIdleWindow();
    ClearQueue(dlg);
    return dlg;
  }
  static QelListBox& List(KeyboardDlg& dlg) { return *dlg.GetControlAs<QelListBox>(kb_ids::kCustomLightList); }
  static CustomLightMode& View(KeyboardDlg& dlg) { return *dlg.GetCustomLightView(kb_ids::kCustomLightView); }
  static int CurrentId(KeyboardDlg& dlg) {
    return static_cast<int>(List(dlg).GetItemData(List(dlg).GetCurSel()));
  }
  std::string Rows(int id) {
    return QueryText(StorePath(), "SELECT group_concat(keycode || ':' || rgbvalue || ':' || light_mode || ':' || "
                                  "colortype, ',') FROM t_customrgb_data WHERE customlight_id=" +
                                      std::to_string(id));
  }
  std::string SchemeCount() { return QueryText(StorePath(), "SELECT count(*) FROM t_customlight_data"); }
  static void CheckWasd(KeyboardDlg& dlg) {
    dlg.GetControlAs<CCheckButton>(182)->SetCheck(true);
    dlg.OnCustomLightCheckWasd();
  }
  static int EffectOf(KeyboardDlg& dlg, int code) {
    for (const CustomLightItem& item : View(dlg).GetKeyItems())
      if (item.code == code) return item.effect;
    return -1;
  }

  platform::ScriptedDialogs dialogs_;
  testing_support::TempDir exports_;
};

TEST_F(CustomLightPageTest, NewDeleteAndStoresKeepTheViewOnTheSelectedScheme) {
  KeyboardDlg& dlg = Page();
  while (List(dlg).GetCount() > 0) ASSERT_EQ(dlg.OnDeleteCustomLight(), 1);
  EXPECT_FALSE(dlg.GetControl(184)->IsEnabled()) << "no scheme: editing disabled";
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  EXPECT_TRUE(dlg.GetControl(184)->IsEnabled());
  const int first = CurrentId(dlg);
  // WASD checked, the palette's red applied with effect 1 (the effect list's first item).
  CheckWasd(dlg);
  dlg.ApplyCustomLightColorEdit();
  ASSERT_EQ(dlg.OnCustomLightApplyColor(), 1);
  EXPECT_EQ(Rows(first), "26:0:1:0,4:0:1:0,22:0:1:0,7:0:1:0") << "the layout's order: W A S D";
  ASSERT_EQ(dlg.OnCustomLightApplyColor(), 1);
  EXPECT_EQ(Rows(first), "26:0:1:0,4:0:1:0,22:0:1:0,7:0:1:0") << "replaced, not duplicated";

  // A new scheme shows its own (empty) keys, so storing it leaves the first alone.
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int second = CurrentId(dlg);
  EXPECT_EQ(EffectOf(dlg, kW), 0);
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int third = CurrentId(dlg);
  // Deleting the last scheme selects the one before it and shows its keys.
  List(dlg).SetCurSel(0);
  dlg.OnCustomLightListNotify(NOTIFY_SELCHANGE);
  EXPECT_EQ(EffectOf(dlg, kA), 1);
  List(dlg).SetCurSel(2);
  dlg.OnCustomLightListNotify(NOTIFY_SELCHANGE);
  ASSERT_EQ(dlg.OnDeleteCustomLight(), 1);
  EXPECT_EQ(CurrentId(dlg), second);
  EXPECT_EQ(EffectOf(dlg, kA), 0);
  CheckWasd(dlg);
  ASSERT_EQ(dlg.OnCustomLightApplyEffect(), 1);  // cleared effects, stored for the selected one only
  EXPECT_EQ(Rows(second), "26:0:0:1,4:0:0:1,22:0:0:1,7:0:0:1");
  EXPECT_EQ(Rows(first), "26:0:1:0,4:0:1:0,22:0:1:0,7:0:1:0");
  EXPECT_EQ(Rows(third), "<null>");
  // Deleting row 0 leaves no selection and an empty view; 184 then stores nothing.
  List(dlg).SetCurSel(0);
  dlg.OnCustomLightListNotify(NOTIFY_SELCHANGE);
  ASSERT_EQ(dlg.OnDeleteCustomLight(), 1);
  EXPECT_EQ(List(dlg).GetCurSel(), -1);
  EXPECT_EQ(EffectOf(dlg, kA), 0);
  EXPECT_EQ(dlg.OnCustomLightApplyColor(), 0);
  EXPECT_EQ(Rows(second), "26:0:0:1,4:0:0:1,22:0:0:1,7:0:0:1");
  EXPECT_TRUE(dlg.QueuedTasks().empty()) << "the editor queues nothing";
}

TEST_F(CustomLightPageTest, RenamesAreStoredAndAnEmptyNameComesBack) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int id = CurrentId(dlg);
  const int row = List(dlg).GetCurSel();
  List(dlg).ModifyItemString(row, L"Game <1>");
  EXPECT_EQ(dlg.OnCustomLightListNotify(NOTIFY_EDIT_END), 1);
  const std::string name = "SELECT name FROM t_customlight_data WHERE customlight_id=" + std::to_string(id);
  EXPECT_EQ(QueryText(StorePath(), name), "Game <1>");
  List(dlg).ModifyItemString(row, L"");
  EXPECT_EQ(dlg.OnCustomLightListNotify(NOTIFY_EDIT_END), 0);
  EXPECT_EQ(List(dlg).GetItemText(row), L"Game <1>");
  EXPECT_EQ(QueryText(StorePath(), name), "Game <1>");
  EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(CustomLightPageTest, TheSpeedKeepsOneScaleOverReloads) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int id = CurrentId(dlg);
  auto* slider = dlg.GetControlAs<MSlider>(174);
  EXPECT_EQ(slider->GetPos(), 15) << "a new scheme's speed";
  slider->SetPos(40);
  ASSERT_EQ(dlg.OnCustomLightSpeedSlider(), 1);
  for (int round = 0; round < 3; ++round) {
    dlg.LoadCustomLightKeys(id);
    dlg.OnCustomLightSpeedSlider();
  }
  EXPECT_EQ(slider->GetPos(), 40);
  EXPECT_EQ(View(dlg).GetSpeed(), 40);
  EXPECT_EQ(QueryText(StorePath(), "SELECT speed FROM t_customlight_data WHERE customlight_id=" + std::to_string(id)),
            "40");
}

TEST_F(CustomLightPageTest, AnExportedSchemeImportsAsANewSchemeWithItsSpeedAndKeys) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int id = CurrentId(dlg);
  List(dlg).ModifyItemString(List(dlg).GetCurSel(), L"../a&b");
  CheckWasd(dlg);
  dlg.GetControlAs<QelListBox>(142)->SetCurData(7);
  ASSERT_EQ(dlg.OnCustomLightApplyColor(), 1);
  dlg.GetControlAs<CCheckButton>(182)->SetCheck(false);
  dlg.OnCustomLightCheckWasd();
  View(dlg).SetKeyCheck(kA, true);
  ASSERT_EQ(dlg.OnCustomLightApplyEffect(), 1);  // A's row now has light mode 0
  dlg.m_configDB.SetCustomLightSpeed(id, 33);

  dialogs_.answers.push_back({Utf8ToWide(exports_.path())});
  ASSERT_EQ(dlg.OnExportCustomLight(), 1);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(exports_.path())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  const std::string tick = std::to_string(static_cast<std::int32_t>(clock_.nowMs()));
  EXPECT_EQ(files[0].filename().string(), "_._a&b-" + tick + ".xml");
  const std::string bytes = testing_support::ReadFile(files[0].string());
  EXPECT_EQ(bytes.substr(0, 40), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") << "no mark";
  EXPECT_NE(bytes.find("<lightinfo name=\"../a&amp;b\" speed=\"33\"/>"), std::string::npos);

  const std::string before = SchemeCount();
  dialogs_.answers.push_back({files[0].wstring()});
  ASSERT_EQ(dlg.OnImportCustomLight(), 1);
  EXPECT_EQ(SchemeCount(), std::to_string(std::stoi(before) + 1));
  const int imported = static_cast<int>(List(dlg).GetItemData(List(dlg).GetCount() - 1));
  EXPECT_EQ(List(dlg).GetItemText(List(dlg).GetCount() - 1), L"../a&b");
  EXPECT_NE(CurrentId(dlg), imported) << "not selected";
  EXPECT_EQ(QueryText(StorePath(), "SELECT speed FROM t_customlight_data WHERE customlight_id=" +
                                       std::to_string(imported)),
            "33");
  EXPECT_EQ(Rows(imported), "26:0:7:1,22:0:7:1,7:0:7:1") << "colour type 1; A's light mode 0 row dropped";
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(CustomLightPageTest, ExportFailuresAreReportedAndLeaveNoFile) {
  KeyboardDlg& dlg = Page();
  while (List(dlg).GetCount() > 0) dlg.OnDeleteCustomLight();
  EXPECT_EQ(dlg.OnExportCustomLight(), 0);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  std::wstring text;
  GetLangText(&text, 320, L"KB.DIALOG");
  EXPECT_EQ(dialogs_.asked[0], text);
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const std::string missing = exports_.path() + "gone";
  dialogs_.answers.push_back({Utf8ToWide(missing)});
  EXPECT_EQ(dlg.OnExportCustomLight(), 0);
  GetLangText(&text, 322, L"KB.DIALOG");
  EXPECT_EQ(dialogs_.asked.back(), text);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_TRUE(fs::is_empty(exports_.path()));
}

TEST_F(CustomLightPageTest, BrokenFilesImportNothingAndSaySo) {
  struct Case {
    const char* file;
    bool creates;  // a readable customlight file makes a scheme, even without keys
  };
  const Case cases[] = {{"truncated.xml", false}, {"wrong_root.xml", false}, {"keyinfo_first.xml", true},
                        {"binary.xml", false},    {"empty.xml", false},      {"utf16_cut.xml", false}};
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  const int id = CurrentId(dlg);
  CheckWasd(dlg);
  ASSERT_EQ(dlg.OnCustomLightApplyColor(), 1);
  const std::string kept = Rows(id);
  std::wstring refusal;
  GetLangText(&refusal, 323, L"KB.DIALOG");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string before = SchemeCount();
    const int rows = List(dlg).GetCount();
    dialogs_.asked.clear();
    dialogs_.answers.push_back({Utf8ToWide(std::string(KELVANE_TEST_DATA_DIR) + "broken/light/" + c.file)});
    EXPECT_EQ(dlg.OnImportCustomLight(), c.creates ? 1 : 0);
    EXPECT_EQ(SchemeCount(), c.creates ? std::to_string(std::stoi(before) + 1) : before);
    EXPECT_EQ(List(dlg).GetCount(), rows + (c.creates ? 1 : 0));
    if (c.creates) {
      EXPECT_EQ(List(dlg).GetItemText(rows), L"late");
      EXPECT_EQ(Rows(static_cast<int>(List(dlg).GetItemData(rows))), "<null>") << "keys before lightinfo are not read";
    } else {
      ASSERT_EQ(dialogs_.asked.size(), 2u);  // the file dialog, then the message
      EXPECT_EQ(dialogs_.asked[1], refusal);
    }
    EXPECT_EQ(Rows(id), kept);
  }
}

// The preview runs only as the idle job of tab 4: a queued task takes the pass, another tab sends
// nothing, and with no scheme shown the keyboard gets a frame of unlit keys.
TEST_F(CustomLightPageTest, ThePreviewGoesOutOnlyOnItsTabWithAnEmptyQueue) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(dlg.OnNewCustomLight(), 1);
  CheckWasd(dlg);
  ASSERT_EQ(dlg.OnCustomLightApplyColor(), 1);
  ClearQueue(dlg);
  auto frames = [this] { return sim_.keyboard(0).received().liveFrames; };
  const int start = frames();

  dlg.m_curTab = TabCustomLight;
  dlg.PostTask(TaskSendCustomModeColors);
  dlg.Run();
  EXPECT_EQ(frames(), start) << "the pass ran the task";
  for (int tab : {TabKeyAssign, TabLighting, TabMusic, TabCustomLightMode}) {
    dlg.m_curTab = tab;
    clock_.advance(100);
    dlg.Run();
    EXPECT_EQ(frames(), start) << tab;
  }
  dlg.m_curTab = TabCustomLight;
  dlg.Run();
  EXPECT_EQ(frames(), start + 1);

  // No scheme left: the view is cleared and the frame names every key's LED with no colour.
  while (List(dlg).GetCount() > 0) {
    List(dlg).SetCurSel(0);
    ASSERT_EQ(dlg.OnDeleteCustomLight(), 1);
  }
  EXPECT_EQ(EffectOf(dlg, kW), 0);
  dlg.Run();
  ASSERT_EQ(frames(), start + 2);
  const std::vector<uint8_t> block = sim_.keyboard(0).received().liveColors;
  ASSERT_FALSE(block.empty());
  for (size_t k = 0; k + 3 < block.size(); k += 4)
    EXPECT_EQ(block[k + 1] | block[k + 2] | block[k + 3], 0) << "LED slot " << k / 4;
}

// The list shows the other language's default scheme names as this language's; the store keeps
// what it has. English replaces only the Chinese new-scheme name, Chinese (simplified and
// traditional) both English defaults, any other language nothing.
TEST_F(CustomLightPageTest, TheListRelabelsTheDefaultNamesPerLanguageAndTheStoreKeepsThem) {
  const int language = g_languageId.load();
  KeyboardDlg& dlg = Page();
  const std::vector<std::wstring> stored = {L"\u65B0\u914D\u7F6E\u65B9\u6848", L"\u9ED8\u8BA4\u914D\u7F6E",
                                            L"New Configuration", L"New Configuration Scheme", L"Mine"};
  for (const std::wstring& name : stored) ASSERT_GT(dlg.m_configDB.NewCustomLight(dlg.m_profile, name), 0);
  struct Case {
    int language;
    std::vector<bool> relabelled;
  };
  const Case cases[] = {{1033, {true, false, false, false, false}},
                        {2052, {false, false, true, true, false}},
                        {1028, {false, false, true, true, false}},
                        {1041, {false, false, false, false, false}}};
  for (const Case& c : cases) {
    g_languageId = c.language;
    // This language's default name is the one a new scheme is shown with.
    ASSERT_EQ(dlg.OnNewCustomLight(), 1);
    const std::wstring replacement = List(dlg).GetItemText(List(dlg).GetCurSel());
    ASSERT_EQ(dlg.OnDeleteCustomLight(), 1);
    dlg.SyncPages(dlg.m_profile);
    ASSERT_EQ(List(dlg).GetCount(), static_cast<int>(stored.size())) << c.language;
    for (size_t k = 0; k < stored.size(); ++k)
      EXPECT_EQ(List(dlg).GetItemText(static_cast<int>(k)), c.relabelled[k] ? replacement : stored[k])
          << c.language << " row " << k;
  }
  g_languageId = language;
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(name, '|') FROM t_customlight_data"),
            "\xE6\x96\xB0\xE9\x85\x8D\xE7\xBD\xAE\xE6\x96\xB9\xE6\xA1\x88|\xE9\xBB\x98\xE8\xAE\xA4\xE9\x85\x8D\xE7\xBD\xAE|"
            "New Configuration|New Configuration Scheme|Mine");
}

}  // namespace
}  // namespace kb_test
