// Skin images and colours as the windows see them drawn: the skin folder, path spellings, state
// slices, the plain fallback and alpha.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/folders.h"
#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/buttons.h"
#include "zuvi/internal.h"
#include "zuvi/manager.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

// An image of `states` slices of 10 x 10, slice i filled with colours[i].
void WriteStrip(const std::string& file, const std::vector<QColor>& colours) {
  QImage image(10 * static_cast<int>(colours.size()), 10, QImage::Format_ARGB32);
  for (size_t i = 0; i < colours.size(); ++i)
    for (int x = 0; x < 10; ++x)
      for (int y = 0; y < 10; ++y) image.setPixelColor(static_cast<int>(i) * 10 + x, y, colours[i]);
  ASSERT_TRUE(image.save(QString::fromStdString(file)));
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAppDirOverride(dir.path());
    std::filesystem::create_directories(dir.path() + "skins/default/icon");
  }
  void TearDown() override {
    platform::SetAppDirOverride("");
    Manager::SetTheme(L"default");
  }
  QColor PixelOf(MDialog& window, int x, int y) {
    std::string file = dir.path() + "shot.png";
    EXPECT_TRUE(window.RenderToPng(file));
    return QImage(QString::fromStdString(file)).pixelColor(x, y);
  }

  Driver driver;
  testing_support::TempDir dir;
  RecordingDialog window;
};

}  // namespace

TEST_F(SkinTest, PathsResolveAgainstTheThemesFolderWhateverTheirSlashes) {
  std::wstring skins = dir.wpath() + L"skins/";
  EXPECT_EQ(Manager::GetSkinDir(), skins + L"default/");
  EXPECT_EQ(zuvi_internal::NormaliseSkinPath(L"icon\\tab_light.png"), skins + L"default/icon/tab_light.png");
  EXPECT_EQ(zuvi_internal::NormaliseSkinPath(L"logo//logo.png"), skins + L"default/logo/logo.png");
  EXPECT_EQ(zuvi_internal::NormaliseSkinPath(L"/abs/pic.png"), L"/abs/pic.png");
  Manager::SetTheme(L"dark");
  EXPECT_EQ(zuvi_internal::NormaliseSkinPath(L"a.png"), skins + L"dark/a.png");

  WriteStrip(dir.path() + "skins/default/icon/tab_light.png", {Qt::red});
  Manager::SetTheme(L"default");
  EXPECT_FALSE(zuvi_internal::LoadSkinImage(L"icon\\\\tab_light.png").isNull());
  EXPECT_TRUE(zuvi_internal::LoadSkinImage(L"icon/missing.png").isNull());
}

TEST_F(SkinTest, AButtonDrawsTheSliceOfItsStateAndACheckedOneTheSecondHalf) {
  WriteStrip(dir.path() + "skins/default/btn.png", {Qt::red, Qt::green, Qt::blue, Qt::gray});
  WriteStrip(dir.path() + "skins/default/check.png",
             {Qt::red, Qt::red, Qt::red, Qt::red, Qt::yellow, Qt::yellow, Qt::yellow, Qt::cyan});
  ASSERT_TRUE(window.CreatePopup());
  auto* button = static_cast<MButton*>(window.CreateControl(L"MButton", 1, RECT{0, 0, 40, 40}));
  button->SetImage(L"btn.png", 4);
  auto* check = static_cast<CCheckButton*>(window.CreateControl(L"CCheckButton", 2, RECT{50, 0, 90, 40}));
  check->SetImage(L"check.png", 8);
  EXPECT_EQ(PixelOf(window, 5, 5), QColor(Qt::red));
  EXPECT_EQ(PixelOf(window, 55, 5), QColor(Qt::red));
  button->SetEnabled(false);
  check->SetCheck(true);
  EXPECT_EQ(PixelOf(window, 5, 5), QColor(Qt::gray)) << "disabled: the fourth slice";
  EXPECT_EQ(PixelOf(window, 55, 5), QColor(Qt::yellow));
  check->SetEnabled(false);
  EXPECT_EQ(PixelOf(window, 55, 5), QColor(Qt::cyan));
}

TEST_F(SkinTest, AMissingImageFallsBackToAPlainButtonWithItsText) {
  ASSERT_TRUE(window.CreatePopup());
  window.CreateControl(L"CImageButton", 1, RECT{0, 0, 100, 40}, L"Apply");
  static_cast<MControl*>(window.GetControl(1))->SetImage(L"nowhere.png", 4);
  QColor face = PixelOf(window, 50, 3);
  EXPECT_GT(face.lightness(), 150) << "a plain light button face, not the dark window";
}

TEST_F(SkinTest, AlphaFEAndFFDrawOpaqueAndOthersBlend) {
  EXPECT_EQ(zuvi_internal::ToQColor(0xFEFFFFFF).alpha(), 255);
  EXPECT_EQ(zuvi_internal::ToQColor(0xFF102030), QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(zuvi_internal::ToQColor(0x80FF0000).alpha(), 0x80);
  ASSERT_TRUE(window.CreatePopup());
  auto* text =
      static_cast<MText*>(window.CreateArea(L"MText", 31, RECT{0, 0, 300, 100}, L"\u2588\u2588\u2588"));
  text->SetTextColor(0xFE00FF00);
  text->SetFont(L"", 60);
  text->SetAlignment(1);
  EXPECT_EQ(PixelOf(window, 150, 50), QColor(0, 255, 0));
}
