// The macro page against the simulated keyboard: the list and its menu, saving with the download,
// the exchange files, recording from raw input on the window's clock, and editing the events.
#include <climits>
#include <future>

#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard/MacroExchange.h"
#include "keyboard/RawInput.h"
#include "keyboard_fixture.h"
#include "platform/input/raw_input.h"
#include "shell/ui_message_box.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;
namespace in = platform::input;

class MacroPageTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    in::SetRawInputOverride(&rawInput_);
  }
  void TearDown() override {
    KeyboardTest::TearDown();
    in::SetRawInputOverride(nullptr);
  }

  KeyboardDlg& Page() {
    KeyboardDlg& dlg = OpenIdleWindow();
    main_.ShowWindow(SW_SHOW);
    EXPECT_TRUE(Driver::Select(dlg, kb_ids::kTabs, 1));  // the macro tab
    Driver::RunFor(1);
    return dlg;
  }
  QelListBox& List(KeyboardDlg& dlg) { return *dlg.GetControlAs<QelListBox>(234); }
  CRecordList& Events(KeyboardDlg& dlg) { return *dlg.GetControlAs<CRecordList>(262); }
  std::vector<std::wstring> Rows(QelListBox& list) {
    std::vector<std::wstring> rows;
    for (int i = 0; i < list.GetItemCount(); ++i) rows.push_back(list.GetItemText(i));
    return rows;
  }
  int AddStoredMacro(KeyboardDlg& dlg, const std::wstring& name, std::vector<std::pair<int, int>> events) {
    const int id = dlg.m_configDB.NewMacro(name);
    std::vector<MacroRecordRow> rows;
    for (const auto& [type, value] : events) {
      MacroRecordRow row;
      row.macro_id = id;
      row.type = type;
      row.value = value;
      row.record_index = static_cast<int>(rows.size());
      row.desc = std::to_wstring(value);
      rows.push_back(row);
    }
    dlg.m_configDB.SaveMacroRecords(rows);
    return id;
  }
  void Reload(KeyboardDlg& dlg) {
    dlg.PostTask(TaskReloadAll);
    Drain(dlg);
    sim_.clearLog();
  }
  std::string StoredEvents(int macroId) {
    return QueryText(StorePath(), "SELECT group_concat(type || ':' || value || ':' || desc, ',') FROM "
                                  "(SELECT * FROM t_macrorecord WHERE macro_id=" +
                                      std::to_string(macroId) + " ORDER BY record_index)");
  }
  // The next prompt box is answered with `button`; its message is kept in `message`.
  void AnswerPrompt(std::wstring* message, int button = CUIMessageBox::IdOkOrYes) {
    driver_.AnswerNextModal([message, button](MDialog& box) {
      if (message) *message = static_cast<CUIMessageBox&>(box).m_message;
      Driver::Click(box, button);
    });
  }
  // The bytes of an exchange file (its text is ASCII here).
  static std::string MacroFileBytes(const MacroDataRow& macro, const std::vector<MacroRecordRow>& events) {
    std::string bytes;
    for (char16_t unit : macro_exchange::BuildMacroFile(macro, events)) bytes += static_cast<char>(unit);
    return bytes;
  }
  static std::wstring Text(int id) {
    std::wstring text;
    GetLangText(&text, id, L"KB.DIALOG");
    return text;
  }
  // Moves the window's clock on to the next moment whose millisecond tick (modulo 2^32) is `tick`.
  void AdvanceToTick(std::uint32_t tick) {
    const auto now = static_cast<std::uint32_t>(clock_.nowMs());
    std::uint64_t left = static_cast<std::uint32_t>(tick - now);
    while (left > 0) {
      const int step = static_cast<int>(std::min<std::uint64_t>(left, INT_MAX));
      clock_.advance(step);
      left -= static_cast<std::uint64_t>(step);
    }
  }
  void EmptyStore() {
    ASSERT_TRUE(Exec(StorePath(), "DELETE FROM t_macrorecord; DELETE FROM t_macro_data"));
  }
  void Key(int virtualKey, bool up) {
    rawInput_.Inject({in::kKindKeyboard, 0, virtualKey, up ? in::kKeyUpMessage : in::kKeyDownMessage});
    Driver::RunFor(1);
  }
  void Button(int flags) {
    rawInput_.Inject({in::kKindMouse, flags, 0, 0});
    Driver::RunFor(1);
  }

  in::FakeRawInputService rawInput_;
};

// ---- the list and its menu ----

