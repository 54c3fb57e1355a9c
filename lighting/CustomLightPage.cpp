// The custom light effect editor: named schemes of per-key effects with a common speed, animated
// in the editor's key view and previewed live on the keyboard while the tab is shown.
#include <chrono>

#include "keyboard/KeyboardDlg.h"

// The idle job before each preview frame: the view's frames at the window clock's time, so the
// keyboard shows what the view shows at that moment.
void KeyboardDlg::UpdateCustomLightEffect() {
  CustomLightMode* view = GetCustomLightView(kb_ids::kCustomLightView);
  if (!view) return;
  view->UpdateLightEffect(static_cast<std::int64_t>(PacingClock().now() / std::chrono::milliseconds(1)));
}
