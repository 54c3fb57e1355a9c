// The custom key dialog against a real store, with raw input, the blocker start, the file dialog
// and the message box faked: controls and lists per type, key capture, the Windows keys, and what
// OK stores.
#include <QImage>

#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard/CustomKeyDlg.h"
#include "keyboard_fixture.h"
#include "platform/input/raw_input.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;
namespace in = platform::input;

constexpr int kUserProfile = 4;
constexpr int kEsc = 0x29;

class CustomKeyDlgTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    in::SetRawInputOverride(&rawInput_);
    platform::SetDialogsOverride(&driver_.Dialogs());
    ConfigDB store;  // the keyboard window's file, with its default rows
    ASSERT_TRUE(store.Open(Utf8ToWide(UserFolder().c_str()), L"", kIdentify));
    macroId_ = store.NewMacro(L"新建宏 3");
    store.db.Close();
  }
  void TearDown() override {
    dialog_.reset();
    if (sleeper_) platform::TerminateProcess(sleeper_->pid());
    platform::SetDialogsOverride(nullptr);
    in::SetRawInputOverride(nullptr);
    KeyboardTest::TearDown();
  }
  // The dialog for Esc in layer 1; `blocker` says how its start ends.
  enum class Blocker { kFails, kRuns, kEnded };
  CustomKeyDlg& Open(Blocker blocker = Blocker::kFails) {
    dialog_ = std::make_unique<CustomKeyDlg>(CustomKeyDialogArgs{kEsc, kUserProfile, 1, 0, kIdentify});
    dialog_->SetBlockerStart([this, blocker](const std::string& path) -> std::optional<platform::StartedProcess> {
      started_.push_back(path);
      if (blocker == Blocker::kFails) return std::nullopt;
      std::optional<platform::StartedProcess> child =
          platform::StartProgram({blocker == Blocker::kRuns ? "/bin/sleep" : "/bin/true", "30"});
      if (blocker == Blocker::kRuns) sleeper_ = child;
      return child;
    });
    EXPECT_TRUE(dialog_->Create(main_.GetSafeHwnd(), L"CustomKeyDlg", WS_POPUP | WS_VISIBLE, 0, RECT{0, 0, 720, 360}));
    Driver::RunFor(1);
    return *dialog_;
  }
  static std::vector<int> Shown(CustomKeyDlg& d) {
    std::vector<int> ids;
    for (int id = 37; id <= 53; ++id)
      if (MControl* c = d.GetControl(id); c && c->IsVisible()) ids.push_back(id);
    return ids;
  }
  static std::vector<std::wstring> Items(CustomKeyDlg& d, int id) {
    std::vector<std::wstring> items;
    auto* combo = d.GetControlAs<MComboBox>(id);
    for (int i = 0; i < combo->GetCount(); ++i)
      items.push_back(combo->GetItemText(i) + L"=" + std::to_wstring(combo->GetItemData(i)));
    return items;
  }
  static std::wstring EditText(CustomKeyDlg& d, int id) { return d.GetControlAs<MEdit>(id)->GetTitle(); }
  void Key(int vk, bool up = false) {
    rawInput_.Inject({in::kKindKeyboard, 0, vk, up ? in::kKeyUpMessage : in::kKeyDownMessage});
    Driver::RunFor(1);
  }
  void WinKey(CustomKeyDlg& d, WPARAM vk) {
    PostMessage(d.GetSafeHwnd(), WM_WIN_KEY, vk, 0);
    Driver::RunFor(1);
  }
  std::string StoredRow() {
    return QueryText(StorePath(), "SELECT macrotype || ':' || macrovalue || ':' || macro2value || ':' || macro3value || "
                                  "':' || macrodesc FROM t_key_data WHERE profile=4 AND keyvalue=41 AND fnlayer=1");
  }
  std::string ActionRows() {
    return QueryText(StorePath(), "SELECT group_concat(macro_desc || '|' || param || '|' || type, ',') FROM t_key_otherdata");
  }
  static std::wstring Text(int id) {
    std::wstring text;
    GetLangText(&text, id, L"KB.DIALOG");
    return text;
  }

  in::FakeRawInputService rawInput_;
  std::unique_ptr<CustomKeyDlg> dialog_;
  std::vector<std::string> started_;
  std::optional<platform::StartedProcess> sleeper_;
  int macroId_ = 0;
};

