#include "keyboard/RawInput.h"

#include <map>
#include <memory>
#include <mutex>

#include "keyboard/KeyboardLog.h"
#include "platform/input/key_names.h"
#include "platform/input/raw_input.h"
#include "zuvi/manager.h"

namespace in = platform::input;

namespace {

std::mutex g_lock;
std::map<HWND, std::unique_ptr<in::Subscription>>& Subscriptions() {
  static std::map<HWND, std::unique_ptr<in::Subscription>> subscriptions;
  return subscriptions;
}

struct Button {
  int flag;
  const wchar_t* name;
  int code;
  int up;
};

// Tested in this order; the first match is taken.
constexpr Button kButtons[] = {
    {in::kLeftDown, L"mouse_left", 1, 0},       {in::kMiddleDown, L"mouse_middle", 2, 0},
    {in::kRightDown, L"mouse_right", 3, 0},     {in::kLeftUp, L"mouse_left", 1, 1},
    {in::kMiddleUp, L"mouse_middle", 2, 1},     {in::kRightUp, L"mouse_right", 3, 1},
    {in::kButton4Down, L"mouse_button4", 7, 0}, {in::kButton4Up, L"mouse_button4", 8, 1},
    {in::kButton5Down, L"mouse_button5", 7, 0}, {in::kButton5Up, L"mouse_button5", 8, 1},
};

struct FixedKey {
  int key;
  int code;
  const wchar_t* name;
};

// Keys whose name does not come from the key-name table; the three generic modifiers are stored
// as their left-hand codes.
constexpr FixedKey kFixedKeys[] = {
    {16, 160, L"Shift"},    {17, 162, L"Ctrl"},       {18, 164, L"Alt"},           {160, 160, L"Shift"},
    {161, 161, L"RShift"},  {162, 162, L"Ctrl"},      {163, 163, L"RCtrl"},        {164, 164, L"Alt"},
    {165, 165, L"RAlt"},    {91, 91, L"Windows"},     {92, 92, L"RWindows"},       {93, 93, L"Application"},
    {44, 44, L"Print Screen"}, {19, 19, L"Pause"},    {144, 144, L"Num Lock"},
};

}  // namespace

void RegisterRawInput(HWND hwnd) {
  if (!hwnd) return;
  std::lock_guard guard(g_lock);
  auto& subscriptions = Subscriptions();
  if (subscriptions.count(hwnd)) return;
  auto post = [hwnd](const in::RawInputRecord& record) {
    PostMessage(hwnd, WM_INPUT, 0, in::PackRecord(record));
  };
  std::unique_ptr<in::Subscription> subscription = in::UserRawInput().Subscribe(post);
  if (!subscription) subscription = in::UserRawInput().Subscribe(post);
  if (!subscription) {
    KeyboardLog("raw input: not available on this desktop (recording needs an X11 session)");
    return;
  }
  subscriptions[hwnd] = std::move(subscription);
}

void UnregisterRawInput(HWND hwnd) {
  std::unique_ptr<in::Subscription> ended;
  {
    std::lock_guard guard(g_lock);
    auto it = Subscriptions().find(hwnd);
    if (it == Subscriptions().end()) return;
    ended = std::move(it->second);
    Subscriptions().erase(it);
  }
  ended.reset();  // outside the lock: it waits for a callback that may be posting
}

bool HasRawInput(HWND hwnd) {
  std::lock_guard guard(g_lock);
  return Subscriptions().count(hwnd) > 0;
}

void ParseRawInput(LPARAM rawInput, RawInputEvent* out) {
  in::RawInputRecord record;
  if (!out || !in::UnpackRecord(rawInput, &record)) return;
  out->kind = record.kind;
  if (record.kind == in::kKindMouse) {
    for (const Button& button : kButtons)
      if (record.buttonFlags & button.flag) {
        out->name = button.name;
        out->code = button.code;
        out->up = button.up;
        return;
      }
    return;
  }
  if (record.kind != in::kKindKeyboard) return;
  out->up = (record.keyMessage == in::kKeyUpMessage || record.keyMessage == in::kSysKeyUpMessage) ? 1 : 0;
  out->code = record.virtualKey;
  for (const FixedKey& key : kFixedKeys)
    if (key.key == record.virtualKey) {
      out->code = key.code;
      out->name = key.name;
      return;
    }
  out->name = in::KeyName(record.virtualKey);
}
