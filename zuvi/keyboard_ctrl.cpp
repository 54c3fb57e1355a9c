#include "zuvi/keyboard_ctrl.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "zuvi/control_widget.h"
#include "zuvi/internal.h"
#include "zuvi/light_effect.h"

using namespace zuvi_internal;

namespace {

// Shows the tip of the key under the cursor.
class KeyboardWidget : public ControlWidget {
 public:
  using ControlWidget::ControlWidget;

 protected:
  bool event(QEvent* event) override {
    auto* view = static_cast<KeyboardCtrl*>(Control());
    if (event->type() != QEvent::ToolTip || !view) return ControlWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    RECT r = view->GetRect();
    std::wstring tip = view->TipAt(POINT{r.left + help->pos().x(), r.top + help->pos().y()});
    if (tip.empty()) return ControlWidget::event(event);  // the control's own tooltip, if any
    QToolTip::showText(help->globalPos(), ToQString(tip), this);
    return true;
  }
};

QRectF MapRect(const RECT& r, double scale, double x, double y) {
  return QRectF(x + r.left * scale, y + r.top * scale, r.Width() * scale, r.Height() * scale);
}

constexpr int kPlainLight = 1;
constexpr int kScaledLight = 7;
constexpr int kFirstMarkMode = 101;
// Display only: every key filled with its colour, clicks do nothing.
constexpr int kDisplayMode = 102;

void SetPlainLight(KeyItem& item, std::uint32_t color) {
  item.color = color & 0xFFFFFF;
  item.state = kPlainLight;
  item.level = 255;
}

// What a key's light looks like: none for a dark key, else its colour (scaled by the level).
std::optional<QColor> LightColor(const KeyItem& item) {
  if (item.state == 0) return std::nullopt;
  int red = static_cast<int>(item.color & 0xFF);
  int green = static_cast<int>((item.color >> 8) & 0xFF);
  int blue = static_cast<int>((item.color >> 16) & 0xFF);
  if (item.state == kScaledLight) {
    const int level = std::clamp(item.level, 0, 255);
    red = red * level / 256;
    green = green * level / 256;
    blue = blue * level / 256;
  }
  return QColor(red, green, blue);
}

}  // namespace

template <typename F>
void KeyboardCtrl::ForCode(int code, F change) {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_)
      if (item.code == code) change(item);
  }
  UpdateControl();
}

void KeyboardCtrl::ClearItem() {
  {
    std::lock_guard guard(lock_);
    items_.clear();
    current_ = -1;
  }
  UpdateControl();
}

void KeyboardCtrl::AddKeyItem(const std::wstring& name, const std::wstring& desc, int code, const RECT& rect,
                              const std::wstring& icon) {
  {
    std::lock_guard guard(lock_);
    KeyItem item;
    item.name = name;
    item.desc = desc;
    item.code = code;
    item.rect = rect;
    item.icon = icon;
    items_.push_back(std::move(item));
  }
  UpdateControl();
}

void KeyboardCtrl::SetKeyboardImage(const std::wstring& file) { SetState(keyboardImage_, file); }

void KeyboardCtrl::SetWidthAndHeight(int width, int height) {
  {
    std::lock_guard guard(lock_);
    width_ = width;
    height_ = height;
  }
  UpdateControl();
}

void KeyboardCtrl::SetKeyboardType(int type) { SetState(type_, type); }

void KeyboardCtrl::SetKeyboardCtrlMode(int mode) { SetState(mode_, mode); }

int KeyboardCtrl::GetKeyboardCtrlMode() const { return GetState(mode_); }

void KeyboardCtrl::SetTipInfo(const std::wstring& tip) { SetState(tip_, tip); }

std::wstring KeyboardCtrl::GetTipInfo() const { return GetState(tip_); }

void KeyboardCtrl::SetKeyBackgroundColor(ARGB color) { SetState(background_, color); }

void KeyboardCtrl::SetKeyCheck(int code, bool checked) {
  ForCode(code, [checked](KeyItem& item) { item.checked = checked; });
}

void KeyboardCtrl::ResetAllItemCheck() {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_) item.checked = false;
  }
  UpdateControl();
}

