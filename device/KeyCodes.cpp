#include "device/KeyCodes.h"

#include <array>
#include <utility>

namespace {

constexpr int kFirstUsage = 4;
constexpr int kLastIndexedUsage = 239;
constexpr int kLastNamedUsage = 230;

struct UsageIndex {
  uint8_t usage;
  uint8_t index;
};

// Built as arrays indexed by usage, from the (usage, index) lists as they are documented.
template <size_t N>
constexpr std::array<uint8_t, kLastIndexedUsage + 1> IndexTable(const UsageIndex (&entries)[N]) {
  std::array<uint8_t, kLastIndexedUsage + 1> table{};
  for (const UsageIndex& entry : entries) table[entry.usage] = entry.index;
  return table;
}

constexpr UsageIndex kCompactEntries[] = {
    {4, 56},    {5, 78},    {6, 76},   {7, 58},   {8, 40},   {9, 59},   {10, 60},  {11, 61},   {12, 45},
    {13, 62},   {14, 63},   {15, 64},  {16, 80},  {17, 79},  {18, 46},  {19, 47},  {20, 38},   {21, 41},
    {22, 57},   {23, 42},   {24, 44},  {25, 77},  {26, 39},  {27, 75},  {28, 43},  {29, 74},   {30, 20},
    {31, 21},   {32, 22},   {33, 23},  {34, 24},  {35, 25},  {36, 26},  {37, 27},  {38, 28},   {39, 29},
    {40, 85},   {41, 1},    {42, 103}, {43, 37},  {44, 94},  {45, 30},  {46, 31},  {47, 48},   {48, 49},
    {49, 67},   {50, 111},  {51, 65},  {52, 66},  {53, 19},  {54, 81},  {55, 82},  {56, 83},   {57, 55},
    {58, 2},    {59, 3},    {60, 4},   {61, 5},   {62, 6},   {63, 7},   {64, 8},   {65, 9},    {66, 10},
    {67, 11},   {68, 12},   {69, 13},  {70, 112}, {71, 113}, {72, 115}, {73, 116}, {74, 117},  {75, 118},
    {76, 119},  {77, 120},  {78, 121}, {79, 102}, {80, 99},  {81, 100}, {82, 101}, {100, 110}, {101, 97},
    {175, 96},  {223, 124}, {224, 91}, {225, 73}, {226, 93}, {227, 92}, {228, 98}, {229, 84},  {230, 95},
    {239, 109},
};

// The keyboard with keypad: its own complete list (the keypad moves Enter, the ISO key, Menu and
// Fn, and adds the keypad keys and three media keys).
constexpr UsageIndex kFullEntries[] = {
    {4, 56},   {5, 78},   {6, 76},    {7, 58},    {8, 40},   {9, 59},    {10, 60},  {11, 61},  {12, 45},
    {13, 62},  {14, 63},  {15, 64},   {16, 80},   {17, 79},  {18, 46},   {19, 47},  {20, 38},  {21, 41},
    {22, 57},  {23, 42},  {24, 44},   {25, 77},   {26, 39},  {27, 75},   {28, 43},  {29, 74},  {30, 20},
    {31, 21},  {32, 22},  {33, 23},   {34, 24},   {35, 25},  {36, 26},   {37, 27},  {38, 28},  {39, 29},
    {40, 67},  {41, 1},   {42, 103},  {43, 37},   {44, 94},  {45, 30},   {46, 31},  {47, 48},  {48, 49},
    {49, 85},  {51, 65},  {52, 66},   {53, 19},   {54, 81},  {55, 82},   {56, 83},  {57, 55},  {58, 2},
    {59, 3},   {60, 4},   {61, 5},    {62, 6},    {63, 7},   {64, 8},    {65, 9},   {66, 10},  {67, 11},
    {68, 12},  {69, 13},  {70, 112},  {71, 113},  {72, 115}, {73, 116},  {74, 117}, {75, 118}, {76, 119},
    {77, 120}, {78, 121}, {79, 102},  {80, 99},   {81, 100}, {82, 101},  {83, 32},  {84, 33},  {85, 34},
    {86, 122}, {87, 123}, {88, 106},  {89, 86},   {90, 87},  {91, 88},   {92, 68},  {93, 69},  {94, 70},
    {95, 50},  {96, 51},  {97, 52},   {98, 104},  {99, 105}, {100, 111}, {101, 96}, {175, 97}, {209, 14},
    {210, 15}, {211, 16}, {212, 109}, {223, 124}, {224, 91}, {225, 73},  {226, 93}, {227, 92}, {228, 98},
    {229, 84}, {230, 95}, {239, 109},
};

constexpr auto kCompact = IndexTable(kCompactEntries);
constexpr auto kFull = IndexTable(kFullEntries);

uint8_t Lookup(const std::array<uint8_t, kLastIndexedUsage + 1>& table, int usage) {
  return (usage >= kFirstUsage && usage <= kLastIndexedUsage) ? table[usage] : 0;
}

// Virtual keys that are neither letters, digits nor function keys.
constexpr std::pair<int, int> kVirtualKeys[] = {
    {13, 40},   {27, 41},   {8, 42},    {9, 43},    {32, 44},   {189, 45},  {187, 46},  {219, 47},
    {221, 48},  {220, 49},  {666, 50},  {186, 51},  {222, 52},  {192, 53},  {188, 54},  {190, 55},
    {191, 56},  {20, 57},   {44, 70},   {145, 71},  {19, 72},   {45, 73},   {36, 74},   {33, 75},
    {46, 76},   {35, 77},   {34, 78},   {39, 79},   {37, 80},   {40, 81},   {38, 82},   {144, 83},
    {111, 84},  {106, 85},  {109, 86},  {107, 87},  {108, 88},  {96, 98},   {110, 99},  {162, 224},
    {160, 225}, {164, 226}, {91, 227},  {163, 228}, {161, 229}, {165, 230}, {92, 231},  {93, 101},
    {254, 175}, {226, 100}, {136, 136}, {137, 137}, {138, 138}, {139, 139}, {301, 236}, {302, 235},
};

struct UsageName {
  int usage;
  const wchar_t* name;
};

// Names of the usages that are neither letters, digits nor F1-F12, spelled as the keyboard's own
// software shows them. 50 and 231 have none.
constexpr UsageName kSpecialNames[] = {
    {40, L"ENTER"},  {41, L"ESC"},     {42, L"backspace"}, {43, L"TAB"},    {44, L"SPACE"}, {45, L"-_"},
    {46, L"+="},     {47, L"[{"},      {48, L"]}"},        {49, L"\\"},     {51, L";:"},    {52, L"'"},
    {53, L"~`"},     {54, L"<,"},      {55, L">."},        {56, L"/?"},     {57, L"CAPS"},  {70, L"PRTSC"},
    {71, L"SCRLK"},  {72, L"PASE"},    {73, L"INS"},       {74, L"HOME"},   {75, L"PG UP"}, {76, L"DEL"},
    {77, L"END"},    {78, L"PG DN"},   {79, L"RIGHT"},     {80, L"LEFT"},   {81, L"DOWN"},  {82, L"UP"},
    {101, L"MENU"},  {175, L"FN"},     {224, L"CTRL"},     {225, L"SHIFT"}, {226, L"ALT"},  {227, L"WIN"},
    {228, L"RCTRL"}, {229, L"RSHIFT"}, {230, L"RALT"},
};

}  // namespace

