#include "keyboard/CaptureKeyName.h"

#include "platform/input/key_names.h"

namespace {

struct FixedName {
  int key;
  const wchar_t* name;
};

constexpr FixedName kPunctuation[] = {
    {0xC0, L"`~"}, {0xBD, L"-_"}, {0xBB, L"=+"}, {0xDB, L"[{"}, {0xDD, L"]}"}, {0xDC, L"\\|"},
    {0xBA, L";:"}, {0xDE, L"'\""}, {0xBC, L"<,"}, {0xBE, L">."}, {0xBF, L"?/"},
};

// Names that replace whatever the other rules gave, held modifiers included.
constexpr FixedName kOwnNames[] = {
    {0x5B, L"Windows"}, {0x5C, L"RWindows"},    {0x5D, L"Application"},
    {0x2C, L"Print Screen"}, {0x13, L"Pause"}, {0x90, L"Num Lock"},
};

bool IsModifier(int virtualKey) { return virtualKey >= 160 && virtualKey <= 165; }

}  // namespace

std::wstring ModifierKeyName(int virtualKey) {
  static const wchar_t* const kNames[] = {L"Shift", L"RShift", L"Ctrl", L"RCtrl", L"Alt", L"RAlt"};
  return IsModifier(virtualKey) ? kNames[virtualKey - 160] : L"";
}

std::wstring GetKeyName(int virtualKey, const HeldModifierMap& held, int* modifierKey) {
  std::wstring name = platform::input::KeyName(virtualKey);
  if (virtualKey >= 0x7C && virtualKey <= 0x87) name = L"F" + std::to_wstring(virtualKey - 0x6F);
  for (const FixedName& key : kPunctuation)
    if (key.key == virtualKey) name = key.name;

  if (!held.empty()) {
    std::wstring joined;
    for (const auto& [key, heldName] : held) joined += (joined.empty() ? L"" : L" + ") + heldName;
    if (modifierKey) *modifierKey = held.begin()->first;
    name = IsModifier(virtualKey) ? joined : joined + L" + " + name;
  } else if (IsModifier(virtualKey)) {
    name = ModifierKeyName(virtualKey);
  }

  for (const FixedName& key : kOwnNames)
    if (key.key == virtualKey) name = key.name;
  return name;
}
