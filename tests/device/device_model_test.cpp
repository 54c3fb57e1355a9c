// The device list and key layout readers on files written by the tests and on the corpus of broken
// files: what a window gets from a good file, and that a bad one changes nothing it already had.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/strings.h"
#include "device/DeviceModel.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

const std::string kCorpus = std::string(KELVANE_TEST_DATA_DIR) + "broken/";

std::wstring Wide(const std::string& path) { return Utf8ToWide(path); }

DeviceCapabilities SupportedKeyboard() {
  DeviceCapabilities caps;
  caps.lightOption = 1;
  caps.keyLayoutOption = 1;
  caps.firmwareVersion = L"0100";
  caps.updaterFile = L"kelvane-fwupdate";
  caps.packetDelay = 35;
  return caps;
}

// A layout file around `keys` (the content of KeyItems).
std::string LayoutWith(const std::string& keys) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KeyboardLayout>\n"
         "<V108 width=\"834\" height=\"258\" type=\"2\" image=\"keyboard/v108.png\">\n<KeyItems>\n" +
         keys + "</KeyItems>\n</V108>\n</KeyboardLayout>\n";
}

std::string Key(const std::string& code, int keyIndex, int lightIndex, const std::string& extra = "") {
  return "<key code=\"" + code + "\" key_index=\"" + std::to_string(keyIndex) + "\" light_index=\"" +
         std::to_string(lightIndex) + "\" " + extra + "/>\n";
}

class LayoutTest : public ::testing::Test {
 protected:
  DataFileStatus Read(const std::string& text, bool isRgb = true) {
    layout_ = KeyboardLayout();
    return ReadKeyboardLayout(Wide(dir_.Write("KeyboardLayout.xml", text)), isRgb, layout_);
  }
  TempDir dir_;
  KeyboardLayout layout_;
};

// ---- device.xml

TEST(DeviceCapabilitiesTest, OnlyAReadableDeviceConfigRootSwitchesTheKeyboardOn) {
  TempDir dir;
  DeviceCapabilities caps;
  const std::string valid =
      dir.Write("device.xml", "<?xml version=\"1.0\"?>\n<device.config>\n</device.config>\n");
  EXPECT_EQ(LoadDeviceCapabilities(Wide(valid), caps), DataFileStatus::kOk);
  EXPECT_EQ(caps, SupportedKeyboard());

  // Nothing under the root is needed or read: an empty root element is as good.
  caps = DeviceCapabilities();
  EXPECT_EQ(LoadDeviceCapabilities(Wide(dir.Write("empty-root.xml", "<device.config/>")), caps),
            DataFileStatus::kOk);
  EXPECT_EQ(caps, SupportedKeyboard());

  struct Case {
    std::string path;
    DataFileStatus status;
  };
  const std::vector<Case> broken = {
      {dir.path() + "missing.xml", DataFileStatus::kUnreadable},
      {dir.path(), DataFileStatus::kUnreadable},  // a folder
      {kCorpus + "device-list/empty.xml", DataFileStatus::kMalformed},
      {kCorpus + "device-list/truncated.xml", DataFileStatus::kMalformed},
      {kCorpus + "device-list/two-roots.xml", DataFileStatus::kMalformed},
      {kCorpus + "device-list/wrong-case-root.xml", DataFileStatus::kNoRoot},
      {kCorpus + "device-list/layout-instead.xml", DataFileStatus::kNoRoot},
  };
  for (const Case& c : broken) {
    SCOPED_TRACE(c.path);
    DeviceCapabilities unchanged;
    unchanged.packetDelay = 17;  // a value no path of the reader writes
    unchanged.firmwareVersion = L"kept";
    DeviceCapabilities before = unchanged;
    EXPECT_EQ(LoadDeviceCapabilities(Wide(c.path), unchanged), c.status);
    EXPECT_EQ(unchanged, before);
  }
}

