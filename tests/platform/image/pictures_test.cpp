// Pictures of any format turned into screen frames, PNG writing and the shared scaler.
#include <gtest/gtest.h>
#include <png.h>

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <filesystem>

#include "platform/image/frame_image.h"
#include "platform/image/gif_maker.h"
#include "support/temp_dir.h"

namespace {

using platform::image::ConvertPictureToFrame;
using platform::image::ReadPicture;
using platform::image::ScalePixels;
using platform::image::WritePng;

constexpr int kWidth = 240, kHeight = 135;

QImage ReadBack(const std::string& path) { return QImage(QString::fromStdString(path)); }

int EntriesIn(const std::string& folder) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(PicturesTest, AnyPictureBecomesAnOpaqueScreenFrame) {
  testing_support::TempDir dir;
  QImage alpha(48, 27, QImage::Format_ARGB32);
  alpha.fill(QColor(200, 100, 40, 128));
  const std::string png = dir.path() + "alpha.png";
  ASSERT_TRUE(alpha.save(QString::fromStdString(png)));
  QImage photo(300, 300, QImage::Format_RGB32);
  photo.fill(QColor(30, 160, 220));
  const std::string jpeg = dir.path() + "photo.jpg";
  ASSERT_TRUE(photo.save(QString::fromStdString(jpeg), "JPEG", 95));
  // An animation: red, then blue; its first frame counts.
  gif_maker::Gif gif{16, 9, {0xFF0000, 0x0000FF}, {}};
  gif.images.push_back(gif_maker::Filled(0, 0, 16, 9, 0));
  gif.images.push_back(gif_maker::Filled(0, 0, 16, 9, 1));
  const std::string animated = dir.Write("moving.gif", gif_maker::Encode(gif));

  ASSERT_TRUE(ConvertPictureToFrame(png, dir.path() + "a.png", kWidth, kHeight));
  ASSERT_TRUE(ConvertPictureToFrame(jpeg, dir.path() + "b.png", kWidth, kHeight));
  ASSERT_TRUE(ConvertPictureToFrame(animated, dir.path() + "c.png", kWidth, kHeight));
  const QImage a = ReadBack(dir.path() + "a.png"), b = ReadBack(dir.path() + "b.png"),
               c = ReadBack(dir.path() + "c.png");
  for (const QImage* frame : {&a, &b, &c}) {
    EXPECT_EQ(frame->size(), QSize(kWidth, kHeight));
    EXPECT_FALSE(frame->hasAlphaChannel());
  }
  const QColor half = a.pixelColor(120, 60);  // half-transparent over black
  EXPECT_NEAR(half.red(), 100, 1);
  EXPECT_NEAR(half.green(), 50, 1);
  EXPECT_NEAR(half.blue(), 20, 1);
  const QColor sky = b.pixelColor(10, 10);
  EXPECT_NEAR(sky.red(), 30, 4);
  EXPECT_NEAR(sky.green(), 160, 4);
  EXPECT_NEAR(sky.blue(), 220, 4);
  EXPECT_EQ(c.pixel(239, 134), qRgb(255, 0, 0));

  // Not a picture: false, and nothing written (an existing target is kept).
  const std::string text = dir.Write("readme.png", "plain words");
  const std::string kept = dir.Write("kept.png", "old");
  EXPECT_FALSE(ConvertPictureToFrame(text, dir.path() + "d.png", kWidth, kHeight));
  EXPECT_FALSE(ConvertPictureToFrame(text, kept, kWidth, kHeight));
  EXPECT_FALSE(ConvertPictureToFrame(dir.path() + "none.png", dir.path() + "d.png", kWidth, kHeight));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "d.png"));
  EXPECT_EQ(testing_support::ReadFile(kept), "old");

  std::optional<platform::image::Pixels> own = ReadPicture(png);
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->width, 48);
  EXPECT_EQ(own->height, 27);
  ASSERT_EQ(own->data.size(), 48u * 27u);
  EXPECT_EQ(own->data[0] >> 24, 0u);
  EXPECT_FALSE(ReadPicture(text).has_value());
}

