// The lighting page: what each mode of the list shows on both keyboard variants, and what every
// control stores and queues, down to the record the simulated keyboard receives.
#include <QImage>
#include <cmath>
#include <set>

#include "keyboard/KeyboardText.h"
#include "keyboard_fixture.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/tab.h"
#include "zuvi/views.h"

namespace kb_test {
namespace {

using Ids = std::set<int>;

Ids Range(int first, int last) {
  Ids out;
  for (int id = first; id <= last; ++id) out.insert(id);
  return out;
}
Ids Join(std::initializer_list<Ids> parts) {
  Ids out;
  for (const Ids& p : parts) out.insert(p.begin(), p.end());
  return out;
}

// The colour controls: palette, R/G/B labels and edits, the 16 preset buttons.
const Ids kColorControls = Join({Range(80, 86), Range(90, 105)});

class LightPageTest : public KeyboardTest {
 protected:
  KeyboardDlg& Page(bool rgb = true) {
    KeyboardDlg& dlg = OpenIdleWindow([rgb](KeyboardDlg& d) { d.m_isRgb = rgb ? 1 : 0; });
    return dlg;
  }
  static QelListBox* List(KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(77); }
  // The user picks row `row` of the mode list.
  static void PickRow(KeyboardDlg& dlg, int row) {
    ASSERT_TRUE(List(dlg)->SetCurSel(row));
    EXPECT_EQ(dlg.OnMessage(77, NOTIFY_SELCHANGE, 0, 0), 1);
  }
  static Ids Shown(KeyboardDlg& dlg) {
    Ids out;
    for (int id = 80; id <= 118; ++id)
      if (dlg.GetControl(id)->IsVisible()) out.insert(id);
    return out;
  }
  static bool AllEnabled(KeyboardDlg& dlg, const Ids& ids, bool enabled) {
    for (int id : ids)
      if (dlg.GetControl(id)->IsEnabled() != enabled) return false;
    return true;
  }
  static bool IsChecked(KeyboardDlg& dlg, int id) { return dlg.GetControlAs<CCheckButton>(id)->GetCheck(); }
  static void StoreMode(KeyboardDlg& dlg, int mode, std::array<uint8_t, 8> block) {
    ASSERT_TRUE(dlg.m_configDB.UpdateLightData(1, mode, block.data()));
  }
  std::string Row(int mode) {
    return QueryText(StorePath(), "SELECT colortype||','||byte2||','||byte3||','||byte4||','||byte5||','||byte6||','||"
                                  "byte7 FROM t_light_data WHERE profile=1 AND mode=" +
                                      std::to_string(mode));
  }
  std::string Field(int mode, const char* field) {
    return QueryText(StorePath(), std::string("SELECT ") + field + " FROM t_light_data WHERE profile=1 AND mode=" +
                                      std::to_string(mode));
  }
  std::string AllRows() {
    return QueryText(StorePath(), "SELECT group_concat(mode||':'||colortype||byte2||byte3||byte4||byte5||byte6||"
                                  "byte7||sel, ' ') FROM t_light_data WHERE profile=1");
  }
};

// What the page shows for a mode of an RGB keyboard, by its text.
struct RgbExpectation {
  Ids shown;
  bool switchEnabled;
  bool colorFollowsSwitch;  // else the colour controls are disabled
};

RgbExpectation ExpectedRgb(int mode) {
  const Ids colourAndSwitch = Join({kColorControls, {87, 88, 89}});
  if (mode == 0) return {{}, true, false};
  if (mode == 1) return {Join({colourAndSwitch, {106, 107}}), true, true};
  if (mode == 6 || mode == 8) return {Join({kColorControls, {89}, Range(106, 109)}), false, false};
  if (mode == 10) return {Join({colourAndSwitch, Range(106, 109), {113, 114}}), true, true};
  if (mode == 11 || mode == 16 || mode == 18)
    return {Join({colourAndSwitch, Range(106, 109), {111, 112}}), true, true};
  return {Join({colourAndSwitch, Range(106, 109)}), true, true};  // 2-5, 7, 9, 12-15, 17, 19
}

TEST_F(LightPageTest, EveryRgbModeShowsItsGroupsWithItsStoredValues) {
  KeyboardDlg& dlg = Page();
  // Every list row carries its mode: texts 200-218 are modes 1-19, text 219 is mode 0.
  ASSERT_EQ(List(dlg)->GetItemCount(), 20);
  for (int row = 0; row < 20; ++row) {
    EXPECT_EQ(List(dlg)->GetItemText(row), KbText(200 + row));
    EXPECT_EQ(List(dlg)->GetItemData(row), row < 19 ? row + 1 : 0);
  }
  // Even modes static, odd modes colourful; direction codes that pick the second radio.
  for (int mode = 1; mode <= 19; ++mode)
    StoreMode(dlg, mode, {static_cast<uint8_t>(mode), static_cast<uint8_t>(mode % 2), 1, 2, 3,
                          static_cast<uint8_t>(mode == 10 ? 2 : mode == 16 ? 1 : 0), static_cast<uint8_t>(mode % 6),
                          static_cast<uint8_t>(5 - mode % 6)});
  for (int pass = 0; pass < 2; ++pass) {  // the second pass starts from mode 0
    for (int row = 0; row < 20; ++row) {
      const int mode = row < 19 ? row + 1 : 0;
      SCOPED_TRACE(mode);
      ClearQueue(dlg);
      PickRow(dlg, row);
      EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode});
      EXPECT_EQ(dlg.m_curLightMode.load(), mode);
      const RgbExpectation want = ExpectedRgb(mode);
      EXPECT_EQ(Shown(dlg), want.shown);
      EXPECT_EQ(dlg.GetKeyView(kb_ids::kLightingView)->GetKeyboardCtrlMode(), mode);
      EXPECT_FALSE(dlg.GetKeyView(kb_ids::kLightingView)->GetPerKeyMode());
      if (mode == 0) continue;
      EXPECT_EQ(dlg.GetControl(88)->IsEnabled(), want.switchEnabled);
      const bool colourful = mode % 2 == 1;
      EXPECT_TRUE(AllEnabled(dlg, kColorControls, want.colorFollowsSwitch && !colourful));
      if (want.switchEnabled) {
        EXPECT_EQ(IsChecked(dlg, 88), colourful);
      }
      EXPECT_EQ(dlg.GetControlAs<MSlider>(107)->GetPos(), mode % 6);
      if (want.shown.count(109)) {
        EXPECT_EQ(dlg.GetControlAs<MSlider>(109)->GetPos(), 5 - mode % 6);
      }
      if (mode == 10) {
        EXPECT_TRUE(IsChecked(dlg, 113)) << "stored up";
      }
      if (mode == 11) {
        EXPECT_TRUE(IsChecked(dlg, 112)) << "stored left";
      }
      if (mode == 16) {
        EXPECT_TRUE(IsChecked(dlg, 111)) << "stored right";
      }
      // The edits start from the mode's colour.
      EXPECT_EQ(dlg.GetControlAs<MEdit>(85)->GetTitle(), L"2");
      EXPECT_EQ(dlg.GetControlAs<CirclePalette>(80)->GetSelectColor(), 0xFF010203u);
    }
  }
}

