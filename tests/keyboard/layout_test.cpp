// The window's glue to the data files: capabilities from device.xml, and the key layout given to
// the key views and published as the index maps.
#include "keyboard_fixture.h"

namespace kb_test {
namespace {

const int kAlwaysViews[] = {kb_ids::kKeyAssignView, kb_ids::kLightingView};
const int kAllViews[] = {kb_ids::kKeyAssignView, kb_ids::kLightingView, kb_ids::kMusicView};
// The custom light views: the settings page's and the two editors'.
const int kLightViews[] = {kb_ids::kSettingsView, kb_ids::kCustomLightView, kb_ids::kCustomLightModeView};

// The settings view runs the whole-keyboard sweep: the first and the last key differ in hue at
// any moment; a steady effect gives every key the same colour.
bool ShowsSweep(CustomLightMode& view) {
  view.UpdateLightEffect(0);
  const std::vector<CustomLightItem> items = view.GetKeyItems();
  return items.size() > 1 && items.front().frame.state == 1 && items.front().frame.color != items.back().frame.color;
}

std::string LayoutFile(const std::string& keyItems, const std::string& model = "M1",
                       const std::string& size = "width=\"400\" height=\"100\"") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KeyboardLayout>\n  <" + model + " " + size +
         " type=\"3\" image=\"kb.png\">\n" + keyItems + "  </" + model + ">\n</KeyboardLayout>\n";
}

std::string Key(const std::string& code, int keyIndex, int lightIndex, int left, const std::string& name) {
  return "<key code=\"" + code + "\" key_index=\"" + std::to_string(keyIndex) + "\" light_index=\"" +
         std::to_string(lightIndex) + "\" fnlayer_disable=\"0\" name=\"" + name +
         "\" desc=\"d\" rect_left=\"" + std::to_string(left) +
         "\" rect_top=\"5\" rect_width=\"30\" rect_height=\"20\" icon=\"\"/>\n";
}

TEST_F(KeyboardTest, DeviceXmlSetsTheCapabilitiesOnlyWhenValid) {
  struct Case {
    const char* name;
    std::optional<std::string> content;
    bool valid;
  };
  const Case cases[] = {
      {"missing", std::nullopt, false},
      {"malformed", std::string("<device.config><device></device.config>"), false},
      {"wrong case", std::string("<?xml version=\"1.0\"?><Device.Config/>"), false},
      {"valid", std::string("<?xml version=\"1.0\"?><device.config/>"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(app_.path() + "device.xml");
    if (c.content) app_.Write("device.xml", *c.content);
    for (int rgb : {1, 0}) {
      KeyboardDlg dlg(L"Varnel V108 RGB", 0, kIdentify);
      dlg.m_isRgb = static_cast<std::uint8_t>(rgb);
      dlg.LoadDeviceConfig();
      EXPECT_EQ(dlg.m_packetDelay, c.valid ? 35 : 10);
      EXPECT_EQ(dlg.m_lightOption, c.valid ? 1 : 0);
      EXPECT_EQ(dlg.m_keyLayoutOption, c.valid ? 1 : 0);
      EXPECT_EQ(dlg.m_firmwareVersion, c.valid ? L"0100" : L"");
      EXPECT_EQ(dlg.m_updaterFile, c.valid ? L"kelvane-fwupdate" : L"");
      EXPECT_EQ(dlg.m_canUpdateFirmware, 0);
      EXPECT_EQ(dlg.m_isRgb, rgb) << "never taken from the file";
      EXPECT_EQ(dlg.m_hasCustomLight, rgb) << "a single-colour keyboard has no custom light effect";
      EXPECT_EQ(dlg.m_hasMusic, 1);
    }
    if (!c.valid) {
      EXPECT_TRUE(Logged("device.xml"));
    }
  }
}

TEST_F(KeyboardTest, TheShippedLayoutReachesEveryBuiltViewAndTheMaps) {
  KeyboardDlg& dlg = OpenWindow();
  for (int id : kAllViews) {
    SCOPED_TRACE(id);
    KeyboardCtrl* view = dlg.GetKeyView(id);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Image(), L"keyboard/v108.png");
    EXPECT_EQ(view->Width(), 834);
    EXPECT_EQ(view->Height(), 258);
    EXPECT_EQ(view->Type(), 2);
    const std::vector<KeyItem> items = view->Items();
    ASSERT_EQ(items.size(), 108u);
    const KeyItem& esc = items.front();
    EXPECT_EQ(esc.code, 0x29);
    EXPECT_EQ(esc.rect, (RECT{12, 12, 44, 44})) << "right and bottom from width and height";
    EXPECT_EQ(view->ColorEffect(), KeyboardCtrl::Effect::kNone);
  }
  for (int id : kLightViews) {
    SCOPED_TRACE(id);
    CustomLightMode* view = dlg.GetCustomLightView(id);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Image(), L"keyboard/v108.png");
    // The editors are of keyboard type 2, the effect editor's taken from the layout.
    EXPECT_EQ(view->Type(), 2);
    const std::vector<CustomLightItem> items = view->GetKeyItems();
    ASSERT_EQ(items.size(), 108u);
    EXPECT_EQ(items.front().code, 0x29);
    EXPECT_EQ(items.front().rect, (RECT{12, 12, 44, 44}));
    EXPECT_EQ(ShowsSweep(*view), id == kb_ids::kSettingsView);
  }
  std::shared_ptr<const KeyLayoutMaps> maps = dlg.GetLayoutMaps();
  EXPECT_EQ(maps->keyIndex.size(), 108u);
  EXPECT_EQ(maps->ledIndex.size(), 108u);
  EXPECT_EQ(maps->fnLayerDisabled, std::set<int>{0xAF});
  EXPECT_EQ(maps->keyIndex.at(0x29), 1);
}

TEST_F(KeyboardTest, AClickOnAKeyOfTheLaidOutKeyAssignmentViewMakesItCurrent) {
  KeyboardDlg& dlg = OpenWindow();
  KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kKeyAssignView);
  ASSERT_NE(view, nullptr);
  const std::optional<POINT> esc = view->KeyPoint(0x29);
  ASSERT_TRUE(esc.has_value());
  ASSERT_TRUE(zuvi_testing::Driver::ClickAt(dlg, kb_ids::kKeyAssignView, *esc));
  EXPECT_EQ(view->GetCurrentKey(), 0x29);
  EXPECT_EQ(dlg.GetKeyView(kb_ids::kLightingView)->GetCurrentKey(), -1) << "each view has its own";
}

