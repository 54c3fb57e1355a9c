// Controls: the factory, first-id lookup, notification codes, values set from code, input to
// disabled or hidden controls, and containers.
#include <QWidget>
#include <gtest/gtest.h>

#include <thread>

#include "tests/zuvi/recording_dialog.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/control_factory.h"
#include "zuvi/edit.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/tab.h"
#include "zuvi/testing/driver.h"
#include "zuvi/views.h"

using zuvi_testing::Driver;

namespace {

const RECT kBox{10, 10, 110, 40};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window.CreatePopup()); }

  // Each control gets a place of its own in a grid of three by three, so that none covers another.
  template <typename T>
  T* Make(const wchar_t* className, int id, MControl* container = nullptr) {
    const int cell = made_++ % 9;
    const RECT box{5 + cell % 3 * 98, 5 + cell / 3 * 65, 100 + cell % 3 * 98, 65 + cell / 3 * 65};
    auto* control = dynamic_cast<T*>(window.CreateControl(className, id, box, nullptr, 1, 1, container));
    EXPECT_NE(control, nullptr) << "class " << id;
    return control;
  }

  Driver driver;
  RecordingDialog window;
  int made_ = 0;
};

}  // namespace

TEST_F(ControlsTest, EveryClassNameMakesItsControlAndUnknownNamesMakeNone) {
  for (const std::wstring& name : KnownControlClasses()) {
    MControl* control = window.CreateControl(name.c_str(), 900, kBox);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->ClassName(), name);
  }
  EXPECT_EQ(window.CreateControl(L"NoSuchControl", 901, kBox), nullptr);
  EXPECT_EQ(window.CreateControl(nullptr, 902, kBox), nullptr);
  EXPECT_EQ(window.GetControl(901), nullptr);
}

TEST_F(ControlsTest, GetControlReturnsTheFirstControlCreatedWithAnId) {
  MControl* first = window.CreateControl(L"MText", 53, kBox, L"ver: 1.0.0.0");
  MControl* second = window.CreateControl(L"MText", 53, kBox, L"notice");
  ASSERT_NE(first, second);
  EXPECT_EQ(window.GetControl(53), first);
  EXPECT_EQ(window.GetControl(54), nullptr);
}

TEST_F(ControlsTest, ButtonsReportClicksAfterTheirCheckChanged) {
  auto* button = Make<CImageButton>(L"CImageButton", 1);
  auto* check = Make<CCheckButton>(L"CCheckButton", 2);
  bool checkedWhenNotified = false;
  window.onMessage = [&](RecordingDialog&, int id, int) {
    if (id == 2) checkedWhenNotified = check->GetCheck();
  };
  EXPECT_TRUE(Driver::Click(window, 1));
  EXPECT_TRUE(Driver::RightClick(window, 1));
  EXPECT_TRUE(Driver::Click(window, 2));
  EXPECT_TRUE(checkedWhenNotified);
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{{1, NOTIFY_CLICK, 0}, {1, NOTIFY_RCLICK, 0}, {2, NOTIFY_CLICK, 0}}));
  (void)button;
}

TEST_F(ControlsTest, RadioButtonsOfAGroupExcludeEachOther) {
  auto* a = Make<CRadioButton>(L"CRadioButton", 1);
  auto* b = Make<CRadioButton>(L"CRadioButton", 2);
  auto* other = Make<CColorButton>(L"CColorButton", 3);
  a->SetGroupName(L"sleep");
  b->SetGroupName(L"sleep");
  other->SetGroupName(L"colours");
  other->SetCheck(true);
  a->SetCheck(true);
  EXPECT_TRUE(Driver::Click(window, 2));
  EXPECT_FALSE(a->GetCheck());
  EXPECT_TRUE(b->GetCheck());
  EXPECT_TRUE(other->GetCheck()) << "another group is not touched";
  EXPECT_TRUE(Driver::Click(window, 2));
  EXPECT_TRUE(b->GetCheck()) << "a second click keeps a radio checked";
  a->SetCheck(true);
  EXPECT_FALSE(b->GetCheck());
}

