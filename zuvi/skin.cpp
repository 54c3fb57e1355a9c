// Skin images and colours: paths under the skin folder, N-state slices, ARGB to Qt colours.
#include <QColor>
#include <QHash>
#include <mutex>

#include "zuvi/internal.h"
#include "zuvi/manager.h"

namespace zuvi_internal {

QString ToQString(const std::wstring& text) { return QString::fromStdWString(text); }
std::wstring FromQString(const QString& text) { return text.toStdWString(); }

QColor ToQColor(ARGB argb) {
  int alpha = static_cast<int>(argb >> 24);
  if (alpha >= 0xFE) alpha = 0xFF;
  return QColor(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                static_cast<int>(argb & 0xFF), alpha);
}

std::wstring NormaliseSkinPath(const std::wstring& file) {
  std::wstring path;
  for (wchar_t c : file) {
    if (c == L'\\') c = L'/';
    if (c == L'/' && !path.empty() && path.back() == L'/') continue;
    path += c;
  }
  if (!path.empty() && path.front() == L'/') return path;  // absolute: kept
  return Manager::GetSkinDir() + path;
}

QImage LoadSkinImage(const std::wstring& file) {
  static std::mutex lock;
  static QHash<QString, QImage> cache;
  if (file.empty()) return {};
  QString path = ToQString(NormaliseSkinPath(file));
  std::lock_guard guard(lock);
  auto it = cache.find(path);
  if (it != cache.end()) return *it;
  QImage image(path);
  if (!image.isNull()) cache.insert(path, image);  // a missing file may still appear
  return image;
}

QImage SkinSlice(const QImage& image, int states, int index) {
  if (image.isNull() || states <= 1) return image;
  int width = image.width() / states;
  if (width <= 0) return image;
  if (index < 0 || index >= states) index = 0;
  return image.copy(index * width, 0, width, image.height());
}

}  // namespace zuvi_internal
