// The light effects the key views animate, as pure functions of the clock: each key's frame
// (colour 0x00BBGGRR, light state, level) at a moment, from its effect, working colour, colour
// type and place. The preview sends exactly the frames the view draws.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "zuvi/types.h"

namespace light_effect {

// What a key view draws for one key: state 0 dark, 7 the colour scaled by level / 256, else the
// colour as it is.
struct Frame {
  std::uint32_t color = 0;
  int state = 0;
  int level = 0;
  bool operator==(const Frame&) const = default;
};

struct Key {
  RECT rect{};
  std::uint32_t color = 0;  // working colour, 0x00BBGGRR
  int effect = 0;           // 0 off, 1 steady, 7 breathing, any other the rainbow sweep
  int colorType = 0;        // 1: the breathing colour cycles through the hues
};

// The hue wheel at `a` (0..255) in six sectors, as 0x00BBGGRR.
std::uint32_t Hue(int a);
// Up and down once over 0..255: 2a below 128, else 2(255 - a).
int Triangle(int a);
// Where the effects stand at `nowMs` for speed `speed`: (nowMs x (speed + 1) / 256) mod 256.
int Phase(std::int64_t nowMs, int speed);
// Each key's place across the keyboard, 0..255 by the horizontal centres (0 when all are equal).
std::vector<int> Positions(std::span<const Key> keys);
// The frames of every key at `nowMs`.
std::vector<Frame> Frames(std::span<const Key> keys, std::int64_t nowMs, int speed);

}  // namespace light_effect
