// The shipped icon loads, and the main window and its dialogs draw. Set KELVANE_PICTURE_DIR to
// keep the pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <filesystem>

#include "platform/autostart.h"
#include "shell/main_sys_set_dlg.h"
#include "shell/software_update_dlg.h"
#include "tests/shell/main_dlg_support.h"

using main_dlg_testing::MainDlgTest;

namespace {

std::string PictureDir(const testing_support::TempDir& fallback) {
  const char* keep = std::getenv("KELVANE_PICTURE_DIR");
  return keep ? std::string(keep) + "/" : fallback.path();
}

}  // namespace

TEST(ShippedIcon, HoldsA16And32PixelPicture) {
  QImageReader reader(
      QString::fromStdString(std::string(KELVANE_SOURCE_DIR) + "data/skins/default/Kelvane.ico"));
  std::vector<int> sizes;
  for (int i = 0; i < reader.imageCount(); ++i) {
    reader.jumpToImage(i);
    QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.width(), image.height());
    sizes.push_back(image.width());
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 32}));
}

TEST_F(MainDlgTest, TheMainWindowAndItsDialogsRender) {
  testing_support::TempDir out;
  const std::string dir = PictureDir(out);
  WriteConfig(main_dlg_testing::kTwoKeyboards);
  Open();  // no keyboard: a keyboard window would cover the whole client area
  EXPECT_TRUE(main->RenderToPng(dir + "main_dlg.png"));

  platform::FakeAutostart autostart;
  autostart.enabled = true;
  platform::SetAutostart(&autostart);
  MainSysSetDlg settings;
  ASSERT_TRUE(settings.Create(nullptr, L"MainSysSetDlg", WS_POPUP | WS_VISIBLE, 0, RECT{0, 0, 500, 300}));
  EXPECT_TRUE(settings.RenderToPng(dir + "main_sys_set_dlg.png"));
  settings.DestroyWindow();
  // The dialog's face stands apart from the main window it opens over.
  const QColor face = QImage(QString::fromStdString(dir + "main_sys_set_dlg.png")).pixelColor(250, 70);
  const QColor under = QImage(QString::fromStdString(dir + "main_dlg.png")).pixelColor(600, 100);
  EXPECT_GT(std::abs(face.lightness() - under.lightness()), 15);
  platform::SetAutostart(nullptr);

  SoftwareUpdateDlg update(L"1.2.0.0");
  ASSERT_TRUE(update.Create(nullptr, L"CustomKeyDlg", WS_POPUP | WS_VISIBLE, 0, RECT{0, 0, 500, 230}));
  EXPECT_TRUE(update.RenderToPng(dir + "software_update_dlg.png"));
  update.DestroyWindow();
  for (const char* name : {"main_dlg.png", "main_sys_set_dlg.png", "software_update_dlg.png"})
    EXPECT_GT(std::filesystem::file_size(dir + name), 1000u) << name;
}
