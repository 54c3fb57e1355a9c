// KeyboardCtrl: the keyboard picture of the key pages, with its keys. So far it holds the tip
// that it shows while no key is chosen.
#pragma once

#include <string>

#include "zuvi/control.h"

class KeyboardCtrl : public MControlFont {
 public:
  void SetTipInfo(const std::wstring& tip);
  std::wstring GetTipInfo() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  std::wstring tip_;
};