TEST(DeviceCapabilitiesTest, SingleColourKeyboardNeverHasCustomLightEffects) {
  TempDir dir;
  const std::string valid = dir.Write("device.xml", "<device.config/>");
  for (const std::string& path : {valid, dir.path() + "missing.xml"}) {
    SCOPED_TRACE(path);
    DeviceCapabilities caps;
    caps.isRgb = 0;
    LoadDeviceCapabilities(Wide(path), caps);
    EXPECT_EQ(caps.hasCustomLight, 0);
    EXPECT_EQ(caps.isRgb, 0);
    EXPECT_EQ(caps.hasCustomLightMode, 1);  // the other pages stay
  }
}

// ---- KeyboardLayout.xml

TEST_F(LayoutTest, ReadsModelKeysAndMapsAsWritten) {
  const std::string keys =
      Key("E0", 91, 91,
          "fnlayer_disable=\"0\" name=\"Ctrl\" desc=\"Left Ctrl\" rect_left=\"12\" rect_top=\"210\" "
          "rect_width=\"41\" rect_height=\"32\" icon=\"ctrl.png\"") +
      Key("29", 1, 1, "name=\"7 &amp; &lt;&quot;\" desc=\"caf&#233;\"") +  // hexadecimal 29 is 41
      Key("af", 96, 97, "fnlayer_disable=\"1\"") +                         // lower case is hexadecimal too
      Key("3A", 2, 2, "fnlayer_disable=\"true\"") +                        // only the text 1 bars a key
      Key("3B", 3, 3, "fnlayer_disable=\" 1\"") +
      Key("3C", 4, 0, "fnlayer_disable=\"1\"") +                   // drawn, barred, not mapped
      "<note code=\"3D\" key_index=\"5\" light_index=\"5\"/>\n" +  // not a key
      "<key key_index=\"6\" light_index=\"6\" rect_left=\"+7abc\" rect_width=\" 3\"/>\n";  // no code: 0
  ASSERT_EQ(Read(LayoutWith(keys)), DataFileStatus::kOk);

  EXPECT_EQ(layout_.modelName, L"V108");
  EXPECT_EQ(layout_.width, 834);
  EXPECT_EQ(layout_.height, 258);
  EXPECT_EQ(layout_.type, 2);
  EXPECT_EQ(layout_.image, L"keyboard/v108.png");
  EXPECT_TRUE(layout_.hasKeyItems);

  ASSERT_EQ(layout_.keys.size(), 7u);
  const LayoutKey& ctrl = layout_.keys[0];
  EXPECT_EQ(ctrl.code, 224);
  EXPECT_EQ(ctrl.name, L"Ctrl");
  EXPECT_EQ(ctrl.desc, L"Left Ctrl");
  EXPECT_EQ(ctrl.icon, L"ctrl.png");
  EXPECT_EQ(std::vector<int>({ctrl.left, ctrl.top, ctrl.right, ctrl.bottom}),
            std::vector<int>({12, 210, 53, 242}));
  EXPECT_EQ(layout_.keys[1].code, 41);
  EXPECT_EQ(layout_.keys[1].name, L"7 & <\"");
  EXPECT_EQ(layout_.keys[1].desc, L"caf\u00e9");
  EXPECT_EQ(layout_.keys[2].code, 175);
  EXPECT_EQ(layout_.keys[6].code, 0);
  EXPECT_EQ(layout_.keys[6].left, 7);
  EXPECT_EQ(layout_.keys[6].right, 10);

  const std::map<int, int> keyIndex = {{224, 91}, {41, 1}, {175, 96}, {0x3A, 2}, {0x3B, 3}, {0, 6}};
  const std::map<int, int> ledIndex = {{224, 91}, {41, 1}, {175, 97}, {0x3A, 2}, {0x3B, 3}, {0, 6}};
  EXPECT_EQ(layout_.maps.keyIndex, keyIndex);
  EXPECT_EQ(layout_.maps.ledIndex, ledIndex);
  EXPECT_EQ(layout_.maps.fnLayerDisabled, (std::set<int>{175, 0x3C}));
}