void KeyboardCtrl::SetTipKey(int code, const std::wstring& heading, const std::wstring& text) {
  ForCode(code, [&](KeyItem& item) {
    item.tipHeading = heading;
    item.tipText = text;
  });
}

void KeyboardCtrl::ResetAllTips() {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_) {
      item.tipHeading.clear();
      item.tipText.clear();
    }
  }
  UpdateControl();
}

void KeyboardCtrl::SetKeyDesc(int code, const std::wstring& caption) {
  ForCode(code, [&](KeyItem& item) { item.caption = caption; });
}

void KeyboardCtrl::SetKeyDisabled(int code, bool disabled) {
  ForCode(code, [disabled](KeyItem& item) { item.disabledMark = disabled; });
}

void KeyboardCtrl::SetKeyMarks(const std::map<int, KeyMark>& marks) {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_) {
      auto it = marks.find(item.code);
      const KeyMark mark = it == marks.end() ? KeyMark{} : it->second;
      item.checked = mark.checked;
      item.tipHeading = mark.tipHeading;
      item.tipText = mark.tipText;
      item.disabledMark = mark.disabled;
    }
  }
  UpdateControl();
}

void KeyboardCtrl::SetCurrentKey(int code) {
  {
    std::lock_guard guard(lock_);
    if (code != -1 &&
        std::none_of(items_.begin(), items_.end(), [code](const KeyItem& k) { return k.code == code; }))
      return;
    current_ = code;
  }
  UpdateControl();
}

int KeyboardCtrl::GetCurrentKey() const { return GetState(current_); }

std::vector<KeyItem> KeyboardCtrl::GetKeyItems() const { return GetState(items_); }

void KeyboardCtrl::LoadColorFulEffect() { SetState(effect_, Effect::kColorful); }

void KeyboardCtrl::SetColorEffect(std::uint32_t color) {
  {
    std::lock_guard guard(lock_);
    effect_ = Effect::kPlainColor;
    effectColor_ = color;
  }
  UpdateControl();
}

void KeyboardCtrl::SetItemLight(size_t index, std::uint32_t color, int state, int level) {
  {
    std::lock_guard guard(lock_);
    if (index >= items_.size()) return;
    items_[index].color = color;
    items_[index].state = state;
    items_[index].level = level;
  }
  UpdateControl();
}

void KeyboardCtrl::SetItemColors(const std::vector<int>& codes,
                                 const std::vector<std::optional<std::uint32_t>>& colors) {
  {
    std::lock_guard guard(lock_);
    const size_t count = std::min({codes.size(), colors.size(), items_.size()});
    for (size_t k = 0; k < count; ++k)
      if (colors[k] && items_[k].code == codes[k]) SetPlainLight(items_[k], *colors[k]);
  }
  UpdateControl();
}

void KeyboardCtrl::SetStaticModeColor(ARGB color, bool colorful) {
  {
    std::lock_guard guard(lock_);
    // ARGB 0xAARRGGBB to 0x00BBGGRR.
    const std::uint32_t plain = ((color >> 16) & 0xFF) | (color & 0xFF00) | ((color & 0xFF) << 16);
    std::vector<int> positions;
    if (colorful) {
      std::vector<light_effect::Key> keys(items_.size());
      for (size_t i = 0; i < items_.size(); ++i) keys[i].rect = items_[i].rect;
      positions = light_effect::Positions(keys);
    }
    for (size_t i = 0; i < items_.size(); ++i)
      SetPlainLight(items_[i], colorful ? light_effect::Hue(positions[i]) : plain);
  }
  UpdateControl();
}

void KeyboardCtrl::SetCustomModeColor(std::uint32_t color) {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_)
      if (item.checked) SetPlainLight(item, color);
  }
  UpdateControl();
}

void KeyboardCtrl::SetCustomModeColor(int code, std::uint32_t color) {
  ForCode(code, [color](KeyItem& item) { SetPlainLight(item, color); });
}

void KeyboardCtrl::ResetAllItemsColor(std::uint32_t color) {
  {
    std::lock_guard guard(lock_);
    for (KeyItem& item : items_) SetPlainLight(item, color);
  }
  UpdateControl();
}

