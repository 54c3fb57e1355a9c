// The screen page's rules that need no window: time-stamp names and their collisions, the slot
// keys' step, delays, colours, list positions and slot folder names.
#include <gtest/gtest.h>

#include <set>

#include "lighting/LcdLogic.h"

namespace {

using lcd_logic::SlotKeyStep;

TEST(LcdLogicTest, NamesAreSeventeenDigitsAndStepPastTakenMilliseconds) {
  EXPECT_EQ(lcd_logic::TimeName(LocalTime{2026, 3, 5, 7, 8, 9, 42}), L"20260305070809042");
  // The carry runs through every field, with February's length in leap and other years.
  EXPECT_EQ(lcd_logic::TimeName(lcd_logic::AddMillisecond(LocalTime{2026, 12, 31, 23, 59, 59, 999})),
            L"20270101000000000");
  EXPECT_EQ(lcd_logic::TimeName(lcd_logic::AddMillisecond(LocalTime{2024, 2, 28, 23, 59, 59, 999})),
            L"20240229000000000");
  EXPECT_EQ(lcd_logic::TimeName(lcd_logic::AddMillisecond(LocalTime{2026, 2, 28, 23, 59, 59, 999})),
            L"20260301000000000");

  std::set<std::wstring> taken = {L"20260305070809998", L"20260305070809999"};
  const auto isTaken = [&](const std::wstring& name) { return taken.count(name) > 0; };
  EXPECT_EQ(lcd_logic::FreeTimeName(LocalTime{2026, 3, 5, 7, 8, 9, 998}, isTaken), L"20260305070810000");
  EXPECT_EQ(lcd_logic::FreeTimeName(LocalTime{2026, 3, 5, 7, 8, 9, 997}, isTaken), L"20260305070809997");
  EXPECT_EQ(lcd_logic::FreeTimeName(
                LocalTime{}, [](const std::wstring&) { return true; }, 5),
            std::nullopt)
      << "bounded when everything is taken";
}

TEST(LcdLogicTest, SlotKeysWrapSelectAndIgnoreWhatLiesBeyondTheList) {
  struct Case {
    int action, value, current, count;
    std::optional<SlotKeyStep> step;
  };
  const auto to = [](int index, bool download) {
    return std::optional<SlotKeyStep>(SlotKeyStep{index, download});
  };
  const Case cases[] = {
      {1, 0, 0, 3, to(1, true)},
      {1, 0, 2, 3, to(0, true)},    // next on the last: the first
      {255, 0, 0, 3, to(2, true)},  // previous on the first: the last
      {255, 0, 2, 3, to(1, true)},
      {255, 3, 0, 3, to(2, true)},   // slot 3 counted from 1
      {0, 3, 0, 3, to(2, false)},    // selected only
      {255, 4, 0, 3, std::nullopt},  // beyond the list
      {0, 4, 0, 3, std::nullopt},
      {0, 0, 0, 3, std::nullopt},
      {1, 2, 0, 3, std::nullopt},  // next with a value
      {7, 1, 0, 3, std::nullopt},  // unknown action
      {1, 0, 0, 0, std::nullopt},  // no slot
      {255, 0, 0, 0, std::nullopt},
      {1, 0, 9, 3, to(0, true)},  // a position left beyond the list counts as the last
      {255, 0, 9, 3, to(1, true)},
      {1, 0, 0, 1, to(0, true)},
  };
  for (const Case& c : cases) {
    const auto step = lcd_logic::StepSlotKey(c.action, c.value, c.current, c.count);
    ASSERT_EQ(step.has_value(), c.step.has_value()) << c.action << "," << c.value << "," << c.current;
    if (step) {
      EXPECT_EQ(step->index, c.step->index) << c.action << "," << c.value << "," << c.current;
      EXPECT_EQ(step->download, c.step->download) << c.action << "," << c.value;
    }
  }
}

TEST(LcdLogicTest, DelaysColoursAndPositions) {
  EXPECT_EQ(lcd_logic::ClampDelay(L""), 30);
  EXPECT_EQ(lcd_logic::ClampDelay(L"10"), 30);
  EXPECT_EQ(lcd_logic::ClampDelay(L"120"), 120);
  EXPECT_EQ(lcd_logic::ClampDelay(L"900"), 500);
  EXPECT_EQ(lcd_logic::ClampDelay(L"99999999999"), 500);

  EXPECT_EQ(lcd_logic::PackColor(1, 2, 3), 0x030201u);
  EXPECT_EQ(lcd_logic::PackColor(256 + 5, 511, -1), 0xFFFF05u) << "each channel modulo 256";
  const std::uint32_t color = lcd_logic::PackColor(255, 128, 7);
  EXPECT_EQ(lcd_logic::ColorText(color), L"491775");
  EXPECT_EQ(lcd_logic::ColorFromText(lcd_logic::ColorText(color)), color);
  EXPECT_EQ(lcd_logic::ColorFromText(L""), 0u);
  EXPECT_EQ(lcd_logic::ClampChannel(L"300"), 255);

  EXPECT_EQ(lcd_logic::InsertPosition(-1, 0), 0);
  EXPECT_EQ(lcd_logic::InsertPosition(-1, 4), 4);
  EXPECT_EQ(lcd_logic::InsertPosition(1, 4), 2);
  EXPECT_EQ(lcd_logic::InsertPosition(3, 4), 4);
  EXPECT_EQ(lcd_logic::SelectionAfterDelete(1, 4), 1) << "the frame that took its place";
  EXPECT_EQ(lcd_logic::SelectionAfterDelete(3, 4), 0) << "the last: the first";
  EXPECT_EQ(lcd_logic::SelectionAfterDelete(0, 1), -1) << "the only one: nothing";
}

TEST(LcdLogicTest, OnlyPlainNamesMakeSlotFolders) {
  for (const wchar_t* bad : {L"", L".", L"..", L"a/b", L"..\\x", L"/"}) {
    EXPECT_FALSE(lcd_logic::IsPlainName(bad)) << bad;
    EXPECT_EQ(lcd_logic::SlotFolder(L"/w/", bad), std::nullopt) << bad;
  }
  EXPECT_FALSE(lcd_logic::IsPlainName(std::wstring(L"a\0b", 3)));
  EXPECT_EQ(lcd_logic::SlotFolder(L"/w/", L"20260305070809042"), L"/w/led/20260305070809042/");
  EXPECT_EQ(lcd_logic::SlotFolder(L"/w", L"x..y"), L"/w/led/x..y/");
  EXPECT_EQ(lcd_logic::SlotFolder(L"", L"x"), std::nullopt);
}

}  // namespace
