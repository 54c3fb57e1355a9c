#include "shell/main_dlg.h"

#include <algorithm>

#include "common/folders.h"
#include "common/lang_text.h"
#include "common/strings.h"
#include "platform/autostart.h"
#include "platform/clock/clock.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "shell/main_sys_set_dlg.h"
#include "shell/software_update.h"
#include "shell/ui_message_box.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/manager.h"
#include "zuvi/menu.h"
#include "zuvi/static_controls.h"
#include "zuvi/tray_icon.h"
#include "zuvi/views.h"

namespace {

std::wstring MainText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"MAIN.DIALOG");
  return text;
}

// The notice line under the slots.
constexpr int kNoticeText = 70;

// At most 127 UTF-16 units, never splitting a character.
std::wstring TrayTip(const std::wstring& text) {
  std::wstring tip;
  size_t units = 0;
  for (wchar_t c : text) {
    const size_t width = static_cast<unsigned>(c) > 0xffff ? 2 : 1;
    if (units + width > 127) break;
    units += width;
    tip += c;
  }
  return tip;
}

}  // namespace

MainDlg::MainDlg(Services services) : services_(std::move(services)) {}

MainDlg::~MainDlg() {
  StopDeviceEvents();
  if (m_trayIcon && m_trayIcon->IsShown()) m_trayIcon->Remove();
  // Every Show frame has returned by now: the windows' objects can go.
  destroyed_.clear();
  owned_.clear();
}

int MainDlg::Run() {
  if (!Create(nullptr, GetProductName().c_str(), WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
              RECT{0, 0, 1200, 720}))
    return 0;
  return ShowModal(SW_SHOW);
}

bool MainDlg::TrayShown() const { return m_trayIcon && m_trayIcon->IsShown(); }

int MainDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  CenterWindow(nullptr);
  SetProp(GetProductName(), 1);  // found by a second instance
  const std::wstring icon = Manager::GetSkinDir() + L"Kelvane.ico";
  m_trayIcon = MakeTrayIcon();
  m_trayIcon->Add(icon, TrayTip(GetProductName()), GetSafeHwnd(), kTrayIconId, WM_TRAY_NOTIFY);  // may fail
  SetIcon(icon);
  RegisterDeviceNotifications();
  LoadDeviceConfig();
  RescanDevices(true);
  return 1;
}

void MainDlg::InitUI(const RECT&) {
  auto* background = static_cast<CArea*>(CreateArea(L"CArea", IdBackground, RECT{}));
  background->SetTransparent(255, 0, 0x141414);
  CreateArea(L"MPicture", IdBackPicture, RECT{})->SetImage(L"main_bkg.png");
  CreateArea(L"MPicture", IdLogo, RECT{})->SetImage(L"logo//logo.png");
  auto* title = static_cast<MText*>(CreateArea(L"MText", IdTitle, RECT{}, MainText(1).c_str()));
  title->SetTextColor(0xFFE6E6E6);
  title->SetAlignment(1);
  title->SetFont(L"", 18, true);

  struct Button {
    const wchar_t* cls;
    int id;
    const wchar_t* image;
    int tip;
    const wchar_t* glyph;  // drawn when the skin has no picture for the button
  } buttons[] = {
      {L"CImageButton", IdClose, L"main_sysbtn_close.png", 2, L"\u00D7"},
      {L"CImageButton", IdMinimize, L"main_sysbtn_min.png", 3, L"\u2212"},
      {L"UpgradeButton", IdSettings, L"main_sysbtn_set.png", 5, L"\u2699"},
      {L"CImageButton", IdStore, L"main_sysbtn_store.png", 8, L"$"},
      {L"CImageButton", IdWebsite, L"main_sysbtn_website.png", 9, L"\u2302"},
  };
  for (const Button& b : buttons) {
    auto* button = static_cast<MControlFont*>(CreateControl(b.cls, b.id, RECT{}, b.glyph));
    button->SetAlignment(1);
    button->SetImage(b.image, 4);
    button->SetTooltip(MainText(b.tip));
  }
  // Store and website stay hidden unless device.xml asks for them.
  GetControl(IdStore)->SetVisible(false);
  GetControl(IdWebsite)->SetVisible(false);

  for (int id = IdSlot1; id <= IdSlot4; ++id) CreateControl(L"CDeviceCtrl", id, RECT{}, nullptr, 0);

  auto* version = static_cast<MText*>(
      CreateArea(L"MText", IdVersion, RECT{}, FormatW(L"ver: %ls", kSoftwareVersion).c_str()));
  version->SetTextColor(0xFEB4B4B4);
  auto* notice = static_cast<MText*>(CreateArea(L"MText", IdVersion, RECT{}, MainText(kNoticeText).c_str()));
  notice->SetTextColor(0xFEB4B4B4);
  notice->SetAlignment(1);
}

