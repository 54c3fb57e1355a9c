// KeyFuncControl: the chooser of the function a key gets. Its items come in groups, each group
// under a heading; an item carries the function's kind and values and its text. At most one item
// is checked. The items are drawn in rows of several columns, group by group; when they do not
// fit, the mouse wheel scrolls them; a row that does not fit whole is left out rather than cut.
//
// Reports: 2 when the user picks an item (parameter: its flat index), also when it was checked
// already. Setting the check from code never reports.
//
// Any thread (the state is kept under the control's lock); drawn on the UI thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zuvi/control.h"

struct KeyFuncItem {
  int kind = 0;
  int value = 0;
  int value2 = 0;
  int value3 = 0;
  std::wstring text;
};

struct KeyFuncGroup {
  std::wstring heading;
  std::vector<KeyFuncItem> items;
};

class KeyFuncControl : public MControlFont {
 public:
  // Replaces every group; no item is checked and the view scrolls back to the top.
  void InitItemInfo(std::vector<KeyFuncGroup> groups);
  // Ignored for a group that does not exist.
  void SetGroupHeading(size_t group, const std::wstring& heading);
  // Re-texts every item with function `value`; nothing when no item has it.
  void SetItemDesc(int value, const std::wstring& text);
  // The text of the first item with `value`; empty when none has it.
  std::wstring GetItemDesc(int value) const;
  // Items of every group.
  int GetItemCount() const;
  // Checks the first item (in group order) with these values and scrolls it into view; clears the
  // check when no item has them.
  void SetItemCheckByItemData(int value, int value2, int value3);
  // The checked item's data (null pointers are skipped); false when no item is checked.
  bool GetCurItemData(int* kind, int* value, int* value2, int* value3, std::wstring* text) const;
  std::vector<KeyFuncGroup> Groups() const;
  // The checked item's index counted over every group in order, or -1.
  int CheckedIndex() const;

  // How far the rows are scrolled, in pixels; ScrollBy keeps it within the rows' height.
  int ScrollOffset() const;
  void ScrollBy(int pixels);

  // ---- user input (UI thread; the test driver uses this) ----
  // Picks item `flatIndex`: checks it, then reports 2. False when the control takes no input or
  // the index is out of range.
  bool UserPick(int flatIndex);
  // The flat index of the item at window-client point `point`, or -1 (headings and gaps).
  int ItemIndexAt(POINT point) const;
  // The item's middle, scrolled into view first as the wheel would.
  bool ItemPoint(int flatIndex, POINT* point) override;

  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  QWidget* CreateWidget(QWidget* parent) override;

 private:
  struct Cell {
    int flatIndex;  // -1 for a group heading
    int group;
    int item;                      // within the group; -1 for the heading
    int left, top, width, height;  // relative to the unscrolled rows
  };
  // Under lock_: the cells of a control `width` pixels wide, and the rows' total height.
  std::vector<Cell> LayoutCells(int width, int* totalHeight) const;
  // Under lock_: the scroll offset kept within the rows of a control of `width` x `height`.
  int ClampedScroll(int scroll, int width, int height) const;
  const KeyFuncItem* ItemByIndex(int flatIndex) const;

  std::vector<KeyFuncGroup> groups_;
  int checked_ = -1;
  int scroll_ = 0;
};
