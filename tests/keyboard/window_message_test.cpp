// Window messages of the keyboard window, the Enter key of the screen page and the drag of the
// main window.
#include "frame_support.h"
#include "shell/window_messages.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

class WindowMessageTest : public FrameTest {
 protected:
  // A window whose screen page has the text edit.
  RecordingDlg& WithTextEdit() {
    return IdleRecording([](RecordingDlg& d) {
      d.onBuild = [](RecordingDlg& w, const std::string& page) {
        if (page == "CreateLcdPage")
          w.CreateControl(L"MEdit", kb_ids::kScreenTextEdit, RECT{400, 600, 600, 630}, nullptr, 1, 1,
                          w.GetControl(kb_ids::kPageScreen));
      };
    });
  }
};

TEST_F(WindowMessageTest, EachMessageReachesItsHandlerWithLParam) {
  RecordingDlg& dlg = IdleRecording();
  struct Case {
    UINT message;
    std::string call;
    LRESULT result;
  };
  const Case cases[] = {
      {0x722, "OnProfileCommand(605)", 7},   {0x721, "OnKeyFunctionCommand(3, 605)", 7},
      {0x723, "OnMacroMenuCommand(605)", 7}, {0x725, "OnLightEditorMenuCommand(605)", 7},
      {0x729, "OnLcdDrawTool(605)", 7},      {0x444, "RunSoftwareKeyAction(605)", 0},
      {WM_INPUT, "OnRawInput(605)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(dlg.OnWindowMessage(c.message, 3, 605), c.result);
    EXPECT_EQ(dlg.TakeCalls(), std::vector<std::string>{c.call});
  }
  // 0x724 and anything else go to the base handler only.
  for (UINT message : {0x724u, 0x726u, 0x720u, 0x72Au, WM_USER}) {
    EXPECT_EQ(dlg.OnWindowMessage(message, 1, 2), 0);
    EXPECT_TRUE(dlg.TakeCalls().empty()) << message;
  }
  EXPECT_TRUE(TakeMainMessages().empty());
}

TEST_F(WindowMessageTest, SlotKeysAreHandedToTheMainWindowExactlyOnce) {
  RecordingDlg& dlg = IdleRecording();
  EXPECT_EQ(dlg.OnWindowMessage(WM_DEVICE_SLOT_KEY, 2, 5), 0);
  const auto posted = TakeMainMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, WM_DEVICE_SLOT_KEY);
  EXPECT_EQ(posted[0].wParam, 2u);
  EXPECT_EQ(posted[0].lParam, 5);
  EXPECT_TRUE(dlg.TakeCalls().empty()) << "the main window decides which windows get it";
}

TEST_F(WindowMessageTest, ADeviceReportFromTheListenerThreadRunsOnTheUiThread) {
  RecordingDlg& dlg = IdleRecording();
  std::thread listener([hwnd = dlg.GetSafeHwnd()] { PostMessage(hwnd, WM_DEVICE_REPORT, 0, 12); });
  listener.join();
  ASSERT_TRUE(Driver::RunUntil([&] { return !dlg.calls.empty(); }));
  EXPECT_EQ(dlg.calls, std::vector<std::string>{"RunSoftwareKeyAction(12)"});
  EXPECT_EQ(dlg.callThreads.back(), std::this_thread::get_id());
}

TEST_F(WindowMessageTest, ALanguageMessageRetextsByTheCurrentLanguageWhateverItsParameters) {
  RecordingDlg& dlg = IdleRecording();
  const int before = g_languageId.load();
  auto* close = dlg.GetControl(kb_ids::kClose);
  for (LPARAM lParam : {LPARAM{0}, LPARAM{2052}, LPARAM{-1}}) {
    close->SetTooltip(L"stale");
    EXPECT_EQ(dlg.OnWindowMessage(WM_LANGUAGE_CHANGED, 100, lParam), 0);
    EXPECT_EQ(close->GetTooltip(), Text(2));
    EXPECT_EQ(g_languageId.load(), before) << "the language is the main window's to set";
  }
  EXPECT_TRUE(TakeMainMessages().empty()) << "nothing is sent back";
}

