#include "zuvi/key_func_control.h"

#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "zuvi/control_widget.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

constexpr int kPad = 6;
constexpr int kHeadingHeight = 28;
constexpr int kRowHeight = 26;
constexpr int kGroupGap = 8;
constexpr int kMinColumnWidth = 130;
constexpr int kWheelStep = 2 * kRowHeight;  // per notch of the wheel

// Scrolls the rows with the mouse wheel.
class ChooserWidget : public ControlWidget {
 public:
  using ControlWidget::ControlWidget;

 protected:
  void wheelEvent(QWheelEvent* event) override {
    auto* chooser = static_cast<KeyFuncControl*>(Control());
    if (!chooser) return;
    chooser->ScrollBy(-event->angleDelta().y() * kWheelStep / 120);
    event->accept();
  }
};

}  // namespace

void KeyFuncControl::InitItemInfo(std::vector<KeyFuncGroup> groups) {
  {
    std::lock_guard guard(lock_);
    groups_ = std::move(groups);
    checked_ = -1;
    scroll_ = 0;
  }
  UpdateControl();
}

void KeyFuncControl::SetGroupHeading(size_t group, const std::wstring& heading) {
  {
    std::lock_guard guard(lock_);
    if (group >= groups_.size()) return;
    groups_[group].heading = heading;
  }
  UpdateControl();
}

void KeyFuncControl::SetItemDesc(int value, const std::wstring& text) {
  {
    std::lock_guard guard(lock_);
    for (KeyFuncGroup& group : groups_)
      for (KeyFuncItem& item : group.items)
        if (item.value == value) item.text = text;
  }
  UpdateControl();
}

std::wstring KeyFuncControl::GetItemDesc(int value) const {
  std::lock_guard guard(lock_);
  for (const KeyFuncGroup& group : groups_)
    for (const KeyFuncItem& item : group.items)
      if (item.value == value) return item.text;
  return {};
}

int KeyFuncControl::GetItemCount() const {
  std::lock_guard guard(lock_);
  size_t count = 0;
  for (const KeyFuncGroup& group : groups_) count += group.items.size();
  return static_cast<int>(count);
}

const KeyFuncItem* KeyFuncControl::ItemByIndex(int flatIndex) const {
  if (flatIndex < 0) return nullptr;
  size_t index = static_cast<size_t>(flatIndex);
  for (const KeyFuncGroup& group : groups_) {
    if (index < group.items.size()) return &group.items[index];
    index -= group.items.size();
  }
  return nullptr;
}

void KeyFuncControl::SetItemCheckByItemData(int value, int value2, int value3) {
  const RECT r = GetRect();
  {
    std::lock_guard guard(lock_);
    checked_ = -1;
    int index = 0;
    for (const KeyFuncGroup& group : groups_) {
      for (const KeyFuncItem& item : group.items) {
        if (item.value == value && item.value2 == value2 && item.value3 == value3) {
          checked_ = index;
          break;
        }
        ++index;
      }
      if (checked_ >= 0) break;
    }
    if (checked_ >= 0 && r.Height() > 0) {
      int total = 0;
      for (const Cell& cell : LayoutCells(r.Width(), &total)) {
        if (cell.flatIndex != checked_) continue;
        if (cell.top < scroll_)
          scroll_ = cell.top;
        else if (cell.top + cell.height > scroll_ + r.Height())
          scroll_ = cell.top + cell.height - r.Height();
      }
      scroll_ = ClampedScroll(scroll_, r.Width(), r.Height());
    }
  }
  UpdateControl();
}

bool KeyFuncControl::GetCurItemData(int* kind, int* value, int* value2, int* value3,
                                    std::wstring* text) const {
  std::lock_guard guard(lock_);
  const KeyFuncItem* item = ItemByIndex(checked_);
  if (!item) return false;
  if (kind) *kind = item->kind;
  if (value) *value = item->value;
  if (value2) *value2 = item->value2;
  if (value3) *value3 = item->value3;
  if (text) *text = item->text;
  return true;
}

std::vector<KeyFuncGroup> KeyFuncControl::Groups() const { return GetState(groups_); }

int KeyFuncControl::CheckedIndex() const { return GetState(checked_); }

int KeyFuncControl::ScrollOffset() const { return GetState(scroll_); }

void KeyFuncControl::ScrollBy(int pixels) {
  const RECT r = GetRect();
  {
    std::lock_guard guard(lock_);
    const int scroll = ClampedScroll(scroll_ + pixels, r.Width(), r.Height());
    if (scroll == scroll_) return;
    scroll_ = scroll;
  }
  UpdateControl();
}

std::vector<KeyFuncControl::Cell> KeyFuncControl::LayoutCells(int width, int* totalHeight) const {
  std::vector<Cell> cells;
  const int inner = std::max(1, width - 2 * kPad);
  const int columns = std::max(1, inner / kMinColumnWidth);
  const int columnWidth = inner / columns;
  int top = kPad;
  int flat = 0;
  for (int g = 0; g < static_cast<int>(groups_.size()); ++g) {
    cells.push_back(Cell{-1, g, -1, kPad, top, inner, kHeadingHeight});
    top += kHeadingHeight;
    const int count = static_cast<int>(groups_[g].items.size());
    for (int i = 0; i < count; ++i)
      cells.push_back(Cell{flat++, g, i, kPad + (i % columns) * columnWidth, top + (i / columns) * kRowHeight,
                           columnWidth, kRowHeight});
    top += (count + columns - 1) / columns * kRowHeight + kGroupGap;
  }
  *totalHeight = top;
  return cells;
}

