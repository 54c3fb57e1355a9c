#include "zuvi/image_view_list.h"

#include <QPainter>

#include "common/strings.h"
#include "platform/image/gif_file.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

constexpr int kCaption = 20;  // height of the delay under each thumbnail
constexpr int kGap = 8;

}  // namespace

int ImageViewList::AddItem(const std::wstring& picture, int delayMs, int frameId,
                           const std::wstring& fileName) {
  int pos;
  {
    std::lock_guard guard(lock_);
    items_.push_back(Item{picture, picture, delayMs, frameId, fileName});
    pos = static_cast<int>(items_.size()) - 1;
  }
  UpdateControl();
  return pos;
}

bool ImageViewList::InsertItem(int pos, const std::wstring& picture, int delayMs, int frameId,
                               const std::wstring& fileName) {
  {
    std::lock_guard guard(lock_);
    if (pos < 0 || pos > static_cast<int>(items_.size())) return false;
    items_.insert(items_.begin() + pos, Item{picture, picture, delayMs, frameId, fileName});
    if (current_ >= pos) ++current_;
  }
  UpdateControl();
  return true;
}

bool ImageViewList::DeleteItem(int pos) {
  {
    std::lock_guard guard(lock_);
    if (pos < 0 || pos >= static_cast<int>(items_.size())) return false;
    items_.erase(items_.begin() + pos);
    if (current_ == pos)
      current_ = -1;
    else if (current_ > pos)
      --current_;
  }
  UpdateControl();
  return true;
}

void ImageViewList::Clear() {
  {
    std::lock_guard guard(lock_);
    items_.clear();
    current_ = -1;
  }
  UpdateControl();
}

int ImageViewList::GetCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

int ImageViewList::GetCurSel() const { return GetState(current_); }

bool ImageViewList::SetCurSel(int pos) {
  {
    std::lock_guard guard(lock_);
    if (pos < -1 || pos >= static_cast<int>(items_.size())) return false;
    current_ = pos;
  }
  UpdateControl();
  return true;
}

ImageViewList::Item ImageViewList::GetItem(int pos) const {
  std::lock_guard guard(lock_);
  if (pos < 0 || pos >= static_cast<int>(items_.size())) return {};
  return items_[pos];
}

std::vector<ImageViewList::Item> ImageViewList::GetImageViewItems() const { return GetState(items_); }

bool ImageViewList::UpdateItemImageFile(int pos, const std::wstring& file) {
  {
    std::lock_guard guard(lock_);
    if (pos < 0 || pos >= static_cast<int>(items_.size())) return false;
    items_[pos].editFile = file;
  }
  UpdateControl();
  return true;
}

std::wstring ImageViewList::GetItemEditImageFile(int pos) const { return GetItem(pos).editFile; }

bool ImageViewList::SetItemDelayTime(int pos, int delayMs) {
  {
    std::lock_guard guard(lock_);
    if (pos < 0 || pos >= static_cast<int>(items_.size())) return false;
    items_[pos].delayMs = delayMs;
  }
  UpdateControl();
  return true;
}

void ImageViewList::SetDelayTime(int delayMs) {
  {
    std::lock_guard guard(lock_);
    for (Item& item : items_) item.delayMs = delayMs;
  }
  UpdateControl();
}

bool ImageViewList::SaveGIFImageFile(const std::wstring& path, int width, int height) const {
  std::vector<platform::image::GifFrame> frames;
  for (const Item& item : GetImageViewItems())
    frames.push_back({WideToUtf8(item.editFile.empty() ? item.pictureFile : item.editFile), item.delayMs});
  return platform::image::WriteGif(WideToUtf8(path), frames, width, height).has_value();
}

bool ImageViewList::UserClickItem(int pos) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (pos < 0 || pos >= GetCount() || !SetCurSel(pos)) return false;
  Notify(NOTIFY_CLICK, pos);
  return true;
}

bool ImageViewList::UserDoubleClickItem(int pos) {
  if (!UserClickItem(pos)) return false;
  Notify(NOTIFY_DBLCLICK, pos);
  return true;
}

void ImageViewList::OnInput(const MouseInput& input) {
  if (input.button == MouseInput::Left) UserClickItem(ItemAt(input.point));
}

void ImageViewList::OnDoubleClick(const MouseInput& input) {
  // The first press of the double click has already selected the item.
  int pos = ItemAt(input.point);
  if (input.button == MouseInput::Left && pos >= 0 && SetCurSel(pos)) Notify(NOTIFY_DBLCLICK, pos);
}

int ImageViewList::ItemWidth(int height) const {
  int thumb = std::max(height - kCaption - kGap, 1);
  return thumb * 240 / 135 + kGap;
}

int ImageViewList::FirstShown(int width, int height) const {
  // Keeps the selected frame in view.
  int shown = std::max(width / ItemWidth(height), 1);
  return current_ < shown ? 0 : current_ - shown + 1;
}

int ImageViewList::ItemAt(POINT point) const {
  RECT r = GetRect();
  if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) return -1;
  std::lock_guard guard(lock_);
  int pos = FirstShown(r.Width(), r.Height()) + (point.x - r.left) / ItemWidth(r.Height());
  return pos < static_cast<int>(items_.size()) ? pos : -1;
}

bool ImageViewList::ItemPoint(int pos, POINT* point) {
  RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int width = ItemWidth(r.Height());
  const int first = FirstShown(r.Width(), r.Height());
  if (pos < first || pos >= static_cast<int>(items_.size()) || (pos - first + 1) * width > r.Width()) return false;
  *point = POINT{r.left + (pos - first) * width + width / 2, (r.top + r.bottom) / 2};
  return true;
}

void ImageViewList::Paint(QPainter& painter, const QRect& area) {
  std::vector<Item> items;
  int current, first, itemWidth;
  ARGB textColor;
  {
    std::lock_guard guard(lock_);
    items = items_;
    current = current_;
    first = FirstShown(area.width(), area.height());
    itemWidth = ItemWidth(area.height());
    textColor = textColor_;
  }
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);
  for (int i = first; i < static_cast<int>(items.size()) && (i - first) * itemWidth < area.width(); ++i) {
    QRect cell(area.left() + (i - first) * itemWidth, area.top(), itemWidth, area.height());
    QRect thumb(cell.left() + kGap / 2, cell.top() + kGap / 2, itemWidth - kGap,
                area.height() - kCaption - kGap);
    const std::wstring& file = items[i].editFile.empty() ? items[i].pictureFile : items[i].editFile;
    PaintThumbnail(painter, file, thumb);
    if (i == current) {
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(QColor(0xCA, 0x51, 0x00), 2));
      painter.drawRect(thumb.adjusted(-1, -1, 1, 1));
    }
    QColor text = ToQColor(textColor);
    if (!IsEffectivelyEnabled()) text.setAlpha(text.alpha() / 2);
    painter.setPen(text);
    painter.drawText(QRect(cell.left(), thumb.bottom() + 2, itemWidth, kCaption), Qt::AlignCenter,
                     QString::number(items[i].delayMs) + QStringLiteral(" ms"));
  }
}