TEST_F(ControlsTest, ValuesSetFromCodeNeverNotify) {
  Make<CCheckButton>(L"CCheckButton", 1)->SetCheck(true);
  auto* combo = Make<MComboBox>(L"MComboBox", 2);
  combo->AddString(L"1", 1);
  combo->AddString(L"2", 2);
  EXPECT_TRUE(combo->SetCurData(2));
  auto* list = Make<QelListBox>(L"QelListBox", 3);
  list->AddString(L"a", 10);
  list->SetCurSel(0);
  list->ModifyItemString(0, L"b");
  Make<MEdit>(L"MEdit", 4)->SetTitle(L"12");
  Make<MSlider>(L"MSlider", 5)->SetPos(40);
  Make<CirclePalette>(L"CirclePalette", 6)->SetSelectColor(0xFF112233);
  auto* tab = Make<MTabCtrl>(L"MTabCtrl", 7);
  tab->InsertItem(1, L"one", L"", nullptr);
  std::thread([tab] { tab->SetSelectItem(0); }).join();  // from a worker: no report
  Driver::RunFor(20);
  EXPECT_TRUE(window.notifications.empty());
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(tab->GetSelectItem(), 0);
}

TEST_F(ControlsTest, SelectingATabOnTheUiThreadReportsOnceAndShowsOnlyItsLayout) {
  auto* first = Make<MTabLayout>(L"MTabLayout", 51);
  auto* second = Make<MTabLayout>(L"MTabLayout", 52);
  auto* tab = Make<MTabCtrl>(L"MTabCtrl", 50);
  tab->InsertItem(1, L"keys", L"icon\\tab_customkey.png", first);
  tab->InsertItem(3, L"light", L"icon\\tab_light.png", second);
  EXPECT_TRUE(tab->SetSelectItem(1));
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{50, NOTIFY_SELCHANGE, 1}}));
  EXPECT_FALSE(first->IsVisible());
  EXPECT_TRUE(second->IsVisible());
  EXPECT_EQ(tab->GetItemID(1), 3);
  EXPECT_EQ(tab->GetItemID(2), -1);
  EXPECT_FALSE(tab->SetSelectItem(5)) << "an index out of range changes nothing";
  EXPECT_EQ(tab->GetSelectItem(), 1);
  EXPECT_TRUE(Driver::Select(window, 50, 0));
  EXPECT_TRUE(first->IsVisible());
  EXPECT_EQ(window.notifications.size(), 2u);
}

TEST_F(ControlsTest, ListsReportSelectionClickRightClickAndTheEndOfRenaming) {
  auto* list = Make<QelListBox>(L"QelListBox", 66);
  list->AddString(L"Profile 1", 11);
  list->AddString(L"Profile 2", 12);
  EXPECT_TRUE(Driver::Select(window, 66, 1));
  EXPECT_TRUE(Driver::Select(window, 66, 1));
  EXPECT_EQ(
      window.notifications,
      (std::vector<Notification>{{66, NOTIFY_SELCHANGE, 1}, {66, NOTIFY_CLICK, 1}, {66, NOTIFY_CLICK, 1}}));
  window.notifications.clear();
  EXPECT_TRUE(list->UserClickRow(0, true));  // another row: its selection is reported first
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{66, NOTIFY_SELCHANGE, 0}, {66, NOTIFY_RCLICK, 0}}));
  EXPECT_EQ(list->GetCurData(), 11);
  window.notifications.clear();
  EXPECT_TRUE(list->UserClickRow(0, true));  // the selected row
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{66, NOTIFY_RCLICK, 0}}));

  window.notifications.clear();
  ASSERT_TRUE(list->ShowEdit());
  EXPECT_TRUE(Driver::FinishEdit(window, 66, L"Work"));
  EXPECT_EQ(list->GetItemText(0), L"Work");
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{66, NOTIFY_EDIT_END, 0}}));
  ASSERT_TRUE(list->ShowEdit());
  EXPECT_TRUE(Driver::FinishEdit(window, 66, L"   "));
  EXPECT_EQ(list->GetItemText(0), L"Work") << "a blank name keeps the old one";
  EXPECT_FALSE(Driver::FinishEdit(window, 66, L"late")) << "no editor open";

  list->SetCurSel(-1);
  EXPECT_FALSE(list->ShowEdit()) << "nothing selected to rename";
}

