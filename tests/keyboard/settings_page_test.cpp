// The settings page against the simulated keyboard: loading and changing the settings, game
// mode, start at login, the two resets with each answer, and starting the firmware updater.
#include <csignal>
#include <cstdio>

#include "common/lang_text.h"
#include "keyboard_fixture.h"
#include "platform/autostart.h"
#include "shell/ui_message_box.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/tab.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

class SettingsPageTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    platform::SetAutostart(&autostart_);
  }
  void TearDown() override {
    KeyboardTest::TearDown();
    platform::SetAutostart(nullptr);
  }
  std::string Stored(const std::string& key) {
    return QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='" + key + "'");
  }
  void Store(const std::string& key, const std::string& value) {
    ASSERT_TRUE(Exec(StorePath(), "UPDATE t_configdata SET value='" + value + "' WHERE profile=1 AND key='" +
                                      key + "'"));
  }
  // The settings tab on show, so that the user can reach its controls.
  KeyboardDlg& Page(const std::function<void(KeyboardDlg&)>& prepare = {}) {
    KeyboardDlg& dlg = OpenIdleWindow(prepare);
    main_.ShowWindow(SW_SHOW);
    auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
    EXPECT_TRUE(Driver::Select(dlg, kb_ids::kTabs, tabs->GetItemCount() - 1));
    Driver::RunFor(1);
    Drain(dlg);
    sim_.clearLog();
    return dlg;
  }
  bool Checked(KeyboardDlg& dlg, int id) { return dlg.GetControlAs<CCheckButton>(id)->GetCheck(); }
  bool Enabled(KeyboardDlg& dlg, int id) { return dlg.GetControl(id)->IsEnabled(); }
  // The system-settings record of the last transaction (bytes 0..8).
  std::vector<int> LastRecord() {
    const auto transactions = Transactions();
    if (transactions.empty() || transactions.back().size() < 3) return {};
    const auto& record = transactions.back()[2];
    return std::vector<int>(record.begin(), record.begin() + 9);
  }
  void Answer(int button) {
    driver_.AnswerNextModal([button](MDialog& box) {
      if (button)
        Driver::Click(box, button);
      else
        box.DestroyWindow();  // ended without an answer
    });
  }

  platform::FakeAutostart autostart_;
};

TEST_F(SettingsPageTest, TheStoreFillsTheControlsAndTheControlsAreSent) {
  KeyboardDlg& dlg = Page();
  Store("gamemode", "1");
  Store("disable_alttab", "1");
  Store("disable_win", "1");
  Store("button_respondtime", "4");
  dlg.LoadSystemSettings(1);
  EXPECT_TRUE(Checked(dlg, 283));
  EXPECT_TRUE(Checked(dlg, 284));
  EXPECT_FALSE(Checked(dlg, 285));
  EXPECT_TRUE(Checked(dlg, 286));
  EXPECT_EQ(dlg.GetControlAs<MComboBox>(270)->GetCurData(), 4);
  EXPECT_EQ(LastRecord(), (std::vector<int>{0, 1, 1, 0, 1, 0, 2, 0, 4}));

  // A control wins over the store.
  sim_.clearLog();
  Store("button_respondtime", "1");
  dlg.GetControlAs<MComboBox>(270)->SetCurData(3);
  dlg.SendSystemSettings(1);
  EXPECT_EQ(LastRecord().back(), 3);

  // Out of range: nothing selected and 0 sent; the store keeps its value.
  sim_.clearLog();
  Store("button_respondtime", "9");
  dlg.LoadSystemSettings(1);
  EXPECT_EQ(dlg.GetControlAs<MComboBox>(270)->GetCurSel(), -1);
  EXPECT_EQ(LastRecord().back(), 0);
  EXPECT_EQ(Stored("button_respondtime"), "9");
}

TEST_F(SettingsPageTest, EachHandlerStoresItsValueAndQueuesTheSettings) {
  KeyboardDlg& dlg = Page();
  ASSERT_TRUE(Driver::Click(dlg, 283));  // game mode on
  EXPECT_EQ(Stored("gamemode"), "1");
  EXPECT_TRUE(Enabled(dlg, 284));
  struct Case {
    int id;
    const char* key;
  };
  for (const Case& c : {Case{284, "disable_alttab"}, Case{285, "disable_altf4"}, Case{286, "disable_win"}}) {
    Drain(dlg);
    ASSERT_TRUE(Driver::Click(dlg, c.id));
    EXPECT_EQ(Stored(c.key), "1") << c.key;
    EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendSystemSettings});
  }
  Drain(dlg);
  ASSERT_TRUE(Driver::Select(dlg, 270, 4));
  EXPECT_EQ(Stored("button_respondtime"), "5");
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendSystemSettings});
  Drain(dlg);
  EXPECT_EQ(dlg.OnLanguageCombo(), 1);
  EXPECT_TRUE(dlg.QueuedTasks().empty()) << "the language queues nothing";
  const auto sent = TakeMainMessages();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().message, WM_LANGUAGE_CHANGED);
  EXPECT_EQ(sent.back().wParam, 100u);
  EXPECT_EQ(sent.back().lParam, 0x409);

  // Game mode off unchecks and disables the three and keeps their stored values; on again shows them.
  ASSERT_TRUE(Driver::Click(dlg, 283));
  EXPECT_EQ(Stored("gamemode"), "0");
  for (int id : {284, 285, 286}) {
    EXPECT_FALSE(Checked(dlg, id));
    EXPECT_FALSE(Enabled(dlg, id));
  }
  EXPECT_EQ(Stored("disable_altf4"), "1");
  ASSERT_TRUE(Driver::Click(dlg, 283));
  for (int id : {284, 285, 286}) EXPECT_TRUE(Checked(dlg, id)) << id;
}

