#include "lighting/LcdLogic.h"

#include <algorithm>

#include "common/strings.h"

namespace lcd_logic {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::wstring TimeName(const LocalTime& time) {
  return FormatW(L"%04d%02d%02d%02d%02d%02d%03d", time.year, time.month, time.day, time.hour, time.minute,
                 time.second, time.millisecond);
}

LocalTime AddMillisecond(LocalTime time) {
  if (++time.millisecond < 1000) return time;
  time.millisecond = 0;
  if (++time.second < 60) return time;
  time.second = 0;
  if (++time.minute < 60) return time;
  time.minute = 0;
  if (++time.hour < 24) return time;
  time.hour = 0;
  if (++time.day <= DaysInMonth(time.year, time.month)) return time;
  time.day = 1;
  if (++time.month <= 12) return time;
  time.month = 1;
  ++time.year;
  return time;
}

std::optional<std::wstring> FreeTimeName(const LocalTime& start,
                                         const std::function<bool(const std::wstring& name)>& taken,
                                         int maxTries) {
  LocalTime time = start;
  for (int i = 0; i < maxTries; ++i, time = AddMillisecond(time)) {
    std::wstring name = TimeName(time);
    if (!taken || !taken(name)) return name;
  }
  return std::nullopt;
}

std::optional<SlotKeyStep> StepSlotKey(int action, int value, int current, int count) {
  if (count < 1) return std::nullopt;
  const int last = count - 1;
  const int from = std::clamp(current, 0, last);
  switch (action) {
    case 1:
      if (value != 0) return std::nullopt;
      return SlotKeyStep{from >= last ? 0 : from + 1, true};
    case 255:
      if (value == 0) return SlotKeyStep{from <= 0 ? last : from - 1, true};
      if (value < 0 || value > count) return std::nullopt;
      return SlotKeyStep{value - 1, true};
    case 0:
      if (value <= 0 || value > count) return std::nullopt;
      return SlotKeyStep{value - 1, false};
    default:
      return std::nullopt;
  }
}

int ClampDelay(const std::wstring& text) { return std::clamp(WToI(text), kDelayMinMs, kDelayMaxMs); }

std::uint32_t PackColor(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red & 0xFF) | static_cast<std::uint32_t>(green & 0xFF) << 8 |
         static_cast<std::uint32_t>(blue & 0xFF) << 16;
}

int RedOf(std::uint32_t color) { return static_cast<int>(color & 0xFF); }
int GreenOf(std::uint32_t color) { return static_cast<int>(color >> 8 & 0xFF); }
int BlueOf(std::uint32_t color) { return static_cast<int>(color >> 16 & 0xFF); }

std::wstring ColorText(std::uint32_t color) { return FormatW(L"%d", static_cast<int>(color & 0xFFFFFF)); }

std::uint32_t ColorFromText(const std::wstring& text) {
  return static_cast<std::uint32_t>(WToI(text)) & 0xFFFFFF;
}

int ClampChannel(const std::wstring& text) { return std::clamp(WToI(text), 0, 255); }

int InsertPosition(int selected, int count) {
  if (count < 0) count = 0;
  return selected < 0 || selected >= count ? count : selected + 1;
}

int SelectionAfterDelete(int removed, int countBefore) {
  const int left = countBefore - 1;
  if (left <= 0) return -1;
  return removed >= 0 && removed < left ? removed : 0;
}

std::vector<LedFrameRow> NumberedFrameRows(int ledId, int count, const std::vector<int>& delays) {
  std::vector<LedFrameRow> rows;
  for (int i = 0; i < count; ++i) {
    const std::wstring name = FormatW(L"%d.png", i);
    const int delay = i < static_cast<int>(delays.size()) ? delays[static_cast<size_t>(i)] : 100;
    rows.push_back(LedFrameRow{0, ledId, name, delay, i, name});
  }
  return rows;
}

bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(std::wstring(L"/\\\0", 3)) == std::wstring::npos;
}

std::optional<std::wstring> SlotFolder(const std::wstring& work, const std::wstring& name) {
  if (work.empty() || !IsPlainName(name)) return std::nullopt;
  std::wstring folder = work;
  if (folder.back() != L'/') folder += L'/';
  return folder + L"led/" + name + L"/";
}

}  // namespace lcd_logic