TEST_F(LightPageTest, EverySingleColourModeShowsItsSlidersAndDirections) {
  KeyboardDlg& dlg = Page(false);
  const int texts[] = {200, 201, 202, 203, 204, 206, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219};
  ASSERT_EQ(List(dlg)->GetItemCount(), 18);
  for (int row = 0; row < 18; ++row) {
    EXPECT_EQ(List(dlg)->GetItemText(row), KbText(texts[row]));
    EXPECT_EQ(List(dlg)->GetItemData(row), row < 17 ? row + 1 : 0);
  }
  const Ids untouched = Join({Range(80, 105)});
  for (int pass = 0; pass < 2; ++pass) {
    for (int row = 0; row < 18; ++row) {
      const int mode = row < 17 ? row + 1 : 0;
      SCOPED_TRACE(mode);
      ClearQueue(dlg);
      PickRow(dlg, row);
      EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode});
      Ids want;
      if (mode == 1) want = {106, 107};
      else if (mode == 8) want = Join({Range(106, 109), {113, 114}});
      else if (mode == 9 || mode == 14 || mode == 16) want = Join({Range(106, 109), {111, 112}});
      else if (mode != 0) want = Range(106, 109);
      if (mode != 0) want.insert(untouched.begin(), untouched.end());  // shown since the first load
      EXPECT_EQ(Shown(dlg), want);
      if (mode != 0) {
        EXPECT_TRUE(AllEnabled(dlg, kColorControls, true)) << "the colour controls are not touched";
      }
    }
  }
  // Text 206 is mode 6 here (mode 7 on an RGB keyboard).
  PickRow(dlg, 5);
  EXPECT_EQ(dlg.m_curLightMode.load(), 6);
}