TEST_F(MacroPageTest, TheListShowsEveryMacroWithDefaultNamesInTheCurrentLanguage) {
  const int saved = g_languageId.load();
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"新建宏 2", {{2, 65}, {3, 65}});
  AddStoredMacro(dlg, L"Mine", {});
  g_languageId.store(0x409);
  Reload(dlg);
  EXPECT_EQ(Rows(List(dlg)), (std::vector<std::wstring>{Text(531) + L" 2", L"Mine"}));
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_EQ(Events(dlg).GetItemCount(), 2) << "the first macro is on show";
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(name) FROM t_macro_data"), "新建宏 2,Mine");
  g_languageId.store(saved);
}

TEST_F(MacroPageTest, NewRenameAndDeleteShowTheSelectedMacrosEvents) {
  KeyboardDlg& dlg = Page();
  const int first = AddStoredMacro(dlg, L"one", {{2, 65}, {1, 10}, {3, 65}});
  Reload(dlg);
  ASSERT_TRUE(Driver::Click(dlg, 244));  // new
  EXPECT_EQ(Rows(List(dlg)), (std::vector<std::wstring>{L"one", Text(531)}));
  EXPECT_EQ(List(dlg).GetCurSel(), 1);
  EXPECT_EQ(Events(dlg).GetItemCount(), 0);

  // An empty name is refused and the stored one comes back.
  List(dlg).ModifyItemString(1, L"");
  EXPECT_EQ(dlg.OnMacroListNotify(29), 0);
  EXPECT_EQ(driver_.Dialogs().asked.back(), Text(153));
  EXPECT_EQ(List(dlg).GetItemText(1), Text(531));
  List(dlg).ModifyItemString(1, L"two");
  EXPECT_EQ(dlg.OnMacroListNotify(29), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(name) FROM t_macro_data"), "one,two");

  // Deleting the second row selects the first with its own events; a save keeps them.
  ASSERT_TRUE(Driver::Click(dlg, 245));
  EXPECT_EQ(List(dlg).GetCurSel(), 0);
  EXPECT_EQ(Events(dlg).GetItemCount(), 3);
  dlg.ApplyMacro();
  EXPECT_EQ(StoredEvents(first), "2:65:65,1:10:10,3:65:65");
  // Deleting row 0 leaves nothing selected, no events and no macro on show.
  ASSERT_TRUE(Driver::Click(dlg, 245));
  EXPECT_EQ(List(dlg).GetItemCount(), 0);
  EXPECT_EQ(Events(dlg).GetItemCount(), 0);
  EXPECT_EQ(dlg.ShownMacroId(), 0);
  EXPECT_FALSE(dlg.GetControl(263)->IsEnabled());
}

TEST_F(MacroPageTest, TheMenuOffersItsItemsPerStateAndPastesACopy) {
  KeyboardDlg& dlg = Page();
  const int source = AddStoredMacro(dlg, L"src", {{2, 66}, {3, 66}});
  Reload(dlg);
  std::vector<int> offered;
  MenuWnd::SetChooser([&](const std::vector<MenuWnd::Item>& items) {
    offered.clear();
    for (const auto& item : items) offered.push_back(item.id);
    return 0;
  });
  dlg.OnMacroListNotify(5);
  EXPECT_EQ(offered, (std::vector<int>{605, 609, 606, 607}));
  List(dlg).SetCurSel(-1);
  dlg.OnMacroListNotify(5);
  EXPECT_EQ(offered, (std::vector<int>{600, 607})) << "no paste before a copy";

  List(dlg).SetCurSel(0);
  EXPECT_EQ(dlg.OnMacroMenuCommand(606), 1);  // copy
  List(dlg).SetCurSel(-1);
  dlg.OnMacroListNotify(5);
  EXPECT_EQ(offered, (std::vector<int>{600, 607, 610}));
  MenuWnd::SetChooser(nullptr);

  EXPECT_EQ(dlg.OnMacroMenuCommand(610), 1);
  EXPECT_EQ(dlg.OnMacroMenuCommand(610), 1) << "paste can be repeated";
  EXPECT_EQ(Rows(List(dlg)), (std::vector<std::wstring>{L"src", L"src", L"src"}));
  EXPECT_EQ(List(dlg).GetCurSel(), -1) << "the copies are not selected";
  const int copy = static_cast<int>(List(dlg).GetItemData(2));
  EXPECT_NE(copy, source);
  EXPECT_EQ(StoredEvents(copy), StoredEvents(source));
}

TEST_F(MacroPageTest, ARightClickOnAnotherRowShowsThatMacroBeforeItsMenu) {
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"a", {{2, 65}, {3, 65}});
  const int b = AddStoredMacro(dlg, L"b", {{2, 66}});
  Reload(dlg);
  driver_.AnswerNextMenu(605);  // delete, on the row the user sees selected
  ASSERT_TRUE(List(dlg).UserClickRow(1, true));
  Driver::RunFor(1);
  EXPECT_EQ(Rows(List(dlg)), std::vector<std::wstring>{L"a"});
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data WHERE macro_id=" + std::to_string(b)), "0");
  EXPECT_EQ(Events(dlg).GetItemCount(), 2) << "the row above shows its own events";
}