TEST_F(CustomKeyDlgTest, EachTypeShowsItsControlsAndListsInBothLanguages) {
  CustomKeyDlg& d = Open();
  // As the user first sees it ($KELVANE_RENDER_DIR keeps the picture to look at).
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  const std::string picture =
      (wanted && *wanted ? std::string(wanted) + "/" : app_.path()) + "custom-key.png";
  EXPECT_TRUE(d.RenderToPng(picture));
  {
    // The empty key field is seen to wait for a key: its hint stands out from its face.
    const QImage shown(QString::fromStdString(picture));
    const RECT field = d.GetControl(38)->GetRect();
    const QColor face = shown.pixelColor(field.right - 4, field.top + 4);
    int hint = 0;
    for (int y = field.top + 3; y < field.bottom - 3; ++y)
      for (int x = field.left + 3; x < field.right - 3; ++x)
        hint += std::abs(shown.pixelColor(x, y).lightness() - face.lightness()) > 40;
    EXPECT_GT(hint, 20);
  }
  EXPECT_EQ(started_, std::vector<std::string>{app_.path() + "halvorn"});
  EXPECT_EQ(Items(d, 36), (std::vector<std::wstring>{L"Key=2", L"Key Sequence=13", L"Macro=3", L"Mouse=5",
                                                     L"Multimedia=6", L"Shortcut=7", L"Run Program=8",
                                                     L"Open Web Page=9", L"Type Text=10"}));
  EXPECT_EQ(Shown(d), (std::vector<int>{38, 39, 40, 41, 42}));
  EXPECT_TRUE(d.GetControlAs<MEdit>(38)->GetCaptureMode());

  const std::pair<int, std::vector<int>> shown[] = {
      {1, {48, 49, 50, 51, 52}}, {2, {37, 43, 44}}, {3, {37}}, {6, {38, 53}}, {7, {38}}, {8, {38}}};
  for (const auto& [index, ids] : shown) {
    ASSERT_TRUE(Driver::Select(d, 36, index));
    EXPECT_EQ(Shown(d), ids) << index;
  }
  EXPECT_FALSE(d.GetControlAs<MEdit>(38)->GetCaptureMode()) << "a text is typed";
  ASSERT_TRUE(Driver::Type(d, 38, L"héllo"));

  ASSERT_TRUE(Driver::Select(d, 36, 2));
  EXPECT_EQ(Items(d, 37), std::vector<std::wstring>{L"New Macro 3=" + std::to_wstring(macroId_)});
  ASSERT_TRUE(Driver::Select(d, 44, 1));
  EXPECT_EQ(Shown(d), (std::vector<int>{37, 43, 44, 45, 46}));
  EXPECT_EQ(EditText(d, 45), L"1");
  ASSERT_TRUE(Driver::Select(d, 44, 2));
  EXPECT_EQ(Shown(d), (std::vector<int>{37, 43, 44}));

  ASSERT_TRUE(Driver::Select(d, 36, 3));
  EXPECT_EQ(Items(d, 37), (std::vector<std::wstring>{L"Left Click=1", L"Middle Click=2", L"Right Click=3",
                                                     L"Left + Right Click=4", L"Scroll Up=5", L"Scroll Down=6",
                                                     L"Back (Button 4)=7", L"Forward (Button 5)=8"}));
  ASSERT_TRUE(Driver::Select(d, 36, 5));
  EXPECT_EQ(Items(d, 37).back(), L"Cut=8");
  EXPECT_EQ(d.GetControlAs<MComboBox>(37)->GetCurSel(), 0);
  d.SelectFunctionType(11);
  EXPECT_EQ(Shown(d), std::vector<int>{37});
  EXPECT_FALSE(Items(d, 37).empty());

  dialog_.reset();
  g_languageId = 2052;
  CustomKeyDlg& zh = Open();
  EXPECT_EQ(Items(zh, 36).front(), L"按键=2");
  ASSERT_TRUE(Driver::Select(zh, 36, 4));
  EXPECT_EQ(Items(zh, 37).front(), L"播放/暂停=1");
  ASSERT_TRUE(Driver::Select(zh, 36, 2));
  EXPECT_EQ(Items(zh, 37).front(), L"新建宏 3=" + std::to_wstring(macroId_)) << "the Chinese name is kept";
  g_languageId = 1033;
}

