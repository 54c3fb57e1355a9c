// The custom light mode editor through the window: the scheme in use through select, new and
// restart, delete then store, the rows of every key, white on a single-colour keyboard, the black
// preset, and the brightness.
#include "keyboard_fixture.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"

namespace kb_test {
namespace {

class CustomLightModePageTest : public KeyboardTest {
 protected:
  static QelListBox& List(KeyboardDlg& dlg) { return *dlg.GetControlAs<QelListBox>(kb_ids::kCustomLightModeList); }
  static CustomLightMode& View(KeyboardDlg& dlg) { return *dlg.GetCustomLightView(kb_ids::kCustomLightModeView); }
  static int CurrentId(KeyboardDlg& dlg) { return static_cast<int>(List(dlg).GetItemData(List(dlg).GetCurSel())); }
  std::string Count(int id, const std::string& where = "1") {
    return QueryText(StorePath(), "SELECT count(*) FROM t_custommodergb_data WHERE customlight_id=" +
                                      std::to_string(id) + " AND " + where);
  }
  std::string InUse() {
    return QueryText(StorePath(), "SELECT value FROM t_configdata WHERE key='cur_customlightmode'");
  }
  static int Sends(KeyboardDlg& dlg) {
    int sends = 0;
    for (int task : dlg.QueuedTasks()) sends += task == TaskSendCustomModeColors;
    return sends;
  }
};

TEST_F(CustomLightModePageTest, TheSchemeInUseFollowsSelectAndNewAndSurvivesARestart) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ClearQueue(dlg);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int first = CurrentId(dlg);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(dlg.m_curCustomLightMode.load(), first);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int second = CurrentId(dlg);
  EXPECT_EQ(Sends(dlg), 2);
  List(dlg).SetCurData(first);
  dlg.OnCustomLightModeListNotify(NOTIFY_SELCHANGE);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(Sends(dlg), 3);

  // Deleting the selected scheme selects the one before; the scheme in use stays and nothing is sent.
  List(dlg).SetCurData(second);
  ASSERT_EQ(dlg.OnDeleteCustomLightMode(), 1);
  EXPECT_EQ(CurrentId(dlg), first);
  EXPECT_EQ(InUse(), std::to_string(first));
  EXPECT_EQ(Sends(dlg), 3);

  dlg_.reset();
  KeyboardDlg& again = OpenIdleWindow();
  EXPECT_EQ(again.m_curCustomLightMode.load(), first);
  EXPECT_EQ(CurrentId(again), first);
}

TEST_F(CustomLightModePageTest, StoresWriteEveryKeyOfOnlyTheSelectedScheme) {
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int kept = CurrentId(dlg);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(206);  // red for A
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  const size_t keys = View(dlg).GetKeyItems().size();
  ASSERT_EQ(keys, 108u);
  EXPECT_EQ(Count(kept), "108") << "checked or not";
  EXPECT_EQ(Count(kept, "keycode=4 AND rgbvalue=255 AND light_mode=1 AND colortype=0"), "1");
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int gone = CurrentId(dlg);
  ASSERT_EQ(dlg.OnDeleteCustomLightMode(), 1);
  EXPECT_EQ(CurrentId(dlg), kept);
  ClearQueue(dlg);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColor(), 1);  // clear: colour 0, light mode 0, colour type 1
  EXPECT_EQ(Count(kept, "rgbvalue=0 AND light_mode=0 AND colortype=1"), "108");
  EXPECT_EQ(Count(gone), "0");
  EXPECT_EQ(Sends(dlg), 1);
  // The black preset stores the whole scheme at once.
  ClearQueue(dlg);
  View(dlg).SetKeyCheck(4, true);
  dlg.OnCustomLightModeColorButton(219);
  EXPECT_EQ(Count(kept, "light_mode=1 AND colortype=0"), "108");
  EXPECT_EQ(Sends(dlg), 1);

  // Brightness is stored for the scheme and sent by nothing.
  ClearQueue(dlg);
  dlg.GetControlAs<MSlider>(223)->SetPos(9);
  ASSERT_EQ(dlg.OnCustomLightModeBrightnessSlider(), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT brightness FROM t_customlightmode_data WHERE customlight_id=" +
                                       std::to_string(kept)),
            "9");
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(CustomLightModePageTest, ASingleColourKeyboardStoresTheCheckedKeysWhite) {
  KeyboardDlg& dlg = MakeWindow();
  dlg.m_isRgb = 0;
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  Drain(dlg);
  ASSERT_EQ(dlg.OnNewCustomLightMode(), 1);
  const int id = CurrentId(dlg);
  View(dlg).SetKeyCheck(26, true);
  ASSERT_EQ(dlg.OnCustomLightModeApplyColorType(), 1);
  EXPECT_EQ(Count(id, "keycode=26 AND rgbvalue=16777215"), "1");
  EXPECT_EQ(Count(id, "rgbvalue=0"), "107");
}

}  // namespace
}  // namespace kb_test
