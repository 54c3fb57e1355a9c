// The main window's frame: controls, layout, clicks, window messages, the tray and teardown.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "shell/window_messages.h"
#include "tests/shell/main_dlg_support.h"
#include "zuvi/buttons.h"
#include "zuvi/menu.h"
#include "zuvi/static_controls.h"

using main_dlg_testing::MainDlgTest;
using zuvi_testing::Driver;

namespace {

class MainWindowTest : public MainDlgTest {
 protected:
  void SetUp() override {
    MainDlgTest::SetUp();
    WriteConfig(main_dlg_testing::kTwoKeyboards);
    Plug(0xB108);
    Plug(0xB109);
  }
};

std::wstring Tooltip(MDialog& dlg, int id) { return dlg.GetControl(id)->GetTooltip(); }

}  // namespace

TEST_F(MainWindowTest, ControlsCarryTheirIdsClassesAndTexts) {
  Open();
  struct Case {
    int id;
    const char* cls;
  } cases[] = {{30, "CArea"},        {31, "MPicture"},     {32, "MPicture"},      {33, "MText"},
               {34, "CImageButton"}, {35, "CImageButton"}, {37, "UpgradeButton"}, {40, "CImageButton"},
               {41, "CImageButton"}, {44, "CDeviceCtrl"},  {47, "CDeviceCtrl"},   {53, "MText"}};
  for (const Case& c : cases) {
    MControl* control = main->GetControl(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->ClassName(), std::wstring(c.cls, c.cls + strlen(c.cls))) << c.id;
  }
  EXPECT_EQ(main->GetWindowText(), L"Varnel Keyboard");
  EXPECT_EQ(main->GetControlAs<MText>(53)->GetTitle(), L"ver: 1.0.0.0");
  EXPECT_EQ(Tooltip(*main, 34), L"Close");
  EXPECT_EQ(Tooltip(*main, 37), L"Settings");
  EXPECT_TRUE(main->GetControl(41)->IsVisible()) << "website show=1";
  EXPECT_FALSE(main->GetControl(40)->IsVisible()) << "store show=0";
  EXPECT_EQ(main->WebsiteUrl(), L"https://example.com/");
  EXPECT_EQ(main->StoreUrl(), L"https://shop.example.com/");
  ASSERT_NE(tray, nullptr);
  EXPECT_TRUE(tray->IsShown());
  EXPECT_EQ(tray->id, 109u);
  EXPECT_EQ(tray->callbackMessage, 1090u);
  EXPECT_EQ(tray->tip, L"Varnel Keyboard");
  EXPECT_NE(tray->iconFile.find(L"skins/default/Kelvane.ico"), std::wstring::npos);
}

TEST_F(MainWindowTest, LayoutFollowsTheClientSizeAndKeyboardWindowsFillIt) {
  Open();
  for (auto [width, height] : {std::pair{1200, 720}, std::pair{1600, 900}}) {
    main->MoveWindow(0, 0, width, height, true);
    Driver::RunFor(20);
    const RECT close = main->GetControl(34)->GetRect();
    EXPECT_EQ(close.left, width - 50);
    EXPECT_EQ(close.right, width - 20);
    EXPECT_EQ(main->GetControl(35)->GetRect().left, width - 90);
    EXPECT_EQ(main->GetControl(37)->GetRect().left, width - 130);
    const RECT first = main->GetControl(44)->GetRect();
    const RECT last = main->GetControl(47)->GetRect();
    EXPECT_EQ(first.left, 60);
    EXPECT_EQ(first.top, 160);
    EXPECT_EQ(first.bottom, height - 100);
    EXPECT_LE(last.right, width - 60);
    EXPECT_EQ(first.right - first.left, last.right - last.left);
    ASSERT_FALSE(windows.empty());
    const RECT keyboard = windows[0]->GetWindowRect();
    EXPECT_EQ(keyboard.right - keyboard.left, width);
    EXPECT_EQ(keyboard.bottom - keyboard.top, height);
  }
}

TEST_F(MainWindowTest, HideRequestsGoToTheTrayAndTheTrayBringsTheWindowBack) {
  Open();
  GoHome();
  for (int way = 0; way < 3; ++way) {
    if (way == 0) {
      EXPECT_TRUE(Driver::Click(*main, 34));
    } else if (way == 1) {
      EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_MAIN_HIDE, 0, 0), 1);
    } else {
      EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_CLOSE, 0, 0), 0);
    }
    EXPECT_FALSE(main->IsWindowVisible()) << way;
    ASSERT_TRUE(tray->Activate(way == 1 ? kTrayDoubleClick : kTrayClick));
    EXPECT_TRUE(Driver::RunUntil([&] { return main->IsWindowVisible(); })) << way;
  }
  EXPECT_FALSE(Manager::QuitRequested());
}