TEST_F(CustomKeyDlgTest, RawRecordsAreCapturedOnlyWhileACaptureFieldHasTheFocus) {
  CustomKeyDlg& d = Open();
  Key('A');
  EXPECT_EQ(EditText(d, 38), L"") << "no field focused";
  ASSERT_TRUE(Driver::Focus(d, 38));
  Key(0xA2);  // Ctrl is no key of its own here
  EXPECT_EQ(EditText(d, 38), L"");
  Key('B');
  Key('B', true);
  EXPECT_EQ(EditText(d, 38), L"B");
  EXPECT_EQ(d.m_mainKey, 'B');
  // Tab, Enter and Esc neither leave the field nor end the dialog.
  for (int vk : {9, 13, 27}) {
    EXPECT_TRUE(Driver::KeyDownOn(d, 38, vk));
    Driver::KeyUpOn(d, 38, vk);
  }
  EXPECT_TRUE(d.m_captureActive);
  Key(0x5B);
  EXPECT_EQ(EditText(d, 38), L"Windows") << "without a running blocker the raw Windows key is a key";
  EXPECT_TRUE(Driver::FinishEdit(d, 38));
  Key('C');
  EXPECT_EQ(EditText(d, 38), L"Windows");

  ASSERT_TRUE(Driver::Select(d, 36, 1));
  EXPECT_EQ(d.m_mainKey, 0) << "a type change forgets the captured key";
  ASSERT_TRUE(Driver::Focus(d, 50));
  Key('A');
  ASSERT_TRUE(Driver::Focus(d, 51));
  Key(0xA0);  // a sequence takes modifiers
  ASSERT_TRUE(Driver::Focus(d, 52));
  Key('C');
  EXPECT_EQ(EditText(d, 50) + L"|" + EditText(d, 51) + L"|" + EditText(d, 52), L"A|Shift|C");
  EXPECT_EQ(d.GetControl(50)->GetImage(), L"img_key_edit_check.png");
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(StoredRow(), "13:4:225:6:A + Shift + C");
  EXPECT_EQ(d.ShowModal(), IDOK);
}

TEST_F(CustomKeyDlgTest, TheCaptureKeyMessageNamesKeysWithTheModifiersHeld) {
  CustomKeyDlg& d = Open();
  auto send = [&](WPARAM message, int vk) {
    CaptureKeyRecord record;
    record.virtualKey = static_cast<std::uint32_t>(vk);
    return SendMessage(d.GetSafeHwnd(), CustomKeyDlg::kMsgCaptureKey, message, reinterpret_cast<LPARAM>(&record));
  };
  EXPECT_EQ(SendMessage(d.GetSafeHwnd(), CustomKeyDlg::kMsgCaptureKey, 256, 0), 0);
  EXPECT_EQ(send(256, 162), 1);
  EXPECT_EQ(EditText(d, 38), L"Ctrl");
  send(256, 'X');
  EXPECT_EQ(EditText(d, 38), L"Ctrl + X");
  EXPECT_EQ(d.m_modifierKey, 162);
  send(256, 0x2C);
  EXPECT_EQ(EditText(d, 38), L"Print Screen");
  send(257, 162);
  send(260, 'X');
  EXPECT_EQ(EditText(d, 38), L"X") << "released modifiers are no longer held";
}

TEST_F(CustomKeyDlgTest, TheBlockersWindowsKeysReplaceTheRawOnes) {
  CustomKeyDlg& d = Open(Blocker::kRuns);
  ASSERT_TRUE(d.BlockerRunning());
  WinKey(d, 0x5B);
  EXPECT_EQ(d.m_modifierKey, 0) << "no capture field focused";
  ASSERT_TRUE(Driver::Focus(d, 38));
  Key(0x5B);
  EXPECT_EQ(EditText(d, 38), L"") << "the raw record of a blocked key is dropped";
  WinKey(d, 0x41);
  EXPECT_EQ(d.m_modifierKey, 0) << "only Windows keys are taken";
  WinKey(d, 0x5B);
  EXPECT_EQ(EditText(d, 38), L"Windows");
  Key('E');
  WinKey(d, 0x5B);  // the release
  EXPECT_EQ(EditText(d, 38), L"Windows + E");
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(StoredRow(), "2:8:8:0:Windows + E") << "the Windows key is kept as the Win bit";

  ASSERT_TRUE(Driver::Select(d, 36, 7));  // web address: its text is typed, not captured
  ASSERT_TRUE(Driver::Focus(d, 38));
  ASSERT_TRUE(Driver::Type(d, 38, L"example.org"));
  WinKey(d, 0x5C);
  EXPECT_EQ(EditText(d, 38), L"example.org");

  dialog_.reset();
  CustomKeyDlg& ended = Open(Blocker::kEnded);
  ASSERT_TRUE(Driver::RunUntil([&] { return !ended.BlockerRunning(); }, 30000));
  ASSERT_TRUE(Driver::Focus(ended, 38));
  Key(0x5C);
  EXPECT_EQ(EditText(ended, 38), L"RWindows") << "an ended blocker no longer reports it";
}

