// Windows: the order of creation, modal loops (nesting, latched ends, ends from other threads,
// destruction), owner disabling, the watchdog, and messages to windows that are gone.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/zuvi/recording_dialog.h"
#include "zuvi/manager.h"
#include "zuvi/tab.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

TEST(WindowTest, CreateRunsTheSlotsInOrderAndShowsBeforeInitDialog) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  EXPECT_EQ(window.calls, (std::vector<std::string>{"OnCreate", "InitUI", "UISize", "OnInitDialog"}));
  EXPECT_TRUE(window.visibleAtInit);

  RecordingDialog hidden;
  ASSERT_TRUE(hidden.CreatePopup(nullptr, false));
  EXPECT_FALSE(hidden.visibleAtInit);
  EXPECT_FALSE(hidden.CreatePopup()) << "a window is created once";
}

TEST(WindowTest, CreateRefusesAParentThatIsGone) {
  Driver driver;
  RecordingDialog parent;
  ASSERT_TRUE(parent.CreatePopup());
  HWND stale = parent.GetSafeHwnd();
  parent.DestroyWindow();
  RecordingDialog child;
  EXPECT_FALSE(child.Create(stale, L"Child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}));
  EXPECT_FALSE(child.Create(nullptr, L"Child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}));
}

TEST(WindowTest, ModalLoopsNestAndEachReturnsItsOwnCode) {
  Driver driver;
  RecordingDialog outer, inner;
  ASSERT_TRUE(outer.CreatePopup());
  ASSERT_TRUE(inner.CreatePopup(outer.GetSafeHwnd()));
  int innerResult = -1;
  driver.AnswerNextModal([&](MDialog&) {
    driver.AnswerNextModal([](MDialog& w) { w.DoCancel(); });
    innerResult = inner.ShowModal();
    EXPECT_TRUE(outer.IsInModalLoop());
    outer.DoOK();
  });
  EXPECT_EQ(outer.ShowModal(), IDOK);
  EXPECT_EQ(innerResult, IDCANCEL);
  EXPECT_FALSE(outer.IsInModalLoop());
}

TEST(WindowTest, AnEndRequestedBeforeTheLoopIsKept) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  window.DoCancel();
  EXPECT_EQ(window.ShowModal(), IDCANCEL);
  // Used up: the next loop needs its own end.
  driver.AnswerNextModal([](MDialog& w) { w.DoOK(); });
  EXPECT_EQ(window.ShowModal(), IDOK);
}

TEST(WindowTest, AnEndFromAWorkerThreadEndsTheLoop) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  std::thread worker;
  driver.AnswerNextModal([&](MDialog& w) {
    worker = std::thread([&w] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      w.DoOK();
    });
  });
  EXPECT_EQ(window.ShowModal(), IDOK);
  worker.join();
}

TEST(WindowTest, AnEndFromAnotherThreadBeforeTheLoopEndsThatLoopOnly) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  std::thread early([&] { window.DoCancel(); });
  early.join();
  EXPECT_EQ(window.ShowModal(), IDCANCEL);
  // The next loop runs until its own end comes; the spent one must not end it with 0.
  std::thread worker;
  driver.AnswerNextModal([&](MDialog& w) {
    worker = std::thread([&w] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      w.DoOK();
    });
  });
  EXPECT_EQ(window.ShowModal(), IDOK);
  worker.join();
}

TEST(WindowTest, DestroyingTheWindowEndsItsLoopWithZeroAndItsChildrenFirst) {
  Driver driver;
  RecordingDialog window, child;
  ASSERT_TRUE(window.CreatePopup());
  ASSERT_TRUE(child.Create(window.GetSafeHwnd(), L"Child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}));
  driver.AnswerNextModal([](MDialog& w) { w.DestroyWindow(); });
  EXPECT_EQ(window.ShowModal(), 0);
  EXPECT_FALSE(Manager::IsWindow(child.GetSafeHwnd()));
  EXPECT_EQ(child.calls.back(), "OnDestroy");
  EXPECT_EQ(window.ShowModal(), 0) << "a destroyed window has no loop";
}

TEST(WindowTest, APopupDisablesItsOwnerWhileAChildDisablesNothing) {
  Driver driver;
  RecordingDialog owner, popup, child;
  ASSERT_TRUE(owner.CreatePopup());
  ASSERT_TRUE(child.Create(owner.GetSafeHwnd(), L"Child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}));
  ASSERT_TRUE(popup.CreatePopup(child.GetSafeHwnd()));  // owned through the child: its top-level is disabled
  bool ownerEnabledDuringPopup = true;
  driver.AnswerNextModal([&](MDialog& w) {
    ownerEnabledDuringPopup = owner.IsWindowEnabled();
    w.DoOK();
  });
  popup.ShowModal();
  EXPECT_FALSE(ownerEnabledDuringPopup);
  EXPECT_TRUE(owner.IsWindowEnabled());

  bool ownerEnabledDuringChild = false;
  driver.AnswerNextModal([&](MDialog& w) {
    ownerEnabledDuringChild = owner.IsWindowEnabled();
    w.DoOK();
  });
  child.ShowModal();
  EXPECT_TRUE(ownerEnabledDuringChild);

  // An owner disabled before stays disabled afterwards.
  owner.EnableWindow(false);
  driver.AnswerNextModal([](MDialog& w) { w.DoOK(); });
  popup.ShowModal();
  EXPECT_FALSE(owner.IsWindowEnabled());
}

TEST(WindowTest, AModalLoopWithNothingLeftToDoFailsTheTestInsteadOfHanging) {
  int result = -1;
  EXPECT_NONFATAL_FAILURE(
      {
        Driver driver(200);
        RecordingDialog window;
        RecordingDialog child;
        window.CreatePopup();
        child.Create(window.GetSafeHwnd(), L"Page", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10});
        result = window.ShowModal();
      },
      "\"Page\" visible");
  EXPECT_EQ(result, 0);
}

TEST(WindowTest, MessagesReachOnlyLiveWindows) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  HWND hwnd = window.GetSafeHwnd();
  EXPECT_TRUE(PostMessage(hwnd, WM_USER + 1, 0, 0));
  EXPECT_TRUE(PostMessage(hwnd, WM_USER + 2, 0, 0));
  Driver::RunUntil([&] { return window.messages.size() == 2; });
  EXPECT_EQ(window.messages, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));

  // Queued before the window went: dropped on delivery.
  EXPECT_TRUE(PostMessage(hwnd, WM_USER + 3, 0, 0));
  window.DestroyWindow();
  Driver::RunFor(30);
  EXPECT_EQ(window.messages.size(), 2u);
  EXPECT_FALSE(PostMessage(hwnd, WM_USER + 4, 0, 0));
  EXPECT_EQ(SendMessage(hwnd, WM_USER + 5, 0, 7), 0);
  EXPECT_EQ(window.messages.size(), 2u);
  EXPECT_FALSE(Manager::IsWindow(nullptr));
}

TEST(WindowTest, SendMessageFromAWorkerWaitsForTheUiThreadsAnswer) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  LRESULT answer = 0;
  std::thread worker([&] { answer = SendMessage(window.GetSafeHwnd(), WM_USER, 0, 21); });
  Driver::RunUntil([&] { return !window.messages.empty(); });
  worker.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(SendMessage(window.GetSafeHwnd(), WM_USER, 0, 4), 8);
}