TEST_F(MainWindowTest, WithoutATrayHidingMinimisesInstead) {
  trayAvailable = false;
  Open();
  EXPECT_FALSE(main->TrayShown());
  EXPECT_EQ(main->RemoveTrayIcon(), 1);
  GoHome();
  Driver::Click(*main, 34);
  SendMessage(main->GetSafeHwnd(), WM_MAIN_HIDE, 0, 0);
  SendMessage(main->GetSafeHwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(main->IsWindowVisible()) << "a hidden window could not be found again";
}

TEST_F(MainWindowTest, TheTrayMenuHasOneItemThatQuits) {
  Open();
  std::vector<MenuWnd::Item> shown;
  MenuWnd::SetChooser([&](const std::vector<MenuWnd::Item>& items) {
    shown = items;
    return 0;  // dismissed
  });
  ASSERT_TRUE(tray->Activate(kTrayContext));
  Driver::RunFor(30);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].id, 100);
  EXPECT_EQ(shown[0].text, L"Exit");
  EXPECT_FALSE(Manager::QuitRequested());

  MenuWnd::SetChooser([](const std::vector<MenuWnd::Item>&) { return 100; });
  ASSERT_TRUE(tray->Activate(kTrayContext));
  EXPECT_TRUE(Driver::RunUntil([] { return Manager::QuitRequested(); }));
  MenuWnd::SetChooser(nullptr);
  EXPECT_EQ(Manager::QuitExitCode(), 0);
  EXPECT_FALSE(tray->IsShown()) << "the icon goes before the quit";
}

TEST_F(MainWindowTest, QuitMessagesNeedTheirKey) {
  Open();
  EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_APP_QUIT, 0, 611), 0);
  SendMessage(main->GetSafeHwnd(), WM_COMMAND, 0, 99);
  EXPECT_FALSE(Manager::QuitRequested());
  EXPECT_TRUE(tray->IsShown());
  SendMessage(main->GetSafeHwnd(), WM_APP_QUIT, 0, kQuitRequestKey);
  EXPECT_TRUE(Manager::QuitRequested());
  EXPECT_FALSE(tray->IsShown());
}

TEST_F(MainWindowTest, LanguageChangeIsStoredAndPassedOnOncePerKeyboardWindow) {
  Open();
  GoHome();
  Driver::Click(*main, 45);
  ASSERT_EQ(windows.size(), 2u);
  log.clear();
  EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_LANGUAGE_CHANGED, 100, 0), 0);  // no language: ignored
  EXPECT_EQ(g_languageId.load(), 1033);
  EXPECT_EQ(Tooltip(*main, 34), L"Close");
  EXPECT_TRUE(log.empty());

  SendMessage(main->GetSafeHwnd(), WM_LANGUAGE_CHANGED, 100, 2052);
  EXPECT_EQ(g_languageId.load(), 2052);
  EXPECT_EQ(settings.ReadValue("SOFTWARE\\Varnel Keyboard", "LCID").value_or(""), "2052");
  EXPECT_EQ(log, (std::vector<std::string>{"Alpha: language 100,0", "Beta: language 100,0"}));
  EXPECT_EQ(Tooltip(*main, 34), L"关闭");
  std::vector<std::wstring> lines;  // the version line and the notice share their id
  for (MControl* control : main->Controls())
    if (control->GetID() == MainDlg::IdVersion)
      lines.push_back(static_cast<MControlFont*>(control)->GetTitle());
  EXPECT_EQ(lines.back(), L"请用 USB 连接支持的键盘；键盘窗口会自动打开。") << "the notice follows too";

  platform::MemorySettingsStore empty;  // without the key nothing is created
  MainDlg::Services services;
  services.devices = &manager;
  services.settings = &empty;
  MainDlg other(services);
  ASSERT_TRUE(other.Create(nullptr, L"other", WS_POPUP, 0, RECT{0, 0, 1200, 720}));
  SendMessage(other.GetSafeHwnd(), WM_LANGUAGE_CHANGED, 100, 1033);
  EXPECT_FALSE(empty.ReadValue("SOFTWARE\\Varnel Keyboard", "LCID"));
  other.DestroyWindow();
}

TEST_F(MainWindowTest, SlotKeysReachEveryConnectedKeyboardWindow) {
  Open();
  GoHome();
  Driver::Click(*main, 45);
  log.clear();
  PostMessage(windows[0]->GetSafeHwnd(), WM_DEVICE_SLOT_KEY, 2, 7);  // a keyboard window's own message
  EXPECT_EQ(SendMessage(main->GetSafeHwnd(), WM_DEVICE_SLOT_KEY, 1, 3), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"Alpha: slot key 1,3", "Beta: slot key 1,3"}));
}

TEST_F(MainWindowTest, StoreAndWebsiteOpenTheBrowser) {
  platform::RecordingOpener opener;
  platform::SetDesktopOpener(&opener);
  Open();
  GoHome();
  EXPECT_TRUE(Driver::Click(*main, 41));
  EXPECT_EQ(main->OnMessage(40, NOTIFY_CLICK, 0, 0), 1);
  platform::SetDesktopOpener(nullptr);
  EXPECT_EQ(opener.targets, (std::vector<std::string>{"https://example.com/", "https://shop.example.com/"}));
}

TEST_F(MainWindowTest, TeardownFreesKeyboardWindowsOnlyAfterTheirShowReturned) {
  modalKeyboards = true;
  driver.AnswerNextModal([&](MDialog& keyboard) {
    EXPECT_EQ(keyboard.GetWindowText(), L"KeyboardDlg");
    main->DestroyWindow();  // from inside the keyboard window's loop
    main->DestroyWindow();
  });
  Open();
  // The window was destroyed inside its Show frame; the object lived until that frame returned.
  EXPECT_EQ(log, (std::vector<std::string>{"Alpha: make 0", "Alpha: show", "Alpha: destroy",
                                           "Alpha: show returned", "Alpha: free"}));
  EXPECT_TRUE(main->Devices().empty());
  EXPECT_FALSE(tray->IsShown());
}
