// Tabs: MTabLayout, a page container, and MTabCtrl, a column of items each bound to one layout.
// Selecting an item shows its layout and hides the other items' layouts.
#pragma once

#include <memory>
#include <vector>

#include "zuvi/control.h"

// A page that contains controls; it draws nothing itself.
class MTabLayout : public MControl {
 public:
  void Paint(QPainter&, const QRect&) override {}
  bool TakesMouse() const override { return false; }
};

struct TabItemInfo {
  int id = 0;
  std::wstring text;
  std::wstring icon;
  MControl* layout = nullptr;  // not owned
  int states = 1;
  int flag = 0;
  RECT rect{};  // in window client coordinates; set by the layout, may be changed by the window
};

// The user's choice of an item reports code 1 with the item's index as parameter.
class MTabCtrl : public MControlFont {
 public:
  // Item texts are centred and wrap inside their cell.
  MTabCtrl() {
    align_ = 1;
    valign_ = 4;
  }
  // Appends an item; returns its index. `layout` may be null.
  int InsertItem(int id, const std::wstring& text, const std::wstring& icon, MControl* layout, int states = 4,
                 int flag = 0);
  int GetItemCount() const;
  // Item size: width, height, and whether the items stack vertically (1) or side by side (0).
  void SetItemWidth(int width, int selectedWidth = 0, int vertical = 1);
  void SetItemHeight(int height, int selectedHeight = 0, int vertical = 1);
  void SetPadding(int left, int right, int top, int bottom);
  // Selects an item and shows its layout. On the UI thread it reports code 1 once, as if the user
  // had chosen it; from another thread it reports nothing. An index out of range is refused.
  bool SetSelectItem(int index);
  int GetSelectItem() const;
  // Gives the item with id `id` the text `text`; false when no item has that id.
  bool SetItemText(int id, const std::wstring& text);
  std::wstring GetItemText(int index) const;  // empty out of range
  // The item's id; -1 out of range.
  int GetItemID(int index) const;
  // The item's record, for the window to adjust its rectangle; null out of range. UI thread.
  TabItemInfo* GetItemInfo(int index);

  bool UserSelect(int index);
  bool ItemPoint(int index, POINT* point) override;
  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  void OnRectChanged() override { LayOutItems(); }

 private:
  bool Select(int index);
  void LayOutItems();

  std::vector<std::unique_ptr<TabItemInfo>> items_;
  int current_ = -1;
  int itemWidth_ = 60;
  int itemHeight_ = 60;
  bool vertical_ = true;
  int padLeft_ = 0, padRight_ = 0, padTop_ = 0, padBottom_ = 0;
};
