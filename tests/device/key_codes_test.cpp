// Key-code tables: checks that catch a slip in transcribing a table rather than restating it.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>

#include "device/KeyCodes.h"

namespace {

const int kHostile[] = {INT_MIN, INT_MIN + 1, -1, 0, 255, 256, 65535, INT_MAX};

std::map<int, int> NonZero(uint8_t (*lookup)(int)) {
  std::map<int, int> entries;
  for (int usage = -10; usage < 1000; ++usage) {
    if (int index = lookup(usage)) entries[usage] = index;
  }
  return entries;
}

}  // namespace

TEST(KeyIndexTables, CompactTableHasDistinctIndexes) {
  const std::map<int, int> compact = NonZero(HidUsageToKeyIndexCompact);
  EXPECT_EQ(compact.size(), 91u);
  std::set<int> indexes;
  for (const auto& [usage, index] : compact) {
    EXPECT_TRUE(indexes.insert(index).second) << "index " << index << " twice, at usage " << usage;
    EXPECT_GE(usage, 4);
    EXPECT_LE(usage, 239);
  }
  EXPECT_EQ(HidUsageToKeyIndexCompact(3), 0);
  EXPECT_EQ(HidUsageToKeyIndexCompact(240), 0);
  EXPECT_EQ(HidUsageToKeyIndexCompact(239), 109);
}

TEST(KeyIndexTables, FullTableDiffersOnlyWhereTheKeypadMovesKeys) {
  // As documented: usage -> (compact, full) where they differ, and the keypad's own entries.
  const std::map<int, std::pair<int, int>> differences = {{40, {85, 67}},    {49, {67, 85}},  {50, {111, 0}},
                                                          {100, {110, 111}}, {101, {97, 96}}, {175, {96, 97}},
                                                          {212, {0, 109}}};
  const std::map<int, int> extra = {{83, 32}, {84, 33},  {85, 34},  {86, 122}, {87, 123}, {88, 106}, {89, 86},
                                    {90, 87}, {91, 88},  {92, 68},  {93, 69},  {94, 70},  {95, 50},  {96, 51},
                                    {97, 52}, {98, 104}, {99, 105}, {209, 14}, {210, 15}, {211, 16}};
  const std::map<int, int> full = NonZero(HidUsageToKeyIndexFull);
  EXPECT_EQ(full.size(), 111u);
  for (int usage = 0; usage < 256; ++usage) {
    const int compact = HidUsageToKeyIndexCompact(usage);
    const int wide = HidUsageToKeyIndexFull(usage);
    if (auto d = differences.find(usage); d != differences.end()) {
      EXPECT_EQ(compact, d->second.first) << usage;
      EXPECT_EQ(wide, d->second.second) << usage;
    } else if (auto e = extra.find(usage); e != extra.end()) {
      EXPECT_EQ(compact, 0) << usage;
      EXPECT_EQ(wide, e->second) << usage;
    } else {
      EXPECT_EQ(wide, compact) << usage;
    }
  }
  // Exactly one LED index serves two usages: 212 and 239.
  std::map<int, std::vector<int>> byIndex;
  for (const auto& [usage, index] : full) byIndex[index].push_back(usage);
  std::vector<std::vector<int>> shared;
  for (const auto& [index, usages] : byIndex)
    if (usages.size() > 1) shared.push_back(usages);
  EXPECT_EQ(shared, (std::vector<std::vector<int>>{{212, 239}}));
}

TEST(VirtualKeys, FollowTheDocumentedRangesOneToOne) {
  for (int vk = 'A'; vk <= 'Z'; ++vk) EXPECT_EQ(VirtualKeyToHidUsage(vk), vk - 'A' + 4);
  for (int vk = '1'; vk <= '9'; ++vk) EXPECT_EQ(VirtualKeyToHidUsage(vk), vk - '1' + 30);
  EXPECT_EQ(VirtualKeyToHidUsage('0'), 39);
  for (int f = 0; f < 12; ++f) EXPECT_EQ(VirtualKeyToHidUsage(112 + f), 58 + f);
  for (int f = 12; f < 24; ++f) EXPECT_EQ(VirtualKeyToHidUsage(112 + f), 104 + f - 12);
  for (int k = 1; k <= 9; ++k) EXPECT_EQ(VirtualKeyToHidUsage(96 + k), 88 + k);
  EXPECT_EQ(VirtualKeyToHidUsage(96), 98);
  EXPECT_EQ(VirtualKeyToHidUsage(254), 175);  // Fn
  EXPECT_EQ(VirtualKeyToHidUsage(137), 137);
  EXPECT_EQ(VirtualKeyToHidUsage(300), 0);
  EXPECT_EQ(VirtualKeyToHidUsage(666), 50);
  for (int generic : {16, 17, 18}) EXPECT_EQ(VirtualKeyToHidUsage(generic), 0);  // Shift, Ctrl, Alt

  std::map<int, int> byUsage;
  for (int vk = -10; vk < 100000; ++vk) {
    const int usage = VirtualKeyToHidUsage(vk);
    if (usage == 0) continue;
    EXPECT_TRUE(byUsage.emplace(usage, vk).second)
        << "usage " << usage << " from " << byUsage[usage] << " and " << vk;
  }
  EXPECT_EQ(byUsage.size(), 26u + 10 + 24 + 9 + 56);  // the ranges and the 56 single codes
}

TEST(Modifiers, MasksAndPassThrough) {
  for (int usage = 224; usage <= 231; ++usage) EXPECT_EQ(ModifierUsageToMask(usage), 1 << (usage - 224));
  for (int other : {0, 4, 223, 232, -5, INT_MIN, INT_MAX}) EXPECT_EQ(ModifierUsageToMask(other), other);
}

TEST(KeyNames, NamesAreDistinctAndGapsStayNameless) {
  std::set<std::wstring> names;
  std::wstring name;
  int named = 0;
  for (int usage = 0; usage < 300; ++usage) {
    HidUsageToKeyName(name, usage);
    if (name.empty()) continue;
    ++named;
    EXPECT_TRUE(names.insert(name).second) << usage;
    EXPECT_GE(usage, 4);
    EXPECT_LE(usage, 230);
  }
  EXPECT_EQ(named, 26 + 10 + 17 + 12 + 13 + 1 + 1 + 7);
  const std::pair<int, const wchar_t*> spot[] = {
      {4, L"A"},    {29, L"Z"},    {30, L"1"},   {39, L"0"},     {42, L"backspace"}, {49, L"\\"}, {58, L"F1"},
      {69, L"F12"}, {72, L"PASE"}, {175, L"FN"}, {230, L"RALT"}, {231, L""},         {50, L""},   {83, L""}};
  for (const auto& [usage, expected] : spot) {
    HidUsageToKeyName(name, usage);
    EXPECT_EQ(name, expected) << usage;
  }
}

TEST(KeyCodes, AnyIntIsSafe) {
  std::wstring name = L"stale";
  for (int value : kHostile) {
    EXPECT_EQ(HidUsageToKeyIndexCompact(value), 0) << value;
    EXPECT_EQ(HidUsageToKeyIndexFull(value), 0) << value;
    EXPECT_EQ(VirtualKeyToHidUsage(value), 0) << value;
    EXPECT_EQ(ModifierUsageToMask(value), value);
    HidUsageToKeyName(name, value);
    EXPECT_EQ(name, L"") << value;
  }
}