TEST_F(MacroPageTest, AStoreThatRefusesLeavesTheListUnchanged) {
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"src", {{2, 66}});
  Reload(dlg);
  dlg.SelectMacro();
  ASSERT_TRUE(Exec(StorePath(), "CREATE TRIGGER refuse BEFORE INSERT ON t_macro_data BEGIN "
                                "SELECT RAISE(ABORT, 'refused'); END"));
  EXPECT_EQ(dlg.NewMacro(), 0);
  std::wstring message;
  AnswerPrompt(&message);
  EXPECT_EQ(dlg.CopyMacro(), 0);
  EXPECT_EQ(message, Text(KeyboardDlg::kTextNotSaved));
  EXPECT_EQ(Rows(List(dlg)), std::vector<std::wstring>{L"src"});
}

// One event refused by the store (as a full disk refuses it): a save, a copy and an import each
// fail whole, tell the user once and leave the store as it was; the edits stay on screen.
TEST_F(MacroPageTest, ARefusedEventKeepsTheStoredMacroAndTheEditsAndIsToldOnce) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {{2, 65}, {2, 66}, {3, 65}});
  Reload(dlg);
  dlg.SelectMacro();
  ASSERT_TRUE(Exec(StorePath(),
                   "CREATE TRIGGER refuse BEFORE INSERT ON t_macrorecord WHEN NEW.value = 66 "
                   "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  ASSERT_TRUE(Driver::Click(dlg, 251));
  ASSERT_TRUE(Driver::Type(dlg, 252, L"25"));
  const std::string options =
      "SELECT delay_type || ',' || delay_time FROM t_macro_data WHERE macro_id=" + std::to_string(a);
  std::wstring message;
  AnswerPrompt(&message);
  EXPECT_EQ(dlg.ApplyMacro(), 0);
  EXPECT_EQ(message, Text(KeyboardDlg::kTextNotSaved));
  EXPECT_EQ(StoredEvents(a), "2:65:65,2:66:66,3:65:65") << "no event lost";
  EXPECT_EQ(QueryText(StorePath(), options), "1,0") << "nor the play options changed";
  EXPECT_EQ(dlg.m_macroSaved, 0) << "the edits stay to be saved again";
  EXPECT_EQ(Events(dlg).GetItemCount(), 3);
  EXPECT_TRUE(TransactionCommands().empty()) << "nothing downloaded";

  AnswerPrompt(&message);
  EXPECT_EQ(dlg.CopyMacro(), 0);
  testing_support::TempDir files;
  const std::string file =
      files.Write("a.xml", MacroFileBytes({0, L"in", 1, 1, 0}, {{0, 0, 2, 0, 66, L"B"}}));
  driver_.AnswerNextFileDialog({Utf8ToWide(file)});
  AnswerPrompt(&message);
  EXPECT_EQ(dlg.ImportMacro(), 0);
  EXPECT_EQ(message, Text(KeyboardDlg::kTextNotSaved));
  EXPECT_EQ(Rows(List(dlg)), std::vector<std::wstring>{L"a"});
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data"), "1") << "no empty macro left";

  ASSERT_TRUE(Exec(StorePath(), "DROP TRIGGER refuse"));
  EXPECT_EQ(dlg.ApplyMacro(), 1);
  EXPECT_EQ(QueryText(StorePath(), options), "3,25");
}

TEST_F(MacroPageTest, AnImportLargerThanTheMacroMemoryIsRefused) {
  KeyboardDlg& dlg = Page();
  Reload(dlg);
  testing_support::TempDir files;
  const auto fileOf = [&](const std::string& name, size_t events, size_t padding) {
    const std::vector<MacroRecordRow> rows(events, {0, 0, 2, 0, 65, L"A"});
    return Utf8ToWide(
        files.Write(name, MacroFileBytes({0, L"big", 1, 1, 0}, rows) + std::string(padding, ' ')));
  };
  for (const std::wstring& path : {fileOf("over-4MiB.xml", 1, 4u << 20), fileOf("too-many.xml", 700, 0)}) {
    driver_.AnswerNextFileDialog({path});
    EXPECT_EQ(dlg.ImportMacro(), 0);
    EXPECT_EQ(driver_.Dialogs().asked.back(), Text(565));
  }
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data"), "0");
  driver_.AnswerNextFileDialog({fileOf("fits.xml", 300, 0)});
  EXPECT_EQ(dlg.ImportMacro(), 1) << "as much as the memory holds";
}

TEST_F(MacroPageTest, SwitchingMacrosStoresUnsavedEditsUnderTheMacroOnShow) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {{2, 65}, {3, 65}});
  const int b = AddStoredMacro(dlg, L"b", {{2, 66}, {3, 66}});
  Reload(dlg);
  ASSERT_TRUE(Driver::Click(dlg, 239));  // delay
  ASSERT_TRUE(Driver::Type(dlg, 241, L"70"));
  ASSERT_TRUE(Driver::Click(dlg, 243));
  EXPECT_EQ(dlg.m_macroSaved, 0) << "an insert is an unsaved edit";
  ASSERT_TRUE(Driver::Select(dlg, 234, 1));
  EXPECT_EQ(StoredEvents(a), "2:65:65,3:65:65,1:70:70");
  EXPECT_EQ(StoredEvents(b), "2:66:66,3:66:66");
  EXPECT_EQ(dlg.ShownMacroId(), b);
  EXPECT_EQ(Events(dlg).GetItemCount(), 2);
}

