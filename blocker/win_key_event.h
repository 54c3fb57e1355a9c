// Which X key events the blocker reports: the pure part of halvorn, without Xlib. A key code is
// grabbed when its first keysym is a Super key; each press and release of a grabbed key code is
// posted as the Windows virtual key of that Super key.
#pragma once

#include <optional>
#include <utility>
#include <vector>

namespace blocker {

inline constexpr unsigned long kKeysymSuperL = 0xFFEB;  // XK_Super_L
inline constexpr unsigned long kKeysymSuperR = 0xFFEC;  // XK_Super_R
inline constexpr unsigned kVkLeftWindows = 0x5B;
inline constexpr unsigned kVkRightWindows = 0x5C;

// VK_LWIN for Super_L, VK_RWIN for Super_R, 0 for every other keysym.
unsigned VirtualKeyForKeysym(unsigned long keysym);

struct GrabbedKey {
  unsigned keycode = 0;
  unsigned vk = 0;
  bool operator==(const GrabbedKey&) const = default;
};

// The key codes to grab, in the order given, from (key code, first keysym) pairs.
std::vector<GrabbedKey> KeysToGrab(const std::vector<std::pair<unsigned, unsigned long>>& firstKeysyms);

enum class KeyEventKind { Press, Release, Other };

// The virtual key to post for an event: the grabbed key's VK for its press or release; nothing
// for other key codes and other events.
std::optional<unsigned> VirtualKeyToPost(const std::vector<GrabbedKey>& grabbed, KeyEventKind kind,
                                         unsigned keycode);

}  // namespace blocker
