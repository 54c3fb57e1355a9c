// The rules of the macro event list: delays before recorded events, capacity, insert positions,
// move guards, delete partners and typed delays.
#include <gtest/gtest.h>

#include <climits>

#include "keyboard/MacroEvents.h"

namespace {

using namespace macro_events;

TEST(MacroEventsTest, RecordedDelaysAreCappedAndSurviveTheTickWrapping) {
  EXPECT_EQ(RecordedDelay(1500, 1000), 500);
  EXPECT_EQ(RecordedDelay(41000, 1000), 31000) << "a pause of 40 s";
  EXPECT_EQ(RecordedDelay(0, 0), 0);
  EXPECT_EQ(RecordedDelay(99, UINT32_MAX - 100), 200) << "the tick wrapped";
  EXPECT_EQ(RecordedDelay(0, 1), 31000) << "a tick running backwards is a wrap, capped";
}

TEST(MacroEventsTest, CapacityCountsTwoEventsPerFreeSlotLessTheStoredOnes) {
  EXPECT_EQ(RecordingCapacity(0, 0), 650);
  EXPECT_EQ(RecordingCapacity(5, 620), 20);
  EXPECT_EQ(RecordingCapacity(5, 631), 9);
}

TEST(MacroEventsTest, InsertPositions) {
  struct Case {
    int rows, selected;
    bool after;
    int expected;
  };
  for (const Case& c : {Case{0, -1, false, 0}, Case{0, -1, true, 0}, Case{4, -1, false, 4}, Case{4, 1, false, 1},
                        Case{4, 1, true, 2}, Case{4, 3, false, 4}, Case{4, 3, true, 4}, Case{4, 0, false, 0},
                        Case{1, 0, false, 1}})
    EXPECT_EQ(InsertPosition(c.rows, c.selected, c.after), c.expected)
        << c.rows << " rows, row " << c.selected << (c.after ? " after" : " before");
}

TEST(MacroEventsTest, MovesKeepAReleaseBelowAndAPressAboveAnEqualValue) {
  const std::vector<EventKey> rows = {{kKeyDown, 65}, {kDelay, 65}, {kKeyUp, 65}, {kKeyDown, 66}, {kMouseUp, 66}};
  EXPECT_FALSE(CanMoveUp(rows, 0));
  EXPECT_FALSE(CanMoveUp(rows, 2)) << "the event above has the same value, whatever its type";
  EXPECT_TRUE(CanMoveUp(rows, 1));
  EXPECT_FALSE(CanMoveUp(rows, 4)) << "a button release";
  EXPECT_TRUE(CanMoveUp(rows, 3)) << "a press may move up";
  EXPECT_FALSE(CanMoveDown(rows, 0));
  EXPECT_TRUE(CanMoveDown(rows, 1));
  EXPECT_FALSE(CanMoveDown(rows, 3));
  EXPECT_FALSE(CanMoveDown(rows, 4)) << "the last row";
  EXPECT_FALSE(CanMoveDown(rows, 7));
  EXPECT_FALSE(CanMoveUp(rows, -1));
}

TEST(MacroEventsTest, DeletePartners) {
  // After removing a row at `at`, the list that is left.
  const std::vector<EventKey> left = {{kKeyDown, 65}, {kDelay, 10}, {kKeyDown, 65}, {kKeyUp, 65}, {kMouseUp, 1}};
  EXPECT_EQ(FindPartner(left, {kKeyDown, 65}, 3), 3) << "a press takes the first release at or below";
  EXPECT_EQ(FindPartner(left, {kKeyDown, 66}, 0), -1);
  EXPECT_EQ(FindPartner(left, {kKeyUp, 65}, 5), 0) << "a release takes the first press from the top";
  EXPECT_EQ(FindPartner(left, {kKeyUp, 65}, 0), -1) << "only above the removed row";
  EXPECT_EQ(FindPartner(left, {kMouseDown, 1}, 0), 4);
  EXPECT_EQ(FindPartner(left, {kKeyDown, 1}, 0), -1) << "a key press never takes a button release";
  EXPECT_EQ(FindPartner(left, {kDelay, 10}, 0), -1);
}

TEST(MacroEventsTest, TypedDelaysAreClampedToTheImageRange) {
  struct Case {
    const wchar_t* text;
    int expected;
  };
  for (const Case& c : {Case{L"25", 25}, Case{L"", 0}, Case{L"abc", 0}, Case{L"-40", 0}, Case{L"65535", 65535},
                        Case{L"65536", 65535}, Case{L"99999999999999999999", 65535}, Case{L" 12ms", 12},
                        Case{L"+7", 7}})
    EXPECT_EQ(ParseDelay(c.text), c.expected) << "\"" << std::string(c.text, c.text + wcslen(c.text)) << "\"";
}

}  // namespace