int KeyFuncControl::ClampedScroll(int scroll, int width, int height) const {
  int total = 0;
  LayoutCells(width, &total);
  return std::clamp(scroll, 0, std::max(0, total - height));
}

int KeyFuncControl::ItemIndexAt(POINT point) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int x = point.x - r.left;
  const int y = point.y - r.top;
  if (x < 0 || y < 0 || x >= r.Width() || y >= r.Height()) return -1;
  int total = 0;
  for (const Cell& cell : LayoutCells(r.Width(), &total)) {
    const int top = cell.top - scroll_;
    const bool whole = top >= 0 && top + cell.height <= r.Height();  // only whole rows are drawn
    if (cell.flatIndex >= 0 && whole && x >= cell.left && x < cell.left + cell.width && y >= top &&
        y < top + cell.height)
      return cell.flatIndex;
  }
  return -1;
}

bool KeyFuncControl::ItemPoint(int flatIndex, POINT* point) {
  const RECT r = GetRect();
  if (flatIndex < 0) return false;
  {
    std::lock_guard guard(lock_);
    int total = 0;
    const std::vector<Cell> cells = LayoutCells(r.Width(), &total);
    auto cell = std::find_if(cells.begin(), cells.end(), [&](const Cell& c) { return c.flatIndex == flatIndex; });
    if (cell == cells.end() || cell->height > r.Height()) return false;
    if (cell->top < scroll_)
      scroll_ = cell->top;
    else if (cell->top + cell->height > scroll_ + r.Height())
      scroll_ = cell->top + cell->height - r.Height();
    scroll_ = ClampedScroll(scroll_, r.Width(), r.Height());
    *point = POINT{r.left + cell->left + cell->width / 2, r.top + cell->top - scroll_ + cell->height / 2};
  }
  UpdateControl();
  return true;
}

bool KeyFuncControl::UserPick(int flatIndex) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  {
    std::lock_guard guard(lock_);
    if (!ItemByIndex(flatIndex)) return false;
    checked_ = flatIndex;
  }
  UpdateControl();
  Notify(NOTIFY_CLICK, flatIndex);
  return true;
}

void KeyFuncControl::OnInput(const MouseInput& input) {
  if (input.button != MouseInput::Left) return;
  const int index = ItemIndexAt(input.point);
  if (index >= 0) UserPick(index);
}

QWidget* KeyFuncControl::CreateWidget(QWidget* parent) { return new ChooserWidget(this, parent); }

void KeyFuncControl::Paint(QPainter& painter, const QRect& area) {
  std::vector<KeyFuncGroup> groups;
  std::vector<Cell> cells;
  int checked, scroll, total = 0;
  ARGB textColor;
  {
    std::lock_guard guard(lock_);
    groups = groups_;
    checked = checked_;
    scroll = scroll_ = ClampedScroll(scroll_, area.width(), area.height());
    cells = LayoutCells(area.width(), &total);
    textColor = textColor_;
  }
  painter.save();
  painter.setClipRect(area);
  painter.setPen(QColor(0x50, 0x55, 0x5C));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  QColor headingColor = ToQColor(textColor);
  if (!IsEffectivelyEnabled()) headingColor.setAlpha(headingColor.alpha() / 2);
  for (const Cell& cell : cells) {
    const QRect box(area.left() + cell.left, area.top() + cell.top - scroll, cell.width, cell.height);
    if (box.top() < area.top() || box.bottom() > area.bottom()) continue;  // whole rows only, never cut
    if (cell.flatIndex < 0) {
      QFont font = painter.font();
      font.setPixelSize(14);
      font.setBold(true);
      painter.setFont(font);
      painter.setPen(headingColor);
      painter.drawText(box.adjusted(4, 0, 0, -4), Qt::AlignLeft | Qt::AlignBottom,
                       ToQString(groups[cell.group].heading));
      painter.setPen(QColor(0x50, 0x55, 0x5C));
      painter.drawLine(box.left(), box.bottom(), box.right(), box.bottom());
      continue;
    }
    if (cell.flatIndex == checked) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(0x3C, 0x8C, 0xE6, 0xA0));
      painter.drawRoundedRect(QRectF(box).adjusted(1, 2, -1, -2), 3, 3);
    }
    PaintText(painter, box.adjusted(6, 0, 0, 0), groups[cell.group].items[cell.item].text);
  }
  if (total > area.height()) {
    // Where the shown rows lie among all of them.
    const int barHeight = std::max(16, area.height() * area.height() / total);
    const int barTop = (area.height() - barHeight) * scroll / std::max(1, total - area.height());
    painter.fillRect(QRect(area.right() - 4, area.top() + barTop, 3, barHeight),
                     QColor(0x8A, 0x90, 0x99, 0xA0));
  }
  painter.restore();
}
