// The control dispatcher: which handler each control id and code reaches, with which argument
// and result; the actions done in place; frame buttons; unknown ids.
#include "frame_support.h"
#include "zuvi/buttons.h"
#include "zuvi/image_view.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

struct Route {
  int id;
  int code;
  std::vector<std::string> calls;
  LRESULT result = 7;  // the recording handlers answer 7
};

std::vector<std::string> One(const std::string& call) { return {call}; }

class DispatchTest : public FrameTest {
 protected:
  void Expect(RecordingDlg& dlg, const std::vector<Route>& routes, LPARAM param = 0) {
    for (const Route& r : routes) {
      SCOPED_TRACE("id " + std::to_string(r.id) + " code " + std::to_string(r.code));
      EXPECT_EQ(dlg.OnMessage(r.id, r.code, param, 0), r.result);
      EXPECT_EQ(dlg.TakeCalls(), r.calls);
    }
  }
};

TEST_F(DispatchTest, FirstTierIdsTakeEveryCodeAndGetTheirArgument) {
  RecordingDlg& dlg = IdleRecording();
  Expect(dlg, {
                  {66, 1, One("OnProfileListNotify(1)")},
                  {66, 29, One("OnProfileListNotify(29)")},
                  {69, 5, One("OnPresetListNotify(5)")},
                  {70, 12, One("OnKeyboardCtrlNotify(12)")},
                  {71, 2, One("OnKeyFuncControlNotify")},
                  {77, 2, One("OnLightModeListNotify(2)")},
                  {84, 26, One("OnLightRedEdit(26)")},
                  {85, 29, One("OnLightGreenEdit(29)")},
                  {86, 30, One("OnLightBlueEdit(30)")},
                  {90, 2, One("OnLightColorButton(90)")},
                  {105, 1, One("OnLightColorButton(105)")},
                  {138, 1, One("OnCustomLightListNotify(1)")},
                  {142, 2, One("OnCustomLightEffectListNotify(2)")},
                  {149, 29, One("OnCustomLightRedEdit(29)")},
                  {150, 29, One("OnCustomLightGreenBlueEdit(29)")},
                  {151, 26, One("OnCustomLightGreenBlueEdit(26)")},
                  {155, 2, One("OnCustomLightColorButton(155)")},
                  {170, 2, One("OnCustomLightColorButton(170)")},
                  {195, 5, One("OnCustomLightModeListNotify(5)")},
                  {202, 29, One("OnCustomLightModeRedEdit(29)")},
                  {203, 29, One("OnCustomLightModeGreenBlueEdit(29)")},
                  {204, 26, One("OnCustomLightModeGreenBlueEdit(26)")},
                  {206, 2, One("OnCustomLightModeColorButton(206)")},
                  {221, 2, One("OnCustomLightModeColorButton(221)")},
                  {234, 1, One("OnMacroListNotify(1)")},
                  {240, 12, One("OnMacroKeyEditNotify(12)")},
                  {262, 2, One("OnRecordListNotify(2)")},
                  {294, 29, One("OnMusicListNotify(29)")},
                  {323, 1, One("OnLcdSlotListNotify(1)")},
                  {332, 2, One("OnLcdImageViewNotify(2)")},
                  {336, 5, One("OnLcdFrameListNotify(5)")},
                  {342, 29, One("OnLcdFontSizeEdit(29)")},
                  {351, 27, One("OnLcdPalette3Notify(27)")},
                  {352, 2, One("OnLcdPalette2Notify(2)")},
                  {356, 26, One("OnLcdRedEdit(26)")},
                  {357, 26, One("OnLcdGreenEdit(26)")},
                  {358, 2, One("OnLcdBlueEdit(2)")},
              });
  // The palettes answer a picked colour only; a click on them matches nothing in either tier.
  Expect(dlg, {
                  {80, 27, One("OnLightPaletteNotify")},
                  {145, 27, One("OnCustomLightPaletteNotify")},
                  {198, 27, One("OnCustomLightModePaletteNotify")},
                  {80, 2, {}, 0},
                  {145, 1, {}, 0},
                  {198, 2, {}, 0},
              });
  // Ids just outside the ranges.
  Expect(
      dlg,
      {{89, 2, {}, 0}, {106, 2, {}, 0}, {154, 2, {}, 0}, {171, 2, {}, 0}, {205, 2, {}, 0}, {222, 2, {}, 0}});
  // The tab column hands the item index over.
  EXPECT_EQ(dlg.OnMessage(kb_ids::kTabs, 1, 3, 0), 1);
  EXPECT_EQ(dlg.TakeCalls(), One("OnTabChanged(3)"));
  EXPECT_EQ(dlg.m_curTab.load(), TabScreen);
}

