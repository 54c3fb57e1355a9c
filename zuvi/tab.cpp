#include "zuvi/tab.h"

#include <QPainter>

#include "zuvi/internal.h"
#include "zuvi/manager.h"

using namespace zuvi_internal;

int MTabCtrl::InsertItem(int id, const std::wstring& text, const std::wstring& icon, MControl* layout,
                         int states, int flag) {
  int index;
  {
    std::lock_guard guard(lock_);
    auto item = std::make_unique<TabItemInfo>();
    item->id = id;
    item->text = text;
    item->icon = icon;
    item->layout = layout;
    item->states = states;
    item->flag = flag;
    items_.push_back(std::move(item));
    index = static_cast<int>(items_.size()) - 1;
  }
  LayOutItems();
  return index;
}

int MTabCtrl::GetItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

void MTabCtrl::SetItemWidth(int width, int, int vertical) {
  {
    std::lock_guard guard(lock_);
    if (width > 0) itemWidth_ = width;
    vertical_ = vertical != 0;
  }
  LayOutItems();
}

void MTabCtrl::SetItemHeight(int height, int, int vertical) {
  {
    std::lock_guard guard(lock_);
    if (height > 0) itemHeight_ = height;
    vertical_ = vertical != 0;
  }
  LayOutItems();
}

void MTabCtrl::SetPadding(int left, int right, int top, int bottom) {
  std::lock_guard guard(lock_);
  padLeft_ = left;
  padRight_ = right;
  padTop_ = top;
  padBottom_ = bottom;
}

void MTabCtrl::LayOutItems() {
  RECT r = GetRect();
  {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < items_.size(); ++i) {
      int step = static_cast<int>(i);
      items_[i]->rect = vertical_ ? RECT{r.left, r.top + step * itemHeight_, r.left + itemWidth_,
                                         r.top + (step + 1) * itemHeight_}
                                  : RECT{r.left + step * itemWidth_, r.top, r.left + (step + 1) * itemWidth_,
                                         r.top + itemHeight_};
    }
  }
  UpdateControl();
}

bool MTabCtrl::Select(int index) {
  std::vector<std::pair<MControl*, bool>> layouts;
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    current_ = index;
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i]->layout) layouts.emplace_back(items_[i]->layout, static_cast<int>(i) == index);
  }
  // Hide first, then show, so that a layout shared by two items stays visible.
  for (auto& [layout, shown] : layouts)
    if (!shown) layout->SetVisible(false);
  for (auto& [layout, shown] : layouts)
    if (shown) layout->SetVisible(true);
  UpdateControl();
  return true;
}

bool MTabCtrl::SetSelectItem(int index) {
  if (!Select(index)) return false;
  if (Manager::IsUiThread()) Notify(NOTIFY_SELCHANGE, index);
  return true;
}

int MTabCtrl::GetSelectItem() const { return GetState(current_); }

int MTabCtrl::GetItemID(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return -1;
  return items_[index]->id;
}

bool MTabCtrl::SetItemText(int id, const std::wstring& text) {
  bool found = false;
  {
    std::lock_guard guard(lock_);
    for (auto& item : items_)
      if (item->id == id) {
        item->text = text;
        found = true;
      }
  }
  if (found) UpdateControl();
  return found;
}

std::wstring MTabCtrl::GetItemText(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[index]->text;
}

TabItemInfo* MTabCtrl::GetItemInfo(int index) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[index].get();
}

bool MTabCtrl::UserSelect(int index) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (!Select(index)) return false;
  Notify(NOTIFY_SELCHANGE, index);
  return true;
}

bool MTabCtrl::ItemPoint(int index, POINT* point) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  const RECT& r = items_[index]->rect;
  *point = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return true;
}

void MTabCtrl::OnInput(const MouseInput& input) {
  if (input.button != MouseInput::Left) return;
  int hit = -1;
  {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < items_.size() && hit < 0; ++i) {
      const RECT& r = items_[i]->rect;
      if (input.point.x >= r.left && input.point.x < r.right && input.point.y >= r.top &&
          input.point.y < r.bottom)
        hit = static_cast<int>(i);
    }
  }
  if (hit >= 0) UserSelect(hit);
}

void MTabCtrl::Paint(QPainter& painter, const QRect& area) {
  RECT origin = GetRect();
  std::vector<TabItemInfo> items;
  int current;
  {
    std::lock_guard guard(lock_);
    for (const auto& item : items_) items.push_back(*item);
    current = current_;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const RECT& r = items[i].rect;
    QRect cell(r.left - origin.left, r.top - origin.top, r.Width(), r.Height());
    if (!cell.intersects(area)) continue;
    bool selected = static_cast<int>(i) == current;
    if (selected) painter.fillRect(cell, QColor(0x3C, 0x8C, 0xE6, 0x60));
    QImage icon = LoadSkinImage(items[i].icon);
    if (!icon.isNull()) {
      QImage slice = SkinSlice(icon, items[i].states, selected ? std::min(2, items[i].states - 1) : 0);
      QRect box(0, 0, std::min(cell.width(), 32), std::min(cell.height() - 16, 32));
      box.moveCenter(QPoint(cell.center().x(), cell.top() + 4 + box.height() / 2));
      painter.drawImage(box, slice);
      PaintText(painter, QRect(cell.left(), cell.bottom() - 16, cell.width(), 16), items[i].text, nullptr,
                true);
    } else {
      PaintText(painter, cell, items[i].text, nullptr, true);
    }
  }
}
