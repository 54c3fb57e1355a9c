// CustomLightMode: the keyboard picture of the custom light editors and of the settings page. Each
// key item carries its working state (check, colour 0x00BBGGRR, effect, colour type, type value)
// and the frame it shows now; the view animates the frames from the window's clock and draws
// them, and GetKeyItems reports the same frames, so a preview sends exactly what is shown.
//
// Operations named "Check..." change the checked items only. A click on a key toggles its check
// and redraws; it reports nothing. Every operation may be called from any thread: the state is
// kept under the control's lock, which is held only to copy or update it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zuvi/control.h"
#include "zuvi/key_layout.h"
#include "zuvi/light_effect.h"

struct CustomLightItem {
  std::wstring name;
  std::wstring desc;
  int code = 0;
  RECT rect{};  // picture coordinates
  std::wstring icon;
  bool checked = false;
  std::uint32_t color = 0;  // working colour, 0x00BBGGRR
  int effect = 0;
  int colorType = 0;
  int type = 0;
  light_effect::Frame frame;  // what the view shows for the key now
  bool operator==(const CustomLightItem&) const = default;
};

class CustomLightMode : public MControlFont {
 public:
  // ---- the layout ----
  void ClearItem();
  void AddKeyItem(const std::wstring& name, const std::wstring& desc, int code, const RECT& rect,
                  const std::wstring& icon);
  void SetKeyboardImage(const std::wstring& file);
  void SetKeyboardType(int type);
  // The picture's size in picture coordinates (0 x 0: the items' extent).
  void SetWidthAndHeight(int width, int height);
  // Every key runs the rainbow sweep, whatever its own effect, until ResetAllKeyInfo.
  void LoadColorFulEffect();
  // Every key shows `color` (0x00BBGGRR) steadily until ResetAllKeyInfo.
  void SetColorEffect(std::uint32_t color);

  // ---- per-key contents ----
  // Sets one key's contents (every item with `code`; an unknown code changes nothing).
  void SetKeyInfo(int code, int effect, std::uint32_t color, int type, int colorType);
  // The checked keys take `color` and colour type `colorful` (1 or 0).
  void SetCheckKeyColor(std::uint32_t color, int colorful);
  void SetKeyLightMode(int effect);
  void SetCheckColorType(int colorType);
  // Every key takes `color`.
  void ResetAllItemsColor(std::uint32_t color);
  void SetKeyCheck(int code, bool checked);
  void ResetAllItemCheck(bool checked);
  // Zeroes every key's effect, colour, colour type and type value, and ends a whole-keyboard
  // effect.
  void ResetAllKeyInfo();
  void SetSpeed(int speed);
  int GetSpeed() const;
  void SetBrightNess(int brightness);
  int GetBrightNess() const;
  // A copy of the items in the order they were added.
  std::vector<CustomLightItem> GetKeyItems() const;

  // ---- the animation ----
  // Sets every item's frame for the moment `nowMs`.
  void UpdateLightEffect(std::int64_t nowMs);
  // The clock the view's own animation reads (the window's) and the start of its timer, which
  // runs on the window's ticks while the view is shown; call it once the control is created.
  void SetClock(std::function<std::int64_t()> nowMs);
  int Redraws() const;

  std::wstring Image() const;
  int Type() const;

  // ---- geometry ----
  // The window-client point at the centre of the last item with `code`; nullopt for an unknown
  // code or a control without area.
  std::optional<POINT> KeyPoint(int code) const;
  // The code of the key at window-client point `point`, or -1.
  int KeyAt(POINT point) const;

  void Paint(QPainter& painter, const QRect& area) override;
  void OnMTimer() override;

 protected:
  void OnInput(const MouseInput& input) override;

 private:
  enum class Whole { kNone, kColorful, kSteady };
  using Mapping = key_layout::Mapping;
  // Under lock_.
  Mapping MappingFor(int width, int height) const;
  // Applies `change` to every item for which `select` holds, under the lock; then redraws.
  template <typename S, typename F>
  void Change(S select, F change);

  std::vector<CustomLightItem> items_;
  std::uint64_t generation_ = 0;  // bumped whenever the set of items changes
  std::wstring keyboardImage_;
  int type_ = 0;
  int width_ = 0;
  int height_ = 0;
  int speed_ = 0;
  int brightness_ = 15;
  Whole whole_ = Whole::kNone;
  std::uint32_t wholeColor_ = 0;
  int redraws_ = 0;
  std::function<std::int64_t()> clock_;
  std::int64_t lastTick_ = INT64_MIN;
};
