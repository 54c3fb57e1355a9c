// What the keyboard window's frame asks of the library: key routing through the window's
// pre-translation, tab item texts by id, guarded row writes, showing through SetWindowPos, the
// system move of a dragged window, and the page controls the frame already touches.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/zuvi/recording_dialog.h"
#include "zuvi/control_factory.h"
#include "zuvi/edit.h"
#include "zuvi/image_view.h"
#include "zuvi/key_func_control.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/list_box.h"
#include "zuvi/tab.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

constexpr int kEditId = 7;

// A window with one edit that consumes the keys it is told to.
struct KeyWindow : RecordingDialog {
  std::vector<std::pair<UINT, WPARAM>> keys;
  std::vector<std::wstring> editTextSeen;  // the edit's text when the window saw the key
  WPARAM consume = 0;
  KeyWindow() {
    initUI = [](RecordingDialog& w) { w.CreateControl(L"MEdit", kEditId, RECT{10, 10, 200, 40}); };
  }
  int PreTranslateMessage(MSG* msg) override {
    keys.emplace_back(msg->message, msg->wParam);
    editTextSeen.push_back(GetControlAs<MEdit>(kEditId)->GetTitle());
    return msg->wParam == consume ? 1 : 0;
  }
};

}  // namespace

TEST(FrameSupportTest, KeysToAControlMeetTheWindowFirstAndConsumedOnesGoNoFurther) {
  Driver driver;
  KeyWindow window;
  ASSERT_TRUE(window.CreatePopup());
  auto* edit = window.GetControlAs<MEdit>(kEditId);

  window.consume = 'B';
  ASSERT_TRUE(Driver::KeyDownOn(window, kEditId, 'A'));
  ASSERT_TRUE(Driver::KeyUpOn(window, kEditId, 'A'));
  ASSERT_TRUE(Driver::KeyDownOn(window, kEditId, 'B'));
  ASSERT_TRUE(Driver::KeyUpOn(window, kEditId, 'B'));
  Driver::RunFor(1);
  EXPECT_EQ(window.keys, (std::vector<std::pair<UINT, WPARAM>>{
                             {WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, 'B'}, {WM_KEYUP, 'B'}}))
      << "each event reaches the window once, also when the edit passes it on";
  EXPECT_EQ(window.editTextSeen.front(), L"") << "the window sees the key before the edit";
  EXPECT_EQ(edit->GetTitle(), L"a") << "the consumed B never reached the edit";
  EXPECT_FALSE(Driver::KeyDownOn(window, 99, 'A')) << "no such control";
}

TEST(FrameSupportTest, AltGivesSystemKeysAndAHeldKeyIsReleasedOnce) {
  Driver driver;
  KeyWindow window;
  ASSERT_TRUE(window.CreatePopup());
  Driver::KeyDown(window, 13, Driver::kAlt);
  Driver::KeyUp(window, 13, Driver::kAlt);
  Driver::KeyDown(window, 13);
  Driver::KeyDown(window, 13, 0, true);
  Driver::KeyUp(window, 13, 0, true);  // the window system's auto-repeat release
  Driver::KeyDown(window, 13, 0, true);
  Driver::KeyUp(window, 13);
  EXPECT_EQ(window.keys, (std::vector<std::pair<UINT, WPARAM>>{{WM_SYSKEYDOWN, 13},
                                                               {WM_SYSKEYUP, 13},
                                                               {WM_KEYDOWN, 13},
                                                               {WM_KEYDOWN, 13},
                                                               {WM_KEYDOWN, 13},
                                                               {WM_KEYUP, 13}}));
}

TEST(FrameSupportTest, KeysReachTheInnermostWindowOnly) {
  Driver driver;
  KeyWindow outer;
  ASSERT_TRUE(outer.CreatePopup());
  KeyWindow inner;
  ASSERT_TRUE(inner.Create(outer.GetSafeHwnd(), L"Inner", WS_CHILD | WS_VISIBLE, RECT{0, 0, 250, 150}));
  ASSERT_TRUE(Driver::KeyUpOn(inner, kEditId, 13));
  EXPECT_EQ(inner.keys.size(), 1u);
  EXPECT_TRUE(outer.keys.empty()) << "the window holding the control decides";
}

TEST(FrameSupportTest, TabItemsAreRetextedByTheirId) {
  Driver driver;
  RecordingDialog window;
  window.initUI = [](RecordingDialog& w) {
    auto* tabs = static_cast<MTabCtrl*>(w.CreateControl(L"MTabCtrl", 50, RECT{0, 0, 60, 300}));
    tabs->InsertItem(1, L"one", L"", nullptr);
    tabs->InsertItem(8, L"eight", L"", nullptr);
  };
  ASSERT_TRUE(window.CreatePopup());
  auto* tabs = window.GetControlAs<MTabCtrl>(50);
  EXPECT_TRUE(tabs->SetItemText(8, L"screen"));
  EXPECT_FALSE(tabs->SetItemText(3, L"nothing")) << "no item has id 3";
  EXPECT_EQ(tabs->GetItemText(0), L"one");
  EXPECT_EQ(tabs->GetItemText(1), L"screen");
  EXPECT_EQ(tabs->GetItemText(2), L"");
}

