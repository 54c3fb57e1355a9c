// The custom light view: working state changed on checked keys only, reset, copies independent
// of the view, clicks that toggle checks without reporting, frames from the clock drawn at the
// keys' centres, and a worker editing the view while the UI thread draws.
#include "zuvi/custom_light_mode.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

const RECT kViewRect{20, 30, 280, 130};
constexpr int kA = 4, kB = 5, kWide = 44;

class CustomLightModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.CreatePopup());
    view = dynamic_cast<CustomLightMode*>(window.CreateControl(L"CustomLightMode", 144, kViewRect));
    ASSERT_NE(view, nullptr);
    view->SetWidthAndHeight(50, 40);
    view->AddKeyItem(L"A", L"", kA, RECT{0, 0, 20, 20}, L"");
    view->AddKeyItem(L"B", L"", kB, RECT{25, 0, 45, 20}, L"");
    view->AddKeyItem(L"Space", L"", kWide, RECT{0, 20, 50, 40}, L"");
  }

  const CustomLightItem& Item(const std::vector<CustomLightItem>& items, int code) {
    for (const CustomLightItem& item : items)
      if (item.code == code) return item;
    ADD_FAILURE() << code;
    return items.front();
  }

  Driver driver;
  RecordingDialog window;
  CustomLightMode* view = nullptr;
};

TEST_F(CustomLightModeTest, CheckedKeyOperationsTouchOnlyCheckedKeysAndResetClearsContents) {
  view->SetKeyInfo(kWide, 9, 0x112233, 6, 1);
  view->SetKeyCheck(kA, true);
  view->SetKeyCheck(kB, true);
  view->SetKeyCheck(kB, false);
  view->SetCheckKeyColor(0x0000FF, 1);
  view->SetKeyLightMode(7);
  view->SetCheckColorType(0);
  std::vector<CustomLightItem> items = view->GetKeyItems();
  EXPECT_TRUE(Item(items, kA).checked);
  EXPECT_EQ(Item(items, kA).color, 0x0000FFu);
  EXPECT_EQ(Item(items, kA).effect, 7);
  EXPECT_EQ(Item(items, kA).colorType, 0);
  EXPECT_EQ(Item(items, kB).color, 0u);
  EXPECT_EQ(Item(items, kB).effect, 0);
  EXPECT_EQ(Item(items, kWide).color, 0x112233u);
  EXPECT_EQ(Item(items, kWide).effect, 9);
  EXPECT_EQ(Item(items, kWide).type, 6);
  EXPECT_EQ(Item(items, kWide).colorType, 1);
  view->SetKeyInfo(99, 1, 1, 1, 1);  // an unknown key changes nothing
  EXPECT_EQ(view->GetKeyItems(), items);

  // A copy stays as it was when the view changes.
  view->ResetAllItemsColor(0xABCDEF);
  EXPECT_EQ(Item(items, kB).color, 0u);
  for (const CustomLightItem& item : view->GetKeyItems()) EXPECT_EQ(item.color, 0xABCDEFu);

  view->ResetAllItemCheck(true);
  view->ResetAllKeyInfo();
  for (const CustomLightItem& item : view->GetKeyItems()) {
    EXPECT_TRUE(item.checked) << "checks are not contents";
    EXPECT_EQ(item.color, 0u);
    EXPECT_EQ(item.effect, 0);
    EXPECT_EQ(item.colorType, 0);
    EXPECT_EQ(item.type, 0);
  }
  view->ResetAllItemCheck(false);
  for (const CustomLightItem& item : view->GetKeyItems()) EXPECT_FALSE(item.checked);
}

TEST_F(CustomLightModeTest, FramesFollowTheClockPerEffectAndSpeed) {
  // Speed 0 at 16384 ms: phase 64, breathing level 128; speed 1 at the same time: phase 128, 254.
  view->SetKeyInfo(kA, 1, 0x0000FF, 0, 0);
  view->SetKeyInfo(kB, 7, 0x00FF00, 0, 0);
  view->SetKeyInfo(kWide, 7, 0x00FF00, 0, 1);
  view->SetSpeed(0);
  view->UpdateLightEffect(16384);
  std::vector<CustomLightItem> items = view->GetKeyItems();
  EXPECT_EQ(Item(items, kA).frame, (light_effect::Frame{0x0000FF, 1, 255}));
  EXPECT_EQ(Item(items, kB).frame, (light_effect::Frame{0x00FF00, 7, 128}));
  // Colour type 1 breathes through the hues: at 64, h = 384, sector 1, f = 128: (127, 255, 0).
  EXPECT_EQ(Item(items, kWide).frame, (light_effect::Frame{0x00FF7F, 7, 128}));
  view->SetSpeed(1);
  view->UpdateLightEffect(16384);
  EXPECT_EQ(Item(view->GetKeyItems(), kB).frame.level, 254);
  // An effect beyond the list sweeps: the key at the left edge (u 0) shows H(phase 128).
  view->SetKeyInfo(kA, 12345, 0, 0, 0);
  view->UpdateLightEffect(16384);
  EXPECT_EQ(Item(view->GetKeyItems(), kA).frame, (light_effect::Frame{0xFFFF00, 1, 255}));
  // Speeds from a foreign store are clamped: 1000 runs as 100.
  view->SetSpeed(1000);
  view->UpdateLightEffect(256);
  EXPECT_EQ(Item(view->GetKeyItems(), kB).frame.level, light_effect::Triangle(101));

  // The settings page's whole-keyboard effects win until the contents are reset.
  view->SetColorEffect(0xFFFFFF);
  view->UpdateLightEffect(5000);
  for (const CustomLightItem& item : view->GetKeyItems())
    EXPECT_EQ(item.frame, (light_effect::Frame{0xFFFFFF, 1, 255}));
  view->ResetAllKeyInfo();
  view->UpdateLightEffect(5000);
  for (const CustomLightItem& item : view->GetKeyItems()) EXPECT_EQ(item.frame.state, 0);
}