TEST_F(DispatchTest, SecondTierIdsTakeClicksOnlyAndGetTheirArgument) {
  RecordingDlg& dlg = IdleRecording();
  Expect(dlg, {
                  {60, 2, One("NewProfile")},
                  {61, 2, One("DeleteProfile")},
                  {63, 2, One("ImportProfile")},
                  {64, 2, One("ExportProfile")},
                  {72, 2, One("OnLayerButtonP")},
                  {119, 2, One("OnLayerButtonP")},
                  {185, 2, One("OnLayerButtonP")},
                  {229, 2, One("OnLayerButtonP")},
                  {310, 2, One("OnLayerButtonP")},
                  {73, 2, One("OnLayerButtonN")},
                  {120, 2, One("OnLayerButtonN")},
                  {186, 2, One("OnLayerButtonN")},
                  {230, 2, One("OnLayerButtonN")},
                  {311, 2, One("OnLayerButtonN")},
                  {74, 2, One("OnFnSwitch")},
                  {75, 2, One("OnFnSwitch2")},
                  {88, 2, One("OnLightColorfulSwitch")},
                  {107, 2, One("OnLightBrightnessSlider(2)")},
                  {109, 2, One("OnLightSpeedSlider(2)")},
                  {111, 2, One("OnLightDirectionRadio")},
                  {114, 2, One("OnLightDirectionRadio")},
                  {118, 2, One("OnLightApplyKeyColors")},
                  {122, 2, One("OnLightSleepTimeRadio(122)")},
                  {125, 2, One("OnLightSleepTimeRadio(125)")},
                  {131, 2, One("OnNewCustomLight")},
                  {132, 2, One("OnDeleteCustomLight")},
                  {134, 2, One("OnImportCustomLight")},
                  {135, 2, One("OnExportCustomLight")},
                  {174, 2, One("OnCustomLightSpeedSlider")},
                  {180, 2, One("OnCustomLightSelectAll")},
                  {181, 2, One("OnCustomLightCheckDigits")},
                  {182, 2, One("OnCustomLightCheckWasd")},
                  {183, 2, One("OnCustomLightApplyEffect")},
                  {184, 2, One("OnCustomLightApplyColor")},
                  {188, 2, One("OnNewCustomLightMode")},
                  {189, 2, One("OnDeleteCustomLightMode")},
                  {191, 2, One("OnImportCustomLightMode")},
                  {192, 2, One("OnExportCustomLightMode")},
                  {223, 2, One("OnCustomLightModeBrightnessSlider")},
                  {224, 2, One("OnCustomLightModeSelectAll")},
                  {225, 2, One("OnCustomLightModeCheckDigits")},
                  {226, 2, One("OnCustomLightModeCheckWasd")},
                  {227, 2, One("OnCustomLightModeApplyColor")},
                  {228, 2, One("OnCustomLightModeApplyColorType")},
                  {237, 2, One("OnMacroEventKeyRadio")},
                  {238, 2, One("OnMacroEventMouseRadio")},
                  {239, 2, One("OnMacroEventDelayRadio")},
                  {243, 2, One("InsertMacroEvent")},
                  {244, 2, One("NewMacro")},
                  {245, 2, One("DeleteMacro")},
                  {246, 2, One("SelectMacro")},
                  {247, 2, One("ImportMacro")},
                  {248, 2, One("ExportMacro")},
                  {254, 2, One("StartMacroRecording")},
                  {255, 2, One("StopMacroRecording")},
                  {259, 2, One("MoveMacroEventUp")},
                  {260, 2, One("MoveMacroEventDown")},
                  {261, 2, One("DeleteMacroEvent")},
                  {263, 2, One("ApplyMacro")},
                  {266, 2, One("OnLanguageCombo")},
                  {268, 2, One("OnFnSwitchCombo")},
                  {270, 2, One("OnResponseTimeCombo")},
                  {272, 2, One("OnAutoStartCheck")},
                  {274, 2, One("ResetKeysAndLighting")},
                  {275, 2, One("FactoryReset")},
                  {276, 2, One("RunFirmwareUpdater")},
                  {283, 2, One("OnGameModeCheck")},
                  {284, 2, One("OnDisableAltTabCheck")},
                  {285, 2, One("OnDisableAltF4Check")},
                  {286, 2, One("OnDisableWinCheck")},
                  {288, 2, One("OnAddMusicMode")},
                  {289, 2, One("OnDeleteMusicMode")},
                  {299, 2, One("OnMusicDeviceCombo")},
                  {301, 2, One("OnMusicForeModeCombo")},
                  {305, 2, One("OnMusicAmplitudeSlider")},
                  {307, 2, One("OnMusicBackModeCombo")},
                  {309, 2, One("OnMusicBackBrightnessSlider")},
                  {324, 2, One("OnAddLcdSlot")},
                  {325, 2, One("OnAddLcdGif")},
                  {326, 2, One("OnDeleteLcdSlot")},
                  {333, 2, One("OnLcdPreviewTab")},
                  {335, 2, One("OnLcdEditTab")},
                  {343, 2, One("OnLcdAddText")},
                  {345, 2, One("OnLcdCopyFrame")},
                  {348, 2, One("OnLcdDeleteFrame")},
                  {359, 2, One("OnLcdColorButton(359)")},
                  {364, 2, One("OnLcdColorButton(364)")},
                  {365, 2, One("OnLcdApplySlot")},
                  {366, 2, One("SaveLcdFrames")},
                  {367, 2, One("OnExportLcdGif")},
                  {368, 2, One("OnDownloadLcdAnimation")},
              });
  // Other codes never reach the second tier; ids beside the ranges reach nothing.
  Expect(dlg, {{60, 1, {}, 0},
               {244, 5, {}, 0},
               {368, 29, {}, 0},
               {107, 1, {}, 0},
               {110, 2, {}, 0},
               {115, 2, {}, 0},
               {121, 2, {}, 0},
               {126, 2, {}, 0},
               {175, 2, {}, 0},
               {180, 1, {}, 0}});
  // Places that answer a click with 1 and do nothing, and unknown ids.
  Expect(dlg, {{47, 2, {}, 1},
               {172, 2, {}, 1},
               {176, 2, {}, 1},
               {179, 2, {}, 1},
               {258, 2, {}, 1},
               {0, 2, {}, 0},
               {31, 2, {}, 0},
               {999, 2, {}, 0},
               {-5, 2, {}, 0}});
}