TEST_F(MacroPageTest, SaveStoresTheVisibleRowsThenDownloadsOnceAndADeleteQueuesTheKeyMap) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {{2, 65}, {1, 10}, {3, 65}});
  AddStoredMacro(dlg, L"b", {});
  Reload(dlg);
  Events(dlg).SetCurSel(1);
  ASSERT_TRUE(Driver::Click(dlg, 261));  // the delay goes
  Events(dlg).SetCurSel(1);
  ASSERT_TRUE(Driver::Click(dlg, 259));  // the release moves up? refused: the press above has its value
  ASSERT_TRUE(Driver::Click(dlg, 251));
  ASSERT_TRUE(Driver::Type(dlg, 252, L"25"));
  ASSERT_TRUE(Driver::Click(dlg, 263));
  EXPECT_EQ(StoredEvents(a), "2:65:65,3:65:65");
  EXPECT_EQ(QueryText(StorePath(), "SELECT play_times || delay_type || ',' || delay_time FROM t_macro_data "
                                   "WHERE macro_id=" + std::to_string(a)),
            "13,25");
  EXPECT_EQ(TransactionCommands().size(), 1u) << "one download";
  EXPECT_FALSE(sim_.keyboard(0).received().macroMemory.empty());
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  ASSERT_TRUE(Driver::Select(dlg, 234, 1));
  ASSERT_TRUE(Driver::Click(dlg, 245));  // b goes; a keeps its place, later ones would move
  ASSERT_TRUE(Driver::Click(dlg, 263));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});
}

TEST_F(MacroPageTest, AFullMemoryAndABusyKeyboardAreTold) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"long", std::vector<std::pair<int, int>>(600, {2, 65}));
  Reload(dlg);
  std::wstring message;
  AnswerPrompt(&message);
  dlg.ApplyMacro();
  EXPECT_EQ(message, Text(564));
  EXPECT_TRUE(sim_.log().empty());

  ASSERT_TRUE(Exec(StorePath(), "DELETE FROM t_macrorecord WHERE record_index >= 2"));
  Reload(dlg);
  std::promise<void> held;
  std::promise<void> release;
  std::thread holder([&] {
    TransferGuard guard = manager_->LockTransfer(0);
    held.set_value();
    release.get_future().wait_for(std::chrono::seconds(10));
  });
  held.get_future().wait();
  AnswerPrompt(&message);
  dlg.ApplyMacro();
  release.set_value();
  holder.join();
  EXPECT_EQ(message, Text(563));
  EXPECT_EQ(dlg.m_macroSaved, 0) << "leaving the tab tries again";
  EXPECT_EQ(StoredEvents(a), "2:65:65,2:65:65") << "saved all the same";
}

// ---- exchange files ----