void KeyboardCtrl::SetPerKeyMode(bool on) { SetState(perKeyMode_, on); }

bool KeyboardCtrl::GetPerKeyMode() const { return GetState(perKeyMode_); }

void KeyboardCtrl::Redraw() {
  {
    std::lock_guard guard(lock_);
    ++redraws_;
  }
  UpdateControl();
}

int KeyboardCtrl::Redraws() const { return GetState(redraws_); }

std::wstring KeyboardCtrl::Image() const { return GetState(keyboardImage_); }

int KeyboardCtrl::Type() const { return GetState(type_); }

int KeyboardCtrl::Width() const { return GetState(width_); }

int KeyboardCtrl::Height() const { return GetState(height_); }

KeyboardCtrl::Effect KeyboardCtrl::ColorEffect() const { return GetState(effect_); }

std::uint32_t KeyboardCtrl::EffectColor() const { return GetState(effectColor_); }

KeyboardCtrl::Mapping KeyboardCtrl::MappingFor(int width, int height) const {
  // The picture's size: as the layout gives it, else the skin image's, else the items' extent.
  double w = width_, h = height_;
  if (w <= 0 || h <= 0) {
    QImage image = LoadSkinImage(keyboardImage_);
    w = image.width();
    h = image.height();
  }
  return key_layout::Fit(w, h, items_, width, height);
}

int KeyboardCtrl::KeyAt(POINT point) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int index =
      key_layout::ItemAt(items_, MappingFor(r.Width(), r.Height()), point.x - r.left, point.y - r.top);
  return index < 0 ? -1 : items_[index].code;
}

std::optional<POINT> KeyboardCtrl::KeyPoint(int code) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  return key_layout::CentreOf(items_, MappingFor(r.Width(), r.Height()), r, code);
}

std::wstring KeyboardCtrl::TipAt(POINT point) const {
  const RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int index =
      key_layout::ItemAt(items_, MappingFor(r.Width(), r.Height()), point.x - r.left, point.y - r.top);
  if (index < 0) return {};
  const KeyItem& item = items_[index];
  if (item.tipHeading.empty() || item.tipText.empty()) return item.tipHeading + item.tipText;
  return item.tipHeading + L"\n" + item.tipText;
}

void KeyboardCtrl::OnInput(const MouseInput& input) {
  const RECT r = GetRect();
  int code = -1;
  {
    std::lock_guard guard(lock_);
    if (mode_ == kDisplayMode) return;
    const int index = key_layout::ItemAt(items_, MappingFor(r.Width(), r.Height()), input.point.x - r.left,
                                         input.point.y - r.top);
    if (index >= 0) {
      code = items_[index].code;
      if (perKeyMode_ && input.button != MouseInput::Right) {
        const bool checked = !items_[index].checked;
        for (KeyItem& item : items_)
          if (item.code == code) item.checked = checked;
      }
    }
    current_ = code;
  }
  UpdateControl();
  Notify(input.button == MouseInput::Right ? NOTIFY_RCLICK : NOTIFY_CLICK, code);
}

QWidget* KeyboardCtrl::CreateWidget(QWidget* parent) { return new KeyboardWidget(this, parent); }