// The pixels libpng itself reads from `path` as 0x00RRGGBB; empty when it cannot.
std::vector<uint32_t> ReadWithLibpng(const std::string& path, int* width, int* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  std::vector<uint32_t> pixels(bytes.size() / 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(bytes[3 * i]) << 16 | static_cast<uint32_t>(bytes[3 * i + 1]) << 8 |
                bytes[3 * i + 2];
  return pixels;
}

TEST(PicturesTest, PngsAreWrittenWholeOrNotAtAll) {
  testing_support::TempDir dir;
  std::vector<uint32_t> pixels(7 * 5);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 0x050301u);
  pixels[3] |= 0xAB000000u;  // stray high bits are no alpha
  const std::string path = dir.Write("frame.png", "old contents");
  ASSERT_TRUE(WritePng(path, pixels.data(), 7, 5));
  const QImage image = ReadBack(path);
  ASSERT_EQ(image.size(), QSize(7, 5));
  EXPECT_FALSE(image.hasAlphaChannel());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(image.pixel(x, y) & 0xFFFFFFu, pixels[static_cast<size_t>(y * 7 + x)] & 0xFFFFFFu);
  EXPECT_EQ(EntriesIn(dir.path()), 1);  // no temporary file left

  // A frame of an import (written fast, not flushed) is as lossless, for libpng as for Qt.
  std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
  uint32_t noise = 99;
  for (uint32_t& p : frame) p = (noise = noise * 1103515245u + 12345u) >> 8;
  const std::string framePath = dir.path() + "import.png";
  ASSERT_TRUE(WritePng(framePath, frame.data(), kWidth, kHeight, platform::image::PngFlush::kLeaveToSystem));
  int width = 0, height = 0;
  EXPECT_EQ(ReadWithLibpng(framePath, &width, &height), frame);
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  EXPECT_EQ(platform::image::ReadFramePixels(framePath, kWidth, kHeight), frame);
  ASSERT_TRUE(std::filesystem::remove(framePath));

  EXPECT_FALSE(WritePng(dir.path() + "missing/frame.png", pixels.data(), 7, 5));
  EXPECT_FALSE(WritePng(dir.path() + "bad.png", pixels.data(), 0, 5));
  EXPECT_FALSE(WritePng(dir.path() + "bad.png", nullptr, 7, 5));
  std::filesystem::create_directory(dir.path() + "folder.png");
  EXPECT_FALSE(WritePng(dir.path() + "folder.png", pixels.data(), 7, 5));
  EXPECT_EQ(EntriesIn(dir.path()), 2);
}

TEST(PicturesTest, ScalingIsBilinearWithCentresAligned) {
  // Halving averages each 2 x 2 block, rounded.
  const std::vector<uint32_t> block = {0x000000, 0x0A0A0A, 0x010203, 0x030201,
                                       0x141414, 0x1E1E1E, 0x050607, 0x070605};
  std::vector<uint32_t> half = ScalePixels(block.data(), 4, 2, 2, 1);
  EXPECT_EQ(half, (std::vector<uint32_t>{0x0F0F0F, 0x040404}));
  // Doubling one row: edges clamp, the inner pixels are a quarter and three quarters of the way.
  const std::vector<uint32_t> row = {0x000000, 0xFF0040};
  EXPECT_EQ(ScalePixels(row.data(), 2, 1, 4, 1),
            (std::vector<uint32_t>{0x000000, 0x400010, 0xBF0030, 0xFF0040}));
  EXPECT_EQ(ScalePixels(row.data(), 2, 1, 2, 1), row);
  EXPECT_TRUE(ScalePixels(row.data(), 2, 1, 0, 1).empty());
  EXPECT_TRUE(ScalePixels(nullptr, 2, 1, 4, 1).empty());
}

}  // namespace
