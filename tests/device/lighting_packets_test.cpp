// Light mode, custom colours, LED read-back and live preview as the simulated keyboard sees them,
// on per-key RGB and on single-colour keyboards.
#include <gtest/gtest.h>

#include "device/KeyCodes.h"
#include "device/LightingPackets.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

constexpr int kUsageA = 4;  // built-in LED 56
constexpr int kUsageB = 5;  // built-in LED 78
constexpr int kUsageC = 6;  // built-in LED 76
constexpr int kUnknownUsage = 3;

LightDataRow Row(uint8_t colortype, uint8_t r, uint8_t g, uint8_t b, uint8_t dir, uint8_t bright,
                 uint8_t speed) {
  LightDataRow row;
  row.colortype = colortype;
  row.byte2 = r;
  row.byte3 = g;
  row.byte4 = b;
  row.byte5 = dir;
  row.byte6 = bright;
  row.byte7 = speed;
  return row;
}

CustomRgbRow Color(int keycode, int rgb) {
  CustomRgbRow row;
  row.keycode = keycode;
  row.rgbvalue = rgb;
  return row;
}

Bytes Record(std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
  Bytes r(kPacketSize, 0);
  for (auto [i, v] : bytes) r[i] = v;
  r[14] = 0xAA;
  r[15] = 0x55;
  return r;
}

class LightingTest : public TransferTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool rgb() const { return GetParam(); }
};

class LightModeTest : public TransferTest {};

TEST_F(LightModeTest, RecordFromItsRowAndFromAMissingRow) {
  const LightDataRow row = Row(2, 0x11, 0x22, 0x33, 4, 5, 6);
  ASSERT_TRUE(SendLightMode(Link(), 7, &row));
  EXPECT_EQ(Keyboard().received().lightMode,
            Record({{0, 7}, {1, 0x11}, {2, 0x22}, {3, 0x33}, {8, 2}, {9, 5}, {10, 6}, {11, 4}}));
  ASSERT_TRUE(SendLightMode(Link(), 0, nullptr));
  EXPECT_EQ(Keyboard().received().lightMode, Record({}));
}

TEST_F(LightModeTest, FivePacketsRecordWithoutReadBackAndSaveLast) {
  const LightDataRow row = Row(1, 1, 2, 3, 0, 5, 3);
  ASSERT_TRUE(SendLightMode(Link(), 11, &row));
  EXPECT_EQ(Commands(), (Bytes{CMD_BEGIN, CMD_LIGHT_MODE, CMD_END, CMD_SAVE}));
  EXPECT_EQ(Sent()[1], CommandPacket(CMD_LIGHT_MODE, 0, 1));
  EXPECT_EQ(ReadBackFlags(), (std::vector<bool>{true, true, false, true, true}));
  EXPECT_EQ(SleepMs(), std::vector<int>(9, kPacketDelay));
  EXPECT_EQ(Keyboard().received().saves, 1);
}

TEST_F(LightModeTest, NoModeSendsNothing) {
  const LightDataRow row = Row(1, 1, 2, 3, 0, 5, 3);
  EXPECT_FALSE(SendLightMode(Link(), -1, &row));
  EXPECT_FALSE(SendLightMode(Link(), 256, &row));
  EXPECT_TRUE(sim_.log().empty());
}

TEST_F(LightModeTest, CustomSettingsTakeColourTypeAndDirectionFromTheCustomRow) {
  const LightDataRow custom = Row(0, 0xA1, 0xB2, 0xC3, 2, 9, 9);  // brightness and speed not used
  SendCustomModeSettings(Link(), &custom);
  EXPECT_EQ(Keyboard().received().customSettings,
            Record({{0, 0x80}, {1, 0xA1}, {2, 0xB2}, {3, 0xC3}, {8, 0}, {9, 5}, {10, 5}, {11, 2}}));
  EXPECT_EQ(ReadBackFlags(), (std::vector<bool>{true, true, false, true, true}));
  SendCustomModeSettings(Link(), nullptr);
  EXPECT_EQ(Keyboard().received().customSettings, Record({{0, 0x80}, {9, 5}, {10, 5}}));
}

