// The system settings dialog (start at login, the update check) and the update dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/http/http_get.h"
#include "shell/main_sys_set_dlg.h"
#include "shell/software_update.h"
#include "shell/software_update_dlg.h"
#include "shell/window_messages.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_dir.h"
#include "zuvi/buttons.h"
#include "zuvi/manager.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAppDirOverride(app.path());
    std::filesystem::create_directories(app.path() + "language");
    for (const char* name : {"language/1033.lan"})
      std::filesystem::copy_file(std::string(KELVANE_SOURCE_DIR) + "data/" + name, app.path() + name);
    app.Write("device.xml",
              "<device.config><upgrade.url><software "
              "url=\"https://up.example.com/\"/></upgrade.url></device.config>");
    platform::SetAutostart(&autostart);
    SetHttpClient(&http);
  }
  void TearDown() override {
    platform::SetAutostart(nullptr);
    SetHttpClient(nullptr);
    platform::SetAppDirOverride("");
  }

  // Runs the dialog; `act` runs inside its loop and must end it.
  void RunDialog(const std::function<void(MainSysSetDlg&)>& act) {
    driver.AnswerNextModal([&](MDialog& dlg) {
      act(static_cast<MainSysSetDlg&>(dlg));
      dlg.DoCancel();
    });
    MainSysSetDlg dialog;
    EXPECT_EQ(dialog.Run(nullptr), IDCANCEL);
  }

  Driver driver{15000};  // an update check runs inside the dialog's loop
  testing_support::TempDir app;
  platform::FakeAutostart autostart;
  platform::http::FakeClient http;
};

bool Checked(MainSysSetDlg& dlg) {
  return dlg.GetControlAs<CCheckButton>(MainSysSetDlg::IdAutostart)->GetCheck();
}

}  // namespace

TEST_F(SettingsDialogTest, TheBoxMirrorsWhatIsStoredAfterEveryClick) {
  autostart.enabled = true;
  RunDialog([&](MainSysSetDlg& dlg) {
    EXPECT_EQ(dlg.GetWindowText(), L"MainSysSetDlg");
    EXPECT_EQ(dlg.GetClientRect().right, 500);
    EXPECT_EQ(dlg.GetClientRect().bottom, 300);
    EXPECT_EQ(dlg.UpgradeUrl(), L"https://up.example.com/");
    EXPECT_TRUE(Checked(dlg));
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    EXPECT_FALSE(autostart.enabled);
    EXPECT_FALSE(Checked(dlg));
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    EXPECT_TRUE(autostart.enabled);
    EXPECT_EQ(autostart.exePath, platform::AppDir() + "kelvane");
    EXPECT_TRUE(Checked(dlg));

    autostart.failDisable = true;  // the file stays: the box says so
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    EXPECT_TRUE(Checked(dlg));
    autostart.failDisable = false;
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    autostart.failEnable = true;  // nothing written: the box stays off
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    EXPECT_FALSE(Checked(dlg));
  });
}

TEST_F(SettingsDialogTest, AFailedWriteOfTheRealEntryLeavesTheBoxOff) {
  platform::SetAutostart(nullptr);
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", app.path() + "config");
  app.Write("config/autostart", "in the way");
  RunDialog([&](MainSysSetDlg& dlg) {
    EXPECT_FALSE(Checked(dlg));
    Driver::Click(dlg, MainSysSetDlg::IdAutostart);
    EXPECT_FALSE(Checked(dlg));
  });
  std::ifstream in(app.path() + "config/autostart");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "in the way");
}

TEST_F(SettingsDialogTest, UpdateCheckPromptsOrAnnouncesTheNewVersion) {
  std::vector<std::wstring> seen;
  http.answers["https://up.example.com/version.txt"] = {platform::http::kOk, "1.0.0.0"};
  RunDialog([&](MainSysSetDlg& dlg) {
    driver.AnswerNextModal([&](MDialog& box) {  // the "no update" prompt
      seen.push_back(L"prompt:" + box.GetWindowText());
      box.DoOK();
    });
    Driver::Click(dlg, MainSysSetDlg::IdUpdate);
    EXPECT_TRUE(Driver::RunUntil([&] { return seen.size() == 1 && !dlg.IsChecking(); }, 10000));
    http.answers["https://up.example.com/version.txt"] = {platform::http::kOk, "1.2.0.0"};
    driver.AnswerNextModal([&](MDialog& update) {
      seen.push_back(update.GetWindowText() + L":" + update.GetControlAs<MText>(34)->GetTitle());
      Driver::Click(update, 36);
    });
    Driver::Click(dlg, MainSysSetDlg::IdUpdate);
    EXPECT_TRUE(Driver::RunUntil([&] { return seen.size() == 2 && !dlg.IsChecking(); }, 10000));
    EXPECT_EQ(SendMessage(dlg.GetSafeHwnd(), WM_DOWNLOAD_PROGRESS, 0, 0), 1);
    EXPECT_EQ(SendMessage(dlg.GetSafeHwnd(), WM_DOWNLOAD_PROGRESS, 0, 40), 1);
    EXPECT_EQ(dlg.GetControlAs<DownloadButton>(35)->GetDownloadProcess(), 40);
  });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], L"CustomKeyDlg:A new version 1.2.0.0, is available");
  EXPECT_EQ(http.requests.size(), 2u);
}

