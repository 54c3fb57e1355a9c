// MEdit: a one-line text field. The user's typing is filtered by the input mode and cut at the
// length limit (counted in UTF-16 units, as the keyboard's texts are); every change the user makes
// reports code 26, leaving the field (focus lost or Enter) code 29, entering it code 30.
#pragma once

#include "zuvi/control.h"

class MEdit : public MControlFont {
 public:
  enum InputMode { AnyText = 0, DigitsOnly = 1 };

  void SetInputMode(int mode);
  int GetInputMode() const;
  // 0 = no limit.
  void SetLimitText(int utf16Units);
  int GetLimitText() const;
  // Grey hint shown while the field is empty.
  void SetTipInfo(const std::wstring& tip);
  // Background colour behind the text, 0x00RRGGBB.
  void SetBackColor(std::uint32_t rgb);
  void SetReadOnly(bool readOnly);

  // What the user typed, as a user types it: filtered, limited, stored and reported with code 26.
  // False when the field takes no input (hidden, disabled, read-only) or nothing changed.
  bool UserInput(const std::wstring& text);
  // The user leaves the field: reports code 29.
  void UserFinish();
  // The user focuses the field: reports code 30. False when it takes no input (hidden, disabled).
  bool UserFocus();
  // A capture field takes the focus, but typing changes nothing; code sets its text (a key
  // capture shows the key pressed). Tab, Enter and Esc are taken like other keys (no focus move,
  // no code 29) and no input method is attached. May be switched at any time.
  void SetCaptureMode(bool capture);
  bool GetCaptureMode() const;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void SyncKind(QWidget* widget) override;

 private:
  std::wstring Filter(const std::wstring& text) const;
  int mode_ = AnyText;
  int limit_ = 0;
  std::wstring tip_;
  std::uint32_t back_ = 0x202020;
  bool readOnly_ = false;
  bool capture_ = false;
};

// Number of UTF-16 units `text` takes.
int Utf16Length(const std::wstring& text);
