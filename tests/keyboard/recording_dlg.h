// A keyboard window whose page members record that they were called, with their argument, and
// answer with `answer`; the builders and layouts record and then do what the window does. The
// routing of the window is tested against it.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "keyboard/KeyboardDlg.h"

namespace kb_test {

class RecordingDlg : public KeyboardDlg {
 public:
  using KeyboardDlg::AddKeyView;
  using KeyboardDlg::KeyboardDlg;

  // "Name" or "Name(argument, ...)" per call, in order.
  std::vector<std::string> calls;
  std::vector<RECT> layoutRects;
  int answer = 7;
  // Runs after each page builder, with the builder's name; tests add page controls here.
  std::function<void(RecordingDlg&, const std::string&)> onBuild;

  // The thread of each call.
  std::vector<std::thread::id> callThreads;

  void Record(const std::string& name) {
    calls.push_back(name);
    callThreads.push_back(std::this_thread::get_id());
  }
  template <typename... Args>
  void Record(const std::string& name, Args... args) {
    std::string text = name + "(";
    bool first = true;
    for (long long value : {static_cast<long long>(args)...}) {
      text += (first ? "" : ", ") + std::to_string(value);
      first = false;
    }
    Record(text + ")");
  }
  std::vector<std::string> TakeCalls() { return std::exchange(calls, {}); }