TEST_P(LightingTest, CustomColoursFromTheLayoutSkipKeysWithoutAUsableLed) {
  const LedIndexMap layout = {{kUsageA, 1}, {kUsageB, 143}, {kUsageC, 0},  {7, 144},
                              {8, 189},     {9, 190},       {10, 1000000}, {11, 12}};
  const std::vector<CustomRgbRow> rows = {
      Color(kUsageA, 0x7F332211),  // bits above 24 are not colour
      Color(kUsageB, 0x00030201), Color(kUsageC, 0x0000FF), Color(7, 0x0000FF), Color(8, 0x0000FF),
      Color(9, 0x0000FF),         Color(10, 0x0000FF),      Color(11, 0),       Color(kUnknownUsage, 0xFF)};
  const LightDataRow custom = Row(1, 9, 8, 7, 1, 0, 0);
  SendCustomModeColors(Link(), rows, layout, rgb(), &custom);
  const auto got = Keyboard().received();
  Bytes expected(rgb() ? 576 : 192, 0);
  if (rgb()) {
    expected[4] = 1, expected[5] = 0x11, expected[6] = 0x22, expected[7] = 0x33;
    expected[4 * 143] = 143, expected[4 * 143 + 1] = 1;  // its last two bytes lie under the trailer
    expected[4 * 12] = 12;                               // a zero colour still writes its index
  } else {
    expected[1] = 253, expected[143] = 253, expected[144] = 253, expected[189] = 253;
  }
  expected[expected.size() - 2] = 0xAA;
  expected[expected.size() - 1] = 0x55;
  EXPECT_EQ(got.customColors, expected);
  EXPECT_EQ(got.customColorPackets, rgb() ? 9 : 3);
  EXPECT_EQ(Commands(), (Bytes{CMD_BEGIN, CMD_CUSTOM_COLORS, CMD_END, CMD_SAVE, CMD_BEGIN, CMD_LIGHT_MODE,
                               CMD_END, CMD_SAVE}));
  EXPECT_EQ(got.customSettings,
            Record({{0, 0x80}, {1, 9}, {2, 8}, {3, 7}, {8, 1}, {9, 5}, {10, 5}, {11, 1}}));
}

TEST_P(LightingTest, CustomColoursFromTheKeyTableWithoutALayout) {
  const std::vector<CustomRgbRow> rows = {Color(kUsageA, 0x030201), Color(kUsageB, 0),
                                          Color(kUnknownUsage, 0xFFFFFF)};
  SendCustomModeColors(Link(), rows, {}, rgb(), nullptr);
  const Bytes block = Keyboard().received().customColors;
  ASSERT_EQ(block.size(), rgb() ? 576u : 192u);
  const size_t a = HidUsageToKeyIndexFull(kUsageA), b = HidUsageToKeyIndexFull(kUsageB);
  if (rgb()) {
    EXPECT_EQ(Bytes(block.begin() + 4 * a, block.begin() + 4 * a + 4), (Bytes{uint8_t(a), 1, 2, 3}));
    EXPECT_EQ(Bytes(block.begin() + 4 * b, block.begin() + 4 * b + 4), (Bytes{uint8_t(b), 0, 0, 0}));
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), Bytes(4, 0));  // nothing at LED 0
  } else {
    EXPECT_EQ(block[a], 255);  // from the table
    EXPECT_EQ(block[b], 0);    // no colour
    EXPECT_EQ(block[0], 0);
  }
}

