#include "keyboard/KeyViewStandIn.h"

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
