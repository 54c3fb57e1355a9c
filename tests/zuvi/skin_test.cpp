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
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/tab.h"
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

namespace {

// Pixels of `area` that differ between two pictures by more than a faint shade.
int ClearlyDifferent(const QImage& a, const QImage& b, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
      if (std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                    std::abs(p.blue() - q.blue())}) > 60)
        ++count;
    }
  return count;
}

// Columns of `area` holding a pixel that differs clearly from the area's corner (text).
std::vector<int> InkColumns(const QImage& image, const QRect& area) {
  const QColor back = image.pixelColor(area.topLeft());
  std::vector<int> columns;
  for (int x = area.left(); x <= area.right(); ++x)
    for (int y = area.top(); y <= area.bottom(); ++y) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.lightness() - back.lightness()) > 60) {
        columns.push_back(x);
        break;
      }
    }
  return columns;
}

}  // namespace

TEST_F(SkinTest, WithoutTheirSkinCheckedButtonsDifferClearlyFromUncheckedOnes) {
  ASSERT_TRUE(window.CreatePopup());
  struct Case {
    const wchar_t* className;
    const wchar_t* title;
    int align;
  };
  const Case cases[] = {{L"CCheckButton", L"Start at login", 0},
                        {L"CRadioButton", L"One frame", 0},
                        {L"CRadioButton", L"\u2192", 1},
                        {L"CSwitchButton", L"", 0},
                        {L"KeyLayerButton", L"Media", 1}};
  const std::string file = dir.path() + "check.png";
  int id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::wstring(c.className) + L" " + c.title);
    const RECT rect{20, 5 + 38 * (id - 1), 180, 35 + 38 * (id - 1)};
    auto* box = dynamic_cast<CCheckButton*>(window.CreateControl(c.className, id++, rect, c.title));
    ASSERT_NE(box, nullptr);
    box->SetImage(L"btn_checkbox.png", 8);  // not shipped
    box->SetAlignment(c.align);
    ASSERT_TRUE(window.RenderToPng(file));
    const QImage unchecked(QString::fromStdString(file));
    box->SetCheck(true);
    ASSERT_TRUE(window.RenderToPng(file));
    const QImage checked(QString::fromStdString(file));
    EXPECT_GT(ClearlyDifferent(unchecked, checked, QRect(rect.left, rect.top, rect.Width(), rect.Height())),
              60);
  }
}

TEST_F(SkinTest, ASliderShowsItsWholeHandleAtEveryPosition) {
  ASSERT_TRUE(window.CreatePopup());
  auto* slider = static_cast<MSlider*>(window.CreateControl(L"MSlider", 1, RECT{20, 20, 220, 40}));
  slider->SetRange(0, 600);
  const std::string file = dir.path() + "slider.png";
  std::vector<int> handles;
  for (int pos : {0, 300, 600}) {
    slider->SetPos(pos);
    ASSERT_TRUE(window.RenderToPng(file));
    const QImage picture(QString::fromStdString(file));
    int white = 0;
    for (int y = 20; y < 40; ++y)
      for (int x = 20; x < 220; ++x) white += picture.pixelColor(x, y).lightness() > 220;
    handles.push_back(white);
  }
  EXPECT_GT(handles[1], 60) << "the handle";
  EXPECT_GE(handles[0] * 10, handles[1] * 9) << "at the minimum the handle is whole";
  EXPECT_GE(handles[2] * 10, handles[1] * 9) << "at the maximum the handle is whole";
}

TEST_F(SkinTest, TabCaptionsBreakAndShrinkToFitTheirItem) {
  ASSERT_TRUE(window.CreatePopup());
  const wchar_t* captions[] = {L"Key Assignment", L"Lighting", L"Beleuchtungseffekte"};
  auto* tabs = static_cast<MTabCtrl*>(window.CreateControl(L"MTabCtrl", 1, RECT{10, 10, 70, 190}));
  for (int i = 0; i < 3; ++i) tabs->InsertItem(i + 1, captions[i], L"", nullptr, 4, 0);
  tabs->SetItemWidth(60, 60, 1);
  tabs->SetItemHeight(60, 60, 1);
  const std::string file = dir.path() + "tabs.png";
  ASSERT_TRUE(window.RenderToPng(file));
  const QImage picture(QString::fromStdString(file));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(QString::fromWCharArray(captions[i]).toStdString());
    const std::vector<int> ink = InkColumns(picture, QRect(10, 10 + 60 * i, 60, 60));
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.front(), 12) << "nothing reaches the item's left edge";
    EXPECT_LE(ink.back(), 67) << "nothing reaches the item's right edge";
  }
}