TEST_F(LayoutTest, OnlyTheFirstModelCountsAndKeyItemsIsFoundByName) {
  const std::string text =
      "<KeyboardLayout><!-- comment --><V108 width=\"834\" height=\"258\" type=\"2\" image=\"a.png\">"
      "<Picture/><KeyItems>" +
      Key("04", 56, 56) + "</KeyItems><KeyItems>" + Key("05", 78, 78) +
      "</KeyItems></V108>"
      "<V200 width=\"1\" height=\"1\" type=\"1\" image=\"b.png\"><KeyItems>" +
      Key("06", 76, 76) + "</KeyItems></V200></KeyboardLayout>";
  ASSERT_EQ(Read(text), DataFileStatus::kOk);
  EXPECT_EQ(layout_.modelName, L"V108");
  EXPECT_EQ(layout_.image, L"a.png");
  ASSERT_EQ(layout_.keys.size(), 1u);
  EXPECT_EQ(layout_.keys[0].code, 4);
  EXPECT_EQ(layout_.maps.keyIndex, (std::map<int, int>{{4, 56}}));

  // A model without KeyItems still gives its picture and size; it has no keys and no maps.
  ASSERT_EQ(Read("<KeyboardLayout><K1 width=\"100\" height=\"50\" type=\"3\" image=\"k.png\">"
                 "<Keys>" +
                 Key("04", 56, 56) + "</Keys></K1></KeyboardLayout>"),
            DataFileStatus::kOk);
  EXPECT_EQ(layout_.modelName, L"K1");
  EXPECT_EQ(layout_.width, 100);
  EXPECT_EQ(layout_.type, 3);
  EXPECT_FALSE(layout_.hasKeyItems);
  EXPECT_TRUE(layout_.keys.empty());
  EXPECT_TRUE(layout_.maps.keyIndex.empty());
  EXPECT_EQ(layout_.warnings, std::vector<std::string>{"no KeyItems: the key views stay empty"});
  ASSERT_EQ(Read("<KeyboardLayout><K1 width=\"100\"/></KeyboardLayout>"), DataFileStatus::kOk);
  EXPECT_FALSE(layout_.hasKeyItems);
  EXPECT_EQ(layout_.warnings.size(), 1u) << "an empty layout is never taken without a word";
  ASSERT_EQ(Read("<KeyboardLayout><K1 width=\"100\"><KeyItems/></K1></KeyboardLayout>"), DataFileStatus::kOk);
  EXPECT_TRUE(layout_.hasKeyItems);
  EXPECT_EQ(layout_.warnings, std::vector<std::string>{"no usable key item: the key views stay empty"});
}

TEST_F(LayoutTest, OnlyKeysWithinTheIndexTablesAreMappedAndTheLaterCodeWins) {
  const std::string keys = Key("04", 194, 143) + Key("05", 195, 1) + Key("06", 1, 144) + Key("07", 2, 189) +
                           Key("08", 3, 190) + Key("09", -1, 4) + Key("0A", 5, -1) + Key("0B", 0, 6);
  ASSERT_EQ(Read(LayoutWith(keys), true), DataFileStatus::kOk);
  EXPECT_EQ(layout_.keys.size(), 8u);  // all drawn
  EXPECT_EQ(layout_.maps.keyIndex, (std::map<int, int>{{4, 194}}));
  EXPECT_EQ(layout_.maps.ledIndex, (std::map<int, int>{{4, 143}}));
  EXPECT_EQ(layout_.warnings.size(), 7u);

  // A single-colour keyboard has room for LED indexes up to 189.
  ASSERT_EQ(Read(LayoutWith(keys), false), DataFileStatus::kOk);
  EXPECT_EQ(layout_.maps.keyIndex, (std::map<int, int>{{4, 194}, {6, 1}, {7, 2}}));
  EXPECT_EQ(layout_.maps.ledIndex, (std::map<int, int>{{4, 143}, {6, 144}, {7, 189}}));

  // A repeated code: both keys are drawn, the later one is mapped unless it is out of range.
  ASSERT_EQ(Read(LayoutWith(Key("28", 85, 67) + Key("28", 100, 120) + Key("29", 1, 1) + Key("29", 0, 0))),
            DataFileStatus::kOk);
  EXPECT_EQ(layout_.keys.size(), 4u);
  EXPECT_EQ(layout_.maps.keyIndex, (std::map<int, int>{{0x28, 100}, {0x29, 1}}));
  EXPECT_EQ(layout_.maps.ledIndex, (std::map<int, int>{{0x28, 120}, {0x29, 1}}));
  EXPECT_EQ(layout_.warnings.size(), 3u);  // two repeated codes, one unmapped key
}

