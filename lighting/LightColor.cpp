#include "lighting/LightColor.h"

#include <algorithm>

#include "common/strings.h"

namespace light_color {

std::uint32_t Pack(const Rgb& rgb) {
  return static_cast<std::uint32_t>(rgb.red & 0xFF) | static_cast<std::uint32_t>(rgb.green & 0xFF) << 8 |
         static_cast<std::uint32_t>(rgb.blue & 0xFF) << 16;
}

Rgb Unpack(std::uint32_t bbggrr) {
  return Rgb{static_cast<int>(bbggrr & 0xFF), static_cast<int>(bbggrr >> 8 & 0xFF),
             static_cast<int>(bbggrr >> 16 & 0xFF)};
}

std::uint32_t FromArgb(ARGB argb) {
  return Pack(Rgb{static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF),
                  static_cast<int>(argb & 0xFF)});
}

namespace {

ARGB WithAlpha(std::uint32_t bbggrr, std::uint32_t alpha) {
  const Rgb rgb = Unpack(bbggrr);
  return alpha << 24 | static_cast<std::uint32_t>(rgb.red) << 16 |
         static_cast<std::uint32_t>(rgb.green) << 8 | static_cast<std::uint32_t>(rgb.blue);
}

}  // namespace

ARGB ToPaletteArgb(std::uint32_t bbggrr) { return WithAlpha(bbggrr, 0xFF); }
ARGB ToStaticModeArgb(std::uint32_t bbggrr) { return WithAlpha(bbggrr, 0xFE); }

int EditChannel(const std::wstring& text) { return std::clamp(WToI(text), 0, 255); }

bool EditOutOfRange(const std::wstring& text) {
  const int value = WToI(text);
  return value < 0 || value > 255;
}

}  // namespace light_color