TEST_P(LightingTest, ReadBackDecodesOnlyUsableLedsInsideTheReplies) {
  const LedIndexMap layout = {{kUsageA, 2}, {kUsageB, 143}, {kUsageC, 190}, {7, 200000}, {8, 0}};
  if (rgb()) {
    std::vector<std::array<uint8_t, 3>> colors(144, {0, 0, 0});
    colors[2] = {0x10, 0x20, 0x30};
    colors[143] = {0xFF, 0x80, 0x01};
    Keyboard().setRgbColors(colors);
  } else {
    std::vector<uint8_t> levels(192, 0);
    levels[2] = 255;
    levels[143] = 128;
    Keyboard().setSingleColorLevels(levels, false);
  }
  const std::vector<int> keys = {kUsageA, kUsageB, kUsageC, 7, 8, kUnknownUsage};
  auto colors = ReadDeviceLedColors(Link(), keys, layout, rgb());
  ASSERT_TRUE(colors.has_value());
  ASSERT_EQ(colors->size(), keys.size());
  if (rgb()) {
    EXPECT_EQ((*colors)[0], 0x302010u);
    EXPECT_EQ((*colors)[1], 0x0180FFu);
  } else {
    EXPECT_EQ((*colors)[0], 0xFEFEFEu);  // 255 x 255 / 256 = 254
    EXPECT_EQ((*colors)[1], 0x7F7F7Fu);
  }
  for (size_t k = 2; k < keys.size(); ++k) EXPECT_FALSE((*colors)[k].has_value()) << k;
  EXPECT_EQ(Sent().front(), CommandPacket(CMD_READ_COLORS, 0, rgb() ? 9 : 3));
  EXPECT_EQ(Commands().back(), CMD_END);
}

TEST_P(LightingTest, ReadBackWithoutLayoutChangesNoKeyButClosesTheQuery) {
  auto colors = ReadDeviceLedColors(Link(), std::vector<int>{kUsageA, kUsageB}, {}, rgb());
  ASSERT_TRUE(colors.has_value());
  EXPECT_FALSE((*colors)[0].has_value());
  EXPECT_FALSE((*colors)[1].has_value());
  EXPECT_EQ(Commands(), (Bytes{CMD_READ_COLORS, CMD_END}));
}

TEST_P(LightingTest, FailedQueryGivesUpWithoutEnd) {
  Keyboard().queueStatus(0);
  EXPECT_FALSE(ReadDeviceLedColors(Link(), std::vector<int>{kUsageA}, {{kUsageA, 2}}, rgb()).has_value());
  EXPECT_EQ(Commands(), (Bytes{CMD_READ_COLORS}));
  EXPECT_FALSE(manager_->IsBusy());
}

TEST_P(LightingTest, PreviewEntriesByStateKeepTheirPlacesAndStopAtTheBlockEnd) {
  const LedIndexMap layout = {{kUsageA, 10}, {kUsageB, 11}, {kUsageC, 12}, {7, 13}};
  std::vector<LightKeyItem> items = {
      {kUsageA, 200, 100, 50, kKeyStateOff, 99},
      {kUsageB, 200, 100, 50, kKeyStateScaled, 128},
      {kUnknownUsage, 1, 2, 3, 1, 77},  // not in the layout: its entry stays zero
      {kUsageC, 200, 100, 50, 3, 64},   // any other state: the plain colour
  };
  const size_t entries = rgb() ? 128 : 192;
  while (items.size() < entries) items.push_back({kUsageA, 0, 0, 0, kKeyStateOff, 0});
  items.push_back({7, 9, 9, 9, 1, 200});  // past the block: never sent
  ASSERT_TRUE(SendLiveColorFrame(Link(), items, layout, rgb()));
  const auto got = Keyboard().received();
  EXPECT_EQ(got.liveFrames, 1);
  ASSERT_EQ(got.liveColors.size(), rgb() ? 512u : 192u);
  if (rgb()) {
    EXPECT_EQ(Bytes(got.liveColors.begin(), got.liveColors.begin() + 16),
              (Bytes{10, 0, 0, 0, 11, 100, 50, 25, 0, 0, 0, 0, 12, 200, 100, 50}));
  } else {
    EXPECT_EQ(Bytes(got.liveColors.begin(), got.liveColors.begin() + 4), (Bytes{10, 128, 0, 64}));
  }
  for (uint8_t b : got.liveColors) ASSERT_NE(b, 13);  // the item past the block
  EXPECT_EQ(Commands(), (Bytes{CMD_LIVE_COLORS, CMD_END}));
  EXPECT_EQ(Sent().front(), CommandPacket(CMD_LIVE_COLORS, 0, rgb() ? 8 : 3));
  const auto sleeps = SleepMs();
  EXPECT_EQ(sleeps.front(), kLivePacingMs);
  EXPECT_EQ(sleeps.back(), kLivePacingMs);
}

