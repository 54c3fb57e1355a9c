// GIF files made by giflib's encoder (broken ones edited byte by byte), decoded into PNG frames.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <filesystem>

#include "platform/image/gif_file.h"
#include "platform/image/gif_maker.h"
#include "support/temp_dir.h"

namespace {

using gif_maker::Filled;
using platform::image::GifImport;
using platform::image::ImportGif;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;
const std::vector<uint32_t> kMap = {kRed, kBlue, kGreen, kWhite};

QImage Frame(const std::string& folder, int index) {
  return QImage(QString::fromStdString(folder + std::to_string(index) + ".png"));
}

uint32_t At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// The PNGs in `folder`, which must be exactly 0.png .. count-1.png.
int CountFrames(const std::string& folder) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++files;
  }
  for (int i = 0; i < files; ++i)
    if (!std::filesystem::exists(folder + std::to_string(i) + ".png")) return -1;
  return files;
}

TEST(GifImportTest, DisposalTransparencyAndClippingFollowTheCanvas) {
  testing_support::TempDir dir;
  gif_maker::Gif gif{8, 8, kMap, {}};
  gif.images.push_back(Filled(0, 0, 8, 8, 0));  // red everywhere, no control extension
  gif.images.back().disposal = DISPOSE_DO_NOT;
  gif.images.push_back(Filled(2, 2, 2, 2, 1));  // blue square, cleared to black after it
  gif.images.back().disposal = DISPOSE_BACKGROUND;
  gif.images.push_back(Filled(0, 0, 1, 1, 2));  // green corner, undone after it
  gif.images.back().disposal = DISPOSE_PREVIOUS;
  gif_maker::Image last = Filled(6, 6, 4, 4, 3);  // white, reaching past the canvas, one pixel see-through
  last.indexes[0] = 1;
  last.transparent = 1;
  gif.images.push_back(last);
  gif.images.push_back(Filled(0, 7, 1, 1, 1));  // after an image of no disposal, which stays
  const std::string path = dir.Write("disposal.gif", gif_maker::Encode(gif));
  const std::string out = dir.path() + "out/";
  std::filesystem::create_directory(out);

  const GifImport result = ImportGif(path, out, 8, 8);
  ASSERT_EQ(result.frames, 5);
  EXPECT_FALSE(result.damaged);
  EXPECT_EQ(CountFrames(out), 5);
  const QImage f0 = Frame(out, 0), f1 = Frame(out, 1), f2 = Frame(out, 2), f3 = Frame(out, 3);
  ASSERT_EQ(f3.size(), QSize(8, 8));
  EXPECT_FALSE(f3.hasAlphaChannel());
  EXPECT_EQ(At(f0, 3, 3), kRed);
  EXPECT_EQ(At(f1, 2, 2), kBlue);
  EXPECT_EQ(At(f1, 3, 3), kBlue);
  EXPECT_EQ(At(f1, 4, 4), kRed);
  EXPECT_EQ(At(f2, 0, 0), kGreen);
  EXPECT_EQ(At(f2, 2, 2), 0u);  // the blue square's area went black
  EXPECT_EQ(At(f2, 3, 3), 0u);
  EXPECT_EQ(At(f3, 0, 0), kRed);  // the green corner was undone
  EXPECT_EQ(At(f3, 2, 2), 0u);
  EXPECT_EQ(At(f3, 6, 6), kRed);  // transparent index
  EXPECT_EQ(At(f3, 7, 6), kWhite);
  EXPECT_EQ(At(f3, 7, 7), kWhite);
  EXPECT_EQ(At(f3, 5, 5), kRed);
  const QImage f4 = Frame(out, 4);
  EXPECT_EQ(At(f4, 7, 7), kWhite);
  EXPECT_EQ(At(f4, 0, 7), kBlue);
}

