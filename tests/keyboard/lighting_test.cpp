// The lighting transfers of the keyboard window, from the store and the key views to what the
// simulated keyboard took in: light mode (task 5), custom mode colours and settings (task 6), the
// read-back of the lighting page and the live preview of the custom light effect editor, on per-key
// RGB and on single-colour keyboards.
#include "device/DevicePacket.h"
#include "device/LightingPackets.h"
#include "keyboard_fixture.h"

namespace kb_test {
namespace {

constexpr int kUnmappedUsage = 0xE8;

std::vector<uint8_t> Record(std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
  std::vector<uint8_t> r(kPacketSize, 0);
  for (auto [i, v] : bytes) r[i] = v;
  r[14] = 0xAA;
  r[15] = 0x55;
  return r;
}

class LightingTest : public KeyboardTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool rgb() const { return GetParam(); }
  // The variant is the keyboard's: it is chosen before the window is built.
  KeyboardDlg& Ready(bool rgbWindow) {
    return OpenIdleWindow([rgbWindow](KeyboardDlg& dlg) { dlg.m_isRgb = rgbWindow ? 1 : 0; });
  }
  KeyboardDlg& Ready() { return Ready(rgb()); }
  platform::hid::sim::SimKeyboard& Keyboard() { return sim_.keyboard(0); }
  static void StoreMode(KeyboardDlg& dlg, int mode, std::array<uint8_t, 8> block) {
    ASSERT_TRUE(dlg.m_configDB.UpdateLightData(1, mode, block.data()));
  }
  static int Led(KeyboardDlg& dlg, int code) { return dlg.GetLayoutMaps()->ledIndex.at(code); }
};

// Cases without two variants.
class LightingOnceTest : public LightingTest {};

TEST_F(LightingOnceTest, TheLightModeGoesOutFromItsStoredRowAndNothingWithoutAMode) {
  KeyboardDlg& dlg = Ready(true);
  StoreMode(dlg, 6, {0, 2, 0x11, 0x22, 0x33, 3, 9, 4});
  const int savesBefore = Keyboard().received().saves;  // the opening sent the selected mode
  dlg.m_curLightMode = 6;
  dlg.PostTask(TaskSendLightMode);
  dlg.Run();
  EXPECT_EQ(Keyboard().received().lightMode,
            Record({{0, 6}, {1, 0x11}, {2, 0x22}, {3, 0x33}, {8, 2}, {9, 9}, {10, 4}, {11, 3}}));
  EXPECT_EQ(Keyboard().received().saves - savesBefore, 1);

  dlg.m_curLightMode = 0;  // no stored row for mode 0
  dlg.PostTask(TaskSendLightMode);
  dlg.Run();
  EXPECT_EQ(Keyboard().received().lightMode, Record({}));

  sim_.clearLog();
  dlg.m_curLightMode = -1;  // none selected: nothing may be saved on the keyboard
  dlg.PostTask(TaskSendLightMode);
  dlg.Run();
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_EQ(Keyboard().received().saves - savesBefore, 2);
}

TEST_P(LightingTest, TheCurrentCustomModesColoursThenItsSettings) {
  KeyboardDlg& dlg = Ready();
  const int esc = 0x29;
  const int f1 = 0x3A;
  const int other = dlg.m_configDB.NewCustomLightMode(1, L"other");
  const int mine = dlg.m_configDB.NewCustomLightMode(1, L"mine");
  dlg.m_configDB.SetCustomModeRgbList({CustomRgbRow{0, other, f1, 0x445566, 1, 0, 0},
                                       CustomRgbRow{0, mine, esc, 0x7F332211, 1, 0, 0},  // top bits unused
                                       CustomRgbRow{0, mine, f1, 0, 1, 0, 0},
                                       CustomRgbRow{0, mine, kUnmappedUsage, 0xFFFFFF, 1, 0, 0}});
  StoreMode(dlg, LIGHT_MODE_CUSTOM, {0, 1, 0xA0, 0xB0, 0xC0, 2, 12, 13});
  dlg.m_curCustomLightMode = mine;
  const int savesBefore = Keyboard().received().saves;
  dlg.PostTask(TaskSendCustomModeColors);
  dlg.Run();

  const auto received = Keyboard().received();
  std::vector<uint8_t> block(rgb() ? 576 : 192, 0);
  const size_t escLed = static_cast<size_t>(Led(dlg, esc));
  const size_t f1Led = static_cast<size_t>(Led(dlg, f1));
  if (rgb()) {
    block[4 * escLed] = static_cast<uint8_t>(escLed);
    block[4 * escLed + 1] = 0x11;
    block[4 * escLed + 2] = 0x22;
    block[4 * escLed + 3] = 0x33;
    block[4 * f1Led] = static_cast<uint8_t>(f1Led);  // a zero colour still names its LED
  } else {
    block[escLed] = kSingleLitFromLayout;  // F1's zero colour stays 0
  }
  block[block.size() - 2] = 0xAA;
  block[block.size() - 1] = 0x55;
  EXPECT_EQ(received.customColors, block);
  EXPECT_EQ(received.customColorPackets, rgb() ? 9 : 3);
  EXPECT_EQ(received.customSettings,
            Record({{0, 0x80}, {1, 0xA0}, {2, 0xB0}, {3, 0xC0}, {8, 1}, {9, 5}, {10, 5}, {11, 2}}));
  EXPECT_EQ(received.saves - savesBefore, 2);
  EXPECT_EQ(TransactionCommands(), (std::vector<uint8_t>{CMD_CUSTOM_COLORS, CMD_LIGHT_MODE}));
}

TEST_P(LightingTest, TheLightingPageReadsTheLedColoursBackIntoItsKeys) {
  // Esc is drawn but its LED lies past every reply: it keeps its colour.
  std::string layout = ReadFile(std::string(KELVANE_SOURCE_DIR) + "data/KeyboardLayout.xml");
  const std::string esc = "code=\"29\" key_index=\"1\" light_index=\"1\"";
  ASSERT_NE(layout.find(esc), std::string::npos);
  layout.replace(layout.find(esc), esc.size(), "code=\"29\" key_index=\"1\" light_index=\"600\"");
  app_.Write("KeyboardLayout.xml", layout);
  KeyboardDlg& dlg = Ready();
  KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kLightingView);
  ASSERT_NE(view, nullptr);
  ASSERT_FALSE(view->Items().empty());
  ASSERT_EQ(view->Items()[0].code, 0x29);
  constexpr uint32_t kKept = 0x00ABCDEF;
  view->ResetAllItemsColor(0);  // the loaded mode coloured the keys
  view->SetItemLight(0, kKept, 1, 0);
  std::vector<std::array<uint8_t, 3>> colors;
  std::vector<uint8_t> levels;
  for (int i = 0; i < 192; ++i) {
    colors.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(2 * i), static_cast<uint8_t>(3 * i)});
    levels.push_back(static_cast<uint8_t>(255 - i));
  }
  if (rgb())
    Keyboard().setRgbColors(colors);
  else
    Keyboard().setSingleColorLevels(levels, false);
  dlg.m_curTab = TabLighting;

  // Switched off or held off by the page: not a single report.
  dlg.m_readColorsEnabled = 0;
  dlg.Run();
  dlg.m_readColorsEnabled = 1;
  dlg.m_colorPollSuspended = 1;
  dlg.Run();
  EXPECT_TRUE(sim_.log().empty());
  dlg.m_colorPollSuspended = 0;

  // A failed query changes no key and sends no end.
  Keyboard().queueStatus(0);
  dlg.Run();
  EXPECT_EQ(dlg.m_colorPollBusy.load(), 0);
  EXPECT_EQ(view->Redraws(), 0);
  for (const KeyItem& item : view->Items()) EXPECT_EQ(item.color, item.code == 0x29 ? kKept : 0u);
  EXPECT_EQ(Sent().size(), 1u);

  sim_.clearLog();
  dlg.Run();
  EXPECT_EQ(Sent().size(), 2u);
  EXPECT_EQ(Sent().back()[kPacketCommandOffset], CMD_END);
  EXPECT_EQ(view->Redraws(), 1);
  EXPECT_EQ(dlg.m_colorPollBusy.load(), 0);
  EXPECT_EQ(view->Items()[0].color, kKept);
  for (const KeyItem& item : view->Items()) {
    if (item.code == 0x29) continue;
    const size_t i = static_cast<size_t>(Led(dlg, item.code));
    uint32_t expected = 0;
    if (rgb()) {
      expected = uint32_t{colors[i][0]} | uint32_t{colors[i][1]} << 8 | uint32_t{colors[i][2]} << 16;
    } else {
      const uint32_t grey = uint32_t{levels[i]} * 255 / 256;
      expected = grey | grey << 8 | grey << 16;
    }
    EXPECT_EQ(item.color, expected) << item.code;
  }
}

