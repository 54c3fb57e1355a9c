// Controls that show a value in a range: the slider the user drags and the progress bar.
#pragma once

#include "zuvi/control.h"

// The user's move reports code 2 with the new position as parameter.
class MSlider : public MControl {
 public:
  // min > max is refused (false).
  bool SetRange(int min, int max);
  int GetMin() const;
  int GetMax() const;
  // Clamped into the range.
  void SetPos(int pos);
  int GetPos() const;
  // The user moves the thumb to `pos`: clamped, stored, reported. False when refused.
  bool UserMove(int pos);
  // Where a click sets position `pos` (an end for a position beyond it).
  bool ItemPoint(int pos, POINT* point) override;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;

 private:
  int min_ = 0, max_ = 100, pos_ = 0;
};

// 0 to 100.
class MProgress : public MControlFont {
 public:
  void SetProgress(int percent);
  int GetProgress() const;
  void Paint(QPainter& painter, const QRect& area) override;
  bool TakesMouse() const override { return false; }

 private:
  int percent_ = 0;
};
