// The light effects at chosen moments, with the expected frames worked out by hand.
#include "zuvi/light_effect.h"

#include <gtest/gtest.h>

namespace {

using namespace light_effect;

TEST(LightEffect, TheHueWheelTheBreathingCurveAndThePhase) {
  EXPECT_EQ(Hue(0), 0x0000FFu);    // red
  EXPECT_EQ(Hue(43), 0x00FFFDu);   // h 258: second sector, f 2 -> (253, 255, 0)
  EXPECT_EQ(Hue(85), 0x00FF01u);   // h 510: f 254 -> (1, 255, 0)
  EXPECT_EQ(Hue(128), 0xFFFF00u);  // h 768: fourth sector, f 0 -> (0, 255, 255)
  EXPECT_EQ(Hue(255), 0x0500FFu);  // h 1530: last sector, f 250 -> (255, 0, 5)
  EXPECT_EQ(Triangle(0), 0);
  EXPECT_EQ(Triangle(127), 254);
  EXPECT_EQ(Triangle(128), 254);
  EXPECT_EQ(Triangle(255), 0);
  EXPECT_EQ(Phase(1000, 3), 15);                    // 4000 / 256
  EXPECT_EQ(Phase(65536, 0), 0);                    // 256 comes round to 0
  EXPECT_EQ(Phase(std::int64_t{1} << 40, 255), 0);  // 2^48 / 256 in 64 bits
}

TEST(LightEffect, EachEffectsFrameAtAMoment) {
  const Key keys[] = {
      {RECT{0, 0, 10, 10}, 0x123456, 0, 0},    // off
      {RECT{0, 0, 10, 10}, 0xFF123456, 1, 0},  // steady: only the low 24 bits are a colour
      {RECT{50, 0, 60, 10}, 0xAABBCC, 7, 0},   // breathing in its colour
      {RECT{50, 0, 60, 10}, 0xAABBCC, 7, 1},   // breathing through the hues
      {RECT{0, 0, 10, 10}, 0, 2, 0},           // the sweep at the left edge
      {RECT{100, 0, 110, 10}, 0, 99, 0},       // an unknown effect sweeps too, at the right edge
  };
  const std::vector<Frame> frames = Frames(keys, 1000, 3);  // phase 15
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[0], (Frame{0, 0, 0}));
  EXPECT_EQ(frames[1], (Frame{0x123456, 1, 255}));
  EXPECT_EQ(frames[2], (Frame{0xAABBCC, 7, 30}));
  EXPECT_EQ(frames[3], (Frame{0x005AFF, 7, 30}));  // hue 15: (255, 90, 0)
  EXPECT_EQ(frames[4], (Frame{0x005AFF, 1, 255}));
  EXPECT_EQ(frames[5], (Frame{0x0054FF, 1, 255}));  // hue (255 + 15) mod 256 = 14: (255, 84, 0)
  EXPECT_EQ(Positions(keys), (std::vector<int>{0, 0, 127, 127, 0, 255}));
  const Key same[] = {{RECT{5, 0, 9, 1}}, {RECT{5, 3, 9, 4}}};
  EXPECT_EQ(Positions(same), (std::vector<int>{0, 0}));
}

}  // namespace