TEST_F(LightPageTest, TheCurrentModeAgainDoesNothingAndModeZeroIsRememberedAsNoSelection) {
  KeyboardDlg& dlg = Page();
  EXPECT_EQ(dlg.m_curLightMode.load(), 11) << "the stored default";
  EXPECT_EQ(List(dlg)->GetCurData(), 11);
  const std::string before = AllRows();
  PickRow(dlg, 10);
  EXPECT_TRUE(dlg.QueuedTasks().empty());
  EXPECT_EQ(AllRows(), before);

  PickRow(dlg, 19);  // mode 0
  EXPECT_EQ(QueryText(StorePath(), "SELECT count(*) FROM t_light_data WHERE profile=1 AND sel=1"), "0");
  Drain(dlg);
  // The next sync (a restart) selects text 219 again, hides the controls and sends mode 0.
  List(dlg)->SetCurSel(3);
  dlg.SyncPages(1);
  EXPECT_EQ(List(dlg)->GetCurSel(), 19);
  EXPECT_EQ(Shown(dlg), Ids{});
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode});
  Drain(dlg);
  EXPECT_EQ(sim_.keyboard(0).received().lightMode[0], 0);

  // A handler finding no row stores nothing but still queues.
  const std::string modeZero = AllRows();
  dlg.GetControlAs<CirclePalette>(80)->SetSelectColor(0xFF102030);
  EXPECT_EQ(dlg.OnMessage(80, NOTIFY_PALETTE_COLOR, 0, 0), 1);
  EXPECT_EQ(dlg.OnMessage(107, NOTIFY_CLICK, 0, 0), 1);
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSendLightMode, TaskSendLightMode}));
  EXPECT_EQ(AllRows(), modeZero);
}

TEST_F(LightPageTest, EachColourSourceStoresTheCurrentModesColourOnly) {
  KeyboardDlg& dlg = Page();
  PickRow(dlg, 2);  // mode 3, stored 255, 0, 0
  const std::string mode4 = Row(4);
  ClearQueue(dlg);

  dlg.GetControlAs<CirclePalette>(80)->SetSelectColor(0xFF112233);
  dlg.OnMessage(80, NOTIFY_PALETTE_COLOR, 0, 0);
  EXPECT_EQ(Row(3), "1,17,34,51,0,5,3");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(84)->GetTitle(), L"17");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(86)->GetTitle(), L"51");
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode});

  dlg.OnMessage(93, NOTIFY_CLICK, 0, 0);  // the fourth preset, 0xFF0000 as 0x00BBGGRR: blue
  EXPECT_EQ(Row(3), "1,0,0,255,0,5,3");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(86)->GetTitle(), L"255");

  auto type = [&dlg](int id, const wchar_t* text) {
    dlg.GetControlAs<MEdit>(id)->SetTitle(text);
    dlg.OnMessage(id, NOTIFY_EDIT_CHANGED, 0, 0);
  };
  type(85, L"300");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(85)->GetTitle(), L"255");
  EXPECT_EQ(Row(3), "1,0,255,255,0,5,3");
  type(86, L"-5");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(86)->GetTitle(), L"0");
  type(84, L"12abc");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(84)->GetTitle(), L"12abc") << "rewritten only outside 0-255";
  EXPECT_EQ(Row(3), "1,12,255,0,0,5,3");
  dlg.OnMessage(84, NOTIFY_EDIT_END, 0, 0);  // leaving the edit changes nothing
  EXPECT_EQ(dlg.QueuedTasks().size(), 5u) << "one task per change";
  EXPECT_EQ(Row(4), mode4);
  for (const KeyItem& key : dlg.GetKeyView(kb_ids::kLightingView)->GetKeyItems()) EXPECT_EQ(key.color, 0x00FF0Cu);

  // A worker pass sends the stored colour in bytes 1-3.
  Drain(dlg);
  const auto& record = sim_.keyboard(0).received().lightMode;
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 4), (std::vector<uint8_t>{3, 12, 255, 0}));
}

