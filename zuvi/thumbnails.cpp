// Thumbnails of frame pictures for the screen page's lists.
#include <QDateTime>
#include <QFileInfo>
#include <QPainter>

#include "zuvi/internal.h"

namespace zuvi_internal {

QImage Thumbnail(const std::wstring& path, QSize size) {
  struct Entry {
    QDateTime modified;
    qint64 bytes = 0;
    QImage image;
  };
  static std::map<std::pair<std::wstring, std::pair<int, int>>, Entry> cache;
  if (path.empty() || size.isEmpty()) return {};
  QFileInfo info(ToQString(path));
  if (!info.isFile()) return {};
  auto key = std::make_pair(path, std::make_pair(size.width(), size.height()));
  auto found = cache.find(key);
  // A frame saved again under the same name is read again.
  if (found != cache.end() && found->second.modified == info.lastModified() &&
      found->second.bytes == info.size())
    return found->second.image;
  QImage image(info.filePath());
  if (!image.isNull()) image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  if (cache.size() > 512) cache.clear();
  cache[key] = Entry{info.lastModified(), info.size(), image};
  return image;
}

void PaintMissingPicture(QPainter& painter, const QRect& box) {
  painter.fillRect(box, QColor(0x30, 0x30, 0x30));
  painter.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  painter.drawLine(box.topLeft(), box.bottomRight());
  painter.drawLine(box.topRight(), box.bottomLeft());
}

void PaintThumbnail(QPainter& painter, const std::wstring& path, const QRect& box) {
  const QImage picture = Thumbnail(path, box.size());
  if (picture.isNull()) {
    PaintMissingPicture(painter, box);
    return;
  }
  QRect placed(QPoint(), picture.size());
  placed.moveCenter(box.center());
  painter.drawImage(placed, picture);
}

}  // namespace zuvi_internal