TEST_F(LayoutTest, Utf16FileReadsLikeItsUtf8Twin) {
  std::string utf8 =
      LayoutWith(Key("E0", 91, 91, "name=\"Str\u00f6m &amp; \u4e2d\" rect_left=\"12\" rect_width=\"40\"") +
                 Key("AF", 96, 97, "fnlayer_disable=\"1\""));
  ASSERT_EQ(Read(utf8), DataFileStatus::kOk);
  const KeyboardLayout fromUtf8 = layout_;

  std::string declared = utf8;
  declared.replace(declared.find("UTF-8"), 5, "UTF-16");
  std::string utf16 = "\xFF\xFE";  // little-endian mark
  for (wchar_t c : Utf8ToWide(declared)) {
    ASSERT_LT(static_cast<unsigned>(c), 0x10000u);
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  ASSERT_EQ(Read(utf16), DataFileStatus::kOk);
  EXPECT_EQ(layout_.keys, fromUtf8.keys);
  EXPECT_EQ(layout_.maps, fromUtf8.maps);
  EXPECT_EQ(layout_.keys[0].name, L"Str\u00f6m & \u4e2d");
}

TEST_F(LayoutTest, BrokenFilesLeaveTheCallersLayoutAsItWas) {
  struct Case {
    std::string path;
    DataFileStatus status;
  };
  const std::vector<Case> cases = {
      {dir_.path() + "missing.xml", DataFileStatus::kUnreadable},
      {dir_.path(), DataFileStatus::kUnreadable},
      {kCorpus + "keyboard-layout/empty.xml", DataFileStatus::kMalformed},
      {kCorpus + "keyboard-layout/truncated.xml", DataFileStatus::kMalformed},
      {kCorpus + "keyboard-layout/unended-root.xml", DataFileStatus::kMalformed},
      {kCorpus + "keyboard-layout/wrong-case-root.xml", DataFileStatus::kNoRoot},
      {kCorpus + "keyboard-layout/device-list-instead.xml", DataFileStatus::kNoRoot},
      {kCorpus + "keyboard-layout/no-model.xml", DataFileStatus::kNoModel},
      {kCorpus + "xml/binary.xml", DataFileStatus::kMalformed},
  };
  ASSERT_EQ(Read(LayoutWith(Key("04", 56, 56))), DataFileStatus::kOk);
  const KeyboardLayout good = layout_;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    KeyboardLayout held = good;
    EXPECT_EQ(ReadKeyboardLayout(Wide(c.path), true, held), c.status);
    EXPECT_EQ(held.modelName, good.modelName);
    EXPECT_EQ(held.keys, good.keys);
    EXPECT_EQ(held.maps, good.maps);
  }
}

