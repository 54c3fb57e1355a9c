#include "platform/image/frame_image.h"

#include <QImage>
#include <QImageReader>
#include <QString>

namespace platform::image {

std::optional<std::vector<uint32_t>> ReadFramePixels(const std::string& path, int width, int height) {
  if (width <= 0 || height <= 0 || path.empty()) return std::nullopt;
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(false);
  QImage picture = reader.read();
  if (picture.isNull()) return std::nullopt;
  if (picture.width() != width || picture.height() != height)
    picture = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  // Premultiplied colour channels are the picture composited over black.
  picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (picture.isNull() || picture.width() != width || picture.height() != height) return std::nullopt;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < width; ++x)
      pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          line[x] & 0x00FFFFFFu;
  }
  return pixels;
}

}  // namespace platform::image
