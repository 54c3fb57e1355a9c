// Cost of importing and exporting the screen animations the user waits for behind a wait window.
//
//   BM_GifDecode/W/H        giflib's DGifSlurp of the GIF to import: the decoding floor
//   BM_GifImportAnchor/W/H  the import's work done plainly: DGifSlurp, the frames composited one
//                           after another, and libpng writing the same PNG files (zlib level 1,
//                           "sub" filter) on as many threads as the import's writers
//   BM_GifImport/W/H        141 frames of W x H decoded into 240 x 135 PNG frames in a fresh folder
//   BM_GifExport            141 PNG frames, every other one of thousands of colours, written as one
//                           GIF (bound 1000 ms)
// The GIF to import is made once with giflib: each frame has its own 256-colour map; every other
// frame is a sub-image over the one before with a transparent colour, disposed of by restoring the
// background or the picture under it, as animations made by other programs are. The frames are
// written on the disk beside the program (not a tmpfs). bench/check_lcd_gif_bench.py states each
// bound.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <png.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/scratch_folder.h"
#include "common/strings.h"
#include "platform/image/frame_image.h"
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
    // Full frames stay; sub-images see through index 0 and are disposed of in turn to the
    // background (2) and to what was under them (3).
    image.disposal = f % 2 == 0 ? DISPOSE_DO_NOT : f % 4 == 1 ? DISPOSE_BACKGROUND : DISPOSE_PREVIOUS;
    if (f % 2 == 1) image.transparent = 0;
    gif.images.push_back(std::move(image));
  }
  at->second = bench_support::ScratchFolder() + "import-" + std::to_string(width) + ".gif";
  const std::string bytes = gif_maker::Encode(gif);
  if (bytes.empty() || !(std::ofstream(at->second, std::ios::binary) << bytes)) std::abort();
  return at->second;
}

// The import's own count of PNG writers.
int WriterThreads() { return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4); }

GifFileType* Slurp(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr || DGifSlurp(gif) != GIF_OK) std::abort();
  return gif;
}

void BM_GifDecode(benchmark::State& state) {
  const std::string& source =
      ImportSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    GifFileType* gif = Slurp(source);
    if (gif->ImageCount != kFrames) state.SkipWithError("frames lost");
    int error = 0;
    DGifCloseFile(gif, &error);
  }
}
BENCHMARK(BM_GifDecode)->Args({240, 135})->Args({480, 270})->Unit(benchmark::kMillisecond)->UseRealTime();

// The frames of a slurped GIF composited plainly, as 0x00RRGGBB canvases of the screen's size.
std::vector<std::vector<uint32_t>> Composite(GifFileType* gif) {
  const int width = gif->SWidth, height = gif->SHeight;
  std::vector<uint32_t> canvas(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  std::vector<std::vector<uint32_t>> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(gif, i, &control);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
    const std::vector<uint32_t> under =
        control.DisposalMode == DISPOSE_PREVIOUS ? canvas : std::vector<uint32_t>();
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor) continue;
        const GifColorType& c = map->Colors[index];
        canvas[static_cast<size_t>((d.Top + y) * width + d.Left + x)] =
            static_cast<uint32_t>(c.Red) << 16 | static_cast<uint32_t>(c.Green) << 8 | c.Blue;
      }
    frames.push_back(canvas);
    if (control.DisposalMode == DISPOSE_PREVIOUS) canvas = under;
    if (control.DisposalMode == DISPOSE_BACKGROUND)
      for (int y = 0; y < d.Height; ++y)
        std::fill_n(canvas.begin() + (d.Top + y) * width + d.Left, d.Width, 0u);
  }
  return frames;
}

// libpng writing one 0x00RRGGBB frame as an 8-bit RGB PNG, with the import's settings.
void WritePlainPng(const std::string& path, const uint32_t* pixels, int width, int height) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_init_io(png, out);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[y * width + x];
      row[3 * static_cast<size_t>(x)] = static_cast<png_byte>(p >> 16);
      row[3 * static_cast<size_t>(x) + 1] = static_cast<png_byte>(p >> 8);
      row[3 * static_cast<size_t>(x) + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(out) != 0) std::abort();
}

void FreshFolder(const std::string& folder) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
}

void BM_GifImportAnchor(benchmark::State& state) {
  const std::string& source =
      ImportSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::string folder = bench_support::DiskScratchFolder() + "anchor/";
  for (auto _ : state) {
    state.PauseTiming();
    FreshFolder(folder);
    state.ResumeTiming();
    GifFileType* gif = Slurp(source);
    const int width = gif->SWidth, height = gif->SHeight;
    const std::vector<std::vector<uint32_t>> frames = Composite(gif);
    int error = 0;
    DGifCloseFile(gif, &error);
    std::atomic<size_t> next{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < WriterThreads(); ++t)
      writers.emplace_back([&] {
        for (size_t i = next++; i < frames.size(); i = next++) {
          const std::vector<uint32_t> scaled =
              platform::image::ScalePixels(frames[i].data(), width, height, kLcdWidth, kLcdHeight);
          WritePlainPng(folder + std::to_string(i) + ".png", scaled.data(), kLcdWidth, kLcdHeight);
        }
      });
    for (std::thread& writer : writers) writer.join();
    if (frames.size() != kFrames) state.SkipWithError("frames lost");
  }
}
BENCHMARK(BM_GifImportAnchor)
    ->Args({240, 135})
    ->Args({480, 270})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_GifImport(benchmark::State& state) {
  const std::string& source =
      ImportSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::string folder = bench_support::DiskScratchFolder() + "frames/";
  LCDViewList slotList;  // the screen page's slot list, which imports for the page
  Clock::duration elapsed{};
  for (auto _ : state) {
    state.PauseTiming();
    FreshFolder(folder);
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