TEST_F(SettingsPageTest, TheStartAtLoginBoxShowsWhatWasWritten) {
  autostart_.enabled = true;
  KeyboardDlg& dlg = Page();
  EXPECT_TRUE(Checked(dlg, 272));
  ASSERT_TRUE(Driver::Click(dlg, 272));
  EXPECT_FALSE(autostart_.enabled);
  EXPECT_FALSE(Checked(dlg, 272));
  ASSERT_TRUE(Driver::Click(dlg, 272));
  EXPECT_TRUE(autostart_.enabled);
  EXPECT_EQ(autostart_.exePath, platform::AppDir() + "kelvane");
  EXPECT_TRUE(Checked(dlg, 272));
  autostart_.failDisable = true;
  ASSERT_TRUE(Driver::Click(dlg, 272));
  EXPECT_TRUE(Checked(dlg, 272)) << "a failed write leaves the box as the system has it";
  autostart_.failDisable = false;
  ASSERT_TRUE(Driver::Click(dlg, 272));
  autostart_.failEnable = true;
  ASSERT_TRUE(Driver::Click(dlg, 272));
  EXPECT_FALSE(Checked(dlg, 272));
}

TEST_F(SettingsPageTest, ResetKeysAndLightingRunsOnlyOnYes) {
  KeyboardDlg& dlg = Page();
  const std::string light = "SELECT group_concat(light_id || ':' || byte6 || byte7, ',') FROM t_light_data "
                            "WHERE profile=1 AND mode BETWEEN 1 AND 19";
  ASSERT_TRUE(Exec(StorePath(), "UPDATE t_light_data SET byte6=9, byte7=9 WHERE profile=1"));
  const std::string before = QueryText(StorePath(), light);
  for (int button : {static_cast<int>(CUIMessageBox::IdNo), 0}) {
    Answer(button);
    EXPECT_EQ(dlg.ResetKeysAndLighting(), 0) << button;
    EXPECT_EQ(QueryText(StorePath(), light), before);
    EXPECT_TRUE(dlg.QueuedTasks().empty());
  }
  // A built-in layout keeps its key rows; the user's profile loses them.
  KeyProfileRow mine;
  mine.name = L"mine";
  const int user = dlg.m_configDB.NewKeyProfile(&mine);
  ASSERT_TRUE(Exec(StorePath(), "INSERT INTO t_key_data (profile, fnlayer, keyvalue) VALUES (1, 0, 4), (" +
                                    std::to_string(user) + ", 0, 5)"));
  dlg.m_keyProfileId = 1;
  Answer(CUIMessageBox::IdOkOrYes);
  EXPECT_EQ(dlg.ResetKeysAndLighting(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_key_data WHERE profile=1"), "1");
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(DISTINCT byte6 || byte7) FROM t_light_data "
                                   "WHERE profile=1 AND mode BETWEEN 1 AND 19"),
            "53");
  EXPECT_EQ(QueryText(StorePath(), "SELECT byte6 || byte7 FROM t_light_data WHERE profile=1 AND mode=20"), "99");
  // The reloaded lighting page queues its mode itself.
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSendKeyMap, TaskSendLightMode}));
  Drain(dlg);
  dlg.m_keyProfileId = user;
  Answer(CUIMessageBox::IdOkOrYes);
  EXPECT_EQ(dlg.ResetKeysAndLighting(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_key_data WHERE profile=" + std::to_string(user)), "0");
}

TEST_F(SettingsPageTest, RestoreDefaultsClearsTheLightEditorsViewsAndSpeed) {
  KeyboardDlg& dlg = Page();
  CustomLightMode* modes = dlg.GetCustomLightView(kb_ids::kCustomLightModeView);
  CustomLightMode* effects = dlg.GetCustomLightView(kb_ids::kCustomLightView);
  ASSERT_NE(modes, nullptr);
  ASSERT_NE(effects, nullptr);
  modes->ResetAllItemCheck(true);
  modes->SetCheckKeyColor(0x0000FF, 1);
  effects->SetSpeed(77);
  dlg.GetControlAs<CCheckButton>(180)->SetCheck(true);
  Answer(CUIMessageBox::IdOkOrYes);
  ASSERT_EQ(dlg.FactoryReset(), 1);
  for (const CustomLightItem& item : modes->GetKeyItems()) {
    EXPECT_FALSE(item.checked);
    EXPECT_EQ(item.color, 0u);
  }
  EXPECT_FALSE(dlg.GetControlAs<CCheckButton>(180)->GetCheck());
  EXPECT_EQ(effects->GetSpeed(), 15);
}

TEST_F(SettingsPageTest, RestoreDefaultsResetsTheOpenStoreInPlace) {
  KeyboardDlg& dlg = Page();
  for (int button : {static_cast<int>(CUIMessageBox::IdNo), 0}) {
    Answer(button);
    EXPECT_EQ(dlg.FactoryReset(), 0);
  }
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  dlg.m_configDB.NewMacro(L"gone");
  Store("gamemode", "1");
  const std::string user = UserFolder();
  std::filesystem::create_directories(user + "led/slot");
  std::filesystem::create_directories(user + "ledkeep");
  std::vector<std::string> dbBefore;
  for (const auto& e : std::filesystem::directory_iterator(user + "db")) dbBefore.push_back(e.path().string());
  TakeMainMessages();

  Answer(CUIMessageBox::IdOkOrYes);
  EXPECT_EQ(dlg.FactoryReset(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_macro_data"), "0");
  EXPECT_EQ(Stored("fn_switchfunction"), "1");
  EXPECT_EQ(Stored("gamemode"), "0");
  EXPECT_NE(QueryText(StorePath(), "SELECT count(*) FROM t_light_data WHERE profile=1"), "0");
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSyncPages, TaskSendKeyMap, TaskSendCustomModeColors}));
  EXPECT_FALSE(std::filesystem::exists(user + "led/slot"));
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_ledlayer_data"), "1") << "a new default slot";
  EXPECT_TRUE(std::filesystem::exists(user + "ledkeep"));
  std::vector<std::string> dbAfter;
  for (const auto& e : std::filesystem::directory_iterator(user + "db")) dbAfter.push_back(e.path().string());
  EXPECT_EQ(dbAfter, dbBefore) << "no other store file";
  const auto sent = TakeMainMessages();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front().message, WM_LANGUAGE_CHANGED);

  sim_.clearLog();
  Drain(dlg);
  bool fnOn = false;
  for (const auto& t : Transactions())
    if (t.size() > 2 && t[1][kPacketCommandOffset] == CMD_SYSTEM_SETTINGS) fnOn = t[2][5] == 1;
  EXPECT_TRUE(fnOn) << "the sync sends the Fn switch on";
}