TEST_P(LightingTest, TheEditorStreamsOneLivePreviewFramePerIdlePass) {
  // The editor exists on RGB keyboards; the single-colour variant is chosen by the flag alone.
  KeyboardDlg& dlg = Ready(true);
  dlg.m_isRgb = rgb() ? 1 : 0;
  CustomLightMode* editor = dlg.GetCustomLightView(kb_ids::kCustomLightView);
  ASSERT_NE(editor, nullptr);
  const std::vector<CustomLightItem> items = editor->GetKeyItems();
  ASSERT_GE(items.size(), 3u);
  editor->SetSpeed(0);
  editor->SetKeyInfo(items[0].code, 0, 0xFFFFFF, 0, 0);
  editor->SetKeyInfo(items[1].code, 7, 0x3264C8, 0, 0);  // red 200, green 100, blue 50
  editor->SetKeyInfo(items[2].code, 1, 0x030201, 0, 0);
  clock_.advance(16384);
  dlg.m_curTab = TabCustomLight;
  dlg.Run();
  dlg.Run();
  const auto received = Keyboard().received();
  EXPECT_EQ(received.liveFrames, 2);

  // The frame sent is the one the view shows after the pass.
  const std::vector<CustomLightItem> shown = editor->GetKeyItems();
  EXPECT_EQ(shown[0].frame.state, 0);
  EXPECT_EQ(shown[1].frame.color, 0x3264C8u);
  EXPECT_EQ(shown[1].frame.state, 7);
  EXPECT_EQ(shown[2].frame, (light_effect::Frame{0x030201, 1, 255}));
  std::vector<uint8_t> block(rgb() ? 512 : 192, 0);
  for (size_t k = 0; k < shown.size() && k < (rgb() ? 128u : 192u); ++k) {
    const auto led = static_cast<uint8_t>(Led(dlg, shown[k].code));
    const light_effect::Frame& f = shown[k].frame;
    if (!rgb()) {
      block[k] = f.state == 0 ? led : static_cast<uint8_t>(f.level);
      continue;
    }
    block[4 * k] = led;
    if (f.state == 0) continue;
    const int scale = f.state == 7 ? f.level : 256;
    for (int c = 0; c < 3; ++c) block[4 * k + 1 + c] = static_cast<uint8_t>(((f.color >> (8 * c)) & 0xFF) * scale / 256);
  }
  EXPECT_EQ(received.liveColors, block);

  // A refused command ends the frame at once.
  sim_.clearLog();
  Keyboard().queueStatus(0);
  dlg.Run();
  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Sent()[0][kPacketCommandOffset], CMD_LIVE_COLORS);
  EXPECT_EQ(Keyboard().received().liveFrames, 2);
}

