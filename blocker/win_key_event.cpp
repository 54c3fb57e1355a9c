#include "blocker/win_key_event.h"

namespace blocker {

unsigned VirtualKeyForKeysym(unsigned long keysym) {
  if (keysym == kKeysymSuperL) return kVkLeftWindows;
  if (keysym == kKeysymSuperR) return kVkRightWindows;
  return 0;
}

std::vector<GrabbedKey> KeysToGrab(const std::vector<std::pair<unsigned, unsigned long>>& firstKeysyms) {
  std::vector<GrabbedKey> keys;
  for (const auto& [keycode, keysym] : firstKeysyms)
    if (const unsigned vk = VirtualKeyForKeysym(keysym)) keys.push_back(GrabbedKey{keycode, vk});
  return keys;
}

std::optional<unsigned> VirtualKeyToPost(const std::vector<GrabbedKey>& grabbed, KeyEventKind kind,
                                         unsigned keycode) {
  if (kind == KeyEventKind::Other) return std::nullopt;
  for (const GrabbedKey& key : grabbed)
    if (key.keycode == keycode) return key.vk;
  return std::nullopt;
}

}  // namespace blocker
