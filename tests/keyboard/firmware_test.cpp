// The firmware update tip: when it is offered, what its answers do, how it looks, and the prompt
// box the pages use.
#include "frame_support.h"
#include "keyboard/UpdateTipDlg.h"
#include "shell/ui_message_box.h"
#include "zuvi/manager.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

class FirmwareTest : public FrameTest {
 protected:
  // An idle recording window with the firmware capability, on a keyboard of release `release`.
  RecordingDlg& OnKeyboard(std::uint16_t release, const wchar_t* packaged = L"0100") {
    platform::hid::sim::SimKeyboardConfig config;
    config.releaseNumber = release;
    sim_.addKeyboard(config);
    manager_->Reopen();
    RecordingDlg& dlg = CreateRecording();
    Drain(dlg);
    dlg.SetDeviceIndex(1);
    dlg.m_canUpdateFirmware = 1;
    dlg.m_firmwareVersion = packaged;
    dlg.calls.clear();
    return dlg;
  }
  // The tests make the checks themselves: the window's own one-time check must not come as well
  // while a tip's loop runs.
  static void WithoutOwnCheck(RecordingDlg& dlg) { dlg.KillTimer(KeyboardDlg::kTimerFirmwareCheck); }
};

TEST_F(FirmwareTest, TheTipComesWhenThePackagedFirmwareIsNewer) {
  struct Case {
    std::uint16_t release;
    const wchar_t* packaged;
    bool offered;
  };
  const Case cases[] = {
      {0x0100, L"0100", false},  // "100" against 100
      {0x0099, L"0100", true},   // 99
      {0x0105, L"0100", false},  // 105
      {0x01A0, L"0100", true},   // "1a0" reads as 1
      {0x0000, L"0000", false}, {0x0000, L"1", true},
  };
  for (const Case& c : cases) {
    platform::hid::sim::SimKeyboardConfig config;
    config.releaseNumber = c.release;
    sim_.addKeyboard(config);
  }
  manager_->Reopen();  // keyboards 1 to 6, in the order of the cases
  RecordingDlg& dlg = CreateRecording();
  Drain(dlg);
  WithoutOwnCheck(dlg);
  dlg.calls.clear();
  dlg.m_canUpdateFirmware = 1;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.release);
    dlg.SetDeviceIndex(static_cast<int>(i) + 1);
    dlg.m_firmwareVersion = c.packaged;
    bool shown = false;
    if (c.offered)
      driver_.AnswerNextModal([&](MDialog& tip) {
        shown = true;
        EXPECT_TRUE(Driver::Click(tip, UpdateTipDlg::IdCancel));
      });
    dlg.CheckFirmwareUpdate();
    EXPECT_EQ(shown, c.offered);
    EXPECT_TRUE(dlg.calls.empty()) << "cancel starts nothing";
  }
}

TEST_F(FirmwareTest, WithoutTheCapabilityNothingIsReadAndAnUnreadableReleaseCountsAsZero) {
  RecordingDlg& dlg = OnKeyboard(0x0099);
  WithoutOwnCheck(dlg);
  dlg.m_canUpdateFirmware = 0;
  dlg.CheckFirmwareUpdate();  // a tip would fail the test: no answer is queued
  EXPECT_TRUE(dlg.calls.empty());

  // A keyboard that cannot be read counts as release 0: the update is offered.
  dlg.m_canUpdateFirmware = 1;
  dlg.SetDeviceIndex(7);
  bool shown = false;
  driver_.AnswerNextModal([&](MDialog& tip) {
    shown = true;
    Driver::Click(tip, UpdateTipDlg::IdClose);
  });
  dlg.CheckFirmwareUpdate();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(dlg.calls.empty()) << "close starts nothing";
}

TEST_F(FirmwareTest, OkStartsTheUpdaterAndTheTimerChecksOnce) {
  RecordingDlg& dlg = OnKeyboard(0x0099);
  int tips = 0;
  driver_.AnswerNextModal([&](MDialog& tip) {
    ++tips;
    EXPECT_TRUE(Driver::Click(tip, UpdateTipDlg::IdOk));
  });
  ASSERT_TRUE(Driver::FireTimer(dlg, KeyboardDlg::kTimerFirmwareCheck));
  EXPECT_EQ(tips, 1);
  EXPECT_EQ(dlg.calls, std::vector<std::string>{"RunFirmwareUpdater"});
  Driver::RunFor(5);
  EXPECT_FALSE(Driver::FireTimer(dlg, KeyboardDlg::kTimerFirmwareCheck)) << "the timer was killed";
}

