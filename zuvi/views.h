// Views of the main window and the palettes: the device slot and the colour wheel.
#pragma once

#include "zuvi/control.h"

// A device slot: the device's picture (SetImage, 1 state), its name (SetTitle) and its connection
// status (1 connected). A click reports code 2.
class CDeviceCtrl : public MControlFont {
 public:
  void SetDeviceStatus(int status);
  int GetDeviceStatus() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  int status_ = 0;
};

// A colour wheel: hue around, saturation outwards. The user's pick reports code 27 with the
// colour (0x00RRGGBB) as parameter.
class CirclePalette : public MControl {
 public:
  void SetSelectColor(ARGB color);
  ARGB GetSelectColor() const;
  // The colour under a point of the control (window coordinates); false outside the wheel.
  bool ColorAt(POINT point, ARGB* color) const;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;

 private:
  ARGB color_ = 0xFFFFFFFF;
};
