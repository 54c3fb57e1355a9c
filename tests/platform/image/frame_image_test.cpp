// Frame files read as screen pixels and packed for the keyboard: PNGs written here with QImage.
#include "platform/image/frame_image.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <cstdio>

#include "device/LcdAnimation.h"
#include "support/temp_dir.h"

namespace {

using platform::image::ReadFramePixels;

std::string SavePng(const testing_support::TempDir& dir, const std::string& name, const QImage& image) {
  const std::string path = dir.path() + name;
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return path;
}

uint16_t PixelAt(const std::vector<uint8_t>& frame, int x, int y) {
  const size_t at = 2 * (static_cast<size_t>(LCD_WIDTH) * static_cast<size_t>(y) + static_cast<size_t>(x));
  return static_cast<uint16_t>(frame[at] | frame[at + 1] << 8);  // low byte first
}

TEST(FrameImageTest, CornersLandAtTheirPositionsLowByteFirst) {
  testing_support::TempDir dir;
  QImage image(LCD_WIDTH, LCD_HEIGHT, QImage::Format_RGB32);
  image.fill(QColor(0, 0, 0));
  image.setPixelColor(0, 0, QColor(255, 0, 0));
  image.setPixelColor(LCD_WIDTH - 1, 0, QColor(0, 255, 0));
  image.setPixelColor(0, LCD_HEIGHT - 1, QColor(0, 0, 255));
  image.setPixelColor(LCD_WIDTH - 1, LCD_HEIGHT - 1, QColor(255, 255, 255));
  image.setPixelColor(7, 3, QColor(0x12, 0x34, 0x56));
  auto pixels = ReadFramePixels(SavePng(dir, "corners.png", image), LCD_WIDTH, LCD_HEIGHT);
  ASSERT_TRUE(pixels.has_value());
  std::vector<uint8_t> frame(kLcdFrameBytes);
  ASSERT_TRUE(PackRgb565Frame(*pixels, frame));
  EXPECT_EQ(PixelAt(frame, 0, 0), 0xF800);
  EXPECT_EQ(PixelAt(frame, LCD_WIDTH - 1, 0), 0x07E0);
  EXPECT_EQ(PixelAt(frame, 0, LCD_HEIGHT - 1), 0x001F);
  EXPECT_EQ(PixelAt(frame, LCD_WIDTH - 1, LCD_HEIGHT - 1), 0xFFFF);
  // 0x12 >> 3 = 2, 0x34 >> 2 = 13, 0x56 >> 3 = 10: truncated, not rounded.
  EXPECT_EQ(PixelAt(frame, 7, 3), (2 << 11) | (13 << 5) | 10);
  EXPECT_EQ(frame[2 * (LCD_WIDTH - 1)], 0xE0);  // the green corner's low byte comes first
  EXPECT_EQ(frame[2 * (LCD_WIDTH - 1) + 1], 0x07);
  EXPECT_EQ(PixelAt(frame, 1, 1), 0);
}

TEST(FrameImageTest, OtherSizesAreScaledAndAlphaIsOverBlack) {
  testing_support::TempDir dir;
  QImage small(37, 300, QImage::Format_RGB32);  // neither side right, aspect ignored
  small.fill(QColor(0x20, 0x40, 0x80));
  auto pixels = ReadFramePixels(SavePng(dir, "small.png", small), LCD_WIDTH, LCD_HEIGHT);
  ASSERT_TRUE(pixels.has_value());
  ASSERT_EQ(pixels->size(), kLcdPixels);
  for (uint32_t p : *pixels) ASSERT_EQ(p, 0x204080u);

  QImage clear(LCD_WIDTH, LCD_HEIGHT, QImage::Format_ARGB32);
  clear.fill(QColor(255, 255, 255, 0));
  clear.setPixelColor(5, 5, QColor(200, 100, 0, 128));
  pixels = ReadFramePixels(SavePng(dir, "alpha.png", clear), LCD_WIDTH, LCD_HEIGHT);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ((*pixels)[0], 0u);  // fully transparent white is black
  const uint32_t half = (*pixels)[5 * LCD_WIDTH + 5];
  EXPECT_NEAR(static_cast<int>(half >> 16 & 0xFF), 100, 1);
  EXPECT_NEAR(static_cast<int>(half >> 8 & 0xFF), 50, 1);
  EXPECT_EQ(half & 0xFF, 0u);
}

TEST(FrameImageTest, UnreadableFilesGiveNothing) {
  testing_support::TempDir dir;
  QImage good(LCD_WIDTH, LCD_HEIGHT, QImage::Format_RGB32);
  good.fill(Qt::red);
  const std::string path = SavePng(dir, "good.png", good);
  std::string bytes;
  {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    std::fclose(f);
  }
  const std::string truncated = dir.Write("truncated.png", bytes.substr(0, bytes.size() / 2));
  const std::string garbage = dir.Write("garbage.png", "\x89PNG\r\n\x1a\nthis is no picture");
  const std::string empty = dir.Write("empty.png", "");
  for (const std::string& bad :
       {truncated, garbage, empty, dir.path() + "missing.png", dir.path(), std::string()})
    EXPECT_FALSE(ReadFramePixels(bad, LCD_WIDTH, LCD_HEIGHT).has_value()) << bad;
  EXPECT_FALSE(ReadFramePixels(path, 0, LCD_HEIGHT).has_value());
}

}  // namespace