TEST_F(SettingsDialogTest, TheDialogTakesInputWhileTheCheckWaitsForASilentServer) {
  testing_support::HttpServer server;
  testing_support::HttpServer::Reply silent;
  silent.body = "1.0.0.1";
  silent.stallAfter = 0;  // the headers, then silence
  server.Set("/version.txt", silent);
  app.Write("device.xml", "<device.config><upgrade.url><software url=\"" + server.Url("/") +
                              "\"/></upgrade.url></device.config>");
  using namespace std::chrono_literals;
  platform::http::Limits limits;
  limits.connectTimeout = limits.totalTimeout = 2s;
  platform::http::CurlClient quick(kUpdateUserAgent, limits);
  SetHttpClient(&quick);
  std::vector<std::wstring> prompts;
  RunDialog([&](MainSysSetDlg& dlg) {
    driver.AnswerNextModal([&](MDialog& box) {
      prompts.push_back(box.GetControlAs<MText>(32)->GetTitle() + L"|checking:" +
                        (static_cast<MainSysSetDlg&>(dlg).IsChecking() ? L"yes" : L"no"));
      EXPECT_TRUE(Driver::Click(box, 33));
    });
    auto* button = dlg.GetControlAs<DownloadButton>(MainSysSetDlg::IdUpdate);
    ASSERT_TRUE(Driver::Click(dlg, MainSysSetDlg::IdUpdate));
    EXPECT_TRUE(dlg.IsChecking());
    EXPECT_EQ(button->GetTitle(), L"Checking\u2026");
    EXPECT_FALSE(Driver::Click(dlg, MainSysSetDlg::IdUpdate)) << "a second check while one runs";
    EXPECT_TRUE(Driver::RunUntil([&] { return server.Requests().size() == 1; }, 5000));
    // The dialog still answers its user and its messages while the fetch waits.
    EXPECT_TRUE(Driver::Click(dlg, MainSysSetDlg::IdAutostart));
    EXPECT_TRUE(autostart.enabled);
    PostMessage(dlg.GetSafeHwnd(), WM_DOWNLOAD_PROGRESS, 0, 40);
    EXPECT_TRUE(Driver::RunUntil([&] { return button->GetDownloadProcess() == 40; }, 5000));
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(dlg.IsChecking());
    // The fetch gives up: the usual prompt, and the button is back.
    EXPECT_TRUE(Driver::RunUntil([&] { return !prompts.empty(); }, 20000));
    EXPECT_FALSE(dlg.IsChecking());
    EXPECT_EQ(button->GetTitle(), L"Check for updates");
    EXPECT_TRUE(button->IsEnabled());
  });
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0],
            L"You already have the newest version, or the update server could not be reached.|checking:no");
  EXPECT_EQ(server.Requests().size(), 1u);
}

// Holds every fetch until it is cancelled (bounded), and says whether it was.
class HeldClient : public platform::http::Client {
 public:
  int Get(const std::string&, std::atomic<bool>& keepGoing, std::string* body) override {
    keepGoing = true;
    body->clear();
    entered = true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (keepGoing && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cancelled = !keepGoing;
    return cancelled ? platform::http::kCancelled : platform::http::kFailed;
  }
  std::atomic<bool> entered{false}, cancelled{false};
};

TEST_F(SettingsDialogTest, ClosingTheDialogCancelsTheCheckInFlight) {
  HeldClient held;
  SetHttpClient(&held);
  RunDialog([&](MainSysSetDlg& dlg) {
    ASSERT_TRUE(Driver::Click(dlg, MainSysSetDlg::IdUpdate));
    EXPECT_TRUE(Driver::RunUntil([&] { return held.entered.load(); }, 5000));
    EXPECT_TRUE(Driver::Click(dlg, MainSysSetDlg::IdClose));
  });
  EXPECT_TRUE(held.cancelled);
  Driver::RunFor(50);  // the worker's message finds no window: no prompt (it would stall unanswered)
}

TEST_F(SettingsDialogTest, AnEmptyUpdateAddressPromptsWithoutARequest) {
  app.Write("device.xml", "<device.config/>");
  int prompts = 0;
  RunDialog([&](MainSysSetDlg& dlg) {
    driver.AnswerNextModal([&](MDialog& box) {
      ++prompts;
      box.DoOK();
    });
    Driver::Click(dlg, MainSysSetDlg::IdUpdate);
  });
  EXPECT_EQ(prompts, 1);
  EXPECT_TRUE(http.requests.empty());
}

TEST_F(SettingsDialogTest, TheUpdateDialogShowsItsPartsAndClosesWithItsButtons) {
  struct Case {
    int id;
    int result;
    bool closes;
  } cases[] = {{32, 1, true}, {36, 0, true}, {35, 0, false}};
  for (const Case& c : cases) {
    driver.AnswerNextModal([&](MDialog& dlg) {
      auto& update = static_cast<SoftwareUpdateDlg&>(dlg);
      EXPECT_EQ(update.GetWindowText(), L"CustomKeyDlg");
      EXPECT_EQ(update.GetClientRect().right, 500);
      EXPECT_EQ(update.GetClientRect().bottom, 230);
      EXPECT_EQ(update.UpgradeUrl(), L"https://up.example.com/");
      EXPECT_EQ(update.GetControlAs<MText>(34)->GetTitle(), L"A new version 2.0, is available");
      EXPECT_EQ(update.OnMessage(c.id, NOTIFY_CLICK, 0, 0), c.result);
      EXPECT_EQ(SendMessage(update.GetSafeHwnd(), WM_DOWNLOAD_PROGRESS, 0, 250), 1);
      EXPECT_EQ(update.Progress()->GetProgress(), 100);
      EXPECT_EQ(SendMessage(update.GetSafeHwnd(), 5689, 0, 0), 0);
      if (!c.closes) update.DoCancel();
    });
    SoftwareUpdateDlg dialog(L"2.0");
    EXPECT_EQ(dialog.Run(nullptr), IDCANCEL) << c.id;
  }
}
