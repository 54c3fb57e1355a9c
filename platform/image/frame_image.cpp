#include "platform/image/frame_image.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>

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

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height) {
  if (path.empty() || pixels == nullptr || width <= 0 || height <= 0) return false;
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return false;
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const uint32_t* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) line[x] = in[x] | 0xFF000000u;
  }
  // The temporary file is renamed over `path` only once the whole picture is written.
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, "png");
  writer.setQuality(80);  // zlib level 1: several times faster than the default, barely larger
  if (!writer.write(image)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool ConvertPictureToFrame(const std::string& source, const std::string& target, int width, int height) {
  std::optional<std::vector<uint32_t>> pixels = ReadFramePixels(source, width, height);
  return pixels && WritePng(target, pixels->data(), width, height);
}

}  // namespace platform::image
