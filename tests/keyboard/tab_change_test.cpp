// Tab changes: the leaving and entering steps of each page, their order, re-selection, the
// restore at opening through the same path, and what a click queues.
#include "frame_support.h"
#include "zuvi/lcd_view_list.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

// Item positions with every capability: 1 keys, 2 macros, 3 lighting, 8 screen, 7 custom light
// mode, 4 custom light effect, 5 music, 6 settings.
constexpr int kPositionOf[] = {-1, 0, 1, 2, 5, 6, 7, 4, 3};

struct Steps {
  int tab;
  int caption;  // 0: none
  const wchar_t* icon;
  std::vector<int> tasks;
};

const Steps kSteps[] = {
    {TabKeyAssign, 36, L"icon//icon_keyboard.png", {}},
    {TabMacro, 37, L"icon//icon_macro.png", {}},
    {TabLighting, 38, L"icon//icon_lightmode.png", {TaskSendLightMode}},
    {TabCustomLight, 42, L"icon//icon_customlight.png", {}},
    {TabMusic, 39, L"icon//icon_music.png", {}},
    {TabSettings, 43, L"icon//icon_config.png", {}},
    {TabCustomLightMode, 0, L"icon//icon_customlight.png", {TaskSendCustomModeColors}},
};

class TabChangeTest : public FrameTest {
 protected:
  static bool Shown(KeyboardDlg& dlg, int id) { return dlg.GetControl(id)->IsVisible(); }
};

TEST_F(TabChangeTest, EachPageShowsItsCaptionAndIconAndQueuesItsLighting) {
  RecordingDlg& dlg = IdleRecording();
  for (const Steps& s : kSteps) {
    SCOPED_TRACE(s.tab);
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[s.tab]));
    EXPECT_EQ(dlg.m_curTab.load(), s.tab);
    EXPECT_EQ(dlg.GetControl(kb_ids::kPageIcon)->GetImage(), s.icon);
    for (int caption : {36, 37, 38, 39, 42, 43})
      EXPECT_EQ(Shown(dlg, caption), caption == s.caption) << caption;
    EXPECT_EQ(Shown(dlg, kb_ids::kLightPageButton1), s.tab == TabLighting);
    EXPECT_EQ(Shown(dlg, kb_ids::kLightPageButton2), s.tab == TabLighting);
    EXPECT_EQ(dlg.m_visualizer->m_active.load(), s.tab == TabMusic ? 1 : 0);
    EXPECT_EQ(dlg.QueuedTasks(), s.tasks) << "a click queues at most one task";
    EXPECT_EQ(StoredTab(), std::to_string(kPositionOf[s.tab]));
    Drain(dlg);
  }
  // The screen page keeps the icon of the page before it.
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabScreen]));
  EXPECT_EQ(dlg.GetControl(kb_ids::kPageIcon)->GetImage(), L"icon//icon_customlight.png");
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(TabChangeTest, ReselectingRunsOnlyTheEnteringSteps) {
  RecordingDlg& dlg = IdleRecording();
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabLighting]));
  Drain(dlg);
  dlg.GetControl(kb_ids::kCaptionLighting)->SetVisible(false);
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabLighting]));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode}) << "the lighting is sent again";
  EXPECT_TRUE(Shown(dlg, kb_ids::kCaptionLighting));

  // Music: no leaving step, so the analyser stays on.
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabMusic]));
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabMusic]));
  EXPECT_EQ(dlg.m_visualizer->m_active.load(), 1);
}

TEST_F(TabChangeTest, LeavingTheMacroPageAppliesUnsavedEditsOrStopsARecording) {
  RecordingDlg& dlg = IdleRecording([](RecordingDlg& d) {
    d.onBuild = [](RecordingDlg& w, const std::string& page) {
      if (page == "CreateMacroPage")
        w.CreateControl(L"MButton", kb_ids::kMacroStopRecording, RECT{}, nullptr, 0, 1,
                        w.GetControl(kb_ids::kPageMacro));
    };
  });
  auto leaveMacros = [&] {
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabMacro]));
    dlg.calls.clear();
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabSettings]));
  };
  dlg.m_macroSaved = 0;
  dlg.GetControl(kb_ids::kMacroStopRecording)->SetVisible(true);
  leaveMacros();
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"OnTabChanged(7)", "ApplyMacro"}))
      << "unsaved edits are applied, before the settings page is entered";
  EXPECT_TRUE(Shown(dlg, kb_ids::kCaptionSettings));

  dlg.m_macroSaved = 1;
  leaveMacros();
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"OnTabChanged(7)", "StopMacroRecording"}));

  dlg.GetControl(kb_ids::kMacroStopRecording)->SetVisible(false);
  leaveMacros();
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"OnTabChanged(7)"})) << "saved and not recording";
}

TEST_F(TabChangeTest, TheScreenToolsFollowTheSlotSelection) {
  RecordingDlg& dlg = IdleRecording();
  auto* slots = dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
  ASSERT_NE(slots, nullptr);
  slots->ResetContent();
  for (int id : {1, 2}) slots->AddItem(L"", L"", 0, id);
  for (int selected : {1, 0, -1}) {
    SCOPED_TRACE(selected);
    slots->SetCurSel(selected);
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabScreen]));
    EXPECT_EQ(dlg.GetControl(343)->IsEnabled(), selected >= 1);
  }
}

TEST_F(TabChangeTest, AnIndexWithoutAnItemChangesNothing) {
  RecordingDlg& dlg = IdleRecording();
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, kPositionOf[TabLighting]));
  Drain(dlg);
  const std::string stored = StoredTab();
  for (int index : {8, 99, -1}) {
    EXPECT_EQ(dlg.OnTabChanged(index), 1);
    EXPECT_EQ(dlg.m_curTab.load(), TabLighting);
    EXPECT_TRUE(Shown(dlg, kb_ids::kCaptionLighting)) << "no leaving step";
    EXPECT_TRUE(dlg.QueuedTasks().empty());
    EXPECT_EQ(StoredTab(), stored);
  }
}

TEST_F(TabChangeTest, TheRestoredTabIsEnteredAtOpeningAheadOfTheStartTasks) {
  OpenWindow();
  Drain(*dlg_);
  dlg_.reset();
  for (const auto& [tab, task] :
       {std::pair{TabLighting, TaskSendLightMode}, std::pair{TabCustomLightMode, TaskSendCustomModeColors}}) {
    SCOPED_TRACE(tab);
    ASSERT_TRUE(Exec(StorePath(), "UPDATE t_configdata SET value='" + std::to_string(kPositionOf[tab]) +
                                      "' WHERE key='tab_item'"));
    KeyboardDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.m_curTab.load(), tab);
    EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{task, TaskReloadAll, TaskInitMusic, TaskSyncPages}));
    EXPECT_EQ(Shown(dlg, kb_ids::kCaptionLighting), tab == TabLighting);
    dlg_.reset();
  }
}

}  // namespace
}  // namespace kb_test