  int OnTabChanged(int index) override {
    Record("OnTabChanged", static_cast<long long>(index));
    return KeyboardDlg::OnTabChanged(index);
  }
  int ToggleMaximize() override {
    Record("ToggleMaximize");
    return KeyboardDlg::ToggleMaximize();
  }
  int OnProfileListNotify(int code) override {
    Record("OnProfileListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnPresetListNotify(int code) override {
    Record("OnPresetListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnProfileCommand(int menuId) override {
    Record("OnProfileCommand", static_cast<long long>(menuId));
    return answer;
  }
  int NewProfile() override {
    Record("NewProfile");
    return answer;
  }
  int DeleteProfile() override {
    Record("DeleteProfile");
    return answer;
  }
  int ImportProfile() override {
    Record("ImportProfile");
    return answer;
  }
  int ExportProfile() override {
    Record("ExportProfile");
    return answer;
  }
  void CreateKeyAssignPage() override {
    Record("CreateKeyAssignPage");
    KeyboardDlg::CreateKeyAssignPage();
    if (onBuild) onBuild(*this, "CreateKeyAssignPage");
  }
  void LayoutKeyAssignPage(const RECT& client) override {
    Record("LayoutKeyAssignPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutKeyAssignPage(client);
  }
  int OnKeyboardCtrlNotify(int code) override {
    Record("OnKeyboardCtrlNotify", static_cast<long long>(code));
    return answer;
  }
  int OnKeyFuncControlNotify() override {
    Record("OnKeyFuncControlNotify");
    return answer;
  }
  int OnKeyFunctionCommand(WPARAM wParam, int menuId) override {
    Record("OnKeyFunctionCommand", static_cast<long long>(wParam), static_cast<long long>(menuId));
    return answer;
  }
  int OnLayerButtonP() override {
    Record("OnLayerButtonP");
    return answer;
  }
  int OnLayerButtonN() override {
    Record("OnLayerButtonN");
    return answer;
  }
  int OnFnSwitch() override {
    Record("OnFnSwitch");
    return answer;
  }
  int OnFnSwitch2() override {
    Record("OnFnSwitch2");
    return answer;
  }
  int RunSoftwareKeyAction(int rowId) override {
    Record("RunSoftwareKeyAction", static_cast<long long>(rowId));
    return answer;
  }
  void CreateMacroPage() override {
    Record("CreateMacroPage");
    KeyboardDlg::CreateMacroPage();
    if (onBuild) onBuild(*this, "CreateMacroPage");
  }
  void LayoutMacroPage(const RECT& client) override {
    Record("LayoutMacroPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutMacroPage(client);
  }
  int OnMacroListNotify(int code) override {
    Record("OnMacroListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnMacroMenuCommand(int menuId) override {
    Record("OnMacroMenuCommand", static_cast<long long>(menuId));
    return answer;
  }
  int NewMacro() override {
    Record("NewMacro");
    return answer;
  }
  int DeleteMacro() override {
    Record("DeleteMacro");
    return answer;
  }
  int SelectMacro() override {
    Record("SelectMacro");
    return answer;
  }
  int ImportMacro() override {
    Record("ImportMacro");
    return answer;
  }
  int ExportMacro() override {
    Record("ExportMacro");
    return answer;
  }
  int ApplyMacro() override {
    Record("ApplyMacro");
    return answer;
  }
  int OnRawInput(LPARAM rawInput) override {
    Record("OnRawInput", static_cast<long long>(rawInput));
    return answer;
  }
  int OnMacroKeyEditNotify(int code) override {
    Record("OnMacroKeyEditNotify", static_cast<long long>(code));
    return answer;
  }
  int OnRecordListNotify(int code) override {
    Record("OnRecordListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnMacroEventKeyRadio() override {
    Record("OnMacroEventKeyRadio");
    return answer;
  }
  int OnMacroEventMouseRadio() override {
    Record("OnMacroEventMouseRadio");
    return answer;
  }
  int OnMacroEventDelayRadio() override {
    Record("OnMacroEventDelayRadio");
    return answer;
  }
  int InsertMacroEvent() override {
    Record("InsertMacroEvent");
    return answer;
  }
  int StartMacroRecording() override {
    Record("StartMacroRecording");
    return answer;
  }
  int StopMacroRecording() override {
    Record("StopMacroRecording");
    return answer;
  }
  int MoveMacroEventUp() override {
    Record("MoveMacroEventUp");
    return answer;
  }
  int MoveMacroEventDown() override {
    Record("MoveMacroEventDown");
    return answer;
  }
  int DeleteMacroEvent() override {
    Record("DeleteMacroEvent");
    return answer;
  }
  void CreateSettingsPage() override {
    Record("CreateSettingsPage");
    KeyboardDlg::CreateSettingsPage();
    if (onBuild) onBuild(*this, "CreateSettingsPage");
  }
  void LayoutSettingsPage(const RECT& client) override {
    Record("LayoutSettingsPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutSettingsPage(client);
  }
  int OnLanguageCombo() override {
    Record("OnLanguageCombo");
    return answer;
  }
  int OnFnSwitchCombo() override {
    Record("OnFnSwitchCombo");
    return answer;
  }
  int OnResponseTimeCombo() override {
    Record("OnResponseTimeCombo");
    return answer;
  }
  int OnAutoStartCheck() override {
    Record("OnAutoStartCheck");
    return answer;
  }
  int ResetKeysAndLighting() override {
    Record("ResetKeysAndLighting");
    return answer;
  }
  int FactoryReset() override {
    Record("FactoryReset");
    return answer;
  }
  int RunFirmwareUpdater() override {
    Record("RunFirmwareUpdater");
    return answer;
  }
  int OnGameModeCheck() override {
    Record("OnGameModeCheck");
    return answer;
  }
  int OnDisableAltTabCheck() override {
    Record("OnDisableAltTabCheck");
    return answer;
  }
  int OnDisableAltF4Check() override {
    Record("OnDisableAltF4Check");
    return answer;
  }
  int OnDisableWinCheck() override {
    Record("OnDisableWinCheck");
    return answer;
  }
  void CreateLightPage() override {
    Record("CreateLightPage");
    KeyboardDlg::CreateLightPage();
    if (onBuild) onBuild(*this, "CreateLightPage");
  }
  void LayoutLightPage(const RECT& client) override {
    Record("LayoutLightPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutLightPage(client);
  }
  int OnLightModeListNotify(int code) override {
    Record("OnLightModeListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnLightPaletteNotify() override {
    Record("OnLightPaletteNotify");
    return answer;
  }
  int OnLightColorButton(int id) override {
    Record("OnLightColorButton", static_cast<long long>(id));
    return answer;
  }
  int OnLightRedEdit(int code) override {
    Record("OnLightRedEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLightGreenEdit(int code) override {
    Record("OnLightGreenEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLightBlueEdit(int code) override {
    Record("OnLightBlueEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLightColorfulSwitch() override {
    Record("OnLightColorfulSwitch");
    return answer;
  }
  int OnLightBrightnessSlider(int code) override {
    Record("OnLightBrightnessSlider", static_cast<long long>(code));
    return answer;
  }
  int OnLightSpeedSlider(int code) override {
    Record("OnLightSpeedSlider", static_cast<long long>(code));
    return answer;
  }
  int OnLightDirectionRadio() override {
    Record("OnLightDirectionRadio");
    return answer;
  }
  int OnLightApplyKeyColors() override {
    Record("OnLightApplyKeyColors");
    return answer;
  }
  int OnLightSleepTimeRadio(int id) override {
    Record("OnLightSleepTimeRadio", static_cast<long long>(id));
    return answer;
  }
  void ShowSleepTimeSelection(int index) override {
    Record("ShowSleepTimeSelection", static_cast<long long>(index));
  }
  void CreateCustomLightPage() override {
    Record("CreateCustomLightPage");
    KeyboardDlg::CreateCustomLightPage();
    if (onBuild) onBuild(*this, "CreateCustomLightPage");
  }
  void LayoutCustomLightPage(const RECT& client) override {
    Record("LayoutCustomLightPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutCustomLightPage(client);
  }
  int OnCustomLightListNotify(int code) override {
    Record("OnCustomLightListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnCustomLightEffectListNotify(int code) override {
    Record("OnCustomLightEffectListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnCustomLightPaletteNotify() override {
    Record("OnCustomLightPaletteNotify");
    return answer;
  }
  int OnCustomLightColorButton(int id) override {
    Record("OnCustomLightColorButton", static_cast<long long>(id));
    return answer;
  }
  int OnCustomLightRedEdit(int code) override {
    Record("OnCustomLightRedEdit", static_cast<long long>(code));
    return answer;
  }
  int OnCustomLightGreenBlueEdit(int code) override {
    Record("OnCustomLightGreenBlueEdit", static_cast<long long>(code));
    return answer;
  }
  int OnNewCustomLight() override {
    Record("OnNewCustomLight");
    return answer;
  }
  int OnDeleteCustomLight() override {
    Record("OnDeleteCustomLight");
    return answer;
  }
  int OnImportCustomLight() override {
    Record("OnImportCustomLight");
    return answer;
  }
  int OnExportCustomLight() override {
    Record("OnExportCustomLight");
    return answer;
  }
  int OnCustomLightSpeedSlider() override {
    Record("OnCustomLightSpeedSlider");
    return answer;
  }
  int OnCustomLightSelectAll() override {
    Record("OnCustomLightSelectAll");
    return answer;
  }
  int OnCustomLightCheckDigits() override {
    Record("OnCustomLightCheckDigits");
    return answer;
  }
  int OnCustomLightCheckWasd() override {
    Record("OnCustomLightCheckWasd");
    return answer;
  }
  int OnCustomLightApplyEffect() override {
    Record("OnCustomLightApplyEffect");
    return answer;
  }
  int OnCustomLightApplyColor() override {
    Record("OnCustomLightApplyColor");
    return answer;
  }
  int OnLightEditorMenuCommand(int command) override {
    Record("OnLightEditorMenuCommand", static_cast<long long>(command));
    return answer;
  }
  void EnableCustomLightControls(bool enable) override {
    Record("EnableCustomLightControls", static_cast<long long>(enable));
  }
  void CreateCustomLightModePage() override {
    Record("CreateCustomLightModePage");
    KeyboardDlg::CreateCustomLightModePage();
    if (onBuild) onBuild(*this, "CreateCustomLightModePage");
  }
  void LayoutCustomLightModePage(const RECT& client) override {
    Record("LayoutCustomLightModePage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutCustomLightModePage(client);
  }
  int OnCustomLightModeListNotify(int code) override {
    Record("OnCustomLightModeListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnCustomLightModePaletteNotify() override {
    Record("OnCustomLightModePaletteNotify");
    return answer;
  }
  int OnCustomLightModeColorButton(int id) override {
    Record("OnCustomLightModeColorButton", static_cast<long long>(id));
    return answer;
  }
  int OnCustomLightModeRedEdit(int code) override {
    Record("OnCustomLightModeRedEdit", static_cast<long long>(code));
    return answer;
  }
  int OnCustomLightModeGreenBlueEdit(int code) override {
    Record("OnCustomLightModeGreenBlueEdit", static_cast<long long>(code));
    return answer;
  }
  int OnNewCustomLightMode() override {
    Record("OnNewCustomLightMode");
    return answer;
  }
  int OnDeleteCustomLightMode() override {
    Record("OnDeleteCustomLightMode");
    return answer;
  }
  int OnImportCustomLightMode() override {
    Record("OnImportCustomLightMode");
    return answer;
  }
  int OnExportCustomLightMode() override {
    Record("OnExportCustomLightMode");
    return answer;
  }
  int OnCustomLightModeBrightnessSlider() override {
    Record("OnCustomLightModeBrightnessSlider");
    return answer;
  }
  int OnCustomLightModeSelectAll() override {
    Record("OnCustomLightModeSelectAll");
    return answer;
  }
  int OnCustomLightModeCheckDigits() override {
    Record("OnCustomLightModeCheckDigits");
    return answer;
  }
  int OnCustomLightModeCheckWasd() override {
    Record("OnCustomLightModeCheckWasd");
    return answer;
  }
  int OnCustomLightModeApplyColor() override {
    Record("OnCustomLightModeApplyColor");
    return answer;
  }
  int OnCustomLightModeApplyColorType() override {
    Record("OnCustomLightModeApplyColorType");
    return answer;
  }
  void CreateMusicPage() override {
    Record("CreateMusicPage");
    KeyboardDlg::CreateMusicPage();
    if (onBuild) onBuild(*this, "CreateMusicPage");
  }
  void LayoutMusicPage(const RECT& client) override {
    Record("LayoutMusicPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutMusicPage(client);
  }
  int OnMusicListNotify(int code) override {
    Record("OnMusicListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnAddMusicMode() override {
    Record("OnAddMusicMode");
    return answer;
  }
  int OnDeleteMusicMode() override {
    Record("OnDeleteMusicMode");
    return answer;
  }
  int OnMusicDeviceCombo() override {
    Record("OnMusicDeviceCombo");
    return answer;
  }
  int OnMusicForeModeCombo() override {
    Record("OnMusicForeModeCombo");
    return answer;
  }
  int OnMusicAmplitudeSlider() override {
    Record("OnMusicAmplitudeSlider");
    return answer;
  }
  int OnMusicBackModeCombo() override {
    Record("OnMusicBackModeCombo");
    return answer;
  }
  int OnMusicBackBrightnessSlider() override {
    Record("OnMusicBackBrightnessSlider");
    return answer;
  }
  void CreateLcdPage() override {
    Record("CreateLcdPage");
    KeyboardDlg::CreateLcdPage();
    if (onBuild) onBuild(*this, "CreateLcdPage");
  }
  void LayoutLcdPage(const RECT& client) override {
    Record("LayoutLcdPage");
    layoutRects.push_back(client);
    KeyboardDlg::LayoutLcdPage(client);
  }
  int OnLcdSlotListNotify(int code) override {
    Record("OnLcdSlotListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnAddLcdSlot() override {
    Record("OnAddLcdSlot");
    return answer;
  }
  int OnAddLcdGif() override {
    Record("OnAddLcdGif");
    return answer;
  }
  int OnDeleteLcdSlot() override {
    Record("OnDeleteLcdSlot");
    return answer;
  }
  int OnLcdPreviewTab() override {
    Record("OnLcdPreviewTab");
    return answer;
  }
  int OnLcdEditTab() override {
    Record("OnLcdEditTab");
    return answer;
  }
  int OnLcdApplySlot() override {
    Record("OnLcdApplySlot");
    return answer;
  }
  int OnDownloadLcdAnimation() override {
    Record("OnDownloadLcdAnimation");
    return answer;
  }
  int OnDeviceLcdSlotKey(int action, int value) override {
    Record("OnDeviceLcdSlotKey", static_cast<long long>(action), static_cast<long long>(value));
    return answer;
  }
  int OnLcdImageViewNotify(int code) override {
    Record("OnLcdImageViewNotify", static_cast<long long>(code));
    return answer;
  }
  int OnLcdFrameListNotify(int code) override {
    Record("OnLcdFrameListNotify", static_cast<long long>(code));
    return answer;
  }
  int OnLcdFontSizeEdit(int code) override {
    Record("OnLcdFontSizeEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLcdPalette3Notify(int code) override {
    Record("OnLcdPalette3Notify", static_cast<long long>(code));
    return answer;
  }
  int OnLcdPalette2Notify(int code) override {
    Record("OnLcdPalette2Notify", static_cast<long long>(code));
    return answer;
  }
  int OnLcdRedEdit(int code) override {
    Record("OnLcdRedEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLcdGreenEdit(int code) override {
    Record("OnLcdGreenEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLcdBlueEdit(int code) override {
    Record("OnLcdBlueEdit", static_cast<long long>(code));
    return answer;
  }
  int OnLcdColorButton(int id) override {
    Record("OnLcdColorButton", static_cast<long long>(id));
    return answer;
  }
  int OnLcdAddText() override {
    Record("OnLcdAddText");
    return answer;
  }
  int OnLcdAddPicture() override {
    Record("OnLcdAddPicture");
    return answer;
  }
  int OnLcdCopyFrame() override {
    Record("OnLcdCopyFrame");
    return answer;
  }
  int OnLcdDeleteFrame() override {
    Record("OnLcdDeleteFrame");
    return answer;
  }
  int SaveLcdFrames() override {
    Record("SaveLcdFrames");
    return answer;
  }
  int OnExportLcdGif() override {
    Record("OnExportLcdGif");
    return answer;
  }
  int OnLcdDrawTool(int command) override {
    Record("OnLcdDrawTool", static_cast<long long>(command));
    return answer;
  }
};

}  // namespace kb_test
