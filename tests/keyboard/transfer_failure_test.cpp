// A transfer the keyboard did not take is told to the user once per task, in the window's prompt
// box; an unplugged keyboard, a clean transfer and the idle jobs give no prompt, and nothing
// stored is undone.
#include "keyboard_fixture.h"
#include "shell/ui_message_box.h"

namespace kb_test {
namespace {

constexpr const wchar_t* kFailureText =
    L"The keyboard did not receive the change. Check its connection and try again.";

class TransferFailureTest : public KeyboardTest {
 protected:
  platform::hid::sim::SimKeyboard& Keyboard() { return sim_.keyboard(0); }
  // Answers every prompt box that opens with OK and remembers its message.
  void AnswerPrompts(int count) {
    for (int i = 0; i < count; ++i)
      driver_.AnswerNextModal([this](MDialog& box) {
        if (auto* prompt = dynamic_cast<CUIMessageBox*>(&box)) messages_.push_back(prompt->m_message);
        box.DoOK();
      });
  }
  // Lets the `expected` prompts show; one more that should not come gets the time to come all
  // the same.
  void Settle(KeyboardDlg& dlg, int expected) {
    zuvi_testing::Driver::RunUntil([&] { return dlg.m_transferPrompts.load() >= expected; });
    zuvi_testing::Driver::RunFor(50);
  }
  void Restore(KeyboardDlg& dlg) {
    Keyboard().failSendsFrom(0);
    Keyboard().replug();
    manager_->Reopen();
    dlg.SetDeviceIndex(0);
  }
  std::vector<std::wstring> messages_;
};

TEST_F(TransferFailureTest, EachFailedTaskShowsOnePromptAndAnUnpluggedKeyboardNone) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const int slot = dlg.m_configDB.NewLedLayer(1, L"anim");
  dlg.m_configDB.SaveLedFrames(
      {LedFrameRow{0, slot, L"f", 100, 0, L"a.png"}, LedFrameRow{0, slot, L"f", 100, 1, L"b.png"}});
  dlg.m_lcdLedId = slot;
  dlg.m_curLightMode = 3;
  struct Case {
    const char* name;
    int task;
  };
  const Case cases[] = {
      {"light mode", TaskSendLightMode},
      {"custom colours", TaskSendCustomModeColors},
      {"system settings", TaskSendSystemSettings},
      {"clock", TaskSetClockAndLcdSlot},
      {"screen", TaskSendLcdAnimation},
  };
  int prompts = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A clean run: no prompt.
    dlg.PostTask(c.task);
    dlg.Run();
    Settle(dlg, prompts);
    EXPECT_EQ(dlg.m_transferPrompts.load(), prompts);

    for (int n : {1, 3}) {
      SCOPED_TRACE(n);
      Keyboard().failSendsFrom(n);
      AnswerPrompts(1);
      dlg.PostTask(c.task);
      dlg.Run();
      ++prompts;
      Settle(dlg, prompts);
      EXPECT_EQ(dlg.m_transferPrompts.load(), prompts) << "one prompt for the task, not one per packet";
      Restore(dlg);
    }

    Keyboard().unplugAfterSends(1);
    dlg.PostTask(c.task);
    dlg.Run();
    Settle(dlg, prompts);
    EXPECT_EQ(dlg.m_transferPrompts.load(), prompts) << "the main window tells of an unplugged keyboard";
    EXPECT_TRUE(Logged("has gone away; no prompt"));
    Restore(dlg);
  }
  EXPECT_EQ(messages_, std::vector<std::wstring>(static_cast<size_t>(prompts), kFailureText));
  EXPECT_EQ(dlg.m_configDB.GetSelectedLightMode(1) >= 0, true);
  EXPECT_EQ(dlg.m_configDB.CountLedFrames(slot), 2) << "nothing stored is undone";
}

TEST_F(TransferFailureTest, AFailedMacroDownloadIsReportedAndTheIdleJobsStayQuiet) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const int macro = dlg.m_configDB.NewMacro(L"m");
  dlg.m_configDB.SaveMacroRecords({MacroRecordRow{0, macro, 2, 0, 0x41, L"A"}});
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kSent);

  Keyboard().failSendsFrom(2);
  AnswerPrompts(1);
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kFailed);
  Settle(dlg, 1);
  EXPECT_EQ(dlg.m_transferPrompts.load(), 1);
  EXPECT_EQ(messages_, std::vector<std::wstring>{kFailureText});
  EXPECT_EQ(dlg.m_configDB.CountMacroRecords(), 1) << "the store keeps the macro for a retry";

  // The read-back and the live preview fail as well, but their next pass tries again.
  for (int tab : {TabLighting, TabCustomLight, TabMusic}) {
    dlg.m_curTab = tab;
    dlg.Run();
  }
  Settle(dlg, 1);
  EXPECT_EQ(dlg.m_transferPrompts.load(), 1);
}

TEST_F(TransferFailureTest, AStoreWhoseMacrosCannotBeReadSendsNothing) {
  KeyboardDlg& dlg = OpenIdleWindow();
  const int macro = dlg.m_configDB.NewMacro(L"m");
  dlg.m_configDB.SaveMacroRecords({MacroRecordRow{0, macro, 2, 0, 0x41, L"A"}});
  ASSERT_TRUE(Exec(StorePath(), "ALTER TABLE t_macrorecord RENAME TO t_gone"));
  sim_.clearLog();
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kFailed);
  EXPECT_TRUE(sim_.log().empty()) << "no image of part of the macros";
  EXPECT_TRUE(Logged("the store could not be read"));
}

}  // namespace
}  // namespace kb_test