TEST_F(LayoutTest, BadNumbersReadAsTheirLeadingDigitsAndNeverOverflow) {
  KeyboardLayout layout;
  ASSERT_EQ(ReadKeyboardLayout(Wide(kCorpus + "keyboard-layout/bad-numbers.xml"), true, layout),
            DataFileStatus::kOk);
  EXPECT_EQ(layout.width, 0);
  EXPECT_EQ(layout.height, 0) << "a negative picture height is refused";
  EXPECT_EQ(layout.type, 2);
  ASSERT_EQ(layout.keys.size(), 3u) << "the key whose rectangle leaves the window is refused";

  const LayoutKey& words = layout.keys[0];
  EXPECT_EQ(std::vector<int>({words.code, words.keyIndex, words.right, words.bottom}),
            std::vector<int>({0, 0, 0, 32}));
  const LayoutKey& signs = layout.keys[1];
  EXPECT_EQ(
      std::vector<int>({signs.code, signs.lightIndex, signs.left, signs.top, signs.right, signs.bottom}),
      std::vector<int>({-41, 1, 12, 12, 44, 12}));
  EXPECT_EQ(layout.keys[2].code, 41);  // base 16 takes an 0x prefix
  EXPECT_EQ(layout.maps.keyIndex, (std::map<int, int>{{41, 1}}));
  EXPECT_EQ(layout.maps.ledIndex, (std::map<int, int>{{41, 1}}));
  EXPECT_EQ(layout.warnings.size(), 4u);
  EXPECT_NE(layout.warnings[2].find("code 2147483647"), std::string::npos) << layout.warnings[2];
  EXPECT_NE(layout.warnings[2].find("outside the window"), std::string::npos);
}

TEST_F(LayoutTest, SharedIndexesAndRectanglesOutsideTheWindowAreReportedOnceEach) {
  KeyboardLayout layout;
  ASSERT_EQ(ReadKeyboardLayout(Wide(kCorpus + "keyboard-layout/shared-indexes.xml"), true, layout),
            DataFileStatus::kOk);
  // The first key of an index keeps it; the later ones are drawn but not mapped.
  EXPECT_EQ(layout.maps.keyIndex, (std::map<int, int>{{4, 10}, {6, 12}, {8, 14}}));
  EXPECT_EQ(layout.maps.ledIndex, (std::map<int, int>{{4, 20}, {6, 22}, {8, 24}}));
  EXPECT_EQ(layout.keys.size(), 5u);
  const std::vector<std::string> expected = {
      "key 2 (code 5, key index 10, LED index 21): key index already taken by code 4, not mapped",
      "key 4 (code 7, key index 13, LED index 22): LED index already taken by code 6, not mapped",
  };
  EXPECT_EQ(layout.warnings, expected);

  // Each edge of the window, as a table of rectangles (left, top, width, height).
  struct Case {
    int left, top, width, height;
    bool kept;
  };
  const Case cases[] = {{0, 0, 1200, 720, true}, {1199, 719, 1, 1, true},  {-1, 0, 10, 10, false},
                        {0, -1, 10, 10, false},  {1191, 0, 10, 10, false}, {0, 711, 10, 10, false},
                        {0, 0, -5, 10, false},   {0, 0, 10, -5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.width << "x" << c.height);
    const std::string key = "<key code=\"04\" key_index=\"1\" light_index=\"1\" rect_left=\"" +
                            std::to_string(c.left) + "\" rect_top=\"" + std::to_string(c.top) +
                            "\" rect_width=\"" + std::to_string(c.width) + "\" rect_height=\"" +
                            std::to_string(c.height) + "\"/>\n";
    ASSERT_EQ(Read(LayoutWith(key)), DataFileStatus::kOk);
    EXPECT_EQ(layout_.keys.size(), c.kept ? 1u : 0u);
    EXPECT_EQ(layout_.warnings.size(), c.kept ? 0u : 2u) << "the refused key, then the empty layout";
  }

  // Past 100 warnings one line sums up the rest.
  std::string many;
  for (int i = 0; i < 150; ++i)
    many += "<key code=\"" + std::to_string(10 + i) + "\" key_index=\"0\" light_index=\"1\"/>\n";
  ASSERT_EQ(Read(LayoutWith(many)), DataFileStatus::kOk);
  EXPECT_EQ(layout_.keys.size(), 150u);
  ASSERT_EQ(layout_.warnings.size(), 101u);
  EXPECT_EQ(layout_.warnings.back(), "and 50 more");
}

}  // namespace
