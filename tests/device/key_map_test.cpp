// The key map: each function type's 4-byte entry as the keyboard reads it, where a key's entry
// goes in the 780-byte table, and one layer's transaction as the simulated keyboard receives it.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <numeric>
#include <vector>

#include "device/KeyMap.h"
#include "transfer_test_support.h"

namespace hid_test {
namespace {

using Entry = std::array<uint8_t, 4>;
using platform::hid::sim::Packet;

KeyMapRow Row(int type, int value, int value2 = 0, int value3 = 0, int key = 4) {
  return KeyMapRow{key, type, value, value2, value3};
}

Entry EntryAt(const KeyMapTable& table, int index) {
  return {table[index * 4], table[index * 4 + 1], table[index * 4 + 2], table[index * 4 + 3]};
}

// Every entry of `table` except those listed is zero, and the trailer is in place.
void ExpectOnly(const KeyMapTable& table, const std::map<int, Entry>& entries) {
  for (int i = 0; i < kKeyMapEntries; ++i) {
    Entry expected{};
    if (auto found = entries.find(i); found != entries.end()) expected = found->second;
    if (i == 143) {
      expected[2] = 0xAA;
      expected[3] = 0x55;
    }
    EXPECT_EQ(EntryAt(table, i), expected) << "entry " << i;
  }
}

TEST(KeyMapEntry, EachFunctionTypeAsTheKeyboardReadsIt) {
  const std::vector<int> macros = {7, 3, 9};
  struct Case {
    KeyMapRow row;
    Entry entry;
  };
  const Case cases[] = {
      {Row(0, 4, 2, 1), {0, 0, 0, 0}},
      {Row(1, 1), {0x05, 0x03, 0, 0}},
      {Row(1, 77, 5, 6), {0x05, 0x03, 0, 0}},  // the values of a disabled key do not matter
      // Keys: modifier mask, then the usage.
      {Row(2, 0x04), {0x02, 0, 0x04, 0}},
      {Row(2, 0x04, 3), {0x02, 0x03, 0x04, 0}},
      {Row(2, 0, 3), {0x02, 0x03, 0, 0}},           // Ctrl+Shift with no main key
      {Row(2, 0xE1), {0x02, 0x02, 0, 0}},           // Shift alone
      {Row(2, 0x04, 0xE2), {0x02, 0x04, 0x04, 0}},  // a modifier usage stored as the mask
      {Row(2, 0xE3, 1), {0x02, 0x09, 0, 0}},        // Ctrl with the left Windows key, not Ctrl+E
      {Row(2, 0xE0, 0xE1), {0x02, 0x03, 0, 0}},
      {Row(2, 0xE7, 0x0F), {0x02, 0x8F, 0, 0}},
      {Row(2, 0x104), {0x02, 0, 0x04, 0}},                // low byte
      {Row(2, 0xF1, 5, 0, 0x39), {0x02, 0, 0x39, 0xF1}},  // the key's own usage
      {Row(2, 0xF3, 0, 0, 0x139), {0x02, 0, 0x39, 0xF3}},
      {Row(2, 0xD3, 7), {0x02, 0, 0xD3, 0}},
      // Macros by position in the store's list.
      {Row(3, 9, 1, 5), {0x06, 2, 1, 5}},
      {Row(3, 7, 0x102, 0x1FF), {0x06, 0, 0x02, 0xFF}},
      {Row(3, 4, 1, 1), {0, 0, 0, 0}},  // no such macro
      {Row(4, 1, 1, 1), {0, 0, 0, 0}},
      // Mouse.
      {Row(5, 1), {0x01, 0x01, 0x01, 0}},
      {Row(5, 2), {0x01, 0x01, 0x04, 0}},
      {Row(5, 3), {0x01, 0x01, 0x02, 0}},
      {Row(5, 4), {0x01, 0x01, 0x03, 0}},
      {Row(5, 5), {0x01, 0x03, 0x01, 0}},
      {Row(5, 6), {0x01, 0x03, 0xFF, 0}},
      {Row(5, 7), {0x01, 0x01, 0x08, 0}},
      {Row(5, 8), {0x01, 0x01, 0x10, 0}},
      {Row(5, 0), {0x01, 0, 0, 0}},
      {Row(5, 9), {0x01, 0, 0, 0}},
      // Media.
      {Row(6, 1), {0x03, 0xCD, 0, 0}},
      {Row(6, 2), {0x03, 0xB7, 0, 0}},
      {Row(6, 3), {0x03, 0xB6, 0, 0}},
      {Row(6, 4), {0x03, 0xB5, 0, 0}},
      {Row(6, 5), {0x03, 0xE9, 0, 0}},
      {Row(6, 6), {0x03, 0xEA, 0, 0}},
      {Row(6, 7), {0x03, 0xE2, 0, 0}},
      {Row(6, 8), {0x03, 0, 0, 0}},
      // Shortcuts.
      {Row(7, 1), {0x02, 0x08, 0x07, 0}},
      {Row(7, 2), {0x02, 0x08, 0x08, 0}},
      {Row(7, 3), {0x02, 0x08, 0x0F, 0}},
      {Row(7, 4), {0x02, 0x01, 0x1A, 0}},
      {Row(7, 5), {0x02, 0x04, 0x2B, 0}},
      {Row(7, 6), {0x02, 0x01, 0x06, 0}},
      {Row(7, 7), {0x02, 0x01, 0x19, 0}},
      {Row(7, 8), {0x02, 0x01, 0x1B, 0}},
      {Row(7, 9), {0x02, 0, 0, 0}},
      {Row(7, 10), {0x02, 0x02, 0, 0}},
      {Row(7, 11), {0x02, 0x01, 0, 0}},
      {Row(7, 12), {0x02, 0, 0, 0}},
      {Row(7, 0), {0x02, 0, 0, 0}},
      // Software actions name their row, which must fit the byte.
      {Row(8, 1), {0x05, 0x02, 0x01, 0}},
      {Row(9, 200), {0x05, 0x02, 200, 0}},
      {Row(10, 255, 9, 9), {0x05, 0x02, 0xFF, 0}},
      {Row(11, 17), {0x05, 0x02, 17, 0}},
      {Row(8, 256), {0, 0, 0, 0}},  // would name action 0
      {Row(9, 257), {0, 0, 0, 0}},  // would name action 1
      {Row(10, 0), {0, 0, 0, 0}},
      {Row(11, -1), {0, 0, 0, 0}},
      // Special functions: consumer usages.
      {Row(12, 500), {0x03, 0x94, 0x01, 0}},
      {Row(12, 510), {0x03, 0xE2, 0x00, 0}},
      {Row(12, 517), {0x03, 0x21, 0x02, 0}},
      {Row(12, 518), {0x03, 0, 0, 0}},
      {Row(12, 499), {0x03, 0, 0, 0}},
      // Key sequences.
      {Row(13, 0x04, 0x05, 0x06), {0x07, 0x04, 0x05, 0x06}},
      {Row(13, 0x104, 0, 0x2FF), {0x07, 0x04, 0, 0xFF}},
      // Types no keyboard knows.
      {Row(14, 1), {0, 0, 0, 0}},
      {Row(-2, 1), {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.row.macrotype << " value " << c.row.macrovalue
                                    << " value2 " << c.row.macro2value << " key " << c.row.keyvalue);
    EXPECT_EQ(KeyMapEntry(c.row, macros), c.entry);
  }
}

TEST(KeyMapEntry, SpecialFunctionsAndMacroPositions) {
  const uint32_t expected[][2] = {{0x94, 1}, {0x92, 1}, {0x8A, 1}, {0x83, 1}, {0xCD, 0}, {0xB7, 0},
                                  {0xB6, 0}, {0xB5, 0}, {0xE9, 0}, {0xEA, 0}, {0xE2, 0}, {0x23, 2},
                                  {0x27, 2}, {0x26, 2}, {0x24, 2}, {0x25, 2}, {0x2A, 2}, {0x21, 2}};
  for (int code = 500; code <= 517; ++code) {
    uint32_t deviceCode = 7, flag = 7;
    MapSpecialFunctionCode(code, &deviceCode, &flag);
    EXPECT_EQ(deviceCode, expected[code - 500][0]) << code;
    EXPECT_EQ(flag, expected[code - 500][1]) << code;
  }
  for (int code : {INT_MIN, -500, 0, 17, 499, 518, 587, INT_MAX}) {
    uint32_t deviceCode = 7, flag = 7;
    MapSpecialFunctionCode(code, &deviceCode, &flag);
    EXPECT_EQ(deviceCode, 0u) << code;
    EXPECT_EQ(flag, 0u) << code;
  }
  uint32_t flag = 7;
  MapSpecialFunctionCode(511, nullptr, &flag);  // one output is enough
  EXPECT_EQ(flag, 2u);

  // 120 macros with ids 1000 on: the keyboard holds the first 100.
  std::vector<int> ids(120);
  std::iota(ids.begin(), ids.end(), 1000);
  EXPECT_EQ(KeyMapEntry(Row(3, 1000), ids), (Entry{0x06, 0, 0, 0}));
  EXPECT_EQ(KeyMapEntry(Row(3, 1099, 2, 3), ids), (Entry{0x06, 99, 2, 3}));
  EXPECT_EQ(KeyMapEntry(Row(3, 1100, 2, 3), ids), (Entry{}));
  EXPECT_EQ(KeyMapEntry(Row(3, 1119), ids), (Entry{}));
  EXPECT_EQ(KeyMapEntry(Row(3, 1000), {}), (Entry{}));
  // An id listed twice is found at its first place.
  EXPECT_EQ(KeyMapEntry(Row(3, 5), std::vector<int>{8, 5, 5}), (Entry{0x06, 1, 0, 0}));
}

TEST(KeyMapTable, KeysGoWhereTheLayoutOrTheBuiltInTablePutsThem) {
  // Built-in indexes: A (4) 56, B (5) 78, C (6) 76, D (7) 58, E (8) 40; 209 has none.
  KeyLayoutMaps maps;
  maps.keyIndex = {{4, 10}, {6, 0}, {209, 14}, {8, 195}, {9, 600}, {10, -3}, {11, 194}};
  EXPECT_EQ(KeyMapIndex(4, &maps), 10);
  EXPECT_EQ(KeyMapIndex(5, &maps), 78);  // not in the map
  EXPECT_EQ(KeyMapIndex(6, &maps), 76);  // the map gives it no index
  EXPECT_EQ(KeyMapIndex(209, &maps), 14);
  EXPECT_EQ(KeyMapIndex(209, nullptr), 0);
  EXPECT_EQ(KeyMapIndex(4, nullptr), 56);
  EXPECT_EQ(KeyMapIndex(4, std::make_unique<KeyLayoutMaps>().get()), 56);
  EXPECT_EQ(KeyMapIndex(INT_MIN, &maps), 0);

  const std::vector<KeyMapRow> rows = {
      Row(13, 1, 1, 1, 4),   Row(13, 2, 2, 2, 5), Row(13, 3, 3, 3, 6),    Row(13, 4, 4, 4, 209),
      Row(13, 5, 5, 5, 8),   Row(13, 6, 6, 6, 9), Row(13, 7, 7, 7, 10),    // past the end or negative
      Row(13, 8, 8, 8, 1),   Row(13, 9, 9, 9, 0), Row(13, 10, 0, 0, 300),  // no index at all
      Row(13, 11, 0, 0, 11),                                               // the last entry
  };
  ExpectOnly(
      BuildKeyMapTable(0, rows, {}, &maps),
      {{10, {7, 1, 1, 1}}, {78, {7, 2, 2, 2}}, {76, {7, 3, 3, 3}}, {14, {7, 4, 4, 4}}, {194, {7, 11, 0, 0}}});
  // Without a layout every key takes its built-in index.
  ExpectOnly(BuildKeyMapTable(0, rows, {}, nullptr), {{56, {7, 1, 1, 1}},
                                                      {78, {7, 2, 2, 2}},
                                                      {76, {7, 3, 3, 3}},
                                                      {40, {7, 5, 5, 5}},
                                                      {59, {7, 6, 6, 6}},
                                                      {60, {7, 7, 7, 7}},
                                                      {61, {7, 11, 0, 0}}});
}

TEST(KeyMapTable, FnBarredKeysOnlyInLayerOneTypeZeroSkippedAndTheTrailerOnTop) {
  KeyLayoutMaps maps;
  maps.keyIndex = {{4, 56}, {175, 96}, {5, 143}};
  maps.fnLayerDisabled = {175, 4};
  const std::vector<KeyMapRow> rows = {
      Row(2, 0xAF, 0, 0, 175),  // Fn
      Row(1, 1, 0, 0, 4),
      Row(13, 0x11, 0x22, 0x33, 5),  // entry 143: its last two bytes give way to the trailer
      Row(6, 1, 0, 0, 6),            // C, built-in 76
      Row(0, 0, 0, 0, 6),            // a row of type 0 leaves the entry as it is
      Row(5, 1, 0, 0, 7),
      Row(6, 2, 0, 0, 7),  // D twice: the later row wins
  };
  ExpectOnly(BuildKeyMapTable(0, rows, {}, &maps), {{96, {0x02, 0, 0xAF, 0}},
                                                    {56, {0x05, 0x03, 0, 0}},
                                                    {143, {0x07, 0x11, 0, 0}},
                                                    {76, {0x03, 0xCD, 0, 0}},
                                                    {58, {0x03, 0xB7, 0, 0}}});
  ExpectOnly(BuildKeyMapTable(1, rows, {}, &maps),
             {{143, {0x07, 0x11, 0, 0}}, {76, {0x03, 0xCD, 0, 0}}, {58, {0x03, 0xB7, 0, 0}}});
  const KeyMapTable empty = BuildKeyMapTable(1, {}, {}, nullptr);
  EXPECT_EQ(empty[574], 0xAA);
  EXPECT_EQ(empty[575], 0x55);
  ExpectOnly(empty, {});
}

TEST(KeyMapTable, HostileRowsEncodeTheirLowBytesOrNothing) {
  const std::vector<int> macros = {INT_MIN, INT_MAX};
  // Every field at the extremes, for every type and for types beyond any known.
  for (int type : {INT_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, INT_MAX})
    for (int value : {INT_MIN, -1, INT_MAX})
      for (int other : {INT_MIN, INT_MAX}) {
        const KeyMapRow row{4, type, value, other, other};
        const Entry entry = KeyMapEntry(row, macros);
        const bool unknown = type < 1 || type == 4 || type > 13;
        const bool action = type >= 8 && type <= 11;  // no value here fits the byte
        if (unknown || action) {
          EXPECT_EQ(entry, Entry{}) << type << " " << value;
        }
        for (int key : {INT_MIN, -1, 0, 195, 256, INT_MAX}) {
          const KeyMapRow offKey{key, type, value, other, other};
          ExpectOnly(BuildKeyMapTable(1, std::vector<KeyMapRow>{offKey}, macros, nullptr), {});
        }
      }
  EXPECT_EQ(KeyMapEntry(Row(2, INT_MAX, INT_MIN), macros), (Entry{0x02, 0x00, 0xFF, 0}));
  EXPECT_EQ(KeyMapEntry(Row(2, INT_MIN, -1), macros), (Entry{0x02, 0xFF, 0x00, 0}));
  EXPECT_EQ(KeyMapEntry(Row(3, INT_MAX, INT_MIN, -1), macros), (Entry{0x06, 1, 0x00, 0xFF}));
  EXPECT_EQ(KeyMapEntry(Row(13, INT_MIN, INT_MAX, -1), macros), (Entry{0x07, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(KeyMapEntry(Row(5, INT_MIN), macros), (Entry{0x01, 0, 0, 0}));
  EXPECT_EQ(KeyMapEntry(Row(7, INT_MAX), macros), (Entry{0x02, 0, 0, 0}));
  EXPECT_EQ(KeyMapEntry(Row(2, 0xF2, 0, 0, INT_MIN), macros), (Entry{0x02, 0, 0, 0xF2}));

  KeyLayoutMaps maps;
  maps.keyIndex = {{4, INT_MAX}, {5, INT_MIN}};
  ExpectOnly(BuildKeyMapTable(0, std::vector<KeyMapRow>{Row(1, 1, 0, 0, 4), Row(1, 1, 0, 0, 5)}, {}, &maps),
             {});
}

// ---- One layer on the wire

Packet Command(uint8_t command, uint8_t count = 0) {
  Packet p(kPacketSize, 0);
  p[0] = CMD_MARKER;
  p[1] = command;
  p[8] = count;
  return p;
}

class KeyMapTransactionTest : public TransferTest {
 protected:
  // A table whose every packet is told apart by its first entry.
  static KeyMapTable SampleTable() {
    std::vector<KeyMapRow> rows;
    for (int index = 1; index < kKeyMapEntries; index += 16)
      rows.push_back(KeyMapRow{0, 13, index, 0xAB, index / 16});
    KeyLayoutMaps maps;
    for (size_t i = 0; i < rows.size(); ++i) {
      rows[i].keyvalue = 1000 + static_cast<int>(i);
      maps.keyIndex[rows[i].keyvalue] = 16 * static_cast<int>(i) + (i == 0 ? 1 : 0);
    }
    return BuildKeyMapTable(0, rows, {}, &maps);
  }
  static std::vector<Packet> Expected(uint8_t command, const KeyMapTable& table, size_t dataPackets = 10) {
    std::vector<Packet> out = {Command(CMD_BEGIN), Command(command, 9)};
    for (size_t k = 0; k < dataPackets; ++k)
      out.emplace_back(table.begin() + static_cast<std::ptrdiff_t>(k * kPacketSize),
                       table.begin() + static_cast<std::ptrdiff_t>((k + 1) * kPacketSize));
    out.push_back(Command(CMD_END));
    out.push_back(Command(CMD_SAVE));
    return out;
  }
  std::vector<int64_t> SendTimes() {
    std::vector<int64_t> out;
    for (const SimIo& io : Io(NodeRole::kCommand, SimIo::Kind::kSend)) out.push_back(io.timeMs);
    return out;
  }
};

TEST_F(KeyMapTransactionTest, BothLayersInOrderWithReadBackOnCommandsAndTheWindowsPacing) {
  const KeyMapTable table = SampleTable();
  const int64_t start = clock_.nowMs();
  EXPECT_TRUE(SendKeyMapTransaction(Link(), 0, table));
  EXPECT_EQ(Sent(), Expected(CMD_KEYMAP, table));
  std::vector<bool> readBack(14, false);
  readBack[0] = readBack[1] = readBack[12] = readBack[13] = true;  // the commands, not the block
  EXPECT_EQ(ReadBackFlags(), readBack);
  // A pause before each command and before its reply read, one after each block packet.
  std::vector<int64_t> times = {35, 105};
  for (int k = 0; k < 10; ++k) times.push_back(140 + 35 * k);
  times.push_back(525);
  times.push_back(595);
  for (int64_t& t : times) t += start;
  EXPECT_EQ(SendTimes(), times);
  EXPECT_EQ(SleepMs(), std::vector<int>(18, 35));
  EXPECT_EQ(clock_.nowMs() - start, 630);

  auto received = Keyboard().received();
  EXPECT_EQ(received.keyMap[0], Packet(table.begin(), table.begin() + 640));
  EXPECT_EQ(received.keyMap[0][574], 0xAA);
  EXPECT_EQ(received.keyMapCount[0], 1);
  EXPECT_EQ(received.keyMapCount[1], 0);
  EXPECT_EQ(received.saves, 1);

  sim_.clearLog();
  KeyMapTable fnTable = table;
  fnTable[4] = 0x05;
  fnTable[700] = 0x77;  // beyond what is sent
  EXPECT_TRUE(SendKeyMapTransaction(Link(), 1, fnTable));
  EXPECT_EQ(Sent(), Expected(CMD_KEYMAP_FN, fnTable));
  received = Keyboard().received();
  EXPECT_EQ(received.keyMap[1], Packet(fnTable.begin(), fnTable.begin() + 640));
  EXPECT_EQ(received.keyMap[0], Packet(table.begin(), table.begin() + 640));
  EXPECT_EQ(received.keyMapCount[1], 1);
  EXPECT_EQ(received.saves, 2);
}

TEST_F(KeyMapTransactionTest, AFailedPacketIsFollowedByTheRest) {
  const KeyMapTable table = SampleTable();
  // The begin packet cannot be sent: the rest still goes out, and the keyboard takes the map.
  Keyboard().failSendNumber(1);
  EXPECT_FALSE(SendKeyMapTransaction(Link(), 0, table));
  std::vector<Packet> expected = Expected(CMD_KEYMAP, table);
  expected.erase(expected.begin());
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(Keyboard().received().keyMapCount[0], 1);

  // The command is refused (status 0): all the rest still goes.
  sim_.clearLog();
  Keyboard().queueStatus(STATUS_OK);
  Keyboard().queueStatus(0);
  EXPECT_FALSE(SendKeyMapTransaction(Link(), 1, table));
  EXPECT_EQ(Sent(), Expected(CMD_KEYMAP_FN, table));

  // One block packet fails every time: the block stops after its retries, the end and the save
  // still go out, and the keyboard keeps the map it had.
  sim_.clearLog();
  KeyMapTable changed = table;
  changed[4 * 16 * 5 + 2] = 0xEE;  // the sixth packet
  const Packet sixth(changed.begin() + 320, changed.begin() + 384);
  Keyboard().failSendsOfPacket(Packet(sixth.begin(), sixth.begin() + 4));
  EXPECT_FALSE(SendKeyMapTransaction(Link(), 0, changed));
  expected = Expected(CMD_KEYMAP, changed, 5);
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(Io(NodeRole::kCommand, SimIo::Kind::kSend).size(), 2u + 5u + 11u + 2u);
  EXPECT_EQ(Keyboard().received().keyMap[0], Packet(table.begin(), table.begin() + 640));
  EXPECT_EQ(Keyboard().received().saves, 3);
}

TEST_F(KeyMapTransactionTest, NoKeyboardOrNoSuchLayerSendsNothing) {
  const KeyMapTable table = SampleTable();
  for (int index : {-1, 1, 1000})
    EXPECT_FALSE(SendKeyMapTransaction(DeviceLink{*manager_, clock_, index, 35}, 0, table));
  for (int layer : {-1, 2, INT_MAX}) EXPECT_FALSE(SendKeyMapTransaction(Link(), layer, table));
  EXPECT_TRUE(sim_.log().empty());
}

}  // namespace
}  // namespace hid_test
