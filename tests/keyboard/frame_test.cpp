// The keyboard window's frame: tab items under the capability bytes, page builders and layouts
// in order and under their gates, frame rectangles at two window sizes, the pinned settings item.
#include "frame_support.h"
#include "zuvi/tab.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

std::vector<std::string> Matching(const std::vector<std::string>& calls, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& call : calls)
    if (call.rfind(prefix, 0) == 0) out.push_back(call.substr(prefix.size()));
  return out;
}

TEST_F(FrameTest, TabItemsFollowTheCapabilitiesAndAClickStoresThePosition) {
  struct Case {
    const char* name;
    Capabilities caps;
    std::vector<int> items;
  };
  Capabilities noMacro, noLighting, noMode, noEffect, noMusic, none;
  noMacro.macro = 0;
  noLighting.lighting = 0;
  noMode.customLightMode = 0;
  noEffect.customLight = 0;
  noMusic.music = 0;
  none.macro = none.lighting = none.customLightMode = none.customLight = none.music = 0;
  const Case cases[] = {
      {"all", {}, {1, 2, 3, 8, 7, 4, 5, 6}},
      {"no macros", noMacro, {1, 3, 8, 7, 4, 5, 6}},
      {"no lighting", noLighting, {1, 2, 8, 7, 4, 5, 6}},
      {"no custom light mode", noMode, {1, 2, 3, 8, 4, 5, 6}},
      {"no custom light effect", noEffect, {1, 2, 3, 8, 7, 5, 6}},
      {"no music", noMusic, {1, 2, 3, 8, 7, 4, 6}},
      {"none", none, {1, 8, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingDlg& dlg = CreateRecording(c.caps);
    EXPECT_EQ(ItemIds(dlg), c.items);
    // The settings item is last; choosing it stores its position, not its id.
    const int last = static_cast<int>(c.items.size()) - 1;
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, last));
    EXPECT_EQ(dlg.m_curTab.load(), TabSettings);
    EXPECT_EQ(StoredTab(), std::to_string(last));
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, 1));
    EXPECT_EQ(dlg.m_curTab.load(), c.items[1]);
    EXPECT_EQ(StoredTab(), "1");
  }
}

TEST_F(FrameTest, BuildersAndLayoutsRunInOrderUnderTheirGates) {
  RecordingDlg& all = CreateRecording();
  EXPECT_EQ(Matching(all.calls, "Create"),
            (std::vector<std::string>{"KeyAssignPage", "MacroPage", "LightPage", "CustomLightModePage",
                                      "CustomLightPage", "MusicPage", "LcdPage", "SettingsPage"}));
  // The frame lays the pages out at the end of InitUI, and the library once more after it.
  const std::vector<std::string> layouts{"KeyAssignPage",   "MacroPage", "LightPage", "CustomLightModePage",
                                         "CustomLightPage", "MusicPage", "LcdPage",   "SettingsPage"};
  std::vector<std::string> twice = layouts;
  twice.insert(twice.end(), layouts.begin(), layouts.end());
  EXPECT_EQ(Matching(all.calls, "Layout"), twice);
  for (const RECT& r : all.layoutRects) EXPECT_EQ(r, (RECT{0, 0, 1200, 720})) << "the whole client area";

  Capabilities none;
  none.macro = none.lighting = none.customLightMode = none.customLight = none.music = 0;
  RecordingDlg& gated = CreateRecording(none);
  EXPECT_EQ(Matching(gated.calls, "Create"),
            (std::vector<std::string>{"KeyAssignPage", "LightPage", "LcdPage", "SettingsPage"}))
      << "the lighting page is built without its tab";
  EXPECT_EQ(Matching(gated.calls, "Layout"),
            (std::vector<std::string>{"KeyAssignPage", "LcdPage", "SettingsPage", "KeyAssignPage", "LcdPage",
                                      "SettingsPage"}))
      << "but not laid out";
  EXPECT_NE(gated.GetKeyView(kb_ids::kLightingView), nullptr);
  EXPECT_EQ(gated.GetKeyView(kb_ids::kMusicView), nullptr);
  EXPECT_EQ(gated.GetControl(kb_ids::kLightingView)->GetRect(), RECT{});

  // A resize lays the pages out again with the new client rectangle.
  gated.calls.clear();
  gated.layoutRects.clear();
  main_.ShowWindow(SW_SHOW);
  ASSERT_TRUE(gated.MoveWindow(0, 0, 1000, 600));
  ASSERT_TRUE(Driver::RunUntil([&] { return !gated.layoutRects.empty(); }));
  EXPECT_EQ(Matching(gated.calls, "Layout"),
            (std::vector<std::string>{"KeyAssignPage", "LcdPage", "SettingsPage"}));
  EXPECT_EQ(gated.layoutRects.back(), (RECT{0, 0, 1000, 600}));
  EXPECT_EQ(gated.GetControl(kb_ids::kClose)->GetRect(), (RECT{960, 15, 980, 35}));
}

