// The button family. A button's skin image holds 4 states side by side (normal, hover, pressed,
// disabled); a button with a check (check, radio, switch, colour, layer) holds 8: the first 4
// unchecked, the next 4 checked. Without an image a button draws as a plain Qt button with its text
// (filled with the theme's blue while checked), a check or radio button as a check box.
// A click that reaches an enabled, visible button changes its check first and then reports
// code 2 to the window; a right click reports code 5. Setting a check from code never reports.
#pragma once

#include "zuvi/control.h"

class MButton : public MControlFont {
 public:
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void PaintFace(QPainter& painter, const QRect& area, bool checked);
};

class CImageButton : public MButton {};
class CTextButton : public MButton {};
// A help button: a round "?" (its skin picture when there is one) whose title is the help text,
// shown when the pointer rests on it.
class CHelpButton : public MButton {
 public:
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void SyncKind(QWidget* widget) override;
};

// A button that keeps a checked state. Without its skin image it draws as a check box: a box,
// filled and ticked when checked, before its title; one with a centred title (a glyph standing
// in for its picture) draws as a plain button, filled when checked.
class CCheckButton : public MButton {
 public:
  virtual void SetCheck(bool checked);
  bool GetCheck() const;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  // What a left click does to the check: a check button toggles it.
  virtual void Toggle();
  // A radio button's box is round.
  virtual bool RoundIndicator() const { return false; }
  bool checked_ = false;
};

// An on/off switch; without its skin a plain button, filled when on.
class CSwitchButton : public CCheckButton {
 public:
  void Paint(QPainter& painter, const QRect& area) override;
};

// One of a group (SetGroupName) of which at most one is checked; a click checks it and clears the
// others of the same window and group. SetCheck(true) from code clears the others too.
class CRadioButton : public CCheckButton {
 public:
  void SetGroupName(const std::wstring& group);
  std::wstring GetGroupName() const;
  void SetCheck(bool checked) override;

 protected:
  void Toggle() override;
  bool RoundIndicator() const override { return true; }

 private:
  void ClearOthers();
  std::wstring group_;
};

// A radio button that shows a colour swatch.
class CColorButton : public CRadioButton {
 public:
  void SetColor(ARGB color);
  ARGB GetColor() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  ARGB color_ = 0xFF000000;
};

// The Fn-layer button of the key pages: a radio button drawn as a plain button, filled when
// checked.
class KeyLayerButton : public CRadioButton {
 public:
  void Paint(QPainter& painter, const QRect& area) override;
};

// A button with a progress bar drawn over its face (0 to 100; 0 hides the bar).
class DownloadButton : public MButton {
 public:
  void SetDownloadProcess(int percent);
  int GetDownloadProcess() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  int percent_ = 0;
};

// A button that marks an available upgrade with a dot (status 1).
class UpgradeButton : public MButton {
 public:
  void SetUpgradeStatus(int status);
  int GetUpgradeStatus() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  int status_ = 0;
};
