#include "zuvi/custom_light_mode.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>

#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

// The view's own animation step; the window ticks faster.
constexpr std::int64_t kAnimationStepMs = 40;
// The effect every key runs under LoadColorFulEffect: any id other than 0, 1 and 7 sweeps.
constexpr int kSweepEffect = 2;
constexpr int kMaxSpeed = 100;

QColor FrameColor(const light_effect::Frame& frame) {
  if (frame.state == 0) return QColor(0x16, 0x18, 0x1C);
  int red = frame.color & 0xFF, green = (frame.color >> 8) & 0xFF, blue = (frame.color >> 16) & 0xFF;
  if (frame.state == 7) {
    const int level = std::clamp(frame.level, 0, 256);
    red = red * level / 256;
    green = green * level / 256;
    blue = blue * level / 256;
  }
  return QColor(red, green, blue);
}

}  // namespace

template <typename S, typename F>
void CustomLightMode::Change(S select, F change) {
  {
    std::lock_guard guard(lock_);
    for (CustomLightItem& item : items_)
      if (select(item)) change(item);
  }
  UpdateControl();
}

void CustomLightMode::ClearItem() {
  {
    std::lock_guard guard(lock_);
    items_.clear();
    ++generation_;
  }
  UpdateControl();
}

void CustomLightMode::AddKeyItem(const std::wstring& name, const std::wstring& desc, int code,
                                 const RECT& rect, const std::wstring& icon) {
  {
    std::lock_guard guard(lock_);
    CustomLightItem item;
    item.name = name;
    item.desc = desc;
    item.code = code;
    item.rect = rect;
    item.icon = icon;
    items_.push_back(std::move(item));
    ++generation_;
  }
  UpdateControl();
}

void CustomLightMode::SetKeyboardImage(const std::wstring& file) { SetState(keyboardImage_, file); }

void CustomLightMode::SetKeyboardType(int type) { SetState(type_, type); }

void CustomLightMode::SetWidthAndHeight(int width, int height) {
  {
    std::lock_guard guard(lock_);
    width_ = width;
    height_ = height;
  }
  UpdateControl();
}

void CustomLightMode::LoadColorFulEffect() {
  {
    std::lock_guard guard(lock_);
    whole_ = Whole::kColorful;
  }
  UpdateControl();
}

void CustomLightMode::SetColorEffect(std::uint32_t color) {
  {
    std::lock_guard guard(lock_);
    whole_ = Whole::kSteady;
    wholeColor_ = color & 0xFFFFFF;
  }
  UpdateControl();
}

void CustomLightMode::SetKeyInfo(int code, int effect, std::uint32_t color, int type, int colorType) {
  Change([code](const CustomLightItem& item) { return item.code == code; },
         [&](CustomLightItem& item) {
           item.effect = effect;
           item.color = color;
           item.type = type;
           item.colorType = colorType;
         });
}

void CustomLightMode::SetCheckKeyColor(std::uint32_t color, int colorful) {
  Change([](const CustomLightItem& item) { return item.checked; },
         [&](CustomLightItem& item) {
           item.color = color;
           item.colorType = colorful;
         });
}

void CustomLightMode::SetKeyLightMode(int effect) {
  Change([](const CustomLightItem& item) { return item.checked; },
         [effect](CustomLightItem& item) { item.effect = effect; });
}

void CustomLightMode::SetCheckColorType(int colorType) {
  Change([](const CustomLightItem& item) { return item.checked; },
         [colorType](CustomLightItem& item) { item.colorType = colorType; });
}

void CustomLightMode::ResetAllItemsColor(std::uint32_t color) {
  Change([](const CustomLightItem&) { return true; }, [color](CustomLightItem& item) { item.color = color; });
}

void CustomLightMode::SetKeyCheck(int code, bool checked) {
  Change([code](const CustomLightItem& item) { return item.code == code; },
         [checked](CustomLightItem& item) { item.checked = checked; });
}

void CustomLightMode::ResetAllItemCheck(bool checked) {
  Change([](const CustomLightItem&) { return true; },
         [checked](CustomLightItem& item) { item.checked = checked; });
}

void CustomLightMode::ResetAllKeyInfo() {
  {
    std::lock_guard guard(lock_);
    for (CustomLightItem& item : items_) {
      item.effect = 0;
      item.color = 0;
      item.colorType = 0;
      item.type = 0;
    }
    whole_ = Whole::kNone;
  }
  UpdateControl();
}

void CustomLightMode::SetSpeed(int speed) { SetState(speed_, speed); }

int CustomLightMode::GetSpeed() const { return GetState(speed_); }

void CustomLightMode::SetBrightNess(int brightness) { SetState(brightness_, brightness); }

int CustomLightMode::GetBrightNess() const { return GetState(brightness_); }

std::vector<CustomLightItem> CustomLightMode::GetKeyItems() const { return GetState(items_); }

