// The keyboard window's frame: background, logo, page caption, the window buttons, the tab column
// and the page containers; the page builders and layouts run inside it.
#include "keyboard/KeyboardFrame.h"
#include "keyboard/PageControls.h"

#include <algorithm>

#include "keyboard/KeyboardText.h"
#include "zuvi/static_controls.h"
#include "zuvi/tab.h"

namespace kb_frame {

namespace {

using namespace kb_ids;

constexpr FrameControl kFrame[] = {
    {kBackground, L"MPicture", true, L"keyboard_bkg.png", 1, 0, 0, true},
    {kLogo, L"MPicture", true, L"logo//logo_kb.png", 1, 0, 0, true},
    {kPageIcon, L"MPicture", true, L"icon//icon_keyboard.png", 1, 0, 0, true},
    {kClose, L"CImageButton", false, L"sysbtn_close.png", 4, 2, 0, true, L"\u00D7"},
    {kMaximize, L"CImageButton", false, L"sysbtn_maximize.png", 4, 4, 0, true, L"\u25A1"},
    {kMinimize, L"CImageButton", false, L"sysbtn_min.png", 4, 3, 0, true, L"\u2212"},
    {kCaptionKeyAssign, L"MText", true, nullptr, 1, 0, 20, false},
    {kCaptionMacro, L"MText", true, nullptr, 1, 0, 21, false},
    {kCaptionLighting, L"MText", true, nullptr, 1, 0, 22, false},
    {kCaptionMusic, L"MText", true, nullptr, 1, 0, 665, false},
    {kLightPageButton1, L"CImageButton", false, L"sysbtn_min.png", 4, 23, 0, false},
    {kLightPageButton2, L"CImageButton", false, L"sysbtn_min.png", 4, 24, 0, false},
    {kCaptionCustomLight, L"MText", true, nullptr, 1, 0, 25, false},
    {kCaptionSettings, L"MText", true, nullptr, 1, 0, 26, false},
    {kHome, L"CImageButton", false, L"icon//tab_home.png", 4, 27, 0, true, L"\u2302"},
    {kPageKeyAssign, L"MTabLayout", false, nullptr, 1, 0, 0, true},
    {kPageLighting, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageCustomLightMode, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageCustomLight, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageMacro, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageMusic, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageSettings, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kPageScreen, L"MTabLayout", false, nullptr, 1, 0, 0, false},
    {kTabs, L"MTabCtrl", false, nullptr, 1, 0, 0, true},
};

constexpr TabItem kTabItems[] = {
    {TabKeyAssign, 28, L"icon\\tab_customkey.png", kPageKeyAssign, nullptr},
    {TabMacro, 29, L"icon\\tab_macro.png", kPageMacro, &KeyboardDlg::m_hasMacro},
    {TabLighting, 30, L"icon\\tab_light.png", kPageLighting, &KeyboardDlg::m_hasLighting},
    {TabScreen, 35, L"icon\\tab_lcd.png", kPageScreen, nullptr},
    {TabCustomLightMode, 33, L"icon\\tab_customlightmode.png", kPageCustomLightMode,
     &KeyboardDlg::m_hasCustomLightMode},
    {TabCustomLight, 31, L"icon\\tab_customlight.png", kPageCustomLight, &KeyboardDlg::m_hasCustomLight},
    {TabMusic, 665, L"icon\\tab_music.png", kPageMusic, &KeyboardDlg::m_hasMusic},
    {TabSettings, 32, L"icon\\tab_config.png", kPageSettings, nullptr},
};

constexpr int kContainers[] = {kPageKeyAssign, kPageLighting, kPageCustomLightMode, kPageCustomLight,
                               kPageMacro,     kPageSettings, kPageMusic,           kPageScreen};

}  // namespace

std::span<const FrameControl> FrameControls() { return kFrame; }
std::span<const TabItem> TabItems() { return kTabItems; }
std::span<const int> PageContainers() { return kContainers; }

}  // namespace kb_frame

using page_controls::Box;

