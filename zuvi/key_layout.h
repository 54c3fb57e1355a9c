// The geometry the key views share: a keyboard picture of the layout's size scaled uniformly and
// centred in the control, and the key items (rectangles in picture coordinates) mapped the same
// way for drawing, hit testing and the tests' clicks. Items are any type with `rect` and `code`.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>

#include "zuvi/types.h"

namespace key_layout {

struct Mapping {
  double scale = 0;  // 0: nothing to map (no picture size or no room)
  double x = 0;      // where picture point (0, 0) lands, relative to the control
  double y = 0;
};

// Fits a picture of `pictureWidth` x `pictureHeight` (when not positive: the items' extent) into a
// control of `width` x `height`.
template <typename Items>
Mapping Fit(double pictureWidth, double pictureHeight, const Items& items, int width, int height) {
  double w = pictureWidth, h = pictureHeight;
  if (w <= 0 || h <= 0) {
    w = h = 0;
    for (const auto& item : items) {
      w = std::max<double>(w, item.rect.right);
      h = std::max<double>(h, item.rect.bottom);
    }
  }
  Mapping m;
  if (w <= 0 || h <= 0 || width <= 0 || height <= 0) return m;
  m.scale = std::min(width / w, height / h);
  m.x = (width - w * m.scale) / 2;
  m.y = (height - h * m.scale) / 2;
  return m;
}

// The index of the last item containing control-relative point (x, y), or -1.
template <typename Items>
int ItemAt(const Items& items, const Mapping& m, double x, double y) {
  if (m.scale <= 0) return -1;
  const double px = (x - m.x) / m.scale;
  const double py = (y - m.y) / m.scale;
  for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i) {
    const RECT& r = items[static_cast<size_t>(i)].rect;
    if (px >= r.left && px < r.right && py >= r.top && py < r.bottom) return i;
  }
  return -1;
}

// The window-client point at the centre of the last item with `code` in a control at `control`.
template <typename Items>
std::optional<POINT> CentreOf(const Items& items, const Mapping& m, const RECT& control, int code) {
  if (m.scale <= 0) return std::nullopt;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    if (it->code != code) continue;
    const double cx = m.x + (it->rect.left + it->rect.right) / 2.0 * m.scale;
    const double cy = m.y + (it->rect.top + it->rect.bottom) / 2.0 * m.scale;
    return POINT{control.left + static_cast<int>(std::floor(cx)),
                 control.top + static_cast<int>(std::floor(cy))};
  }
  return std::nullopt;
}

}  // namespace key_layout
