// GIF files decoded record by record onto one canvas; each canvas becomes a PNG frame. Decoding
// stays in file order on the calling thread while a few threads compress the PNGs.
#include <gif_lib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/image/frame_image.h"
#include "platform/image/gif_file.h"

namespace platform::image {

namespace {

// Larger screens or images are refused: a few bytes of LZW could otherwise ask for gigabytes.
constexpr int kMaxGifSide = 4096;
// A delay of 0 or 1 hundredth (or none) means "as fast as possible", which players show at 100 ms.
constexpr int kDefaultDelayMs = 100;
constexpr int kMaxWriterThreads = 4;
// The frames are made again from the GIF: no flush to the disk per frame.
constexpr PngFlush kFlush = PngFlush::kLeaveToSystem;

std::string FramePath(const std::string& folder, int index) {
  return folder + std::to_string(index) + ".png";
}

// Writes frames as PNGs on a few threads. Frames are numbered in decoding order; the first one that
// cannot be written ends the import, and any written after it are removed again, so the frames kept
// are exactly 0 .. count-1.
class PngWriters {
 public:
  PngWriters(std::string folder, int width, int height)
      : folder_(std::move(folder)), width_(width), height_(height) {
    const unsigned cores = std::thread::hardware_concurrency();
    const int count = std::clamp(static_cast<int>(cores), 1, kMaxWriterThreads);
    try {
      for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Run(); });
    } catch (const std::system_error&) {
      // With no thread at all, Submit writes each frame itself.
    }
  }
  ~PngWriters() { Stop(); }
  PngWriters(const PngWriters&) = delete;
  PngWriters& operator=(const PngWriters&) = delete;

  // Queues frame `index` (the next number); waits while enough frames are queued. False once a
  // frame could not be written: decoding may stop.
  bool Submit(int index, std::vector<uint32_t> pixels) {
    if (threads_.empty()) {
      Record(index, WritePng(FramePath(folder_, index), pixels.data(), width_, height_, kFlush));
      return firstFailed_ < 0;
    }
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < 2 * threads_.size(); });
    if (firstFailed_ >= 0) return false;
    queue_.push_back({index, std::move(pixels)});
    work_.notify_one();
    return true;
  }

  // Waits for every queued frame; returns how many frames from 0 on were written.
  int Finish(int submitted) {
    Stop();
    const int kept = firstFailed_ < 0 ? submitted : firstFailed_;
    for (int index : written_)
      if (index >= kept) std::remove(FramePath(folder_, index).c_str());
    return kept;
  }

 private:
  struct Job {
    int index;
    std::vector<uint32_t> pixels;
  };

  void Run() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
        room_.notify_one();
        if (firstFailed_ >= 0) continue;  // the import ends: no point writing more
      }
      const bool ok = WritePng(FramePath(folder_, job.index), job.pixels.data(), width_, height_, kFlush);
      Record(job.index, ok);
    }
  }

  void Record(int index, bool ok) {
    std::lock_guard lock(mutex_);
    if (ok) {
      written_.push_back(index);
    } else if (firstFailed_ < 0 || index < firstFailed_) {
      firstFailed_ = index;
      room_.notify_all();
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

  const std::string folder_;
  const int width_, height_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_, room_;
  std::deque<Job> queue_;
  std::vector<int> written_;
  int firstFailed_ = -1;
  bool stopping_ = false;
};

// What a graphic control extension says about the image after it.
struct ImageControl {
  int delayMs = kDefaultDelayMs;
  int disposal = DISPOSAL_UNSPECIFIED;
  int transparent = NO_TRANSPARENT_COLOR;
};

ImageControl ReadControl(const GifByteType* block) {
  ImageControl control;
  GraphicsControlBlock gcb;
  if (block == nullptr || DGifExtensionToGCB(block[0], block + 1, &gcb) != GIF_OK) return control;
  if (gcb.DelayTime > 1) control.delayMs = gcb.DelayTime * 10;
  control.disposal = gcb.DisposalMode;
  control.transparent = gcb.TransparentColor;
  return control;
}

// The row of the image that its `line`-th line in the file fills: interlaced images come in four passes.
int ImageRow(int line, int height, bool interlaced) {
  if (!interlaced) return line;
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (line < rows) return kStart[pass] + line * kStep[pass];
    line -= rows;
  }
  return -1;
}

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int width() const { return right - left; }
};

// Decodes one GIF into frames. Any read error ends the decoding with the frames before it kept.
class GifDecoder {
 public:
  GifDecoder(GifFileType* gif, PngWriters& writers, int width, int height)
      : gif_(gif), writers_(writers), width_(width), height_(height) {}

  // Returns false when the file broke off (or a frame could not be written) before its end.
  bool Run(std::vector<int>& delaysMs) {
    for (;;) {
      GifRecordType type;
      if (DGifGetRecordType(gif_, &type) == GIF_ERROR) return false;
      switch (type) {
        case IMAGE_DESC_RECORD_TYPE:
          if (DGifGetImageDesc(gif_) == GIF_ERROR || !DrawImage()) return false;
          if (unusable_) return true;
          if (!writers_.Submit(static_cast<int>(delaysMs.size()),
                               ScalePixels(canvas_.data(), canvasWidth_, canvasHeight_, width_, height_)))
            return false;
          delaysMs.push_back(control_.delayMs);
          Dispose();
          control_ = {};
          ForgetImages();
          break;
        case EXTENSION_RECORD_TYPE:
          if (!ReadExtension()) return false;
          break;
        case TERMINATE_RECORD_TYPE:
          return true;
        default:
          return false;
      }
    }
  }

