// The front-to-back order of top-level windows that a lookup by title follows.
#include <gtest/gtest.h>

#include "zuvi/dialog.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

TEST(TopLevelOrderTest, TheTitleLookupFindsTheFrontMostWindowHiddenOnesIncluded) {
  Driver driver;
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), nullptr);

  MDialog owner, first, second, child, other;
  ASSERT_TRUE(owner.Create(nullptr, L"Owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}));
  ASSERT_TRUE(first.Create(owner.GetSafeHwnd(), L"CustomKeyDlg", WS_POPUP, RECT{0, 0, 50, 50}));
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &first) << "hidden and never shown";
  ASSERT_TRUE(second.Create(owner.GetSafeHwnd(), L"CustomKeyDlg", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}));
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &second) << "shown last";
  ASSERT_TRUE(child.Create(owner.GetSafeHwnd(), L"CustomKeyDlg", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}));
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &second) << "a child window never counts";
  ASSERT_TRUE(other.Create(nullptr, L"CustomKeyDlg ", WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10}));
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &second) << "the whole title must match";
  EXPECT_EQ(Manager::FindTopLevelWindow(L"customkeydlg"), nullptr);

  first.BringToFront();
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &first) << "activated";
  second.ShowWindow(SW_HIDE);
  second.ShowWindow(SW_SHOW);
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &second) << "shown again";
  second.ShowWindow(SW_HIDE);
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &second) << "hiding keeps its place";
  second.DestroyWindow();
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), &first) << "a destroyed window is gone";
  owner.DestroyWindow();
  EXPECT_EQ(Manager::FindTopLevelWindow(L"CustomKeyDlg"), nullptr) << "owned windows went with their owner";
}