TEST_F(FrameTest, FrameRectanglesAndThePinnedSettingsItemFollowTheWindowSize) {
  for (const auto& [w, h] : {std::pair{1200, 720}, std::pair{1000, 600}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    RecordingDlg& dlg = CreateRecording({}, w, h);
    auto rect = [&](int id) { return dlg.GetControl(id)->GetRect(); };
    EXPECT_EQ(rect(32), (RECT{0, 0, w, h}));
    EXPECT_EQ(rect(33), (RECT{10, 13, 77, 39}));
    EXPECT_EQ(rect(44), (RECT{w - 40, 15, w - 20, 35}));
    EXPECT_EQ(rect(45), (RECT{w - 75, 15, w - 55, 35}));
    for (int id : {36, 37, 38, 39, 42, 43}) EXPECT_EQ(rect(id), (RECT{80, 15, 240, 45})) << id;
    EXPECT_EQ(rect(35), (RECT{310, 20, 330, 40}));
    for (int id : {40, 41, 46}) EXPECT_EQ(rect(id), RECT{}) << id;
    EXPECT_EQ(rect(48), (RECT{13, 62, 49, 98}));
    EXPECT_EQ(rect(50), (RECT{1, 110, 61, h - 10}));
    for (int id : {51, 52, 53, 54, 55, 56, 57, 58}) EXPECT_EQ(rect(id), (RECT{65, 50, w - 1, h - 1})) << id;
    EXPECT_EQ(rect(kb_ids::kKeyAssignView), (RECT{310, 110, w - 20, h - 300}));

    auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
    EXPECT_EQ(tabs->GetItemInfo(0)->rect, (RECT{1, 110, 61, 170}));
    EXPECT_EQ(tabs->GetItemInfo(6)->rect, (RECT{1, 470, 61, 530}));
    const TabItemInfo* settings = tabs->GetItemInfo(7);
    EXPECT_EQ(settings->id, TabSettings);
    EXPECT_EQ(settings->rect.top, h - 90);
    EXPECT_EQ(settings->rect.bottom, h - 30);
  }
}

TEST_F(FrameTest, FrameControlsStartAsTheirTableSays) {
  RecordingDlg& dlg = CreateRecording();
  EXPECT_EQ(dlg.GetControl(32)->GetImage(), L"keyboard_bkg.png");
  EXPECT_EQ(dlg.GetControl(44)->GetImage(), L"sysbtn_close.png");
  EXPECT_FALSE(dlg.GetControl(44)->GetTooltip().empty());
  auto* caption = dlg.GetControlAs<MControlFont>(kb_ids::kCaptionMacro);
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->GetTitle(), Text(21));
  EXPECT_FALSE(caption->GetTitle().empty());
  EXPECT_EQ(caption->GetTextColor(), 0xFEFFFFFFu);
  for (int id : {37, 38, 39, 42, 43, 40, 41}) EXPECT_FALSE(dlg.GetControl(id)->IsVisible()) << id;
  EXPECT_TRUE(dlg.GetControl(kb_ids::kCaptionKeyAssign)->IsVisible())
      << "the restored first tab shows its caption";
  EXPECT_EQ(dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs)->GetTextColor(), 0xFEADADADu);
  EXPECT_EQ(dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs)->GetItemText(3), Text(35));
  // Areas never notify; the buttons and the tab column do.
  EXPECT_FALSE(dlg.GetControl(32)->Notifies());
  EXPECT_FALSE(dlg.GetControl(36)->Notifies());
  EXPECT_TRUE(dlg.GetControl(44)->Notifies());
}

TEST_F(FrameTest, OnlyTheContainerOfTheChosenTabIsShown) {
  RecordingDlg& dlg = CreateRecording();
  const std::vector<int> containers{51, 54, 52, 58, 57, 53, 56, 55};  // in item order
  for (size_t i = 0; i < containers.size(); ++i) {
    ASSERT_TRUE(Driver::Select(dlg, kb_ids::kTabs, static_cast<int>(i)));
    for (int id : containers)
      EXPECT_EQ(dlg.GetControl(id)->IsVisible(), id == containers[i]) << i << " " << id;
  }
}

TEST_F(FrameTest, EarlyAndTinyLayoutsAreHarmless) {
  RecordingDlg& early = MakeWindowAs<RecordingDlg>();
  early.UISize(RECT{0, 0, 1200, 720});
  EXPECT_TRUE(early.calls.empty()) << "nothing is built before InitUI";
  EXPECT_TRUE(early.Controls().empty());

  RecordingDlg& tiny = CreateRecording({}, 30, 20);
  for (MControl* control : tiny.Controls()) {
    const RECT r = control->GetRect();
    EXPECT_LE(r.left, r.right) << control->GetID();
    EXPECT_LE(r.top, r.bottom) << control->GetID();
  }
  const TabItemInfo* settings = tiny.GetControlAs<MTabCtrl>(kb_ids::kTabs)->GetItemInfo(7);
  EXPECT_LE(settings->rect.top, settings->rect.bottom);
}

}  // namespace
}  // namespace kb_test