TEST_F(WindowMessageTest, EnterReleasedInTheScreenTextEditAddsTheTextOnce) {
  RecordingDlg& dlg = WithTextEdit();
  auto* edit = dlg.GetControlAs<MControlFont>(kb_ids::kScreenTextEdit);
  auto release = [&](UINT message, WPARAM key) {
    MSG msg{dlg.GetSafeHwnd(), message, key, 0};
    return dlg.PreTranslateMessage(&msg);
  };
  dlg.m_curTab = TabScreen;
  EXPECT_EQ(release(WM_KEYUP, 13), 1) << "consumed without a text";
  EXPECT_TRUE(dlg.TakeCalls().empty());
  edit->SetTitle(L"Hello");
  EXPECT_EQ(release(WM_KEYUP, 13), 1);
  EXPECT_EQ(release(WM_SYSKEYUP, 13), 1);
  EXPECT_EQ(dlg.TakeCalls(), (std::vector<std::string>{"OnLcdAddText", "OnLcdAddText"}));
  EXPECT_EQ(release(WM_KEYDOWN, 13), 0) << "presses pass";
  EXPECT_EQ(release(WM_KEYUP, 'A'), 0) << "other keys pass";
  dlg.m_curTab = TabSettings;
  EXPECT_EQ(release(WM_KEYUP, 13), 0) << "other pages pass";
  EXPECT_TRUE(dlg.TakeCalls().empty());

  // As a user presses it on the screen page: held down, the key repeats its press but is released once.
  constexpr int kScreenTabPosition = 3;
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kScreenTabPosition));
  ASSERT_EQ(dlg.m_curTab.load(), TabScreen);
  edit->SetEnabled(true);  // as while a frame of a slot is edited
  dlg.TakeCalls();
  ASSERT_TRUE(Driver::KeyDownOn(dlg, kb_ids::kScreenTextEdit, 13));
  ASSERT_TRUE(Driver::KeyDownOn(dlg, kb_ids::kScreenTextEdit, 13, 0, true));
  ASSERT_TRUE(Driver::KeyUpOn(dlg, kb_ids::kScreenTextEdit, 13, 0, true));
  ASSERT_TRUE(Driver::KeyDownOn(dlg, kb_ids::kScreenTextEdit, 13, 0, true));
  ASSERT_TRUE(Driver::KeyUpOn(dlg, kb_ids::kScreenTextEdit, 13));
  ASSERT_TRUE(Driver::KeyUpOn(dlg, kb_ids::kScreenTextEdit, 13, Driver::kAlt));
  EXPECT_EQ(dlg.TakeCalls(), (std::vector<std::string>{"OnLcdAddText", "OnLcdAddText"}));
}

TEST_F(WindowMessageTest, EnterWithoutTheTextEditIsConsumedAndAddsNothing) {
  RecordingDlg& dlg = IdleRecording();
  dlg.m_curTab = TabScreen;
  MSG msg{dlg.GetSafeHwnd(), WM_KEYUP, 13, 0};
  EXPECT_EQ(dlg.PreTranslateMessage(&msg), 1);
  EXPECT_TRUE(dlg.TakeCalls().empty());
}

TEST_F(WindowMessageTest, APressOnAFreeAreaDragsTheMainWindow) {
  RecordingDlg& dlg = IdleRecording();
  Driver::ClickWindow(dlg, POINT{300, 700});  // free: between the tab column and the pages' views
  const auto posted = TakeMainMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, WM_NCLBUTTONDOWN);
  EXPECT_EQ(posted[0].wParam, HTCAPTION);
  EXPECT_EQ(posted[0].lParam, (700 << 16) | 300);
}

TEST_F(WindowMessageTest, MaximiseAsksTheMainWindowAndShowsTheComingState) {
  RecordingDlg& dlg = IdleRecording();
  main_.ShowWindow(SW_SHOW);
  EXPECT_EQ(dlg.OnMessage(kb_ids::kMaximize, 2, 0, 0), 1);
  EXPECT_EQ(dlg.GetControl(kb_ids::kMaximize)->GetImage(), L"btn_caption_restore.png");
  auto posted = TakeMainMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, WM_MAIN_MAXIMIZE);
  EXPECT_EQ(posted[0].lParam, 0);

  main_.ToggleMaximize();  // the main window has maximised itself
  ASSERT_TRUE(main_.IsZoomed());
  EXPECT_EQ(dlg.ToggleMaximize(), 1);
  EXPECT_EQ(dlg.GetControl(kb_ids::kMaximize)->GetImage(), L"sysbtn_maximize.png");
}

}  // namespace
}  // namespace kb_test
