#include "platform/image/frame_image.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string_view>

namespace platform::image {

namespace {

// Bilinear weights are in 1/256 steps, so a pixel is a sum of four products of 16 bits each.
constexpr int kWeightOne = 256;

struct Tap {
  int low = 0, high = 0;
  int weight = 0;  // of `high`, out of kWeightOne
};

// For each target column (or row): the two source columns it falls between, centres aligned.
std::vector<Tap> Taps(int from, int to) {
  std::vector<Tap> taps(static_cast<size_t>(to));
  for (int i = 0; i < to; ++i) {
    const double at = (i + 0.5) * from / to - 0.5;
    Tap& tap = taps[static_cast<size_t>(i)];
    if (at <= 0) {
      tap = {0, 0, 0};
    } else if (at >= from - 1) {
      tap = {from - 1, from - 1, 0};
    } else {
      tap.low = static_cast<int>(at);
      tap.high = tap.low + 1;
      tap.weight = static_cast<int>((at - tap.low) * kWeightOne + 0.5);
    }
  }
  return taps;
}

uint32_t Channel(uint32_t pixel, int shift) { return pixel >> shift & 0xFFu; }

// Larger pictures are refused: frames are far smaller, and the whole picture stays within what one
// zlib call takes.
constexpr int kMaxPngSide = 8192;

void PutBigEndian(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

void PutChunk(std::string& out, const char type[4], std::string_view data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.append(type, 4);
  out.append(data);
  const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeAt);
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, checked, static_cast<uInt>(4 + data.size()))));
}

// Encodes 8-bit RGB PNGs with one zlib stream that is reset, not made again, for each picture:
// its state is a few hundred KiB, and allocating it afresh for each frame of an import costs more
// than compressing the frame. zlib level 1 and the "sub" filter (each byte less the same channel of
// the pixel to its left): fast, and still lossless.
class PngEncoder {
 public:
  PngEncoder() { ready_ = deflateInit2(&stream_, 1, Z_DEFLATED, 15, 8, Z_FILTERED) == Z_OK; }
  ~PngEncoder() {
    if (ready_) deflateEnd(&stream_);
  }
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // The whole file for the pixels in `out`; false when zlib fails.
  bool Encode(const uint32_t* pixels, int width, int height, std::string& out) {
    if (!ready_ || deflateReset(&stream_) != Z_OK) return false;
    const size_t w = static_cast<size_t>(width), rowBytes = 1 + 3 * w;
    filtered_.resize(rowBytes * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
      Bytef* row = filtered_.data() + y * rowBytes;
      const uint32_t* in = pixels + y * w;
      row[0] = 1;  // sub
      uint32_t left = 0;
      for (size_t x = 0; x < w; ++x) {
        const uint32_t p = in[x];
        row[1 + 3 * x] = static_cast<Bytef>((p >> 16) - (left >> 16));
        row[2 + 3 * x] = static_cast<Bytef>((p >> 8) - (left >> 8));
        row[3 + 3 * x] = static_cast<Bytef>(p - left);
        left = p;
      }
    }
    compressed_.resize(deflateBound(&stream_, static_cast<uLong>(filtered_.size())));
    stream_.next_in = filtered_.data();
    stream_.avail_in = static_cast<uInt>(filtered_.size());
    stream_.next_out = reinterpret_cast<Bytef*>(compressed_.data());
    stream_.avail_out = static_cast<uInt>(compressed_.size());
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return false;

    out.clear();
    out.append("\x89PNG\r\n\x1A\n", 8);
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive filters, no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", std::string_view(compressed_.data(), stream_.total_out));
    PutChunk(out, "IEND", {});
    return true;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
  std::vector<Bytef> filtered_;
  std::string compressed_;
};

// Writes all of `bytes` to `fd`.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(wrote));
  }
  return true;
}

}  // namespace

