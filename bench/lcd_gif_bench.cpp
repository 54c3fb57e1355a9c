// Cost of importing and exporting the screen animations the user waits for behind a wait window.
//
//   BM_GifImport/W/H  141 frames of W x H decoded into 240 x 135 PNG frames in a fresh folder
//                     (bound 300 ms at 240 x 135; 480 x 270 printed beside it)
//   BM_GifExport      141 PNG frames, every other one of thousands of colours, written as one GIF
//                     (bound 1000 ms)
// The GIF to import is made once with giflib: each frame has its own 256-colour map, and every other
// frame is a sub-image moving over the one before, as animations made by other programs are.
// bench/check_lcd_gif_bench.py states each bound.
#include <benchmark/benchmark.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "common/strings.h"
#include "platform/image/gif_file.h"
#include "tests/platform/image/gif_maker.h"
#include "zuvi/image_view_list.h"
#include "zuvi/lcd_view_list.h"

namespace {

constexpr int kFrames = 141;
constexpr int kLcdWidth = 240, kLcdHeight = 135;
using Clock = std::chrono::steady_clock;

void SetMsPerFrame(benchmark::State& state, Clock::duration elapsed) {
  const double frames = static_cast<double>(state.iterations()) * kFrames;
  state.counters["ms_per_frame"] =
      std::chrono::duration<double, std::milli>(elapsed).count() / std::max(frames, 1.0);
}

// A photo-like map: a colour ramp turned a little per frame.
std::vector<uint32_t> FrameMap(int frame) {
  std::vector<uint32_t> map(256);
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t r = (i + static_cast<uint32_t>(frame) * 3) & 0xFF, g = (i * 5 / 4 + 40) & 0xFF,
                   b = 255 - i;
    map[i] = r << 16 | g << 8 | b;
  }
  return map;
}

// Indexes of a gradient under noise, so the LZW coder has real work.
std::vector<uint8_t> FrameIndexes(int width, int height, int frame) {
  std::vector<uint8_t> indexes(static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t noise = 12345u + static_cast<uint32_t>(frame);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      indexes[static_cast<size_t>(y * width + x)] =
          static_cast<uint8_t>((x * 200 / width + y * 55 / height + (noise >> 28)) & 0xFF);
    }
  return indexes;
}

const std::string& ImportSource(int width, int height) {
  static std::map<int, std::string> made;
  auto [at, fresh] = made.try_emplace(width * 100000 + height);
  if (!fresh) return at->second;
  gif_maker::Gif gif{width, height, {}, {}};
  for (int f = 0; f < kFrames; ++f) {
    gif_maker::Image image;
    if (f % 2 == 0) {
      image.width = width, image.height = height;
    } else {
      image.width = width / 3, image.height = height / 3;
      image.left = (f * 7) % (width - image.width), image.top = (f * 3) % (height - image.height);
    }
    image.localMap = FrameMap(f);
    image.indexes = FrameIndexes(image.width, image.height, f);
    image.delay = 5;
    image.disposal = DISPOSE_DO_NOT;
    gif.images.push_back(std::move(image));
  }
  at->second = bench_support::ScratchFolder() + "import-" + std::to_string(width) + ".gif";
  const std::string bytes = gif_maker::Encode(gif);
  if (bytes.empty() || !(std::ofstream(at->second, std::ios::binary) << bytes)) std::abort();
  return at->second;
}

void BM_GifImport(benchmark::State& state) {
  const std::string& source =
      ImportSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::string folder = bench_support::ScratchFolder() + "frames/";
  LCDViewList slotList;  // the screen page's slot list, which imports for the page
  Clock::duration elapsed{};
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    state.ResumeTiming();
    const auto start = Clock::now();
    const int frames = slotList.LoadGIFImageFile(Utf8ToWide(source), Utf8ToWide(folder));
    elapsed += Clock::now() - start;
    if (frames != kFrames) state.SkipWithError("the import lost frames");
  }
  SetMsPerFrame(state, elapsed);
}
BENCHMARK(BM_GifImport)->Args({240, 135})->Args({480, 270})->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames as the editor leaves them: even ones photo-like (thousands of colours), odd ones drawn
// with a few flat colours.
const std::vector<platform::image::GifFrame>& ExportFrames() {
  static const std::vector<platform::image::GifFrame> frames = [] {
    std::vector<platform::image::GifFrame> list;
    const std::string folder = bench_support::ScratchFolder() + "export/";
    std::filesystem::create_directories(folder);
    QImage image(kLcdWidth, kLcdHeight, QImage::Format_RGB32);
    for (int f = 0; f < kFrames; ++f) {
      uint32_t noise = 777u + static_cast<uint32_t>(f);
      for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x) {
          noise = noise * 1103515245u + 12345u;
          const int n = static_cast<int>(noise >> 28);
          if (f % 2 == 0)
            image.setPixel(x, y, qRgb((x + f) % 256, (y * 2 + n) % 256, (x + y + n * 2) % 256));
          else
            image.setPixel(x, y, ((x / 20 + y / 15 + f) % 5) * 0x332211u | 0xFF000000u);
        }
      list.push_back({folder + std::to_string(f) + ".png", 50});
      if (!image.save(QString::fromStdString(list.back().picturePath), "PNG")) std::abort();
    }
    return list;
  }();
  return frames;
}

void BM_GifExport(benchmark::State& state) {
  ImageViewList list;  // the screen page's frame list, which exports for the page
  for (const auto& frame : ExportFrames())
    list.AddItem(Utf8ToWide(frame.picturePath), frame.delayMs, 0, L"");
  const std::wstring target = Utf8ToWide(bench_support::ScratchFolder() + "export.gif");
  Clock::duration elapsed{};
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!list.SaveGIFImageFile(target, kLcdWidth, kLcdHeight)) state.SkipWithError("no GIF written");
    elapsed += Clock::now() - start;
  }
  SetMsPerFrame(state, elapsed);
}
BENCHMARK(BM_GifExport)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