  // The screen (or the first image) was too large or empty: the file gives no frame at all.
  bool unusable() const { return unusable_; }

 private:
  // giflib keeps a record (with a copy of its colour map) of every image it read; dropping them as
  // we go keeps a file of many thousands of frames from growing that list without end.
  void ForgetImages() {
    GifFreeSavedImages(gif_);
    gif_->ImageCount = 0;
  }

  bool ReadExtension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE) control_ = ReadControl(block);
    while (block != nullptr)
      if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR) return false;
    return true;
  }

  // The canvas is the logical screen; a screen of no width or height takes the first image's extent.
  bool MakeCanvas(const GifImageDesc& image) {
    canvasWidth_ = gif_->SWidth;
    canvasHeight_ = gif_->SHeight;
    if (canvasWidth_ <= 0 || canvasHeight_ <= 0) {
      canvasWidth_ = image.Left + image.Width;
      canvasHeight_ = image.Top + image.Height;
    }
    if (canvasWidth_ <= 0 || canvasHeight_ <= 0 || canvasWidth_ > kMaxGifSide || canvasHeight_ > kMaxGifSide)
      return false;
    canvas_.assign(static_cast<size_t>(canvasWidth_) * static_cast<size_t>(canvasHeight_), 0);
    return true;
  }

  bool DrawImage() {
    const GifImageDesc& image = gif_->Image;
    if (canvas_.empty() && !MakeCanvas(image)) {
      unusable_ = true;
      return true;
    }
    if (image.Width > kMaxGifSide || image.Height > kMaxGifSide) return false;
    area_ = {std::min(image.Left, canvasWidth_), std::min(image.Top, canvasHeight_),
             std::min(image.Left + image.Width, canvasWidth_),
             std::min(image.Top + image.Height, canvasHeight_)};
    if (control_.disposal == DISPOSE_PREVIOUS) SaveArea();
    if (image.Width <= 0 || image.Height <= 0) return SkipRaster();

    const ColorMapObject* map = image.ColorMap != nullptr ? image.ColorMap : gif_->SColorMap;
    std::vector<GifPixelType> line(static_cast<size_t>(image.Width));
    for (int i = 0; i < image.Height; ++i) {
      if (DGifGetLine(gif_, line.data(), image.Width) == GIF_ERROR) return false;
      const int y = image.Top + ImageRow(i, image.Height, image.Interlace);
      if (map == nullptr || y >= canvasHeight_) continue;
      uint32_t* row = canvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(canvasWidth_);
      for (int x = area_.left; x < area_.right; ++x) {
        const int index = line[static_cast<size_t>(x - image.Left)];
        if (index == control_.transparent || index >= map->ColorCount) continue;
        const GifColorType& colour = map->Colors[index];
        row[x] =
            static_cast<uint32_t>(colour.Red) << 16 | static_cast<uint32_t>(colour.Green) << 8 | colour.Blue;
      }
    }
    return true;
  }

  bool SkipRaster() {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif_, &codeSize, &block) == GIF_ERROR) return false;
    while (block != nullptr)
      if (DGifGetCodeNext(gif_, &block) == GIF_ERROR) return false;
    return true;
  }

  void SaveArea() {
    saved_.clear();
    for (int y = area_.top; y < area_.bottom; ++y) {
      const uint32_t* row = canvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(canvasWidth_);
      saved_.insert(saved_.end(), row + area_.left, row + area_.right);
    }
  }

  void Dispose() {
    if (control_.disposal != DISPOSE_BACKGROUND && control_.disposal != DISPOSE_PREVIOUS) return;
    const size_t width = static_cast<size_t>(area_.width());
    for (int y = area_.top; y < area_.bottom; ++y) {
      uint32_t* row =
          canvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(canvasWidth_) + area_.left;
      if (control_.disposal == DISPOSE_BACKGROUND)
        std::fill(row, row + width, 0u);
      else
        std::copy_n(saved_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y - area_.top) * width),
                    width, row);
    }
  }

  GifFileType* gif_;
  PngWriters& writers_;
  const int width_, height_;
  int canvasWidth_ = 0, canvasHeight_ = 0;
  std::vector<uint32_t> canvas_;
  std::vector<uint32_t> saved_;  // the area under an image to be restored after it
  Rect area_;                    // the current image clipped to the canvas
  ImageControl control_;
  bool unusable_ = false;
};

}  // namespace

GifImport ImportGif(const std::string& gifPath, const std::string& folder, int width, int height) {
  GifImport result;
  if (gifPath.empty() || folder.empty() || width <= 0 || height <= 0) return result;
  const std::string target = folder.back() == '/' ? folder : folder + "/";
  int error = 0;
  GifFileType* gif = DGifOpenFileName(gifPath.c_str(), &error);
  if (gif == nullptr) return result;
  PngWriters writers(target, width, height);
  GifDecoder decoder(gif, writers, width, height);
  const bool complete = decoder.Run(result.delaysMs);
  DGifCloseFile(gif, &error);
  const int submitted = static_cast<int>(result.delaysMs.size());
  result.frames = writers.Finish(submitted);
  if (decoder.unusable()) result.frames = 0;
  result.delaysMs.resize(static_cast<size_t>(result.frames));
  result.damaged = !complete || result.frames < submitted;
  return result;
}

}  // namespace platform::image
