#include "zuvi/light_effect.h"

#include <algorithm>

namespace light_effect {

namespace {

std::uint32_t Rgb(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
         static_cast<std::uint32_t>(blue) << 16;
}

}  // namespace

std::uint32_t Hue(int a) {
  const int h = 6 * (a & 0xFF);
  const int f = h % 256;
  switch (h / 256) {
    case 0:
      return Rgb(255, f, 0);
    case 1:
      return Rgb(255 - f, 255, 0);
    case 2:
      return Rgb(0, 255, f);
    case 3:
      return Rgb(0, 255 - f, 255);
    case 4:
      return Rgb(f, 0, 255);
    default:
      return Rgb(255, 0, 255 - f);
  }
}

int Triangle(int a) {
  a &= 0xFF;
  return a < 128 ? 2 * a : 2 * (255 - a);
}

int Phase(std::int64_t nowMs, int speed) {
  const auto now = static_cast<std::uint64_t>(nowMs);
  const auto factor = static_cast<std::uint64_t>(static_cast<std::int64_t>(speed) + 1);
  return static_cast<int>(now * factor / 256 % 256);
}

std::vector<int> Positions(std::span<const Key> keys) {
  std::vector<int> positions(keys.size(), 0);
  if (keys.empty()) return positions;
  auto centre = [](const Key& key) {
    return (static_cast<std::int64_t>(key.rect.left) + key.rect.right) / 2;
  };
  std::int64_t low = centre(keys.front());
  std::int64_t high = low;
  for (const Key& key : keys) {
    low = std::min(low, centre(key));
    high = std::max(high, centre(key));
  }
  if (high == low) return positions;
  for (size_t i = 0; i < keys.size(); ++i)
    positions[i] = static_cast<int>((centre(keys[i]) - low) * 255 / (high - low));
  return positions;
}

std::vector<Frame> Frames(std::span<const Key> keys, std::int64_t nowMs, int speed) {
  const int phase = Phase(nowMs, speed);
  const std::vector<int> positions = Positions(keys);
  std::vector<Frame> frames(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const Key& key = keys[i];
    switch (key.effect) {
      case 0:
        frames[i] = Frame{};
        break;
      case 1:
        frames[i] = Frame{key.color & 0xFFFFFF, 1, 255};
        break;
      case 7:
        frames[i] = Frame{key.colorType == 1 ? Hue(phase) : key.color & 0xFFFFFF, 7, Triangle(phase)};
        break;
      default:
        frames[i] = Frame{Hue((positions[i] + phase) % 256), 1, 255};
        break;
    }
  }
  return frames;
}

}  // namespace light_effect