TEST_F(CustomLightModeTest, AClickTogglesTheKeysCheckWithoutReporting) {
  const std::optional<POINT> a = view->KeyPoint(kA);
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->x, 112);  // the picture scaled 2.5 and centred, as the key view maps it
  ASSERT_TRUE(Driver::ClickAt(window, 144, *a));
  EXPECT_TRUE(Item(view->GetKeyItems(), kA).checked);
  ASSERT_TRUE(Driver::ClickAt(window, 144, *view->KeyPoint(kWide)));
  ASSERT_TRUE(Driver::ClickAt(window, 144, *a));
  ASSERT_TRUE(Driver::ClickAt(window, 144, POINT{kViewRect.left + 5, kViewRect.top + 5}));  // letterbox
  const std::vector<CustomLightItem> items = view->GetKeyItems();
  EXPECT_FALSE(Item(items, kA).checked);
  EXPECT_TRUE(Item(items, kWide).checked);
  EXPECT_FALSE(Item(items, kB).checked);
  Driver::RunFor(5);
  EXPECT_TRUE(window.notifications.empty());
}

TEST_F(CustomLightModeTest, TheDrawnKeysShowTheirFrameColourAtTheirCentres) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  testing_support::TempDir dir;
  const std::string folder = wanted && *wanted ? std::string(wanted) + "/" : dir.path();
  view->SetKeyInfo(kA, 1, 0x0000FF, 0, 0);  // red
  view->SetKeyInfo(kB, 7, 0xFF0000, 0, 0);  // blue, breathing at level 128
  view->SetKeyCheck(kWide, true);
  view->SetSpeed(0);
  view->UpdateLightEffect(16384);
  window.ShowWindow(SW_SHOW);
  Driver::RunFor(5);
  const std::string file = folder + "custom-light-mode.png";
  ASSERT_TRUE(window.RenderToPng(file));
  QImage image(QString::fromStdString(file));
  ASSERT_FALSE(image.isNull());
  const QPoint a(view->KeyPoint(kA)->x, view->KeyPoint(kA)->y);
  const QPoint b(view->KeyPoint(kB)->x, view->KeyPoint(kB)->y);
  const QPoint wide(view->KeyPoint(kWide)->x, view->KeyPoint(kWide)->y);
  EXPECT_EQ(image.pixelColor(a), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(b), QColor(0, 0, 127));
  const QColor dark = image.pixelColor(wide);
  EXPECT_LT(dark.red() + dark.green() + dark.blue(), 90) << "an unlit key is dark";
}

TEST_F(CustomLightModeTest, AWorkerEditsTheViewWhileTheUiThreadDrawsAndAnimates) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int round = 0; round < 400; ++round) {
      view->ResetAllItemCheck(round % 2 == 0);
      view->SetCheckKeyColor(static_cast<std::uint32_t>(round), round % 2);
      view->SetKeyInfo(kWide, round % 13, 0x102030, round, 1);
      if (round % 50 == 0) {
        view->ClearItem();
        view->AddKeyItem(L"A", L"", kA, RECT{0, 0, 20, 20}, L"");
        view->AddKeyItem(L"B", L"", kB, RECT{25, 0, 45, 20}, L"");
        view->AddKeyItem(L"Space", L"", kWide, RECT{0, 20, 50, 40}, L"");
      }
    }
    done = true;
  });
  int draws = 0;
  std::int64_t now = 0;
  while (!done || draws < 5) {
    view->UpdateLightEffect(now += 40);
    QImage image(kViewRect.Width(), kViewRect.Height(), QImage::Format_ARGB32);
    QPainter painter(&image);
    view->Paint(painter, image.rect());
    ++draws;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  worker.join();
  EXPECT_EQ(view->GetKeyItems().size(), 3u);
}

}  // namespace