void KeyboardDlg::InitUI(const RECT& client) {
  using namespace kb_frame;
  for (const FrameControl& f : FrameControls()) {
    const int visible = f.visible ? 1 : 0;
    MControl* control = f.area ? CreateArea(f.className, f.id, RECT{}, nullptr, visible, 1)
                               : CreateControl(f.className, f.id, RECT{}, nullptr, visible, 1);
    if (!control) continue;
    if (f.image) control->SetImage(f.image, f.imageStates);
    if (f.tooltip) control->SetTooltip(KbText(f.tooltip));
    if (f.glyph)
      if (auto* button = dynamic_cast<MControlFont*>(control)) {
        button->SetTitle(f.glyph);
        button->SetAlignment(1);
      }
    if (f.text)
      if (auto* text = dynamic_cast<MControlFont*>(control)) {
        text->SetTitle(KbText(f.text));
        text->SetTextColor(kCaptionColor);
      }
  }

  if (auto* tabs = GetControlAs<MTabCtrl>(kb_ids::kTabs)) {
    tabs->SetTextColor(kTabTextColor);
    tabs->SetPadding(0, 60, 0, 240);
    for (const TabItem& item : TabItems())
      if (!item.gate || this->*item.gate)
        tabs->InsertItem(item.id, KbText(item.text), item.icon, GetControl(item.container), 4, 0);
    tabs->SetItemWidth(60, 60, 1);
    tabs->SetItemHeight(60, 60, 1);
  }

  CreateKeyAssignPage();
  if (m_hasMacro) CreateMacroPage();
  CreateLightPage();  // built whether or not the lighting tab exists
  if (m_hasCustomLightMode) CreateCustomLightModePage();
  if (m_hasCustomLight) CreateCustomLightPage();
  if (m_hasMusic) CreateMusicPage();
  CreateLcdPage();
  CreateSettingsPage();

  UISize(client);
}

void KeyboardDlg::UISize(const RECT& client) {
  using namespace kb_ids;
  MControl* background = GetControl(kBackground);
  if (!background) return;  // nothing is built yet
  const int r = client.right;
  const int b = client.bottom;
  background->SetRect(client);
  if (MControl* c = GetControl(kLogo)) c->SetRect(RECT{10, 13, 77, 39});
  if (MControl* c = GetControl(kClose)) c->SetRect(Box(r - 40, 15, r - 20, 35));
  if (MControl* c = GetControl(kMinimize)) c->SetRect(Box(r - 75, 15, r - 55, 35));
  for (int id : {kCaptionKeyAssign, kCaptionMacro, kCaptionLighting, kCaptionCustomLight, kCaptionMusic,
                 kCaptionSettings})
    if (MControl* c = GetControl(id)) c->SetRect(RECT{80, 15, 240, 45});
  // The page icon sits right of the captions; the lighting page buttons and the maximise button
  // keep their empty rectangles.
  if (MControl* c = GetControl(kPageIcon)) c->SetRect(RECT{310, 20, 330, 40});

  LayoutKeyAssignPage(client);
  if (m_hasMacro) LayoutMacroPage(client);
  if (m_hasLighting) LayoutLightPage(client);
  if (m_hasCustomLightMode) LayoutCustomLightModePage(client);
  if (m_hasCustomLight) LayoutCustomLightPage(client);
  if (m_hasMusic) LayoutMusicPage(client);
  LayoutLcdPage(client);
  LayoutSettingsPage(client);

  if (MControl* c = GetControl(kHome)) c->SetRect(RECT{13, 62, 49, 98});
  if (auto* tabs = GetControlAs<MTabCtrl>(kTabs)) {
    tabs->SetRect(Box(1, 110, 61, b - 10));
    // The settings item, the last one, is pinned to the foot of the column.
    const int count = tabs->GetItemCount();
    if (TabItemInfo* last = count > 0 ? tabs->GetItemInfo(count - 1) : nullptr) {
      const int foot = b - 10;
      last->rect.top = foot - 80;
      last->rect.bottom = std::max(last->rect.top, foot - 20);
      tabs->UpdateControl();
    }
  }
  for (int id : kb_frame::PageContainers())
    if (MControl* c = GetControl(id)) c->SetRect(Box(65, 50, r - 1, b - 1));
}

KeyboardCtrl* KeyboardDlg::AddKeyView(int id, MControl* page) {
  return dynamic_cast<KeyboardCtrl*>(CreateControl(L"KeyboardCtrl", id, RECT{}, nullptr, 1, 1, page));
}

CustomLightMode* KeyboardDlg::AddCustomLightView(int id, MControl* page) {
  auto* view = dynamic_cast<CustomLightMode*>(CreateControl(L"CustomLightMode", id, RECT{}, nullptr, 1, 1, page));
  if (!view) return nullptr;
  view->SetKeyboardType(2);
  view->SetClock([this] { return static_cast<std::int64_t>(PacingClock().now() / std::chrono::milliseconds(1)); });
  return view;
}