void MainDlg::UISize(const RECT& client) {
  const int right = client.right;
  const int bottom = client.bottom;
  GetControl(IdBackground)->SetRect(client);
  GetControl(IdBackPicture)->SetRect(client);
  GetControl(IdLogo)->SetRect(RECT{10, 5, 139, 55});
  const int center = right / 2;
  GetControl(IdTitle)->SetRect(RECT{center - 255, 15, center + 255, 45});
  const RECT close{right - 50, 15, right - 20, 45};
  GetControl(IdClose)->SetRect(close);
  auto shifted = [&](int steps) {
    return RECT{close.left - 40 * steps, close.top, close.right - 40 * steps, close.bottom};
  };
  GetControl(IdMinimize)->SetRect(shifted(1));
  GetControl(IdSettings)->SetRect(shifted(2));
  GetControl(IdStore)->SetRect(shifted(3));
  GetControl(IdWebsite)->SetRect(shifted(4));

  // Four equal columns in 60, 160 .. right - 60, bottom - 100.
  const int areaLeft = 60, areaTop = 160, areaRight = std::max(areaLeft, right - 60);
  const int areaBottom = std::max(areaTop, bottom - 100);
  const int gap = 20;
  const int width = std::max(0, (areaRight - areaLeft - 3 * gap) / 4);
  for (int i = 0; i < 4; ++i) {
    const int left = areaLeft + i * (width + gap);
    GetControl(IdSlot1 + i)->SetRect(RECT{left, areaTop, left + width, areaBottom});
  }
  std::vector<MControl*> lines;
  for (MControl* control : Controls())
    if (control->GetID() == IdVersion) lines.push_back(control);
  if (lines.size() == 2) {
    lines[0]->SetRect(RECT{20, bottom - 40, 220, bottom - 15});
    lines[1]->SetRect(RECT{center - 400, bottom - 70, center + 400, bottom - 45});
  }
  for (const DeviceEntry& entry : m_devices)
    if (entry.dialog) entry.dialog->Window().MoveWindow(0, 0, right, bottom, true);
}

void MainDlg::HideMain() {
  // Without an icon in the tray a hidden window could not be found again.
  if (TrayShown())
    ShowWindow(SW_HIDE);
  else
    Minimize();
}

LRESULT MainDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (code != NOTIFY_CLICK) return 0;
  switch (id) {
    case IdClose:
      HideMain();
      return 1;
    case IdMinimize:
      Minimize();
      return 1;
    case IdSettings:
      ShowSystemSettings();
      return 1;
    case IdStore:
      OpenAddress(m_storeUrl);
      return 1;
    case IdWebsite:
      OpenAddress(m_websiteUrl);
      return 1;
    default:
      break;
  }
  if (id >= IdSlot1 && id <= IdSlot4) return OpenDevice(id);
  return 0;
}

void MainDlg::OpenAddress(const std::wstring& address) {
  if (address.empty()) return;
  platform::CurrentDesktopOpener().Open(WideToUtf8(address));
}

void MainDlg::ShowSystemSettings() {
  MainSysSetDlg dialog;
  dialog.Run(nullptr);
}

