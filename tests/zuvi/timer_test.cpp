// Window timers and animation ticks.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/zuvi/recording_dialog.h"
#include "zuvi/manager.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

TEST(TimerTest, ATimerRepeatsUntilKilledAndKillingItInsideOnTimerStopsIt) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  window.onTimer = [](RecordingDialog& w, UINT id) {
    if (id == 200) w.KillTimer(200);  // a one-shot, as the firmware check uses it
  };
  window.SetTimer(100, 10);
  window.SetTimer(200, 10);
  Driver::RunUntil([&] { return std::count(window.timers.begin(), window.timers.end(), 100u) >= 3; });
  Driver::RunFor(60);
  EXPECT_GE(std::count(window.timers.begin(), window.timers.end(), 100u), 3);
  EXPECT_EQ(std::count(window.timers.begin(), window.timers.end(), 200u), 1);
  EXPECT_FALSE(window.IsTimerActive(200));
  EXPECT_FALSE(Driver::FireTimer(window, 200));

  window.KillTimer(100);
  size_t count = window.timers.size();
  Driver::RunFor(50);
  EXPECT_EQ(window.timers.size(), count);
}

TEST(TimerTest, TimersStartedFromAWorkerRunOnTheUiThreadAndEndWithTheWindow) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  std::atomic<bool> onUiThread{true};
  window.onTimer = [&](RecordingDialog&, UINT) { onUiThread = onUiThread && Manager::IsUiThread(); };
  std::thread([&] { window.SetTimer(7, 5); }).join();
  EXPECT_TRUE(Driver::RunUntil([&] { return window.timers.size() >= 2; }));
  EXPECT_TRUE(onUiThread);
  window.DestroyWindow();
  size_t count = window.timers.size();
  Driver::RunFor(40);
  EXPECT_EQ(window.timers.size(), count);
  EXPECT_FALSE(window.SetTimer(7, 5));
}

TEST(TimerTest, AnimationTicksMoveARunningGifOnly) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  auto* gif = static_cast<CGifPicture*>(window.CreateControl(L"CGifPicture", 5, RECT{0, 0, 20, 20}));
  ASSERT_NE(gif, nullptr);
  gif->SetImage(L"" KELVANE_SOURCE_DIR "tests/zuvi/data/two_frames.gif");
  ASSERT_EQ(gif->GetFrameCount(), 2);
  window.SetMTimer(10);
  Driver::RunFor(80);
  EXPECT_EQ(gif->GetFrameIndex(), 0) << "not running yet";
  gif->SetRunState(true);
  EXPECT_TRUE(Driver::RunUntil([&] { return gif->GetFrameIndex() == 1; }));
}