TEST_F(DispatchTest, FrameButtonsPostToTheMainWindowOnly) {
  RecordingDlg& dlg = IdleRecording();
  main_.ShowWindow(SW_SHOW);
  for (const auto& [id, message] : {std::pair{44, 1625u}, std::pair{45, 1626u}}) {
    EXPECT_EQ(dlg.OnMessage(id, 2, 99, 0), 1);
    const auto posted = TakeMainMessages();
    ASSERT_EQ(posted.size(), 1u) << id;
    EXPECT_EQ(posted[0].message, message);
    EXPECT_EQ(posted[0].wParam, 0u);
    EXPECT_EQ(posted[0].lParam, 0);
    EXPECT_TRUE(dlg.IsWindowVisible()) << "the keyboard window stays";
  }
  // Home hides only the keyboard window.
  EXPECT_EQ(dlg.OnMessage(48, 2, 0, 0), 0);
  EXPECT_TRUE(TakeMainMessages().empty());
  EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST_F(DispatchTest, ActionsDoneInPlaceTouchTheirControls) {
  RecordingDlg& dlg = IdleRecording([](RecordingDlg& d) {
    d.onBuild = [](RecordingDlg& w, const std::string& page) {
      if (page == "CreateKeyAssignPage") {
        auto* list = static_cast<QelListBox*>(w.CreateControl(L"QelListBox", 66, RECT{0, 0, 100, 100}));
        list->AddString(L"mine");
        list->SetCurSel(0);
      }
      if (page == "CreateCustomLightPage") w.CreateControl(L"CSwitchButton", 153, RECT{});
      if (page == "CreateMacroPage") w.CreateControl(L"MEdit", 252, RECT{});
      if (page == "CreateLcdPage") {
        w.CreateControl(L"CCheckButton", 331, RECT{});
        w.CreateControl(L"ImageView", 332, RECT{});
      }
    };
  });
  EXPECT_EQ(dlg.OnMessage(62, 2, 0, 0), 1);
  EXPECT_TRUE(dlg.GetControlAs<QelListBox>(66)->IsEditing());

  auto* lightsOff = dlg.GetControlAs<CSwitchButton>(153);
  lightsOff->SetCheck(false);
  EXPECT_EQ(dlg.OnMessage(153, 2, 0, 0), 1);
  lightsOff->SetCheck(true);
  EXPECT_EQ(dlg.OnMessage(153, 2, 0, 0), 1);
  EXPECT_EQ(dlg.TakeCalls(),
            (std::vector<std::string>{"EnableCustomLightControls(1)", "EnableCustomLightControls(0)"}));

  MControl* fixedDelay = dlg.GetControl(252);
  EXPECT_EQ(dlg.OnMessage(249, 2, 0, 0), 1);
  EXPECT_FALSE(fixedDelay->IsEnabled());
  EXPECT_EQ(dlg.OnMessage(251, 2, 0, 0), 1);
  EXPECT_TRUE(fixedDelay->IsEnabled());
  EXPECT_EQ(dlg.OnMessage(250, 2, 0, 0), 1);
  EXPECT_FALSE(fixedDelay->IsEnabled());

  auto* editor = dlg.GetControlAs<ImageView>(332);
  dlg.GetControlAs<CCheckButton>(331)->SetCheck(true);
  EXPECT_EQ(dlg.OnMessage(331, 2, 0, 0), 1);
  EXPECT_TRUE(editor->GetShowGridLine());
  EXPECT_EQ(dlg.OnMessage(346, 2, 0, 0), 1);
  EXPECT_EQ(editor->GetDrawMode(), 102);
  EXPECT_EQ(dlg.OnMessage(347, 2, 0, 0), 1);
  EXPECT_EQ(editor->GetDrawMode(), 111);
  EXPECT_EQ(dlg.OnMessage(349, 2, 0, 0), 1);
  EXPECT_EQ(editor->RecoverCount(), 1);

  dlg.m_lcdDirty = 0;
  EXPECT_EQ(dlg.OnMessage(344, 2, 0, 0), 0);
  EXPECT_EQ(dlg.TakeCalls(), One("OnLcdAddPicture"));
  EXPECT_EQ(dlg.m_lcdDirty, 1);
}

TEST_F(DispatchTest, ActionsWhoseControlIsMissingStillGiveTheirResult) {
  RecordingDlg& dlg = IdleRecording();  // no list, switch, edit or editor on the stub pages
  for (int id : {62, 133, 190, 290, 249, 250, 251, 331, 346, 347, 349})
    EXPECT_EQ(dlg.OnMessage(id, 2, 0, 0), 1) << id;
  EXPECT_TRUE(dlg.TakeCalls().empty()) << "the switch handler needs the switch";
}

}  // namespace
}  // namespace kb_test
