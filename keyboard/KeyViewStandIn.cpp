#include "keyboard/KeyViewStandIn.h"

#include <algorithm>

void KeyViewStandIn::ClearItem() {
  std::lock_guard guard(lock_);
  items_.clear();
}

void KeyViewStandIn::SetKeyboardImage(const std::wstring& image) {
  std::lock_guard guard(lock_);
  image_ = image;
}

void KeyViewStandIn::SetKeyboardType(int type) {
  std::lock_guard guard(lock_);
  type_ = type;
}

void KeyViewStandIn::SetWidthAndHeight(int width, int height) {
  std::lock_guard guard(lock_);
  width_ = width;
  height_ = height;
}

void KeyViewStandIn::AddKeyItem(const std::wstring& name, const std::wstring& desc, int code,
                                const RECT& rect, const std::wstring& icon) {
  std::lock_guard guard(lock_);
  items_.push_back(KeyViewItem{name, desc, code, rect, icon});
}

void KeyViewStandIn::LoadColorFulEffect() {
  std::lock_guard guard(lock_);
  effect_ = Effect::kColorful;
}

void KeyViewStandIn::SetColorEffect(std::uint32_t color) {
  std::lock_guard guard(lock_);
  effect_ = Effect::kPlainColor;
  effectColor_ = color;
}

void KeyViewStandIn::SetItemLight(size_t index, std::uint32_t color, int state, int level) {
  std::lock_guard guard(lock_);
  if (index >= items_.size()) return;
  items_[index].color = color;
  items_[index].state = state;
  items_[index].level = level;
}

void KeyViewStandIn::SetItemColors(const std::vector<int>& codes,
                                   const std::vector<std::optional<std::uint32_t>>& colors) {
  std::lock_guard guard(lock_);
  const size_t count = std::min({codes.size(), colors.size(), items_.size()});
  for (size_t k = 0; k < count; ++k)
    if (colors[k] && items_[k].code == codes[k]) items_[k].color = *colors[k];
}

void KeyViewStandIn::Redraw() {
  std::lock_guard guard(lock_);
  ++redraws_;
}

int KeyViewStandIn::Redraws() const {
  std::lock_guard guard(lock_);
  return redraws_;
}

std::wstring KeyViewStandIn::Image() const {
  std::lock_guard guard(lock_);
  return image_;
}

int KeyViewStandIn::Type() const {
  std::lock_guard guard(lock_);
  return type_;
}

int KeyViewStandIn::Width() const {
  std::lock_guard guard(lock_);
  return width_;
}

int KeyViewStandIn::Height() const {
  std::lock_guard guard(lock_);
  return height_;
}

std::vector<KeyViewItem> KeyViewStandIn::Items() const {
  std::lock_guard guard(lock_);
  return items_;
}

KeyViewStandIn::Effect KeyViewStandIn::ColorEffect() const {
  std::lock_guard guard(lock_);
  return effect_;
}

std::uint32_t KeyViewStandIn::EffectColor() const {
  std::lock_guard guard(lock_);
  return effectColor_;
}
