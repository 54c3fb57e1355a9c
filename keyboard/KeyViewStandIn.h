// What a key view of the keyboard window holds: the keyboard picture, its size and type, the key
// items and the colour effect. The UI library has no key view classes yet, so the window keeps
// this record beside a plain area control of the view's id; the key view classes replace it
// when the pages that draw keys are built. Any thread (the worker reloads the key items).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zuvi/types.h"

struct KeyViewItem {
  std::wstring name;
  std::wstring desc;
  int code = 0;
  RECT rect;
  std::wstring icon;
  // The key's light as the lighting views show it: colour 0x00BBGGRR, light state (0 off, 7
  // scaled by the level, else the plain colour) and level 0..255.
  std::uint32_t color = 0;
  int state = 0;
  int level = 0;
  bool operator==(const KeyViewItem&) const = default;
};

class KeyViewStandIn {
 public:
  enum class Effect { kNone, kColorful, kPlainColor };

  void ClearItem();
  void SetKeyboardImage(const std::wstring& image);
  void SetKeyboardType(int type);
  void SetWidthAndHeight(int width, int height);
  void AddKeyItem(const std::wstring& name, const std::wstring& desc, int code, const RECT& rect,
                  const std::wstring& icon);
  // The keyboard's own colour effect (RGB keyboards).
  void LoadColorFulEffect();
  // One colour for every key (single-colour keyboards); 0x00RRGGBB.
  void SetColorEffect(std::uint32_t color);

  // Sets the light of item `index` (ignored past the last item).
  void SetItemLight(size_t index, std::uint32_t color, int state, int level);
  // Gives item k colors[k] where it holds a value, provided the item still has key code
  // codes[k] (the items may have been reloaded meanwhile); other items keep theirs.
  void SetItemColors(const std::vector<int>& codes, const std::vector<std::optional<std::uint32_t>>& colors);
  // The view is drawn afresh (counted: the key view classes draw for real).
  void Redraw();
  int Redraws() const;

  std::wstring Image() const;
  int Type() const;
  int Width() const;
  int Height() const;
  std::vector<KeyViewItem> Items() const;
  Effect ColorEffect() const;
  std::uint32_t EffectColor() const;

 private:
  mutable std::mutex lock_;
  std::wstring image_;
  int type_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::vector<KeyViewItem> items_;
  Effect effect_ = Effect::kNone;
  std::uint32_t effectColor_ = 0;
  int redraws_ = 0;
};
