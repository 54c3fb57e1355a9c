// The tray icon back ends: the Qt one without a notification area, and the recording fake that
// the windows' tests use.
#include "zuvi/tray_icon.h"

#include <gtest/gtest.h>

#include "zuvi/dialog.h"
#include "zuvi/manager.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

class TrayWindow : public MDialog {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> received;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == 1090) received.emplace_back(wParam, lParam);
    return MDialog::OnWindowMessage(message, wParam, lParam);
  }
};

}  // namespace

TEST(TrayIcon, WithoutANotificationAreaTheQtIconReportsFailure) {
  Driver driver;
  TrayWindow window;
  ASSERT_TRUE(window.Create(nullptr, L"tray", WS_POPUP, RECT{0, 0, 100, 100}));
  auto icon = MakeQtTrayIcon();
  EXPECT_FALSE(icon->Add(L"Kelvane.ico", L"Varnel Keyboard", window.GetSafeHwnd(), 109, 1090))
      << "offscreen has no tray";
  EXPECT_FALSE(icon->IsShown());
  EXPECT_FALSE(icon->Remove());
}

TEST(TrayIcon, TheRecordingIconPostsActivationsOnlyWhileShown) {
  Driver driver;
  TrayWindow window;
  ASSERT_TRUE(window.Create(nullptr, L"tray", WS_POPUP, RECT{0, 0, 100, 100}));
  RecordingTrayIcon icon;
  EXPECT_FALSE(icon.Activate(kTrayClick));
  ASSERT_TRUE(icon.Add(L"Kelvane.ico", L"tip", window.GetSafeHwnd(), 109, 1090));
  EXPECT_FALSE(icon.Add(L"Kelvane.ico", L"tip", window.GetSafeHwnd(), 109, 1090)) << "one icon per window";
  EXPECT_TRUE(icon.Activate(kTrayClick));
  EXPECT_TRUE(icon.Activate(kTrayContext));
  Driver::RunFor(20);
  EXPECT_EQ(window.received, (std::vector<std::pair<WPARAM, LPARAM>>{{109, 513}, {109, 517}}));
  EXPECT_TRUE(icon.Remove());
  EXPECT_FALSE(icon.Remove());
  EXPECT_FALSE(icon.Activate(kTrayClick));
  EXPECT_EQ(icon.calls, (std::vector<std::string>{"add", "add", "remove", "remove"}));

  icon.failAdd = true;
  EXPECT_FALSE(icon.Add(L"Kelvane.ico", L"tip", window.GetSafeHwnd(), 109, 1090));
  EXPECT_FALSE(icon.IsShown());
}