TEST_F(MacroPageTest, ExportThenImportGivesTheSameMacro) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"x/..", {{2, 65}, {1, 15}, {3, 65}});
  Reload(dlg);
  testing_support::TempDir out;
  driver_.AnswerNextFileDialog({std::wstring(out.path().begin(), out.path().end())});
  ASSERT_EQ(dlg.ExportMacro(), 1);
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(out.path())) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().rfind("x_..-", 0), 0u) << files[0];
  const std::string bytes = ReadFile(files[0].string());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u) << "no mark";

  driver_.AnswerNextFileDialog({files[0].wstring()});
  ASSERT_EQ(dlg.ImportMacro(), 1);
  ASSERT_EQ(List(dlg).GetItemCount(), 2);
  EXPECT_EQ(List(dlg).GetItemText(1), L"x/..");
  EXPECT_EQ(StoredEvents(static_cast<int>(List(dlg).GetItemData(1))), StoredEvents(a));

  // Cancelled dialogs do nothing and say nothing.
  const size_t asked = driver_.Dialogs().asked.size();
  driver_.AnswerNextFileDialog({});
  EXPECT_EQ(dlg.ExportMacro(), 0);
  driver_.AnswerNextFileDialog({});
  EXPECT_EQ(dlg.ImportMacro(), 0);
  EXPECT_EQ(driver_.Dialogs().asked.size(), asked + 2) << "only the two dialogs themselves";
}

TEST_F(MacroPageTest, BrokenFilesAndFailedWritesAreTold) {
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"a", {});
  Reload(dlg);
  const std::filesystem::path folder = std::filesystem::path(KELVANE_SOURCE_DIR) / "tests/data/broken/macro";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    driver_.AnswerNextFileDialog({entry.path().wstring()});
    EXPECT_EQ(dlg.ImportMacro(), 0) << entry.path();
    EXPECT_EQ(driver_.Dialogs().asked.back(), Text(565)) << entry.path();
  }
  driver_.AnswerNextFileDialog({L"/nonexistent/folder/macro.xml"});
  EXPECT_EQ(dlg.ImportMacro(), 0);
  EXPECT_EQ(List(dlg).GetItemCount(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data"), "1");

  driver_.AnswerNextFileDialog({L"/nonexistent/folder/"});
  EXPECT_EQ(dlg.ExportMacro(), 0);
  EXPECT_EQ(driver_.Dialogs().asked.back(), Text(566));
  List(dlg).SetCurSel(-1);
  EXPECT_EQ(dlg.ExportMacro(), 0);
  EXPECT_EQ(driver_.Dialogs().asked.back(), Text(540));
}

// ---- raw input and recording ----

TEST_F(MacroPageTest, RawInputRecordsParseToCodesAndNames) {
  struct Case {
    in::RawInputRecord record;
    int kind, up, code;
    const wchar_t* name;
  };
  const Case cases[] = {
      {{1, in::kLeftDown | in::kLeftUp, 0, 0}, 1, 0, 1, L"mouse_left"},  // the first flag of the order wins
      {{1, in::kMiddleDown | in::kRightDown, 0, 0}, 1, 0, 2, L"mouse_middle"},
      {{1, in::kRightUp, 0, 0}, 1, 1, 3, L"mouse_right"},
      {{1, in::kButton4Down, 0, 0}, 1, 0, 7, L"mouse_button4"},
      {{1, in::kButton5Down, 0, 0}, 1, 0, 7, L"mouse_button5"},
      {{1, in::kButton5Up, 0, 0}, 1, 1, 8, L"mouse_button5"},
      {{1, 0, 0, 0}, 1, 0, 0, L""},
      {{2, 0, 'A', in::kKeyDownMessage}, 2, 0, 'A', L"A"},
      {{2, 0, 'A', in::kSysKeyUpMessage}, 2, 1, 'A', L"A"},
      {{2, 0, 16, in::kKeyDownMessage}, 2, 0, 160, L"Shift"},
      {{2, 0, 18, in::kSysKeyDownMessage}, 2, 0, 164, L"Alt"},
      {{2, 0, 165, in::kKeyUpMessage}, 2, 1, 165, L"RAlt"},
      {{2, 0, 33, in::kKeyDownMessage}, 2, 0, 33, L"Page Up"},
      {{2, 0, 100, in::kKeyDownMessage}, 2, 0, 100, L"Num 4"},
      {{2, 0, 123, in::kKeyDownMessage}, 2, 0, 123, L"F12"},
      {{2, 0, 220, in::kKeyDownMessage}, 2, 0, 220, L"\\"},
      {{2, 0, 255, in::kKeyDownMessage}, 2, 0, 255, L""},
  };
  for (const Case& c : cases) {
    RawInputEvent event;
    ParseRawInput(in::PackRecord(c.record), &event);
    EXPECT_EQ(event.kind, c.kind);
    EXPECT_EQ(event.up, c.up) << c.record.virtualKey << "/" << c.record.buttonFlags;
    EXPECT_EQ(event.code, c.code);
    EXPECT_EQ(event.name, c.name);
  }
  RawInputEvent untouched;
  ParseRawInput(0, &untouched);
  EXPECT_EQ(untouched.kind, 0);
  EXPECT_TRUE(untouched.name.empty());
}

TEST_F(MacroPageTest, EachDelayModeOnTheWindowClock) {
  struct Case {
    int radio;
    std::string expected;
  };
  const Case cases[] = {
      {249, "2:65:A,1:0:0,3:65:A,1:31000:31000,2:66:B,1:0:0,3:66:B"},
      {250, "2:65:A,3:65:A,2:66:B,3:66:B"},
      {251, "2:65:A,1:25:25,3:65:A,1:25:25,2:66:B,1:25:25,3:66:B"},
  };
  for (const Case& c : cases) {
    KeyboardDlg& dlg = Page();
    EmptyStore();
    const int a = AddStoredMacro(dlg, L"a", {{2, 90}});
    Reload(dlg);
    ASSERT_TRUE(Driver::Click(dlg, c.radio));
    if (c.radio == 251) {
      ASSERT_TRUE(Driver::Type(dlg, 252, L"25"));
    }
    AdvanceToTick(0);  // the first key comes at tick 0, a tick like any other
    ASSERT_TRUE(Driver::Click(dlg, 254));
    EXPECT_EQ(Events(dlg).GetItemCount(), 0) << "the recording replaces the events";
    Key('A', false);
    Key('A', true);
    clock_.advance(40000);
    Button(in::kLeftDown);  // not recorded
    Button(in::kLeftUp);
    Key('B', false);
    Key('B', true);
    ASSERT_TRUE(Driver::Click(dlg, 255));
    EXPECT_EQ(StoredEvents(a), c.expected) << c.radio;
    EXPECT_TRUE(dlg.GetControl(254)->IsVisible());
  }
}

TEST_F(MacroPageTest, ARecordedDelayAcrossTheTickWrap) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {});
  Reload(dlg);
  AdvanceToTick(UINT32_MAX - 99);
  ASSERT_TRUE(Driver::Click(dlg, 254));
  Key('A', false);
  clock_.advance(300);  // the tick wraps past 2^32
  Key('A', true);
  EXPECT_EQ(dlg.ApplyMacro(), 1);  // a save during the recording stops it, saves and downloads once
  EXPECT_EQ(StoredEvents(a), "2:65:A,1:300:300,3:65:A");
  EXPECT_EQ(TransactionCommands().size(), 1u);
  EXPECT_FALSE(dlg.GetControl(255)->IsVisible());
}

