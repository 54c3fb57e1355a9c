// Animations written from PNG frames and read back by giflib's decoder and by Qt's GIF reader.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstring>
#include <filesystem>

#include "platform/image/gif_file.h"
#include "support/temp_dir.h"

namespace {

using platform::image::GifFrame;
using platform::image::WriteGif;

constexpr int kWidth = 240, kHeight = 135;

std::string SavePng(const testing_support::TempDir& dir, const std::string& name, const QImage& image) {
  const std::string path = dir.path() + name;
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return path;
}

// A frame of exactly `colours` distinct colours.
QImage FewColours(int colours) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t c = static_cast<uint32_t>((x / 3 + y * 80) % colours);
      image.setPixel(x, y, 0xFF000000u | (c * 0x9E3779u & 0xFFFFFFu));
    }
  return image;
}

// Smooth gradients of thousands of colours, with a white and a black block.
QImage ManyColours() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      image.setPixel(
          x, y,
          qRgb(x * 255 / (kWidth - 1), y * 255 / (kHeight - 1), (x + y) * 255 / (kWidth + kHeight - 2)));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      image.setPixel(100 + x, 50 + y, qRgb(255, 255, 255));
      image.setPixel(200 + x, 100 + y, qRgb(0, 0, 0));
    }
  return image;
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

GifPtr Slurp(const std::string& path) {
  int error = 0;
  GifPtr gif(DGifOpenFileName(path.c_str(), &error));
  if (gif && DGifSlurp(gif.get()) != GIF_OK) gif.reset();
  return gif;
}

QRgb GifPixel(const GifFileType* gif, int image, int x, int y) {
  const SavedImage& saved = gif->SavedImages[image];
  const ColorMapObject* map = saved.ImageDesc.ColorMap != nullptr ? saved.ImageDesc.ColorMap : gif->SColorMap;
  const GifColorType& c = map->Colors[saved.RasterBits[y * saved.ImageDesc.Width + x]];
  return qRgb(c.Red, c.Green, c.Blue);
}

bool LoopsForever(const GifFileType* gif) {
  const SavedImage& first = gif->SavedImages[0];
  for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
    const ExtensionBlock& name = first.ExtensionBlocks[i];
    const ExtensionBlock& data = first.ExtensionBlocks[i + 1];
    if (name.Function == APPLICATION_EXT_FUNC_CODE && name.ByteCount == 11 &&
        std::memcmp(name.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3 && data.Bytes[0] == 1)
      return data.Bytes[1] == 0 && data.Bytes[2] == 0;
  }
  return false;
}

TEST(GifExportTest, FewColoursSurviveExactlyWithDelaysAndLoop) {
  testing_support::TempDir dir;
  const QImage images[] = {FewColours(200), FewColours(2), FewColours(256), FewColours(1)};
  std::vector<GifFrame> frames;
  const int delays[] = {100, 35, 4, 0};
  for (int i = 0; i < 4; ++i)
    frames.push_back({SavePng(dir, std::to_string(i) + ".png", images[i]), delays[i]});
  const auto written = WriteGif(dir.path() + "anim", frames, kWidth, kHeight);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, dir.path() + "anim.gif");

  GifPtr gif = Slurp(*written);
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->SWidth, kWidth);
  EXPECT_EQ(gif->SHeight, kHeight);
  ASSERT_EQ(gif->ImageCount, 4);
  EXPECT_TRUE(LoopsForever(gif.get()));
  const int hundredths[] = {10, 4, 1, 1};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const GifImageDesc& desc = gif->SavedImages[i].ImageDesc;
    EXPECT_EQ(desc.Left, 0);
    EXPECT_EQ(desc.Top, 0);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(desc.Height, kHeight);
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, hundredths[i]);
    EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
    EXPECT_EQ(control.TransparentColor, NO_TRANSPARENT_COLOR);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        wrong += GifPixel(gif.get(), i, x, y) != (images[i].pixel(x, y) | 0xFF000000u);
    EXPECT_EQ(wrong, 0);
  }

  QImageReader reader(QString::fromStdString(*written));
  EXPECT_EQ(reader.imageCount(), 4);
  EXPECT_EQ(reader.loopCount(), -1);  // forever
  for (int i = 0; i < 4; ++i) {
    const QImage frame = reader.read().convertToFormat(QImage::Format_RGB32);
    // Like other players, Qt shows a delay of one hundredth as 100 ms.
    EXPECT_EQ(reader.nextImageDelay(), hundredths[i] > 1 ? hundredths[i] * 10 : 100) << i;
    EXPECT_EQ(frame, images[i]) << i;
  }
}

