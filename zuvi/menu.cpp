#include "zuvi/menu.h"

#include <QCursor>
#include <QMenu>

#include "zuvi/internal.h"
#include "zuvi/manager.h"

using namespace zuvi_internal;

namespace {
std::function<int(const std::vector<MenuWnd::Item>&)> g_chooser;
}

MenuWnd::MenuWnd(HWND owner, UINT message, int itemHeight, int width, int backMode)
    : owner_(owner), message_(message), itemHeight_(itemHeight), width_(width), backMode_(backMode) {}

void MenuWnd::AddMenu(int id, const std::wstring& text) { items_.push_back({id, text}); }

void MenuWnd::SetChooser(std::function<int(const std::vector<Item>&)> chooser) {
  g_chooser = std::move(chooser);
}

int MenuWnd::TrackPopup() {
  QPoint p = QCursor::pos();
  return TrackPopup(POINT{p.x(), p.y()});
}

int MenuWnd::TrackPopup(POINT screenPoint) {
  if (items_.empty() || !Manager::IsUiThread()) return 0;
  int chosen = 0;
  if (g_chooser) {
    chosen = g_chooser(items_);
    bool known =
        std::any_of(items_.begin(), items_.end(), [chosen](const Item& i) { return i.id == chosen; });
    if (!known) chosen = 0;
  } else {
    QMenu menu;
    if (backMode_ == 1)
      menu.setStyleSheet(QString("QMenu { background: #2a2c30; color: #e6e6e6; min-width: %1px; }"
                                 "QMenu::item { min-height: %2px; padding: 0 16px; }"
                                 "QMenu::item:selected { background: #3c8ce6; }")
                             .arg(width_)
                             .arg(std::max(12, itemHeight_ - 8)));
    for (const Item& item : items_) menu.addAction(ToQString(item.text))->setData(item.id);
    if (QAction* action = menu.exec(QPoint(screenPoint.x, screenPoint.y))) chosen = action->data().toInt();
  }
  if (chosen != 0) PostMessage(owner_, message_, 0, chosen);
  return chosen;
}