std::vector<uint32_t> ScalePixels(const uint32_t* pixels, int width, int height, int toWidth, int toHeight) {
  if (pixels == nullptr || width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0) return {};
  const size_t targetWidth = static_cast<size_t>(toWidth);
  if (width == toWidth && height == toHeight)
    return std::vector<uint32_t>(pixels, pixels + targetWidth * static_cast<size_t>(toHeight));
  const std::vector<Tap> columns = Taps(width, toWidth);
  const std::vector<Tap> rows = Taps(height, toHeight);
  std::vector<uint32_t> scaled(targetWidth * static_cast<size_t>(toHeight));
  for (size_t y = 0; y < rows.size(); ++y) {
    const Tap& row = rows[y];
    const uint32_t* top = pixels + static_cast<size_t>(row.low) * static_cast<size_t>(width);
    const uint32_t* bottom = pixels + static_cast<size_t>(row.high) * static_cast<size_t>(width);
    const uint32_t wy = static_cast<uint32_t>(row.weight);
    uint32_t* out = scaled.data() + y * targetWidth;
    for (size_t x = 0; x < columns.size(); ++x) {
      const Tap& column = columns[x];
      const uint32_t wx = static_cast<uint32_t>(column.weight);
      const uint32_t a = top[column.low], b = top[column.high];
      const uint32_t c = bottom[column.low], d = bottom[column.high];
      uint32_t pixel = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t upper = Channel(a, shift) * (kWeightOne - wx) + Channel(b, shift) * wx;
        const uint32_t lower = Channel(c, shift) * (kWeightOne - wx) + Channel(d, shift) * wx;
        const uint32_t value = (upper * (kWeightOne - wy) + lower * wy + kWeightOne * kWeightOne / 2) >> 16;
        pixel |= value << shift;
      }
      out[x] = pixel;
    }
  }
  return scaled;
}

std::optional<Pixels> ReadPicture(const std::string& path) {
  if (path.empty()) return std::nullopt;
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(false);
  QImage picture = reader.read();  // an animation's first frame
  if (picture.isNull()) return std::nullopt;
  // Premultiplied colour channels are the picture composited over black.
  picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (picture.isNull()) return std::nullopt;
  Pixels result;
  result.width = picture.width();
  result.height = picture.height();
  result.data.resize(static_cast<size_t>(result.width) * static_cast<size_t>(result.height));
  for (int y = 0; y < result.height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    uint32_t* out = result.data.data() + static_cast<size_t>(y) * static_cast<size_t>(result.width);
    for (int x = 0; x < result.width; ++x) out[x] = line[x] & 0x00FFFFFFu;
  }
  return result;
}

std::optional<std::vector<uint32_t>> ReadFramePixels(const std::string& path, int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  std::optional<Pixels> picture = ReadPicture(path);
  if (!picture) return std::nullopt;
  std::vector<uint32_t> pixels =
      ScalePixels(picture->data.data(), picture->width, picture->height, width, height);
  if (pixels.empty()) return std::nullopt;
  return pixels;
}

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, PngFlush flush) {
  if (path.empty() || pixels == nullptr || width <= 0 || height <= 0 || width > kMaxPngSide ||
      height > kMaxPngSide)
    return false;
  // One encoder and file buffer per thread that writes pictures (an import's writers, the UI).
  thread_local PngEncoder encoder;
  thread_local std::string file;
  if (!encoder.Encode(pixels, width, height, file)) return false;
  // A name of its own per call, so that threads writing the same picture never share a temporary.
  static std::atomic<unsigned> serial{0};
  const std::string temporary =
      path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(serial.fetch_add(1));
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, file);
  if (ok && flush == PngFlush::kToDisk) ok = fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  // The picture takes its name only once it is whole.
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool ConvertPictureToFrame(const std::string& source, const std::string& target, int width, int height) {
  std::optional<std::vector<uint32_t>> pixels = ReadFramePixels(source, width, height);
  return pixels && WritePng(target, pixels->data(), width, height);
}

}  // namespace platform::image
