// Controls called from worker threads while the UI thread runs, and rendering windows to PNG.
#include <gtest/gtest.h>

#include <QImage>
#include <atomic>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/buttons.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

TEST(ThreadsTest, WorkersUpdateControlsWhileTheUiThreadDrawsAndNotifies) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  auto* list = static_cast<QelListBox*>(window.CreateControl(L"QelListBox", 77, RECT{0, 0, 200, 150}));
  auto* text = static_cast<MText*>(window.CreateControl(L"MText", 32, RECT{0, 160, 200, 190}));
  auto* check = static_cast<CCheckButton*>(window.CreateControl(L"CCheckButton", 283, RECT{210, 0, 290, 30}));
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; !stop; ++i) {
        list->AddString(L"row " + std::to_wstring(i), i);
        if (list->GetItemCount() > 20) list->ResetContent();
        list->SetCurData(i / 2);
        text->SetTitle(L"pass " + std::to_wstring(i + t));
        check->SetCheck(i % 2 == 0);
        check->SetEnabled(i % 3 != 0);
        window.GetControl(77)->SetRect(RECT{0, 0, 200, 150 - i % 5});
      }
    });
  int clicks = 0;
  for (int i = 0; i < 40; ++i) {
    clicks += Driver::Click(window, 283) ? 1 : 0;
    Driver::RunFor(5);
    window.RenderToPng("/dev/null");  // draws every control while the workers write
  }
  stop = true;
  for (auto& worker : workers) worker.join();
  Driver::RunFor(20);
  EXPECT_EQ(static_cast<int>(window.notifications.size()), clicks);
  EXPECT_EQ(text->GetTitle().rfind(L"pass ", 0), 0u);
}

TEST(ThreadsTest, AWorkerMayOutliveTheWindowsWidgets) {
  Driver driver;
  auto window = std::make_unique<RecordingDialog>();
  ASSERT_TRUE(window->CreatePopup());
  auto* text = static_cast<MText*>(window->CreateControl(L"MText", 1, RECT{0, 0, 50, 20}));
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) text->SetTitle(L"still here");
  });
  Driver::RunFor(20);
  window->DestroyWindow();  // the worker goes on with the control's state
  Driver::RunFor(20);
  stop = true;
  worker.join();
  window.reset();
  Driver::RunFor(20);
}

TEST(ThreadsTest, MenusPostTheChoiceToTheirOwner) {
  Driver driver;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  MenuWnd menu(window.GetSafeHwnd(), 0x722, 30, 150, 1);
  menu.AddMenu(605, L"Delete");
  menu.AddMenu(606, L"Rename");
  driver.AnswerNextMenu(606);
  EXPECT_EQ(menu.TrackPopup(POINT{0, 0}), 606);
  driver.AnswerNextMenu(0);
  EXPECT_EQ(menu.TrackPopup(POINT{0, 0}), 0);
  Driver::RunUntil([&] { return !window.messages.empty(); });
  EXPECT_EQ(window.messages, (std::vector<UINT>{0x722}));
  MenuWnd empty(window.GetSafeHwnd(), 0x722);
  EXPECT_EQ(empty.TrackPopup(POINT{0, 0}), 0) << "an empty menu is not shown";
}

TEST(ThreadsTest, AWindowRendersToPngWithoutADisplay) {
  Driver driver;
  testing_support::TempDir dir;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  auto* area = static_cast<CArea*>(window.CreateArea(L"CArea", 30, RECT{0, 0, 100, 100}));
  area->SetTransparent(255, 0, 0x3366CC);
  window.CreateControl(L"MButton", 33, RECT{120, 20, 220, 52}, L"OK");  // no skin: plain Qt look
  std::string file = dir.path() + "window.png";
  ASSERT_TRUE(window.RenderToPng(file));
  QImage image(QString::fromStdString(file));
  ASSERT_EQ(image.size(), QSize(300, 200));
  EXPECT_EQ(image.pixelColor(50, 50), QColor(0x33, 0x66, 0xCC));
  window.DestroyWindow();
  EXPECT_FALSE(window.RenderToPng(file));
}