TEST_F(ControlsTest, AnEditReportsTheFocusAndACaptureFieldTakesNoTyping) {
  auto* edit = Make<MEdit>(L"MEdit", 240);
  EXPECT_TRUE(Driver::Focus(window, 240));
  edit->SetCaptureMode(true);
  EXPECT_FALSE(Driver::Type(window, 240, L"abc"));
  edit->SetTitle(L"Ctrl");  // code sets the text
  EXPECT_EQ(edit->GetTitle(), L"Ctrl");
  EXPECT_TRUE(Driver::FinishEdit(window, 240));
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{{240, NOTIFY_FOCUS, 0}, {240, NOTIFY_EDIT_END, 0}}));
  edit->SetEnabled(false);
  EXPECT_FALSE(Driver::Focus(window, 240));
}

TEST_F(ControlsTest, ACaptureFieldTakesTabEnterAndEscAndSwitchesBackToText) {
  auto* edit = Make<MEdit>(L"MEdit", 241);
  edit->SetCaptureMode(true);
  Driver::RunFor(1);
  QWidget* widget = edit->GetWidget();
  ASSERT_NE(widget, nullptr);
  EXPECT_FALSE(widget->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(Driver::Focus(window, 241));
  window.notifications.clear();
  for (int vk : {9, 13, 27}) {
    EXPECT_TRUE(Driver::KeyDownOn(window, 241, vk));
    Driver::KeyUpOn(window, 241, vk);
  }
  EXPECT_TRUE(window.notifications.empty()) << "Enter does not finish a capture field";

  edit->SetCaptureMode(false);
  Driver::RunFor(1);
  EXPECT_TRUE(widget->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(Driver::Type(window, 241, L"abc"));
  EXPECT_EQ(edit->GetTitle(), L"abc");
  window.notifications.clear();
  EXPECT_TRUE(Driver::KeyDownOn(window, 241, 13));
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{241, NOTIFY_EDIT_END, 0}})) << "a text field finishes";
}

TEST_F(ControlsTest, RecordListSwapsRowsAndTheSelectionFollows) {
  auto* list = Make<CRecordList>(L"CRecordList", 262);
  list->AddString(L"A down", 1);
  list->AddString(L"delay", 2);
  list->AddString(L"A up", 3);
  list->SetCurSel(0);
  EXPECT_TRUE(list->SwapItem(0, 1));
  EXPECT_EQ(list->GetItemText(0), L"delay");
  EXPECT_EQ(list->GetItemData(1), 1);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_FALSE(list->SwapItem(2, 3));
  EXPECT_EQ(list->GetItemText(2), L"A up");
}

TEST_F(ControlsTest, EditsFilterTheUsersTypingAndCountTheLimitInUtf16Units) {
  auto* edit = Make<MEdit>(L"MEdit", 84);
  edit->SetInputMode(MEdit::DigitsOnly);
  edit->SetLimitText(3);
  EXPECT_TRUE(Driver::Type(window, 84, L"2a5x59"));
  EXPECT_EQ(edit->GetTitle(), L"255");
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{{84, NOTIFY_FOCUS, 0}, {84, NOTIFY_EDIT_CHANGED, 0}}));
  EXPECT_FALSE(Driver::Type(window, 84, L"255")) << "no change, no report";
  EXPECT_TRUE(Driver::FinishEdit(window, 84));
  EXPECT_EQ(window.notifications.back(), (Notification{84, NOTIFY_EDIT_END, 0}));

  auto* text = Make<MEdit>(L"MEdit", 339);
  text->SetLimitText(3);
  Driver::Type(window, 339, L"a\U0001F600b");  // the emoji takes two units
  EXPECT_EQ(text->GetTitle(), L"a\U0001F600");
  EXPECT_EQ(Utf16Length(text->GetTitle()), 3);
}

