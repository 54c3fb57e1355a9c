#include "keyboard/MacroEvents.h"

#include <algorithm>
#include <cwctype>

namespace macro_events {

int RecordedDelay(std::uint32_t now, std::uint32_t last) {
  const std::uint32_t elapsed = now - last;  // modulo 2^32
  return static_cast<int>(std::min<std::uint32_t>(elapsed, kMaxRecordedDelay));
}

int RecordingCapacity(int listedMacros, int storedRecords) { return (325 - listedMacros) * 2 - storedRecords; }

int ImageIndexOfType(int type) {
  switch (type) {
    case kKeyDown:
    case kMouseDown:
      return 0;
    case kKeyUp:
    case kMouseUp:
      return 1;
    default:
      return 2;
  }
}

int InsertPosition(int rows, int selected, bool after) {
  if (rows <= 0 || selected < 0 || selected >= rows - 1) return std::max(rows, 0);
  return after ? selected + 1 : selected;
}

namespace {

bool IsRelease(int type) { return type == kKeyUp || type == kMouseUp; }
bool IsPress(int type) { return type == kKeyDown || type == kMouseDown; }

}  // namespace

bool CanMoveUp(const std::vector<EventKey>& rows, int row) {
  if (row <= 0 || row >= static_cast<int>(rows.size())) return false;
  return !(IsRelease(rows[row].type) && rows[row - 1].value == rows[row].value);
}

bool CanMoveDown(const std::vector<EventKey>& rows, int row) {
  if (row < 0 || row + 1 >= static_cast<int>(rows.size())) return false;
  return !(IsPress(rows[row].type) && rows[row + 1].value == rows[row].value);
}

int FindPartner(const std::vector<EventKey>& rows, EventKey removed, int at) {
  const int count = static_cast<int>(rows.size());
  auto match = [&](int i, int type) { return rows[i].type == type && rows[i].value == removed.value; };
  switch (removed.type) {
    case kKeyDown:
    case kMouseDown: {
      const int release = removed.type == kKeyDown ? kKeyUp : kMouseUp;
      for (int i = std::max(at, 0); i < count; ++i)
        if (match(i, release)) return i;
      return -1;
    }
    case kKeyUp:
    case kMouseUp: {
      const int press = removed.type == kKeyUp ? kKeyDown : kMouseDown;
      for (int i = 0; i < std::min(at, count); ++i)
        if (match(i, press)) return i;
      return -1;
    }
    default:
      return -1;
  }
}

int ParseDelay(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    value = std::min<long long>(value * 10 + (text[i] - L'0'), kMaxDelay + 1LL);
  if (negative) return 0;
  return static_cast<int>(std::min<long long>(value, kMaxDelay));
}

}  // namespace macro_events