TEST_F(SettingsPageTest, RestoreDefaultsWithEveryCapabilityOff) {
  KeyboardDlg& dlg = Page([](KeyboardDlg& d) {
    d.m_hasMacro = d.m_hasCustomLight = d.m_hasLighting = d.m_hasMusic = d.m_hasCustomLightMode = 0;
  });
  Answer(CUIMessageBox::IdOkOrYes);
  EXPECT_EQ(dlg.FactoryReset(), 1);
  EXPECT_EQ(Stored("fn_switchfunction"), "1");
}

TEST_F(SettingsPageTest, TheFirmwareUpdaterStartsOnlyForANewerPackage) {
  KeyboardDlg& dlg = Page();
  // The simulated keyboard's release read as "%x" and then as a decimal number.
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", manager_->DeviceRelease(0).value_or(0));
  const int installed = std::atoi(hex);
  for (const std::wstring& packaged : {std::wstring(L"0"), std::to_wstring(installed)}) {
    dlg.m_firmwareVersion = packaged;
    Answer(CUIMessageBox::IdOkOrYes);
    EXPECT_EQ(dlg.RunFirmwareUpdater(), 0);
    EXPECT_TRUE(manager_->IsOpened());
  }
  // A missing program: the keyboards are opened again and nothing else changes.
  dlg.m_firmwareVersion = std::to_wstring(installed + 1);
  dlg.m_updaterFile = L"no-such-updater";
  EXPECT_EQ(dlg.RunFirmwareUpdater(), 0);
  EXPECT_TRUE(manager_->IsOpened());
  EXPECT_EQ(dlg.m_updaterProcessId.load(), 0u);
  EXPECT_TRUE(Logged("could not be started"));

  // A real child by absolute path.
  app_.Write("updater.sh", "#!/bin/sh\nsleep 5\n");
  std::filesystem::permissions(app_.path() + "updater.sh", std::filesystem::perms::owner_all);
  dlg.m_updaterFile = L"updater.sh";
  EXPECT_EQ(dlg.RunFirmwareUpdater(), 1);
  const unsigned int pid = dlg.m_updaterProcessId.load();
  EXPECT_GT(pid, 0u);
  EXPECT_FALSE(manager_->IsOpened());
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_FALSE(dlg.GetControl(kb_ids::kPageSettings)->IsEnabled());
  kill(static_cast<pid_t>(pid), SIGKILL);
}

}  // namespace
}  // namespace kb_test
