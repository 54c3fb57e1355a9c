#include "keyboard/PageControls.h"

#include "keyboard/KeyboardText.h"
#include "zuvi/static_controls.h"

namespace page_controls {

void CreatePageControls(KeyboardDlg& dlg, MControl* page, std::span<const ControlSpec> controls) {
  for (const ControlSpec& c : controls) {
    const int visible = c.visible ? 1 : 0;
    MControl* control = c.area ? dlg.CreateArea(c.className, c.id, RECT{}, nullptr, visible, 1, page)
                               : dlg.CreateControl(c.className, c.id, RECT{}, nullptr, visible, 1, page);
    if (!control) continue;
    if (c.image) control->SetImage(c.image, c.imageStates);
    if (c.tooltip) control->SetTooltip(KbText(c.tooltip));
    if (auto* text = dynamic_cast<MControlFont*>(control)) {
      if (c.text) text->SetTitle(KbText(c.text));
      if (c.label) text->SetTitle(c.label);
      if (c.centred) text->SetAlignment(1);
      text->SetTextColor(dlg.m_textColor);
    }
    if (auto* radio = dynamic_cast<CRadioButton*>(control); radio && c.group) radio->SetGroupName(c.group);
    if (auto* area = dynamic_cast<CArea*>(control)) area->SetTransparent(80, 80, 0xFFFFFF);
  }
}

}  // namespace page_controls
