// MComboBox: a drop-down list of texts, each with a data value. The user's choice reports code 2
// with the chosen index as parameter.
#pragma once

#include <vector>

#include "zuvi/control.h"

class MComboBox : public MControlFont {
 public:
  // Appends an item; returns its index.
  int AddString(const std::wstring& text, std::intptr_t data = 0);
  void ResetContent();
  int GetCount() const;
  // False for an index out of range.
  bool SetItemText(int index, const std::wstring& text);
  std::wstring GetItemText(int index) const;
  std::intptr_t GetItemData(int index) const;  // 0 out of range
  // -1 clears the selection; an index out of range is refused (false).
  bool SetCurSel(int index);
  int GetCurSel() const;
  // Selects the first item with `data`; false (selection unchanged) when none has it.
  bool SetCurData(std::intptr_t data);
  std::intptr_t GetCurData() const;  // 0 without a selection

  // The user picks item `index`: stored, then reported. False when refused.
  bool UserSelect(int index);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void SyncKind(QWidget* widget) override;

 private:
  std::vector<std::pair<std::wstring, std::intptr_t>> items_;
  int current_ = -1;
};
