// The keyboard window's control dispatcher and window messages: two routing tables for control
// notifications, the tab switch, the frame buttons, the Enter key of the screen page and the
// dragging of the main window.
#include <span>

#include "common/strings.h"
#include "keyboard/KeyboardDlg.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/image_view.h"
#include "zuvi/list_box.h"
#include "zuvi/manager.h"
#include "zuvi/tab.h"

namespace {

using D = KeyboardDlg;

// What a one-argument handler is given.
enum class Arg { kCode, kId, kParam, kTwo };

// One entry of a routing table: the ids first..last, optionally only one notification code, and
// either a handler without argument, a handler with one, or an action done in place.
struct Route {
  int first;
  int last;
  int onlyCode;  // 0: every code
  int (D::*noArg)();
  int (D::*oneArg)(int);
  Arg arg;
  int (*inPlace)(D&, int id);
};

constexpr Route Call(int first, int last, int (D::*handler)(int), Arg arg = Arg::kCode, int onlyCode = 0) {
  return Route{first, last, onlyCode, nullptr, handler, arg, nullptr};
}
constexpr Route Call(int id, int (D::*handler)(int), Arg arg = Arg::kCode) {
  return Call(id, id, handler, arg);
}
constexpr Route Call0(int first, int last, int (D::*handler)(), int onlyCode = 0) {
  return Route{first, last, onlyCode, handler, nullptr, Arg::kCode, nullptr};
}
constexpr Route Call0(int id, int (D::*handler)()) { return Call0(id, id, handler); }
constexpr Route Act(int first, int last, int (*action)(D&, int)) {
  return Route{first, last, 0, nullptr, nullptr, Arg::kCode, action};
}
constexpr Route Act(int id, int (*action)(D&, int)) { return Act(id, id, action); }

int PostToMain(D& dlg, UINT message) {
  PostMessage(dlg.m_hwndMain, message, 0, 0);
  return 1;
}

// The in-place rename of a list.
int RenameRow(D& dlg, int listId) {
  if (auto* list = dlg.GetControlAs<QelListBox>(listId)) list->ShowEdit();
  return 1;
}

int Nothing(D&, int) { return 1; }
int Close(D& dlg, int) { return PostToMain(dlg, WM_MAIN_HIDE); }
int Minimize(D& dlg, int) { return PostToMain(dlg, WM_MAIN_MINIMIZE); }
int Home(D& dlg, int) {
  dlg.ShowWindow(SW_HIDE);  // the main window with its device slots is on show again
  return 0;
}
int RenameProfile(D& dlg, int) { return RenameRow(dlg, kb_ids::kProfileList); }
int RenameCustomLight(D& dlg, int) { return RenameRow(dlg, kb_ids::kCustomLightList); }
int RenameCustomLightMode(D& dlg, int) { return RenameRow(dlg, kb_ids::kCustomLightModeList); }
int RenameMusicMode(D& dlg, int) { return RenameRow(dlg, kb_ids::kMusicModeList); }
int CustomLightSwitch(D& dlg, int) {
  if (auto* on = dlg.GetControlAs<CSwitchButton>(kb_ids::kCustomLightSwitch))
    dlg.EnableCustomLightControls(!on->GetCheck());
  return 1;
}
int SetFixedDelayEdit(D& dlg, bool enable) {
  if (MControl* edit = dlg.GetControl(kb_ids::kMacroFixedDelayEdit)) edit->SetEnabled(enable);
  return 1;
}
int NoFixedDelay(D& dlg, int) { return SetFixedDelayEdit(dlg, false); }
int FixedDelay(D& dlg, int) { return SetFixedDelayEdit(dlg, true); }
ImageView* ScreenEditor(D& dlg) { return dlg.GetControlAs<ImageView>(kb_ids::kScreenEditor); }
int GridLines(D& dlg, int) {
  auto* check = dlg.GetControlAs<CCheckButton>(kb_ids::kScreenGridCheck);
  if (ImageView* editor = ScreenEditor(dlg); editor && check) editor->SetShowGridLine(check->GetCheck());
  return 1;
}
int AddPicture(D& dlg, int) {
  dlg.OnLcdAddPicture();
  dlg.m_lcdDirty = 1;
  return 0;
}
int DrawModePen(D& dlg, int) {
  if (ImageView* editor = ScreenEditor(dlg)) editor->SetDrawMode(102);
  return 1;
}
int DrawModeText(D& dlg, int) {
  if (ImageView* editor = ScreenEditor(dlg)) editor->SetDrawMode(111);
  return 1;
}
int UndoEdit(D& dlg, int) {
  if (ImageView* editor = ScreenEditor(dlg)) editor->RecoverCurEdit();
  return 1;
}

// Every code reaches these.
constexpr Route kFirstTier[] = {
    Call(50, &D::OnTabChanged, Arg::kParam),
    Call(66, &D::OnProfileListNotify),
    Call(69, &D::OnPresetListNotify),
    Call(70, &D::OnKeyboardCtrlNotify),
    Call(234, &D::OnMacroListNotify),
    Call0(71, &D::OnKeyFuncControlNotify),
    Call(77, &D::OnLightModeListNotify),
    Call0(80, 80, &D::OnLightPaletteNotify, NOTIFY_PALETTE_COLOR),
    Call(90, 105, &D::OnLightColorButton, Arg::kId),
    Call(84, &D::OnLightRedEdit),
    Call(85, &D::OnLightGreenEdit),
    Call(86, &D::OnLightBlueEdit),
    Call(138, &D::OnCustomLightListNotify),
    Call(142, &D::OnCustomLightEffectListNotify),
    Call0(145, 145, &D::OnCustomLightPaletteNotify, NOTIFY_PALETTE_COLOR),
    Call(155, 170, &D::OnCustomLightColorButton, Arg::kId),
    Call(149, &D::OnCustomLightRedEdit),
    Call(150, 151, &D::OnCustomLightGreenBlueEdit),
    Call(195, &D::OnCustomLightModeListNotify),
    Call0(198, 198, &D::OnCustomLightModePaletteNotify, NOTIFY_PALETTE_COLOR),
    Call(206, 221, &D::OnCustomLightModeColorButton, Arg::kId),
    Call(202, &D::OnCustomLightModeRedEdit),
    Call(203, 204, &D::OnCustomLightModeGreenBlueEdit),
    Call(294, &D::OnMusicListNotify),
    Call(240, &D::OnMacroKeyEditNotify),
    Call(262, &D::OnRecordListNotify),
    Call(323, &D::OnLcdSlotListNotify),
    Call(332, &D::OnLcdImageViewNotify),
    Call(336, &D::OnLcdFrameListNotify),
    Call(342, &D::OnLcdFontSizeEdit),
    Call(351, &D::OnLcdPalette3Notify),
    Call(352, &D::OnLcdPalette2Notify),
    Call(356, &D::OnLcdRedEdit),
    Call(357, &D::OnLcdGreenEdit),
    Call(358, &D::OnLcdBlueEdit),
};

// Clicks (code 2) only.
constexpr Route kSecondTier[] = {
    Act(44, Close),
    Act(45, Minimize),
    Call0(46, &D::ToggleMaximize),
    Act(47, Nothing),
    Act(48, Home),
    Call0(60, &D::NewProfile),
    Call0(61, &D::DeleteProfile),
    Act(62, RenameProfile),
    Call0(63, &D::ImportProfile),
    Call0(64, &D::ExportProfile),
    Call0(72, &D::OnLayerButtonP),
    Call0(119, &D::OnLayerButtonP),
    Call0(185, &D::OnLayerButtonP),
    Call0(229, &D::OnLayerButtonP),
    Call0(310, &D::OnLayerButtonP),
    Call0(73, &D::OnLayerButtonN),
    Call0(120, &D::OnLayerButtonN),
    Call0(186, &D::OnLayerButtonN),
    Call0(230, &D::OnLayerButtonN),
    Call0(311, &D::OnLayerButtonN),
    Call0(74, &D::OnFnSwitch),
    Call0(75, &D::OnFnSwitch2),
    Call0(88, &D::OnLightColorfulSwitch),
    Call(107, &D::OnLightBrightnessSlider, Arg::kTwo),
    Call(109, &D::OnLightSpeedSlider, Arg::kTwo),
    Call0(111, 114, &D::OnLightDirectionRadio),
    Call0(118, &D::OnLightApplyKeyColors),
    Call(122, 125, &D::OnLightSleepTimeRadio, Arg::kId),
    Call0(131, &D::OnNewCustomLight),
    Call0(132, &D::OnDeleteCustomLight),
    Act(133, RenameCustomLight),
    Call0(134, &D::OnImportCustomLight),
    Call0(135, &D::OnExportCustomLight),
    Act(153, CustomLightSwitch),
    Act(172, Nothing),
    Act(176, 179, Nothing),
    Call0(174, &D::OnCustomLightSpeedSlider),
    Call0(180, &D::OnCustomLightSelectAll),
    Call0(181, &D::OnCustomLightCheckDigits),
    Call0(182, &D::OnCustomLightCheckWasd),
    Call0(183, &D::OnCustomLightApplyEffect),
    Call0(184, &D::OnCustomLightApplyColor),
    Call0(188, &D::OnNewCustomLightMode),
    Call0(189, &D::OnDeleteCustomLightMode),
    Act(190, RenameCustomLightMode),
    Call0(191, &D::OnImportCustomLightMode),
    Call0(192, &D::OnExportCustomLightMode),
    Call0(223, &D::OnCustomLightModeBrightnessSlider),
    Call0(224, &D::OnCustomLightModeSelectAll),
    Call0(225, &D::OnCustomLightModeCheckDigits),
    Call0(226, &D::OnCustomLightModeCheckWasd),
    Call0(227, &D::OnCustomLightModeApplyColor),
    Call0(228, &D::OnCustomLightModeApplyColorType),
    Call0(237, &D::OnMacroEventKeyRadio),
    Call0(238, &D::OnMacroEventMouseRadio),
    Call0(239, &D::OnMacroEventDelayRadio),
    Call0(243, &D::InsertMacroEvent),
    Call0(244, &D::NewMacro),
    Call0(245, &D::DeleteMacro),
    Call0(246, &D::SelectMacro),
    Call0(247, &D::ImportMacro),
    Call0(248, &D::ExportMacro),
    Act(249, 250, NoFixedDelay),
    Act(251, FixedDelay),
    Call0(254, &D::StartMacroRecording),
    Call0(255, &D::StopMacroRecording),
    Act(258, Nothing),
    Call0(259, &D::MoveMacroEventUp),
    Call0(260, &D::MoveMacroEventDown),
    Call0(261, &D::DeleteMacroEvent),
    Call0(263, &D::ApplyMacro),
    Call0(266, &D::OnLanguageCombo),
    Call0(268, &D::OnFnSwitchCombo),
    Call0(270, &D::OnResponseTimeCombo),
    Call0(272, &D::OnAutoStartCheck),
    Call0(274, &D::ResetKeysAndLighting),
    Call0(275, &D::FactoryReset),
    Call0(276, &D::RunFirmwareUpdater),
    Call0(283, &D::OnGameModeCheck),
    Call0(284, &D::OnDisableAltTabCheck),
    Call0(285, &D::OnDisableAltF4Check),
    Call0(286, &D::OnDisableWinCheck),
    Call0(288, &D::OnAddMusicMode),
    Call0(289, &D::OnDeleteMusicMode),
    Act(290, RenameMusicMode),
    Call0(299, &D::OnMusicDeviceCombo),
    Call0(301, &D::OnMusicForeModeCombo),
    Call0(305, &D::OnMusicAmplitudeSlider),
    Call0(307, &D::OnMusicBackModeCombo),
    Call0(309, &D::OnMusicBackBrightnessSlider),
    Call0(324, &D::OnAddLcdSlot),
    Call0(325, &D::OnAddLcdGif),
    Call0(326, &D::OnDeleteLcdSlot),
    Act(331, GridLines),
    Call0(333, &D::OnLcdPreviewTab),
    Call0(335, &D::OnLcdEditTab),
    Call0(343, &D::OnLcdAddText),
    Act(344, AddPicture),
    Call0(345, &D::OnLcdCopyFrame),
    Call0(348, &D::OnLcdDeleteFrame),
    Act(346, DrawModePen),
    Act(347, DrawModeText),
    Act(349, UndoEdit),
    Call(359, 364, &D::OnLcdColorButton, Arg::kId),
    Call0(365, &D::OnLcdApplySlot),
    Call0(366, &D::SaveLcdFrames),
    Call0(367, &D::OnExportLcdGif),
    Call0(368, &D::OnDownloadLcdAnimation),
};

const Route* FindRoute(std::span<const Route> table, int id, int code) {
  for (const Route& route : table)
    if (id >= route.first && id <= route.last && (route.onlyCode == 0 || route.onlyCode == code))
      return &route;
  return nullptr;
}

int Invoke(D& dlg, const Route& route, int id, int code, LPARAM param) {
  if (route.inPlace) return route.inPlace(dlg, id);
  if (route.noArg) return (dlg.*route.noArg)();
  int argument = code;
  switch (route.arg) {
    case Arg::kCode:
      break;
    case Arg::kId:
      argument = id;
      break;
    case Arg::kParam:
      argument = static_cast<int>(param);
      break;
    case Arg::kTwo:
      argument = 2;
      break;
  }
  return (dlg.*route.oneArg)(argument);
}

// A first-tier id never reaches the second tier, whatever its code.
bool InFirstTier(int id) {
  for (const Route& route : kFirstTier)
    if (id >= route.first && id <= route.last) return true;
  return false;
}

constexpr int kEnterKey = 13;

}  // namespace

