// Stand-ins of the keyboard window until its frame, pages and dispatcher are built: a plain frame
// with the ids the window works with, the tab column with its gating, the key views, the tab
// notification, and named bodies for the tasks of later pages, which do nothing yet.
#include "common/lang_text.h"
#include "common/strings.h"
#include "keyboard/KeyboardDlg.h"
#include "zuvi/tab.h"

namespace {

std::wstring KbText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"KB.DIALOG");
  return text;
}

}  // namespace

KeyViewStandIn* KeyboardDlg::AddKeyView(int id, MControl* page) {
  if (!CreateArea(L"CArea", id, RECT{}, nullptr, 1, 1, page)) return nullptr;
  auto view = std::make_unique<KeyViewStandIn>();
  KeyViewStandIn* result = view.get();
  m_keyViews[id] = std::move(view);
  return result;
}

void KeyboardDlg::InitUI(const RECT& client) {
  using namespace kb_ids;
  const RECT none{};
  CreateControl(L"CImageButton", kClose, none);
  CreateControl(L"CImageButton", kMaximize, none);
  CreateControl(L"CImageButton", kMinimize, none);
  CreateControl(L"CImageButton", kLightPageButton1, none, nullptr, 0);
  CreateControl(L"CImageButton", kLightPageButton2, none, nullptr, 0);
  CreateControl(L"CImageButton", kHome, none);

  MControl* keyAssign = CreateControl(L"MTabLayout", kPageKeyAssign, none, nullptr, 1);
  MControl* lighting = CreateControl(L"MTabLayout", kPageLighting, none, nullptr, 0);
  MControl* customLightMode = CreateControl(L"MTabLayout", kPageCustomLightMode, none, nullptr, 0);
  MControl* customLight = CreateControl(L"MTabLayout", kPageCustomLight, none, nullptr, 0);
  MControl* macro = CreateControl(L"MTabLayout", kPageMacro, none, nullptr, 0);
  MControl* music = CreateControl(L"MTabLayout", kPageMusic, none, nullptr, 0);
  MControl* settings = CreateControl(L"MTabLayout", kPageSettings, none, nullptr, 0);
  MControl* screen = CreateControl(L"MTabLayout", kPageScreen, none, nullptr, 0);

  if (auto* tabs = dynamic_cast<MTabCtrl*>(CreateControl(L"MTabCtrl", kTabs, none))) {
    tabs->InsertItem(TabKeyAssign, KbText(28), L"icon\\tab_customkey.png", keyAssign, 4, 0);
    if (m_hasMacro) tabs->InsertItem(TabMacro, KbText(29), L"icon\\tab_macro.png", macro, 4, 0);
    if (m_hasLighting) tabs->InsertItem(TabLighting, KbText(30), L"icon\\tab_light.png", lighting, 4, 0);
    tabs->InsertItem(TabScreen, KbText(35), L"icon\\tab_lcd.png", screen, 4, 0);
    if (m_hasCustomLightMode)
      tabs->InsertItem(TabCustomLightMode, KbText(33), L"icon\\tab_customlightmode.png", customLightMode, 4,
                       0);
    if (m_hasCustomLight)
      tabs->InsertItem(TabCustomLight, KbText(31), L"icon\\tab_customlight.png", customLight, 4, 0);
    if (m_hasMusic) tabs->InsertItem(TabMusic, KbText(665), L"icon\\tab_music.png", music, 4, 0);
    tabs->InsertItem(TabSettings, KbText(32), L"icon\\tab_config.png", settings, 4, 0);
    tabs->SetItemWidth(60, 60, 1);
    tabs->SetItemHeight(60, 60, 1);
  }

  AddKeyView(kKeyAssignView, keyAssign);
  AddKeyView(kLightingView, lighting);  // the lighting page is built whether or not its tab exists
  if (m_hasCustomLightMode) AddKeyView(kCustomLightModeView, customLightMode);
  if (m_hasCustomLight) AddKeyView(kCustomLightView, customLight);
  if (m_hasMusic) AddKeyView(kMusicView, music);
  AddKeyView(kSettingsView, settings);

  UISize(client);
}

void KeyboardDlg::UISize(const RECT& client) {
  using namespace kb_ids;
  if (!GetControl(kClose)) return;  // nothing is built yet
  const int r = client.right;
  const int b = client.bottom;
  GetControl(kClose)->SetRect(RECT{r - 40, 15, r - 20, 35});
  if (MControl* c = GetControl(kMaximize)) c->SetRect(RECT{r - 110, 15, r - 90, 35});
  if (MControl* c = GetControl(kMinimize)) c->SetRect(RECT{r - 75, 15, r - 55, 35});
  if (MControl* c = GetControl(kLightPageButton1)) c->SetRect(RECT{r - 180, 15, r - 160, 35});
  if (MControl* c = GetControl(kLightPageButton2)) c->SetRect(RECT{r - 145, 15, r - 125, 35});
  if (MControl* c = GetControl(kHome)) c->SetRect(RECT{13, 62, 49, 98});
  if (MControl* c = GetControl(kTabs)) c->SetRect(RECT{1, 110, 61, b - 10});
  const RECT page{65, 50, r - 1, b - 1};
  for (int id = kPageKeyAssign; id <= kPageScreen; ++id)
    if (MControl* c = GetControl(id)) c->SetRect(page);
  const RECT keys{page.left + 10, page.top + 60, page.right - 10, page.bottom - 10};
  for (const auto& entry : m_keyViews)
    if (MControl* c = GetControl(entry.first)) c->SetRect(keys);
}

// Only the tab column reports here for now: the tab on show and its position, which the next
// start restores.
LRESULT KeyboardDlg::OnMessage(int id, int code, LPARAM param, LPARAM /*extra*/) {
  if (id != kb_ids::kTabs || code != NOTIFY_SELCHANGE) return 0;
  auto* tabs = GetControlAs<MTabCtrl>(kb_ids::kTabs);
  if (!tabs) return 0;
  const int item = tabs->GetItemID(static_cast<int>(param));
  if (item < 0) return 0;
  m_curTab.store(item);
  m_configDB.SetConfigValue(1, L"tab_item", FormatW(L"%d", tabs->GetSelectItem()));
  return 1;
}

// Firmware updates are not offered for this keyboard.
void KeyboardDlg::CheckFirmwareUpdate() {}

// The settings page is not built: only the sending half runs.
void KeyboardDlg::LoadSystemSettings(int profile) { SendSystemSettings(profile); }

void KeyboardDlg::FillProfileLists() {}
void KeyboardDlg::LoadMacroList() {}
void KeyboardDlg::LoadLcdSlots() {}
void KeyboardDlg::InitMusicPage() {}
void KeyboardDlg::UploadKeyMap() {}
void KeyboardDlg::UploadKeyMapFn() {}
void KeyboardDlg::SaveLcdGif() {}
void KeyboardDlg::ImportLcdGif() {}
// The custom light effect editor advances its own effect before each preview frame.
void KeyboardDlg::UpdateCustomLightEffect() {}
void KeyboardDlg::UpdateMusicKeyLevels() {}
void KeyboardDlg::RefreshKeyAssign(int) {}
void KeyboardDlg::LoadCustomLightModeList(int) {}
void KeyboardDlg::LoadLightMode(int) {}
void KeyboardDlg::LoadCustomLightList(int) {}
void KeyboardDlg::LoadMusicModeList() {}