TEST_F(KeyboardTest, OptionalViewsAreAbsentAndASingleColourKeyboardGetsPlainWhite) {
  std::filesystem::remove(app_.path() + "device.xml");  // the window keeps what it was given
  KeyboardDlg& dlg = MakeWindow();
  dlg.m_isRgb = 0;
  dlg.m_hasMusic = 0;
  dlg.m_hasCustomLightMode = 0;
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  EXPECT_EQ(dlg.GetCustomLightView(kb_ids::kCustomLightView), nullptr);
  EXPECT_EQ(dlg.GetKeyView(kb_ids::kMusicView), nullptr);
  EXPECT_EQ(dlg.GetCustomLightView(kb_ids::kCustomLightModeView), nullptr);
  for (int id : kAlwaysViews) ASSERT_EQ(dlg.GetKeyView(id)->Items().size(), 108u) << id;
  CustomLightMode* settings = dlg.GetCustomLightView(kb_ids::kSettingsView);
  ASSERT_EQ(settings->GetKeyItems().size(), 108u);
  settings->UpdateLightEffect(12345);
  for (const CustomLightItem& item : settings->GetKeyItems())
    EXPECT_EQ(item.frame, (light_effect::Frame{0xFFFFFF, 1, 255})) << item.code;
  EXPECT_EQ(dlg.GetLayoutMaps()->ledIndex.size(), 108u) << "the shipped LED indexes suit both kinds";
}