LRESULT KeyboardDlg::OnMessage(int id, int code, LPARAM param, LPARAM /*extra*/) {
  if (const Route* route = FindRoute(kFirstTier, id, code)) return Invoke(*this, *route, id, code, param);
  if (InFirstTier(id) || code != NOTIFY_CLICK) return 0;
  if (const Route* route = FindRoute(kSecondTier, id, code)) return Invoke(*this, *route, id, code, param);
  return 0;
}

LRESULT KeyboardDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int value = static_cast<int>(lParam);
  switch (message) {
    case WM_INPUT:
      OnRawInput(lParam);
      break;
    case WM_PROFILE_MENU_COMMAND:
      return OnProfileCommand(value);
    case WM_KEYFUNC_MENU_COMMAND:
      return OnKeyFunctionCommand(wParam, value);
    case WM_MACRO_MENU_COMMAND:
      return OnMacroMenuCommand(value);
    case WM_LIGHT_EDITOR_MENU_COMMAND:
      return OnLightEditorMenuCommand(value);
    case WM_DEVICE_REPORT:
      RunSoftwareKeyAction(value);
      return 0;
    case WM_LCD_MENU_COMMAND:
      return OnLcdDrawTool(value);
    case WM_LANGUAGE_CHANGED:
      ApplyLanguage();
      break;
    case WM_DEVICE_SLOT_KEY:
      // The main window hands slot keys to the screen page of every connected keyboard window.
      PostMessage(m_hwndMain, message, wParam, lParam);
      return 0;
    case kMsgTransferFailed:
      ShowTransferFailedPrompt();
      return 1;
    case kMsgShowMainWindow:
      if (MWindow* main = Manager::FromHandle(m_hwndMain)) main->ShowWindow(SW_SHOW);
      return 1;
    default:
      break;
  }
  return MDialog::OnWindowMessage(message, wParam, lParam);
}

