// The screen page's rules that need no window: time-stamp names of slots and frames, the slot
// keys' step through the slot list, frame delays, palette colours, list positions after an
// insert, copy or delete, and the folder names a slot may have.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/SystemPackets.h"
#include "storage/config_rows.h"

namespace lcd_logic {

// Frame delays the delay dialog accepts, in ms, and the delay of a picture added from a file.
inline constexpr int kDelayMinMs = 30;
inline constexpr int kDelayMaxMs = 500;
inline constexpr int kAddedPictureDelayMs = 50;

// "%04d%02d%02d%02d%02d%02d%03d": year, month, day, hour, minute, second, millisecond.
std::wstring TimeName(const LocalTime& time);
// `time` one millisecond later, carried through seconds, minutes, hours, days (month lengths and
// leap years included), months and years.
LocalTime AddMillisecond(LocalTime time);
// The name of `start`, or of the first millisecond after it whose name `taken` refuses not.
// Nullopt when every name of the next `maxTries` milliseconds is taken.
std::optional<std::wstring> FreeTimeName(const LocalTime& start,
                                         const std::function<bool(const std::wstring& name)>& taken,
                                         int maxTries = 100000);

// What a slot key of the keyboard asks of the slot list.
struct SlotKeyStep {
  int index = 0;          // list position to select
  bool download = false;  // then send that slot
};
// action 1 (next, value 0), 255 (previous with value 0, or slot `value` counted from 1) and 0
// (select slot `value` counted from 1, nothing sent). `current` is the keyboard's own position; one
// beyond the list counts as the last item, a negative one as the first. Nullopt for requests that
// are ignored: no slot, a value beyond the list, unknown actions and values.
std::optional<SlotKeyStep> StepSlotKey(int action, int value, int current, int count);

// A typed delay: its number as _wtoi reads it (empty: 0) clamped to 30..500.
int ClampDelay(const std::wstring& text);

// Palette colours: red + 256 x green + 65536 x blue, each channel taken modulo 256.
std::uint32_t PackColor(int red, int green, int blue);
int RedOf(std::uint32_t color);
int GreenOf(std::uint32_t color);
int BlueOf(std::uint32_t color);
// A colour as stored ("%d") and as read back (_wtoi; only the low 24 bits count).
std::wstring ColorText(std::uint32_t color);
std::uint32_t ColorFromText(const std::wstring& text);
// A channel typed into a colour edit: _wtoi clamped to 0..255.
int ClampChannel(const std::wstring& text);

// Where a picture added behind the selection goes: after `selected`, or at the end with no
// selection (negative or beyond the list).
int InsertPosition(int selected, int count);
// The selection after the item at `removed` of `countBefore` items was deleted: the item that took
// its place, the first when it was the last, -1 when the list is empty now.
int SelectionAfterDelete(int removed, int countBefore);

// The frame rows of a decoded GIF: position i named "%d.png" of i (name and file name), with
// delay i (100 ms where `delays` has none).
std::vector<LedFrameRow> NumberedFrameRows(int ledId, int count, const std::vector<int>& delays);

// A slot folder or frame file name that stays inside its parent: not empty, not "." or "..",
// without '/' or '\\' (nor a NUL).
bool IsPlainName(const std::wstring& name);
// The working folder's slot folder "<work>led/<name>/" (a '/' added to `work` when missing);
// nullopt for an empty working folder or a name that is not plain.
std::optional<std::wstring> SlotFolder(const std::wstring& work, const std::wstring& name);

}  // namespace lcd_logic