TEST_P(LightingTest, PreviewStopsWhenRefusedOrOverBudget) {
  const std::vector<LightKeyItem> items = {{kUsageA, 1, 2, 3, 1, 0}};
  Keyboard().queueStatus(0);
  EXPECT_FALSE(SendLiveColorFrame(Link(), items, {}, rgb()));
  EXPECT_EQ(Sent().size(), 1u);

  sim_.clearLog();
  Keyboard().setSendLatencyMs(60);  // the second packet already ends past 100 ms
  EXPECT_FALSE(SendLiveColorFrame(Link(), items, {}, rgb()));
  const auto commands = Commands();
  EXPECT_EQ(commands, (Bytes{CMD_LIVE_COLORS}));
  EXPECT_EQ(Keyboard().received().liveFrames, 0);
}

TEST_P(LightingTest, MusicRecordsAreAppendedForUsableLedsOnly) {
  const LedIndexMap layout = {{kUsageA, 10}, {kUsageB, 200}, {kUsageC, 12}, {7, 0}};
  std::vector<MusicKeyColor> keys = {
      {kUsageA, 0x00332211},
      {kUnknownUsage, 0x00FFFFFF},  // missing from the layout
      {kUsageB, 0x00FFFFFF},        // beyond the last LED of both blocks
      {7, 0x00FFFFFF},              // LED 0 is no LED
      {kUsageC, 0},                 // black: a record, but not lit on a single-colour keyboard
  };
  ASSERT_TRUE(SendMusicColorFrame(Link(), keys, layout, rgb()));
  const auto got = Keyboard().received();
  ASSERT_EQ(got.liveColors.size(), rgb() ? 512u : 192u);
  Bytes expected(got.liveColors.size(), 0);
  if (rgb()) {
    const Bytes head = {10, 0x11, 0x22, 0x33, 12, 0, 0, 0};
    std::copy(head.begin(), head.end(), expected.begin());
  } else {
    expected[10] = 0xFD;
  }
  EXPECT_EQ(got.liveColors, expected);
  EXPECT_EQ(Commands(), (Bytes{CMD_LIVE_COLORS, CMD_END}));
  EXPECT_EQ(Sent().front(), CommandPacket(CMD_LIVE_COLORS, 0, rgb() ? 8 : 3));

  // Without a layout the key table gives the LEDs; an RGB block holds 128 records at most.
  keys.assign(200, MusicKeyColor{kUsageA, 0x000000FF});
  keys.push_back({kUsageB, 0x000000FF});
  const Bytes block = BuildMusicColorBlock(keys, {}, rgb());
  if (rgb()) {
    for (size_t k = 0; k < 128; ++k) ASSERT_EQ(block[4 * k], HidUsageToKeyIndexFull(kUsageA)) << k;
  } else {
    EXPECT_EQ(block[HidUsageToKeyIndexFull(kUsageA)], 0xFD);
    EXPECT_EQ(block[HidUsageToKeyIndexFull(kUsageB)], 0xFD);
  }

  sim_.clearLog();
  Keyboard().queueStatus(0);
  EXPECT_FALSE(SendMusicColorFrame(Link(), keys, {}, rgb()));
  EXPECT_EQ(Sent().size(), 1u);  // a refused command: no block, no end
}

INSTANTIATE_TEST_SUITE_P(Variants, LightingTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rgb" : "SingleColour"; });

}  // namespace
}  // namespace hid_test
