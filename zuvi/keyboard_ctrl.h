// KeyboardCtrl: the keyboard picture of the key pages with its keys. Each key item has its place
// on the picture, its light as the lighting views show it, and the marks of the key assignment
// page: checked (the key has an assignment), a tip shown on hover, a caption that replaces its
// name, and a mark for keys that may not be assigned. One key can be current (the key the user
// last clicked).
//
// Coordinates: item rectangles are in picture coordinates, the picture being the layout's width
// and height (or the skin image's size, or the extent of the items, when no size was given). The
// picture is scaled uniformly to fit the control and centred; drawing and hit testing use the
// same mapping.
//
// Reports: 2 for a click, 5 for a right click (parameter: the key code under the cursor or -1).
// Before it reports, the key under the cursor (the last-added item containing the point) becomes
// the current key, or -1 when no key is there. In per-key mode a left click on a key also
// toggles its check first.
//
// Modes (SetKeyboardCtrlMode): 0 draws every key dark; 1..100 are light modes, in which each key
// shows its light (colour, state, level); above 100 the keys show only their marks, except 102,
// which shows every key filled with its light (black when off) and ignores clicks.
//
// Every operation may be called from any thread; the state is kept under the control's lock and
// drawn on the UI thread. Operations by key code change every item with that code; an unknown
// code changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "zuvi/control.h"
#include "zuvi/key_layout.h"

struct KeyItem {
  std::wstring name;
  std::wstring desc;
  int code = 0;
  RECT rect{};  // picture coordinates
  std::wstring icon;
  // The key's light as the lighting views show it: colour 0x00BBGGRR, light state (0 off, 7
  // scaled by the level, else the plain colour) and level 0..255.
  std::uint32_t color = 0;
  int state = 0;
  int level = 0;
  bool checked = false;
  // The hover tip; none when both are empty.
  std::wstring tipHeading;
  std::wstring tipText;
  // Shown instead of the name when set.
  std::optional<std::wstring> caption;
  bool disabledMark = false;
  bool operator==(const KeyItem&) const = default;
};

class KeyboardCtrl : public MControlFont {
 public:
  enum class Effect { kNone, kColorful, kPlainColor };

  // The marks of one key for SetKeyMarks.
  struct KeyMark {
    bool checked = false;
    std::wstring tipHeading, tipText;
    bool disabled = false;
  };

  // ---- the layout ----
  // Removes every item; the current key becomes -1.
  void ClearItem();
  void AddKeyItem(const std::wstring& name, const std::wstring& desc, int code, const RECT& rect,
                  const std::wstring& icon);
  // The skin image of the keyboard; none is drawn when the file is missing.
  void SetKeyboardImage(const std::wstring& file);
  // The picture's size in picture coordinates (0 x 0: the image's size).
  void SetWidthAndHeight(int width, int height);
  void SetKeyboardType(int type);
  void SetKeyboardCtrlMode(int mode);
  int GetKeyboardCtrlMode() const;
  // The text shown while no key is current.
  void SetTipInfo(const std::wstring& tip);
  std::wstring GetTipInfo() const;
  // Fills the control behind the picture (alpha 0: nothing).
  void SetKeyBackgroundColor(ARGB color);

  // ---- marks by key code ----
  void SetKeyCheck(int code, bool checked);
  void ResetAllItemCheck();
  // Both texts empty: no tip.
  void SetTipKey(int code, const std::wstring& heading, const std::wstring& text);
  void ResetAllTips();
  void SetKeyDesc(int code, const std::wstring& caption);
  void SetKeyDisabled(int code, bool disabled);
  // Replaces every item's check, tip and disabled mark in one step: items whose code is not in
  // `marks` get none. A refresh from another thread never shows a half-updated keyboard.
  void SetKeyMarks(const std::map<int, KeyMark>& marks);
  // -1 clears; an unknown code changes nothing.
  void SetCurrentKey(int code);
  int GetCurrentKey() const;
  // A copy of the items in the order they were added.
  std::vector<KeyItem> GetKeyItems() const;
  std::vector<KeyItem> Items() const { return GetKeyItems(); }

  // ---- lighting ----
  // The keyboard's own colour effect (RGB keyboards).
  void LoadColorFulEffect();
  // One colour for every key (single-colour keyboards); 0x00RRGGBB.
  void SetColorEffect(std::uint32_t color);
  // Sets the light of item `index` (ignored past the last item).
  void SetItemLight(size_t index, std::uint32_t color, int state, int level);
  // Gives item k colors[k] (0x00BBGGRR, a plain light) where it holds a value, provided the item
  // still has key code codes[k] (the items may have been reloaded meanwhile); other items keep
  // theirs.
  void SetItemColors(const std::vector<int>& codes, const std::vector<std::optional<std::uint32_t>>& colors);
  // Every key in one colour, given as ARGB (alpha ignored); `colorful`: each key the hue of its
  // place across the keyboard instead, a fixed rainbow. Every key's light is plain (state 1).
  void SetStaticModeColor(ARGB color, bool colorful);
  // The checked keys, or the keys with `code`, take `color` (0x00BBGGRR) as a plain light.
  void SetCustomModeColor(std::uint32_t color);
  void SetCustomModeColor(int code, std::uint32_t color);
  // Every key takes `color` (0x00BBGGRR) as a plain light.
  void ResetAllItemsColor(std::uint32_t color = 0);
  // Per-key mode: a click on a key toggles its check. Off: clicks only pick the current key.
  void SetPerKeyMode(bool on);
  bool GetPerKeyMode() const;
  // Draws the view afresh; counted.
  void Redraw();
  int Redraws() const;

  std::wstring Image() const;
  int Type() const;
  int Width() const;
  int Height() const;
  Effect ColorEffect() const;
  std::uint32_t EffectColor() const;

  // ---- geometry ----
  // The window-client point at the centre of the last item with `code` under the current
  // mapping; nullopt for an unknown code or a control without area.
  std::optional<POINT> KeyPoint(int code) const;
  // The code of the key at window-client point `point` (the last-added item containing it), or
  // -1.
  int KeyAt(POINT point) const;
  // The tip shown when the cursor rests at window-client point `point`: heading and text on two
  // lines (either may be missing); empty when the key there has none or no key is there.
  std::wstring TipAt(POINT point) const;

  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  using Mapping = key_layout::Mapping;
  // Under lock_: the mapping for a control of `width` x `height`.
  Mapping MappingFor(int width, int height) const;
  // Applies `change` to every item with `code` under the lock, then redraws.
  template <typename F>
  void ForCode(int code, F change);

  std::vector<KeyItem> items_;
  std::wstring keyboardImage_;
  int type_ = 0;
  int mode_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::wstring tip_;
  ARGB background_ = 0;
  int current_ = -1;
  Effect effect_ = Effect::kNone;
  std::uint32_t effectColor_ = 0;
  int redraws_ = 0;
  bool perKeyMode_ = false;
};