TEST(GifImportTest, InterlacedRowsDelaysAndScaling) {
  testing_support::TempDir dir;
  // Eleven rows of distinct colours, sent interlaced: each must land on its own row.
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 11; ++i) colours.push_back(0x101010u * (i + 1));
  gif_maker::Gif gif{3, 11, colours, {}};
  gif_maker::Image image;
  image.width = 3, image.height = 11, image.interlace = true;
  for (uint8_t y = 0; y < 11; ++y) image.indexes.insert(image.indexes.end(), 3, y);
  for (int delay : {0, 1, 2, 7, 300, -1}) {
    image.delay = delay;
    gif.images.push_back(image);
  }
  const std::string path = dir.Write("interlaced.gif", gif_maker::Encode(gif));
  GifImport result = ImportGif(path, dir.path(), 3, 11);
  ASSERT_EQ(result.frames, 6);
  EXPECT_EQ(result.delaysMs, (std::vector<int>{100, 100, 20, 70, 3000, 100}));
  const QImage first = Frame(dir.path(), 0);
  for (int y = 0; y < 11; ++y) EXPECT_EQ(At(first, 1, y), colours[static_cast<size_t>(y)]) << "row " << y;

  // Black beside white, stretched to the screen: the middle column blends, the edges stay.
  gif_maker::Gif pair{2, 1, {0x000000, kWhite}, {}};
  gif_maker::Image two = Filled(0, 0, 2, 1, 0);
  two.indexes[1] = 1;
  pair.images.push_back(two);
  const std::string out = dir.path() + "pair";  // no trailing '/'
  std::filesystem::create_directory(out);
  result = ImportGif(dir.Write("pair.gif", gif_maker::Encode(pair)), out, 240, 135);
  ASSERT_EQ(result.frames, 1);
  const QImage wide = Frame(out + "/", 0);
  ASSERT_EQ(wide.size(), QSize(240, 135));
  EXPECT_EQ(At(wide, 0, 67), 0u);
  EXPECT_EQ(At(wide, 239, 0), kWhite);
  // Column 120 samples the source at 120.5 / 120 - 0.5, just past the middle.
  EXPECT_NEAR(static_cast<double>(At(wide, 120, 134) & 0xFF), 255 * (120.5 / 120 - 0.5), 1.0);
  EXPECT_EQ(At(wide, 120, 0), At(wide, 120, 134));
}

TEST(GifImportTest, FramesThatCannotBeWrittenEndTheImport) {
  testing_support::TempDir dir;
  gif_maker::Gif gif{4, 4, kMap, {}};
  for (int i = 0; i < 8; ++i) gif.images.push_back(Filled(0, 0, 4, 4, static_cast<uint8_t>(i % 4)));
  const std::string path = dir.Write("eight.gif", gif_maker::Encode(gif));

  GifImport result = ImportGif(path, dir.path() + "missing/", 4, 4);
  EXPECT_EQ(result.frames, 0);
  EXPECT_TRUE(result.delaysMs.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "missing"));

  // A folder where frame 3 should go: frames 0-2 stay, nothing after them is left behind.
  const std::string out = dir.path() + "out/";
  std::filesystem::create_directories(out + "3.png");
  result = ImportGif(path, out, 4, 4);
  EXPECT_EQ(result.frames, 3);
  EXPECT_TRUE(result.damaged);
  EXPECT_EQ(result.delaysMs.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Frame(out, i).isNull()) << i;
  for (int i = 4; i < 8; ++i) EXPECT_FALSE(std::filesystem::exists(out + std::to_string(i) + ".png")) << i;
}

struct BadFile {
  const char* name;
  std::string bytes;
  int frames;
  std::vector<int> delays;
  bool damaged;
};

std::string Cut(std::string bytes, size_t keep) { return bytes.substr(0, keep); }

// A GIF of three 20 x 20 frames of 100, 200 and 300 ms over the four-colour map.
std::string ThreeFrames() {
  gif_maker::Gif gif{20, 20, kMap, {}};
  for (int i = 0; i < 3; ++i) {
    gif_maker::Image image = Filled(0, 0, 20, 20, 0);
    for (size_t p = 0; p < image.indexes.size(); ++p)
      image.indexes[p] = static_cast<uint8_t>((p * 7 + p / 3) % 4);
    image.delay = 10 * (i + 1);
    gif.images.push_back(image);
  }
  return gif_maker::Encode(gif);
}

