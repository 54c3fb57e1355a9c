#include "zuvi/key_func_control.h"

#include <QPainter>

#include "zuvi/internal.h"

void KeyFuncControl::SetItemDesc(int value, const std::wstring& desc) {
  {
    std::lock_guard guard(lock_);
    descs_[value] = desc;
  }
  UpdateControl();
}

std::wstring KeyFuncControl::GetItemDesc(int value) const {
  std::lock_guard guard(lock_);
  auto it = descs_.find(value);
  return it == descs_.end() ? std::wstring() : it->second;
}

int KeyFuncControl::GetItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(descs_.size());
}

void KeyFuncControl::Paint(QPainter& painter, const QRect& area) {
  std::map<int, std::wstring> descs;
  {
    std::lock_guard guard(lock_);
    descs = descs_;
  }
  painter.setPen(QColor(0x50, 0x55, 0x5C));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  constexpr int kRowHeight = 24;
  int top = area.top();
  for (const auto& [value, desc] : descs) {
    if (top + kRowHeight > area.bottom()) break;
    PaintText(painter, QRect(area.left() + 8, top, area.width() - 16, kRowHeight), desc);
    top += kRowHeight;
  }
}