TEST(GifExportTest, ManyColoursStayCloseAndWhiteStaysWhite) {
  testing_support::TempDir dir;
  const QImage image = ManyColours();
  // A frame of another size is scaled to the screen first.
  const QImage small = FewColours(3).scaled(60, 30);
  const std::vector<GifFrame> frames = {{SavePng(dir, "many.png", image), 50},
                                        {SavePng(dir, "small.png", small), 50}};
  const auto written = WriteGif(dir.path() + "many.GIF", frames, kWidth, kHeight);
  ASSERT_EQ(written, dir.path() + "many.GIF");
  GifPtr gif = Slurp(*written);
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->ImageCount, 2);
  double total = 0;
  int worst = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const QRgb got = GifPixel(gif.get(), 0, x, y), want = image.pixel(x, y);
      for (int shift : {0, 8, 16}) {
        const int error =
            std::abs(static_cast<int>(got >> shift & 0xFF) - static_cast<int>(want >> shift & 0xFF));
        total += error;
        worst = std::max(worst, error);
      }
    }
  EXPECT_LT(total / (kWidth * kHeight * 3), 5.0);
  EXPECT_LE(worst, 24);
  EXPECT_EQ(GifPixel(gif.get(), 0, 115, 65), qRgb(255, 255, 255));
  EXPECT_EQ(GifPixel(gif.get(), 0, 215, 115), qRgb(0, 0, 0));
  EXPECT_EQ(gif->SavedImages[1].ImageDesc.Width, kWidth);

  QImageReader reader(QString::fromStdString(*written));
  EXPECT_EQ(reader.imageCount(), 2);
  EXPECT_EQ(reader.read().pixel(115, 65), qRgb(255, 255, 255));
}

TEST(GifExportTest, FailuresLeaveNoFileAndKeepTheOldOne) {
  testing_support::TempDir dir;
  const std::string good = SavePng(dir, "good.png", FewColours(5));
  const std::string text = dir.Write("notes.png", "not a picture");
  EXPECT_FALSE(WriteGif(dir.path() + "none.gif", {}, kWidth, kHeight).has_value());
  EXPECT_FALSE(WriteGif(dir.path() + "missing/a.gif", {{good, 100}}, kWidth, kHeight).has_value());
  EXPECT_FALSE(WriteGif(dir.path() + "size.gif", {{good, 100}}, 0, kHeight).has_value());

  const std::string old = dir.Write("old.gif", "the previous export");
  EXPECT_FALSE(WriteGif(old, {{good, 100}, {text, 100}}, kWidth, kHeight).has_value());
  EXPECT_FALSE(WriteGif(old, {{good, 100}, {dir.path() + "gone.png", 100}}, kWidth, kHeight).has_value());
  EXPECT_EQ(testing_support::ReadFile(old), "the previous export");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"good.png", "notes.png", "old.gif"}));

  // Replacing works once the frames are sound; a name with another ending gets ".gif".
  EXPECT_EQ(WriteGif(old, {{good, 100}}, kWidth, kHeight), old);
  EXPECT_NE(testing_support::ReadFile(old), "the previous export");
  EXPECT_EQ(WriteGif(dir.path() + "a.gifx", {{good, 100}}, kWidth, kHeight), dir.path() + "a.gifx.gif");
}

}  // namespace
