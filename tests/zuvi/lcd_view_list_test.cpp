// The slot list: list by row and by led_id through every way rows change, the one selection the
// list box and the slot list share, GIF files turned into frames, and frames into RGB565 data.
#include "zuvi/lcd_view_list.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <filesystem>

#include "common/strings.h"
#include "tests/platform/image/gif_maker.h"
#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/testing/driver.h"

using testing_support::TempDir;
using zuvi_testing::Driver;

namespace {

constexpr int kSlots = 323;

class LcdViewListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.CreatePopup());
    list = dynamic_cast<LCDViewList*>(window.CreateControl(L"LCDViewList", kSlots, RECT{0, 0, 200, 180}));
    ASSERT_NE(list, nullptr);
  }

  Driver driver;
  RecordingDialog window;
  LCDViewList* list = nullptr;
};

}  // namespace

TEST_F(LcdViewListTest, SlotsAreFoundByRowAndByIdAndShareTheListBoxSelection) {
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(list->AddItem(L"a", L"a/0.png", 12, 7), 0);
  EXPECT_EQ(list->AddItem(L"b", L"", 0, 9), 1);
  EXPECT_EQ(list->AddItem(L"c", L"c/0.png", 3, 11), 2);
  EXPECT_TRUE(list->SetItemLEDIdSelect(9));
  QelListBox& asList = *list;
  EXPECT_EQ(asList.GetCurSel(), 1) << "the list box sees the slot list's selection";
  EXPECT_FALSE(list->SetItemLEDIdSelect(42));
  EXPECT_EQ(list->GetCurSel(), 1) << "an unknown id leaves the selection";

  // Rows removed through the list box keep every other row's slot.
  ASSERT_TRUE(asList.DeleteString(0));
  EXPECT_EQ(list->GetItemLEDId(0), 9);
  EXPECT_EQ(list->GetItemFolder(1), L"c");
  EXPECT_EQ(list->GetItemFrameSize(1), 3);
  EXPECT_EQ(list->GetCurSel(), 0);
  ASSERT_TRUE(list->SetFrameData(0, L"b/0.png", 5));
  EXPECT_EQ(list->GetItemPicture(0), L"b/0.png");
  EXPECT_EQ(list->GetItemFrameSize(0), 5);

  // Bad rows read empty and change nothing; a row without a slot has none.
  asList.AddString(L"plain");
  for (int row : {-1, 2, 3, 99}) {
    EXPECT_EQ(list->GetItemLEDId(row), 0) << row;
    EXPECT_EQ(list->GetItemFolder(row), L"") << row;
    EXPECT_EQ(list->GetItemFrameSize(row), 0) << row;
    EXPECT_FALSE(list->SetFrameData(row, L"x", 1)) << row;
  }

  // A click selects, then reports the click; a missing picture draws the stand-in.
  window.notifications.clear();
  ASSERT_TRUE(Driver::Select(window, kSlots, 1));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(list->GetItemLEDId(list->GetCurSel()), 11);
  ASSERT_FALSE(window.notifications.empty());
  EXPECT_EQ(window.notifications.back(), (Notification{kSlots, 2, 1}));
  QImage drawn(200, 180, QImage::Format_RGB32);
  drawn.fill(Qt::white);
  QPainter painter(&drawn);
  list->Paint(painter, drawn.rect());
  EXPECT_EQ(QColor(drawn.pixel(20, 20)), QColor(0x30, 0x30, 0x30)) << "placeholder of a missing picture";
}

TEST_F(LcdViewListTest, AGifBecomesFramePicturesWithItsDelays) {
  TempDir dir;
  gif_maker::Gif animation;
  animation.width = 8, animation.height = 6;
  animation.globalMap = {0xFF0000, 0x0000FF};
  animation.images = {gif_maker::Filled(0, 0, 8, 6, 0), gif_maker::Filled(0, 0, 8, 6, 1)};
  animation.images[0].delay = 5;  // 50 ms
  animation.images[1].delay = 0;  // none given: 100 ms
  std::string gif = dir.Write("two.gif", gif_maker::Encode(animation));
  std::filesystem::create_directories(dir.path() + "slot");

  EXPECT_EQ(list->LoadGIFImageFile(Utf8ToWide(gif), dir.wpath() + L"slot/"), 2);
  EXPECT_EQ(list->GetDelayTimes(), (std::vector<int>{50, 100}));
  EXPECT_FALSE(list->LastLoadDamaged());
  QImage second(QString::fromStdString(dir.path() + "slot/1.png"));
  ASSERT_EQ(second.size(), QSize(240, 135));
  EXPECT_EQ(second.pixelColor(120, 67), QColor(0, 0, 255));

  // The delays are those of the last load: a file that is no GIF leaves none.
  std::string text = dir.Write("notes.gif", "just some text");
  EXPECT_EQ(list->LoadGIFImageFile(Utf8ToWide(text), dir.wpath() + L"slot/"), 0);
  EXPECT_TRUE(list->GetDelayTimes().empty());

  // A file cut inside its second picture keeps the first and says it was damaged.
  std::string bytes = gif_maker::Encode(animation);
  std::string cut = dir.Write("cut.gif", bytes.substr(0, bytes.size() - 8));
  std::filesystem::create_directories(dir.path() + "cut");
  EXPECT_EQ(list->LoadGIFImageFile(Utf8ToWide(cut), dir.wpath() + L"cut/"), 1);
  EXPECT_EQ(list->GetDelayTimes(), (std::vector<int>{50}));
  EXPECT_TRUE(list->LastLoadDamaged());
}

TEST_F(LcdViewListTest, AFramePictureBecomesRgb565LowByteFirst) {
  TempDir dir;
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(QColor(255, 0, 0));
  picture.setPixelColor(0, 0, QColor(0, 0, 255));
  std::string path = dir.path() + "red.png";
  ASSERT_TRUE(picture.save(QString::fromStdString(path)));

  std::vector<std::uint8_t> data(240 * 135 * 2, 0xAA);
  ASSERT_TRUE(list->GetImageRGB565Data(Utf8ToWide(path), data, 240, 135));
  size_t middle = 2 * (67 * 240 + 120);
  EXPECT_EQ(data[middle], 0x00);
  EXPECT_EQ(data[middle + 1], 0xF8);  // red 0xF800
  EXPECT_EQ(data[0], 0x1F) << "blue in the top-left corner";
  EXPECT_EQ(data[1], 0x00);

  // Too small a destination, a missing file or a bad size write nothing.
  std::vector<std::uint8_t> small(240 * 135 * 2 - 1, 0xAA);
  EXPECT_FALSE(list->GetImageRGB565Data(Utf8ToWide(path), small, 240, 135));
  EXPECT_FALSE(list->GetImageRGB565Data(dir.wpath() + L"none.png", data, 240, 135));
  EXPECT_FALSE(list->GetImageRGB565Data(Utf8ToWide(path), data, 0, 135));
  EXPECT_EQ(std::count(small.begin(), small.end(), 0xAA), static_cast<std::ptrdiff_t>(small.size()));
}