uint8_t HidUsageToKeyIndexCompact(int usage) { return Lookup(kCompact, usage); }

uint8_t HidUsageToKeyIndexFull(int usage) { return Lookup(kFull, usage); }

int VirtualKeyToHidUsage(int virtualKey) {
  if (virtualKey >= 65 && virtualKey <= 90) return virtualKey - 61;    // A-Z
  if (virtualKey >= 49 && virtualKey <= 57) return virtualKey - 19;    // 1-9
  if (virtualKey == 48) return 39;                                     // 0
  if (virtualKey >= 112 && virtualKey <= 123) return virtualKey - 54;  // F1-F12
  if (virtualKey >= 124 && virtualKey <= 135) return virtualKey - 20;  // F13-F24
  if (virtualKey >= 97 && virtualKey <= 105) return virtualKey - 8;    // keypad 1-9
  for (const auto& [key, usage] : kVirtualKeys) {
    if (key == virtualKey) return usage;
  }
  return 0;
}

int ModifierUsageToMask(int usage) { return (usage >= 224 && usage <= 231) ? 1 << (usage - 224) : usage; }

void HidUsageToKeyName(std::wstring& out, int usage) {
  out.clear();
  if (usage < kFirstUsage || usage > kLastNamedUsage) return;
  if (usage <= 29) {
    out = static_cast<wchar_t>(L'A' + usage - 4);
  } else if (usage <= 38) {
    out = static_cast<wchar_t>(L'1' + usage - 30);
  } else if (usage == 39) {
    out = L"0";
  } else if (usage >= 58 && usage <= 69) {
    out = L"F" + std::to_wstring(usage - 57);
  } else {
    for (const UsageName& entry : kSpecialNames) {
      if (entry.usage == usage) out = entry.name;
    }
  }
}