void MainDlg::OnTrayNotify(LPARAM reason) {
  if (reason == kTrayClick || reason == kTrayDoubleClick) {
    ShowWindow(SW_SHOWNORMAL);
    BringToFront();
  } else if (reason == kTrayContext) {
    MenuWnd menu(GetSafeHwnd(), WM_COMMAND);
    menu.AddMenu(static_cast<int>(IDM_TRAY_EXIT), MainText(7));
    menu.TrackPopup();
  }
}

void MainDlg::Quit() {
  RemoveTrayIcon();
  Manager::RequestQuit(0);
}

int MainDlg::RemoveTrayIcon() {
  if (!TrayShown()) return 1;
  return m_trayIcon->Remove() ? 1 : 0;
}

void MainDlg::ForwardSlotKey(WPARAM wParam, LPARAM lParam) {
  for (const DeviceEntry& entry : m_devices)
    if (entry.connected && entry.dialog)
      entry.dialog->OnDeviceLcdSlotKey(static_cast<int>(wParam), static_cast<int>(lParam));
}

void MainDlg::ApplyLanguage() {
  platform::SettingsStore& store = services_.settings ? *services_.settings : platform::UserSettings();
  WriteLanguageLcid(g_languageId.load(), GetProductName(), store);
  for (const DeviceEntry& entry : m_devices)
    if (entry.dialog) SendMessage(entry.dialog->Window().GetSafeHwnd(), WM_LANGUAGE_CHANGED, 100, 0);
  if (auto* title = GetControlAs<MControlFont>(IdTitle)) title->SetTitle(MainText(1));
  const std::pair<int, int> tips[] = {
      {IdClose, 2}, {IdMinimize, 3}, {IdSettings, 5}, {IdStore, 8}, {IdWebsite, 9}};
  for (auto [id, text] : tips)
    if (MControl* control = GetControl(id)) control->SetTooltip(MainText(text));
  // The notice is the second line that shares the version line's id.
  std::vector<MText*> lines;
  for (MControl* control : Controls())
    if (auto* line = dynamic_cast<MText*>(control); line && control->GetID() == IdVersion)
      lines.push_back(line);
  if (lines.size() == 2) lines[1]->SetTitle(MainText(kNoticeText));
}

LRESULT MainDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE: {
      const auto* record = reinterpret_cast<const DeviceInterfaceRecord*>(lParam);
      if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && record &&
          record->deviceType == DBT_DEVTYP_DEVICEINTERFACE)
        OnDeviceInterfaceEvent(*record, wParam);
      return 0;
    }
    case WM_CLOSE:
    case WM_MAIN_HIDE:
      HideMain();
      return message == WM_CLOSE ? 0 : 1;
    case WM_MAIN_MINIMIZE:
      Minimize();
      return 1;
    case WM_MAIN_MAXIMIZE:
      ToggleMaximize();
      return 1;
    case WM_TRAY_NOTIFY:
      OnTrayNotify(lParam);
      return 0;
    case WM_APP_QUIT:
      if (lParam == kQuitRequestKey) Quit();
      return 0;
    case WM_DEVICE_SLOT_KEY:
      ForwardSlotKey(wParam, lParam);
      return 0;
    case WM_COMMAND:
      // MenuWnd reports the chosen item in lParam.
      if (static_cast<WPARAM>(lParam) == IDM_TRAY_EXIT) {
        Quit();
        return 0;
      }
      break;
    case WM_LANGUAGE_CHANGED:
      if (lParam <= 0) return 0;  // no language: keep every text
      g_languageId = static_cast<int>(lParam);
      ApplyLanguage();
      break;
    case WM_RESCAN_DEVICES:
      RescanDevices(true);
      break;
    case kMsgPermissionPrompt:
      if (!permissionPromptShown_) {
        permissionPromptShown_ = true;
        ShowPromptBox(GetSafeHwnd(), MainText(60), MainText(61), 0);
      }
      return 0;
    default:
      break;
  }
  return MDialog::OnWindowMessage(message, wParam, lParam);
}

bool MainDlg::DestroyWindow() {
  StopDeviceEvents();
  RemoveTrayIcon();
  DestroyKeyboardWindows();
  m_devices.clear();
  if (!GetSafeHwnd()) return false;
  return MDialog::DestroyWindow();
}
