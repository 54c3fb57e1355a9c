// The screen page's colour pickers: LCDPalette2, a bar of the hues, and LCDPalette3, a field of
// saturation (left to right) and brightness (bottom to top) of one hue.
//
// Colours are 0x00BBGGRR: red + 256 x green + 65536 x blue. After SetSelectColor(c),
// GetSelectColor() returns exactly c (the marker shows where c lies). The user picks by a click or a
// drag: the colour under the pointer is taken at once (a drag past the edge takes the edge's), and
// the pick is reported once, with 27 and the colour as parameter, on the click or at the drag's
// release. SetSelectColor reports nothing.
#pragma once

#include <cstdint>

#include "zuvi/control.h"

class LCDPaletteBase : public MControl {
 public:
  void SetSelectColor(std::uint32_t colour);
  std::uint32_t GetSelectColor() const;
  // The colour the control shows at a window client point; false outside the control.
  virtual bool ColorAt(POINT point, std::uint32_t* colour) const = 0;

 protected:
  bool TakesDrag() const override { return true; }
  void OnInput(const MouseInput& input) override;
  void OnDragBegin(POINT point) override;
  void OnDragMove(POINT point) override;
  void OnDragEnd(POINT point) override;
  // Stores the colour under `point` (moved into the control); with `report`, says so with 27.
  void PickAt(POINT point, bool report);
  // Called under lock_ when the colour was set (by code or by a pick).
  virtual void OnColorSet(std::uint32_t) {}

  std::uint32_t colour_ = 0x0000FF;  // red
};

// The hue bar: horizontal when wider than high, else vertical (red at the top).
class LCDPalette2 : public LCDPaletteBase {
 public:
  bool ColorAt(POINT point, std::uint32_t* colour) const override;
  void Paint(QPainter& painter, const QRect& area) override;
};

// The saturation/brightness field. Its hue follows the colours set into it (a grey keeps the hue
// the field had).
class LCDPalette3 : public LCDPaletteBase {
 public:
  bool ColorAt(POINT point, std::uint32_t* colour) const override;
  void Paint(QPainter& painter, const QRect& area) override;
  // Hue of the field, 0..359.
  int GetHue() const;

 protected:
  void OnColorSet(std::uint32_t colour) override;

 private:
  int hue_ = 0;
};