TEST_F(KeyboardTest, ABrokenLayoutLeavesEmptyViewsAndMapsAndLosesNoEarlierReader) {
  KeyboardDlg& dlg = OpenWindow();
  std::shared_ptr<const KeyLayoutMaps> before = dlg.GetLayoutMaps();
  ASSERT_EQ(before->keyIndex.size(), 108u);

  // A model without key items: pictures and sizes, no keys, and the settings view's effect.
  app_.Write("KeyboardLayout.xml", LayoutFile(""));
  dlg.LoadKeyboardLayout();
  for (int id : kAllViews) {
    EXPECT_EQ(dlg.GetKeyView(id)->Items().size(), 0u) << id;
    EXPECT_EQ(dlg.GetKeyView(id)->Image(), L"kb.png") << id;
  }
  for (int id : kLightViews) {
    EXPECT_EQ(dlg.GetCustomLightView(id)->GetKeyItems().size(), 0u) << id;
    EXPECT_EQ(dlg.GetCustomLightView(id)->Image(), L"kb.png") << id;
  }
  EXPECT_TRUE(dlg.GetLayoutMaps()->keyIndex.empty());
  EXPECT_EQ(dlg.m_layoutName, L"M1");
  EXPECT_EQ(before->keyIndex.size(), 108u) << "a reader's copy stays whole";

  // No file: every view cleared, no effect given, the maps empty.
  KeyboardDlg& fresh = OpenWindow();
  std::filesystem::remove(app_.path() + "KeyboardLayout.xml");
  fresh.LoadKeyboardLayout();
  for (int id : kAllViews) EXPECT_EQ(fresh.GetKeyView(id)->Items().size(), 0u) << id;
  for (int id : kLightViews) EXPECT_EQ(fresh.GetCustomLightView(id)->GetKeyItems().size(), 0u) << id;
  EXPECT_TRUE(fresh.GetLayoutMaps()->keyIndex.empty());
  EXPECT_TRUE(Logged("KeyboardLayout.xml"));

  dlg_.reset();
  MakeWindow();
  ASSERT_TRUE(dlg_->Open(main_.GetSafeHwnd()));
  EXPECT_FALSE(ShowsSweep(*dlg_->GetCustomLightView(kb_ids::kSettingsView)));
}

TEST_F(KeyboardTest, OutOfRangeIndexesAreDrawnButNotMapped) {
  app_.Write("KeyboardLayout.xml",
             LayoutFile("    <KeyItems>\n" + Key("04", 5, 5, 0, "A") + Key("05", 195, 6, 40, "B") +
                        Key("06", 7, 144, 80, "C") + Key("07", 8, 0, 120, "D") + "    </KeyItems>\n"));
  KeyboardDlg& dlg = OpenWindow();
  EXPECT_EQ(dlg.GetKeyView(kb_ids::kKeyAssignView)->Items().size(), 4u);
  EXPECT_EQ(dlg.GetLayoutMaps()->keyIndex, (std::map<int, int>{{4, 5}}));
  EXPECT_TRUE(Logged("KeyboardLayout.xml"));
  // A single-colour keyboard has more LEDs: index 144 is mapped there.
  dlg.m_isRgb = 0;
  dlg.LoadKeyboardLayout();
  EXPECT_EQ(dlg.GetLayoutMaps()->ledIndex, (std::map<int, int>{{4, 5}, {6, 144}}));
}

TEST_F(KeyboardTest, ReloadingTheKeysTouchesOnlyTheKeyAssignmentView) {
  KeyboardDlg& dlg = OpenWindow();
  app_.Write("KeyboardLayout.xml",
             LayoutFile("    <KeyItems>\n" + Key("04", 5, 5, 0, "A") + "    </KeyItems>\n", "M2",
                        "width=\"500\" height=\"120\""));
  dlg.LoadKeyboardLayoutKeys();
  KeyboardCtrl* keys = dlg.GetKeyView(kb_ids::kKeyAssignView);
  ASSERT_EQ(keys->Items().size(), 1u);
  EXPECT_EQ(keys->Items()[0].name, L"A");
  EXPECT_EQ(keys->Width(), 500);
  EXPECT_EQ(keys->Image(), L"keyboard/v108.png") << "the picture stays";
  EXPECT_EQ(dlg.GetKeyView(kb_ids::kLightingView)->Items().size(), 108u);
  EXPECT_EQ(dlg.GetLayoutMaps()->keyIndex.size(), 108u);
  EXPECT_EQ(dlg.m_layoutName, L"V108");
}

}  // namespace
}  // namespace kb_test