// Enter released in the text edit of the screen page adds the text to the frame; the release is
// consumed there whether or not there is a text.
int KeyboardDlg::PreTranslateMessage(MSG* message) {
  if (message && (message->message == WM_KEYUP || message->message == WM_SYSKEYUP) &&
      message->wParam == kEnterKey && m_curTab.load() == TabScreen) {
    auto* edit = GetControlAs<MControlFont>(kb_ids::kScreenTextEdit);
    if (edit && !edit->GetTitle().empty()) OnLcdAddText();
    return 1;
  }
  return MDialog::PreTranslateMessage(message) != 0 ? 1 : 0;
}

// A press on a free part of the keyboard window drags the main window it sits in.
int KeyboardDlg::OnLButtonDown(UINT /*flags*/, POINT point) {
  ReleaseCapture();
  PostMessage(m_hwndMain, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
  return 0;
}

int KeyboardDlg::ToggleMaximize() {
  MWindow* main = Manager::FromHandle(m_hwndMain);
  const bool zoomedAfter = !(main && main->IsZoomed());
  PostMessage(m_hwndMain, WM_MAIN_MAXIMIZE, 0, 0);
  if (MControl* button = GetControl(kb_ids::kMaximize))
    button->SetImage(zoomedAfter ? L"btn_caption_restore.png" : L"sysbtn_maximize.png", 4);
  return 1;
}

int KeyboardDlg::OnTabChanged(int index) {
  auto* tabs = GetControlAs<MTabCtrl>(kb_ids::kTabs);
  if (!tabs) return 1;
  const int tab = tabs->GetItemID(index);
  if (tab < 0) return 1;
  if (tab != m_curTab.load()) LeavePage(m_curTab.load());
  EnterPage(tab);
  m_curTab.store(tab);
  m_configDB.SetConfigValue(1, L"tab_item", FormatW(L"%d", tabs->GetSelectItem()));
  return 1;
}

namespace {

void ShowControl(const KeyboardDlg& dlg, int id, bool show) {
  if (MControl* control = dlg.GetControl(id)) control->SetVisible(show);
}

}  // namespace

void KeyboardDlg::LeavePage(int tab) {
  using namespace kb_ids;
  switch (tab) {
    case TabKeyAssign:
      ShowControl(*this, kCaptionKeyAssign, false);
      break;
    case TabMacro: {
      ShowControl(*this, kCaptionMacro, false);
      MControl* stop = GetControl(kMacroStopRecording);
      if (m_macroSaved == 0)
        ApplyMacro();
      else if (stop && stop->IsVisible())  // a recording is under way
        StopMacroRecording();
      break;
    }
    case TabLighting:
      ShowControl(*this, kCaptionLighting, false);
      ShowControl(*this, kLightPageButton1, false);
      ShowControl(*this, kLightPageButton2, false);
      break;
    case TabCustomLight:
      ShowControl(*this, kCaptionCustomLight, false);
      break;
    case TabMusic:
      ShowControl(*this, kCaptionMusic, false);
      m_visualizer->m_active.store(0);
      break;
    case TabSettings:
    case TabCustomLightMode:
      ShowControl(*this, kCaptionSettings, false);
      break;
    default:
      break;
  }
}

void KeyboardDlg::EnterPage(int tab) {
  using namespace kb_ids;
  auto icon = [this](const wchar_t* file) {
    if (MControl* picture = GetControl(kPageIcon)) picture->SetImage(file, 1);
  };
  switch (tab) {
    case TabKeyAssign:
      icon(L"icon//icon_keyboard.png");
      ShowControl(*this, kCaptionKeyAssign, true);
      break;
    case TabMacro:
      icon(L"icon//icon_macro.png");
      ShowControl(*this, kCaptionMacro, true);
      break;
    case TabLighting:
      icon(L"icon//icon_lightmode.png");
      ShowControl(*this, kCaptionLighting, true);
      ShowControl(*this, kLightPageButton1, true);
      ShowControl(*this, kLightPageButton2, true);
      PostTask(TaskSendLightMode);
      break;
    case TabCustomLight:
      icon(L"icon//icon_customlight.png");
      ShowControl(*this, kCaptionCustomLight, true);
      break;
    case TabMusic:
      icon(L"icon//icon_music.png");
      ShowControl(*this, kCaptionMusic, true);
      m_visualizer->m_active.store(1);
      break;
    case TabSettings:
      icon(L"icon//icon_config.png");
      ShowControl(*this, kCaptionSettings, true);
      break;
    case TabCustomLightMode:
      icon(L"icon//icon_customlight.png");
      PostTask(TaskSendCustomModeColors);
      break;
    case TabScreen:
      EnableLcdEditControls(SelectedScreenSlot() >= 1);
      break;
    default:
      break;
  }
}
