#include "keyboard/CustomKeyStandIn.h"

#include "device/KeyCodes.h"
#include "keyboard/KeyboardText.h"
#include "zuvi/buttons.h"
#include "zuvi/static_controls.h"

void CustomKeyStandIn::InitUI(const RECT& client) {
  std::wstring key;
  HidUsageToKeyName(key, m_args.key);
  if (auto* title = dynamic_cast<MText*>(
          CreateArea(L"MText", 30, RECT{20, 20, client.right - 60, 60}, nullptr, 1, 1))) {
    title->SetTitle(KbText(162) + (key.empty() ? std::wstring() : L": " + key));
    title->SetTextColor(0xFFFFFFFF);
  }
  if (MControl* close = CreateControl(L"CImageButton", kIdClose,
                                      RECT{client.right - 40, 12, client.right - 20, 32}, nullptr, 1, 1)) {
    close->SetImage(L"sysbtn_close.png", 4);
    close->SetTooltip(KbText(2));
  }
}

LRESULT CustomKeyStandIn::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK || id != kIdClose) return 0;
  DoCancel();
  return 1;
}

std::unique_ptr<MDialog> MakeCustomKeyStandIn(const CustomKeyDialogArgs& args) {
  return std::make_unique<CustomKeyStandIn>(args);
}