TEST(FrameSupportTest, AGuardedRowWriteKeepsARowThatChangedMeanwhile) {
  QelListBox list;
  list.AddString(L"old");
  EXPECT_TRUE(list.ModifyItemStringIf(0, L"old", L"new"));
  EXPECT_EQ(list.GetItemText(0), L"new");
  EXPECT_FALSE(list.ModifyItemStringIf(0, L"old", L"again")) << "the row no longer holds the text read";
  EXPECT_EQ(list.GetItemText(0), L"new");
  EXPECT_FALSE(list.ModifyItemStringIf(1, L"", L"x")) << "past the last row";

  // A writer racing a thread that empties and refills the list never overwrites a refilled row.
  std::atomic<bool> stop{false};
  std::thread refill([&] {
    do {
      list.ResetContent();
      for (int i = 0; i < 5; ++i) list.AddString(L"fresh");
    } while (!stop.load());
  });
  for (int i = 0; i < 2000; ++i) {
    const std::wstring seen = list.GetItemText(2);
    if (seen != L"fresh") list.ModifyItemStringIf(2, seen, L"stale");
  }
  stop = true;
  refill.join();
  for (int i = 0; i < list.GetItemCount(); ++i) EXPECT_EQ(list.GetItemText(i), L"fresh");
}

TEST(FrameSupportTest, SetWindowPosShowsWithItsFlagAndKeepsPlaceAndSize) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup(nullptr, false));
  const RECT before = window.GetWindowRect();
  ASSERT_TRUE(window.SetWindowPos(HWND_TOPMOST, 400, 400, 5, 5, SWP_NOSIZE | SWP_NOMOVE));
  EXPECT_FALSE(window.IsWindowVisible()) << "without the show flag nothing is shown";
  ASSERT_TRUE(window.SetWindowPos(HWND_TOPMOST, 400, 400, 5, 5, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW));
  EXPECT_TRUE(window.IsWindowVisible());
  EXPECT_TRUE(window.IsTopmost());
  EXPECT_EQ(window.GetWindowRect(), before);
}

TEST(FrameSupportTest, ACaptionPressAsksForASystemMoveOfTopLevelWindowsOnly) {
  Driver driver;
  struct Plain : MDialog {};
  Plain top;
  ASSERT_TRUE(top.Create(nullptr, L"Top", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 200}));
  Plain child;
  ASSERT_TRUE(child.Create(top.GetSafeHwnd(), L"Child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}));
  EXPECT_EQ(top.OnWindowMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(300, 400)), 0);
  EXPECT_EQ(top.SystemMoveRequests(), 1);
  EXPECT_EQ(top.OnWindowMessage(WM_NCLBUTTONDOWN, 1, 0), 0) << "not the caption";
  EXPECT_EQ(top.OnWindowMessage(WM_LBUTTONDOWN, HTCAPTION, 0), 0);
  EXPECT_EQ(top.SystemMoveRequests(), 1);
  child.OnWindowMessage(WM_NCLBUTTONDOWN, HTCAPTION, 0);
  EXPECT_EQ(child.SystemMoveRequests(), 0) << "a child window is moved with its parent";
}

TEST(FrameSupportTest, ThePageControlsAreMadeByNameAndKeepTheirState) {
  for (const wchar_t* name : {L"KeyboardCtrl", L"KeyFuncControl", L"LCDViewList", L"ImageView"})
    EXPECT_NE(CreateControlByName(name), nullptr) << std::string(name, name + wcslen(name));

  KeyboardCtrl keys;
  keys.SetTipInfo(L"Pick a key");
  EXPECT_EQ(keys.GetTipInfo(), L"Pick a key");

  KeyFuncControl chooser;
  chooser.InitItemInfo({{L"Functions", {{2, 500, 0, 0, L"Mouse"}, {2, 517, 0, 0, L"Fn"}}}});
  chooser.SetItemDesc(500, L"Mouse keys");
  chooser.SetItemDesc(501, L"Calculator");
  EXPECT_EQ(chooser.GetItemCount(), 2) << "re-texting makes no item";
  EXPECT_EQ(chooser.GetItemDesc(500), L"Mouse keys");
  EXPECT_EQ(chooser.GetItemDesc(501), L"");

  auto slots = CreateControlByName(L"LCDViewList");
  EXPECT_NE(dynamic_cast<QelListBox*>(slots.get()), nullptr) << "the slot list is a list box";

  ImageView editor;
  editor.SetShowGridLine(true);
  editor.SetDrawMode(111);
  editor.RecoverCurEdit();
  editor.RecoverCurEdit();
  EXPECT_TRUE(editor.GetShowGridLine());
  EXPECT_EQ(editor.GetDrawMode(), 111);
  EXPECT_EQ(editor.RecoverCount(), 2);
}