TEST_F(LightPageTest, SwitchSlidersAndDirectionsStoreTheirFieldsAndReachTheKeyboard) {
  KeyboardDlg& dlg = Page();
  PickRow(dlg, 9);  // mode 10
  ClearQueue(dlg);
  dlg.GetControlAs<CCheckButton>(88)->SetCheck(false);
  dlg.OnMessage(88, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Row(10), "0,255,0,0,3,5,3");
  EXPECT_TRUE(AllEnabled(dlg, kColorControls, true));
  dlg.GetControlAs<MSlider>(107)->SetPos(2);
  dlg.OnMessage(107, NOTIFY_CLICK, 0, 0);
  dlg.GetControlAs<MSlider>(109)->SetPos(4);
  dlg.OnMessage(109, NOTIFY_CLICK, 0, 0);
  dlg.GetControlAs<CCheckButton>(113)->SetCheck(true);
  dlg.OnMessage(113, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Row(10), "0,255,0,0,2,2,4");
  dlg.GetControlAs<CCheckButton>(114)->SetCheck(true);
  dlg.OnMessage(114, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Row(10), "0,255,0,0,3,2,4");
  EXPECT_EQ(dlg.QueuedTasks().size(), 5u);
  Drain(dlg);
  std::vector<uint8_t> want(kPacketSize, 0);
  for (auto [i, v] : std::initializer_list<std::pair<size_t, uint8_t>>{
           {0, 10}, {1, 255}, {8, 0}, {9, 2}, {10, 4}, {11, 3}, {14, 0xAA}, {15, 0x55}})
    want[i] = v;
  EXPECT_EQ(sim_.keyboard(0).received().lightMode, want);

  PickRow(dlg, 10);  // mode 11: right and left
  dlg.GetControlAs<CCheckButton>(111)->SetCheck(true);
  dlg.OnMessage(111, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Field(11, "byte5"), "1");
  dlg.GetControlAs<CCheckButton>(112)->SetCheck(true);
  dlg.OnMessage(112, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Field(11, "byte5"), "0");
  dlg.GetControlAs<CCheckButton>(88)->SetCheck(true);
  dlg.OnMessage(88, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(Field(11, "colortype"), "1");
  EXPECT_TRUE(AllEnabled(dlg, kColorControls, false));
}

TEST_F(LightPageTest, TheSleepRadiosStoreAndSendTheirIndexAndColourItsCaption) {
  KeyboardDlg& dlg = Page();
  auto captions = [&dlg] {
    std::vector<ARGB> out;
    for (int id = 126; id <= 129; ++id) out.push_back(dlg.GetControlAs<MControlFont>(id)->GetTextColor());
    return out;
  };
  const ARGB plain = dlg.m_textColor;
  constexpr ARGB kPicked = 0xFFFFE699;
  EXPECT_EQ(dlg.OnMessage(125, NOTIFY_CLICK, 0, 0), 1);
  EXPECT_EQ(QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='sleep_light'"), "3");
  EXPECT_EQ(captions(), (std::vector<ARGB>{plain, plain, plain, kPicked}));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendSystemSettings});
  Drain(dlg);
  EXPECT_EQ(sim_.keyboard(0).received().systemSettings[6], 3);
  dlg.OnMessage(123, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(captions(), (std::vector<ARGB>{plain, kPicked, plain, plain}));
  // A foreign stored value shows as the first choice, as its radio does.
  dlg.ShowSleepTimeSelection(7);
  EXPECT_EQ(captions(), (std::vector<ARGB>{kPicked, plain, plain, plain}));
  dlg.ShowSleepTimeSelection(-1);
  EXPECT_EQ(captions(), (std::vector<ARGB>{kPicked, plain, plain, plain}));

  // The picked colour reads well on what the page draws behind the caption.
  main_.ShowWindow(SW_SHOW);
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  for (int i = 0; i < tabs->GetItemCount(); ++i)
    if (tabs->GetItemID(i) == TabLighting) {
      ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, i));
    }
  const std::string file = app_.path() + "lighting.png";
  ASSERT_TRUE(dlg.RenderToPng(file));
  const RECT caption = dlg.GetControl(126)->GetRect();
  ASSERT_GT(caption.Width(), 0);
  const QColor back = QImage(QString::fromStdString(file)).pixelColor(caption.left + 1, caption.top + 1);
  auto luminance = [](const QColor& c) {
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const double text = luminance(QColor::fromRgba(kPicked)), panel = luminance(back);
  EXPECT_GE((std::max(text, panel) + 0.05) / (std::min(text, panel) + 0.05), 4.5)
      << back.name().toStdString();
}