// One image of `width` x `height` on a screen of that size (or the one given), with a local map of
// four entries right after the image descriptor at offset 13.
std::string OneImage(int width, int height, int screenWidth = -1, int screenHeight = -1) {
  gif_maker::Gif gif{screenWidth < 0 ? width : screenWidth, screenHeight < 0 ? height : screenHeight, {}, {}};
  gif_maker::Image image = Filled(0, 0, width, height, 2);
  image.indexes[0] = 3;
  image.localMap = kMap;
  gif.images.push_back(image);
  return gif_maker::Encode(gif);
}

std::vector<BadFile> BadFiles() {
  const std::string three = ThreeFrames();
  const std::string small = OneImage(5, 4);
  std::vector<BadFile> files;
  files.push_back({"truncated header", Cut(three, 9), 0, {}, false});
  files.push_back({"cut inside the third image", Cut(three, three.size() - 20), 2, {100, 200}, true});
  files.push_back({"no trailer", Cut(three, three.size() - 1), 3, {100, 200, 300}, true});
  files.push_back({"text", "This is a plain text file, not a picture.\n", 0, {}, false});
  files.push_back({"empty", "", 0, {}, false});
  files.push_back({"no image", gif_maker::Encode({10, 10, kMap, {}}), 0, {}, false});
  files.push_back({"zero-size screen", OneImage(5, 4, 0, 0), 1, {100}, false});
  files.push_back({"5000 wide", OneImage(2, 2, 5000, 10), 0, {}, false});
  files.push_back({"5000 high", OneImage(2, 2, 10, 5000), 0, {}, false});
  // The local map cut from four entries to two (6 bytes out), leaving indexes 2 and 3 beyond it.
  std::string beyond = small;
  beyond[22] = static_cast<char>((beyond[22] & ~0x07) | 0x00);
  beyond.erase(23 + 6, 6);
  files.push_back({"indexes beyond the map", beyond, 1, {100}, false});
  // No map at all: the local map flag cleared and its 12 bytes removed.
  std::string unmapped = small;
  unmapped[22] = static_cast<char>(unmapped[22] & 0x78);
  unmapped.erase(23, 12);
  files.push_back({"no map", unmapped, 1, {100}, false});
  files.push_back({"1 x 1", OneImage(1, 1), 1, {100}, false});
  files.push_back({"239 x 136", OneImage(239, 136), 1, {100}, false});
  files.push_back({"481 x 271", OneImage(481, 271), 1, {100}, false});
  gif_maker::Gif many{6, 6, kMap, {}};
  for (int i = 0; i < 200; ++i) {
    many.images.push_back(Filled(i % 6, 0, 1, 6, static_cast<uint8_t>(i % 4)));
    many.images.back().delay = 5;
  }
  files.push_back({"200 frames", gif_maker::Encode(many), 200, std::vector<int>(200, 50), false});
  return files;
}

TEST(GifImportTest, BadFilesGiveTheFramesBeforeTheDamage) {
  testing_support::TempDir dir;
  int n = 0;
  for (const BadFile& file : BadFiles()) {
    SCOPED_TRACE(file.name);
    const std::string out = dir.path() + "out" + std::to_string(n) + "/";
    std::filesystem::create_directory(out);
    const std::string path = dir.Write("bad" + std::to_string(n++) + ".gif", file.bytes);
    const GifImport result = ImportGif(path, out, 240, 135);
    EXPECT_EQ(result.frames, file.frames);
    EXPECT_EQ(result.delaysMs, file.delays);
    EXPECT_EQ(result.damaged, file.damaged);
    EXPECT_EQ(CountFrames(out), file.frames);
    for (int i = 0; i < result.frames; i += 67) {
      const QImage frame = Frame(out, i);
      EXPECT_EQ(frame.size(), QSize(240, 135));
      EXPECT_FALSE(frame.hasAlphaChannel());
    }
  }
  // What an index beyond the map or a missing map draws: nothing, so the canvas stays black.
  EXPECT_EQ(At(Frame(dir.path() + "out9/", 0), 239, 134), 0u);
  EXPECT_EQ(At(Frame(dir.path() + "out10/", 0), 239, 134), 0u);
  EXPECT_EQ(At(Frame(dir.path() + "out6/", 0), 239, 134), kGreen);  // the screen took the image's size
  EXPECT_EQ(ImportGif(dir.path() + "absent.gif", dir.path(), 240, 135).frames, 0);
}

}  // namespace
