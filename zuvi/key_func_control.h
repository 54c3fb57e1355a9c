// KeyFuncControl: the chooser of the function a key gets. Its items are known by their function
// value; each has a description that the window gives it in the UI language.
#pragma once

#include <map>
#include <string>

#include "zuvi/control.h"

class KeyFuncControl : public MControlFont {
 public:
  // Gives the item of function `value` its description (the item is made when it is new).
  void SetItemDesc(int value, const std::wstring& desc);
  // Empty for a value without an item.
  std::wstring GetItemDesc(int value) const;
  int GetItemCount() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  std::map<int, std::wstring> descs_;
};
