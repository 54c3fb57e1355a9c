// The rules of the macro event list that need no window: the delay recorded before an event, the
// recording capacity, where inserted events go, when a move is refused, which event goes with a
// deleted one, and how typed delays are read. The list order is the order the rows show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace macro_events {

// Event types of a macro record.
inline constexpr int kDelay = 1;
inline constexpr int kKeyDown = 2;
inline constexpr int kKeyUp = 3;
inline constexpr int kMouseDown = 4;
inline constexpr int kMouseUp = 5;

// The longest recorded pause, in milliseconds.
inline constexpr int kMaxRecordedDelay = 31000;
// The range a delay of the macro image holds.
inline constexpr int kMaxDelay = 65535;

// The pause between two ticks of a millisecond clock that wraps at 2^32, capped at 31000.
int RecordedDelay(std::uint32_t now, std::uint32_t last);

// Events that may still be recorded: two per macro slot left of 325, less every stored event.
int RecordingCapacity(int listedMacros, int storedRecords);

// The image of an event row: 0 press (key or button), 1 release, 2 delay.
int ImageIndexOfType(int type);

// The row at which inserted events begin, in a list of `rows` rows with row `selected` selected
// (-1: none): the end of the list when it is empty, nothing is selected or the last row is
// selected; else before the selected row, or after it when `after`.
int InsertPosition(int rows, int selected, bool after);

// A row of the list as the rules see it.
struct EventKey {
  int type = 0;
  int value = 0;
};

// Whether row `row` may move up (down): not the first (last) row, and not a release whose
// neighbour above (a press whose neighbour below) has the same value, whatever its type.
bool CanMoveUp(const std::vector<EventKey>& rows, int row);
bool CanMoveDown(const std::vector<EventKey>& rows, int row);

// After `removed` (an event of the given type and value) was taken out at position `at` of
// `rows` (the list without it): the row of its partner, or -1. A press takes the first matching
// release at or below `at`; a release the first matching press from the top, above `at`.
int FindPartner(const std::vector<EventKey>& rows, EventKey removed, int at);

// A typed delay: the leading decimal number of `text` (blanks and a sign allowed), clamped to
// 0..65535; text without digits reads as 0.
int ParseDelay(const std::wstring& text);

}  // namespace macro_events
