// List boxes: QelListBox (rows of text with a data value, in-place rename) and CRecordList (a
// list whose rows can swap places). Reports: 1 when the user selects another row (also by a right
// click on another row, reported before its 5), 2 for every left click on a row, 5 for a right
// click (parameter: the row under the cursor or -1), 29 when the in-place editor closes
// (parameter: the row).
#pragma once

#include <vector>

#include "zuvi/control.h"

class QelListBox : public MControlFont {
 public:
  int AddString(const std::wstring& text, std::intptr_t data = 0);  // returns the row
  bool InsertString(int index, const std::wstring& text, std::intptr_t data = 0);
  bool DeleteString(int index);
  void ResetContent();
  int GetItemCount() const;
  int GetCount() const { return GetItemCount(); }
  std::wstring GetItemText(int index) const;   // empty out of range
  std::intptr_t GetItemData(int index) const;  // 0 out of range
  bool SetItemData(int index, std::intptr_t data);
  // Replaces a row's text; false out of range.
  bool ModifyItemString(int index, const std::wstring& text);
  // Replaces a row's text only while the row still holds `expected` (one step under the list's
  // lock, so a list refilled meanwhile by another thread keeps its new rows); false otherwise.
  bool ModifyItemStringIf(int index, const std::wstring& expected, const std::wstring& text);
  // -1 clears; out of range is refused.
  bool SetCurSel(int index);
  int GetCurSel() const;
  // Selects the first row with `data`; false when none has it.
  bool SetCurData(std::intptr_t data);
  std::intptr_t GetCurData() const;
  void SetItemHeight(int height);
  // Opens the in-place editor on the selected row; false without a selection.
  bool ShowEdit();
  // Rows marked editable open the in-place editor when the user double-clicks them (false out of
  // range). A row is not editable until marked.
  bool SetItemEditable(int index, bool editable);
  bool IsItemEditable(int index) const;
  bool IsEditing() const;

  // ---- user input (UI thread; the test driver uses these) ----
  bool UserClickRow(int row, bool right = false);
  // A double click on a row: the click, then the in-place editor when the row is editable.
  bool UserDoubleClickRow(int row);
  // Closes the in-place editor with `text`: a text that is empty or blank keeps the old name.
  bool UserFinishEdit(const std::wstring& text);
  // The row's middle while it is among the rows shown.
  bool ItemPoint(int row, POINT* point) override;
  // The in-place editor while it is open (UI thread).
  QWidget* Editor() const { return static_cast<QWidget*>(editor_); }

  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  void OnDoubleClick(const MouseInput& input) override;
  int RowAt(POINT point) const;
  int FirstVisibleRow(int rowsShown) const;

  struct Item {
    std::wstring text;
    std::intptr_t data = 0;
    bool editable = false;
  };
  std::vector<Item> items_;
  int current_ = -1;
  int itemHeight_ = 30;
  bool editing_ = false;
  void* editor_ = nullptr;  // the QLineEdit of the in-place editor (UI thread)
};

class CRecordList : public QelListBox {
 public:
  // Exchanges two rows (text and data); the selection follows the row it was on. False when an
  // index is out of range.
  bool SwapItem(int first, int second);
};