void KeyboardCtrl::Paint(QPainter& painter, const QRect& area) {
  std::vector<KeyItem> items;
  std::wstring image, tip;
  ARGB background, textColor;
  int current;
  int mode;
  Mapping m;
  {
    std::lock_guard guard(lock_);
    items = items_;
    image = keyboardImage_;
    tip = tip_;
    background = background_;
    textColor = textColor_;
    current = current_;
    mode = mode_;
    m = MappingFor(area.width(), area.height());
  }
  if ((background >> 24) != 0) painter.fillRect(area, ToQColor(background));
  const QPointF origin(area.left() + m.x, area.top() + m.y);
  const QImage picture = LoadSkinImage(image);
  if (m.scale > 0 && !picture.isNull()) {
    // The picture fills the mapped area of the layout's size.
    const double w = (area.width() - 2 * m.x), h = (area.height() - 2 * m.y);
    painter.drawImage(QRectF(origin.x(), origin.y(), w, h), picture);
  }
  const QColor text = ToQColor(textColor);
  const QColor outline(0x8A, 0x90, 0x99);
  const QColor face(0x2A, 0x2E, 0x34);
  const QColor checkFill(0x3C, 0x8C, 0xE6, 0x90);
  const QColor checkLine(0x3C, 0x8C, 0xE6);
  const QColor currentLine(0xFF, 0xC0, 0x30);
  const QColor barred(0xE0, 0x40, 0x40);
  // Mode 0: every light is off, the keys show dark; above 100 the keys carry only their marks.
  const bool displayMode = mode == kDisplayMode;
  const bool lightMode = displayMode || (mode > 0 && mode < kFirstMarkMode);
  for (const KeyItem& item : items) {
    if (m.scale <= 0) break;
    const QRectF key = MapRect(item.rect, m.scale, origin.x(), origin.y()).adjusted(1, 1, -1, -1);
    if (key.width() <= 0 || key.height() <= 0) continue;
    const double radius = std::min(4.0, key.height() / 6);
    if (picture.isNull()) {
      painter.setPen(QPen(outline, 1));
      painter.setBrush(face);
      painter.drawRoundedRect(key, radius, radius);
    }
    std::optional<QColor> light = lightMode ? LightColor(item) : std::nullopt;
    if (displayMode) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(light.value_or(QColor(0, 0, 0)));
      painter.drawRoundedRect(key, radius, radius);
    } else if (light) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(*light);
      painter.drawRoundedRect(key.adjusted(1, 1, -1, -1), radius, radius);
    }
    if (item.checked) {
      painter.setPen(QPen(checkLine, lightMode ? 3.0 : 1.5));
      painter.setBrush(lightMode ? QBrush(Qt::NoBrush) : QBrush(checkFill));  // the light stays visible
      painter.drawRoundedRect(key, radius, radius);
    }
    if (item.disabledMark) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(0, 0, 0, 0x90));
      painter.drawRoundedRect(key, radius, radius);
      painter.setPen(QPen(barred, 1.5));
      const QRectF cross =
          key.adjusted(key.width() / 4, key.height() / 4, -key.width() / 4, -key.height() / 4);
      painter.drawLine(cross.topLeft(), cross.bottomRight());
      painter.drawLine(cross.topRight(), cross.bottomLeft());
    }
    // Without a picture every key shows its name; on a picture only a caption is written.
    const std::wstring* label = item.caption ? &*item.caption : picture.isNull() ? &item.name : nullptr;
    if (label && !label->empty()) {
      // Long captions on narrow keys get a smaller font, then wrap.
      const QString shown = ToQString(*label);
      QFont font = painter.font();
      int size = std::clamp(static_cast<int>(key.height() * 0.3), 7, 14);
      font.setPixelSize(size);
      while (size > 7 && QFontMetricsF(font).horizontalAdvance(shown) > key.width() - 4)
        font.setPixelSize(--size);
      painter.setFont(font);
      // A bright light gets dark writing.
      QColor pen = light && light->lightness() > 150 ? QColor(0x20, 0x20, 0x20) : text;
      if (item.disabledMark) pen.setAlpha(0x80);
      painter.setPen(pen);
      painter.drawText(key.adjusted(2, 0, -2, 0), Qt::AlignCenter | Qt::TextWordWrap, shown);
    }
  }
  // The current key's outline goes over its neighbours' faces.
  for (const KeyItem& item : items) {
    if (m.scale <= 0 || item.code != current) continue;
    const QRectF key = MapRect(item.rect, m.scale, origin.x(), origin.y()).adjusted(1, 1, -1, -1);
    const double radius = std::min(4.0, key.height() / 6);
    painter.setPen(QPen(currentLine, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(key, radius, radius);
  }
  if (current == -1 && !tip.empty()) {
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(QRect(area.left(), area.bottom() - 22, area.width(), 20), Qt::AlignCenter,
                     ToQString(tip));
  }
  if (!IsEffectivelyEnabled()) painter.fillRect(area, QColor(0, 0, 0, 0x60));
}