void CustomLightMode::UpdateLightEffect(std::int64_t nowMs) {
  // Copy the inputs, compute outside the lock, and put the frames back only onto the same items.
  std::vector<light_effect::Key> keys;
  std::uint64_t generation;
  int speed;
  {
    std::lock_guard guard(lock_);
    keys.reserve(items_.size());
    for (const CustomLightItem& item : items_) {
      light_effect::Key key{item.rect, item.color & 0xFFFFFF, item.effect, item.colorType};
      if (whole_ == Whole::kColorful) key.effect = kSweepEffect;
      if (whole_ == Whole::kSteady) key = {item.rect, wholeColor_, 1, 0};
      keys.push_back(key);
    }
    generation = generation_;
    speed = std::clamp(speed_, 0, kMaxSpeed);
  }
  const std::vector<light_effect::Frame> frames = light_effect::Frames(keys, nowMs, speed);
  {
    std::lock_guard guard(lock_);
    if (generation != generation_) return;  // the layout was reloaded meanwhile
    for (size_t i = 0; i < items_.size() && i < frames.size(); ++i) items_[i].frame = frames[i];
    ++redraws_;
  }
  UpdateControl();
}

void CustomLightMode::SetClock(std::function<std::int64_t()> nowMs) {
  {
    std::lock_guard guard(lock_);
    clock_ = std::move(nowMs);
    lastTick_ = INT64_MIN;
  }
  AddMTimer();
}

void CustomLightMode::OnMTimer() {
  if (!IsEffectivelyVisible()) return;
  std::function<std::int64_t()> clock;
  {
    std::lock_guard guard(lock_);
    clock = clock_;
  }
  if (!clock) return;
  const std::int64_t now = clock();
  {
    std::lock_guard guard(lock_);
    if (lastTick_ != INT64_MIN && now - lastTick_ < kAnimationStepMs && now >= lastTick_) return;
    lastTick_ = now;
  }
  UpdateLightEffect(now);
}

int CustomLightMode::Redraws() const { return GetState(redraws_); }

std::wstring CustomLightMode::Image() const { return GetState(keyboardImage_); }

int CustomLightMode::Type() const { return GetState(type_); }

CustomLightMode::Mapping CustomLightMode::MappingFor(int width, int height) const {
  return key_layout::Fit(width_, height_, items_, width, height);
}

int CustomLightMode::KeyAt(POINT point) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int index =
      key_layout::ItemAt(items_, MappingFor(r.Width(), r.Height()), point.x - r.left, point.y - r.top);
  return index < 0 ? -1 : items_[index].code;
}

std::optional<POINT> CustomLightMode::KeyPoint(int code) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  return key_layout::CentreOf(items_, MappingFor(r.Width(), r.Height()), r, code);
}

void CustomLightMode::OnInput(const MouseInput& input) {
  if (input.button != MouseInput::Left) return;
  const RECT r = GetRect();
  {
    std::lock_guard guard(lock_);
    const int index = key_layout::ItemAt(items_, MappingFor(r.Width(), r.Height()), input.point.x - r.left,
                                         input.point.y - r.top);
    if (index < 0) return;
    items_[index].checked = !items_[index].checked;
  }
  UpdateControl();
}

void CustomLightMode::Paint(QPainter& painter, const QRect& area) {
  std::vector<CustomLightItem> items;
  std::wstring image;
  ARGB textColor;
  Mapping m;
  {
    std::lock_guard guard(lock_);
    items = items_;
    image = keyboardImage_;
    textColor = textColor_;
    m = MappingFor(area.width(), area.height());
  }
  const QPointF origin(area.left() + m.x, area.top() + m.y);
  const QImage picture = LoadSkinImage(image);
  if (m.scale > 0 && !picture.isNull())
    painter.drawImage(QRectF(origin.x(), origin.y(), area.width() - 2 * m.x, area.height() - 2 * m.y),
                      picture);
  const QColor outline(0x8A, 0x90, 0x99);
  const QColor checkLine(0x3C, 0x8C, 0xE6);
  for (const CustomLightItem& item : items) {
    if (m.scale <= 0) break;
    const QRectF key(origin.x() + item.rect.left * m.scale + 1, origin.y() + item.rect.top * m.scale + 1,
                     item.rect.Width() * m.scale - 2, item.rect.Height() * m.scale - 2);
    if (key.width() <= 0 || key.height() <= 0) continue;
    const double radius = std::min(4.0, key.height() / 6);
    const QColor light = FrameColor(item.frame);
    painter.setPen(item.checked ? QPen(checkLine, 2.5) : QPen(outline, 1));
    painter.setBrush(light);
    painter.drawRoundedRect(key, radius, radius);
    if (!item.name.empty() && picture.isNull()) {
      QFont font = painter.font();
      font.setPixelSize(std::clamp(static_cast<int>(key.height() * 0.28), 7, 13));
      painter.setFont(font);
      // Dark text on bright keys, light text on dark ones; the label sits in the key's top left
      // so the centre shows the light itself.
      const bool bright = light.red() * 299 + light.green() * 587 + light.blue() * 114 > 128000;
      painter.setPen(bright ? QColor(0x10, 0x10, 0x10) : ToQColor(textColor));
      painter.drawText(key.adjusted(3, 1, -2, 0), Qt::AlignLeft | Qt::AlignTop, ToQString(item.name));
    }
  }
  if (!IsEffectivelyEnabled()) painter.fillRect(area, QColor(0, 0, 0, 0x60));
}