TEST_F(MacroPageTest, CapacityThresholdsAndTheirPrompts) {
  KeyboardDlg& dlg = Page();
  struct Case {
    int stored;  // events of the filler; two macros leave (325 - 2) x 2 = 646
    int prompt;
    bool starts;
  };
  for (const Case& c : {Case{637, 560, false}, Case{636, 561, true}, Case{627, 561, true}, Case{626, 0, true}}) {
    dlg.SetDeviceIndex(0);
    EmptyStore();
    const int a = AddStoredMacro(dlg, L"a", {});
    AddStoredMacro(dlg, L"filler", std::vector<std::pair<int, int>>(c.stored, {1, 1}));
    Reload(dlg);
    ASSERT_EQ(dlg.ShownMacroId(), a);
    dlg.SetDeviceIndex(-1);  // the save at the stop sends nothing
    std::wstring message;
    if (c.prompt) AnswerPrompt(&message);
    EXPECT_EQ(dlg.StartMacroRecording(), c.starts ? 1 : 0) << c.stored;
    if (c.prompt) {
      EXPECT_EQ(message, Text(c.prompt)) << c.stored;
    }
    if (c.starts) dlg.StopMacroRecording();
  }
  // Overflow stops the recording, saves it and says so.
  EmptyStore();
  const int a = AddStoredMacro(dlg, L"a", {});
  AddStoredMacro(dlg, L"filler", std::vector<std::pair<int, int>>(636, {1, 1}));
  dlg.SetDeviceIndex(0);
  Reload(dlg);
  dlg.SetDeviceIndex(-1);
  ASSERT_TRUE(Driver::Click(dlg, 250));  // no delays
  AnswerPrompt(nullptr);                 // the warning: 10 left
  ASSERT_EQ(dlg.StartMacroRecording(), 1);
  ASSERT_EQ(dlg.m_macroCapacityLeft, 10);
  std::wstring overflow;
  AnswerPrompt(&overflow);
  for (int i = 0; i < 6; ++i) Key('A' + i, false);
  for (int i = 0; i < 4; ++i) Key('A' + i, true);
  EXPECT_EQ(overflow, L"") << "10 rows fit";
  Key('E', true);
  EXPECT_EQ(overflow, Text(562));
  EXPECT_FALSE(dlg.GetControl(255)->IsVisible());
  Key('F', true);  // after the stop nothing is consumed
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macrorecord WHERE macro_id=" + std::to_string(a)), "11");
}

