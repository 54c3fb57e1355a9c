// Which key events halvorn reports, without an X server.
#include "blocker/win_key_event.h"

#include <gtest/gtest.h>

namespace {

using namespace blocker;

TEST(WinKeyEventTest, OnlyTheSuperKeysAreGrabbedAndReported) {
  EXPECT_EQ(VirtualKeyForKeysym(0xFFEB), 0x5Bu);
  EXPECT_EQ(VirtualKeyForKeysym(0xFFEC), 0x5Cu);
  for (unsigned long other : {0ul, 0xFFE7ul, 0xFFE9ul, 0xFFEDul, 0xFFEEul, 0xFF67ul, 0x61ul})
    EXPECT_EQ(VirtualKeyForKeysym(other), 0u) << std::hex << other << " (Meta, Alt, Hyper, Menu, a)";

  // Two key codes may carry Super_L (as in the usual maps); keys whose first keysym is another
  // one stay free.
  const std::vector<GrabbedKey> keys =
      KeysToGrab({{38, 0x61}, {133, 0xFFEB}, {134, 0xFFEC}, {206, 0}, {207, 0xFFEB}, {64, 0xFFE9}});
  EXPECT_EQ(keys, (std::vector<GrabbedKey>{{133, 0x5B}, {134, 0x5C}, {207, 0x5B}}));
  EXPECT_TRUE(KeysToGrab({{38, 0x61}, {0, 0}}).empty());

  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Press, 133), 0x5Bu);
  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Release, 133), 0x5Bu) << "releases are posted too";
  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Press, 134), 0x5Cu);
  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Release, 207), 0x5Bu);
  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Press, 38), std::nullopt)
      << "a key pressed while Super is held";
  EXPECT_EQ(VirtualKeyToPost(keys, KeyEventKind::Other, 133), std::nullopt);
  EXPECT_EQ(VirtualKeyToPost({}, KeyEventKind::Press, 133), std::nullopt);
}

}  // namespace