TEST_F(ControlsTest, CombosSlidersAndPalettesReportTheUsersChoice) {
  auto* combo = Make<MComboBox>(L"MComboBox", 270);
  for (int i = 1; i <= 5; ++i) combo->AddString(std::to_wstring(i), i);
  EXPECT_TRUE(Driver::Select(window, 270, 3));
  EXPECT_EQ(combo->GetCurData(), 4);
  EXPECT_FALSE(Driver::Select(window, 270, 9));
  EXPECT_EQ(combo->GetCurSel(), 3);
  EXPECT_FALSE(combo->SetCurData(99));

  auto* slider = Make<MSlider>(L"MSlider", 107);
  slider->SetRange(0, 10);
  EXPECT_TRUE(Driver::Select(window, 107, 14));
  EXPECT_EQ(slider->GetPos(), 10);
  EXPECT_FALSE(slider->SetRange(5, 1));

  auto* palette =
      static_cast<CirclePalette*>(window.CreateControl(L"CirclePalette", 80, RECT{0, 0, 100, 100}));
  EXPECT_TRUE(Driver::Click(window, 80));
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{
                {270, NOTIFY_CLICK, 3}, {107, NOTIFY_CLICK, 10}, {80, NOTIFY_PALETTE_COLOR, 0xFFFFFF}}));
  EXPECT_EQ(palette->GetSelectColor(), 0xFFFFFFFFu) << "the centre of the wheel is white";
}

TEST_F(ControlsTest, AreasNeverReport) {
  window.CreateArea(L"CImageButton", 32, kBox);
  EXPECT_TRUE(Driver::Click(window, 32));
  EXPECT_TRUE(window.notifications.empty());
}

TEST_F(ControlsTest, HiddenOrDisabledControlsTakeNoInput) {
  auto* button = Make<MButton>(L"MButton", 1);
  auto* edit = Make<MEdit>(L"MEdit", 2);
  auto* combo = Make<MComboBox>(L"MComboBox", 3);
  combo->AddString(L"x", 1);
  button->SetEnabled(false);
  edit->SetVisible(false);
  combo->SetEnabled(false);
  EXPECT_FALSE(Driver::Click(window, 1));
  EXPECT_FALSE(Driver::Type(window, 2, L"x"));
  EXPECT_FALSE(Driver::Select(window, 3, 0));
  EXPECT_TRUE(window.notifications.empty());
  EXPECT_EQ(edit->GetTitle(), L"");
}

TEST_F(ControlsTest, AContainerSwitchedOffAndOnGivesEachControlBackItsOwnState) {
  auto* page = Make<MTabLayout>(L"MTabLayout", 58);
  auto* on = Make<MButton>(L"MButton", 1, page);
  auto* off = Make<MButton>(L"MButton", 2, page);
  auto* hidden = Make<MButton>(L"MButton", 3, page);
  off->SetEnabled(false);
  hidden->SetVisible(false);

  page->SetEnabledEx(false);
  EXPECT_FALSE(on->IsEffectivelyEnabled());
  EXPECT_FALSE(Driver::Click(window, 1));
  page->SetEnabledEx(true);
  EXPECT_TRUE(on->IsEffectivelyEnabled());
  EXPECT_FALSE(off->IsEffectivelyEnabled());

  page->SetVisible(false);
  EXPECT_FALSE(on->IsEffectivelyVisible());
  page->SetVisible(true);
  EXPECT_TRUE(on->IsEffectivelyVisible());
  EXPECT_FALSE(hidden->IsEffectivelyVisible());
  EXPECT_TRUE(Driver::Click(window, 1));
}

TEST_F(ControlsTest, ButtonStatesAreKeptAndClamped) {
  auto* download = Make<DownloadButton>(L"DownloadButton", 35);
  download->SetDownloadProcess(150);
  EXPECT_EQ(download->GetDownloadProcess(), 100);
  download->SetDownloadProcess(-3);
  EXPECT_EQ(download->GetDownloadProcess(), 0);
  auto* progress = Make<MProgress>(L"MProgress", 34);
  progress->SetProgress(101);
  EXPECT_EQ(progress->GetProgress(), 100);
  auto* upgrade = Make<UpgradeButton>(L"UpgradeButton", 37);
  upgrade->SetUpgradeStatus(1);
  EXPECT_EQ(upgrade->GetUpgradeStatus(), 1);
  auto* slot = Make<CDeviceCtrl>(L"CDeviceCtrl", 44);
  slot->SetDeviceStatus(1);
  EXPECT_EQ(slot->GetDeviceStatus(), 1);
  EXPECT_TRUE(Driver::Click(window, 44));
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{44, NOTIFY_CLICK, 0}}));
}