TEST_F(CustomKeyDlgTest, OkStoresWhatTheDialogShowsAndNothingWhenThereIsNothing) {
  CustomKeyDlg& d = Open();
  ASSERT_TRUE(Exec(StorePath(), "INSERT INTO t_key_data(profile,keyvalue,fnlayer,layoutkeyvalue,layoutkeydesc,"
                                "macrotype,macrovalue,macro2value,macro3value,macrodesc) VALUES (4,41,1,0,'',2,5,0,0,'B')"));
  ASSERT_TRUE(Driver::Click(d, 54));  // no key captured
  EXPECT_EQ(StoredRow(), "2:5:0:0:B") << "the old assignment stays";
  ASSERT_TRUE(Driver::Select(d, 36, 8));
  ASSERT_TRUE(Driver::Click(d, 54));  // an empty text
  EXPECT_EQ(ActionRows(), "<null>");

  // A Windows key alone.
  ASSERT_TRUE(Driver::Select(d, 36, 0));
  ASSERT_TRUE(Driver::Focus(d, 38));
  WinKey(d, 0x5C);
  ASSERT_TRUE(Driver::Click(d, 41));
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(StoredRow(), "2:231:8:0:Win + RWindows");

  // A program: a path that does not exist is kept but not shown; OK then has no name to store.
  ASSERT_TRUE(Driver::Select(d, 36, 6));
  driver_.AnswerNextFileDialog({L"/nonexistent/tool"});
  ASSERT_TRUE(Driver::Click(d, 53));
  EXPECT_EQ(EditText(d, 38), L"");
  EXPECT_EQ(d.m_programPath, L"/nonexistent/tool");
  driver_.AnswerNextFileDialog({L"/bin/sh"});
  ASSERT_TRUE(Driver::Click(d, 53));
  EXPECT_EQ(EditText(d, 38), L"sh");
  ASSERT_TRUE(Driver::Select(d, 36, 7));
  EXPECT_EQ(d.m_programPath, L"") << "a type change forgets the path";
  ASSERT_TRUE(Driver::Select(d, 36, 6));
  driver_.AnswerNextFileDialog({L"/bin/sh"});
  ASSERT_TRUE(Driver::Click(d, 53));
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(ActionRows(), "sh|/bin/sh|8");
  const std::string id = QueryText(StorePath(), "SELECT macro_value FROM t_key_otherdata");
  EXPECT_EQ(StoredRow(), "8:" + id + ":0:0:sh");

  ASSERT_TRUE(Driver::Select(d, 36, 2));
  ASSERT_TRUE(Driver::Select(d, 44, 1));
  ASSERT_TRUE(Driver::Type(d, 45, L"300"));
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(StoredRow(), "3:" + std::to_string(macroId_) + ":1:255:New Macro 3");
  EXPECT_EQ(d.ShowModal(), IDOK);
}

TEST_F(CustomKeyDlgTest, AStoreFailureIsReportedAndTheDialogStaysOpenWhileCloseStoresNothing) {
  CustomKeyDlg& d = Open();
  ASSERT_TRUE(Exec(StorePath(), "CREATE TRIGGER refuse BEFORE INSERT ON t_key_data BEGIN SELECT RAISE(ABORT,'no'); END"));
  ASSERT_TRUE(Driver::Select(d, 36, 3));
  ASSERT_TRUE(Driver::Click(d, 54));
  EXPECT_EQ(driver_.Dialogs().asked, std::vector<std::wstring>{Text(164)});
  EXPECT_TRUE(Logged("custom key: storing the key's assignment failed"));
  EXPECT_EQ(StoredRow(), "<none>");
  ASSERT_TRUE(Exec(StorePath(), "DROP TRIGGER refuse"));
  driver_.AnswerNextModal([](MDialog& dialog) { EXPECT_TRUE(Driver::Click(dialog, CustomKeyDlg::IdClose)); });
  EXPECT_EQ(d.ShowModal(), IDCANCEL);
  EXPECT_EQ(StoredRow(), "<none>") << "Close stores nothing";

  // A write lock held by another connection for less than the busy timeout only delays OK.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(StorePath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread release([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  ASSERT_TRUE(Driver::Click(d, 54));
  release.join();
  sqlite3_close(other);
  EXPECT_EQ(StoredRow(), "5:1:0:0:Left Click");
  EXPECT_EQ(driver_.Dialogs().asked.size(), 1u) << "no second failure";

  // A store that cannot be opened: the lists stay empty and OK says so.
  dialog_.reset();
  std::filesystem::remove_all(UserFolder() + "db");
  CustomKeyDlg& broken = Open();
  ASSERT_TRUE(Driver::Select(broken, 36, 2));
  EXPECT_TRUE(Items(broken, 37).empty());
  ASSERT_TRUE(Driver::Select(broken, 36, 8));
  ASSERT_TRUE(Driver::Type(broken, 38, L"hello"));
  ASSERT_TRUE(Driver::Click(broken, 54));
  EXPECT_EQ(driver_.Dialogs().asked.back(), Text(164));
  EXPECT_TRUE(Logged("could not be opened"));
}

}  // namespace
}  // namespace kb_test
