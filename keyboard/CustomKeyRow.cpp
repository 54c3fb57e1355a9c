#include "keyboard/CustomKeyRow.h"

#include <algorithm>

#include "common/strings.h"
#include "device/KeyCodes.h"
#include "device/KeyMap.h"

namespace {

constexpr int kWindowsLeft = 0x5B;
constexpr int kWindowsRight = 0x5C;
constexpr int kWinMask = 8;

std::wstring Join(const std::wstring& a, const std::wstring& b) {
  if (!a.empty() && !b.empty()) return a + L" + " + b;
  return a.empty() ? b : a;
}

void FillCapturedKey(const CustomKeyState& s, KeyDataRow& row) {
  row.macrovalue = VirtualKeyToHidUsage(s.mainKey);
  row.macro2value = (s.ctrl ? 1 : 0) | (s.shift ? 2 : 0) | (s.alt ? 4 : 0) | (s.win ? kWinMask : 0);
  // A Windows key reported by the blocker: a modifier of the captured key, or the key itself.
  if (s.modifierKey == kWindowsLeft || s.modifierKey == kWindowsRight) {
    if (row.macrovalue != 0)
      row.macro2value |= kWinMask;
    else
      row.macrovalue = VirtualKeyToHidUsage(s.modifierKey);
  }
  std::wstring modifiers;
  auto add = [&modifiers](bool ticked, const wchar_t* name) {
    if (!ticked) return;
    modifiers += modifiers.empty() ? std::wstring(name) : std::wstring(L"+ ") + name;
  };
  add(s.shift, L"Shift");
  add(s.ctrl, L"Ctrl");
  add(s.win, L"Win");
  add(s.alt, L"Alt");
  row.macrodesc = Join(modifiers, s.keyText);
}

void FillSequence(const CustomKeyState& s, KeyDataRow& row) {
  row.macrovalue = VirtualKeyToHidUsage(s.mainKey);
  row.macro2value = VirtualKeyToHidUsage(s.sequenceKey2);
  row.macro3value = VirtualKeyToHidUsage(s.sequenceKey3);
  if (s.captureMode < 6 || s.captureMode > 8) return;
  const std::wstring* t = s.sequenceTexts;
  if (s.sequenceKey3)
    row.macrodesc = t[0] + L" + " + t[1] + L" + " + t[2];
  else if (s.sequenceKey2)
    row.macrodesc = t[0] + L" + " + t[1];
  else if (s.mainKey)
    row.macrodesc = t[0];
}

}  // namespace

int RepeatCount(const std::wstring& text) { return std::clamp(text.empty() ? 1 : WToI(text), 1, 255); }

CustomKeyResult BuildCustomKeyRow(const CustomKeyState& s) {
  CustomKeyResult result;
  KeyDataRow& row = result.row;
  row.profile = s.profile;
  row.keyvalue = s.key;
  row.fnlayer = s.fnLayer;
  row.macrotype = s.type;
  switch (s.type) {
    case KeyFuncKey:
    case KeyFuncKeySequence:
      if (s.type == KeyFuncKey)
        FillCapturedKey(s, row);
      else
        FillSequence(s, row);
      result.stayOpen = row.macrovalue == 0 && row.macro2value == 0;
      break;
    case KeyFuncMacro:
      if (!s.hasListItem) break;
      row.macrovalue = static_cast<int>(s.listData);
      row.macrodesc = s.listText;
      row.macro2value = s.playOption;
      if (s.playOption == 1) row.macro3value = RepeatCount(s.repeatText);
      result.stayOpen = false;
      break;
    case KeyFuncMouse:
    case KeyFuncMedia:
    case KeyFuncShortcut:
      if (!s.hasListItem) break;
      row.macrovalue = static_cast<int>(s.listData);
      row.macrodesc = s.listText;
      result.stayOpen = false;
      break;
    case KeyFuncProgram:
    case KeyFuncWebAddress:
    case KeyFuncText:
      if (s.keyText.empty() || (s.type == KeyFuncProgram && s.programPath.empty())) break;
      row.macrodesc = s.keyText;
      result.action = KeyActionRow{s.keyText, s.type == KeyFuncProgram ? s.programPath : L"", s.type};
      result.stayOpen = false;
      break;
    case KeyFuncProfileSwitch:
      if (!s.hasListItem || s.listText.empty()) break;
      row.macrodesc = s.listText;
      result.action = KeyActionRow{s.listText, std::to_wstring(s.listData), s.type};
      result.stayOpen = false;
      break;
    default:
      break;
  }
  return result;
}