TEST(WindowTest, TheWindowWithAPropertyIsFound) {
  Driver driver;
  RecordingDialog plain, marked;
  ASSERT_TRUE(plain.CreatePopup());
  ASSERT_TRUE(marked.CreatePopup());
  EXPECT_EQ(Manager::FindWindowWithProp(L"Marker"), nullptr);
  marked.SetProp(L"Marker", 1);
  EXPECT_EQ(Manager::FindWindowWithProp(L"Marker"), marked.GetSafeHwnd());
  marked.DestroyWindow();
  EXPECT_EQ(Manager::FindWindowWithProp(L"Marker"), nullptr);
}

TEST(WindowTest, KeysGoThroughPreTranslationAndFreeClicksReachOnLButtonDown) {
  struct KeyWindow : RecordingDialog {
    std::vector<std::pair<UINT, WPARAM>> keys;
    std::vector<int> clicksAt;
    int PreTranslateMessage(MSG* msg) override {
      keys.emplace_back(msg->message, msg->wParam);
      return msg->wParam == 13;
    }
    int OnLButtonDown(UINT, POINT point) override {
      clicksAt.push_back(point.x);
      return 0;
    }
  };
  Driver driver;
  KeyWindow window;
  ASSERT_TRUE(window.CreatePopup());
  Driver::PressKey(window, 13);
  Driver::PressKey(window, 'A');
  EXPECT_EQ(window.keys, (std::vector<std::pair<UINT, WPARAM>>{
                             {WM_KEYDOWN, 13}, {WM_KEYUP, 13}, {WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}}));
  Driver::ClickWindow(window, POINT{120, 40});
  EXPECT_EQ(window.clicksAt, (std::vector<int>{120}));
  window.EnableWindow(false);
  Driver::ClickWindow(window, POINT{121, 40});
  EXPECT_EQ(window.clicksAt.size(), 1u) << "a disabled window takes no click";
}

TEST(WindowTest, ASelectionFromCodeInOnInitDialogReachesTheWindow) {
  // The keyboard window restores its last tab in OnInitDialog and follows it through OnMessage.
  struct TabWindow : RecordingDialog {
    void InitUI(const RECT&) override {
      auto* tab = static_cast<MTabCtrl*>(CreateControl(L"MTabCtrl", 50, RECT{1, 110, 61, 710}));
      tab->InsertItem(1, L"keys", L"", CreateControl(L"MTabLayout", 51, RECT{}));
      tab->InsertItem(8, L"screen", L"", CreateControl(L"MTabLayout", 58, RECT{}));
      tab->SetItemHeight(60, 60, 1);
    }
    int OnInitDialog() override {
      GetControlAs<MTabCtrl>(50)->SetSelectItem(1);
      return 1;
    }
  };
  Driver driver;
  TabWindow window;
  ASSERT_TRUE(window.CreatePopup());
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{50, NOTIFY_SELCHANGE, 1}}));
  // The last item may be moved to the foot of the column, and a click there selects it.
  TabItemInfo* last = window.GetControlAs<MTabCtrl>(50)->GetItemInfo(1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->rect.top, 170);
  last->rect.top = 620;
  last->rect.bottom = 680;
  ASSERT_TRUE(window.GetControlAs<MTabCtrl>(50)->SetSelectItem(0));
  MouseInput click;
  click.point = POINT{30, 650};
  EXPECT_TRUE(window.GetControl(50)->Press(click));
  EXPECT_EQ(window.GetControlAs<MTabCtrl>(50)->GetSelectItem(), 1);
  EXPECT_EQ(window.GetControlAs<MTabCtrl>(50)->GetItemInfo(2), nullptr);
}