TEST_F(MacroPageTest, TheKeyFieldCapturesOnePressOrReleaseAndNothingIsConsumedWhileIdle) {
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"a", {});
  Reload(dlg);
  Key('Q', false);
  EXPECT_EQ(Events(dlg).GetItemCount(), 0);
  EXPECT_EQ(dlg.OnRawInput(in::PackRecord({2, 0, 'Q', 256})), 0) << "idle";

  ASSERT_TRUE(Driver::Focus(dlg, 240));
  EXPECT_EQ(rawInput_.Subscribers(), 1);
  EXPECT_FALSE(Driver::Type(dlg, 240, L"x")) << "typing changes nothing in the capture field";
  Key(17, true);  // a release is captured too
  EXPECT_EQ(dlg.GetControlAs<MEdit>(240)->GetTitle(), L"Ctrl");
  EXPECT_EQ(dlg.m_capturedKey, 162);
  Button(in::kLeftDown);
  EXPECT_EQ(dlg.GetControlAs<MEdit>(240)->GetTitle(), L"Ctrl") << "buttons are not captured";
  ASSERT_TRUE(Driver::FinishEdit(dlg, 240));
  Key('W', false);
  EXPECT_EQ(dlg.GetControlAs<MEdit>(240)->GetTitle(), L"Ctrl");

  ASSERT_TRUE(Driver::Click(dlg, 243));
  std::vector<std::wstring> rows;
  for (int i = 0; i < Events(dlg).GetItemCount(); ++i) rows.push_back(Events(dlg).GetItemText(i));
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"Ctrl", L"10", L"Ctrl"}));

  // Focusing the field again forgets the key: an emptied field inserts nothing.
  ASSERT_TRUE(Driver::Focus(dlg, 240));
  ASSERT_TRUE(Driver::FinishEdit(dlg, 240));
  EXPECT_EQ(dlg.InsertMacroEvent(), 0);
  EXPECT_EQ(Events(dlg).GetItemCount(), 3);

  dlg.DestroyWindow();
  EXPECT_EQ(rawInput_.Subscribers(), 0) << "the window's end ends its subscription";
}

// ---- editing ----

TEST_F(MacroPageTest, InsertsGoBeforeOrAfterTheSelectedRowAndAppendAtTheEnd) {
  KeyboardDlg& dlg = Page();
  AddStoredMacro(dlg, L"a", {{1, 1}, {1, 2}, {1, 3}});
  Reload(dlg);
  auto rows = [&] {
    std::wstring all;
    for (int i = 0; i < Events(dlg).GetItemCount(); ++i) all += (i ? L"," : L"") + Events(dlg).GetItemText(i);
    return all;
  };
  ASSERT_TRUE(Driver::Click(dlg, 238));  // mouse: press and release of the chosen button
  ASSERT_TRUE(Driver::Select(dlg, 242, 2));
  Events(dlg).SetCurSel(1);
  ASSERT_TRUE(Driver::Click(dlg, 243));
  const std::wstring right = dlg.GetControlAs<MComboBox>(242)->GetItemText(2);
  EXPECT_EQ(rows(), L"1," + right + L"," + right + L",2,3");
  ASSERT_TRUE(Driver::Click(dlg, 239));
  ASSERT_TRUE(Driver::Select(dlg, 236, 1));  // after
  Events(dlg).SetCurSel(0);
  ASSERT_TRUE(Driver::Type(dlg, 241, L"99999"));
  ASSERT_TRUE(Driver::Click(dlg, 243));
  EXPECT_EQ(Events(dlg).GetItemText(1), L"65535") << "clamped, and the row shows the stored number";
  Events(dlg).SetCurSel(Events(dlg).GetItemCount() - 1);
  ASSERT_TRUE(Driver::Select(dlg, 236, 0));  // "before" the last row appends
  ASSERT_TRUE(Driver::Type(dlg, 241, L"4"));
  ASSERT_TRUE(Driver::Click(dlg, 243));
  EXPECT_EQ(Events(dlg).GetItemText(Events(dlg).GetItemCount() - 1), L"4");
  ASSERT_TRUE(Driver::Type(dlg, 241, L""));
  EXPECT_EQ(dlg.InsertMacroEvent(), 0) << "an empty delay inserts nothing";
}

