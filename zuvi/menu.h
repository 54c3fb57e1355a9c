// MenuWnd: a popup menu. The user's choice is posted to the owner window as the message the
// caller names, with wParam 0 and lParam the item's id.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zuvi/types.h"

class MenuWnd {
 public:
  struct Item {
    int id = 0;
    std::wstring text;
  };

  // `itemHeight` and `width` size the rows; `backMode` 1 draws the dark skin.
  MenuWnd(HWND owner, UINT message, int itemHeight = 30, int width = 150, int backMode = 1);

  void AddMenu(int id, const std::wstring& text);
  const std::vector<Item>& Items() const { return items_; }

  // Shows the menu at a screen point and waits for the choice (UI thread). Returns the chosen id
  // after posting it to the owner, or 0 when the menu was dismissed or has no items.
  int TrackPopup(POINT screenPoint);
  // At the mouse cursor.
  int TrackPopup();

  // Tests: the next menus are answered by `chooser` (returns an item id, or 0 to dismiss) instead
  // of being shown. An empty function restores the real menu.
  static void SetChooser(std::function<int(const std::vector<Item>&)> chooser);

 private:
  HWND owner_;
  UINT message_;
  int itemHeight_;
  int width_;
  int backMode_;
  std::vector<Item> items_;
};