TEST_F(LightPageTest, ThePerKeyModeShowsItsKeysAndStoresTheCheckedOnes) {
  KeyboardDlg& dlg = Page();
  LightDataRow perKey;
  ASSERT_TRUE(dlg.m_configDB.GetLightData(1, 20, &perKey));
  constexpr int kEsc = 0x29, kF1 = 0x3A;
  dlg.m_configDB.SetKeyRgb(KeyRgbRow{0, perKey.light_id, kEsc, 0x00C0B0A0});
  List(dlg)->AddString(L"per key", 20);
  PickRow(dlg, 20);
  KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kLightingView);
  EXPECT_EQ(Shown(dlg), Join({kColorControls, {87, 88, 89}, {106, 107}, Range(115, 118)}));
  EXPECT_TRUE(AllEnabled(dlg, kColorControls, true));
  EXPECT_TRUE(view->GetPerKeyMode());
  for (const KeyItem& key : view->GetKeyItems()) EXPECT_EQ(key.color, key.code == kEsc ? 0x00C0B0A0u : 0u);

  view->SetKeyCheck(kF1, true);
  ClearQueue(dlg);
  dlg.OnMessage(90, NOTIFY_CLICK, 0, 0);  // red
  const std::string f1 = "SELECT rgbvalue FROM t_key_rgb_data WHERE keycode=" + std::to_string(kF1);
  EXPECT_EQ(QueryText(StorePath(), f1), "255");
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendLightMode});
  EXPECT_EQ(Row(20), "1,255,0,0,0,5,3") << "the mode's own colour stays";
  dlg.OnMessage(118, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(QueryText(StorePath(), f1), "<none>") << "a black key keeps no row";
  EXPECT_EQ(view->GetKeyItems()[0].color, 0x00C0B0A0u) << "only the checked key is cleared";
  EXPECT_EQ(dlg.QueuedTasks().size(), 1u) << "clearing queues nothing";

  PickRow(dlg, 0);  // leaving mode 20 hides its key group
  EXPECT_EQ(Shown(dlg), Join({kColorControls, {87, 88, 89}, {106, 107}}));
  EXPECT_FALSE(view->GetPerKeyMode());
}

TEST_F(LightPageTest, TheLightingTabRendersItsControls) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  testing_support::TempDir dir;
  const std::string folder = wanted && *wanted ? std::string(wanted) + "/" : dir.path();
  KeyboardDlg& dlg = OpenIdleWindow([](KeyboardDlg& d) { d.m_lightOption = 1; });
  main_.ShowWindow(SW_SHOW);
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  for (int position = 0; position < tabs->GetItemCount(); ++position)
    if (tabs->GetItemID(position) == TabLighting) {
      ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, position));
    }
  PickRow(dlg, 9);  // mode 10, static red
  dlg.GetControlAs<CCheckButton>(88)->SetCheck(false);
  dlg.OnMessage(88, NOTIFY_CLICK, 0, 0);
  Drain(dlg);
  zuvi_testing::Driver::RunFor(5);
  ASSERT_TRUE(dlg.RenderToPng(folder + "lighting_page.png"));
}

}  // namespace
}  // namespace kb_test
