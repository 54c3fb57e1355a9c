#include "zuvi/lcd_view_list.h"

#include <QPainter>

#include "common/strings.h"
#include "platform/image/frame_image.h"
#include "platform/image/gif_file.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

constexpr int kFrameWidth = 240;
constexpr int kFrameHeight = 135;

}  // namespace

LCDViewList::LCDViewList() { itemHeight_ = 84; }

int LCDViewList::AddItem(const std::wstring& folder, const std::wstring& picture, int frames, int ledId) {
  {
    std::lock_guard guard(lock_);
    slots_[ledId] = Slot{folder, picture, frames};
  }
  return AddString(folder, ledId);
}

bool LCDViewList::SetItemLEDIdSelect(int ledId) { return SetCurData(ledId); }

const LCDViewList::Slot* LCDViewList::SlotOf(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  auto found = slots_.find(static_cast<int>(items_[index].data));
  return found == slots_.end() ? nullptr : &found->second;
}

int LCDViewList::GetItemLEDId(int index) const {
  std::lock_guard guard(lock_);
  return SlotOf(index) ? static_cast<int>(items_[index].data) : 0;
}

std::wstring LCDViewList::GetItemFolder(int index) const {
  std::lock_guard guard(lock_);
  const Slot* slot = SlotOf(index);
  return slot ? slot->folder : std::wstring();
}

std::wstring LCDViewList::GetItemPicture(int index) const {
  std::lock_guard guard(lock_);
  const Slot* slot = SlotOf(index);
  return slot ? slot->picture : std::wstring();
}

int LCDViewList::GetItemFrameSize(int index) const {
  std::lock_guard guard(lock_);
  const Slot* slot = SlotOf(index);
  return slot ? slot->frames : 0;
}

bool LCDViewList::SetFrameData(int index, const std::wstring& picture, int frames) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    auto found = slots_.find(static_cast<int>(items_[index].data));
    if (found == slots_.end()) return false;
    found->second.picture = picture;
    found->second.frames = frames;
  }
  UpdateControl();
  return true;
}

int LCDViewList::LoadGIFImageFile(const std::wstring& gif, const std::wstring& folder) {
  // The decoding takes its time: the list stays drawable meanwhile.
  platform::image::GifImport result =
      platform::image::ImportGif(WideToUtf8(gif), WideToUtf8(folder), kFrameWidth, kFrameHeight);
  std::lock_guard guard(lock_);
  delays_ = std::move(result.delaysMs);
  delays_.resize(static_cast<size_t>(std::max(result.frames, 0)), 100);
  damaged_ = result.damaged;
  return static_cast<int>(delays_.size());
}

std::vector<int> LCDViewList::GetDelayTimes() const { return GetState(delays_); }

bool LCDViewList::LastLoadDamaged() const { return GetState(damaged_); }

bool LCDViewList::GetImageRGB565Data(const std::wstring& path, std::span<std::uint8_t> destination, int width,
                                     int height) const {
  if (width <= 0 || height <= 0) return false;
  size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (destination.size() / 2 < pixels) return false;
  auto rgb = platform::image::ReadFramePixels(WideToUtf8(path), width, height);
  if (!rgb || rgb->size() != pixels) return false;
  // The byte order of the keyboard's download: low byte first.
  for (size_t i = 0; i < pixels; ++i) {
    uint32_t p = (*rgb)[i];
    auto value = static_cast<uint16_t>((p >> 19 & 0x1F) << 11 | (p >> 10 & 0x3F) << 5 | (p >> 3 & 0x1F));
    destination[2 * i] = static_cast<uint8_t>(value & 0xFF);
    destination[2 * i + 1] = static_cast<uint8_t>(value >> 8);
  }
  return true;
}

void LCDViewList::Paint(QPainter& painter, const QRect& area) {
  struct Row {
    std::wstring picture;
    int frames = 0;
    bool slot = false;
  };
  std::vector<Row> rows;
  int current, height, first;
  {
    std::lock_guard guard(lock_);
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
      const Slot* slot = SlotOf(i);
      rows.push_back(slot ? Row{slot->picture, slot->frames, true} : Row{});
    }
    current = current_;
    height = itemHeight_;
    first = FirstVisibleRow(area.height() / height);
  }
  for (int i = first; i < static_cast<int>(rows.size()) && (i - first) * height < area.height(); ++i) {
    QRect row(area.left(), area.top() + (i - first) * height, area.width(), height);
    painter.fillRect(row.adjusted(2, 2, -2, -2),
                     i == current ? QColor(0x3C, 0x8C, 0xE6, 0x90) : QColor(0xFF, 0xFF, 0xFF, 0x18));
    QRect box = row.adjusted(6, 6, -6, -6);
    int thumbHeight = box.height();
    int thumbWidth = std::min(box.width(), thumbHeight * kFrameWidth / kFrameHeight);
    QRect thumb(box.left(), box.top(), thumbWidth, thumbHeight);
    PaintThumbnail(painter, rows[i].picture, thumb);
    if (!rows[i].slot) continue;
    QRect count = box.adjusted(thumbWidth + 6, 0, 0, 0);
    if (count.width() < 24) count = thumb.adjusted(0, thumb.height() - 18, -2, 0);
    PaintText(painter, count, std::to_wstring(rows[i].frames));
  }
}