TEST_F(FirmwareTest, TheTipIsATopmostPopupOfTheMainWindowWithItsLayout) {
  RecordingDlg& dlg = OnKeyboard(0x0099);
  WithoutOwnCheck(dlg);
  const int saved = g_languageId.load();
  g_languageId.store(0x409);
  driver_.AnswerNextModal([&](MDialog& tip) {
    EXPECT_EQ(tip.GetParent(), main_.GetSafeHwnd());
    EXPECT_EQ(tip.GetWindowText(), L"UpdateTipDlg");
    EXPECT_TRUE(tip.IsTopmost());
    EXPECT_TRUE(tip.IsWindowVisible());
    EXPECT_FALSE(main_.IsWindowEnabled()) << "the tip's loop holds its owner";
    EXPECT_EQ(tip.GetClientRect(), (RECT{0, 0, 634, 310}));
    EXPECT_EQ(tip.GetControl(31)->GetRect(), (RECT{594, 12, 614, 32}));
    EXPECT_EQ(tip.GetControl(36)->GetRect(), (RECT{414, 250, 514, 278}));
    EXPECT_EQ(tip.GetControl(37)->GetRect(), (RECT{519, 250, 619, 278}));
    EXPECT_EQ(tip.GetControl(33)->GetRect(), (RECT{20, 81, 629, 117}));
    EXPECT_EQ(tip.GetControlAs<MControlFont>(33)->GetTitle(), Text(710));
    EXPECT_EQ(tip.GetControlAs<MControlFont>(32)->GetAlignment(), 1);
    EXPECT_EQ(tip.GetControlAs<MControlFont>(34)->GetTextColor(), 0xFFFF5000u);
    EXPECT_EQ(tip.GetControl(36)->GetImage(), L"updatetips_btn_ok.png");
    EXPECT_EQ(tip.OnMessage(36, 1, 0, 0), 0) << "only clicks count";
    EXPECT_EQ(tip.OnMessage(99, 2, 0, 0), 1);
    tip.DoCancel();
  });
  dlg.CheckFirmwareUpdate();
  EXPECT_TRUE(main_.IsWindowEnabled());
  g_languageId.store(saved);
}

TEST_F(FirmwareTest, NoUpdaterStartsForAWindowEndedWhileTheTipWasOpen) {
  RecordingDlg& dlg = OnKeyboard(0x0099);
  WithoutOwnCheck(dlg);
  driver_.AnswerNextModal([&](MDialog& tip) {
    dlg.DestroyWindow();
    tip.DoOK();
  });
  dlg.CheckFirmwareUpdate();
  EXPECT_TRUE(dlg.calls.empty());
}

TEST_F(FirmwareTest, ThePromptBoxPassesEachAnswerThrough) {
  RecordingDlg& dlg = CreateRecording();
  WithoutOwnCheck(dlg);
  struct Case {
    int mode;
    int button;
    int result;
  };
  for (const Case& c : {Case{0, CUIMessageBox::IdOkOrYes, 1}, Case{4, CUIMessageBox::IdOkOrYes, 1},
                        Case{4, CUIMessageBox::IdNo, 2}}) {
    std::wstring message;
    driver_.AnswerNextModal([&](MDialog& box) {
      message = static_cast<CUIMessageBox&>(box).m_message;
      EXPECT_TRUE(Driver::Click(box, c.button));
    });
    EXPECT_EQ(dlg.ShowMessageBox(dlg.GetSafeHwnd(), L"Sure?", L"Title", c.mode), c.result);
    EXPECT_EQ(message, L"Sure?");
  }
  driver_.AnswerNextModal([](MDialog& box) { box.DestroyWindow(); });
  EXPECT_EQ(dlg.ShowMessageBox(dlg.GetSafeHwnd(), L"Gone", L"Title", 0), 0);
}

}  // namespace
}  // namespace kb_test
