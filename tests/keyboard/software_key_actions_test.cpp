// The actions a key asks the program for: programs (real children), web addresses (a recording
// desktop opener), typed texts (a recording input synthesiser) and profile switches, also from the
// simulated keyboard's input report on.
#include <sys/stat.h>

#include <filesystem>

#include "common/strings.h"
#include "keyboard_fixture.h"
#include "platform/process.h"
#include "support/recording_input_synth.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;
namespace in = platform::input;

class SoftwareKeyActionsTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    platform::SetDesktopOpener(&opener_);
    in::SetInputSynth(&synth_);
  }
  void TearDown() override {
    in::SetInputSynth(nullptr);
    platform::SetDesktopOpener(nullptr);
    KeyboardTest::TearDown();
  }
  int Action(KeyboardDlg& dlg, const std::wstring& desc, const std::wstring& param, int type) {
    return dlg.m_configDB.InsertKeyOtherData(desc, param, type);
  }

  platform::RecordingOpener opener_;
  testing_support::RecordingInputSynth synth_;
};

TEST_F(SoftwareKeyActionsTest, WebAddressesGetTheirHostAndSchemeOnlyWhenTheyLackThem) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"example.com", "http://www.example.com"},
      {L"www.example.com/a?b=c", "http://www.example.com/a?b=c"},
      {L"docs.example.com/www.index", "http://docs.example.com/www.index"},
      {L"https://example.com", "https://example.com"},
      {L"ftp://files.example.com", "ftp://files.example.com"},
  };
  for (const auto& [stored, opened] : cases) dlg.RunSoftwareKeyAction(Action(dlg, stored, L"", 9));
  std::vector<std::string> expected;
  for (const auto& c : cases) expected.push_back(c.second);
  EXPECT_EQ(opener_.targets, expected);

  opener_.targets.clear();
  EXPECT_EQ(dlg.RunSoftwareKeyAction(Action(dlg, L"", L"", 9)), 0);  // an empty address opens nothing
  EXPECT_EQ(dlg.RunSoftwareKeyAction(0), 0);                         // no such row
  EXPECT_EQ(dlg.RunSoftwareKeyAction(254), 0);
  EXPECT_EQ(dlg.RunSoftwareKeyAction(Action(dlg, L"x", L"", 7)), 0);  // not an action of the program
  EXPECT_TRUE(opener_.targets.empty());
  EXPECT_TRUE(synth_.batches.empty());
}

TEST_F(SoftwareKeyActionsTest, ProgramsStartDirectlyAndOtherPathsGoToTheDesktop) {
  KeyboardDlg& dlg = OpenIdleWindow();
  // A program whose path holds blanks, quotes and ';' is started as it stands, with no shell.
  const std::string marker = app_.path() + "started";
  const std::string program =
      app_.Write("my \"tools\"; v2/run me.sh", "#!/bin/sh\necho \"$0\" > '" + marker + "'\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  const std::string document = app_.Write("notes.txt", "hello");
  EXPECT_EQ(dlg.RunSoftwareKeyAction(Action(dlg, L"Run", Utf8ToWide(program), 8)), 1);
  ASSERT_TRUE(
      Driver::RunUntil([&] { return std::filesystem::exists(marker) && !ReadFile(marker).empty(); }, 5000));
  EXPECT_EQ(ReadFile(marker), program + "\n");
  EXPECT_TRUE(opener_.targets.empty());

  dlg.RunSoftwareKeyAction(Action(dlg, L"Notes", Utf8ToWide(document), 8));
  EXPECT_EQ(opener_.targets, std::vector<std::string>{document});
  dlg.RunSoftwareKeyAction(Action(dlg, L"Gone", Utf8ToWide(app_.path() + "missing"), 8));
  EXPECT_EQ(opener_.targets.size(), 1u);
}

TEST_F(SoftwareKeyActionsTest, TextsAreTypedAndAProfileSwitchShowsWithoutSending) {
  KeyboardDlg& dlg = OpenIdleWindow();
  dlg.RunSoftwareKeyAction(Action(dlg, L"hi", L"", 10));
  EXPECT_EQ(synth_.batches.size(), 2u);  // one press and release per character
  EXPECT_EQ(dlg.RunSoftwareKeyAction(Action(dlg, L"", L"", 10)), 0);
  EXPECT_EQ(synth_.batches.size(), 2u);

  KeyProfileRow profile;
  profile.name = L"Other";
  const int other = dlg.m_configDB.NewKeyProfile(&profile);
  KeyDataRow row;
  row.profile = other;
  row.keyvalue = 0x29;
  row.macrotype = 5;
  row.macrovalue = 1;
  ASSERT_GT(dlg.m_configDB.SetKeyData(row), 0);
  ClearQueue(dlg);
  dlg.RunSoftwareKeyAction(Action(dlg, L"Other", std::to_wstring(other), 11));
  EXPECT_EQ(dlg.m_keyProfileId.load(), other);
  bool checked = false;
  for (const KeyItem& item : dlg.GetKeyView(kb_ids::kKeyAssignView)->GetKeyItems())
    if (item.code == 0x29) checked = item.checked;
  EXPECT_TRUE(checked);
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  EXPECT_EQ(dlg.GetControlAs<QelListBox>(kb_ids::kProfileList)->GetCurSel(), 0);
}

TEST_F(SoftwareKeyActionsTest, TheKeyboardsRequestOpensTheAddressEndToEnd) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const int id = Action(dlg, L"example.org", L"", 9);
  ASSERT_GT(id, 0);
  sim_.keyboard(0).pushInput({0x05, 0x00, static_cast<uint8_t>(id), 0x00});
  ASSERT_TRUE(Driver::RunUntil([&] { return !opener_.targets.empty(); }, 5000));
  EXPECT_EQ(opener_.targets, std::vector<std::string>{"http://www.example.org"});
}

}  // namespace
}  // namespace kb_test