TEST_F(LightingOnceTest, ASingleColourKeyboardHasNoEditorToPreview) {
  KeyboardDlg& dlg = Ready(false);
  EXPECT_EQ(dlg.GetCustomLightView(kb_ids::kCustomLightView), nullptr);
  dlg.m_curTab = TabCustomLight;
  dlg.Run();
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(LightingOnceTest, WithoutAKeyboardNothingIsSent) {
  KeyboardDlg& dlg = Ready(true);
  dlg.m_curLightMode = 3;
  dlg.SetDeviceIndex(-1);
  dlg.SendLightMode(1);
  dlg.SendCustomModeSettings(1);
  dlg.SendCustomModeColors(1);
  dlg.ReadDeviceLedColors();
  dlg.SendCustomLightPreview();
  EXPECT_FALSE(dlg.DownloadLcdAnimation());
  EXPECT_EQ(dlg.DownloadMacros().status, MacroDownloadStatus::kNoKeyboard);
  EXPECT_EQ(dlg.m_colorPollBusy.load(), 0);
  EXPECT_EQ(dlg.GetKeyView(kb_ids::kLightingView)->Redraws(), 0);
  EXPECT_TRUE(sim_.log().empty());
}

INSTANTIATE_TEST_SUITE_P(Variants, LightingTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Rgb" : "SingleColour";
                         });

}  // namespace
}  // namespace kb_test