TEST_F(MacroPageTest, DeletesTakeTheirPartnerAndOnlyDelaysAreEditedInPlace) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {{2, 65}, {1, 10}, {2, 65}, {3, 65}, {3, 65}});
  Reload(dlg);
  Events(dlg).SetCurSel(4);  // the second release: the first press from the top goes with it
  ASSERT_TRUE(Driver::Click(dlg, 261));
  EXPECT_EQ(dlg.m_macroSaved, 0);
  dlg.ApplyMacro();
  EXPECT_EQ(StoredEvents(a), "1:10:10,2:65:65,3:65:65");

  Events(dlg).SetCurSel(1);  // a key row keeps its code whatever is typed
  Events(dlg).ModifyItemString(1, L"B");
  EXPECT_EQ(dlg.OnRecordListNotify(29), 0);
  EXPECT_EQ(Events(dlg).GetItemText(1), L"65");
  Events(dlg).SetCurSel(0);
  Events(dlg).ModifyItemString(0, L"-5");
  EXPECT_EQ(dlg.OnRecordListNotify(29), 1);
  EXPECT_EQ(Events(dlg).GetItemText(0), L"0");
  dlg.ApplyMacro();
  EXPECT_EQ(StoredEvents(a), "1:0:0,2:65:65,3:65:65");
}

TEST_F(MacroPageTest, ADoubleClickEditsADelayInPlaceAndLeavesKeyRowsAlone) {
  KeyboardDlg& dlg = Page();
  const int a = AddStoredMacro(dlg, L"a", {{2, 65}, {1, 10}, {3, 65}});
  Reload(dlg);
  ASSERT_TRUE(Driver::DoubleClickRow(dlg, 262, 0));
  EXPECT_FALSE(Events(dlg).IsEditing()) << "a key row opens no editor";
  ASSERT_TRUE(Driver::DoubleClickRow(dlg, 262, 1));
  ASSERT_TRUE(Events(dlg).IsEditing());
  ASSERT_TRUE(Driver::FinishEdit(dlg, 262, L"250"));
  EXPECT_EQ(Events(dlg).GetItemText(1), L"250");
  EXPECT_EQ(dlg.m_macroSaved, 0);
  dlg.ApplyMacro();
  EXPECT_EQ(StoredEvents(a), "2:65:65,1:250:250,3:65:65");

  // An inserted delay is editable as well.
  Events(dlg).SetCurSel(2);
  ASSERT_TRUE(Driver::Click(dlg, 239));  // the delay radio
  ASSERT_TRUE(Driver::Type(dlg, 241, L"7"));
  ASSERT_TRUE(Driver::Click(dlg, 243));
  ASSERT_EQ(Events(dlg).GetItemCount(), 4);
  for (int row = 0; row < 4; ++row)
    EXPECT_EQ(Events(dlg).IsItemEditable(row), Events(dlg).GetItemText(row) == L"7" ||
                                                    Events(dlg).GetItemText(row) == L"250")
        << row;
}

TEST_F(MacroPageTest, TheListIsReloadedOnAThreadWhileTheUserClicks) {
  KeyboardDlg& dlg = Page();
  for (int i = 0; i < 5; ++i) AddStoredMacro(dlg, L"m" + std::to_wstring(i), {{2, 65}, {3, 65}});
  Reload(dlg);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 30; ++i) {
      dlg.PostTask(TaskReloadAll);
      dlg.Run();
    }
    done = true;
  });
  while (!done) {
    Driver::Select(dlg, 234, 1);
    Driver::Click(dlg, 259);
    Driver::RunFor(1);
  }
  worker.join();
  Reload(dlg);
  EXPECT_EQ(List(dlg).GetItemCount(), 5);
}

}  // namespace
}  // namespace kb_test
